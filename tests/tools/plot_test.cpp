#include "plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "colours.h"
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;

// Checks that `xml` is one well-formed element (after an optional XML
// declaration): tags nest and close, attribute values are quoted, and text
// holds no '<' and only the five predefined entities.
::testing::AssertionResult wellFormed(const std::string& xml) {
    auto entitiesOk = [](std::string_view text) {
        for (std::size_t at = text.find('&'); at != std::string_view::npos;
             at = text.find('&', at + 1)) {
            std::string_view rest = text.substr(at);
            bool known = false;
            for (std::string_view e : {"&lt;", "&gt;", "&amp;", "&quot;", "&apos;"})
                known |= rest.starts_with(e);
            if (!known) return false;
        }
        return true;
    };
    auto nameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == '_';
    };
    std::size_t i = 0;
    if (xml.starts_with("<?xml")) i = xml.find("?>") + 2;
    std::vector<std::string> open;
    int roots = 0;
    while (true) {
        std::size_t lt = xml.find('<', i);
        std::string_view text(xml.data() + i, (lt == std::string::npos ? xml.size() : lt) - i);
        if (!entitiesOk(text)) return ::testing::AssertionFailure() << "bad entity near " << i;
        if (open.empty() && text.find_first_not_of(" \n") != std::string_view::npos) {
            return ::testing::AssertionFailure() << "text outside the root element at " << i;
        }
        if (lt == std::string::npos) break;
        i = lt + 1;
        bool closing = i < xml.size() && xml[i] == '/';
        if (closing) ++i;
        std::size_t nameStart = i;
        while (i < xml.size() && nameChar(xml[i])) ++i;
        std::string name = xml.substr(nameStart, i - nameStart);
        if (name.empty()) return ::testing::AssertionFailure() << "tag without a name at " << lt;
        if (closing) {
            if (open.empty() || open.back() != name || xml[i] != '>') {
                return ::testing::AssertionFailure()
                       << "</" << name << "> does not close an open tag";
            }
            open.pop_back();
            ++i;
            continue;
        }
        if (open.empty()) ++roots;
        while (true) {  // attributes
            while (i < xml.size() && std::isspace(static_cast<unsigned char>(xml[i]))) ++i;
            if (xml.compare(i, 2, "/>") == 0) {
                i += 2;
                break;
            }
            if (i < xml.size() && xml[i] == '>') {
                open.push_back(name);
                ++i;
                break;
            }
            std::size_t attrStart = i;
            while (i < xml.size() && nameChar(xml[i])) ++i;
            if (i == attrStart || xml.compare(i, 2, "=\"") != 0) {
                return ::testing::AssertionFailure()
                       << "unquoted or nameless attribute in <" << name << ">";
            }
            std::size_t close = xml.find('"', i + 2);
            std::string_view value(xml.data() + i + 2, close - i - 2);
            if (close == std::string::npos || value.find('<') != std::string_view::npos ||
                !entitiesOk(value)) {
                return ::testing::AssertionFailure() << "bad attribute value in <" << name << ">";
            }
            i = close + 1;
        }
    }
    if (!open.empty())
        return ::testing::AssertionFailure() << "<" << open.back() << "> is never closed";
    if (roots != 1) return ::testing::AssertionFailure() << roots << " root elements";
    return ::testing::AssertionSuccess();
}

// The points of the polyline with the given id.
std::vector<std::pair<double, double>> polyline(const std::string& svg, const std::string& id) {
    std::size_t at = svg.find("<polyline id=\"" + id + "\"");
    std::vector<std::pair<double, double>> points;
    if (at == std::string::npos) return points;
    std::size_t from = svg.find("points=\"", at) + 8;
    std::istringstream in(svg.substr(from, svg.find('"', from) - from));
    double x, y;
    char comma;
    while (in >> x >> comma >> y) points.emplace_back(x, y);
    return points;
}

TEST(PlotTicks, AreRoundAndCoverTheRange) {
    struct Row {
        double low, high;
        int wanted;
        double first, last, step;
    };
    const Row table[] = {
        {0, 6.67, 8, 0, 7, 1},
        {2.3, 90.2, 6, 0, 100, 20},
        {-11.2, 212.4, 6, -50, 250, 50},
        {0, 0.0432, 8, 0, 0.05, 0.01},
        {5, 5, 6, 4, 6, 0.5},
        {-3.1, -3.05, 6, -3.1, -3.05, 0.01},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(std::to_string(r.low) + " .. " + std::to_string(r.high));
        std::vector<double> ticks = niceTicks(r.low, r.high, r.wanted);
        ASSERT_GE(ticks.size(), 2u);
        EXPECT_NEAR(ticks.front(), r.first, 1e-9);
        EXPECT_NEAR(ticks.back(), r.last, 1e-9);
        EXPECT_NEAR(ticks[1] - ticks[0], r.step, 1e-9);
        EXPECT_LE(ticks.front(), r.low);
        EXPECT_GE(ticks.back(), r.high);
    }
}

TEST(PlotSvg, EscapesMarkup) {
    EXPECT_EQ(xmlEscape("a<b & \"c\">'d'"), "a&lt;b &amp; &quot;c&quot;&gt;&apos;d&apos;");
}

// One sample report of each exchanger type.
const char* const sampleReports[] = {"success-axial_nb_001", "success-branch_t1_007",
                                     "success-branch_t2_006", "success-branch_t3_055"};

TEST(PlotSvg, DrawsOnePointPerTableRowWithTitleLegendAndCaption) {
    for (const char* name : sampleReports) {
        SCOPED_TRACE(name);
        ResultsReport report =
            parseResultsReport(readFile(sampleCase(name) + "/expected/" + resultsName));
        std::string svg = renderProfileSvg(report);
        EXPECT_TRUE(wellFormed(svg));
        for (const char* id : {"tube-fluid", "shell-fluid"}) {
            std::vector<std::pair<double, double>> points = polyline(svg, id);
            EXPECT_EQ(points.size(), report.rows.size()) << id;
            for (auto [x, y] : points) {
                EXPECT_TRUE(x >= 90 && x <= 770 && y >= 70 && y <= 400)
                    << id << " point " << x << "," << y;
            }
        }
        // The first point is at location 0 on the left, and the tube fluid
        // starts at its inlet temperature.
        auto tube = polyline(svg, "tube-fluid");
        auto shell = polyline(svg, "shell-fluid");
        EXPECT_EQ(tube.front().first, shell.front().first);
        EXPECT_NE(tube.front().second, shell.front().second);
        EXPECT_NE(svg.find(">" + report.title + "<"), std::string::npos);
        EXPECT_NE(svg.find(">Tube Fluid Temperature<"), std::string::npos);
        EXPECT_NE(svg.find(">" + report.thirdColumnTitle + "<"), std::string::npos);
        EXPECT_NE(svg.find("Overall Heat Transfer Coefficient = " + report.overallCoefficient.text +
                           " W/(m\u00b2\u00b7K)"),
                  std::string::npos);
        // The same colour per fluid as the report's page, and the curves
        // reach to within a tenth of the chart's height of its top and bottom.
        EXPECT_NE(svg.find("id=\"tube-fluid\" fill=\"none\" stroke=\"" + std::string(tubeColour)),
                  std::string::npos);
        EXPECT_NE(svg.find("id=\"shell-fluid\" fill=\"none\" stroke=\"" + std::string(shellColour)),
                  std::string::npos);
        double highest = 400, lowest = 70;
        for (const auto& curve : {tube, shell})
            for (auto [x, y] : curve) highest = std::min(highest, y), lowest = std::max(lowest, y);
        EXPECT_LE(highest, 70 + 33.0) << "an empty band above the curves";
        EXPECT_GE(lowest, 400 - 33.0) << "an empty band below the curves";
        EXPECT_NE(svg.find(">Location along the tube (m)<"), std::string::npos);
        EXPECT_NE(svg.find(">Temperature (\u00b0C)<"), std::string::npos);
        EXPECT_EQ(svg.find("id=\"remark\""), std::string::npos);
    }
}

// The run log tells whether the results file is the last run's.
TEST(PlotProgram, RefusesAnEarlierRunsResultsUnlessAsked) {
    const std::string report =
        readFile(sampleCase("success-branch_t3_055") + "/expected/" + resultsName);
    const std::string caseFile = readFile(sampleCase("success-branch_t3_055") + "/" + caseName);
    const struct {
        const char* why;
        std::optional<std::string> log;
        const char* refusal;  // nullptr: plotted
    } table[] = {
        {"last run succeeded", " Calculation processed successfully\r\n", nullptr},
        {"no run log", std::nullopt, nullptr},
        {"last run rejected", " Reduce correction factor\r\n Calculation Terminated !!!\r\n",
         "did not finish (Reduce correction factor)"},
        {"last run failed",
         " run-time error 20: division by zero\r\n Calculation Terminated !!!\r\n",
         "did not finish (run-time error 20: division by zero)"},
        {"log left empty by a failed run", "", "did not finish (the run log is empty)"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.why);
        ScratchFolder work;
        writeFile(work / caseName, caseFile);
        writeFile(work / resultsName, report);
        if (row.log) writeFile(work / logName, *row.log);
        ProgramRun run = runProgram(HXRATE_PLOT_EXE, {work.path()}, "/");
        if (!row.refusal) {
            EXPECT_EQ(run.exitStatus, 0) << run.standardError;
            continue;
        }
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.standardError.find(row.refusal), std::string::npos) << run.standardError;
        EXPECT_NE(run.standardError.find("earlier run"), std::string::npos);
        EXPECT_FALSE(exists(work / "profile.svg"));
        run = runProgram(HXRATE_PLOT_EXE, {"--earlier", work.path()}, "/");
        EXPECT_EQ(run.exitStatus, 0) << run.standardError;
        std::string svg = readFile(work / "profile.svg");
        EXPECT_TRUE(wellFormed(svg));
        EXPECT_NE(svg.find("Results of an earlier run"), std::string::npos);
    }
}

TEST(PlotProgram, WritesTheChartBesideTheResults) {
    ScratchFolder work;
    std::string folder = copyCase(sampleCase("success-branch_t3_055"), work.path(), "case");
    ASSERT_EQ(runProgram(HXRATE_EXE, {}, folder).exitStatus, 0);
    ProgramRun run = runProgram(HXRATE_PLOT_EXE, {}, folder);
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    ASSERT_TRUE(exists(folder + "/profile.svg"));
    EXPECT_TRUE(wellFormed(readFile(folder + "/profile.svg")));
    EXPECT_EQ(polyline(readFile(folder + "/profile.svg"), "tube-fluid").size(), 9u);
}

TEST(PlotProgram, RefusesMissingTruncatedForeignAndStaleResults) {
    const std::string report =
        readFile(sampleCase("success-branch_t3_055") + "/expected/" + resultsName);
    const std::string caseFile = readFile(sampleCase("success-branch_t3_055") + "/" + caseName);
    struct Row {
        const char* what;
        std::optional<std::string> results;
        const char* message;
    };
    const Row table[] = {
        {"missing", std::nullopt, "no results file"},
        {"cut in a line", report.substr(0, report.size() - 5), "truncated"},
        {"cut at a line end", report.substr(0, report.rfind("\r\n", report.size() - 3) + 2),
         "truncated"},
        {"a case file", caseFile, "not a results file"},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.what);
        ScratchFolder work;
        writeFile(work / caseName, caseFile);
        if (r.results) writeFile(work / resultsName, *r.results);
        ProgramRun run = runProgram(HXRATE_PLOT_EXE, {work.path()}, "/");
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.standardError.find(r.message), std::string::npos) << run.standardError;
        EXPECT_FALSE(exists(work / "profile.svg"));
    }
}

TEST(PlotProgram, RendersInABrowser) {
    const std::string chromium = "/usr/bin/chromium";
    if (!exists(chromium))
        GTEST_SKIP() << "Chromium is not installed at " << chromium
                     << ": the chart is not rendered";
    ScratchFolder work;
    ResultsReport report = parseResultsReport(
        readFile(sampleCase("success-branch_t1_007") + "/expected/" + resultsName));
    writeFile(work / "profile.svg", renderProfileSvg(report));
    // The same page without a chart, to compare with.
    writeFile(work / "blank.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"540\">"
              "<rect x=\"0\" y=\"0\" width=\"800\" height=\"540\" fill=\"white\"/></svg>\n");
    for (const char* name : {"profile", "blank"}) {
        ProgramRun run =
            runProgram(chromium,
                       {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                        "--user-data-dir=" + (work / "browser"), "--window-size=800,540",
                        "--screenshot=" + (work / (std::string(name) + ".png")),
                        "file://" + (work / (std::string(name) + ".svg"))},
                       work.path());
        ASSERT_TRUE(exists(work / (std::string(name) + ".png"))) << run.standardError;
    }
    std::string chart = readFile(work / "profile.png");
    std::string blank = readFile(work / "blank.png");
    ASSERT_TRUE(chart.starts_with("\x89PNG\r\n\x1a\n"));
    // Lines and text compress far worse than an empty white page.
    EXPECT_GT(chart.size(), 2 * blank.size()) << "the rendered chart looks blank";
}

}  // namespace
}  // namespace hxrate::tools
