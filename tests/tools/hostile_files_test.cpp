// Every tool where other users may plant names: another user's link, a
// FIFO, a folder that cannot be searched and a name with a line break in it
// each get a clear refusal, never the content of a private file, a wait
// for ever or a forged line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "files.h"
#include "markup.h"
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr uid_t stranger = 65534;  // the user "nobody"
// A private file's text: every reader that would parse it names it in an error.
const std::string secret = "{\"SECRET-TOKEN\": 1}\n";

// A link at `link` to `target`, owned by another user.
void strangersLink(const std::string& target, const std::string& link) {
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
    ASSERT_EQ(::lchown(link.c_str(), stranger, stranger), 0) << link;
}

// The whole text of every file under `folder` but in `except`, named.
std::string everythingUnder(const std::string& folder, const std::string& except) {
    std::string all;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string path = entry.path().string();
        if (path.starts_with(except) || entry.is_symlink() || !entry.is_regular_file()) continue;
        all += path + ":\n" + readFile(path);
    }
    return all;
}

// A tool stopped after ten seconds ends with status 124: it waited on a FIFO.
ProgramRun runAtMostTenSeconds(const std::string& program, std::vector<std::string> arguments,
                               const std::string& folder) {
    arguments.insert(arguments.begin(), {"10", program});
    return runProgram("/usr/bin/timeout", arguments, folder);
}

struct Plant {
    const char* why;
    const char* program;
    std::function<std::vector<std::string>(const ScratchFolder&)> setUp;  // the arguments
    int exitStatus;
    std::string named;  // what the message names
};

// A root-only folder "private" holding the secret, a root-only folder
// "locked" for outputs, and a rated case in "case".
void commonGround(const ScratchFolder& work) {
    fs::create_directory(work / "private");
    writeFile(work / "private/secret", secret);
    writeFile(work / "private/" + caseName, secret);
    writeFile(work / "private/" + resultsName,
              readFile(sampleCase("success-branch_t1_007") + "/expected/" + resultsName));
    fs::create_directory(work / "locked");
    fs::permissions(work / "private", fs::perms::owner_all);
    fs::permissions(work / "locked", fs::perms::owner_all);
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "case");
    ASSERT_EQ(runProgram(HXRATE_EXE, {}, work / "case").exitStatus, 0);
}

TEST(HostileFiles, AnotherUsersLinkIsRefusedUnreadInEveryTool) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
    const Plant rows[] = {
        {"batch: case.json", HXRATE_BATCH_EXE,
         [](const ScratchFolder& w) {
             fs::create_directory(w / "doc");
             strangersLink(w / "private/secret", w / "doc/case.json");
             return std::vector<std::string>{"-o", "out.csv", "doc"};
         },
         0, "\"\"doc/case.json\"\": it is a symbolic link owned by another user"},
        {"batch: a document named", HXRATE_BATCH_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private/secret", w / "doc.json");
             return std::vector<std::string>{"-o", "out.csv", "doc.json"};
         },
         1, "doc.json: it is a symbolic link owned by another user"},
        {"batch: a folder named", HXRATE_BATCH_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private", w / "elsewhere");
             return std::vector<std::string>{"-o", "out.csv", "elsewhere"};
         },
         1, "elsewhere: it is a symbolic link owned by another user"},
        {"batch: the summary, found before any case runs", HXRATE_BATCH_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "locked/summary.csv", w / "out.csv");
             fs::remove(w / "case/" + logName);
             return std::vector<std::string>{"-o", "out.csv", "case"};
         },
         1, "cannot write \"out.csv\": it is a symbolic link owned by another user"},
        {"report: the case", HXRATE_REPORT_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private/secret", w / "case.txt");
             return std::vector<std::string>{"case.txt"};
         },
         1, "cannot read the case file \"case.txt\": it is a symbolic link owned by another user"},
        {"report: the folder of the reports", HXRATE_REPORT_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "locked", w / "pages");
             return std::vector<std::string>{"case", "-o", "pages"};
         },
         1, "cannot write \"pages\": it is a symbolic link owned by another user"},
        {"report: the folder of the case", HXRATE_REPORT_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private", w / "elsewhere");
             return std::vector<std::string>{"elsewhere"};
         },
         1, "cannot read the case file \"elsewhere\": it is a symbolic link owned by another user"},
        {"report: --case-json of a linked case", HXRATE_REPORT_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private/secret", w / "case.txt");
             return std::vector<std::string>{"--case-json", "case.txt"};
         },
         1, "cannot read the case file \"case.txt\": it is a symbolic link owned by another user"},
        {"advise: the case file", HXRATE_ADVISE_EXE,
         [](const ScratchFolder& w) {
             fs::create_directory(w / "linked");
             strangersLink(w / "private/secret", w / "linked/" + caseName);
             return std::vector<std::string>{"linked"};
         },
         1, "/" + std::string(caseName) + "\": it is a symbolic link owned by another user"},
        {"advise: the folder", HXRATE_ADVISE_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private", w / "elsewhere");
             return std::vector<std::string>{"elsewhere"};
         },
         1, "\"elsewhere\": it is a symbolic link owned by another user"},
        {"plot: the results file", HXRATE_PLOT_EXE,
         [](const ScratchFolder& w) {
             fs::create_directory(w / "linked");
             strangersLink(w / "private/" + resultsName, w / "linked/" + resultsName);
             return std::vector<std::string>{"linked"};
         },
         1, "/" + std::string(resultsName) + "\": it is a symbolic link owned by another user"},
        {"plot: the folder, where the chart would go", HXRATE_PLOT_EXE,
         [](const ScratchFolder& w) {
             strangersLink(w / "private", w / "elsewhere");
             return std::vector<std::string>{"elsewhere"};
         },
         1, "\"elsewhere\": it is a symbolic link owned by another user"},
    };
    for (const Plant& row : rows) {
        SCOPED_TRACE(row.why);
        ScratchFolder work;
        commonGround(work);
        const std::vector<std::string> arguments = row.setUp(work);
        const std::vector<std::string> privateBefore = listFolder(work / "private");
        ProgramRun run = runAtMostTenSeconds(row.program, arguments, work.path());
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.standardError;
        const std::string said = run.standardOutput + run.standardError +
                                 (exists(work / "out.csv") ? readFile(work / "out.csv") : "");
        EXPECT_NE(said.find(row.named), std::string::npos) << said;
        EXPECT_EQ(said.find("SECRET"), std::string::npos) << said;
        const std::string written = everythingUnder(work.path(), work / "private");
        EXPECT_EQ(written.find("SECRET"), std::string::npos) << written;
        EXPECT_EQ(listFolder(work / "private"), privateBefore);
        EXPECT_TRUE(listFolder(work / "locked").empty());
        if (std::string(row.why).starts_with("batch: the summary")) {
            EXPECT_FALSE(exists(work / "case/" + logName)) << "found before any case runs";
        }
    }
}

TEST(HostileFiles, AFifoIsRefusedWithoutWaitingOnIt) {
    const std::string inDoc = std::string("doc/") + caseName;
    const std::string inCase = "case/";
    const struct {
        const char* why;
        const char* program;
        std::vector<std::string> arguments;
        std::string fifo;  // made in the scratch folder
        int exitStatus;
        const char* named;  // in the message; nothing for a FIFO passed over
    } rows[] = {
        {"batch: a document named",
         HXRATE_BATCH_EXE,
         {"-o", "-", "doc.json"},
         "doc.json",
         0,
         "\"\"doc.json\"\": it is not a regular file"},
        {"batch: case.json",
         HXRATE_BATCH_EXE,
         {"-o", "-", "doc"},
         "doc/case.json",
         0,
         "\"\"doc/case.json\"\": it is not a regular file"},
        {"batch: the case file",
         HXRATE_BATCH_EXE,
         {"-o", "-", "doc"},
         inDoc,
         1,
         "doc: its case file is not a regular file"},
        {"report: the case",
         HXRATE_REPORT_EXE,
         {"doc.json"},
         "doc.json",
         1,
         "cannot read the case file \"doc.json\": it is not a regular file"},
        {"report: the case in a folder",
         HXRATE_REPORT_EXE,
         {"doc"},
         inDoc,
         1,
         "it is not a regular file"},
        {"advise: the case", HXRATE_ADVISE_EXE, {"doc"}, inDoc, 1, "it is not a regular file"},
        {"plot: the results file",
         HXRATE_PLOT_EXE,
         {"case"},
         inCase + resultsName,
         1,
         "it is not a regular file"},
        {"plot: the case beside the results",
         HXRATE_PLOT_EXE,
         {"-o", "-", "case"},
         inCase + caseName,
         0,
         nullptr},
        {"plot: the run log", HXRATE_PLOT_EXE, {"-o", "-", "case"}, inCase + logName, 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        ScratchFolder work;
        fs::create_directory(work / "doc");
        copyCase(sampleCase("success-branch_t1_007"), work.path(), "case");
        ASSERT_EQ(runProgram(HXRATE_EXE, {}, work / "case").exitStatus, 0);
        const std::string fifo = work / row.fifo;
        fs::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0) << fifo;
        ProgramRun run = runAtMostTenSeconds(row.program, row.arguments, work.path());
        EXPECT_EQ(run.exitStatus, row.exitStatus) << "124: it waited on the FIFO\n"
                                                  << run.standardError;
        if (row.named) {
            EXPECT_NE((run.standardOutput + run.standardError).find(row.named), std::string::npos)
                << run.standardOutput << run.standardError;
        }
    }
}

// The rules behind both tests above, on the helper every tool reads through.
TEST(HostileFiles, InputsAreRegularFilesReachedThroughTheUsersOwnLinksOnly) {
    ScratchFolder work;
    writeFile(work / "file", "text");
    ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0600), 0);
    fs::create_directory(work / "folder");
    fs::create_symlink("file", work / "own");
    fs::create_symlink("own", work / "own-to-own");
    fs::create_symlink("fifo", work / "own-to-fifo");
    fs::create_symlink("nothing", work / "dangling");
    const bool root = ::geteuid() == 0;
    if (root) {
        strangersLink("file", work / "strangers");
        fs::create_symlink("strangers", work / "own-to-strangers");
    }
    const struct {
        const char* name;
        bool read;
        bool missing;
        const char* problem;
        bool needsRoot;
    } rows[] = {
        {"file", true, false, "", false},
        {"own", true, false, "", false},
        {"own-to-own", true, false, "", false},
        {"fifo", false, false, "it is not a regular file", false},
        {"own-to-fifo", false, false, "it is not a regular file", false},
        {"folder", false, false, "it is a directory", false},
        {"dangling", false, true, "No such file or directory", false},
        {"absent", false, true, "No such file or directory", false},
        {"absent/below", false, true, "No such file or directory", false},
        {"strangers", false, false,
         "it is a symbolic link owned by another user (uid 65534), not followed", true},
        {"own-to-strangers", false, false,
         "it leads to the symbolic link \"strangers\" owned by another user (uid 65534), not "
         "followed",
         true},
    };
    for (const auto& row : rows) {
        if (row.needsRoot && !root) continue;
        SCOPED_TRACE(row.name);
        InputFile file = readInputFile(work / row.name);
        EXPECT_EQ(file.bytes.has_value(), row.read);
        if (row.read) {
            EXPECT_EQ(*file.bytes, "text");
        }
        EXPECT_EQ(file.missing, row.missing);
        EXPECT_EQ(file.problem, row.problem);
        EXPECT_EQ(foreignLinkRefusal(work / row.name), row.needsRoot ? row.problem : "");
    }
}

TEST(HostileFiles, ControlCharactersAreEscapedOnce) {
    const struct {
        std::string in, out;
        const char* why;
    } rows[] = {
        {"plain name", "plain name", "nothing to escape"},
        {"run 7\nhot", "run 7\\nhot", "a line feed would start a line"},
        {"a\rb", "a\\rb", "a carriage return would overwrite one"},
        {"\x1b[2Jred", "\\x1B[2Jred", "a terminal's escape sequence"},
        {std::string("a\0b", 3), "a\\x00b", "NUL"},
        {"del\x7f", "del\\x7F", "DEL"},
        {"\xc2\x9b"
         "2J",
         "\\xC2\\x9B2J", "the C1 control CSI, in UTF-8"},
        {"K\xc3\xbchler \xc2\xa0", "K\xc3\xbchler \xc2\xa0", "other UTF-8 stays"},
        {"tab\there", "tab\there", "a tab breaks no line (two rejection messages hold tabs)"},
        {"x\\ny", "x\\ny", "text escaped once is left as it is"},
        {"\xc2", "\xc2", "a lone lead byte at the end"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(escapedText(row.in), row.out) << row.why;
        EXPECT_EQ(escapedText(escapedText(row.in)), row.out) << row.why << ", escaped twice";
    }
}

TEST(HostileFiles, ANameWithALineBreakForgesNoLine) {
    const std::string name = "run 7\nhxrate-batch: forged\x1b[2J";
    const std::string shown = "run 7\\nhxrate-batch: forged\\x1B[2J";
    const struct {
        const char* tool;
        const char* program;
        std::vector<std::string> arguments;
    } rows[] = {
        {"hxrate-batch", HXRATE_BATCH_EXE, {"-o", "out.csv", name}},
        {"hxrate-report", HXRATE_REPORT_EXE, {name}},
        {"hxrate-advise", HXRATE_ADVISE_EXE, {name}},
        {"hxrate-plot", HXRATE_PLOT_EXE, {name}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tool);
        ScratchFolder work;
        fs::create_directory(work / name);
        ProgramRun run = runProgram(row.program, row.arguments, work.path());
        EXPECT_EQ(run.exitStatus, 1);
        ASSERT_TRUE(run.standardError.ends_with("\n")) << run.standardError;
        std::size_t lines = 0;
        for (std::size_t at = 0; at < run.standardError.size();
             at = run.standardError.find('\n', at) + 1, ++lines) {
            EXPECT_EQ(run.standardError.compare(at, std::strlen(row.tool) + 2,
                                                std::string(row.tool) + ": "),
                      0)
                << run.standardError;
        }
        EXPECT_EQ(lines, 1u) << run.standardError;
        EXPECT_NE(run.standardError.find(shown), std::string::npos) << run.standardError;
        if (exists(work / "out.csv")) {
            // The header and one record, each one line.
            const std::string csv = readFile(work / "out.csv");
            EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2) << csv;
            EXPECT_NE(csv.find("\n" + shown + ",,not run,"), std::string::npos) << csv;
        }
    }
}

}  // namespace
}  // namespace hxrate::tools
