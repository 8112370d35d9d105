#include "core/temperature_profile.h"
#include "support/expect_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <vector>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/geometry.h"
#include "core/messages.h"

namespace hxrate {
namespace {

// The worked cases: Nt = 1, Rp/dL = 1, cp_i*mdot_i = 10, cp_o*mdot_o = 10,
// UAp = 1, Tt_in = 100, Ts_in = 0, dL = 1.
struct Solve {
    CaseInput in;
    Rating r;  // the geometry and the per-length terms the solver reads
    TemperatureProfile profile;

    Solve(std::int32_t type, double L, std::int32_t Nb = 0, double dL = 1) {
        in.exchangerType = type;
        in.tubeLength = L;
        in.elementLength = dL;
        in.baffleCount = Nb;
        in.tubeCount = 1;
        in.tubeFluid.heatCapacity = 10;
        in.shellFluid.heatCapacity = 10;
        in.tubeInletTemperature = 100;
        in.shellInletTemperature = 0;
        in.correctionFactor = 0.5;
        r.resistancePerLength = 1;
        r.conductancePerLength = 1;
        r.tubeMassFlow = 1;
        r.shellMassFlow = 1;
        grid();
    }
    void grid() {
        clearArithmeticFlags();
        computeElementGrid(in, r.geometry, profile, std::uint64_t{1} << 30);
        computeBaffleCompartments(in, r.geometry);
    }
    // The rejection message, or "" when the solve completes.
    std::string run(std::int32_t passLimit = defaultPassLimit) {
        clearArithmeticFlags();
        return testing::rejectionOf(
            [&] { solveTemperatureProfile(in, r, profile, SolveOptions{.passLimit = passLimit}); });
    }
    std::vector<double> tube() const { return nodes(profile.tubeTemperature.get()); }
    std::vector<double> shell() const { return nodes(profile.shellTemperature.get()); }
    std::vector<double> passInlet() const { return nodes(profile.shellPassInletTemperature.get()); }
    std::vector<double> nodes(const double* a) const {
        return {a, a + r.geometry.elementCount + 1};
    }
};

void expectNear(const std::vector<double>& got, const std::vector<double>& want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-12) << what << " node " << i;
}

TEST(AxialMarch, WorkedPasses) {
    Solve co(ExchangerType::CoCurrent, 2);
    EXPECT_EQ(co.run(), "");
    expectNear(co.tube(), {100, 90, 82}, "co-current tube");
    expectNear(co.shell(), {0, 10, 18}, "co-current shell");

    // One pass only: the first correction reaches the limit of 1.
    Solve counter(ExchangerType::CounterCurrent, 2);
    EXPECT_EQ(counter.run(1), messages::shellProfileDivergence);
    expectNear(counter.tube(), {100, 90, 80}, "counter-current first pass, tube");
    EXPECT_EQ(counter.shell()[1], -10);
    EXPECT_EQ(counter.shell()[2], -20);
    EXPECT_EQ(counter.r.shootingPasses, 1);
}

TEST(AxialMarch, NoElements) {
    for (std::int32_t type : {ExchangerType::CoCurrent, ExchangerType::CounterCurrent}) {
        Solve s(type, 0.5);
        ASSERT_EQ(s.r.geometry.elementCount, 0);
        EXPECT_EQ(s.run(1), "") << "err = 0 on the first pass: complete without a correction";
        EXPECT_EQ(s.tube(), std::vector<double>{100});
        EXPECT_EQ(s.shell(), std::vector<double>{0});
    }
}

TEST(AxialMarch, ToleranceIsStrict) {
    // One element with these values gives err = Tt_in exactly.
    const double tol = k::convergenceTolerance;
    struct Row {
        double TtIn;
        std::string_view outcome;
        const char* why;
    } rows[] = {
        {tol, messages::shellProfileDivergence, "|err| = tol is not converged"},
        {std::nextafter(tol, 0.0), "", "just below tol converges at once"},
    };
    for (const Row& row : rows) {
        Solve s(ExchangerType::CounterCurrent, 1);
        s.in.tubeFluid.heatCapacity = 1;
        s.in.shellFluid.heatCapacity = 1;
        s.in.tubeInletTemperature = row.TtIn;
        s.in.correctionFactor = 0;
        EXPECT_EQ(s.run(3), row.outcome) << row.why;
    }
}

TEST(ShootingProgress, EqualErrorsPassGrowingOnesStopTheRun) {
    ShootingState s;
    checkShootingProgress(s, 5.0);
    EXPECT_EQ(s.corrections, 1);
    checkShootingProgress(s, 5.0);  // equal is accepted
    checkShootingProgress(s, 4.0);
    EXPECT_EQ(s.previousError, 4.0);
    EXPECT_EQ(testing::rejectionOf([&] { checkShootingProgress(s, 4.5); }),
              messages::reduceCorrectionFactor)
        << "a growing error must stop the run";

    ShootingState limit;
    for (int i = 1; i < defaultPassLimit; ++i) checkShootingProgress(limit, 1.0);
    EXPECT_EQ(limit.corrections, defaultPassLimit - 1);
    EXPECT_EQ(testing::rejectionOf([&] { checkShootingProgress(limit, 1.0); }),
              messages::shellProfileDivergence)
        << "the 10000th correction ends the run";

    ShootingState both;
    for (int i = 1; i < defaultPassLimit; ++i) checkShootingProgress(both, 1.0);
    EXPECT_EQ(testing::rejectionOf([&] { checkShootingProgress(both, 2.0); }),
              messages::reduceCorrectionFactor)
        << "the growth is tested before the count";
}

TEST(AxialMarch, CorrectionFactorZeroDivergesAfterTheLastPass) {
    Solve s(ExchangerType::CounterCurrent, 2);
    s.in.correctionFactor = 0;
    EXPECT_EQ(s.run(), messages::shellProfileDivergence);
    s.in.correctionFactor = -0.5;
    EXPECT_EQ(s.run(), messages::reduceCorrectionFactor);
}

TEST(CrossFlow, WorkedPasses) {
    Solve co(ExchangerType::CrossFlowCoCurrent, 4, 1);
    ASSERT_EQ(co.r.geometry.elementsPerCompartment, 2);
    EXPECT_EQ(co.run(), "");
    expectNear(co.tube(), {100, 90, 81, 74.8, 69.22}, "type 2 tube");
    expectNear(co.shell(), {0, 0, 19, 19, 19}, "type 2 shell");
    EXPECT_NEAR(co.profile.finalShellTemperature, 30.78, 1e-12);

    Solve counter(ExchangerType::CrossFlowCounterCurrent, 4, 1);
    EXPECT_EQ(counter.run(1), messages::shellProfileDivergence);
    expectNear(counter.tube(), {100, 90, 81, 71, 62}, "type 3 first pass, tube");
    expectNear(counter.shell(), {0, 0, -19, -19, -19}, "type 3 first pass, shell");
    expectNear(counter.passInlet(), {-19, -19, -38, -38, -38}, "type 3 first pass, pass inlet");

    Solve second(ExchangerType::CrossFlowCounterCurrent, 4, 1);
    second.run(2);
    EXPECT_EQ(second.shell()[0], 19) << "err = 38 with corr = 0.5 starts the second pass at 19";
}

TEST(CrossFlow, EqualInletsNeedNoCorrection) {
    Solve s(ExchangerType::CrossFlowCounterCurrent, 4, 1);
    s.in.shellInletTemperature = 100;
    EXPECT_EQ(s.run(1), "");
    EXPECT_EQ(s.profile.finalShellTemperature, 100);
}

// Nodes at which the shell temperature changes value: compartment starts.
std::vector<std::int32_t> compartmentStarts(const std::vector<double>& shell) {
    std::vector<std::int32_t> starts{0};
    for (std::size_t i = 1; i < shell.size(); ++i) {
        if (shell[i] != shell[i - 1]) starts.push_back(static_cast<std::int32_t>(i));
    }
    return starts;
}

TEST(CrossFlow, CompartmentLayouts) {
    struct Row {
        double L, dL;
        std::int32_t Nb;
        std::vector<std::int32_t> starts;
        const char* why;
    } rows[] = {
        {1, 0.1, 2, {0, 3, 6}, "0-3, 3-6, 6-10: the last compartment extended to Nel"},
        {1, 0.1, 3, {0, 2, 4, 7}, "0-2, 2-4, 4-7, 7-10: the third re-marched from 6 to 7"},
        {1, 0.1, 0, {0}, "one compartment"},
        {5.8, 0.48, 3, {0, 3, 6, 9}, "Nel = 12 in four even compartments"},
    };
    for (const Row& row : rows) {
        for (std::int32_t type :
             {ExchangerType::CrossFlowCoCurrent, ExchangerType::CrossFlowCounterCurrent}) {
            Solve s(type, row.L, row.Nb, row.dL);
            s.in.correctionFactor = 0;
            s.run(1);
            EXPECT_EQ(compartmentStarts(s.shell()), row.starts) << row.why << ", type " << type;
        }
    }
}

TEST(CrossFlow, RefusesGridsWithoutCompartments) {
    Solve s(ExchangerType::CrossFlowCoCurrent, 10, -2);
    EXPECT_EQ(s.run(), messages::negativeBaffleCount);
    s.in.exchangerType = 4;
    EXPECT_EQ(s.run(), messages::exchangerSelection) << "an invalid type is still reported as such";

    Solve negative(ExchangerType::CoCurrent, -3);
    EXPECT_EQ(negative.run(), messages::negativeElementCount);
}

TEST(CrossFlow, ZeroHeatCapacityIsAnArithmeticError) {
    Solve s(ExchangerType::CrossFlowCoCurrent, 4, 1);
    s.in.tubeFluid.heatCapacity = 0;
    clearArithmeticFlags();
    EXPECT_THROW(solveTemperatureProfile(s.in, s.r, s.profile), ArithmeticError);
}

// Constant properties: the march must approach the closed-form solution,
// with an error that falls in proportion to the element length.
struct ClosedForm {
    double Ci = 2.0, Co = 3.0;  // capacity rates
    double NtUAp = 1.5;         // conductance per unit length of the bundle
    double L = 1.0;
    double TtIn = 80, TsIn = 20;

    double coCurrentTubeOutlet() const {
        double k = NtUAp * (1 / Ci + 1 / Co);
        double dT = (TtIn - TsIn) * std::exp(-k * L);
        return TtIn - ((TtIn - TsIn) - dT) * Co / (Ci + Co);
    }
    double counterCurrentTubeOutlet() const {
        double Cmin = std::min(Ci, Co), Cmax = std::max(Ci, Co);
        double Cr = Cmin / Cmax, NTU = NtUAp * L / Cmin;
        double e = std::exp(-NTU * (1 - Cr));
        double effectiveness = (1 - e) / (1 - Cr * e);
        return TtIn - effectiveness * Cmin * (TtIn - TsIn) / Ci;
    }
    double marchedTubeOutlet(std::int32_t type, std::int32_t elements) const {
        Solve s(type, L, 0, L / elements);
        s.in.tubeCount = 1;
        s.in.tubeFluid.heatCapacity = Ci;
        s.in.shellFluid.heatCapacity = Co;
        s.in.tubeInletTemperature = TtIn;
        s.in.shellInletTemperature = TsIn;
        s.in.correctionFactor = NtUAp;  // a correction of about the mismatch
        s.r.resistancePerLength = 1 / NtUAp;
        s.r.conductancePerLength = NtUAp;
        EXPECT_EQ(s.r.geometry.elementCount, elements);
        EXPECT_EQ(s.run(), "");
        return s.tube().back();
    }
};

TEST(AxialMarch, ApproachesTheClosedFormAsElementsShrink) {
    ClosedForm cf;
    struct Row {
        std::int32_t type;
        double exact;
    } rows[] = {
        {ExchangerType::CoCurrent, cf.coCurrentTubeOutlet()},
        {ExchangerType::CounterCurrent, cf.counterCurrentTubeOutlet()},
    };
    for (const Row& row : rows) {
        double e50 = std::fabs(cf.marchedTubeOutlet(row.type, 50) - row.exact);
        double e100 = std::fabs(cf.marchedTubeOutlet(row.type, 128) - row.exact);
        double e200 = std::fabs(cf.marchedTubeOutlet(row.type, 256) - row.exact);
        EXPECT_LT(e50, 0.5) << "type " << row.type;
        EXPECT_NEAR(e100 / e200, 2.0, 0.2) << "first-order in dL, type " << row.type;
    }
}

}  // namespace
}  // namespace hxrate
