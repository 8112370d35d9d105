#include "run_process.h"

#include <fcntl.h>
#include <hxrate/files.h>
#include <hxrate/program.h>
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace hxrate::tools {
namespace {

// What the child reports through its exec pipe when it cannot start hxrate.
struct StartError {
    int stage;  // 0: entering the folder, 1: starting hxrate, 2: limiting its memory
    int error;
};

// Only async-signal-safe calls between fork and exec: the parent has threads.
[[noreturn]] void childFails(int pipeFd, int stage) {
    StartError e{stage, errno};
    ssize_t ignored = ::write(pipeFd, &e, sizeof e);
    (void)ignored;
    ::_exit(127);
}

void closeAll(std::initializer_list<int> fds) {
    for (int fd : fds) ::close(fd);
}

// Reads both pipes until the child has closed them; keeps at most 64 KiB of each.
void readUntilClosed(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* into[2] = {&out, &err};
    char buffer[4096];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                if (into[i]->size() < 65536) into[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) ::close(p.fd);
    }
}

// The data segment limit of a child: twice its storage share, because hxrate
// takes half of its memory bound for the profile, so that a child refuses the
// same grids as an in-process worker with the same share; never more than
// this process may have.
rlimit childDataLimit(std::uint64_t storageLimitBytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_DATA, &limit) != 0) return {RLIM_INFINITY, RLIM_INFINITY};
    const std::uint64_t twice =
        storageLimitBytes > UINT64_MAX / 2 ? UINT64_MAX : 2 * storageLimitBytes;
    const rlim_t share = std::max<std::uint64_t>(twice, minimumChildData);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > share) limit.rlim_cur = share;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max)
        limit.rlim_cur = limit.rlim_max;
    return limit;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool instrumentedWithShadowMemory = true;
#else
constexpr bool instrumentedWithShadowMemory = false;
#endif

}  // namespace

CaseSummary runAsProcess(const std::string& hxrate, const std::string& folder,
                         std::uint64_t storageLimitBytes) {
    if (std::string reason = whyNotRunnable(folder); !reason.empty()) return notRun(folder, reason);
    const rlimit dataLimit = childDataLimit(storageLimitBytes);
    int out[2], err[2], status[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return notRun(folder, std::string("pipe: ") + std::strerror(errno));
    if (::pipe2(err, O_CLOEXEC) != 0) {
        closeAll({out[0], out[1]});
        return notRun(folder, std::string("pipe: ") + std::strerror(errno));
    }
    if (::pipe2(status, O_CLOEXEC) != 0) {
        closeAll({out[0], out[1], err[0], err[1]});
        return notRun(folder, std::string("pipe: ") + std::strerror(errno));
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) childFails(status[1], 0);
        // The children share the memory as the workers in process share it.
        // Not in a build for AddressSanitizer or ThreadSanitizer: their shadow
        // memory is a private mapping of terabytes that RLIMIT_DATA counts, so
        // no child could start.
        if (!instrumentedWithShadowMemory && ::setrlimit(RLIMIT_DATA, &dataLimit) != 0)
            childFails(status[1], 2);
        int nullFd = ::open("/dev/null", O_RDONLY);
        if (nullFd < 0 || ::dup2(nullFd, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0)
            childFails(status[1], 1);
        char* const argv[] = {const_cast<char*>("hxrate"), nullptr};
        ::execv(hxrate.c_str(), argv);
        childFails(status[1], 1);
    }
    int forkError = errno;
    closeAll({out[1], err[1], status[1]});
    if (pid < 0) {
        closeAll({out[0], err[0], status[0]});
        return notRun(folder, std::string("fork: ") + std::strerror(forkError));
    }
    // The exec pipe closes without data once hxrate is running.
    StartError e{};
    ssize_t n;
    do n = ::read(status[0], &e, sizeof e);
    while (n < 0 && errno == EINTR);
    ::close(status[0]);
    RunObservation run;
    readUntilClosed(out[0], err[0], run.standardOutput, run.standardError);
    while (::waitpid(pid, &run.waitStatus, 0) < 0 && errno == EINTR) {
    }
    if (n == static_cast<ssize_t>(sizeof e)) {
        const std::string stage = e.stage == 0   ? "cannot enter the folder: "
                                  : e.stage == 1 ? "cannot run " + hxrate + ": "
                                                 : "cannot limit the memory of " + hxrate + ": ";
        return notRun(folder, stage + std::strerror(e.error));
    }
    // A child killed part way (out of memory, a signal) leaves its
    // temporary files beside the ones it was replacing.
    const bool exitedWell = WIFEXITED(run.waitStatus) && WEXITSTATUS(run.waitStatus) == 0;
    if (!exitedWell) removeRunLeftovers(folder);
    // Only a run that exited with 0 is told by its files (a failure by its
    // diagnostic), read when no other run is part way through replacing
    // them; the results file only when it fits the summary.
    const std::string resultsPath = folder + "/" + resultsFileName;
    std::error_code error;
    const std::uint64_t bytes = std::filesystem::file_size(resultsPath, error);
    const bool tooLarge = !error && !fitsSummary(bytes, storageLimitBytes);
    if (exitedWell) readRunFiles(folder, run, !tooLarge);
    CaseSummary summary = summariseRun(folder, caseExchangerType(folder + "/" + caseFileName), run);
    if (tooLarge && summary.message == resultsUnreadable) {
        summary.outcome = Outcome::success;
        summary.message = tooLargeToSummarise(bytes, storageLimitBytes);
        return summary;
    }
    addLibraryColumns(summary, folder, run.resultsFile, storageLimitBytes);
    return summary;
}

std::string locateHxrate(const std::string& given) {
    std::string path = given;
    if (path.empty()) {
        char self[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::string exe = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
        std::size_t slash = exe.rfind('/');
        path = (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/hxrate";
    }
    // Each child enters its folder before starting hxrate: the path must not be relative.
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr || ::access(resolved, X_OK) != 0) return {};
    return resolved;
}

}  // namespace hxrate::tools
