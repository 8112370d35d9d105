#include "cli/text_output_file.h"
#include "cli/driver.h"

#include "core/failures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>
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

TEST_F(OutputFileOnDisk, ExistingContentSurvivesUntilTheFirstLine) {
    write("old line\r\nand more\r\n");
    TextOutputFile file(path_);
    file.open();
    file.close();
    EXPECT_EQ(read(), "old line\r\nand more\r\n") << "opened and closed without a line: untouched";

    TextOutputFile again(path_);
    again.open();
    again.writeLine("new");
    again.close();
    EXPECT_EQ(read(), "new\r\n") << "the first line cuts the old content";
}

TEST_F(OutputFileOnDisk, DestructorWritesOutWhatIsBuffered) {
    {
        TextOutputFile file(path_);
        file.open();
        file.writeLine("kept");
    }
    EXPECT_EQ(read(), "kept\r\n");
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

TEST_F(OutputFileOnDisk, AWriteThatFailsIsAResourceError) {
    // In a child process, a file size limit makes write() itself fail, as a
    // full disk does.
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
