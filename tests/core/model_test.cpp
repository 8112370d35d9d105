#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/geometry.h"
#include "core/messages.h"
#include "core/pipe_flow.h"
#include "core/resistance.h"
#include "core/shell_flow.h"
#include "core/shell_heat_transfer.h"
#include "core/tube_side.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

constexpr std::uint64_t plentyOfStorage = std::uint64_t{1} << 30;

// The message a step rejects with, or "" when it passes; each step starts
// with clear fault flags.
template <class Step>
std::string rejectionOf(Step step) {
    clearArithmeticFlags();
    return testing::rejectionOf(step);
}

template <class Step>
bool failsArithmetic(Step step) {
    clearArithmeticFlags();
    return testing::failsArithmetic(step);
}

TEST(ElementGrid, TruncatesTheQuotientTowardZero) {
    struct Row {
        double L, dL;
        std::int32_t Nel;
        const char* why;
    } rows[] = {
        {1.0, 0.3, 3, "the last 0.1 of the tube is not modelled"},
        {0.3, 0.1, 2, "0.3/0.1 is 2.9999999999999996 in double precision"},
        {0.5, 0.75, 0, "an element longer than the tube gives node 0 only"},
        {9.99, 1.0, 9, "9.99 truncates to 9"},
        {-2.5, 1.0, -2, "truncation toward zero for negative quotients"},
    };
    for (const Row& row : rows) {
        CaseInput in;
        in.tubeLength = row.L;
        in.elementLength = row.dL;
        Geometry geo;
        TemperatureProfile profile;
        clearArithmeticFlags();
        computeElementGrid(in, geo, profile, plentyOfStorage);
        EXPECT_EQ(geo.elementCount, row.Nel) << row.why;
        EXPECT_EQ(profile.nodeCount, row.Nel < 0 ? 1 : row.Nel + 1) << "node 0 always has storage";
    }
}

TEST(ElementGrid, RefusesWhatCannotBeCountedOrHeld) {
    CaseInput in;
    in.tubeLength = 1.0;
    Geometry geo;
    TemperatureProfile profile;
    in.elementLength = 0.0;
    EXPECT_TRUE(failsArithmetic([&] { computeElementGrid(in, geo, profile, plentyOfStorage); }))
        << "dL = 0 divides by zero";
    in.elementLength = 1e-10;
    EXPECT_TRUE(failsArithmetic([&] { computeElementGrid(in, geo, profile, plentyOfStorage); }))
        << "1e10 elements do not fit a 32-bit count";
    in.elementLength = 1e-6;
    EXPECT_THROW(computeElementGrid(in, geo, profile, 1024 * 1024), ResourceError)
        << "a million nodes need more than 1 MiB";
}

TEST(BaffleCompartments, CheckAndCompartmentSizes) {
    struct Row {
        std::int32_t type, Nel, Nb;
        std::string_view rejection;
        std::int32_t Npc;
        double B;  // for L = 1
        const char* why;
    } rows[] = {
        {2, 7, 3, messages::reduceBaffles, 0, 0, "half = 3 is not greater than 3"},
        {3, 7, 3, messages::reduceBaffles, 0, 0, "the same for counter-current cross flow"},
        {0, 7, 3, "", 7 / 4, 0.25, "axial types skip the check"},
        {1, 7, 3, "", 7 / 4, 0.25, "axial types skip the check"},
        {2, 8, 3, "", 2, 0.25, "half = 4 > 3 passes; Npc = 8/4"},
        {2, 10, 2, "", 3, 1.0 / 3.0, "Npc truncated, B not"},
        {3, 10, 0, "", 10, 1.0, "one compartment over the whole tube"},
        {2, 0, 0, messages::reduceBaffles, 0, 0, "Nel = 0 in cross flow with Nb >= 0"},
        {0, 5, -1, messages::baffleCountMinusOne, 0, 0, "Nb = -1 would divide by zero"},
        {2, 5, -1, messages::baffleCountMinusOne, 0, 0, "after the baffle check passed"},
    };
    for (const Row& row : rows) {
        CaseInput in;
        in.exchangerType = row.type;
        in.baffleCount = row.Nb;
        in.tubeLength = 1.0;
        Geometry geo;
        geo.elementCount = row.Nel;
        EXPECT_EQ(rejectionOf([&] { computeBaffleCompartments(in, geo); }), row.rejection)
            << row.why;
        EXPECT_EQ(geo.compartmentCount, std::int64_t{row.Nb} + 1)
            << "a rejected case's partial rating holds Nb + 1 too";
        if (row.rejection.empty()) {
            EXPECT_EQ(geo.elementsPerCompartment, row.Npc) << row.why;
            EXPECT_EQ(geo.baffleSpacing, row.B) << row.why;
        }
    }
}

TEST(WallGeometry, LargestCandidateDecidesTheTubeFit) {
    // Do = 20, SL = 20, ST = 30: SD = 25, the cell is ST = 30; four tubes
    // need Ds^2 > 3600.
    struct Row {
        double Ds;
        std::string_view rejection;
        const char* why;
    } rows[] = {
        {60, messages::tubingDoesNotFit, "Ds^2 equal to cell^2*Nt does not fit"},
        {59, messages::tubingDoesNotFit, "too small"},
        {61, "", "fits"},
    };
    for (const Row& row : rows) {
        CaseInput in;
        in.tubeInnerDiameter = 18;
        in.wallThickness = 1;
        in.longitudinalPitch = 20;
        in.transversePitch = 30;
        in.tubeCount = 4;
        in.wallConductivity = 50;
        in.shellInnerDiameter = row.Ds;
        Geometry geo;
        computeDiagonalPitch(in, geo);
        EXPECT_EQ(geo.diagonalPitch, 25.0);
        EXPECT_EQ(rejectionOf([&] { computeWallGeometry(in, geo); }), row.rejection) << row.why;
        EXPECT_EQ(geo.outerDiameter, 20.0);
        EXPECT_EQ(geo.bundleCellSize, 30.0);
    }
}

TEST(WallGeometry, ImpossibleWallsAreArithmeticErrors) {
    struct Row {
        double Di, tw, kw;
        const char* why;
    } rows[] = {
        {0.0, 0.001, 50, "Di = 0 divides Do by zero"},
        {0.02, 0.001, 0, "kw = 0 divides the logarithm by zero"},
        {0.02, -0.01, 50, "Do = 0: logarithm of zero"},
        {0.02, -0.02, 50, "Do/Di < 0: logarithm outside its domain"},
    };
    for (const Row& row : rows) {
        CaseInput in;
        in.tubeInnerDiameter = row.Di;
        in.wallThickness = row.tw;
        in.wallConductivity = row.kw;
        in.tubeCount = 1;
        in.shellInnerDiameter = 1;
        Geometry geo;
        EXPECT_TRUE(failsArithmetic([&] { computeWallGeometry(in, geo); })) << row.why;
    }
}

TEST(PipeFlow, RegimeAndRangeChecks) {
    const PipeFlowChecks& divergence = tubePipeFlow;
    EXPECT_EQ(rejectionOf([&] { pipeFlowNusselt(0, 7, 0.02, 1, 0, divergence); }),
              messages::innerFlowParameters);
    EXPECT_EQ(rejectionOf([&] { pipeFlowNusselt(-5, 7, 0.02, 1, 0, divergence); }),
              messages::innerFlowParameters);
    EXPECT_EQ(rejectionOf([&] { pipeFlowNusselt(5000000, 0.7, 0.02, 1, 0, divergence); }), "")
        << "Re = 5,000,000 passes";
    EXPECT_EQ(rejectionOf([&] { pipeFlowNusselt(5000001, 0.7, 0.02, 1, 0, divergence); }),
              messages::nusseltRange);

    // Re = 2300 is laminar: f = 64/Re exactly.
    PipeFlowResult laminar = pipeFlowNusselt(2300, 7, 0.02, 1, 0, divergence);
    EXPECT_EQ(laminar.friction, 64.0 / 2300.0);
    PipeFlowResult turbulent = pipeFlowNusselt(2300.5, 7, 0.02, 1, 0, divergence);
    EXPECT_GT(turbulent.friction, 0.04) << "just above 2300 takes the Colebrook branch";
    EXPECT_LT(turbulent.friction, 0.06);
}

TEST(PipeFlow, ColebrookMatchesPublishedSmoothPipeValues) {
    // Moody chart, smooth pipe: f(1e4) = 0.0309, f(1e5) = 0.0180, f(1e6) = 0.0116.
    EXPECT_NEAR(colebrookFriction(1e4, 0, 0.02, Check::tubeFrictionDivergence), 0.0309, 0.0002);
    EXPECT_NEAR(colebrookFriction(1e5, 0, 0.02, Check::tubeFrictionDivergence), 0.0180, 0.0002);
    EXPECT_NEAR(colebrookFriction(1e6, 0, 0.02, Check::tubeFrictionDivergence), 0.0116, 0.0002);
    // Rough pipe, eps/D = 0.01 at Re = 1e6: fully rough, f = 0.0380.
    EXPECT_NEAR(colebrookFriction(1e6, 0.0002, 0.02, Check::tubeFrictionDivergence), 0.0380,
                0.0003);
}

TEST(PipeFlow, NegativePrandtlOrRoughnessIsAnArithmeticError) {
    EXPECT_TRUE(failsArithmetic([] { pipeFlowNusselt(1000, -7, 0.02, 1, 0, tubePipeFlow); }))
        << "a negative Graetz number raised to 0.667";
    EXPECT_TRUE(failsArithmetic([] { pipeFlowNusselt(1e4, -7, 0.02, 1, 0, tubePipeFlow); }))
        << "a negative Prandtl number raised to 0.6667";
    EXPECT_TRUE(failsArithmetic([] { pipeFlowNusselt(1e4, 7, 0.02, 1, -1, tubePipeFlow); }))
        << "logarithm of a negative argument";
    EXPECT_TRUE(failsArithmetic([] { pipeFlowNusselt(1000, 7, 0.02, 0, 0, tubePipeFlow); }))
        << "L = 0";
}

TEST(TubeSide, WaterLikeCase) {
    CaseInput in;
    in.tubeFluid = {"Water     ", 1000, 1e-3, 0.6, 4.2e3, 1e-3};
    in.tubeCount = 10;
    in.tubeInnerDiameter = 0.02;
    in.tubeLength = 2;
    SideResult tube;
    clearArithmeticFlags();
    computeTubeSide(in, tube);
    EXPECT_NEAR(tube.prandtl, 7.0, 1e-12);
    EXPECT_NEAR(tube.reynolds, 6.37e3, 5);
    EXPECT_EQ(tube.filmCoefficient, 0.6 * tube.nusselt / 0.02);
    EXPECT_EQ(tube.filmResistance, 1 / (tube.filmCoefficient * 0.02 * 0.5));

    in.tubeCount = 20;
    SideResult halved;
    computeTubeSide(in, halved);
    EXPECT_DOUBLE_EQ(halved.reynolds, tube.reynolds / 2) << "doubling Nt halves Re";

    in.tubeFluid.viscosity = -1e-3;
    EXPECT_EQ(rejectionOf([&] { computeTubeSide(in, tube); }), messages::innerFlowParameters);
    in.tubeFluid.viscosity = 0;
    EXPECT_TRUE(failsArithmetic([&] { computeTubeSide(in, tube); })) << "zero viscosity";
    in.tubeFluid.viscosity = 1e-3;
    in.tubeFluid.conductivity = 0;
    EXPECT_TRUE(failsArithmetic([&] { computeTubeSide(in, tube); })) << "zero conductivity";
}

TEST(ShellHeatTransfer, WorkedValuesOfTheThreeCorrelations) {
    struct Row {
        double computed, expected, tolerance;
        const char* why;
    } rows[] = {
        {singleCylinderNusselt(1000, 0.7), 15.6, 0.05, "cylinder, low range"},
        {singleCylinderNusselt(1000, 7), 36.5, 0.05, "cylinder, higher Prandtl"},
        {singleCylinderNusselt(2e4, 0.7), 86.8, 0.05, "cylinder, middle range"},
        {singleCylinderNusselt(5e5, 0.7), 695, 0.5, "cylinder, full form"},
        {tubeBankNusselt(0, 2, 1, 5e3, 0.7), 50.8, 0.05, "inline bank"},
        {tubeBankNusselt(1, 1.5, 1, 5e3, 0.7), 55.3, 0.05, "staggered bank, ST/SL = 1.5"},
        {axialBundleCoefficients(2, 1, 1).m, 0.886, 0.0005, "axial m at x = 2"},
        {axialBundleCoefficients(2, 1, 1).c, 9.89e-3, 0.005e-3, "axial c at x = 2"},
    };
    for (const Row& row : rows) EXPECT_NEAR(row.computed, row.expected, row.tolerance) << row.why;
}

TEST(ShellHeatTransfer, BankTableBoundariesBelongToTheUpperRange) {
    const double Pr = 0.7;
    struct Row {
        int arr;
        double Re, c, m, n, p;
        const char* why;
    } rows[] = {
        {0, 99.5, 0.8999999761581421, 0.4000000059604645, 0.36000001430511475, 0, "inline low"},
        {0, 100, 0.5199999809265137, 0.5, 0.36000001430511475, 0, "inline 100"},
        {0, 1000, 0.27000001072883606, 0.6299999952316284, 0.36000001430511475, 0, "inline 1000"},
        {0, 200000, 0.032999999821186066, 0.800000011920929, 0.4000000059604645, 0, "inline 2e5"},
        {1, 499, 1.0399999618530273, 0.4000000059604645, 0.36000001430511475, 0, "staggered low"},
        {1, 500, 0.7099999785423279, 0.5, 0.36000001430511475, 0, "staggered 500"},
        {1, 1000, 0.3499999940395355, 0.6000000238418579, 0.36000001430511475, 0.20000000298023224,
         "staggered 1000"},
        {1, 200000, 0.03099999949336052, 0.800000011920929, 0.36000001430511475,
         0.20000000298023224, "staggered 2e5"},
    };
    const double ST = 3, SL = 2;
    for (const Row& row : rows) {
        double expected =
            std::pow(ST / SL, row.p) * std::pow(row.Re, row.m) * std::pow(Pr, row.n) * row.c;
        EXPECT_EQ(tubeBankNusselt(row.arr, ST, SL, row.Re, Pr), expected) << row.why;
    }
    EXPECT_EQ(rejectionOf([] { tubeBankNusselt(2, 3, 2, 1000, 0.7); }),
              messages::bundleArrangement);
    EXPECT_TRUE(failsArithmetic([] { tubeBankNusselt(1, 3, -2, 1000, 0.7); }))
        << "a negative pitch ratio raised to 0.2";
    EXPECT_FALSE(failsArithmetic([] { tubeBankNusselt(1, 3, -2, 999, 0.7); }))
        << "p = 0 makes the pitch factor exactly 1, whatever its base";
}

TEST(ShellHeatTransfer, CylinderRangesSwitchAtTheirBoundaries) {
    // The forms do not join: a boundary value that took the lower form
    // would lie next to its neighbour just below.
    EXPECT_GT(std::fabs(singleCylinderNusselt(10000, 0.7) - singleCylinderNusselt(9999.999, 0.7)),
              5)
        << "Re = 10000 takes the middle form";
    EXPECT_GT(std::fabs(singleCylinderNusselt(400000, 0.7) - singleCylinderNusselt(399999.99, 0.7)),
              10)
        << "Re = 400000 takes the full form";
}

struct ShellCase {
    CaseInput in;
    Geometry geo;
    ShellSideResult shell;
};

// A shell side that passes every check unless a row changes it.
ShellCase crossFlowCase(std::int32_t type) {
    ShellCase s;
    s.in.exchangerType = type;
    s.in.tubeLength = 2;
    s.in.shellInnerDiameter = 0.5;
    s.in.bundleArrangement = 1;
    s.in.tubeCount = 20;
    s.in.longitudinalPitch = 0.03;
    s.in.transversePitch = 0.03;
    s.in.baffleCount = 3;
    s.in.shellFluid = {"Oil       ", 850, 0.01, 0.13, 2000, 0.01};
    s.geo.outerDiameter = 0.02;
    s.geo.diagonalPitch = std::sqrt(0.015 * 0.015 + 0.03 * 0.03);
    return s;
}

TEST(ShellFlow, ChecksInTheirOrder) {
    struct Row {
        std::int32_t type;
        void (*change)(ShellCase&);
        std::string_view rejection;
        const char* why;
    } rows[] = {
        {2, [](ShellCase&) {}, "", "a valid cross-flow case"},
        {3, [](ShellCase& s) { s.in.bundleArrangement = 5; }, messages::bundleArrangement,
         "cross flow through a bank needs a known arrangement"},
        {2, [](ShellCase& s) { s.in.bundleArrangement = 5, s.in.tubeCount = 2; }, "",
         "two tubes are no bank: the arrangement is not examined"},
        {2, [](ShellCase& s) { s.in.shellFluid.volumetricFlow = 0; }, messages::stagnantFlow,
         "no flow"},
        {0, [](ShellCase& s) { s.in.shellFluid.density = 0; }, messages::stagnantFlow,
         "every type"},
        {2, [](ShellCase& s) { s.in.shellFluid.volumetricFlow = 1e-9; }, messages::pecletRange,
         "Peclet below 0.2 in cross flow"},
        {1, [](ShellCase& s) { s.in.shellFluid.volumetricFlow = 1e-9; }, "",
         "axial types accept a low Peclet number"},
    };
    for (const Row& row : rows) {
        ShellCase s = crossFlowCase(row.type);
        row.change(s);
        EXPECT_EQ(rejectionOf([&] { computeShellFlow(s.in, s.geo, s.shell); }), row.rejection)
            << row.why;
    }
}

TEST(ShellFlow, NarrowestGapVelocity) {
    // Staggered, ST = 3, Do = 1: SL = 2 gives SD = 2.5 > 2 (transverse gap,
    // V = 1.5 Q/A); SL = 1 gives SD = sqrt(3.25) <= 2 (diagonal gap).
    struct Row {
        int arr;
        double SL, factor;
        const char* why;
    } rows[] = {
        {1, 2, 1.5, "transverse gap"},
        {1, 1, 1.5 / (std::sqrt(3.25) - 1), "diagonal gap"},
        {0, 1, 1.5, "inline: ST/(ST-Do)"},
    };
    for (const Row& row : rows) {
        ShellCase s = crossFlowCase(2);
        s.in.bundleArrangement = row.arr;
        s.in.transversePitch = 3;
        s.in.longitudinalPitch = row.SL;
        s.in.shellInnerDiameter = 100;
        s.in.tubeLength = 100;
        s.in.baffleCount = 0;
        s.geo.outerDiameter = 1;
        computeDiagonalPitch(s.in, s.geo);
        clearArithmeticFlags();
        computeShellFlow(s.in, s.geo, s.shell);
        double approach = s.in.shellFluid.volumetricFlow / (100.0 * 100.0);
        EXPECT_NEAR(s.shell.velocity / approach, row.factor, 1e-12) << row.why;
    }
}

TEST(ShellHeatTransfer, AxialTypesStillFormTheCrossFlowValueFirst) {
    // Type 0 with a staggered bank, negative SL and Re >= 1000: the pitch
    // ratio raised to 0.2 fails before the axial correlation replaces it.
    ShellCase s = crossFlowCase(0);
    s.in.longitudinalPitch = -0.03;
    s.shell.reynolds = 5000;
    s.shell.prandtl = 100;
    s.shell.characteristicLength = 0.05;
    s.in.tubeCount = 20;
    EXPECT_TRUE(failsArithmetic([&] { computeShellHeatTransfer(s.in, s.geo, s.shell); }));

    s.in.bundleArrangement = 7;
    s.in.longitudinalPitch = 0.03;
    EXPECT_EQ(rejectionOf([&] { computeShellHeatTransfer(s.in, s.geo, s.shell); }),
              messages::bundleArrangement)
        << "an axial case with an unknown arrangement in a bank";
    s.in.longitudinalPitch = 0;
    EXPECT_EQ(rejectionOf([&] { computeShellHeatTransfer(s.in, s.geo, s.shell); }), "")
        << "SL = 0: no bank, the arrangement is not examined";
}

// Type 0, one tube of Do = 1 in a shell of Ds (so x = Ds), Re = 1000 and
// Pr = 0.7, with the shell heat transfer computed.
ShellCase axialShellAt(double Ds) {
    ShellCase s = crossFlowCase(0);
    s.in.shellInnerDiameter = Ds;
    s.in.tubeCount = 1;
    s.geo.outerDiameter = 1;
    s.shell.reynolds = 1000;
    s.shell.prandtl = 0.7;
    s.shell.characteristicLength = 1;
    clearArithmeticFlags();
    computeShellHeatTransfer(s.in, s.geo, s.shell);
    return s;
}

TEST(ShellHeatTransfer, AxialBundleWorkedValue) {
    // x = 2, Re = 1000, Pr = 0.7: Nu about 3.99.
    ShellCase s = axialShellAt(2);
    EXPECT_NEAR(s.shell.nusselt, 3.99, 0.005);
}

TEST(ShellHeatTransfer, BundleParameterOfExactly3Point2UsesTheCorrelation) {
    // With Do = 1 and Nt = 1, x = sqrt(Ds*Ds) = Ds exactly.
    const double limit = 3.200000047683716;
    struct Row {
        double Ds;
        bool correlation;
        const char* why;
    } rows[] = {
        {limit, true, "x equal to the single-precision 3.2"},
        {std::nextafter(limit, 10.0), false, "any larger x takes the pipe-flow form"},
        {3.2, true, "the double nearest 3.2 lies below the limit"},
    };
    for (const Row& row : rows) {
        ShellCase s = axialShellAt(row.Ds);
        AxialBundle ax = axialBundleCoefficients(row.Ds, 1, 1);
        EXPECT_EQ(ax.bundleParameter, row.Ds);
        double correlation = ax.c * std::pow(1000.0, ax.m) * std::pow(0.7, 0.33329999446868896);
        EXPECT_EQ(s.shell.nusselt == correlation, row.correlation) << row.why;
    }
}

TEST(Resistance, ThreeTermsOfPiGiveOneAndAHalf) {
    CaseInput in;
    Rating r;
    r.geometry.wallResistance = k::pi;
    r.tube.filmResistance = k::pi;
    r.shell.filmResistance = k::pi;
    in.tubeFluid.density = 2, in.tubeFluid.volumetricFlow = 3;
    in.shellFluid.density = 5, in.shellFluid.volumetricFlow = 7;
    computeResistancePerLength(in, r);
    EXPECT_EQ(r.resistancePerLength, 1.5);
    EXPECT_EQ(r.conductancePerLength, 1 / 1.5);
    EXPECT_EQ(r.tubeMassFlow, 6);
    EXPECT_EQ(r.shellMassFlow, 35);
}

}  // namespace
}  // namespace hxrate
