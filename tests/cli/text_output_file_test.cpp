#include "cli/text_output_file.h"
#include "cli/driver.h"

#include "core/failures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hxrate {
namespace {

std::string freeForm(std::string_view text) {
    TextOutputFile file = TextOutputFile::inMemory("log");
    file.open();
    writeFreeFormLine(file, text);
    file.close();
    return file.contents();
}

TEST(FreeFormLine, SplitsIntoPiecesOf79Characters) {
    std::string s79(79, 'a');
    std::string s89 = std::string(79, 'b') + std::string(10, 'c');
    struct Row {
        std::string text;
        std::string expected;
        const char* why;
    } rows[] = {
        {"", " \r\n", "an empty text is a line holding one blank"},
        {"Calculation processed successfully", " Calculation processed successfully\r\n",
         "short text"},
        {std::string(78, 'x'), " " + std::string(78, 'x') + "\r\n",
         "78 characters stay on one line"},
        {s79, " " + s79 + "\r\n \r\n", "79 characters leave an empty last piece"},
        {s79 + s79, " " + s79 + "\r\n " + s79 + "\r\n \r\n", "158 characters give three lines"},
        {s89, " " + std::string(79, 'b') + "\r\n cccccccccc\r\n", "89 characters: 79 then 10"},
        {"a\tb  ", " a\tb  \r\n", "tabs and the text's own blanks are kept"},
    };
    for (const Row& row : rows) EXPECT_EQ(freeForm(row.text), row.expected) << row.why;
}

class OutputFileOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("hxrate-out-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "out.txt").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string read() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static int modeOf(const std::string& path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return static_cast<int>(info.st_mode & 07777);
    }

    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(OutputFileOnDisk, OpenCreatesAnAbsentFileEmpty) {
    TextOutputFile file(path_);
    file.open();
    file.close();
    EXPECT_TRUE(std::filesystem::exists(path_));
    EXPECT_EQ(read(), "");
}

TEST_F(OutputFileOnDisk, OldContentStaysUntilCloseAndSurvivesADiscard) {
    write("old line\r\nand more\r\n");
    TextOutputFile file(path_);
    file.open();
    file.close();
    EXPECT_EQ(read(), "old line\r\nand more\r\n") << "opened and closed without a line: untouched";

    TextOutputFile again(path_);
    again.open();
    again.writeLine("new");
    EXPECT_EQ(read(), "old line\r\nand more\r\n") << "written but not closed: still the old file";
    again.close();
    EXPECT_EQ(read(), "new\r\n") << "closed: replaced whole";

    {
        TextOutputFile dropped(path_);
        dropped.open();
        for (int i = 0; i < 20000; ++i) dropped.writeLine("a line past the buffer");
    }  // destroyed without close(): dropped
    EXPECT_EQ(read(), "new\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"out.txt"}) << "no temporary file remains";
}

TEST_F(OutputFileOnDisk, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    write("old\r\n");
    std::filesystem::permissions(path_, std::filesystem::perms(0640));
    TextOutputFile file(path_);
    file.open();
    file.writeLine("new");
    file.close();
    EXPECT_EQ(modeOf(path_), 0640);

    mode_t mask = ::umask(027);
    TextOutputFile fresh((dir_ / "fresh.txt").string());
    fresh.open();
    fresh.close();
    ::umask(mask);
    EXPECT_EQ(modeOf((dir_ / "fresh.txt").string()), 0640) << "0666 less the umask 027";
}

TEST_F(OutputFileOnDisk, ASymbolicLinkIsReplacedAtItsTarget) {
    std::filesystem::create_directory(dir_ / "elsewhere");
    write("old\r\n");
    std::filesystem::rename(path_, dir_ / "elsewhere" / "real.txt");
    std::filesystem::create_symlink("elsewhere/real.txt", path_);
    std::filesystem::create_symlink("elsewhere/absent.txt", dir_ / "dangling.txt");
    for (const char* name : {"out.txt", "dangling.txt"}) {
        TextOutputFile file((dir_ / name).string());
        file.open();
        file.writeLine(name);
        file.close();
        EXPECT_TRUE(std::filesystem::is_symlink(dir_ / name)) << name << " stays a link";
    }
    EXPECT_EQ(read(), "out.txt\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "elsewhere" / "absent.txt"))
        << "a dangling link's target is created";
    EXPECT_EQ(entries(), (std::vector<std::string>{"dangling.txt", "elsewhere", "out.txt"}));
}

TEST_F(OutputFileOnDisk, OnlyTheLeftoversOfThisFileAreRemoved) {
    struct Row {
        const char* name;
        bool removed;
        const char* why;
    } rows[] = {
        {".out.txt.partial-a1B2c3", true, "a killed run's temporary file"},
        {".out.txt.partial-a1B2c", false, "suffix too short"},
        {".out.txt.partial-a1B2c3d", false, "suffix too long"},
        {".other.txt.partial-a1B2c3", false, "another file's temporary file"},
        {"out.txt.partial-a1B2c3", false, "not hidden"},
        {"out.txt", false, "the output itself"},
    };
    for (const Row& row : rows) std::ofstream(dir_ / row.name) << "x";
    TextOutputFile(path_).removeLeftovers();
    for (const Row& row : rows) {
        EXPECT_EQ(!std::filesystem::exists(dir_ / row.name), row.removed) << row.why;
    }
}

TEST_F(OutputFileOnDisk, LargeOutputCrossesTheBufferIntact) {
    TextOutputFile file(path_);
    file.open();
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string line = "line " + std::to_string(i);
        file.writeLine(line);
        expected += line + "\r\n";
    }
    file.close();
    EXPECT_EQ(read(), expected);
}

// A copy of the bytes is kept within the budget, or dropped when it does not
// fit: the file is written whole either way, and the budget given back.
TEST_F(OutputFileOnDisk, AKeptCopyWithinItsBudgetOrNone) {
    const std::string line(1000, 'x');
    for (std::uint64_t limit : {std::uint64_t{1} << 20, std::uint64_t{100000}}) {
        StorageBudget budget(limit);
        {
            TextOutputFile file(path_);
            file.setKeepCopy(true);
            file.setStorageBudget(&budget);
            file.open();
            for (int i = 0; i < 200; ++i) file.writeLine(line);  // 200 KB
            file.close();
            EXPECT_EQ(read().size(), 200u * 1002) << limit;
            EXPECT_EQ(file.writtenBytes().has_value(), limit > 400000) << limit;
            EXPECT_LE(budget.reserved(), limit);
        }
        EXPECT_EQ(budget.reserved(), 0u) << limit;
    }
}

TEST_F(OutputFileOnDisk, AWriteThatFailsIsAResourceErrorAndKeepsTheOldFile) {
    // In a child process, a file size limit makes write() itself fail, as a
    // full disk does.
    write("old\r\n");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TextOutputFile file(path_);
        file.open();
        try {
            for (int i = 0; i < 10000; ++i) file.writeLine("a line that does not fit the limit");
            file.close();
        } catch (const ResourceError& f) {
            ::_exit(diagnosticOf(f).find("cannot write") != std::string::npos ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(read(), "old\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"out.txt"});
}

TEST(OutputFileFailures, AFullDeviceOrAMissingFolderIsAResourceError) {
    TextOutputFile full("/dev/full");
    full.open();
    EXPECT_THROW(
        {
            for (int i = 0; i < 100000; ++i) full.writeLine("a line that cannot reach the disk");
            full.close();
        },
        ResourceError);

    TextOutputFile nowhere("/nonexistent-folder/out.txt");
    EXPECT_THROW(nowhere.open(), ResourceError);
}

}  // namespace
}  // namespace hxrate
