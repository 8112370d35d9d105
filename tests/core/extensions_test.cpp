#include "hxrate/extensions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "hxrate/case_files.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;

const fs::path casesDir = fs::path(__FILE__).parent_path() / "../cases";
constexpr const char* caseFile = "48230007640350000606.txt";

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

void expectSameBits(const std::vector<double>& a, const std::vector<double>& b, const char* what,
                    const std::string& name) {
    ASSERT_EQ(a.size(), b.size()) << name << " " << what;
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(bits(a[i]), bits(b[i])) << name << " " << what << " node " << i;
}

// With no extensions every number is rate()'s, bit for bit, over every
// success case of the end-to-end corpus.
TEST(Extensions, EmptyIsTheProgramsRatingBitForBit) {
    int rated = 0;
    for (const auto& entry : fs::directory_iterator(casesDir)) {
        std::string name = entry.path().filename().string();
        if (!name.starts_with("success-")) continue;
        Case c = readCase(entry.path() / caseFile);
        Rating plain = rate(c, {});  // unambiguous: the extended rating has its own name
        ExtendedRating ext = rateExtended(c, Extensions{});
        const Rating& e = ext.rating;
        for (auto [x, y] : {std::pair{plain.overallCoefficient, e.overallCoefficient},
                            std::pair{plain.conductancePerLength, e.conductancePerLength},
                            std::pair{plain.tubeOutletTemperature, e.tubeOutletTemperature},
                            std::pair{plain.shellOutletTemperature, e.shellOutletTemperature},
                            std::pair{plain.shellExitTemperature, e.shellExitTemperature},
                            std::pair{plain.shell.filmCoefficient, e.shell.filmCoefficient},
                            std::pair{plain.tube.filmCoefficient, e.tube.filmCoefficient}})
            ASSERT_EQ(bits(x), bits(y)) << name;
        ASSERT_EQ(plain.tubeDuty.has_value(), e.tubeDuty.has_value()) << name;
        if (plain.tubeDuty) {
            ASSERT_EQ(bits(*plain.tubeDuty), bits(*e.tubeDuty)) << name;
        }
        ASSERT_EQ(plain.shootingPasses, e.shootingPasses) << name;
        expectSameBits(plain.profile.tube, e.profile.tube, "tube", name);
        expectSameBits(plain.profile.shell, e.profile.shell, "shell", name);
        EXPECT_EQ(ext.cleanlinessFactor, 1) << name;
        ++rated;
    }
    EXPECT_GT(rated, 20);
}

Case example() {
    return readCase(fs::path(__FILE__).parent_path() / "../../examples/water-oil" / caseFile);
}

// Fouling adds Rf_o + Rf_i Do/Di to 1/U on the outer surface and lowers the
// duty through the march.
TEST(Extensions, FoulingEntersTheResistanceOnItsOwnSurface) {
    Case c = example();
    Extensions ext;
    ext.foulingInside = 1.8e-4;
    ext.foulingOutside = 3.5e-4;
    ExtendedRating fouled = rateExtended(c, ext);
    Rating clean = rate(c);
    double Do = clean.geometry.outerDiameter;
    double expected = 1 / clean.overallCoefficient + 3.5e-4 + 1.8e-4 * Do / c.tubeInnerDiameter;
    EXPECT_NEAR(1 / fouled.serviceCoefficient, expected, 1e-12 * expected);
    EXPECT_EQ(bits(fouled.cleanCoefficient), bits(clean.overallCoefficient));
    EXPECT_LT(fouled.cleanlinessFactor, 1);
    double dutyFouled = std::fabs(*fouled.rating.tubeDuty), dutyClean = std::fabs(*clean.tubeDuty);
    EXPECT_LT(dutyFouled, dutyClean);
    EXPECT_GT(dutyFouled, 0.5 * dutyClean);
}

// Several passes: each pass has Nt/N tubes (a higher tube-side Reynolds
// number); the outlets are the P-NTU ones and the duties balance.
TEST(Extensions, TubePassesAndShellsRateByPNtu) {
    Case c = example();
    Extensions ext;
    ext.tubePasses = 2;
    ExtendedRating two = rateExtended(c, ext);
    Rating one = rate(c);
    EXPECT_NEAR(two.rating.tube.reynolds, 2 * one.tube.reynolds, 1e-9 * one.tube.reynolds);
    const Rating& r = two.rating;
    EXPECT_NEAR(*r.tubeDuty, *r.shellDuty, 1e-9 * std::fabs(*r.tubeDuty));
    EXPECT_NEAR(two.p1, temaEP1(two.r1, two.ntu1, 2), 1e-12);
    ASSERT_TRUE(two.lmtdCorrection.has_value());
    EXPECT_GT(*two.lmtdCorrection, 0);
    EXPECT_LT(*two.lmtdCorrection, 1);
    // Three shells in series are three of the case's exchanger: three times
    // the area and NTU1, and the tube stream's drop through all of them.
    ext.shells = 3;
    ExtendedRating three = rateExtended(c, ext);
    EXPECT_GT(three.p1, two.p1);
    EXPECT_NEAR(three.ntu1, 3 * two.ntu1, 1e-12 * three.ntu1);
    EXPECT_NEAR(three.rating.area, 3 * r.area, 1e-12 * r.area);
    EXPECT_NEAR(three.tubePressureDrop, 3 * two.tubePressureDrop, 1e-12 * three.tubePressureDrop);
}

// Shells of one pass in series keep the flow of their type: co-current
// shells (types 0, 2) hand both streams on at the same end, so P1 is that of
// co-current shells of NTU1/N each, combined as 1 - P1 (1 + R1) =
// (1 - P1,i (1 + R1))^N; counter-current shells (types 1, 3) are
// counterflow of the whole NTU1.
TEST(Extensions, ShellsInSeriesKeepTheFlowOfTheirType) {
    struct Row {
        int type, baffles, shells;
        bool coCurrent;
        const char* why;
    };
    const Row rows[] = {
        {0, 0, 2, true, "co-current, two shells"},
        {0, 0, 3, true, "co-current, three shells"},
        {2, 8, 2, true, "co-current cross flow, eight baffles, two shells"},
        {1, 0, 2, false, "counter-current, two shells"},
        {3, 8, 3, false, "counter-current cross flow, three shells"},
    };
    for (const auto& row : rows) {
        Case c = example();
        c.exchangerType = row.type;
        c.baffleCount = row.baffles;
        c.tubeLength = 20;
        Extensions ext;
        ext.shells = row.shells;
        ExtendedRating r = rateExtended(c, ext);
        double R = r.r1, ntu = r.ntu1, N = row.shells, expected;
        if (row.coCurrent) {
            double one = (1 - std::exp(-(ntu / N) * (1 + R))) / (1 + R);
            expected = (1 - std::pow(1 - one * (1 + R), N)) / (1 + R);
        } else {
            double e = std::exp(-ntu * (1 - R));
            expected = (1 - e) / (1 - R * e);
        }
        EXPECT_NEAR(r.p1, expected, 1e-12) << row.why;
        const Rating& rt = r.rating;
        double span = c.shellInletTemperature - c.tubeInletTemperature;
        EXPECT_NEAR(rt.shellOutletTemperature, c.shellInletTemperature - expected * span, 1e-9)
            << row.why;
        EXPECT_NEAR(*rt.tubeDuty, *rt.shellDuty, 1e-9 * std::fabs(*rt.tubeDuty)) << row.why;
        if (row.coCurrent) {  // the outlets never cross in co-current flow
            EXPECT_GT(rt.shellOutletTemperature, rt.tubeOutletTemperature) << row.why;
        }
    }
}

TEST(Extensions, BellDelawareReplacesTheShellCoefficient) {
    Case c = readCase(casesDir / "success-type2_staggered_row2" / caseFile);
    Extensions ext;
    ext.shellSide = ShellSideMethod::bellDelaware;
    ext.baffles.bundleToShellClearance = 0.002;
    ExtendedRating bd = rateExtended(c, ext);
    ASSERT_TRUE(bd.bellDelaware.has_value());
    EXPECT_EQ(bd.rating.shell.filmCoefficient, bd.bellDelaware->coefficient);
    EXPECT_EQ(bd.cleanlinessFactor, 1);
}

TEST(Extensions, RefusesWhatTheCaseCannotCarry) {
    Case c = example();  // 40 tubes, no baffles
    struct Row {
        Extensions ext;
        const char* argument;
        const char* why;
    };
    Extensions negative, six, bell;
    negative.foulingOutside = -1e-4;
    six.tubePasses = 6;
    bell.shellSide = ShellSideMethod::bellDelaware;
    const Row rows[] = {{negative, "foulingOutside", "negative fouling"},
                        {six, "tubePasses", "40 tubes in 6 passes"},
                        {bell, "shellSide", "Bell-Delaware without baffles"}};
    for (const auto& row : rows) {
        try {
            rateExtended(c, row.ext);
            ADD_FAILURE() << row.why;
        } catch (const InvalidArgument& e) {
            EXPECT_EQ(e.argument(), row.argument) << row.why;
        }
    }
}

// Tube-side drop of the example (40 tubes, Di = 16 mm, L = 3 m, 2 l/s of
// water): V from Nt/N tubes per pass, f from Colebrook at that Re, worked
// independently; friction f (N L/Di) rho V^2/2 plus returns 4 N rho V^2/2.
// Tolerances: the model's pi is a single-precision constant (3e-8) and its
// Colebrook iteration stops at its own tolerance.
TEST(Extensions, TubePressureDropOverThePasses) {
    Case c = example();
    struct Row {
        int passes;
        double velocity, friction, returns;
        const char* why;
    };
    const Row rows[] = {
        {1, 0.24867959858108651, 231.95147322166906, 123.43571932989886, "Re 3971"},
        {2, 0.49735919716217303, 1526.7342959809864, 987.4857546391909, "20 tubes a pass"},
        {4, 0.9947183943243461, 10216.50177626579, 7899.886037113527, "10 tubes a pass"},
    };
    for (const auto& row : rows) {
        Extensions ext;
        ext.tubePasses = row.passes;
        ExtendedRating r = rateExtended(c, ext);
        EXPECT_NEAR(r.tubeVelocity, row.velocity, 1e-7 * row.velocity) << row.why;
        EXPECT_NEAR(r.tubeFrictionDrop, row.friction, 1e-4 * row.friction) << row.why;
        EXPECT_NEAR(r.tubeReturnDrop, row.returns, 1e-7 * row.returns) << row.why;
        EXPECT_EQ(r.tubePressureDrop, r.tubeFrictionDrop + r.tubeReturnDrop) << row.why;
    }
}

// Without fouling clean and service U are one number and the over-surface
// is 0; with it, over-surface is clean/service - 1 in per cent.
TEST(Extensions, OverSurfaceAndZeroFouling) {
    Case cross = readCase(casesDir / "success-type2_staggered_row2" / caseFile);
    Extensions none, two, bell, fouled;
    two.tubePasses = 2;
    bell.shellSide = ShellSideMethod::bellDelaware;
    fouled.foulingOutside = 2e-4;
    struct Row {
        Case c;
        Extensions ext;
        double overSurface;  // < 0: compute from the coefficients
        const char* why;
    };
    const Row rows[] = {{example(), none, 0, "no extensions"},
                        {example(), two, 0, "two passes, clean"},
                        {cross, bell, 0, "Bell-Delaware, clean"},
                        {example(), fouled, -1, "fouled"}};
    for (const auto& row : rows) {
        ExtendedRating r = rateExtended(row.c, row.ext);
        if (row.overSurface == 0) {
            EXPECT_EQ(bits(r.cleanCoefficient), bits(r.serviceCoefficient)) << row.why;
            EXPECT_EQ(r.overSurfacePercent, 0) << row.why;
        } else {
            double U = r.cleanCoefficient, Us = 1 / (1 / U + 2e-4);
            EXPECT_NEAR(r.overSurfacePercent, (U / Us - 1) * 100, 1e-9) << row.why;
            EXPECT_NEAR(r.overSurfacePercent, U * 2e-4 * 100, 1e-9) << row.why;
        }
    }
}

// The fouling an arrangement can carry at the case's own duty: put it on the
// outer surface and the arrangement delivers that duty again (closed-form
// inverse of its P-NTU relation); for the clean one-pass march it is the
// march's small departure from the counterflow closed form.
TEST(Extensions, AllowableFoulingMeetsTheCasesDuty) {
    Case c = example();
    double duty = std::fabs(*rate(c).tubeDuty);
    struct Row {
        int passes, shells;
        const char* why;
    };
    const Row rows[] = {{1, 1, "the march itself"},
                        {2, 1, "1-2 shell, higher tube velocity"},
                        {4, 1, "1-4 shell"},
                        {2, 3, "three 1-2 shells in series"}};
    for (const auto& row : rows) {
        Extensions ext;
        ext.tubePasses = row.passes;
        ext.shells = row.shells;
        ExtendedRating r = rateExtended(c, ext);
        ASSERT_TRUE(r.targetDuty && r.allowableFouling) << row.why;
        EXPECT_EQ(*r.targetDuty, duty) << row.why;
        if (row.passes == 1 && row.shells == 1) {
            EXPECT_NEAR(*r.allowableFouling * r.cleanCoefficient, 0, 1e-2) << row.why;
            continue;
        }
        if (*r.allowableFouling < 0) continue;  // falls short even clean
        ext.foulingOutside = *r.allowableFouling;
        ExtendedRating atLimit = rateExtended(c, ext);
        EXPECT_NEAR(std::fabs(*atLimit.rating.tubeDuty), duty, 1e-9 * duty) << row.why;
        EXPECT_EQ(*atLimit.allowableFouling, ext.foulingOutside)
            << row.why << ": the arrangement's";
    }
}

}  // namespace
}  // namespace hxrate
