#include "cli/case_file_source.h"
#include "support/expect_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "core/failures.h"

namespace hxrate {
namespace {

TEST(CaseFile, OnlyARegularFileCanBeRead) {
    auto dir =
        std::filesystem::temp_directory_path() / ("hxrate-case-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string missing = (dir / "missing.txt").string();
    EXPECT_THROW(openCaseFile(missing), InputError);
    EXPECT_FALSE(std::filesystem::exists(missing)) << "a missing case file is not created";

    std::string folder = (dir / "folder").string();
    std::filesystem::create_directory(folder);
    std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {folder, fifo}) {
        auto failure = testing::errorOf<InputError>([&] { openCaseFile(name); });
        ASSERT_TRUE(failure) << name << " must not be read as a case file";
        EXPECT_EQ(failure->code(), errorNumber::caseFileUnreadable) << failure->what();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace hxrate
