#include "in_process.h"

#include <hxrate/files.h>
#include <hxrate/program.h>

#include "files.h"

namespace hxrate::tools {

CaseSummary runInProcess(std::uint64_t storageLimitBytes, const std::string& folder) {
    if (std::string reason = whyNotRunnable(folder); !reason.empty()) return notRun(folder, reason);
    // Files are replaced whole; the batch flushes them to disk at its end.
    // The profile and the results file's bytes kept in memory share the
    // worker's storage.
    StorageBudget share(storageLimitBytes);
    ProgramRun program = runProgramIn(folder, {.storageLimitBytes = storageLimitBytes,
                                               .storageBudget = &share,
                                               .syncEachFile = false,
                                               .keepWrittenBytes = true});
    // What the run wrote; a file it left as it was is read as it stands.
    std::optional<std::string> resultsFile;
    if (program.kind == RunKind::rated) {
        resultsFile = program.resultsFile ? std::move(program.resultsFile)
                                          : readWholeFile(folder + "/" + resultsFileName);
    }
    CaseSummary summary = summariseProgramRun(
        folder, caseExchangerType(folder + "/" + caseFileName), program, resultsFile);
    addLibraryColumns(summary, folder, resultsFile, storageLimitBytes);
    return summary;
}

}  // namespace hxrate::tools
