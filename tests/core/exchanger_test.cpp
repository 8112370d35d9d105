#include "hxrate/exchanger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hxrate/case_files.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;

std::string exampleText() {
    std::ifstream in(HXRATE_EXAMPLE_CASE, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> codesOf(const ExchangerRating& x) {
    std::vector<std::string> codes;
    for (const Warning& w : x.warnings) codes.push_back(w.code);
    return codes;
}

bool has(const std::vector<std::string>& codes, const std::string& code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// A document without extensions is the program's rating, bit for bit, over
// every success case of the end-to-end corpus.
TEST(Exchanger, DocumentWithoutExtensionsIsTheProgramsRating) {
    int rated = 0;
    for (const auto& entry : fs::directory_iterator(HXRATE_CASES_DIR)) {
        if (!entry.path().filename().string().starts_with("success-")) continue;
        const Case c = readCase(entry.path() / "48230007640350000606.txt");
        const Rating plain = rate(c, RateOptions{});
        ExchangerOptions noAssessment;
        noAssessment.assess = false;
        const ExchangerRating one = rate(CaseDocument{c, {}, {}}, noAssessment);
        ASSERT_TRUE(one.solved()) << entry.path();
        for (auto [x, y] :
             {std::pair{plain.overallCoefficient, one.rating.overallCoefficient},
              std::pair{plain.tubeOutletTemperature, one.rating.tubeOutletTemperature},
              std::pair{plain.shellOutletTemperature, one.rating.shellOutletTemperature}})
            ASSERT_EQ(bits(x), bits(y)) << entry.path();
        ASSERT_EQ(plain.profile.tube.size(), one.rating.profile.tube.size());
        for (std::size_t i = 0; i < plain.profile.tube.size(); ++i)
            ASSERT_EQ(bits(plain.profile.tube[i]), bits(one.rating.profile.tube[i]));
        ++rated;
    }
    EXPECT_GT(rated, 20);
}

// The example with water on both sides, so that the tube side matters to U.
Case waterWater() {
    Case c = parseCase(exampleText());
    c.shellFluid = c.tubeFluid;
    return c;
}

struct CodeRow {
    const char* why;
    CaseDocument document;
    std::vector<std::string> present, absent;
};

// Every arrangement's warnings come as one list of codes.
TEST(Exchanger, ArrangementWarningsJoinTheAssessments) {
    std::string commaText = exampleText();
    commaText.replace(commaText.find("4 3.0"), 5, "4 3,0");
    CaseDocument longTwoPass{waterWater(), {}, {}};
    longTwoPass.input.tubeLength = 48;
    longTwoPass.extensions.tubePasses = 2;
    CaseDocument nearLaminar{waterWater(), {}, {}};
    nearLaminar.input.tubeFluid.volumetricFlow = 0.000567;  // Re 1126 in one pass
    CaseDocument twoPassNearLaminar = nearLaminar;          // Re 2252 in each of two
    twoPassNearLaminar.extensions.tubePasses = 2;
    CaseDocument fouledComma{parseCase(commaText), {}, {}};
    fouledComma.extensions.foulingInside = 1e-4;
    const std::vector<CodeRow> rows = {
        {"a long two-pass shell: F below 0.75 and the outlets crossed",
         longTwoPass,
         {"lmtd-correction-low", "temperature-cross"},
         {}},
        {"two passes bring the tube side to Re 2250, near the laminar limit",
         twoPassNearLaminar,
         {"correlation-switch"},
         {}},
        {"one pass of the same stream is far from it", nearLaminar, {}, {"correlation-switch"}},
        {"a decimal comma in the case text of a fouled exchanger",
         fouledComma,
         {"decimal-comma"},
         {}},
    };
    for (const CodeRow& row : rows) {
        const std::vector<std::string> codes = codesOf(rate(row.document));
        for (const std::string& code : row.present) EXPECT_TRUE(has(codes, code)) << row.why;
        for (const std::string& code : row.absent) EXPECT_FALSE(has(codes, code)) << row.why;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), "temperature-cross"),
                  has(codes, "temperature-cross") ? 1 : 0)
            << row.why << ": each warning once";
    }
}

// The assessment describes the arrangement rated, not the bare case.
TEST(Exchanger, AssessmentIsThatOfTheArrangement) {
    CaseDocument twoShells{waterWater(), {}, {}};
    twoShells.extensions.tubePasses = 2;
    twoShells.extensions.shells = 2;
    const ExchangerRating x = rate(twoShells);
    const ExchangerRating bare = rate(CaseDocument{waterWater(), {}, {}});
    ASSERT_TRUE(x.assessment && x.assessment->tubePressureDrop && x.assessment->shellPressureDrop);
    EXPECT_EQ(x.assessment->tubePressureDrop->pressureDrop, x.extended->tubePressureDrop);
    EXPECT_EQ(x.assessment->tubePressureDrop->length, 4 * twoShells.input.tubeLength);
    EXPECT_FALSE(x.assessment->discretisation.formed) << "P-NTU outlets have no grid";
    EXPECT_DOUBLE_EQ(x.assessment->shellPressureDrop->pressureDrop,
                     2 * bare.assessment->shellPressureDrop->pressureDrop)
        << "the shell stream crosses both shells";

    // Bell-Delaware's shell side: its own drop through both shells, and no
    // range warnings of the program's shell correlations or of Kern's fit.
    CaseDocument bell = twoShells;
    bell.input.exchangerType = 3;
    bell.input.baffleCount = 8;
    bell.input.shellFluid = parseCase(exampleText()).shellFluid;  // oil: Re near 20
    bell.extensions.shellSide = ShellSideMethod::bellDelaware;
    const ExchangerRating b = rate(bell);
    ASSERT_TRUE(b.extended->bellDelaware && b.assessment->shellPressureDrop);
    EXPECT_EQ(b.assessment->shellPressureDrop->method, PressureDropMethod::bellDelaware);
    EXPECT_EQ(b.assessment->shellPressureDrop->pressureDrop,
              2 * b.extended->bellDelaware->pressureDrop);
    for (const Warning& w : b.warnings) EXPECT_NE(w.code, "correlation-range") << w.message;

    CaseDocument fouled{waterWater(), {}, {}};
    fouled.extensions.foulingOutside = 2e-3;
    const ExchangerRating f = rate(fouled);
    ASSERT_TRUE(f.assessment->discretisation.formed) << f.assessment->discretisation.note;
    // The finer grids rate the fouled exchanger: their outlets lie near its own.
    const GridSolution& half = f.assessment->discretisation.grids[1];
    EXPECT_NEAR(half.tubeOutlet, f.rating.tubeOutletTemperature, 0.5);
    EXPECT_GT(std::fabs(half.tubeOutlet - bare.assessment->discretisation.grids[1].tubeOutlet),
              1.0);
}

// A rejected case is a result with its partial rating and its warnings.
TEST(Exchanger, RejectionIsAResult) {
    CaseDocument d{waterWater(), {}, {}};
    d.input.correctionFactor = 50;  // the shooting's mismatch grows
    d.extensions.foulingInside = 1e-4;
    const ExchangerRating x = rate(d);
    ASSERT_FALSE(x.solved());
    EXPECT_FALSE(x.extended.has_value());
    ASSERT_TRUE(x.assessment.has_value());
    EXPECT_TRUE(has(codesOf(x), "slow-shooting")) << "the advice covers a fouled march too";
}

}  // namespace
}  // namespace hxrate
