#include "cli/case_file_source.h"
#include "support/expect_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "core/failures.h"
#include "hxrate/case_files.h"

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

// readCase, readCaseDocument and readCaseText follow the program's rule on
// links: the user's own are followed, another user's is refused unread.
TEST(CaseFile, AnotherUsersLinkIsNotFollowedByTheReaders) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
    auto dir =
        std::filesystem::temp_directory_path() / ("hxrate-links-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string secret = "{\"format\": \"private text\"}";
    { std::ofstream(dir / "secret.json") << secret; }
    std::filesystem::create_symlink(dir / "secret.json", dir / "own.json");
    std::filesystem::create_symlink(dir / "secret.json", dir / "strange.json");
    ASSERT_EQ(::lchown((dir / "strange.json").c_str(), 65534, 65534), 0);
    EXPECT_EQ(readCaseText(dir / "own.json"), secret) << "one's own link is followed";
    const std::function<void(const std::filesystem::path&)> readers[] = {
        [](const std::filesystem::path& p) { (void)readCase(p); },
        [](const std::filesystem::path& p) { (void)readCaseDocument(p); },
        [](const std::filesystem::path& p) { (void)readCaseText(p); },
    };
    for (const auto& read : readers) {
        auto failure = testing::errorOf<InputError>([&] { read(dir / "strange.json"); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), errorNumber::caseFileUnreadable);
        EXPECT_NE(failure->reason().find("owned by another user (uid 65534), not followed"),
                  std::string::npos)
            << failure->reason();
        EXPECT_EQ(std::string(failure->what()).find("private"), std::string::npos);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace hxrate
