#include "cli/driver.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "hxrate/program.h"
#include "hxrate/report.h"

namespace hxrate {
namespace {

// Each test runs in an empty working directory of its own.
class InFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("hxrate-driver-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(dir_);
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

    std::filesystem::path home_, dir_;
};

TEST_F(InFolder, ArgumentsAnswerOrAreRefusedWithoutTouchingAFile) {
    struct Row {
        std::vector<std::string_view> arguments;
        int status;
        std::string out;  // expected in standard output
        std::string err;  // expected in standard error
        const char* why;
    } rows[] = {
        {{"--help"}, 0, "Usage: hxrate", "", "usage on standard output"},
        {{"-h"}, 0, "hxrate-advise", "", "the short form; the usage names the companion tools"},
        {{"--version"}, 0, std::string("hxrate ") + version() + "\n", "", "the version"},
        {{"foo"}, 2, "", "unexpected argument 'foo'", "a word"},
        {{""}, 2, "", "unexpected argument ''", "an empty argument"},
        {{"--"}, 2, "", "unexpected argument '--'", "the end of options alone is an argument"},
        {{"--", "foo"}, 2, "", "unexpected argument '--'", "no end of options either"},
        {{"--help", "extra"}, 2, "", "unexpected argument 'extra'", "help with a surplus"},
        {{"--help", "--version"}, 2, "", "unexpected argument '--version'", "two options"},
        {{"--version=1"}, 2, "", "'--version=1'", "options take no value"},
        {{"-help"}, 2, "", "'-help'", "one dash"},
        {{"--HELP"}, 2, "", "'--HELP'", "case matters"},
    };
    std::ofstream(caseFileName) << "not a case";
    for (const Row& row : rows) {
        std::ostringstream out, err;
        EXPECT_EQ(runProgram(row.arguments, out, err), row.status) << row.why;
        if (row.status == 0) {
            EXPECT_NE(out.str().find(row.out), std::string::npos) << row.why << ": " << out.str();
            EXPECT_EQ(err.str(), "") << row.why;
        } else {
            EXPECT_EQ(out.str(), "") << row.why;
            EXPECT_NE(err.str().find(row.err), std::string::npos) << row.why << ": " << err.str();
        }
        EXPECT_EQ(entries(), std::vector<std::string>{caseFileName}) << row.why;
    }
}

TEST_F(InFolder, AMissingCaseFileCreatesNothing) {
    std::ostringstream out, err;
    EXPECT_EQ(runInWorkingDirectory(out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str().rfind("run-time error 10: ", 0), 0u) << err.str();
    EXPECT_NE(err.str().find(caseFileName), std::string::npos) << "names the file";
    EXPECT_NE(err.str().find(dir_.filename().string()), std::string::npos) << "names the folder";
    EXPECT_TRUE(entries().empty());
}

TEST_F(InFolder, ACaseFileLockedByAnotherRunStopsThisOneBeforeAnyFile) {
    std::ofstream(caseFileName) << "not a case";
    std::ofstream(runLogName) << "an earlier log";
    int held = ::open(caseFileName, O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    std::ostringstream out, err;
    EXPECT_EQ(runInWorkingDirectory(out, err), 1);
    EXPECT_EQ(err.str().rfind("run-time error 32: ", 0), 0u) << err.str();
    std::ifstream log(runLogName);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "an earlier log");
    EXPECT_EQ(entries().size(), 2u) << "nothing appears";

    ::close(held);  // the other run ends: this one now reads the case and fails on it
    std::ostringstream out2, err2;
    EXPECT_EQ(runInWorkingDirectory(out2, err2), 1);
    EXPECT_EQ(err2.str().rfind("run-time error 1", 0), 0u) << err2.str();
    EXPECT_NE(err2.str().rfind("run-time error 32", 0), 0u);
}

// The structured end of a run, as a caller of runProgramIn classifies it.
TEST_F(InFolder, ARunSaysHowItEndedWithoutItsTextBeingParsed) {
    const std::filesystem::path cases = HXRATE_CASES_DIR;
    struct Row {
        const char* caseFolder;  // whose case file is copied; none: no case file
        const char* plant;       // "busy": another run holds the folder; "link": another
                                 // user's link as the log
        RunKind kind;
        int error;
        std::optional<Check> check;
        const char* message;  // how the message starts
        const char* why;
    } rows[] = {
        {"success-grid_008", "", RunKind::rated, 0, std::nullopt, "", "rated"},
        {"terminations-t16_type_4", "", RunKind::rejected, 0, Check::exchangerSelection,
         "Please insert correct", "a check rejects the case"},
        {"inputfail-int_word", "", RunKind::failed, errorNumber::malformedNumber, std::nullopt,
         "run-time error 12: ", "the case text fails"},
        {nullptr, "", RunKind::refused, errorNumber::caseFileUnreadable, std::nullopt,
         "run-time error 10: no case file", "no case file"},
        {"success-grid_008", "busy", RunKind::refused, errorNumber::runInProgress, std::nullopt,
         "run-time error 32: another run holds the folder", "another run in the folder"},
        {"success-grid_008", "link", RunKind::refused, errorNumber::fileNotWritable, std::nullopt,
         "run-time error 31: cannot write \"Log file.txt\": it is a symbolic link",
         "another user's link as the log"},
        {nullptr, "caselink", RunKind::refused, errorNumber::caseFileUnreadable, std::nullopt,
         "run-time error 10: cannot read the case file", "another user's link as the case"},
    };
    for (const Row& row : rows) {
        const std::string_view plant = row.plant;
        if ((plant == "link" || plant == "caselink") && ::geteuid() != 0) {
            std::cout << "skipped, needs root to plant another user's link: " << row.why << "\n";
            continue;
        }
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        if (row.caseFolder)
            std::filesystem::copy_file(cases / row.caseFolder / caseFileName, dir_ / caseFileName);
        int holder = -1;
        if (plant == "busy") {
            holder = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY);
            ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        if (plant == "link") {
            std::filesystem::create_symlink("/nonexistent-hxrate-target", dir_ / runLogName);
            ::lchown((dir_ / runLogName).c_str(), 54321, 54321);
        }
        if (plant == "caselink") {
            // A private file's text must not reach the log through it.
            std::filesystem::copy_file(cases / "success-grid_008" / caseFileName,
                                       dir_.parent_path() / (dir_.filename().string() + ".case"));
            std::filesystem::create_symlink(
                dir_.parent_path() / (dir_.filename().string() + ".case"), dir_ / caseFileName);
            ::lchown((dir_ / caseFileName).c_str(), 54321, 54321);
        }
        auto before = entries();
        ProgramRun run = runProgramIn(dir_, {.syncEachFile = false});
        if (holder >= 0) ::close(holder);
        EXPECT_EQ(run.kind, row.kind) << row.why;
        EXPECT_EQ(run.errorNumber, row.error) << row.why;
        EXPECT_EQ(run.check, row.check) << row.why;
        EXPECT_TRUE(run.message.starts_with(row.message)) << row.why << ": " << run.message;
        EXPECT_EQ(run.exitStatus,
                  row.kind == RunKind::rated || row.kind == RunKind::rejected ? 0 : 1)
            << row.why;
        if (row.kind == RunKind::refused) {
            EXPECT_EQ(entries(), before) << row.why << ": untouched";
        }
        std::filesystem::remove(dir_.parent_path() / (dir_.filename().string() + ".case"));
    }
}

}  // namespace
}  // namespace hxrate
