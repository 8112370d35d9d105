#include "cli/driver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <ostream>

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

// An exclusive advisory lock on the case file, held for the whole run: a
// second run in the folder finds it taken and stops before touching a file.
// flock, not fcntl: the lock must outlive the reader's own descriptor of
// the case file, whose close would drop a POSIX record lock.
class CaseFileLock {
  public:
    // Throws InputError when there is no case file, ResourceError when
    // another run holds it. A case file that cannot be opened or locked
    // otherwise is left to the reader, which reports it.
    CaseFileLock(const std::string& path, const std::filesystem::path& folder) {
        do {
            fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) {
            if (errno == ENOENT) {
                throw InputError(
                    errorNumber::caseFileUnreadable,
                    std::string("no case file \"") + caseFileName + "\" in " + folderName(folder),
                    caseFileName);
            }
            return;
        }
        int locked;
        do {
            locked = ::flock(fd_, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0 && errno == EWOULDBLOCK) {
            ::close(fd_);
            throw ResourceError(errorNumber::runInProgress,
                                std::string("another run holds the case file \"") + caseFileName +
                                    "\" in " + folderName(folder) + "; this run wrote nothing");
        }
    }
    CaseFileLock(const CaseFileLock&) = delete;
    CaseFileLock& operator=(const CaseFileLock&) = delete;
    ~CaseFileLock() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }

  private:
    int fd_ = -1;
};

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
    clearArithmeticFlags();
    CaseInput& in = r.input;
    // Each step runs as soon as the case lines it needs have been read.
    int line = 1;
    for (int stepAfter : {5, 10, 11, 13}) {
        for (; line <= stepAfter; ++line) readCaseLine(reader, line, in);
        computeGridAndGeometry(r, limits.profileStorageBytes, stepAfter);
    }
    for (; line <= 15; ++line) readCaseLine(reader, line, in);
    computeTubeSideStep(r);
    for (; line <= caseLineCount; ++line) readCaseLine(reader, line, in);
    reader.close();
    computeShellSideSteps(r);
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
            log.open();
            std::optional<FreeFormReader> reader;
            if (files.caseBytes) {
                reader.emplace(caseFileName, *files.caseBytes);
            } else {
                reader.emplace(caseFileName, openCaseFile(casePath));
            }
            CaseRecords r;
            rateCase(*reader, r, limits);

            OverallResults overall = computeOverallResults(r);
            ReportView report{r.input.exchangerType,        overall.overallCoefficient,
                              overall.heatTransferArea,     r.model.tubeFilmCoefficient,
                              r.model.tubeMassFlow,         r.model.shellMassFlow,
                              overall.shellExitTemperature, r.geometry.elementCount,
                              r.input.elementLength,        r.profile.tubeTemperature.get(),
                              reportedShellColumn(r)};
            files.results.open();
            writeResultsReport(files.results.sink(), report);
            files.results.close();

            writeFreeFormLine(log, messages::calculationSucceeded);
            log.close();
            return endedWith(0);
        } catch (const CaseRejected& rejected) {
            // A fault raised before the check that rejected the case decides.
            checkArithmetic("the values of the check that rejected the case");
            writeFreeFormLine(log, rejected.message());
            writeFreeFormLine(log, messages::calculationTerminated);
            log.close();
            return endedWith(0, "Stop - Program terminated.\n");
        }
    } catch (const Error& failure) {
        files.results.discard();
        std::string diagnostic = diagnosticOf(failure);
        recordFailure(log, diagnostic);
        return endedWith(1, "", diagnostic + "\n");
    }
}

RunOutcome runInFolder(const std::filesystem::path& folder, const RunLimits& limits,
                       const FolderRunStyle& style) {
    // Paths into the folder; diagnostics and logs name the files as a run
    // in that folder does.
    auto inFolder = [&folder](const char* name) {
        return folder.empty() ? std::string(name) : (folder / name).string();
    };
    const std::string casePath = inFolder(caseFileName);
    RunFiles files{TextOutputFile(inFolder(runLogName), runLogName),
                   TextOutputFile(inFolder(resultsFileName), resultsFileName), std::nullopt};
    for (TextOutputFile* file : {&files.log, &files.results}) {
        file->setSyncToDisk(style.syncEachFile);
        file->setKeepCopy(style.keepWrittenBytes);
    }
    try {
        CaseFileLock lock(casePath, folder);
        // Holding the lock, any temporary output file is a killed run's.
        files.log.removeLeftovers();
        files.results.removeLeftovers();
        RunOutcome outcome = runCase(files, limits, casePath);
        outcome.runLog = files.log.writtenBytes();
        outcome.resultsFile = files.results.writtenBytes();
        return outcome;
    } catch (const Error& refused) {
        return endedWith(1, "", diagnosticOf(refused) + "\n");
    }
}

int runInWorkingDirectory(std::ostream& out, std::ostream& err) {
    RunOutcome outcome = runInFolder({}, RunLimits{profileStorageLimit()});
    out << outcome.standardOutput << std::flush;
    err << outcome.standardError << std::flush;
    return outcome.exitStatus;
}

int runProgram(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return runInWorkingDirectory(out, err);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        writeUsage(out);
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "hxrate " << version() << "\n";
        return 0;
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
