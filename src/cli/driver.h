// The program's run: read the case, rate the exchanger, solve the
// temperature profile, report; and the one place that turns every kind of
// early end into files, console lines and an exit status. Also the
// program's command line and the lock that keeps two runs in one folder apart.
#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/text_output_file.h"
#include "core/rate.h"
#include "format/free_form_reader.h"
#include "hxrate/errors.h"
#include "hxrate/files.h"
#include "hxrate/program.h"
#include "hxrate/rating.h"

namespace hxrate {

struct RunLimits {
    std::uint64_t profileStorageBytes;  // largest temperature profile
    std::int32_t shootingPassLimit = defaultPassLimit;
    // What the profile, and the text of a file written in place, take their
    // memory from, shared with the runs beside this one; null: not shared.
    StorageBudget* budget = nullptr;
};

// Reads the 21 case lines with the model steps of stepSchedule between them,
// each as soon as its lines are read, and closes the case file before the
// steps after the last line: the exchanger is rated, its profile not yet
// solved. Throws CaseRejected or another Error.
void rateExchanger(FreeFormReader& reader, CaseRecords& records, const RunLimits& limits);

// rateExchanger, then the temperature solver.
void rateCase(FreeFormReader& reader, CaseRecords& records, const RunLimits& limits);

// The files of one run. The case is read from `caseBytes` when given (tests,
// fuzzing), else through `caseDescriptor` (not owned: a duplicate is read),
// else `caseFailure` is what opening it threw, else the case path is opened.
struct RunFiles {
    TextOutputFile log;
    TextOutputFile results;
    std::optional<std::string_view> caseBytes;
    int caseDescriptor = -1;
    std::exception_ptr caseFailure{};
};

// What a run shows outside its files.
struct RunOutcome {
    int exitStatus = 0;
    std::string standardOutput;
    std::string standardError;
    // The bytes the run put in place of each file, when asked to keep them;
    // nothing for a file it left as it was.
    std::optional<std::string> runLog;
    std::optional<std::string> resultsFile;
    // How the run ended, as hxrate::ProgramRun tells it.
    RunKind kind = RunKind::rated;
    int errorNumber = 0;
    std::optional<Check> check;
    std::string message;
};

// The diagnostic of a failed run: "run-time error N: " and what went wrong.
std::string diagnosticOf(const Error& failure);

// One whole run: reads the case, rates it, writes the report and the run
// log, and turns every early end into its files, console text and status.
// After a failure the log holds the diagnostic and the termination line,
// unless the log itself is what could not be written.
// The two files change as a pair: both are complete and flushed before
// either is put in place; then the old log is withdrawn, the report put in
// place, and the log last, so that no moment shows a new report beside an
// old log or an old report beside a new success log.
// The case is read from `caseBytes` when given, else from `casePath`.
RunOutcome runCase(RunFiles& files, const RunLimits& limits,
                   const std::string& casePath = caseFileName);

// The program's whole run in `folder` (the working directory when empty):
// the lock, the files and their bytes exactly as a run started there.
// The lock is on the folder itself, so that replacing the case file cannot
// let a second run in; the case is read through a descriptor opened under
// it. A folder that cannot be opened for reading cannot be locked: the run
// is refused. Both output files are checked before anything is written.
// Safe to call from several threads for different folders.
struct FolderRunStyle {
    // Without, the files are replaced whole but not flushed to disk one by
    // one (a caller that runs many folders flushes them once at its end).
    bool syncEachFile = true;
    // Keep the bytes written, for RunOutcome::runLog and resultsFile.
    bool keepWrittenBytes = false;
};
RunOutcome runInFolder(const std::filesystem::path& folder, const RunLimits& limits,
                       const FolderRunStyle& style = {});

// The program in the working directory: returns the exit status. A missing
// case file, or a folder another run holds, ends the run before any file is
// touched. Standard output that cannot take the run's console line makes the
// status 1, with "hxrate: cannot write standard output: ..." on `err`.
int runInWorkingDirectory(std::ostream& out, std::ostream& err);

// The program with its arguments (without the program name): none runs in
// the working directory; --help, -h and --version answer and touch no file;
// anything else is a usage error with exit status 2. Standard output that
// cannot take the answer makes the status 1.
int runProgram(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err);

}  // namespace hxrate
