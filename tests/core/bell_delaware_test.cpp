#include "hxrate/shell_side.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/bell_delaware.h"
#include "core/constants.h"
#include "hxrate/assessment.h"
#include "hxrate/case.h"
#include "hxrate/case_files.h"
#include "hxrate/extensions.h"
#include "hxrate/rating.h"

namespace hxrate {
namespace {

// A water cooler of textbook proportions: 0.54 m shell, 19 mm tubes on a
// 25 mm triangular pitch, 25 % cut, TEMA clearances.
BellDelawareGeometry cooler() {
    BellDelawareGeometry g;
    g.shellDiameter = 0.54;
    g.tubeOuterDiameter = 0.019;
    g.tubePitch = 0.025;
    g.layoutAngle = 30;
    g.tubeCount = 300;
    g.baffleCut = 0.25;
    g.centralBaffleSpacing = 0.3;
    g.inletBaffleSpacing = 0.45;
    g.outletBaffleSpacing = 0.45;
    g.baffleCount = 10;
    g.shellToBaffleClearance = 0.0048;
    g.tubeToBaffleClearance = 0.0008;
    g.bundleToShellClearance = 0.035;
    g.sealingStripPairs = 2;
    return g;
}

ShellStream water() {
    return {.massFlow = 20,
            .density = 995,
            .viscosity = 8e-4,
            .heatCapacity = 4180,
            .conductivity = 0.62,
            .wallViscosity = std::nullopt};
}

TEST(BellDelaware, EveryFactorAtOneIsTheIdealBank) {
    BellDelawareFactors ones{1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    BellDelawareResult r = bellDelawareShellSide(cooler(), water(), ones);
    EXPECT_EQ(r.coefficient, r.idealCoefficient);
    // The ideal bank written out: h = j cp (m/Sm) Pr^(-2/3).
    double j = bell::idealJ(r.reynolds, 30, 0.025 / 0.019);
    double Pr = 4180 * 8e-4 / 0.62;
    EXPECT_NEAR(r.idealCoefficient, j * 4180 * (20 / r.crossFlowArea) / std::cbrt(Pr * Pr),
                1e-9 * r.idealCoefficient);
    double ideal = (10 - 1) * r.idealCrossFlowDrop + 10 * r.idealWindowDrop +
                   2 * r.idealCrossFlowDrop * (1 + r.windowRows / r.crossFlowRows);
    EXPECT_NEAR(r.pressureDrop, ideal, 1e-12 * ideal);
}

// The banded ideal-bank fits stand for one continuous curve per layout: a
// misprinted coefficient shows as a jump at a band edge.
TEST(BellDelaware, IdealBankFitsAreContinuousAtTheirBandEdges) {
    for (int angle : {30, 45, 90})
        for (double edge : {10.0, 100.0, 1e3, 1e4})
            for (auto fit : {bell::idealJ, bell::idealF}) {
                double below = fit(edge * (1 - 1e-9), angle, 1.25);
                double above = fit(edge, angle, 1.25);
                EXPECT_NEAR(above / below, 1, 0.06) << angle << " degrees, Re " << edge;
            }
}

TEST(BellDelaware, FitsReduceToOneWithoutLeakageBypassOrLongEnds) {
    BellDelawareGeometry g = cooler();
    g.shellToBaffleClearance = g.tubeToBaffleClearance = g.bundleToShellClearance = 0;
    g.inletBaffleSpacing = g.outletBaffleSpacing = g.centralBaffleSpacing;
    BellDelawareResult r = bellDelawareShellSide(g, water());
    ASSERT_GT(r.reynolds, 100);
    for (double f : {r.jl, r.jb, r.js, r.jr, r.rl, r.rb, r.rs}) EXPECT_EQ(f, 1);
    EXPECT_DOUBLE_EQ(r.coefficient, r.idealCoefficient * r.jc);
    // Leakage and bypass lower both the coefficient and the drop.
    BellDelawareResult leaky = bellDelawareShellSide(cooler(), water());
    EXPECT_LT(leaky.coefficient, r.coefficient);
    EXPECT_LT(leaky.pressureDrop, r.pressureDrop);
    EXPECT_GT(leaky.jl * leaky.jb, 0.5);
}

// Each value of the geometry past its bound is refused by name, with the
// value and the bound in the message (the cooler: Ds 0.54 m, Do 19 mm,
// Ltp 25 mm, Lbb 35 mm).
TEST(BellDelaware, RefusesGeometryPastItsBounds) {
    struct Row {
        std::function<void(BellDelawareGeometry&)> spoil;
        const char* argument;
        const char* bound;  // the bound as the message gives it
        const char* why;
    };
    const Row rows[] = {
        {[](auto& g) { g.tubeToBaffleClearance = 0.5; }, "tubeToBaffleClearance",
         "Ltp - Do = 0.006 m", "a hole wider than the pitch"},
        {[](auto& g) { g.tubeToBaffleClearance = 0.0061; }, "tubeToBaffleClearance",
         "Ltp - Do = 0.006 m", "no ligament left, just past the bound"},
        {[](auto& g) {
             g.tubePitch = 0.05;
             g.tubeToBaffleClearance = 0.02;
         },
         "tubeToBaffleClearance", "the tube outer diameter 0.019 m", "a hole of twice the tube"},
        {[](auto& g) { g.tubeToBaffleClearance = -1e-4; }, "tubeToBaffleClearance",
         "not be below 0", "negative"},
        {[](auto& g) { g.shellToBaffleClearance = 0.5; }, "shellToBaffleClearance",
         "Lbb + Do = 0.054 m", "a baffle that misses the outer tubes"},
        {[](auto& g) { g.bundleToShellClearance = 0.5; }, "bundleToShellClearance",
         "2 Bc Ds - Do = 0.251 m", "a cut that misses the bundle"},
        {[](auto& g) { g.bundleToShellClearance = std::nan(""); }, "bundleToShellClearance",
         "finite", "not a number"},
        {[](auto& g) { g.baffleCut = 0.46; }, "baffleCut", "between 0.15 and 0.45", "deep cut"},
        {[](auto& g) { g.baffleCut = 0.149; }, "baffleCut", "between 0.15 and 0.45", "small cut"},
        {[](auto& g) { g.tubePitch = 0.019; }, "tubePitch", "tube outer diameter 0.019 m",
         "tubes touching"},
        {[](auto& g) { g.tubePitch = 0.6; }, "tubePitch", "shell diameter 0.54 m",
         "a pitch wider than the shell"},
        {[](auto& g) { g.tubeOuterDiameter = 0.6; }, "tubeOuterDiameter", "shell diameter 0.54 m",
         "a tube wider than the shell"},
        {[](auto& g) { g.inletBaffleSpacing = -0.1; }, "inletBaffleSpacing", "not be below 0",
         "negative end spacing"},
        {[](auto& g) { g.layoutAngle = 60; }, "layoutAngle", "30, 45 or 90", "no such layout"},
        {[](auto& g) { g.tubeCount = 5000; }, "tubeCount", "fills the baffle window",
         "more tubes than the window holds"},
    };
    for (const Row& row : rows) {
        BellDelawareGeometry g = cooler();
        row.spoil(g);
        try {
            bellDelawareShellSide(g, water());
            ADD_FAILURE() << row.why;
        } catch (const InvalidArgument& e) {
            std::string what = e.what();
            EXPECT_EQ(e.argument(), row.argument) << row.why << ": " << what;
            EXPECT_TRUE(what.starts_with(row.argument)) << row.why << ": " << what;
            EXPECT_NE(what.find(row.bound), std::string::npos) << row.why << ": " << what;
        }
    }
}

// TEMA's tube-hole clearance: 1/64 in only for tubes of 1 1/4 in OD and
// smaller whose span exceeds 36 in, 1/32 in otherwise.
TEST(BellDelaware, TubeHoleClearanceFollowsTemaAtItsThresholds) {
    const double od = k::closeHoleLargestTube, span = k::closeHoleShortestSpan;
    const double loose = k::tubeHoleClearance, close = k::closeTubeHoleClearance;
    const struct {
        double Do, span, expected;
        const char* why;
    } rows[] = {
        {0.019, span, loose, "3/4 in tube at exactly 36 in"},
        {0.019, span + 1e-3, close, "3/4 in tube just over 36 in"},
        {od, span + 1e-3, close, "1 1/4 in tube over 36 in"},
        {od + 1e-4, span + 1e-3, loose, "just over 1 1/4 in, over 36 in"},
        {0.0508, 0.75, loose, "2 in tube at 0.75 m"},
        {0.0508, 2.0, loose, "2 in tube at 2 m"},
        {0.019, 0.5, loose, "3/4 in tube at 0.5 m"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(temaTubeToBaffleClearance(row.Do, row.span), row.expected) << row.why;
    // Two spacings between alternate supports; an end spacing counts with
    // its neighbour, and one baffle leaves both end spacings.
    EXPECT_EQ(longestUnsupportedSpan(10, 0.3, 0.3, 0.3), 0.6);
    EXPECT_EQ(longestUnsupportedSpan(10, 0.5, 0.3, 0.4), 0.8);
    EXPECT_EQ(longestUnsupportedSpan(1, 0.5, 0.3, 0.4), 0.9);
}

Case crossFlowCase() {
    auto path = std::filesystem::path(__FILE__).parent_path() /
                "../cases/success-type2_staggered_row2/48230007640350000606.txt";
    return readCase(path);  // Ds 0.236 m, Do 37.2 mm, ST 50 mm, L 7.19 m, 6 baffles
}

Extensions bellDelaware() {
    Extensions ext;
    ext.shellSide = ShellSideMethod::bellDelaware;
    ext.baffles.bundleToShellClearance = 0.002;
    return ext;
}

// A rating with extensions refuses the geometry before it rates, naming
// the case document's field; end spacings must fit the tube length.
TEST(BellDelaware, ExtendedRatingNamesTheDocumentsField) {
    const Case base = crossFlowCase();
    const double Lbc = base.tubeLength / 7;
    struct Row {
        std::function<void(Case&, BaffleGeometry&)> spoil;
        const char* argument;
        const char* says;
        const char* why;
    };
    const Row rows[] = {
        {[](Case&, auto& b) { b.tubeToBaffleClearance = 0.5; },
         "extensions.baffles.tube_to_baffle_clearance", "0.5 m must be below", "Ltb > Ltp - Do"},
        {[](Case&, auto& b) { b.shellToBaffleClearance = 0.5; },
         "extensions.baffles.shell_to_baffle_clearance", "0.5 m must be below", "Lsb > Lbb + Do"},
        {[](Case&, auto& b) { b.bundleToShellClearance = 0.2; },
         "extensions.baffles.bundle_to_shell_clearance", "0.2 m must be below", "Lbb too large"},
        {[](Case&, auto& b) { b.baffleCut = 0.9; }, "extensions.baffles.baffle_cut",
         "0.9 must lie between", "cut"},
        {[](Case&, auto& b) { b.inletBaffleSpacing = 100; },
         "extensions.baffles.inlet_baffle_spacing", "more than case.tube_length 7.19 m",
         "100 m on a 7.19 m tube"},
        {[&](Case&, auto& b) { b.inletBaffleSpacing = b.outletBaffleSpacing = 1.5 * Lbc; },
         "extensions.baffles.inlet_baffle_spacing", "may add up to 2 Lbc",
         "both end spacings 1.5 Lbc"},
        {[&](Case&, auto& b) { b.outletBaffleSpacing = 1.5 * Lbc; },
         "extensions.baffles.outlet_baffle_spacing", "does not fit", "outlet given alone"},
        {[](Case&, auto& b) { b.outletBaffleSpacing = 0.0; },
         "extensions.baffles.outlet_baffle_spacing", "above 0", "zero end spacing"},
        {[](Case& c, auto& b) {
             c.shellInnerDiameter = 0.09;
             b.bundleToShellClearance.reset();
         },
         "extensions.baffles.bundle_to_shell_clearance", "(the default",
         "the 12 mm default in a 90 mm shell"},
        {[](Case& c, auto&) { c.transversePitch = 0.03; }, "case.transverse_pitch",
         "must exceed the tube outer diameter", "the case's tubes overlap"},
    };
    for (const Row& row : rows) {
        Case c = base;
        Extensions ext = bellDelaware();
        row.spoil(c, ext.baffles);
        try {
            rateExtended(c, ext);
            ADD_FAILURE() << row.why;
        } catch (const InvalidArgument& e) {
            std::string what = e.what();
            EXPECT_EQ(e.argument(), row.argument) << row.why << ": " << what;
            EXPECT_NE(what.find(row.says), std::string::npos) << row.why << ": " << what;
        }
    }
    // End spacings that trade length fit.
    Extensions traded = bellDelaware();
    traded.baffles.inletBaffleSpacing = 1.2 * Lbc;
    traded.baffles.outletBaffleSpacing = 0.8 * Lbc;
    EXPECT_NO_THROW(rateExtended(base, traded));
}

// The default hole clearance of the 37.2 mm (1.46 in) tube is 1/32 in: the
// rating is the one with that clearance given.
TEST(BellDelaware, LargeTubesTakeTheLooseHoleByDefault) {
    const Case c = crossFlowCase();
    Extensions given = bellDelaware();
    given.baffles.tubeToBaffleClearance = k::tubeHoleClearance;
    const BellDelawareResult byDefault = *rateExtended(c, bellDelaware()).bellDelaware;
    const BellDelawareResult loose = *rateExtended(c, given).bellDelaware;
    EXPECT_EQ(byDefault.tubeBaffleLeakageArea, loose.tubeBaffleLeakageArea);
    EXPECT_EQ(byDefault.coefficient, loose.coefficient);
}

// Near Re = 100 the assessment of a Bell-Delaware rating warns of the
// hand-over, with the window drop by both forms; the program's own
// boundaries (whose re-ratings would drop the extensions) are not checked.
TEST(BellDelaware, WarnsNearTheLaminarHandOver) {
    const Case base = crossFlowCase();
    const Extensions ext = bellDelaware();
    const double baseRe = rateExtended(base, ext).bellDelaware->reynolds;
    const struct {
        double Re;
        bool warned;
    } rows[] = {{85, false}, {89, false}, {91, true},   {99, true},
                {101, true}, {109, true}, {111, false}, {1035, false}};
    for (const auto& row : rows) {
        Case c = base;
        c.shellFluid.volumetricFlow *= row.Re / baseRe;
        const ExtendedRating x = rateExtended(c, ext);
        AssessOptions options;
        options.grids = 0;
        options.withExtensions = true;
        options.bellDelaware = x.bellDelaware;
        std::vector<Warning> switches;
        for (const Warning& w : assess(c, x.rating, options).warnings)
            if (w.code == "correlation-switch") switches.push_back(w);
        ASSERT_EQ(switches.size(), row.warned ? 1u : 0u) << "Re " << row.Re;
        if (!row.warned) continue;
        const Warning& w = switches.front();
        EXPECT_EQ(w.caseLine, 16);
        EXPECT_TRUE(w.message.starts_with("Bell-Delaware shell side")) << w.message;
        const BellDelawareResult& bd = *x.bellDelaware;
        ASSERT_TRUE(bd.otherFormWindowDrop.has_value());
        // Laminar below 100, and the laminar window drop is the larger.
        EXPECT_EQ(bd.windowDrop > *bd.otherFormWindowDrop, row.Re < 100) << "Re " << row.Re;
    }
}

}  // namespace
}  // namespace hxrate
