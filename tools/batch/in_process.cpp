#include "in_process.h"

#include <hxrate/files.h>
#include <hxrate/program.h>

#include <filesystem>

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
    // What the run wrote; a file it left as it was (or whose copy did not
    // fit the share) is read as it stands, when it fits the summary.
    std::optional<std::string> resultsFile;
    std::uint64_t tooLarge = 0;
    if (program.kind == RunKind::rated) {
        const std::string path = folder + "/" + resultsFileName;
        std::error_code error;
        const std::uint64_t bytes = program.resultsFile ? program.resultsFile->size()
                                                        : std::filesystem::file_size(path, error);
        if (!error && !fitsSummary(bytes, storageLimitBytes)) {
            tooLarge = bytes;
            program.resultsFile.reset();
        } else {
            resultsFile =
                program.resultsFile ? std::move(program.resultsFile) : readWholeFile(path);
        }
    }
    CaseSummary summary = summariseProgramRun(
        folder, caseExchangerType(folder + "/" + caseFileName), program, resultsFile);
    if (tooLarge != 0) {
        summary.outcome = Outcome::success;
        summary.message = tooLargeToSummarise(tooLarge, storageLimitBytes);
        return summary;
    }
    addLibraryColumns(summary, folder, resultsFile, storageLimitBytes);
    return summary;
}

}  // namespace hxrate::tools
