#include "hxrate/extensions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

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
    ext.shells = 3;
    EXPECT_GT(rateExtended(c, ext).p1, two.p1) << "the same area split into shells in series";
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

}  // namespace
}  // namespace hxrate
