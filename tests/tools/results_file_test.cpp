#include "results_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "batch.h"
#include "case_lines.h"
#include "plot.h"
#include "support/expect_error.h"
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;

// A type 3 report written the way hxrate lays it out, with the unusual
// fields: an exponent above 99, a negative value, a fixed field that
// overflowed, and a negative fraction without its leading zero.
const std::string crossFlowReport =
    " Cross Flow Counter-current Single-pass Heat Exchanger\r\n"
    " \r\n"
    " Overall Heat Transfer Coefficient =  1.000+100\r\n"
    " Exchanger Heat Transfer Area = -1.500E-07\r\n"
    " Tube Inner Surface Convective Heat Transfer Coefficient =  1.254E+02\r\n"
    " Internal & External Mass Flow Rate =  2.131E+00 & 3.490E-02\r\n"
    " \r\n"
    " Shell Exit Temperature =  9.349E+01\r\n"
    " \r\n"
    "   Location   Tube Fluid Temperature   Shell-pass Inlet Temperature\r\n"
    " \r\n"
    "       .00               11.40                  112.32\r\n"
    "       .22                -.50              **********\r\n"
    "       .43               11.90                  135.36\r\n";

TEST(ResultsFile, ReadsEveryFieldOfACrossFlowReport) {
    ResultsReport r = parseResultsReport(crossFlowReport);
    EXPECT_EQ(r.exchangerType, 3);
    EXPECT_EQ(r.title, "Cross Flow Counter-current Single-pass Heat Exchanger");
    EXPECT_EQ(r.overallCoefficient.value, 1e100);
    EXPECT_EQ(r.overallCoefficient.text, "1.000+100");
    EXPECT_EQ(r.heatTransferArea.value, -1.5e-7);
    EXPECT_EQ(r.tubeFilmCoefficient.value, 125.4);
    EXPECT_EQ(r.tubeMassFlow.value, 2.131);
    EXPECT_EQ(r.shellMassFlow.value, 0.0349);
    ASSERT_TRUE(r.shellExitTemperature.has_value());
    EXPECT_EQ(r.shellExitTemperature->value, 93.49);
    EXPECT_EQ(r.thirdColumnTitle, "Shell-pass Inlet Temperature");
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0].location.value, 0.0);
    EXPECT_EQ(r.rows[1].tubeTemperature.value, -0.5);
    EXPECT_TRUE(std::isnan(r.rows[1].thirdColumn.value));
    EXPECT_EQ(r.rows[2].location.value, 0.43);
}

TEST(ResultsFile, AcceptsLineFeedsWithoutCarriageReturns) {
    std::string lf = crossFlowReport;
    for (std::size_t at; (at = lf.find('\r')) != std::string::npos;) lf.erase(at, 1);
    EXPECT_EQ(parseResultsReport(lf).rows.size(), 3u);
}

// Every sample report reads back, with the type of its case and one row per
// node of the case's grid.
TEST(ResultsFile, ReadsEverySampleReport) {
    int reports = 0;
    for (const auto& entry : std::filesystem::directory_iterator(HXRATE_CASES_DIR)) {
        // Only a successful run leaves a report of its own case.
        std::string expected = entry.path().string() + "/expected/" + resultsName;
        std::string log = entry.path().string() + "/expected/" + logName;
        if (!exists(log) || readFile(log) != " Calculation processed successfully\r\n") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ResultsReport r = parseResultsReport(readFile(expected));
        std::optional<CaseGrid> grid = caseGrid(entry.path().string() + "/" + caseName);
        ASSERT_TRUE(grid.has_value());
        EXPECT_EQ(r.exchangerType, grid->exchangerType);
        EXPECT_EQ(static_cast<std::int64_t>(r.rows.size()), grid->elementCount + 1);
        EXPECT_EQ(r.rows.front().location.value, 0.0);
        EXPECT_EQ(r.shellExitTemperature.has_value(), r.exchangerType >= 2);
        ++reports;
    }
    EXPECT_GE(reports, 10);
}

struct DamagedFile {
    const char* what;
    std::string bytes;
    const char* messagePart;
};

TEST(ResultsFile, RefusesTruncatedAndForeignFiles) {
    const std::string& good = crossFlowReport;
    auto upToLine = [&](int lines) {
        std::size_t at = 0;
        for (int i = 0; i < lines; ++i) at = good.find('\n', at) + 1;
        return good.substr(0, at);
    };
    std::string badLabel = good;
    badLabel.replace(badLabel.find("Coefficient ="), 11, "Coeff      ");
    std::string shortRow = good.substr(0, good.size() - 3) + "\r\n";
    std::string letterInRow = good;
    letterInRow.replace(letterInRow.rfind("11.90"), 5, "11.9x");
    const DamagedFile files[] = {
        {"empty", "", "empty"},
        {"cut inside the title", good.substr(0, 20), "truncated"},
        {"title only", upToLine(1), "truncated"},
        {"cut after the mass flow line", upToLine(6), "truncated"},
        {"cut after the column titles", upToLine(11), "truncated"},
        {"cut inside a row", good.substr(0, good.size() - 10), "truncated"},
        {"a case file", readFile(sampleCase("success-branch_t1_007") + "/" + caseName),
         "not a results file"},
        {"a line of text", "hello\r\n", "not a results file"},
        {"an altered label", badLabel, "line 3"},
        {"a row cut short", shortRow, "line 14"},
        {"a letter in a row", letterInRow, "line 14"},
    };
    for (const DamagedFile& f : files) {
        SCOPED_TRACE(f.what);
        auto e = hxrate::testing::errorOf<ResultsFileError>([&] { parseResultsReport(f.bytes); });
        ASSERT_TRUE(e) << "accepted";
        EXPECT_NE(e->message.find(f.messagePart), std::string::npos) << e->message;
    }
}

TEST(ResultsFile, OutletsAreTakenAtTheEndWhereEachFluidLeaves) {
    struct Expectation {
        std::int32_t type;
        double tubeOutlet, shellOutlet;
    };
    // Rows (location, tube, third column): (0, 10, 50), (1, 20, 60), (2, 30, 70).
    const Expectation table[] = {{0, 30, 70}, {1, 30, 50}, {2, 30, 70}, {3, 30, 50}};
    for (const Expectation& e : table) {
        ResultsReport r;
        r.exchangerType = e.type;
        for (int i = 0; i < 3; ++i) {
            r.rows.push_back({{"", double(i)}, {"", 10.0 + 10 * i}, {"", 50.0 + 10 * i}});
        }
        OutletTemperatures out = outletTemperatures(r);
        EXPECT_EQ(out.tubeOutlet.value, e.tubeOutlet) << "type " << e.type;
        EXPECT_EQ(out.shellOutlet.value, e.shellOutlet) << "type " << e.type;
    }
}

TEST(ResultsFile, WritesNumbersInTheirShortestDecimalForm) {
    const std::pair<double, const char*> table[] = {{36.76, "36.76"},
                                                    {0.0, "0"},
                                                    {1e100, "1e+100"},
                                                    {-1.5e-7, "-1.5e-07"},
                                                    {std::numeric_limits<double>::quiet_NaN(), ""}};
    for (auto [value, text] : table) EXPECT_EQ(shortestDecimal(value), text);
}

}  // namespace
}  // namespace hxrate::tools

namespace hxrate::tools {
namespace {

// The first case lines are read by the program's rules even when a later
// line is malformed or missing.
TEST(CaseLines, ReadsTheLeadingLinesOfAnyCaseText) {
    const struct {
        const char* why;
        std::string text;
        int lines;
        std::optional<std::int32_t> type;
        double elementLength;
    } table[] = {
        {"whole case",
         testing::readFile(testing::sampleCase("success-branch_t1_007") + "/" + testing::caseName),
         5, 1, 0.367},
        {"later line malformed", "1 3\n2 0.02\n3 0\n4 6\n5 0.5 x\n6 oops\n", 5, 3, 0.5},
        {"value on the next line", "1\n 2\n2 .1\n3 0\n4 1\n5\n .25\n6 ?", 5, 2, 0.25},
        {"a CR takes the rest of its line", "1 1\r 9\n2 0\n3 0\n4 1\n5 .5\r 7\n6 ?", 5, 1, 0.5},
        {"a last line without its end", "1 2", 1, 2, 0},
        {"a needed line malformed", "1 x\n", 1, std::nullopt, 0},
        {"a needed line missing", "1 1\n2 0.02\n", 5, std::nullopt, 0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.why);
        std::optional<Case> c = leadingCaseLines(row.text, row.lines);
        ASSERT_EQ(c.has_value(), row.type.has_value());
        if (!c) continue;
        EXPECT_EQ(c->exchangerType, *row.type);
        EXPECT_EQ(c->elementLength, row.elementLength);
    }
}

}  // namespace
}  // namespace hxrate::tools
