// The program's run in a folder, offered to other programs.
#include "hxrate/program.h"

#include <fcntl.h>
#include <unistd.h>
#include "cli/driver.h"

namespace hxrate {

ProgramRun runProgramIn(const std::filesystem::path& folder, const ProgramOptions& options) {
    std::uint64_t storage = options.storageLimitBytes;
    RunLimits limits{.profileStorageBytes = storage == 0 ? programStorageLimit() : storage,
                     .budget = options.storageBudget != nullptr ? options.storageBudget
                                                                : &programStorageBudget()};
    // An empty path would mean the working directory; "." says it plainly.
    RunOutcome outcome = runInFolder(folder.empty() ? "." : folder, limits,
                                     {options.syncEachFile, options.keepWrittenBytes});
    ProgramRun run;
    run.exitStatus = outcome.exitStatus;
    run.standardOutput = std::move(outcome.standardOutput);
    run.standardError = std::move(outcome.standardError);
    run.runLog = std::move(outcome.runLog);
    run.resultsFile = std::move(outcome.resultsFile);
    run.kind = outcome.kind;
    run.errorNumber = outcome.errorNumber;
    run.check = outcome.check;
    run.message = std::move(outcome.message);
    return run;
}

void removeRunLeftovers(const std::filesystem::path& folder) noexcept {
    UniqueFd fd = openFolder(AT_FDCWD, folder.empty() ? "." : folder.c_str());
    if (!fd) return;
    removeLeftoversIn(fd.get(), runLogName);
    removeLeftoversIn(fd.get(), resultsFileName);
}

bool syncFileSystem(const std::filesystem::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace hxrate
