#include "hxrate/arrangements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "hxrate/case.h"
#include "hxrate/case_files.h"
#include "hxrate/rating.h"
#include "hxrate/shell_side.h"

namespace hxrate {
namespace {

double relative(double got, double expected) {
    return std::fabs(got - expected) / std::fabs(expected);
}

struct Published {
    std::function<double()> ours;
    double expected;
    double tolerance;  // relative, from the digits the value is published with
    const char* why;
};

TEST(Design, MeetsPublishedValues) {
    auto oneFour = [] { return temaEOutlets(5.2 * 1860, 130, 1.45 * 1900, 15, 3041.75, 4); };
    const Published rows[] = {
        {[] { return temaEP1(0.7, 5, 2); }, 0.683497704431, 1e-9, "one 1-2 shell, NTU 5, Cr 0.7"},
        {[] { return temaEP1(0.7, 5, 2, 50); }, 0.920505870278, 1e-9, "same NTU over 50 shells"},
        {[] { return lmtdCorrection(130, 110, 15, 85); }, 0.9438358829645933, 1e-9, "F, one shell"},
        {[&] { return oneFour().shellOutletTemperature; }, 110.095666434, 1e-9, "1-4: T1out"},
        {[&] { return oneFour().tubeOutletTemperature; }, 84.878299180, 1e-9, "1-4: T2out"},
        {[&] { return oneFour().duty; }, 192514.714242, 1e-9, "1-4: Q"},
        {[] { return bell::jc(0.82); }, 1.1404, 1e-6, "Jc at Fc 0.82"},
        {[] { return bell::jl(1, 3, 8); }, 0.5530236260777, 1e-6, "Jl, Ssb 1, Stb 3, Sm 8"},
        {[] { return bell::jb(0.5, 5, 25); }, 0.84832109705, 1e-6,
         "Jb, Fsbp 0.5, 5 pairs, 25 rows"},
        {[] { return bell::js(16, 0.1, 0.15, 0.15); }, 0.9640087802805195, 1e-6, "Js, 16 baffles"},
        {[] { return bell::jr(30, 80); }, 0.7267995454361379, 1e-6, "Jr at Re 30, 80 rows"},
    };
    for (const auto& row : rows) {
        EXPECT_LE(relative(row.ours(), row.expected), row.tolerance) << row.why;
    }
}

TEST(Design, LimitsAndInverses) {
    struct Row {
        double got, expected;
        const char* why;
    };
    const double cf = temaEP1(1, 3, 1);
    const Row rows[] = {
        {cf, 3.0 / 4.0, "counterflow at R1 = 1 is NTU/(1 + NTU)"},
        {temaEP1(1, 3, 1, 7), cf, "counterflow split into shells stays counterflow"},
        {temaEP1(0.5, 400, 1, 60), temaEP1(0.5, 400, 1),
         "many shells of the 1-2 form tend to counterflow"},
        {temaEP1(0, 2, 2), 1 - std::exp(-2.0), "R1 = 0: every arrangement is 1 - exp(-NTU)"},
        {temaEP1(0, 2, 4), 1 - std::exp(-2.0), "R1 = 0, four passes"},
        {temaENtu1(temaEP1(1, 1.7, 2, 3), 1, 3), 1.7, "NTU from P inverts P from NTU at R = 1"},
        {temaENtu1(temaEP1(2.5, 0.4, 6, 2), 2.5, 2), 0.4, "and at R > 1"},
        {lmtdCorrectionPR(0.4, 1), lmtdCorrectionPR(0.4, 1 + 1e-9), "F is continuous at R = 1"},
        {lmtdCorrectionPR(1e-9, 0.5), 1, "F tends to 1 as P goes to 0"},
    };
    for (const auto& row : rows) EXPECT_NEAR(row.got, row.expected, 1e-7) << row.why;
    // 1-2 F at R = 1, P = 0.5 written out from the published R = 1 form.
    double S = std::sqrt(2.0);
    double f11 = (0.5 / 0.5) / (std::log((2 - 0.5 * (2 - S)) / (2 - 0.5 * (2 + S))) / S);
    EXPECT_NEAR(lmtdCorrection(100, 50, 0, 50), f11, 1e-12);
}

// Co-current shells in series: what one shell leaves of the streams'
// difference, 1 - P1,i (1 + R1), multiplies over the shells, written out
// shell by shell.
TEST(Design, CoCurrentShellsInSeriesMultiplyWhatEachLeaves) {
    struct Row {
        double p1OfOne, r1;
        int shells;
        double expected;
        const char* why;
    };
    const Row rows[] = {
        {0.3, 1, 2, (1 - (1 - 0.3 * 2) * (1 - 0.3 * 2)) / 2, "R1 = 1, two shells"},
        {0.3, 1, 3, (1 - (1 - 0.3 * 2) * (1 - 0.3 * 2) * (1 - 0.3 * 2)) / 2, "R1 = 1, three"},
        {0.25, 0.4, 2, (1 - (1 - 0.25 * 1.4) * (1 - 0.25 * 1.4)) / 1.4, "R1 = 0.4, two shells"},
        {0.12, 2.5, 3, (1 - (1 - 0.12 * 3.5) * (1 - 0.12 * 3.5) * (1 - 0.12 * 3.5)) / 3.5,
         "R1 = 2.5, three shells"},
        {0.3, 1, 1, 0.3, "one shell is itself"},
        {0.5, 1, 4, 0.5, "a shell that reaches the common temperature: more add nothing"},
    };
    for (const auto& row : rows)
        EXPECT_NEAR(coCurrentShellsInSeriesP1(row.p1OfOne, row.r1, row.shells), row.expected, 1e-14)
            << row.why;
    // Shells of NTU1/N each make one co-current exchanger of NTU1, and stay
    // below the counterflow value of the same NTU1.
    for (double r1 : {1.0, 0.6}) {
        double whole = (1 - std::exp(-2.4 * (1 + r1))) / (1 + r1);
        EXPECT_NEAR(parallelFlowP1(r1, 2.4), whole, 1e-15) << r1;
        for (int n : {2, 3}) {
            double p = coCurrentShellsInSeriesP1(parallelFlowP1(r1, 2.4 / n), r1, n);
            EXPECT_NEAR(p, whole, 1e-14) << r1 << ", " << n << " shells";
            EXPECT_LT(p, temaEP1(r1, 2.4, 1, n)) << r1 << ", " << n << " shells";
        }
    }
}

TEST(Design, RefusesArgumentsOutsideTheDomain) {
    struct Row {
        std::function<void()> call;
        const char* argument;
        const char* why;
    };
    const Row rows[] = {
        {[] { temaEP1(0.5, 1, 3); }, "tubePasses", "three tube passes"},
        {[] { temaEP1(-0.5, 1, 2); }, "r1", "negative R1"},
        {[] { temaEP1(0.5, NAN, 2); }, "ntu1", "NaN NTU"},
        {[] { temaEP1(0.5, 1, 2, 0); }, "shells", "no shell"},
        {[] { lmtdCorrection(100, 40, 10, 70); }, "p", "a cross no single 1-2 shell reaches"},
        {[] { lmtdCorrection(100, 5, 10, 90); }, "tHotOut", "hot outlet below cold inlet"},
        {[] { lmtdCorrection(100, 100, 10, 90); }, "tHotOut", "hot stream does not cool"},
        {[] { temaENtu1(0.9, 1.5); }, "p1", "P1 beyond counterflow"},
        {[] { coCurrentShellsInSeriesP1(0.6, 1, 2); }, "p1", "P1 beyond co-current flow"},
        {[] { coCurrentShellsInSeriesP1(0.2, 1, 0); }, "shells", "no co-current shell"},
        {[] { parallelFlowP1(1, -2); }, "ntu1", "negative NTU, co-current"},
        {[] { bell::jc(1.2); }, "crossFlowFraction", "more than all tubes in cross flow"},
        {[] { bell::idealJ(1e3, 60, 1.25); }, "layoutAngle", "60 degree layout"},
    };
    for (const auto& row : rows) {
        try {
            row.call();
            ADD_FAILURE() << row.why << ": not refused";
        } catch (const InvalidArgument& e) {
            EXPECT_EQ(e.argument(), row.argument) << row.why << ": " << e.what();
        }
    }
    // More shells in series reach what one cannot.
    EXPECT_GT(lmtdCorrection(100, 40, 10, 70, 3), 0.75);
}

// One tube pass against the program's march on the shipped example: the
// closed form, from the rating's own UA and capacity rates, lies within the
// march's first-order discretisation estimate 2|T(dL) - T(dL/2)|.
TEST(Design, OnePassAgreesWithTheMarch) {
    auto path = std::filesystem::path(__FILE__).parent_path() / "../../examples/water-oil" /
                "48230007640350000606.txt";
    Case c = readCase(path);
    ASSERT_EQ(c.exchangerType, ExchangerType::CounterCurrent);
    RateOptions exact;
    exact.shooting = ShootingMethod::exact;
    Rating coarse = rate(c, exact);
    c.elementLength /= 2;
    Rating fine = rate(c, exact);
    double Ct = coarse.tubeMassFlow * c.tubeFluid.heatCapacity;
    double Cs = coarse.shellMassFlow * c.shellFluid.heatCapacity;
    EShellOutlets closed = temaEOutlets(Cs, c.shellInletTemperature, Ct, c.tubeInletTemperature,
                                        coarse.overallCoefficient * coarse.area, 1);
    double shellEstimate =
        2 * std::fabs(coarse.shellOutletTemperature - fine.shellOutletTemperature);
    double tubeEstimate = 2 * std::fabs(coarse.tubeOutletTemperature - fine.tubeOutletTemperature);
    EXPECT_LE(std::fabs(coarse.shellOutletTemperature - closed.shellOutletTemperature),
              1.1 * shellEstimate + 1e-6);
    EXPECT_LE(std::fabs(coarse.tubeOutletTemperature - closed.tubeOutletTemperature),
              1.1 * tubeEstimate + 1e-6);
    EXPECT_GT(shellEstimate, 0);
}

}  // namespace
}  // namespace hxrate
