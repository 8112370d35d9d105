// hxrate-design as a user runs it: the files of a search, the best design
// rated again, a problem with no feasible design, the fouling of an
// exchanger in service, and the command line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <bit>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <hxrate/case_document.h>
#include <hxrate/case_files.h>
#include <hxrate/exchanger.h>

#include "tools/tool_test_support.h"

namespace {

using hxrate::tools::testing::exists;
using hxrate::tools::testing::ProgramRun;
using hxrate::tools::testing::readFile;
using hxrate::tools::testing::runOnTerminal;
using hxrate::tools::testing::runProgram;
using hxrate::tools::testing::ScratchFolder;
using hxrate::tools::testing::writeFile;
using nlohmann::json;

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

std::string column(const std::vector<std::vector<std::string>>& rows, std::size_t row,
                   const std::string& name) {
    for (std::size_t i = 0; i < rows[0].size(); ++i)
        if (rows[0][i] == name) return rows[row].at(i);
    ADD_FAILURE() << "no column " << name;
    return {};
}

// The shipped example searched whole: the three files, one row per
// feasible design, and the best design's document rates again, by the
// library, to the area and drops of its row, bit for bit.
TEST(DesignTool, TheExampleGivesItsDesignsAndTheBestRatesToItsRow) {
    ScratchFolder scratch;
    const ProgramRun run =
        runProgram(HXRATE_DESIGN_EXE, {HXRATE_DESIGN_EXAMPLE, "-o", "out"}, scratch.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    const auto rows = csvRows(readFile(scratch / "out/designs.csv"));
    ASSERT_GT(rows.size(), 2u);
    EXPECT_NE(
        run.standardOutput.find("candidates, " + std::to_string(rows.size() - 1) + " feasible"),
        std::string::npos)
        << run.standardOutput;
    const hxrate::CaseDocument best =
        hxrate::parseCaseDocument(readFile(scratch / "out/best.case.json"));
    const hxrate::ExchangerRating r = hxrate::rate(best);
    ASSERT_TRUE(r.solved());
    EXPECT_EQ(std::strtod(column(rows, 1, "area").c_str(), nullptr), r.rating.area);
    EXPECT_EQ(std::strtod(column(rows, 1, "tube_pressure_drop").c_str(), nullptr),
              r.extended->tubePressureDrop);
    EXPECT_EQ(std::stoi(column(rows, 1, "tube_count")), best.input.tubeCount);
    EXPECT_EQ(column(rows, 1, "tube_stream"), "cold");  // as the problem asks
    EXPECT_EQ(std::strtod(column(rows, 1, "velocity_ratio").c_str(), nullptr),
              r.vibration->worstVelocityRatio);
    for (std::size_t i = 2; i < rows.size(); ++i)
        ASSERT_LE(std::strtod(column(rows, i - 1, "area").c_str(), nullptr),
                  std::strtod(column(rows, i, "area").c_str(), nullptr))
            << "rank " << i;
    const std::string page = readFile(scratch / "out/best.html");
    for (const char* part : {"id=\"design-search\"", "id=\"tube-front-chart\"",
                             "id=\"shell-front-chart\"", "id=\"summary\"", "</html>"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    // The refused candidates beside the feasible ones.
    EXPECT_EQ(page.find("data-refused=\"0\""), std::string::npos);
    EXPECT_NE(page.find("class=\"refused\""), std::string::npos);
}

// Limits nothing meets: status 1, the refusals and the advice, a table with
// its header only, and no best design of an earlier run left beside it. On
// a terminal the search shows its progress.
TEST(DesignTool, NoFeasibleDesignIsNoResult) {
    ScratchFolder scratch;
    json problem = json::parse(readFile(HXRATE_DESIGN_EXAMPLE));
    problem["limits"] = {{"tube_velocity_min", {{"value", 30}, {"unit", "m/s"}}},
                         {"tube_velocity_max", {{"value", 40}, {"unit", "m/s"}}}};
    problem["space"] = {{"shell_diameters", {{"values", {8, 12}}, {"unit", "in"}}}};
    writeFile(scratch / "fast.json", problem.dump());
    writeFile(scratch / "best.html", "an earlier run's page");
    const ProgramRun run = runProgram(HXRATE_DESIGN_EXE, {"fast.json"}, scratch.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.standardOutput.find("tube-velocity-low"), std::string::npos)
        << run.standardOutput;
    EXPECT_NE(run.standardError.find("hxrate-design: no feasible design: no candidate is feasible"),
              std::string::npos)
        << run.standardError;
    EXPECT_EQ(csvRows(readFile(scratch / "designs.csv")).size(), 1u);
    EXPECT_FALSE(exists(scratch / "best.html"));

    const ProgramRun shown = runOnTerminal(HXRATE_DESIGN_EXE, {"fast.json"}, scratch.path());
    EXPECT_NE(shown.standardOutput.find("\rhxrate-design: "), std::string::npos);
    EXPECT_NE(shown.standardOutput.find(" candidates, 0 feasible"), std::string::npos);
}

// The example exchanger fouled by a known amount gives an outlet; the
// fouling found from that outlet is that amount. A document without any
// outlet is refused naming the field.
TEST(DesignTool, FindsTheFoulingOfMeasuredOutlets) {
    ScratchFolder scratch;
    const hxrate::Case example = hxrate::readCase(HXRATE_EXAMPLE_CASE);
    hxrate::CaseDocument fouled;
    fouled.input = example;
    fouled.extensions.foulingOutside = 4e-4;
    const double outlet = hxrate::rate(fouled).rating.tubeOutletTemperature;
    json measured = {{"format", "hxrate-measured-exchanger"},
                     {"version", 1},
                     {"exchanger", json::parse(hxrate::caseDocumentJson(example))},
                     {"tube_outlet_temperature", {{"value", outlet}, {"unit", "degC"}}}};
    writeFile(scratch / "m.json", measured.dump());
    const ProgramRun run =
        runProgram(HXRATE_DESIGN_EXE, {"--find-fouling", "m.json"}, scratch.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    const std::string& out = run.standardOutput;
    const std::size_t at = out.find("total fouling (outer surface)");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_NEAR(std::strtod(out.c_str() + out.find_first_of("0123456789", at + 30), nullptr), 4e-4,
                1e-8)
        << out;

    measured.erase("tube_outlet_temperature");
    writeFile(scratch / "m.json", measured.dump());
    const ProgramRun refused =
        runProgram(HXRATE_DESIGN_EXE, {"--find-fouling", "m.json"}, scratch.path());
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.standardError.find("\"m.json\": tube_outlet_temperature: required"),
              std::string::npos)
        << refused.standardError;
}

TEST(DesignTool, AWrongCommandLineIsStatusTwo) {
    ScratchFolder scratch;
    const std::vector<std::vector<std::string>> lines = {
        {}, {"p.json", "--find-fouling", "m.json"}, {"p.json", "-j", "0"}, {"--colour"}};
    for (const auto& arguments : lines) {
        const ProgramRun run = runProgram(HXRATE_DESIGN_EXE, arguments, scratch.path());
        EXPECT_EQ(run.exitStatus, 2) << run.standardError;
        EXPECT_EQ(run.standardError.rfind("hxrate-design: ", 0), 0u) << run.standardError;
    }
}

}  // namespace
