// The rules every companion tool shares: its command line, how it writes its
// one output file, and failures that end with a message instead of an abort.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

#include <hxrate/report.h>

#include "markup.h"
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;

struct Tool {
    std::string name;
    const char* program;
};
const Tool allTools[] = {{"hxrate-batch", HXRATE_BATCH_EXE},
                         {"hxrate-plot", HXRATE_PLOT_EXE},
                         {"hxrate-advise", HXRATE_ADVISE_EXE},
                         {"hxrate-report", HXRATE_REPORT_EXE}};

// Every line of `text` starts with "NAME: ".
bool everyLineNamed(const std::string& text, const std::string& name) {
    std::size_t start = 0;
    while (start < text.size()) {
        if (text.compare(start, name.size() + 2, name + ": ") != 0) return false;
        std::size_t end = text.find('\n', start);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return !text.empty();
}

TEST(ToolCommandLine, OneStyleForEveryTool) {
    for (const Tool& tool : allTools) {
        SCOPED_TRACE(tool.name);
        ProgramRun version = runProgram(tool.program, {"--version"}, "/");
        EXPECT_EQ(version.exitStatus, 0);
        EXPECT_EQ(version.standardOutput, tool.name + " " + hxrate::version() + "\n");
        ProgramRun help = runProgram(tool.program, {"--help"}, "/");
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_NE(help.standardOutput.find("Exit status"), std::string::npos);
        // Standard output that cannot be written is a failure, with its reason.
        ProgramRun full = runProgram(tool.program, {"--help"}, "/", "/dev/full");
        EXPECT_EQ(full.exitStatus, 1);
        EXPECT_EQ(full.standardError,
                  tool.name + ": cannot write standard output: " + std::strerror(ENOSPC) + "\n");
        ProgramRun wrong = runProgram(tool.program, {"--no-such-option"}, "/");
        EXPECT_EQ(wrong.exitStatus, 2);
        EXPECT_TRUE(everyLineNamed(wrong.standardError, tool.name)) << wrong.standardError;
    }
}

// A folder "case" with a rated case in it, for every tool to work on.
std::string ratedCase(const ScratchFolder& work) {
    std::string folder = copyCase(sampleCase("success-branch_t1_007"), work.path(), "case");
    EXPECT_EQ(runProgram(HXRATE_EXE, {}, folder).exitStatus, 0);
    return folder;
}

// A tool asked to write its one file at a path.
struct Writer {
    const char* what;
    std::string name;
    const char* program;
    std::function<std::vector<std::string>(const std::string& path)> arguments;
    std::string_view starts;  // how the file's bytes begin
};
const Writer writers[] = {
    {"batch summary", "hxrate-batch", HXRATE_BATCH_EXE,
     [](const std::string& p) {
         return std::vector<std::string>{"-o", p, "case"};
     },
     "folder,"},
    {"plot", "hxrate-plot", HXRATE_PLOT_EXE,
     [](const std::string& p) {
         return std::vector<std::string>{"-o", p, "case"};
     },
     "<"},
    {"report JSON", "hxrate-report", HXRATE_REPORT_EXE,
     [](const std::string& p) {
         return std::vector<std::string>{"case", "-o", "pages", "--json", p};
     },
     "{"},
    {"report page", "hxrate-report", HXRATE_REPORT_EXE,
     [](const std::string& p) {
         return std::vector<std::string>{"case", "-o", "pages", "--html", p};
     },
     "<!DOCTYPE html>"},
};

// Reads a FIFO on a thread while a tool writes into it; never waits for a
// writer that does not come.
class FifoReader {
  public:
    explicit FifoReader(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)), thread_([this] { read(); }) {}
    ~FifoReader() { ::close(fd_); }
    // What was read, once the tool has ended.
    std::string finish() {
        stop_ = true;
        thread_.join();
        return bytes_;
    }

  private:
    void read() {
        char buffer[4096];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            int ready = ::poll(&p, 1, 100);
            if (ready == 0 && stop_) return;  // the tool ended without writing more
            if (ready <= 0) continue;
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) bytes_.append(buffer, static_cast<std::size_t>(n));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
        }
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::string bytes_;
    std::thread thread_;
};

bool isKind(const std::string& path, mode_t kind) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == kind;
}

TEST(ToolOutputFile, EveryToolWritesByTheSameRules) {
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.what);
        ScratchFolder work;
        ratedCase(work);
        auto run = [&](const std::string& path, const std::string& standardOutput = {}) {
            return runProgram(w.program, w.arguments(path), work.path(), standardOutput);
        };

        // A regular file is replaced whole.
        writeFile(work / "out", "an older file\n");
        ProgramRun regular = run("out");
        ASSERT_EQ(regular.exitStatus, 0) << regular.standardError;
        const std::string bytes = readFile(work / "out");
        EXPECT_TRUE(bytes.starts_with(w.starts)) << bytes.substr(0, 80);

        // "-" is standard output.
        ProgramRun toStdout = run("-");
        EXPECT_EQ(toStdout.exitStatus, 0) << toStdout.standardError;
        EXPECT_TRUE(toStdout.standardOutput.starts_with(w.starts));
        EXPECT_FALSE(exists(work / "-"));

        // A character device is written in place and stays a device (a node
        // of /dev/null's own kind where this test may make one).
        std::string device = "/dev/null";
        if (::geteuid() == 0 &&
            ::mknod((work / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
            device = work / "null";
        EXPECT_EQ(run(device).exitStatus, 0);
        EXPECT_TRUE(isKind(device, S_IFCHR));

        // A FIFO's reader gets the whole file.
        ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0600), 0);
        FifoReader reader(work / "fifo");  // opened first: the tool's open does not wait
        EXPECT_EQ(run(work / "fifo").exitStatus, 0);
        EXPECT_TRUE(reader.finish().starts_with(w.starts));
        EXPECT_TRUE(isKind(work / "fifo", S_IFIFO));

        // Another user's link is refused, and its target is left alone.
        if (::geteuid() == 0) {
            writeFile(work / "target", "someone else's\n");
            ASSERT_EQ(::symlink((work / "target").c_str(), (work / "link").c_str()), 0);
            ASSERT_EQ(::lchown((work / "link").c_str(), 65534, 65534), 0);
            ProgramRun link = run("link");
            EXPECT_EQ(link.exitStatus, 1);
            EXPECT_TRUE(everyLineNamed(link.standardError, w.name)) << link.standardError;
            EXPECT_EQ(readFile(work / "target"), "someone else's\n");
            EXPECT_TRUE(isKind(work / "link", S_IFLNK));
        }

        // No temporary file is left behind.
        for (const std::string& name : listFolder(work.path())) {
            EXPECT_TRUE(name == "case" || name == "pages" || name == "out" || name == "null" ||
                        name == "fifo" || name == "target" || name == "link")
                << name;
        }
    }
}

TEST(ToolFailures, OutOfMemoryEndsWithAMessageNotAnAbort) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer build: its shadow memory does not fit a small address space";
#endif
    ScratchFolder work;
    // A million nodes: the grid fits the program's storage limit, not a
    // 60 MB address space.
    std::string folder = copyCase(sampleCase("success-branch_t1_007"), work.path(), "big");
    std::string bytes = readFile(folder + "/" + caseName);
    std::size_t line = bytes.find("\n5 ");
    ASSERT_NE(line, std::string::npos);
    bytes.replace(line + 3, bytes.find_first_of(" \r\n", line + 3) - line - 3, "1e-6");
    writeFile(folder + "/" + caseName, bytes);
    // A results file larger than that address space, for the plot.
    int fd = ::open((folder + "/" + resultsName).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 200 << 20), 0);
    ::close(fd);
    for (const Tool& tool : {allTools[1], allTools[2], allTools[3]}) {
        SCOPED_TRACE(tool.name);
        ProgramRun run = runProgram(
            "/bin/sh", {"-c", "ulimit -v 60000 && exec \"$0\" big", tool.program}, work.path());
        EXPECT_EQ(run.exitStatus, 1) << "-1 is a signal: an abort";
        EXPECT_TRUE(everyLineNamed(run.standardError, tool.name)) << run.standardError;
    }
}

TEST(ToolText, IllFormedUtf8BecomesReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string in, out;
        const char* why;
    } rows[] = {
        {"K\xfchl\xf6l", "K" + fffd + "hl" + fffd + "l", "Latin-1 letters"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa5", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa5",
         "well-formed text stays as it is"},
        {"a\xe2\x82", "a" + fffd, "a sequence cut short is one maximal subpart"},
        {"\xe2\x82z", fffd + "z", "broken off by an ASCII byte"},
        {"\xc0\xaf", fffd + fffd, "an overlong lead byte is no start"},
        {"\xed\xa0\x80", fffd + fffd + fffd, "a surrogate"},
        {"\xf4\x90\x80\x80", fffd + fffd + fffd + fffd, "above U+10FFFF"},
        {"\x80\xbf", fffd + fffd, "lone continuation bytes"},
        {std::string("\0x", 2), std::string("\0x", 2), "NUL is a character"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(validUtf8(row.in), row.out) << row.why;
    }
    EXPECT_EQ(xmlEscape("<K\xfc>"), "&lt;K&#xFFFD;&gt;");
}

}  // namespace
}  // namespace hxrate::tools
