#include "in_process.h"

#include <hxrate/files.h>
#include <hxrate/program.h>

#include <sys/wait.h>

#include "files.h"

namespace hxrate::tools {

CaseSummary runInProcess(std::uint64_t storageLimitBytes, const std::string& folder) {
    if (std::string reason = whyNotRunnable(folder); !reason.empty()) return notRun(folder, reason);
    // Files are replaced whole; the batch flushes them to disk at its end.
    ProgramRun program = runProgramIn(
        folder,
        {.storageLimitBytes = storageLimitBytes, .syncEachFile = false, .keepWrittenBytes = true});
    RunObservation run;
    run.waitStatus = W_EXITCODE(program.exitStatus, 0);  // as waitpid reports an exit
    run.standardOutput = std::move(program.standardOutput);
    run.standardError = std::move(program.standardError);
    // What the run wrote; a file it left as it was is read as it stands.
    run.runLog =
        program.runLog ? std::move(program.runLog) : readWholeFile(folder + "/" + runLogName);
    run.resultsFile = program.resultsFile ? std::move(program.resultsFile)
                                          : readWholeFile(folder + "/" + resultsFileName);
    CaseSummary summary = summariseRun(folder, caseExchangerType(folder + "/" + caseFileName), run);
    if (summary.outcome == Outcome::Success) {
        if (std::optional<std::string> caseBytes = readWholeFile(folder + "/" + caseFileName))
            summary.full = fullPrecision(*caseBytes, *run.resultsFile, storageLimitBytes);
    }
    return summary;
}

}  // namespace hxrate::tools
