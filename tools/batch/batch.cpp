#include "batch.h"

#include <fcntl.h>
#include <hxrate/arrangements.h>
#include <hxrate/assessment.h>
#include <hxrate/case_document.h>
#include <hxrate/errors.h>
#include <hxrate/exchanger.h>
#include <hxrate/extensions.h>
#include <hxrate/files.h>
#include <hxrate/report.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "case_lines.h"
#include "files.h"
#include "markup.h"

namespace hxrate::tools {
namespace {

constexpr std::string_view stopLine = "Stop - Program terminated.";
constexpr std::string_view successLine = " Calculation processed successfully";
constexpr std::string_view terminatedLine = " Calculation Terminated !!!";

std::string firstLine(std::string_view text) {
    std::string_view line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return std::string(line);
}

std::string minutesAndSeconds(double seconds) {
    long s = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string printed(const PrintedValue& v) {
    return csvField(shortestDecimal(v.value));
}

}  // namespace

std::string_view outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::success:
            return "success";
        case Outcome::rejected:
            return "rejected";
        case Outcome::inputError:
            return "input failure";
        case Outcome::arithmeticError:
            return "arithmetic failure";
        case Outcome::resourceError:
            return "resource failure";
        case Outcome::crashed:
            return "crashed";
        case Outcome::notRun:
            return "not run";
    }
    return "not run";
}

int errorNumberOf(std::string_view diagnostic) {
    constexpr std::string_view lead = "run-time error ";
    if (!diagnostic.starts_with(lead)) return -1;
    int n = 0;
    std::size_t i = lead.size();
    if (i >= diagnostic.size() || diagnostic[i] < '0' || diagnostic[i] > '9') return -1;
    for (; i < diagnostic.size() && diagnostic[i] >= '0' && diagnostic[i] <= '9' && n < 1000; ++i) {
        n = n * 10 + (diagnostic[i] - '0');
    }
    return n;
}

Outcome failureOutcome(int n) {
    namespace number = hxrate::errorNumber;
    if (n == number::runInProgress) return Outcome::notRun;
    if (number::isInputFailure(n)) return Outcome::inputError;
    if (number::isArithmeticFailure(n)) return Outcome::arithmeticError;
    if (number::isResourceFailure(n)) return Outcome::resourceError;
    return Outcome::crashed;
}

namespace {

ExtendedValues extendedValues(const Case& c, const Extensions& ext, const ExchangerRating& x) {
    ExtendedValues v;
    v.cleanCoefficient = x.extended->cleanCoefficient;
    v.serviceCoefficient = x.extended->serviceCoefficient;
    v.lmtdCorrection = x.extended->lmtdCorrection;
    v.tubePasses = ext.tubePasses;
    v.shells = ext.shells;
    v.shellSideMethod =
        ext.shellSide == ShellSideMethod::bellDelaware ? "bell-delaware" : "program";
    v.tubePressureDrop = x.extended->tubePressureDrop;
    if (x.assessment && x.assessment->shellPressureDrop)
        v.shellPressureDrop = x.assessment->shellPressureDrop->pressureDrop;
    const ThermalSummary thermal = summariseThermal(c, x.rating);
    v.duty = thermal.duty;
    v.dutyDirection = dutyDirectionText(thermal.dutyDirection);
    return v;
}

// The full-precision columns of a rating, the outlets as the rating holds
// them (a rating of several passes or shells has no profile).
FullPrecision ratedValues(const Case& c, const Rating& r) {
    FullPrecision f{r.overallCoefficient,     r.area,          r.tube.filmCoefficient,
                    r.tubeMassFlow,           r.shellMassFlow, r.tubeOutletTemperature,
                    r.shellOutletTemperature, std::nullopt};
    if (isCrossFlow(c.exchangerType)) f.shellExitTemperature = r.shellExitTemperature;
    return f;
}

PropertyValues propertyValues(const ExchangerRating& x) {
    return {std::string(propertiesAtName(x.propertiesAt)), x.tubePropertyTemperature,
            x.shellPropertyTemperature, x.wallTemperature};
}

std::optional<VibrationValues> vibrationValues(const ExchangerRating& x) {
    if (!x.vibration) return std::nullopt;
    const VibrationScreening& v = *x.vibration;
    VibrationValues out{v.worstVelocityRatio, {}, {}};
    if (v.worstSpan < v.spans.size()) out.worstSpan = v.spans[v.worstSpan].name;
    for (const Warning& w : v.warnings) out.codes.push_back(w.code);
    return out;
}

// The codes of the result's warnings, in its order.
std::vector<std::string> warningCodesOf(const ExchangerRating& x) {
    std::vector<std::string> codes;
    for (const Warning& w : x.warnings) codes.push_back(w.code);
    return codes;
}

// Rates as hxrate-report does: the discretisation estimate on dL and dL/2
// (the fewest grids that give its coarse-grid warning) and the shooting
// analysis only for a slow shooting; nothing when even that cannot be made
// (not enough memory).
std::optional<ExchangerRating> rateAsReport(const CaseDocument& document,
                                            const RateOptions& options) {
    try {
        ExchangerOptions o;
        o.rating = options;
        o.grids = 2;
        o.shooting = ShootingAnalysis::whenSlow;
        return rate(document, o);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

RatingColumns fullPrecision(std::string_view caseBytes, std::string_view resultsFile,
                            std::uint64_t storageLimitBytes) {
    try {
        CaseSource source;
        // The case keeps its text, for the text checks of the assessment.
        const CaseDocument document{parseCase(caseBytes, caseFileName, source), {}, {}};
        const Case& c = document.input;
        // What this holds at once shares the worker's storage: the results
        // file, the rating, the report formed again to compare, and the
        // assessment's ratings on finer grids.
        StorageBudget budget(storageLimitBytes);
        StorageReservation results(&budget);
        if (!results.reserve(resultsFile.size())) return {};
        const RateOptions options{.storageLimitBytes = storageLimitBytes, .storageBudget = &budget};
        std::optional<ExchangerRating> x = rateAsReport(document, options);
        if (!x || !x->solved()) return {};
        const Rating& r = x->rating;
        StorageReservation rating(&budget);
        if (!rating.reserve(profileBytes(r))) return {};
        {
            StorageReservation report(&budget);
            if (!report.reserve(resultsFile.size())) return {};
            if (resultsReportText(c, r) != resultsFile || r.profile.tube.empty()) return {};
        }
        const bool shellLeavesAtStart = isCounterCurrent(c.exchangerType);
        FullPrecision f{r.overallCoefficient,
                        r.area,
                        r.tube.filmCoefficient,
                        r.tubeMassFlow,
                        r.shellMassFlow,
                        r.profile.tube.back(),
                        shellLeavesAtStart ? r.profile.shell.front() : r.profile.shell.back(),
                        std::nullopt};
        if (isCrossFlow(c.exchangerType)) f.shellExitTemperature = r.shellExitTemperature;
        RatingColumns columns{f, std::nullopt, {}};
        if (x->extended) columns.extended = extendedValues(c, {}, *x);
        columns.warningCodes = warningCodesOf(*x);
        columns.properties = propertyValues(*x);
        columns.vibration = vibrationValues(*x);
        return columns;
    } catch (...) {
        // Out of memory, or a case that no longer rates: the columns stay empty.
        return {};
    }
}

std::vector<std::string> rejectedWarningCodes(std::string_view caseBytes,
                                              std::uint64_t storageLimitBytes) {
    try {
        CaseSource source;
        const CaseDocument document{parseCase(caseBytes, caseFileName, source), {}, {}};
        StorageBudget budget(storageLimitBytes);
        const RateOptions options{.storageLimitBytes = storageLimitBytes, .storageBudget = &budget};
        std::optional<ExchangerRating> x = rateAsReport(document, options);
        if (x && !x->solved()) return warningCodesOf(*x);
    } catch (...) {
        // A case that no longer reads or now fails otherwise: no codes.
    }
    return {};
}

void addLibraryColumns(CaseSummary& summary, const std::string& folder,
                       const std::optional<std::string>& resultsFile,
                       std::uint64_t storageLimitBytes) {
    if (summary.outcome != Outcome::success && summary.outcome != Outcome::rejected) return;
    std::optional<std::string> caseBytes = readWholeFile(folder + "/" + caseFileName);
    if (!caseBytes) return;
    if (summary.outcome == Outcome::rejected) {
        summary.warningCodes = rejectedWarningCodes(*caseBytes, storageLimitBytes);
        return;
    }
    if (!resultsFile) return;
    RatingColumns columns = fullPrecision(*caseBytes, *resultsFile, storageLimitBytes);
    summary.full = std::move(columns.full);
    summary.extended = std::move(columns.extended);
    summary.warningCodes = std::move(columns.warningCodes);
    summary.properties = std::move(columns.properties);
    summary.vibration = std::move(columns.vibration);
}

std::optional<std::string> caseDocumentPath(const std::string& argument) {
    struct stat st;
    if (::stat(argument.c_str(), &st) != 0) return std::nullopt;
    // A name that is not a folder is read as a document, or refused as one.
    if (!S_ISDIR(st.st_mode)) return argument;
    // Any entry of the case file's name, a link or a FIFO too, is the
    // program's to run or refuse; so is a folder that cannot be searched.
    if (::lstat((argument + "/" + caseFileName).c_str(), &st) == 0 || errno != ENOENT)
        return std::nullopt;
    std::string document = argument + "/" + std::string(caseDocumentName);
    if (::lstat(document.c_str(), &st) != 0) return std::nullopt;
    return document;
}

CaseSummary rateCaseDocument(const std::string& argument, const std::string& path,
                             std::uint64_t storageLimitBytes) {
    CaseSummary s{argument,     {},           Outcome::inputError, {},
                  std::nullopt, std::nullopt, std::nullopt,        {}};
    // The rating and the assessment's ratings on finer grids share the
    // worker's storage.
    StorageBudget budget(storageLimitBytes);
    const RateOptions options{.storageLimitBytes = storageLimitBytes, .storageBudget = &budget};
    try {
        // Another user's link, a FIFO or a device is refused unread, as the
        // program refuses such a case file (run-time error 10).
        // Read no further than a case document can be.
        InputFile file = readInputFile(path, caseDocumentLimitBytes + 1);
        if (!file.bytes)
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case document \"" + path + "\": " + file.problem,
                             path);
        const std::optional<std::string>& bytes = file.bytes;
        if (!looksLikeCaseDocument(*bytes)) {
            s.outcome = Outcome::notRun;
            s.message = "not a case document (a case file is rated in its folder)";
            return s;
        }
        const CaseDocument document = parseCaseDocument(*bytes, path);
        s.exchangerType = std::to_string(document.input.exchangerType);
        ExchangerOptions o;
        o.rating = options;
        const ExchangerRating x = rate(document, o);
        s.warningCodes = warningCodesOf(x);
        if (x.solved()) {
            s.outcome = Outcome::success;
            s.full = ratedValues(document.input, x.rating);
            if (x.extended) s.extended = extendedValues(document.input, document.extensions, x);
            s.properties = propertyValues(x);
            s.vibration = vibrationValues(x);
        } else {
            s.outcome = Outcome::rejected;
            s.message = std::string(checkMessage(*x.rejectedBy));
        }
    } catch (const InvalidArgument& e) {
        s.outcome = Outcome::inputError;  // extensions outside their domain
        s.message = e.what();
    } catch (const Error& e) {
        s.outcome = failureOutcome(e.code());
        s.message = e.what();
    } catch (const std::bad_alloc&) {
        s.outcome = Outcome::resourceError;
        s.message = "not enough memory for the case document";
    }
    if (s.outcome != Outcome::success) {
        s.full.reset();
        s.extended.reset();
        s.properties.reset();
        s.vibration.reset();
    }
    if (s.outcome != Outcome::success && s.outcome != Outcome::rejected) s.warningCodes.clear();
    return s;
}

namespace {

constexpr std::uint64_t mebibyte = std::uint64_t{1} << 20;

// The parsed report into the summary, its table cut to the first and last rows.
void keepReport(CaseSummary& s, ResultsReport report) {
    s.tableRows = report.rows.size();
    if (report.rows.size() > 2) {
        std::vector<TableRow> ends{std::move(report.rows.front()), std::move(report.rows.back())};
        report.rows = std::move(ends);
    }
    s.report = std::move(report);
}

}  // namespace

bool fitsSummary(std::uint64_t bytes, std::uint64_t storageLimitBytes) {
    return resultsParseBytes(bytes) <= storageLimitBytes;
}

std::string tooLargeToSummarise(std::uint64_t bytes, std::uint64_t storageLimitBytes) {
    return "rated; its results file of " + std::to_string((bytes + mebibyte - 1) / mebibyte) +
           " MiB is too large to summarise within the worker's memory share of " +
           std::to_string(storageLimitBytes / mebibyte) + " MiB";
}

bool isFailure(Outcome outcome) {
    return outcome != Outcome::success && outcome != Outcome::rejected;
}

std::string rejectionMessage(std::string_view runLog) {
    std::string message;
    while (!runLog.empty()) {
        std::string line = firstLine(runLog);
        std::size_t end = runLog.find('\n');
        runLog.remove_prefix(end == std::string_view::npos ? runLog.size() : end + 1);
        if (line == terminatedLine) break;
        message += line.starts_with(' ') ? line.substr(1) : line;
    }
    return message;
}

void readRunFiles(const std::string& folder, RunObservation& run, bool withResults) {
    struct Folder {
        int fd;
        ~Folder() {
            if (fd >= 0) ::close(fd);  // closing it lets go of the lock
        }
    } held{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    // Not a blocking lock: a holder that never lets go must not stop the
    // batch. A run of the program holds the folder for as long as it rates;
    // the pauses grow from a millisecond to a tenth of a second.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(runFilesWaitSeconds);
    auto pause = std::chrono::milliseconds(1);
    while (held.fd >= 0 && ::flock(held.fd, LOCK_SH | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) break;  // a file system without locks
        if (std::chrono::steady_clock::now() >= deadline) {
            run.filesHeld = true;
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
    run.runLog = readWholeFile(folder + "/" + runLogName);
    if (withResults) run.resultsFile = readWholeFile(folder + "/" + resultsFileName);
}

CaseSummary summariseRun(std::string folder, std::string exchangerType, const RunObservation& run) {
    CaseSummary s{std::move(folder), std::move(exchangerType),
                  Outcome::crashed,  {},
                  std::nullopt,      std::nullopt,
                  std::nullopt,      {}};
    if (WIFSIGNALED(run.waitStatus)) {
        int signal = WTERMSIG(run.waitStatus);
        s.message = "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
        return s;
    }
    int status = WEXITSTATUS(run.waitStatus);
    std::string diagnostic = firstLine(run.standardError);
    if (status == 1) {
        s.outcome = failureOutcome(errorNumberOf(diagnostic));
        s.message = (s.outcome == Outcome::crashed ? "exit status 1: " : "") + diagnostic;
        return s;
    }
    if (status != 0) {
        s.message =
            "exit status " + std::to_string(status) + (diagnostic.empty() ? "" : ": " + diagnostic);
        return s;
    }
    if (firstLine(run.standardOutput) == stopLine) {
        s.outcome = Outcome::rejected;
        s.message = run.filesHeld ? "(another run held the folder: the run log was not read)"
                    : run.runLog  ? rejectionMessage(*run.runLog)
                                  : "(the run log cannot be read)";
        return s;
    }
    // The program says nothing on a success; its files give the figures.
    if (run.filesHeld) {
        s.outcome = Outcome::success;
        s.message = "another run held the folder after this one: its files were not read";
        return s;
    }
    if (!run.runLog || firstLine(*run.runLog) != successLine) {
        s.message = "exit status 0 without the success line in the run log";
        return s;
    }
    if (!run.resultsFile) {
        s.message = resultsUnreadable;
        return s;
    }
    try {
        keepReport(s, parseResultsReport(*run.resultsFile));
        s.outcome = Outcome::success;
    } catch (const ResultsFileError& e) {
        s.message = e.message;
    }
    return s;
}

CaseSummary summariseProgramRun(std::string folder, std::string exchangerType,
                                const ProgramRun& run,
                                const std::optional<std::string>& resultsFile) {
    CaseSummary s{std::move(folder), std::move(exchangerType),
                  Outcome::crashed,  firstLine(run.message),
                  std::nullopt,      std::nullopt,
                  std::nullopt,      {}};
    switch (run.kind) {
        case RunKind::rated:
            s.message.clear();
            if (!resultsFile) {
                s.message = resultsUnreadable;
                return s;
            }
            try {
                keepReport(s, parseResultsReport(*resultsFile));
                s.outcome = Outcome::success;
            } catch (const ResultsFileError& e) {
                s.message = e.message;
            }
            return s;
        case RunKind::rejected:
            s.outcome = Outcome::rejected;
            return s;
        case RunKind::failed:
        case RunKind::refused:
            s.outcome = failureOutcome(run.errorNumber);
            return s;
    }
    return s;
}

CaseSummary notRun(std::string folder, std::string reason) {
    return {std::move(folder), {},           Outcome::notRun, std::move(reason),
            std::nullopt,      std::nullopt, std::nullopt,    {}};
}

std::string caseExchangerType(const std::string& path) {
    try {
        std::optional<std::string> bytes = readWholeFile(path);
        if (!bytes) return {};
        std::optional<Case> c = leadingCaseLines(*bytes, 1);
        return c ? std::to_string(c->exchangerType) : std::string{};
    } catch (const std::bad_alloc&) {
        return {};  // a case file larger than the memory: its type stays unknown
    }
}

std::string whyNotRunnable(const std::string& folder) {
    if (std::string refusal = foreignLinkRefusal(folder); !refusal.empty()) return refusal;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "no such folder";
        return std::string("the folder cannot be reached: ") + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) return "no such folder";
    const std::string casePath = folder + "/" + caseFileName;
    if (::lstat(casePath.c_str(), &st) != 0) {
        if (errno == ENOENT) return "the folder holds no case file";
        return std::string("the folder cannot be searched: ") + std::strerror(errno);
    }
    // Another user's link is the program's to refuse, with its own
    // diagnostic; the user's own link leads to the case file or to nothing.
    if (S_ISLNK(st.st_mode) && foreignLinkRefusal(casePath).empty() &&
        ::stat(casePath.c_str(), &st) != 0) {
        if (errno == ENOENT) return "the folder holds no case file";
        return std::string("the case file cannot be reached: ") + std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return S_ISDIR(st.st_mode) ? "its case file is a directory"
                                   : "its case file is not a regular file";
    return {};
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvHeader() {
    return "folder,exchanger type,outcome,message,"
           "overall heat transfer coefficient,heat transfer area,"
           "tube-side heat transfer coefficient,tube-side mass flow rate,shell-side mass flow rate,"
           "tube fluid outlet temperature,shell fluid outlet temperature,shell exit temperature,"
           "element count,"
           "overall heat transfer coefficient (full precision),"
           "heat transfer area (full precision),"
           "tube-side heat transfer coefficient (full precision),"
           "tube-side mass flow rate (full precision),shell-side mass flow rate (full precision),"
           "tube fluid outlet temperature (full precision),"
           "shell fluid outlet temperature (full precision),"
           "shell exit temperature (full precision),"
           "clean overall heat transfer coefficient,service overall heat transfer coefficient,"
           "LMTD correction factor,tube passes,shells in series,shell-side method,"
           "tube-side pressure drop,shell-side pressure drop,duty,duty direction,warnings,"
           "properties at,tube property temperature,shell property temperature,"
           "wall temperature,worst V/V_crit,worst vibration span,vibration warnings\n";
}

namespace {

std::string full(double v) {
    return csvField(shortestDecimal(v));
}

std::string full(const std::optional<double>& v) {
    return v ? full(*v) : std::string{};
}

}  // namespace

std::string csvRow(const CaseSummary& s) {
    // A folder name, or a message that names one, stays on its own line.
    std::string row = csvField(escapedText(s.folder)) + ',' +
                      csvField(escapedText(s.exchangerType)) + ',' +
                      csvField(outcomeName(s.outcome)) + ',' + csvField(escapedText(s.message));
    if (s.report) {
        const ResultsReport& r = *s.report;
        OutletTemperatures out = outletTemperatures(r);
        row += ',' + printed(r.overallCoefficient) + ',' + printed(r.heatTransferArea) + ',' +
               printed(r.tubeFilmCoefficient) + ',' + printed(r.tubeMassFlow) + ',' +
               printed(r.shellMassFlow) + ',' + printed(out.tubeOutlet) + ',' +
               printed(out.shellOutlet) + ',' +
               (r.shellExitTemperature ? printed(*r.shellExitTemperature) : std::string{}) + ',' +
               std::to_string(std::max(s.tableRows, r.rows.size()) - 1);
    } else {
        row += ",,,,,,,,,";
    }
    if (s.full) {
        const FullPrecision& f = *s.full;
        for (double v : {f.overallCoefficient, f.heatTransferArea, f.tubeFilmCoefficient,
                         f.tubeMassFlow, f.shellMassFlow, f.tubeOutlet, f.shellOutlet})
            row += ',' + full(v);
        row += ',' + full(f.shellExitTemperature);
    } else {
        row += ",,,,,,,,";
    }
    if (s.extended) {
        const ExtendedValues& x = *s.extended;
        row += ',' + full(x.cleanCoefficient) + ',' + full(x.serviceCoefficient) + ',' +
               full(x.lmtdCorrection) + ',' + std::to_string(x.tubePasses) + ',' +
               std::to_string(x.shells) + ',' + csvField(x.shellSideMethod) + ',' +
               full(x.tubePressureDrop) + ',' + full(x.shellPressureDrop) + ',' + full(x.duty) +
               ',' + csvField(x.dutyDirection);
    } else {
        row += std::string(10, ',');  // the ten extension columns
    }
    // Each code once, where it first stands; the codes hold no comma or
    // space, so one space parts them.
    std::string codes;
    for (std::size_t i = 0; i < s.warningCodes.size(); ++i) {
        const std::string& code = s.warningCodes[i];
        if (std::find(s.warningCodes.begin(), s.warningCodes.begin() + i, code) !=
            s.warningCodes.begin() + i)
            continue;
        codes += (codes.empty() ? "" : " ") + code;
    }
    row += ',' + csvField(codes);
    if (s.properties) {
        const PropertyValues& p = *s.properties;
        row += ',' + csvField(p.propertiesAt) + ',' + full(p.tubePropertyTemperature) + ',' +
               full(p.shellPropertyTemperature) + ',' + full(p.wallTemperature);
    } else {
        row += ",,,,";
    }
    if (s.vibration) {
        const VibrationValues& v = *s.vibration;
        std::string codes;
        for (const std::string& code : v.codes) codes += (codes.empty() ? "" : " ") + code;
        row +=
            ',' + full(v.worstVelocityRatio) + ',' + csvField(v.worstSpan) + ',' + csvField(codes);
    } else {
        row += ",,,";
    }
    return row + '\n';
}

std::string progressLine(std::size_t done, std::size_t total, std::size_t failed,
                         double elapsedSeconds) {
    std::string line = std::to_string(done) + '/' + std::to_string(total) + " done, " +
                       std::to_string(failed) + " failed, " + minutesAndSeconds(elapsedSeconds) +
                       " elapsed";
    if (done > 0 && done < total) {
        double left =
            elapsedSeconds / static_cast<double>(done) * static_cast<double>(total - done);
        line += ", ~" + minutesAndSeconds(left) + " left";
    }
    return line;
}

std::string summaryLine(const std::vector<CaseSummary>& cases, double elapsedSeconds) {
    constexpr Outcome order[] = {
        Outcome::success,       Outcome::rejected, Outcome::inputError, Outcome::arithmeticError,
        Outcome::resourceError, Outcome::crashed,  Outcome::notRun};
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", elapsedSeconds);
    std::string line = std::to_string(cases.size()) + (cases.size() == 1 ? " case" : " cases") +
                       " in " + seconds + " s";
    const char* separator = ": ";
    for (Outcome o : order) {
        std::size_t n = 0;
        for (const CaseSummary& c : cases) n += c.outcome == o;
        if (n == 0) continue;
        line += separator + std::to_string(n) + ' ' + std::string(outcomeName(o));
        separator = ", ";
    }
    return line;
}

}  // namespace hxrate::tools
