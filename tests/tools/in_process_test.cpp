#include "in_process.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// Copies every sample case folder (its case file and the files that lie
// there beforehand) under `root`.
std::vector<std::string> copySampleCases(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(HXRATE_CASES_DIR)) {
        if (!entry.is_directory()) continue;
        std::string name = entry.path().filename().string();
        fs::create_directory(root + "/" + name);
        if (fs::exists(entry.path() / caseName))
            fs::copy(entry.path() / caseName, root + "/" + name + "/" + caseName);
        if (fs::exists(entry.path() / "setup"))
            fs::copy(entry.path() / "setup", root + "/" + name, fs::copy_options::recursive);
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The key promise of the in-process mode: over every sample case, the same
// files with the same bytes in every folder, and the same summary table, as
// running the program in each folder. One worker, so that the grid storage
// limit (named in a grid refusal) is the whole of what the program gets.
TEST(InProcessBatch, LeavesExactlyWhatTheProgramLeavesInEveryFolder) {
    ScratchFolder byProcess, inProcess;
    std::vector<std::string> names = copySampleCases(byProcess.path());
    copySampleCases(inProcess.path());
    std::vector<std::string> arguments = names;
    arguments.insert(arguments.begin(), {"-j", "1"});
    ProgramRun a = runProgram(HXRATE_BATCH_EXE, arguments, inProcess.path());
    arguments.insert(arguments.begin(), "--processes");
    ProgramRun b = runProgram(HXRATE_BATCH_EXE, arguments, byProcess.path());
    EXPECT_EQ(a.exitStatus, b.exitStatus) << a.standardError;
    EXPECT_EQ(a.standardError, b.standardError);
    EXPECT_EQ(readFile(inProcess / "summary.csv"), readFile(byProcess / "summary.csv"));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::vector<std::string> files = listFolder(inProcess / name);
        ASSERT_EQ(files, listFolder(byProcess / name));
        for (const std::string& file : files) {
            if (fs::is_regular_file(inProcess / name + "/" + file)) {
                EXPECT_EQ(readFile(inProcess / name + "/" + file),
                          readFile(byProcess / name + "/" + file))
                    << file;
            }
        }
    }
}

TEST(InProcessBatch, ARejectionLeavesAnEarlierReportAndReplacesTheLog) {
    ScratchFolder work;
    std::string folder = copyCase(sampleCase("terminations-t12_reduce_005"), work.path(), "case");
    writeFile(folder + "/" + resultsName, "an earlier report\r\n");
    CaseSummary s = runInProcess(std::uint64_t{1} << 30, folder);
    EXPECT_EQ(outcomeName(s.outcome), "rejected");
    EXPECT_EQ(s.message, "Reduce correction factor");
    EXPECT_EQ(readFile(folder + "/" + resultsName), "an earlier report\r\n");
    EXPECT_EQ(readFile(folder + "/" + logName),
              " Reduce correction factor\r\n Calculation Terminated !!!\r\n");
    // Nothing is left of the files written on the way.
    EXPECT_EQ(listFolder(folder), (std::vector<std::string>{caseName, resultsName, logName}));
}

TEST(InProcessBatch, AWorkersStorageShareDecidesAGridRefusal) {
    ScratchFolder work;
    std::string folder = copyCase(sampleCase("success-branch_t1_007"), work.path(), "case");
    // 13 nodes of three temperatures need 312 bytes.
    CaseSummary s = runInProcess(311, folder);
    EXPECT_EQ(outcomeName(s.outcome), "resource failure");
    EXPECT_TRUE(s.message.starts_with("run-time error 30: ")) << s.message;
    EXPECT_FALSE(exists(folder + "/" + resultsName));
    EXPECT_TRUE(readFile(folder + "/" + logName).ends_with(" Calculation Terminated !!!\r\n"));
}

}  // namespace
}  // namespace hxrate::tools
