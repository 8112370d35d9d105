#include "advise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "results_file.h"
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;

const char* verdictName(ShootingVerdict v) {
    switch (v) {
        case ShootingVerdict::Finishes:
            return "finishes";
        case ShootingVerdict::ReduceFactor:
            return "reduce factor";
        case ShootingVerdict::Diverges:
            return "diverges";
    }
    return "?";
}

TEST(AdviseForecast, FollowsTheMismatchRatioPassByPass) {
    struct Row {
        ShootingMap a;
        double factor;
        ShootingVerdict verdict;
        std::int64_t passes;
    };
    // With first error 1 and ratio 0.5 the 17th correction brings the
    // mismatch below 1e-5 (0.5^17 = 7.6e-6): 18 passes.
    const Row table[] = {
        {{1e-6, 1, 1}, 5, ShootingVerdict::Finishes, 1},
        {{1, 1, 1}, 0.5, ShootingVerdict::Finishes, 18},
        {{1, 1, 1}, 1.5, ShootingVerdict::Finishes, 18},
        {{-1, 2, 4}, 1, ShootingVerdict::Finishes, 18},
        {{1, 1, 1}, 1, ShootingVerdict::Finishes, 2},
        {{1, 1, 1}, 2.5, ShootingVerdict::ReduceFactor, 2},
        {{1, 1, 1}, -0.1, ShootingVerdict::ReduceFactor, 2},
        {{1, 1, 1}, 0, ShootingVerdict::Diverges, 10000},
        {{1, 1, 1}, 2, ShootingVerdict::Diverges, 10000},
        {{1, 1, 1}, 1e-4, ShootingVerdict::Diverges, 10000},
    };
    for (const Row& r : table) {
        ShootingForecast f = forecastShooting(r.a, r.factor);
        EXPECT_STREQ(verdictName(f.verdict), verdictName(r.verdict)) << "factor " << r.factor;
        EXPECT_EQ(f.passes, r.passes) << "factor " << r.factor;
    }
}

TEST(AdviseForecast, TheRangeEndsAreWhereFinishingStops) {
    const ShootingMap cases[] = {{10, 1.5, 3}, {-0.3, 0.8, 12}, {250, -2, 5}};
    for (const ShootingMap& a : cases) {
        for (std::int32_t limit : {50, 10000}) {
            std::optional<FactorRange> range = finishingFactors(a, limit);
            ASSERT_TRUE(range.has_value());
            EXPECT_LT(range->low, fastestFactor(a));
            EXPECT_GT(range->high, fastestFactor(a));
            double width = range->high - range->low;
            for (double inside : {range->low + 1e-3 * width, range->high - 1e-3 * width}) {
                EXPECT_EQ(forecastShooting(a, inside, limit).verdict, ShootingVerdict::Finishes)
                    << inside;
            }
            for (double outside : {range->low - 1e-3 * width, range->high + 1e-3 * width}) {
                EXPECT_NE(forecastShooting(a, outside, limit).verdict, ShootingVerdict::Finishes)
                    << outside;
            }
        }
    }
    EXPECT_FALSE(finishingFactors({1, 0, 1}).has_value());
}

struct CounterCurrentCase {
    std::string folder;
    ShootingVerdict verdict;  // with the case's own factor
    std::int64_t passes;
};

const CounterCurrentCase counterCurrentCases[] = {
    {toolCase("advise-at_once"), ShootingVerdict::Finishes, 1},
    {sampleCase("success-branch_t1_007"), ShootingVerdict::Finishes, 24},
    {sampleCase("success-branch_t3_055"), ShootingVerdict::Finishes, 11},
    {toolCase("advise-slow_axial"), ShootingVerdict::Finishes, 2455},
    {toolCase("advise-slow_cross"), ShootingVerdict::Finishes, 4367},
    {sampleCase("terminations-t12_reduce_005"), ShootingVerdict::ReduceFactor, 2},
    {sampleCase("terminations-t14_reduce_001"), ShootingVerdict::ReduceFactor, 2},
    {sampleCase("terminations-t13_diverge_005"), ShootingVerdict::Diverges, 10000},
    {sampleCase("terminations-t15_diverge_002"), ShootingVerdict::Diverges, 10000},
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
        std::int64_t passes = 0;
        double factor = advisedFactor(input, analyseShooting(input), passes);
        EXPECT_GE(passes, 2);
        EXPECT_LE(passes, 3);
        ScratchFolder work;
        writeFile(work / caseName, withCorrectionFactor(readFile(c.folder + "/" + caseName),
                                                        shortestDecimal(factor)));
        ProgramRun run = runProgram(HXRATE_EXE, {}, work.path());
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.standardOutput, "");
        EXPECT_EQ(readFile(work / logName), " Calculation processed successfully\r\n");
    }
}

TEST(AdviseDiscretisation, RichardsonEstimateAndObservedOrder) {
    struct Row {
        double coarse, half, quarter;
        double error, order;  // NaN order: none observed
    };
    const double none = std::nan("");
    // T(h) = 10 + 3h and T(h) = 10 + 3h^2 at h = 1, 1/2, 1/4.
    const Row table[] = {
        {13, 11.5, 10.75, 3, 1},
        {13, 10.75, 10.1875, 3, 2},
        {10, 10, 10, 0, none},
        {13, 11.5, 11.6, 3, none},  // no steady approach: first order taken
    };
    for (const Row& r : table) {
        ErrorEstimate e = estimateError(r.coarse, r.half, r.quarter);
        EXPECT_NEAR(e.error, r.error, 1e-12);
        if (std::isnan(r.order)) {
            EXPECT_TRUE(std::isnan(e.observedOrder));
        } else {
            EXPECT_NEAR(e.observedOrder, r.order, 1e-12);
        }
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
            std::optional<GridSolution> s = solveOnGrid(input, divisor);
            ASSERT_TRUE(s.has_value());
            EXPECT_EQ(s->elementLength, input.elementLength / divisor);
            EXPECT_EQ(s->elementCount,
                      static_cast<std::int32_t>(input.tubeLength / s->elementLength));
            if (divisor == 1 && exists(sampleCase(name) + "/expected/" + resultsName)) {
                ResultsReport r =
                    parseResultsReport(readFile(sampleCase(name) + "/expected/" + resultsName));
                OutletTemperatures printed = outletTemperatures(r);
                double shell = r.exchangerType == 2 ? r.shellExitTemperature->value
                                                    : printed.shellOutlet.value;
                EXPECT_NEAR(s->outlets.tube, printed.tubeOutlet.value, 0.0051);
                EXPECT_NEAR(s->outlets.shell, shell, r.exchangerType == 2 ? 0.051 : 0.0051);
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
