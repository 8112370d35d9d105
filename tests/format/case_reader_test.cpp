#include "format/case_reader.h"
#include "cli/driver.h"

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
        try {
            openCaseFile(name);
            ADD_FAILURE() << name << " must not be read as a case file";
        } catch (const InputError& f) {
            EXPECT_EQ(f.code(), errorNumber::caseFileUnreadable) << diagnosticOf(f);
        }
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace hxrate
