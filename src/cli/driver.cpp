#include "cli/driver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <sstream>

#include "cli/case_file_source.h"
#include "core/arithmetic.h"
#include "core/failures.h"
#include "core/messages.h"
#include "format/case_reader.h"
#include "format/results_report.h"
#include "hxrate/report.h"

namespace hxrate {
namespace {

// Writes a failure's diagnostic to the run log, one log line per line of it,
// then the termination line. A log that cannot take them is left as it was.
void recordFailure(TextOutputFile& log, const std::string& diagnostic) {
    if (!log.isOpen()) return;  // the log itself failed
    try {
        std::string_view rest = diagnostic;
        for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;
             rest.remove_prefix(end + 1)) {
            writeFreeFormLine(log, rest.substr(0, end));
        }
        writeFreeFormLine(log, rest);
        writeFreeFormLine(log, messages::calculationTerminated);
        log.close();
    } catch (const Error&) {
        log.discard();
    }
}

RunOutcome endedWith(int status, std::string out = {}, std::string err = {}) {
    RunOutcome outcome;
    outcome.exitStatus = status;
    outcome.standardOutput = std::move(out);
    outcome.standardError = std::move(err);
    return outcome;
}

// The folder of a run as its diagnostics name it: the working directory's
// absolute path, or the folder given with its links resolved.
std::string folderName(const std::filesystem::path& folder) {
    if (folder.empty()) {
        char path[PATH_MAX];
        return ::getcwd(path, sizeof path) != nullptr ? path : ".";
    }
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    return error ? folder.string() : canonical.string();
}

RunOutcome refusedWith(const Error& refusal) {
    RunOutcome outcome = endedWith(1, "", diagnosticOf(refusal) + "\n");
    outcome.kind = RunKind::refused;
    outcome.errorNumber = refusal.code();
    outcome.message = diagnosticOf(refusal);
    return outcome;
}

// The exclusive lock of a run, held for the whole run: an advisory lock on
// the folder itself, which no rename of the case file can replace, so that
// a second run in the folder finds it taken and stops before touching a
// file. The case file is locked too, as earlier versions locked it alone.
// flock, not fcntl: the lock must outlive the reader's own descriptor of
// the case file, whose close would drop a POSIX record lock.
class RunLock {
  public:
    // Throws InputError when there is no folder, ResourceError when another
    // run holds it or it cannot be locked.
    explicit RunLock(const std::filesystem::path& folder) : folder_(folder) {
        const char* path = folder.empty() ? "." : folder.c_str();
        int fd;
        do {
            fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            int error = errno;
            if (error == ENOENT || error == ENOTDIR) noCaseFile();
            // A folder that may be searched but not read cannot be locked,
            // and a run there could not be kept apart from another.
            throw ResourceError(errorNumber::fileNotWritable,
                                "cannot lock the folder " + folderName(folder) +
                                    " for this run: it cannot be opened for reading (" +
                                    std::strerror(error) + "); this run wrote nothing");
        }
        folderFd_.reset(fd);
        if (!lock(folderFd_.get()))
            throw ResourceError(
                errorNumber::runInProgress,
                "another run holds the folder " + folderName(folder) + "; this run wrote nothing");
    }

    int folder() const { return folderFd_.get(); }

    // Opens the case file through the folder, under the lock. Throws
    // InputError when there is none or it is another user's link (or
    // leads to one),
    // ResourceError when another run holds it; any other failure to open
    // it is kept in `files` for the run to report in its log.
    void openCase(RunFiles& files, const std::string& casePath) {
        FilePlace place = locateFile(folderFd_.get(), caseFileName);
        if (place.error != 0) {
            files.caseFailure = std::make_exception_ptr(InputError(
                errorNumber::caseFileUnreadable,
                "cannot read the case file \"" + casePath + "\": " + place.refusal, caseFileName));
            return;
        }
        if (!place.refusal.empty()) {
            // Read through another user's link, a private file's text could
            // reach the diagnostics and the log.
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case file \"" + casePath + "\": " + place.refusal +
                                 "; this run wrote nothing",
                             caseFileName);
        }
        if (!place.exists) noCaseFile();
        try {
            caseFd_.reset(openCaseFileAt(place.folder.get(), place.name, casePath, O_NOFOLLOW));
        } catch (const InputError&) {
            files.caseFailure = std::current_exception();
            return;
        }
        if (!lock(caseFd_.get()))
            throw ResourceError(errorNumber::runInProgress,
                                std::string("another run holds the case file \"") + caseFileName +
                                    "\" in " + folderName(folder_) + "; this run wrote nothing");
        files.caseDescriptor = caseFd_.get();
    }

  private:
    [[noreturn]] void noCaseFile() const {
        throw InputError(
            errorNumber::caseFileUnreadable,
            std::string("no case file \"") + caseFileName + "\" in " + folderName(folder_),
            caseFileName);
    }
    // False when another holds the lock; a file system without locks lets
    // the run go on, as a run there always did.
    static bool lock(int fd) {
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        return locked == 0 || errno != EWOULDBLOCK;
    }

    std::filesystem::path folder_;
    UniqueFd folderFd_;  // closing it releases the lock
    UniqueFd caseFd_;
};

// Writes the run's console line to standard output; false, with the reason
// on `err`, when standard output cannot take it.
bool writeStandardOutput(std::ostream& out, std::ostream& err, const std::string& text) {
    errno = 0;
    out << text << std::flush;
    if (out) return true;
    int error = errno;
    err << "hxrate: cannot write standard output: "
        << (error != 0 ? std::strerror(error) : "the stream failed") << "\n"
        << std::flush;
    return false;
}

constexpr std::string_view usageLine = "Usage: hxrate [--help | --version]\n";

void writeUsage(std::ostream& out) {
    out << usageLine
        << "\n"
           "Rates the single-pass shell-and-tube heat exchanger described by the case file\n"
        << caseFileName << " in the working directory, and writes there the results\n"
        << resultsFileName << " and the run log \"" << runLogName
        << "\". Takes no other argument.\n"
           "\n"
           "Exit status:\n"
           "  0  rated, or the case rejected by a check (\"Stop - Program terminated.\"\n"
           "     on standard output, the reason in the run log)\n"
           "  1  the run failed: \"run-time error N: ...\" on standard error and in the\n"
           "     run log (no case file, another run in the folder: nothing is written)\n"
           "  2  a wrong command line\n"
           "\n"
           "Companion tools: hxrate-batch (many case folders, CSV summary), hxrate-plot\n"
           "(temperature profile as SVG), hxrate-advise (correction factor and element\n"
           "length), hxrate-report.\n";
}

}  // namespace

void rateExchanger(FreeFormReader& reader, CaseRecords& r, const RunLimits& limits) {
    static_assert(stepSchedule.back().afterCaseLine == caseLineCount,
                  "the case file is closed before the last steps");
    clearArithmeticFlags();
    // Each step runs as soon as the case lines it needs have been read.
    int line = 1;
    for (const ScheduledStep& s : stepSchedule) {
        if (line <= s.afterCaseLine) {
            for (; line <= s.afterCaseLine; ++line) readCaseLine(reader, line, r.input);
            if (line > caseLineCount) reader.close();
        }
        runModelStep(r, s.step, limits.profileStorageBytes, limits.budget);
    }
}

void rateCase(FreeFormReader& reader, CaseRecords& r, const RunLimits& limits) {
    rateExchanger(reader, r, limits);
    solveStep(r, SolveOptions{.passLimit = limits.shootingPassLimit});
}

std::string diagnosticOf(const Error& failure) {
    return "run-time error " + std::to_string(failure.code()) + ": " + failure.what();
}

RunOutcome runCase(RunFiles& files, const RunLimits& limits, const std::string& casePath) {
    TextOutputFile& log = files.log;
    try {
        try {
            try {
                log.open();
                std::optional<FreeFormReader> reader;
                if (files.caseBytes) {
                    reader.emplace(caseFileName, *files.caseBytes);
                } else if (files.caseDescriptor >= 0) {
                    UniqueFd fd(::fcntl(files.caseDescriptor, F_DUPFD_CLOEXEC, 0));
                    if (!fd)
                        throw InputError(errorNumber::caseFileUnreadable,
                                         "cannot read the case file \"" + casePath +
                                             "\": " + std::strerror(errno),
                                         caseFileName);
                    reader.emplace(caseFileName, std::make_unique<DescriptorSource>(std::move(fd)));
                } else if (files.caseFailure) {
                    std::rethrow_exception(files.caseFailure);
                } else {
                    reader.emplace(caseFileName, std::make_unique<DescriptorSource>(
                                                     UniqueFd(openCaseFile(casePath))));
                }
                CaseRecords r;
                rateCase(*reader, r, limits);

                computeOverallResults(r);
                const Rating& rt = r.rating;
                ReportView report{r.input.exchangerType,
                                  rt.overallCoefficient,
                                  rt.area,
                                  rt.tube.filmCoefficient,
                                  rt.tubeMassFlow,
                                  rt.shellMassFlow,
                                  rt.shellExitTemperature,
                                  rt.geometry.elementCount,
                                  r.input.elementLength,
                                  r.profile.tubeTemperature.get(),
                                  reportedShellColumn(r)};
                files.results.open();
                writeResultsReport(files.results.sink(), report);
                files.results.finish();
                writeFreeFormLine(log, messages::calculationSucceeded);
                log.finish();
                // Both complete: a kill from here on leaves the old pair, the
                // old report without a log, the new report without a log, or
                // the new pair.
                log.withdraw();
                files.results.commit();
                log.commit();
                return endedWith(0);
            } catch (const CaseRejected& rejected) {
                checkFaultBeforeRejection();
                writeFreeFormLine(log, rejected.message());
                writeFreeFormLine(log, messages::calculationTerminated);
                log.close();
                RunOutcome outcome = endedWith(0, "Stop - Program terminated.\n");
                outcome.kind = RunKind::rejected;
                outcome.check = rejected.check();
                outcome.message = rejected.message();
                return outcome;
            }
        } catch (const std::bad_alloc&) {
            // Memory refused outside the rating's own storage (the report
            // collected to be written in place, a line of the case): the
            // run fails as a grid too large for the machine does.
            files.results.discard();
            throw ResourceError(errorNumber::storageRefused,
                                "the run needs more memory than the machine gives it");
        }
    } catch (const Error& failure) {
        files.results.discard();
        // A log that already holds the success line starts again.
        if (log.isFinished()) {
            log.discard();
            try {
                log.open();
            } catch (const Error&) {
                // The log cannot be written either: left as it is.
            }
        }
        std::string diagnostic = diagnosticOf(failure);
        recordFailure(log, diagnostic);
        RunOutcome outcome = endedWith(1, "", diagnostic + "\n");
        outcome.kind = RunKind::failed;
        outcome.errorNumber = failure.code();
        outcome.message = std::move(diagnostic);
        return outcome;
    }
}

RunOutcome runInFolder(const std::filesystem::path& folder, const RunLimits& limits,
                       const FolderRunStyle& style) {
    // Diagnostics name the case file as a run in that folder does.
    const std::string casePath =
        folder.empty() ? std::string(caseFileName) : (folder / caseFileName).string();
    try {
        RunLock lock(folder);
        RunFiles files{TextOutputFile(lock.folder(), runLogName, runLogName),
                       TextOutputFile(lock.folder(), resultsFileName, resultsFileName),
                       std::nullopt};
        for (TextOutputFile* file : {&files.log, &files.results}) {
            file->setSyncToDisk(style.syncEachFile);
            file->setKeepCopy(style.keepWrittenBytes);
            file->setStorageBudget(limits.budget);
        }
        lock.openCase(files, casePath);
        // Another user's link, or a directory, in place of either file ends
        // the run before anything is written.
        files.log.check();
        files.results.check();
        // Holding the lock, any temporary output file is a killed run's.
        files.log.removeLeftovers();
        files.results.removeLeftovers();
        RunOutcome outcome = runCase(files, limits, casePath);
        outcome.runLog = files.log.writtenBytes();
        outcome.resultsFile = files.results.writtenBytes();
        return outcome;
    } catch (const Error& refused) {
        return refusedWith(refused);
    }
}

int runInWorkingDirectory(std::ostream& out, std::ostream& err) {
    RunOutcome outcome = runInFolder({}, RunLimits{.profileStorageBytes = programStorageLimit(),
                                                   .budget = &programStorageBudget()});
    int status = outcome.exitStatus;
    // The files stay as the run left them; a caller that reads the console
    // line to tell a rejection from a success is told that it is missing.
    if (!outcome.standardOutput.empty() && !writeStandardOutput(out, err, outcome.standardOutput))
        status = 1;
    err << outcome.standardError << std::flush;
    return status;
}

int runProgram(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return runInWorkingDirectory(out, err);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::ostringstream usage;
        writeUsage(usage);
        return writeStandardOutput(out, err, usage.str()) ? 0 : 1;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        return writeStandardOutput(out, err, "hxrate " + std::string(version()) + "\n") ? 0 : 1;
    }
    // Name the first argument that is not an option, else the one too many.
    std::string_view wrong = arguments.size() > 1 ? arguments[1] : arguments[0];
    for (std::string_view a : arguments) {
        if (a != "--help" && a != "-h" && a != "--version") {
            wrong = a;
            break;
        }
    }
    err << "hxrate: unexpected argument '" << wrong << "'\n"
        << usageLine << "Try 'hxrate --help' for more information.\n";
    return 2;
}

}  // namespace hxrate
