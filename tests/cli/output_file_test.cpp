// writeWholeFile: what each kind of thing at an output path becomes, and
// which leftovers a writer removes.
#include "hxrate/output_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

#include "hxrate/errors.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;

// A uid that owns nothing on this machine: root gives it the links it plants.
constexpr uid_t strangerUid = 54321;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class WholeFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("hxrate-whole-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "elsewhere");
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(WholeFile, EachKindOfPathIsWrittenByItsRule) {
    const bool root = ::geteuid() == 0;
    struct Row {
        std::string name;
        std::function<void(const fs::path&)> setup;
        bool written;     // else a ResourceError naming the path
        bool needsRoot;   // to give a link to another user
        std::string why;  // also a text the error must hold
        std::function<bool(const fs::path&)> after;
    } rows[] = {
        {"absent.txt", [](const fs::path&) {}, true, false, "an absent file is created",
         [](const fs::path& p) { return slurp(p) == "new"; }},
        {"regular.txt",
         [](const fs::path& p) {
             std::ofstream(p) << "old and longer";
             fs::permissions(p, fs::perms(0640));
         },
         true, false, "a regular file is replaced and keeps its mode",
         [](const fs::path& p) {
             struct stat info {};
             return slurp(p) == "new" && ::stat(p.c_str(), &info) == 0 &&
                    (info.st_mode & 07777) == 0640;
         }},
        {"own-link.txt",
         [](const fs::path& p) {
             std::ofstream(p.parent_path() / "elsewhere" / "target.txt") << "old";
             fs::create_symlink("elsewhere/target.txt", p);
         },
         true, false, "the user's own link is followed and stays a link",
         [](const fs::path& p) {
             return fs::is_symlink(p) &&
                    slurp(p.parent_path() / "elsewhere" / "target.txt") == "new";
         }},
        {"stranger-link.txt",
         [](const fs::path& p) {
             fs::create_symlink("elsewhere/planted.txt", p);
             ::lchown(p.c_str(), strangerUid, strangerUid);
         },
         false, true, "owned by another user",
         [](const fs::path& p) { return !fs::exists(p.parent_path() / "elsewhere/planted.txt"); }},
        {"own-link-to-stranger.txt",
         [](const fs::path& p) {
             fs::create_symlink("planted-too.txt", p.parent_path() / "elsewhere" / "hop.txt");
             ::lchown((p.parent_path() / "elsewhere" / "hop.txt").c_str(), strangerUid,
                      strangerUid);
             fs::create_symlink("elsewhere/hop.txt", p);
         },
         false, true, "leads to the symbolic link",
         [](const fs::path& p) {
             return !fs::exists(p.parent_path() / "elsewhere" / "planted-too.txt");
         }},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, false, false,
         "Is a directory",
         [](const fs::path& p) { return fs::is_directory(p) && fs::is_empty(p); }},
        {"fifo", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, true, false,
         "a FIFO receives the bytes and stays a FIFO",
         [](const fs::path& p) { return fs::is_fifo(p); }},
    };
    for (const Row& row : rows) {
        if (row.needsRoot && !root) {
            std::cout << "skipped, needs root to plant another user's link: " << row.why << "\n";
            continue;
        }
        const fs::path path = dir_ / row.name;
        row.setup(path);
        // A FIFO needs a reader to be written without blocking.
        int reader = fs::is_fifo(path) ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        try {
            writeWholeFile(path, "new");
            EXPECT_TRUE(row.written) << row.why;
        } catch (const ResourceError& e) {
            EXPECT_FALSE(row.written) << row.why << ": " << e.what();
            EXPECT_EQ(e.code(), errorNumber::fileNotWritable) << row.why;
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(row.why), std::string::npos) << e.what();
        }
        if (reader >= 0) {
            char got[8] = {};
            EXPECT_EQ(::read(reader, got, sizeof got), 3) << row.why;
            EXPECT_EQ(std::string(got, 3), "new") << row.why;
            ::close(reader);
        }
        EXPECT_TRUE(row.after(path)) << row.why;
    }
    for (const auto& e : fs::directory_iterator(dir_)) {
        EXPECT_FALSE(e.path().filename().string().starts_with(".")) << "left " << e.path();
    }
}

TEST_F(WholeFile, ADeviceIsWrittenAsItIsAndADashIsStandardOutput) {
    writeWholeFile("/dev/null", "gone");
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "never replaced by a regular file";
    EXPECT_THROW(writeWholeFile("/dev/full", std::string(1 << 16, 'x')), ResourceError);

    // Standard output, pointed at a file for the test.
    const fs::path captured = dir_ / "stdout.txt";
    int saved = ::dup(STDOUT_FILENO);
    int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
    writeWholeFile("-", "to standard output\n");
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    EXPECT_EQ(slurp(captured), "to standard output\n");
}

TEST_F(WholeFile, OnlyLeftoversOfThisUserThatNoWriterHoldsAreRemoved) {
    const bool root = ::geteuid() == 0;
    const fs::path out = dir_ / "out.csv";
    auto make = [this](const char* name) {
        std::ofstream(dir_ / name) << "x";
        return dir_ / name;
    };
    fs::path dead = make(".out.csv.partial-a1B2c3");
    fs::path stranger = make(".out.csv.partial-d4E5f6");
    if (root) ::chown(stranger.c_str(), strangerUid, strangerUid);
    fs::path held = make(".out.csv.partial-g7H8i9");
    int holder = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    fs::path odd = make(".out.csv.partial-a1B2-3");
    fs::create_symlink(dead.filename(), dir_ / ".out.csv.partial-j0K1l2");

    writeWholeFile(out, "new");
    EXPECT_FALSE(fs::exists(dead)) << "a killed writer's file";
    EXPECT_EQ(fs::exists(stranger), root) << "another user's file stays";
    EXPECT_TRUE(fs::exists(held)) << "a live writer's file stays";
    EXPECT_TRUE(fs::exists(odd)) << "a name outside the pattern stays";
    EXPECT_TRUE(fs::is_symlink(dir_ / ".out.csv.partial-j0K1l2")) << "a link is never removed";
    ::close(holder);
}

}  // namespace
}  // namespace hxrate
