// hxrate/program.h: the hxrate program's whole run in a folder, inside the
// calling process, for tools that run many case folders at once. Link
// hxrate::program. It includes the rest of that library's API (the file
// names, writeWholeFile, reading case files from disk) and the engine's, so
// it is all such a tool needs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "hxrate/case_files.h"
#include "hxrate/errors.h"
#include "hxrate/files.h"
#include "hxrate/hxrate.h"
#include "hxrate/output_file.h"

namespace hxrate {

// How a run ended.
enum class RunKind {
    rated,     // the report and the success log are in place
    rejected,  // a check rejected the case; the log says which
    failed,    // a run-time error; the log holds the diagnostic unless it could not be written
    refused,   // nothing was touched: no case file, another run holds the folder
               // (errorNumber::runInProgress), another user's link, a folder not lockable
};

// What a run shows outside its files.
struct ProgramRun {
    int exitStatus = 0;          // 0 rated or rejected, 1 failed, as the program exits
    std::string standardOutput;  // "Stop - Program terminated.\n" after a rejection
    std::string standardError;   // the "run-time error N: ..." diagnostic after a failure
    // The bytes put in place of the run log and the results file, when
    // ProgramOptions::keepWrittenBytes asks for them; nothing for a file the
    // run left as it was.
    std::optional<std::string> runLog;
    std::optional<std::string> resultsFile;
    RunKind kind = RunKind::rated;
    int errorNumber = 0;         // the run-time error's number (errorNumber::*); 0 if none
    std::optional<Check> check;  // the check that rejected the case
    // The log message of a rejection, or the diagnostic "run-time error N: ...".
    std::string message;
};

// The largest temperature profile the program allocates, in bytes: half of
// the smallest of the machine's memory, its control group's limit and the
// process's resource limits, so that a larger grid is refused before it is
// marched.
std::uint64_t programStorageLimit();

// The memory every rating of this process shares: programStorageLimit()
// bytes, read once. What the tools and the Python module rate by default
// takes its storage from it.
StorageBudget& programStorageBudget();

// RateOptions with the program's limit (programStorageLimit()) and the
// process's shared budget (programStorageBudget()).
RateOptions programRateOptions();

struct ProgramOptions {
    // The largest temperature profile, bytes (0: programStorageLimit()).
    std::uint64_t storageLimitBytes = 0;
    // What the profile, and the text of a file written in place or kept,
    // take their memory from, shared with the runs beside this one (null:
    // programStorageBudget()).
    StorageBudget* storageBudget = nullptr;
    // Flush each file and its folder to disk before the run ends, as the
    // program does. A caller that runs many folders may leave it off and
    // flush once at its end (syncFileSystem()): the files are still
    // replaced whole, so a killed process never leaves a torn one.
    bool syncEachFile = true;
    // Hand back the bytes written (ProgramRun::runLog, resultsFile), so that
    // the caller need not read the files again.
    bool keepWrittenBytes = false;
};

// Does in `folder` exactly what `hxrate` started there does: takes the lock on
// the folder, reads and rates the case, and writes the results file and
// the run log with the same bytes, each replaced whole. Safe to call from
// several threads for different folders.
ProgramRun runProgramIn(const std::filesystem::path& folder, const ProgramOptions& options = {});

// Removes the temporary files that a run killed part way left in `folder`
// beside the run log and the results file (regular files of this user that
// no live writer holds); a run there would remove them first.
void removeRunLeftovers(const std::filesystem::path& folder) noexcept;

// Flushes to disk what runs without syncEachFile wrote in `folder`'s file
// system. Returns false when the system reports an error.
bool syncFileSystem(const std::filesystem::path& folder);

}  // namespace hxrate
