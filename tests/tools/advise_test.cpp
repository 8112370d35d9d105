#include "advise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include <hxrate/case_files.h>

#include "results_file.h"
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;

const char* verdictName(ShootingVerdict v) {
    switch (v) {
        case ShootingVerdict::finishes:
            return "finishes";
        case ShootingVerdict::reduceFactor:
            return "reduce factor";
        case ShootingVerdict::diverges:
            return "diverges";
    }
    return "?";
}

struct CounterCurrentCase {
    std::string folder;
    ShootingVerdict verdict;  // with the case's own factor
    std::int64_t passes;
};

const CounterCurrentCase counterCurrentCases[] = {
    {toolCase("advise-at_once"), ShootingVerdict::finishes, 1},
    {sampleCase("success-branch_t1_007"), ShootingVerdict::finishes, 24},
    {sampleCase("success-branch_t3_055"), ShootingVerdict::finishes, 11},
    {toolCase("advise-slow_axial"), ShootingVerdict::finishes, 2455},
    {toolCase("advise-slow_cross"), ShootingVerdict::finishes, 4367},
    {sampleCase("terminations-t12_reduce_005"), ShootingVerdict::reduceFactor, 2},
    {sampleCase("terminations-t14_reduce_001"), ShootingVerdict::reduceFactor, 2},
    {sampleCase("terminations-t13_diverge_005"), ShootingVerdict::diverges, 10000},
    {sampleCase("terminations-t15_diverge_002"), ShootingVerdict::diverges, 10000},
};

Case caseIn(const std::string& folder) {
    return readCase(folder + "/" + caseName);
}

// The forecast from the two passes of the analysis and the library's own
// shooting agree on every case, passes and all.
TEST(AdviseCases, ForecastAndRatingAgree) {
    for (const CounterCurrentCase& c : counterCurrentCases) {
        SCOPED_TRACE(c.folder);
        Case input = caseIn(c.folder);
        ShootingMap a = analyseShooting(input);
        ShootingForecast forecast = forecastShooting(a, input.correctionFactor);
        EXPECT_STREQ(verdictName(forecast.verdict), verdictName(c.verdict));
        EXPECT_EQ(forecast.passes, c.passes);
        ShootingForecast rated = shootingOutcome(input, input.correctionFactor);
        EXPECT_STREQ(verdictName(rated.verdict), verdictName(c.verdict));
        EXPECT_EQ(rated.passes, c.passes);
    }
}

// The advised factor, written into the case file, lets hxrate finish the
// case, the ones it rejects and the slow ones alike.
TEST(AdviseCases, TheAdvisedFactorMakesHxrateFinish) {
    for (const CounterCurrentCase& c : counterCurrentCases) {
        if (c.passes == 1) continue;
        SCOPED_TRACE(c.folder);
        Case input = caseIn(c.folder);
        AdvisedFactor advice = adviseFactor(input, analyseShooting(input));
        ASSERT_TRUE(advice.passes);
        EXPECT_GE(*advice.passes, 2);
        EXPECT_LE(*advice.passes, 3);
        double factor = advice.factor;
        ScratchFolder work;
        writeFile(work / caseName, withCorrectionFactor(readFile(c.folder + "/" + caseName),
                                                        shortestDecimal(factor)));
        ProgramRun run = runProgram(HXRATE_EXE, {}, work.path());
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.standardOutput, "");
        EXPECT_EQ(readFile(work / logName), " Calculation processed successfully\r\n");
    }
}

TEST(AdviseDiscretisation, GridsAreTheCaseWithShorterElements) {
    // The given grid reproduces the report; the counter-current case that
    // hxrate rejects is solved all the same.
    for (const char* name : {"success-axial_nb_001", "success-branch_t2_006",
                             "success-branch_t1_007", "terminations-t12_reduce_005"}) {
        SCOPED_TRACE(name);
        Case input = caseIn(sampleCase(name));
        for (int divisor : {1, 2, 4}) {
            std::optional<GridSolution> s = detail::solveOnGrid(input, divisor);
            ASSERT_TRUE(s->solved) << s->failure;
            EXPECT_EQ(s->elementLength, input.elementLength / divisor);
            EXPECT_EQ(s->elementCount,
                      static_cast<std::int32_t>(input.tubeLength / s->elementLength));
            if (divisor == 1 && exists(sampleCase(name) + "/expected/" + resultsName)) {
                ResultsReport r =
                    parseResultsReport(readFile(sampleCase(name) + "/expected/" + resultsName));
                OutletTemperatures printed = outletTemperatures(r);
                double shell = r.exchangerType == 2 ? r.shellExitTemperature->value
                                                    : printed.shellOutlet.value;
                EXPECT_NEAR(s->tubeOutlet, printed.tubeOutlet.value, 0.0051);
                EXPECT_NEAR(s->shellOutlet, shell, r.exchangerType == 2 ? 0.051 : 0.0051);
            }
        }
    }
}

TEST(AdviseProgram, AdvisesWithoutTouchingTheFolder) {
    ScratchFolder work;
    std::string folder = copyCase(sampleCase("terminations-t14_reduce_001"), work.path(), "case");
    ProgramRun run = runProgram(HXRATE_ADVISE_EXE, {folder}, "/");
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    EXPECT_NE(run.standardOutput.find(
                  "case factor 18.8786: stopped after pass 2 with \"Reduce correction factor\""),
              std::string::npos)
        << run.standardOutput;
    EXPECT_NE(run.standardOutput.find("fastest factor: "), std::string::npos);
    EXPECT_NE(run.standardOutput.find("shell fluid outlet"), std::string::npos);
    EXPECT_EQ(listFolder(folder), std::vector<std::string>{caseName});
    EXPECT_EQ(readFile(folder + "/" + caseName),
              readFile(sampleCase("terminations-t14_reduce_001") + "/" + caseName));
}

// hxrate-advise prints the library's advice, the one hxrate-report gives.
TEST(AdviseProgram, AdvisesAsTheAssessmentDoes) {
    ScratchFolder work;
    std::filesystem::create_directory(work / "slow");
    const std::string report = std::string(HXRATE_TOOLS_DATA_DIR) + "/../report_data/";
    writeFile(work / "slow" + "/" + caseName, readFile(report + "slow-shooting.txt"));
    Case input = caseIn(work / "slow");
    Rating rating = rate(input);
    Assessment a = assess(input, rating);  // as hxrate-report assesses it
    ASSERT_TRUE(a.shooting.advisedFactor && a.shooting.advisedPasses);
    ProgramRun run = runProgram(HXRATE_ADVISE_EXE, {work / "slow"}, "/");
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    std::string expected = "fastest factor: " + shortestDecimal(*a.shooting.advisedFactor) +
                           " (finishes in " + std::to_string(*a.shooting.advisedPasses) + " passes";
    EXPECT_NE(run.standardOutput.find(expected), std::string::npos) << run.standardOutput;
}

TEST(AdviseProgram, PrintsTheLibraryVersion) {
    ProgramRun run = runProgram(HXRATE_ADVISE_EXE, {"--version"}, "/");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.standardOutput, "hxrate-advise " + std::string(version()) + "\n");
    EXPECT_EQ(runProgram(HXRATE_ADVISE_EXE, {"--no-such-option"}, "/").exitStatus, 2);
}

TEST(AdviseProgram, NamesWhyACaseGetsNoAdvice) {
    ScratchFolder work;
    copyCase(sampleCase("terminations-t07_stagnant_035"), work.path(), "stagnant");
    std::filesystem::create_directory(work / "empty");
    const std::pair<const char*, const char*> table[] = {
        {"stagnant", "rejects this case before its temperature profile: Stagnant outer flow"},
        {"empty", "cannot read the case file"},
    };
    for (auto [folder, message] : table) {
        ProgramRun run = runProgram(HXRATE_ADVISE_EXE, {work / folder}, "/");
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.standardError.find(message), std::string::npos) << run.standardError;
    }
    EXPECT_TRUE(listFolder(work / "empty").empty());
}

}  // namespace
}  // namespace hxrate::tools
