// The public API against the program's own expected outputs: every case
// folder under tests/cases that the program rates or rejects is rated
// through the library and must give the same bytes and messages.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>
#include <vector>

#include "hxrate/program.h"
#include "support/example_streams.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Folder {
    std::string name;
    Case input;
    std::optional<std::string> results;  // the expected results file
    std::optional<std::string> log;      // the expected run log
};

// Every case folder whose case the library reads completely.
std::vector<Folder> readableFolders(std::string_view kind) {
    std::vector<Folder> out;
    for (const auto& entry : fs::directory_iterator(HXRATE_CASES_DIR)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kind)) continue;
        std::optional<std::string> text = slurp(entry.path() / caseFileName);
        if (!text) continue;
        Folder f{name,
                 {},
                 slurp(entry.path() / "expected" / resultsFileName),
                 slurp(entry.path() / "expected" / runLogName)};
        // A case that ends in an input error is left out: the program may
        // reject it before it reads the bad line.
        if (testing::errorOf<InputError>([&] { f.input = parseCase(*text, caseFileName); }))
            continue;
        out.push_back(std::move(f));
    }
    return out;
}

TEST(Api, SuccessCasesGiveTheProgramsReportByteForByte) {
    std::vector<Folder> folders = readableFolders("success");
    ASSERT_GT(folders.size(), 30u);
    for (const Folder& f : folders) {
        ASSERT_TRUE(f.results) << f.name;
        Rating r = rate(f.input);
        EXPECT_EQ(resultsReportText(f.input, r), *f.results) << f.name;
        EXPECT_GE(r.shootingPasses, 1) << f.name;
    }
}

TEST(Api, RejectedCasesGiveTheLogMessageAndWhatCameBefore) {
    int rejected = 0;
    for (const Folder& f : readableFolders("terminations")) {
        ASSERT_TRUE(f.log) << f.name;
        auto stop = testing::errorOf<CaseRejected>([&] { rate(f.input); });
        ASSERT_TRUE(stop) << f.name;
        // The log holds the message as lines of 79 characters, then the stop line.
        std::string message(stop->message());
        EXPECT_EQ(f.log->substr(0, std::min<std::size_t>(message.size(), 79) + 1),
                  " " + message.substr(0, 79))
            << f.name;
        EXPECT_EQ(stop->what(), message);
        ASSERT_NE(stop->partial(), nullptr) << f.name;
        EXPECT_NE(stop->partial()->stage, Stage::solved) << f.name;
        ++rejected;
    }
    EXPECT_GT(rejected, 20);
}

TEST(Api, RatingsOnEightThreadsEqualSerialOnesBitForBit) {
    std::vector<Folder> folders = readableFolders("success");
    std::vector<std::string> serial;
    for (const Folder& f : folders) serial.push_back(resultsReportText(f.input, rate(f.input)));

    constexpr int threadCount = 8;
    std::vector<std::vector<std::string>> parallel(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            // Each thread starts at another folder, so different cases overlap.
            for (std::size_t k = 0; k < folders.size(); ++k) {
                std::size_t i = (k + static_cast<std::size_t>(t) * 7) % folders.size();
                const Folder& f = folders[i];
                parallel[t].resize(folders.size());
                parallel[t][i] = resultsReportText(f.input, rate(f.input));
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < threadCount; ++t) EXPECT_EQ(parallel[t], serial) << "thread " << t;
}

// The design search on four threads: the same designs, refusals and full
// ratings as on one.
TEST(Api, DesignOnFourThreadsEqualsOneThread) {
    DesignSpace s = defaultDesignSpace();
    s.tubePasses = {1, 2, 4};
    s.shells = {1};
    s.shellDiameters = {8 * 0.0254, 10 * 0.0254};
    s.tubeLengths = {2.4384};
    DesignOptions one, four;
    one.threads = 1;
    four.threads = 4;
    const DesignResult a = design(testing::oilCooler(), s, one);
    const DesignResult b = design(testing::oilCooler(), s, four);
    ASSERT_FALSE(a.designs.empty());
    ASSERT_EQ(a.designs.size(), b.designs.size());
    for (std::size_t i = 0; i < a.designs.size(); ++i) {
        EXPECT_EQ(a.designs[i].candidate, b.designs[i].candidate);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a.designs[i].area),
                  std::bit_cast<std::uint64_t>(b.designs[i].area));
        EXPECT_EQ(a.designs[i].rating.has_value(), b.designs[i].rating.has_value());
    }
    EXPECT_EQ(a.refused, b.refused);
}

TEST(Api, ExactShootingMeetsTheSameOutletsInAFewPasses) {
    int checked = 0;
    for (const Folder& f : readableFolders("success")) {
        if (!isCounterCurrent(f.input.exchangerType)) continue;
        Rating byFactor = rate(f.input);
        Rating exact = rate(f.input, {.shooting = ShootingMethod::exact});
        EXPECT_LE(exact.shootingPasses, 4) << f.name;
        // Both stop within the tolerance of the shell inlet temperature; the
        // outlets then agree to about the same (the march is affine).
        EXPECT_NEAR(exact.tubeOutletTemperature, byFactor.tubeOutletTemperature, 1e-3) << f.name;
        EXPECT_NEAR(exact.shellOutletTemperature, byFactor.shellOutletTemperature, 1e-3) << f.name;
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

TEST(Api, DutiesOfTheTwoStreamsBalance) {
    for (const Folder& f : readableFolders("success")) {
        Rating r = rate(f.input);
        if (!r.tubeDuty || !r.shellDuty) continue;
        // The march conserves energy to rounding; the shooting leaves the
        // shell inlet met only to its tolerance of 1e-5 degrees.
        double shellCapacity = r.shellMassFlow * f.input.shellFluid.heatCapacity;
        double allowed = 1e-9 * std::fabs(*r.tubeDuty);
        if (isCounterCurrent(f.input.exchangerType)) allowed += 1e-5 * std::fabs(shellCapacity);
        EXPECT_NEAR(*r.shellDuty, *r.tubeDuty, allowed) << f.name;
    }
}

TEST(Api, InputErrorsCarryWhereAndWhat) {
    auto failure = testing::errorOf<InputError>([] { parseCase("1 1\n2 0.0x16\n", "my case"); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->file(), "my case");
    EXPECT_EQ(failure->caseLine(), 2);
    EXPECT_EQ(failure->line(), 2u);
    EXPECT_EQ(failure->column(), 3u);
    EXPECT_EQ(failure->text(), "0.0x16");
    EXPECT_EQ(failure->code(), 12);
    EXPECT_NE(std::string(failure->what()).find("case line 2"), std::string::npos);

    auto missing = testing::errorOf<InputError>([] { readCase("/nonexistent/case.txt"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->code(), 10);
    EXPECT_FALSE(fs::exists("/nonexistent/case.txt"));
}

TEST(Api, CaseSourceTellsLabelsAndWhatFollowsTheLastValue) {
    std::string text =
        slurp(fs::path(HXRATE_CASES_DIR) / "success-grid_008" / caseFileName).value();
    CaseSource source;
    Case c = parseCase(text, "case", source);
    EXPECT_EQ(c, parseCase(text));
    for (int line = 1; line <= caseLineCount; ++line)
        EXPECT_GE(source[line - 1].lastLine, source[line - 1].firstLine) << line;

    Case comma = parseCase("1 1\n2 0.016\n3 0\n4 3,5\n" + text.substr(text.find("\n5 ") + 1),
                           "case", source);
    EXPECT_EQ(comma.tubeLength, 3.0);
    EXPECT_EQ(source[3].label, 4);
    EXPECT_EQ(source[3].lastLine, 4u);
    EXPECT_EQ(source[3].endColumn, 5u) << "just after the comma that ended the 3";
}

TEST(Api, TheProgramsRunInAFolderLeavesItsFilesAndHandsBackTheirBytes) {
    fs::path folder = fs::temp_directory_path() / ("hxrate-api-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    fs::copy_file(fs::path(HXRATE_CASES_DIR) / "success-grid_008" / caseFileName,
                  folder / caseFileName);
    ProgramRun run = runProgramIn(folder, {.syncEachFile = false, .keepWrittenBytes = true});
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    EXPECT_EQ(run.resultsFile, slurp(folder / resultsFileName));
    EXPECT_EQ(run.runLog,
              slurp(fs::path(HXRATE_CASES_DIR) / "success-grid_008" / "expected" / runLogName));
    EXPECT_TRUE(syncFileSystem(folder));

    fs::remove(folder / caseFileName);
    ProgramRun none = runProgramIn(folder);
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_TRUE(none.standardError.starts_with("run-time error 10: no case file"))
        << none.standardError;
    EXPECT_FALSE(none.runLog);
    fs::remove_all(folder);
}

TEST(Api, ReportOfAnUnsolvedRatingIsRefused) {
    EXPECT_THROW(resultsReportText(Case{}, Rating{}), InvalidArgument);
    EXPECT_STRNE(version(), "");
    EXPECT_EQ(checkName(Check::tubeNusseltRange), "tube-nusselt-range");
}

}  // namespace
}  // namespace hxrate
