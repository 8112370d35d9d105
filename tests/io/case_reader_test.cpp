#include "io/case_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "run/failures.h"

namespace hxrate {
namespace {

TEST(CaseFile, OnlyARegularFileCanBeRead) {
    auto dir =
        std::filesystem::temp_directory_path() / ("hxrate-case-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string missing = (dir / "missing.txt").string();
    int fd = openCaseFile(missing);
    EXPECT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(std::filesystem::is_regular_file(missing))
        << "a missing case file is created empty";
    EXPECT_EQ(std::filesystem::file_size(missing), 0u);

    std::string folder = (dir / "folder").string();
    std::filesystem::create_directory(folder);
    std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {folder, fifo}) {
        try {
            openCaseFile(name);
            ADD_FAILURE() << name << " must not be read as a case file";
        } catch (const InputFailure& f) {
            EXPECT_EQ(f.code, errorNumber::caseFileUnreadable) << f.diagnostic;
        }
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace hxrate
