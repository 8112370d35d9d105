// hxrate-batch FOLDER...: runs hxrate once in every case folder, several at a
// time, and writes one summary table of all the runs.
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch.h"
#include "cli/driver.h"
#include "format/case_reader.h"
#include "hxrate/files.h"

namespace {

using namespace hxrate::tools;
using Clock = std::chrono::steady_clock;

constexpr const char* usage =
    "usage: hxrate-batch [-j N] [-o SUMMARY.csv] [--hxrate PATH] FOLDER...\n"
    "\n"
    "Runs hxrate once in every FOLDER (each holds one case file under its fixed\n"
    "name), N runs at a time (default: one per processor), and writes one row\n"
    "per folder, in the order given, to SUMMARY.csv (default: summary.csv).\n"
    "hxrate is taken from beside hxrate-batch unless --hxrate names it.\n"
    "On a terminal a progress line shows how far the batch has come.\n"
    "\n"
    "Exit status: 0 when every case ran, whatever its outcome; 1 when a case\n"
    "could not be run (no folder, no case file, hxrate not executable);\n"
    "2 for a wrong command line or a summary that cannot be written.\n";

// A child that runs hxrate in one folder, and what it has printed so far.
struct RunningCase {
    std::size_t index;
    pid_t pid;
    int outFd;
    int errFd;
    std::string out;
    std::string err;
};

// What the child reports through its exec pipe when it cannot start hxrate.
struct StartError {
    int stage;  // 0: entering the folder, 1: starting hxrate
    int error;
};

[[noreturn]] void childFails(int pipeFd, int stage) {
    StartError e{stage, errno};
    ssize_t ignored = write(pipeFd, &e, sizeof e);
    (void)ignored;
    _exit(127);
}

// Starts hxrate in `folder`; returns the reason when it cannot be started.
std::string startCase(const std::string& hxrate, const std::string& folder, RunningCase& rc) {
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "no such folder";
    std::string casePath = folder + "/" + hxrate::caseFileName;
    if (stat(casePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "the folder holds no case file";

    int out[2], err[2], status[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::string("pipe: ") + std::strerror(errno);
    if (pipe2(err, O_CLOEXEC) != 0 || pipe2(status, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return std::string("pipe: ") + std::strerror(errno);
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) childFails(status[1], 0);
        int nullFd = open("/dev/null", O_RDONLY);
        if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) {
            childFails(status[1], 1);
        }
        char* const argv[] = {const_cast<char*>("hxrate"), nullptr};
        execv(hxrate.c_str(), argv);
        childFails(status[1], 1);
    }
    int forkError = errno;
    close(out[1]);
    close(err[1]);
    close(status[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        close(status[0]);
        return std::string("fork: ") + std::strerror(forkError);
    }
    // The exec pipe closes without data once hxrate is running.
    StartError e{};
    ssize_t n;
    do n = read(status[0], &e, sizeof e);
    while (n < 0 && errno == EINTR);
    close(status[0]);
    if (n == static_cast<ssize_t>(sizeof e)) {
        close(out[0]);
        close(err[0]);
        waitpid(pid, nullptr, 0);
        return (e.stage == 0 ? "cannot enter the folder: " : "cannot run " + hxrate + ": ") +
               std::string(std::strerror(e.error));
    }
    rc.pid = pid;
    rc.outFd = out[0];
    rc.errFd = err[0];
    return {};
}

// Moves what a child has printed into its buffers; closes a pipe at its end.
void drain(int& fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        if (into.size() < 65536) into.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        close(fd);
        fd = -1;
    }
}

std::string hxrateBesideThisProgram(const char* argv0) {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(argv0);
    std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/hxrate";
}

bool parseCount(const char* text, long& n) {
    char* end = nullptr;
    errno = 0;
    n = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && n >= 1 && n <= 4096;
}

struct Options {
    long jobs = 1;
    std::string summaryPath = "summary.csv";
    std::string hxrate;
    std::vector<std::string> folders;
};

// Reads the command line; returns an exit status when the program is done.
std::optional<int> parseArguments(int argc, char** argv, Options& o) {
    o.jobs = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    o.hxrate = hxrateBesideThisProgram(argv[0]);
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "-h" || a == "--help") {
            std::cout << usage;
            return 0;
        } else if (a == "-j" && hasValue) {
            if (!parseCount(argv[++i], o.jobs)) {
                std::cerr << "hxrate-batch: -j needs a number of runs from 1 to 4096\n";
                return 2;
            }
        } else if (a == "-o" && hasValue) {
            o.summaryPath = argv[++i];
        } else if (a == "--hxrate" && hasValue) {
            o.hxrate = argv[++i];
        } else if (a.starts_with("-") && a != "-") {
            std::cerr << "hxrate-batch: unknown option or missing value: " << a << "\n\n" << usage;
            return 2;
        } else {
            o.folders.push_back(a);
        }
    }
    if (o.folders.empty()) {
        std::cerr << usage;
        return 2;
    }
    // Each child enters its folder before starting hxrate.
    char resolved[PATH_MAX];
    if (realpath(o.hxrate.c_str(), resolved) == nullptr || access(resolved, X_OK) != 0) {
        std::cerr << "hxrate-batch: cannot run " << o.hxrate << " (give its path with --hxrate)\n";
        return 2;
    }
    o.hxrate = resolved;
    return std::nullopt;
}

// Waits for a child whose pipes have closed and reads what it left.
CaseSummary collect(RunningCase& rc, const std::string& folder) {
    RunObservation run;
    while (waitpid(rc.pid, &run.waitStatus, 0) < 0 && errno == EINTR) {
    }
    run.standardOutput = std::move(rc.out);
    run.standardError = std::move(rc.err);
    run.runLog = readWholeFile(folder + "/" + hxrate::runLogName);
    run.resultsFile = readWholeFile(folder + "/" + hxrate::resultsFileName);
    return summariseRun(folder, caseExchangerType(folder + "/" + hxrate::caseFileName), run);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (std::optional<int> status = parseArguments(argc, argv, options)) return *status;
    const std::vector<std::string>& folders = options.folders;
    const std::string& summaryPath = options.summaryPath;
    const long jobs = options.jobs;
    std::ofstream summary(summaryPath, std::ios::binary | std::ios::trunc);
    if (!summary) {
        std::cerr << "hxrate-batch: cannot write " << summaryPath << ": " << std::strerror(errno)
                  << '\n';
        return 2;
    }

    const bool terminal = isatty(STDOUT_FILENO) != 0;
    const Clock::time_point start = Clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    std::vector<CaseSummary> results(folders.size());
    std::vector<RunningCase> running;
    std::size_t next = 0, done = 0, failed = 0;
    auto finished = [&](std::size_t index, CaseSummary s) {
        failed += isFailure(s.outcome);
        results[index] = std::move(s);
        ++done;
    };

    // A folder given twice is run once: two runs in one folder would write
    // the same files at the same time.
    std::vector<std::size_t> firstOf(folders.size());
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        char real[PATH_MAX];
        std::string key = realpath(folders[i].c_str(), real) ? std::string(real) : folders[i];
        firstOf[i] = seen.emplace(key, i).first->second;
    }
    const std::size_t total = seen.size();
    std::size_t drawnDone = total + 1;
    double drawnAt = 0;

    while (next < folders.size() || !running.empty()) {
        while (running.size() < static_cast<std::size_t>(jobs) && next < folders.size()) {
            if (firstOf[next] != next) {
                ++next;
                continue;
            }
            RunningCase rc{next, -1, -1, -1, {}, {}};
            std::string problem = startCase(options.hxrate, folders[next], rc);
            if (problem.empty()) {
                running.push_back(std::move(rc));
            } else {
                finished(next, notRun(folders[next], problem));
            }
            ++next;
        }
        // The progress line is redrawn when a case ends, and every half second.
        if (terminal && (done != drawnDone || elapsed() - drawnAt >= 0.5)) {
            std::cout << '\r' << progressLine(done, total, failed, elapsed()) << "\033[K"
                      << std::flush;
            drawnDone = done;
            drawnAt = elapsed();
        }
        std::vector<pollfd> fds;
        for (const RunningCase& rc : running) {
            if (rc.outFd >= 0) fds.push_back({rc.outFd, POLLIN, 0});
            if (rc.errFd >= 0) fds.push_back({rc.errFd, POLLIN, 0});
        }
        if (!fds.empty() && poll(fds.data(), fds.size(), terminal ? 500 : -1) < 0 &&
            errno != EINTR) {
            std::cerr << "hxrate-batch: poll: " << std::strerror(errno) << '\n';
            return 2;
        }
        for (const pollfd& p : fds) {
            if (p.revents == 0) continue;
            for (RunningCase& rc : running) {
                if (rc.outFd == p.fd) drain(rc.outFd, rc.out);
                if (rc.errFd == p.fd) drain(rc.errFd, rc.err);
            }
        }
        // A child whose pipes are both closed has ended or is about to.
        for (std::size_t i = 0; i < running.size();) {
            RunningCase& rc = running[i];
            if (rc.outFd >= 0 || rc.errFd >= 0) {
                ++i;
                continue;
            }
            finished(rc.index, collect(rc, folders[rc.index]));
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }

    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (firstOf[i] == i) continue;
        results[i] = results[firstOf[i]];
        results[i].folder = folders[i];
    }
    summary << csvHeader();
    for (const CaseSummary& s : results) summary << csvRow(s);
    summary.close();
    if (terminal) std::cout << "\r\033[K";
    if (!summary) {
        std::cerr << "hxrate-batch: writing " << summaryPath << " failed\n";
        return 2;
    }
    std::cout << summaryLine(results, elapsed()) << "; " << summaryPath << " written\n";
    for (const CaseSummary& s : results) {
        if (s.outcome == Outcome::NotRun)
            std::cerr << "hxrate-batch: " << s.folder << ": " << s.message << '\n';
    }
    bool allRan = true;
    for (const CaseSummary& s : results) allRan = allRan && s.outcome != Outcome::NotRun;
    return allRan ? 0 : 1;
}
