#include "in_process.h"

#include <hxrate/hxrate.h>

#include "files.h"
#include "run_process.h"

namespace hxrate::tools {
namespace {

constexpr std::string_view terminated = "Calculation Terminated !!!";
constexpr int fileNotWritable = 31;

// A text as the program writes it to its log: lines of one blank and up to
// 79 characters, a longer text going on in the next line (so a text of
// exactly 79 characters is followed by a line of the blank alone).
void appendFreeForm(std::string& log, std::string_view text) {
    constexpr std::size_t pieceLength = 79;
    for (std::size_t start = 0;; start += pieceLength) {
        std::string_view piece = text.substr(std::min(start, text.size()), pieceLength);
        log += ' ';
        log += piece;
        log += "\r\n";
        if (piece.size() < pieceLength) break;
    }
}

void writeOrFail(const std::string& path, std::string_view name, std::string_view bytes) {
    if (std::string problem = replaceFile(path, bytes); !problem.empty()) {
        throw ResourceError(fileNotWritable,
                            "cannot write \"" + std::string(name) + "\": " + problem);
    }
}

}  // namespace

std::string successLog() {
    std::string log;
    appendFreeForm(log, "Calculation processed successfully");
    return log;
}

std::string rejectionLog(std::string_view message) {
    std::string log;
    appendFreeForm(log, message);
    appendFreeForm(log, terminated);
    return log;
}

std::string failureLog(std::string_view diagnostic) {
    std::string log;
    while (true) {
        std::size_t end = diagnostic.find('\n');
        appendFreeForm(log, diagnostic.substr(0, end));
        if (end == std::string_view::npos) break;
        diagnostic.remove_prefix(end + 1);
        if (diagnostic.empty()) break;
    }
    appendFreeForm(log, terminated);
    return log;
}

CaseSummary runInProcess(const InProcessSettings& settings, const std::string& folder) {
    if (std::string reason = whyNotRunnable(folder); !reason.empty()) return notRun(folder, reason);
    const std::string logPath = folder + "/" + runLogName;
    const std::string resultsPath = folder + "/" + resultsFileName;
    if (isOtherThanRegularFile(logPath) || isOtherThanRegularFile(resultsPath))
        return runAsProcess(settings.hxrate, folder);
    std::optional<std::string> text = readWholeFile(folder + "/" + caseFileName);
    if (!text) return runAsProcess(settings.hxrate, folder);
    Case c;
    try {
        c = parseCase(*text, caseFileName);
    } catch (const InputError&) {
        return runAsProcess(settings.hxrate, folder);
    }

    CaseSummary s{folder, std::to_string(c.exchangerType), Outcome::Crashed, {}, std::nullopt};
    std::string log;
    try {
        try {
            Rating rating = rate(c, RateOptions{.storageLimitBytes = settings.storageLimitBytes});
            std::string report = resultsReportText(c, rating);
            writeOrFail(resultsPath, resultsFileName, report);
            s.outcome = Outcome::Success;
            s.report = parseResultsReport(report);
            log = successLog();
        } catch (const CaseRejected& rejected) {
            s.outcome = Outcome::Rejected;
            log = rejectionLog(rejected.message());
            s.message = rejectionMessage(log);
        }
        writeOrFail(logPath, runLogName, log);
    } catch (const Error& failure) {
        std::string diagnostic =
            "run-time error " + std::to_string(failure.code()) + ": " + failure.what();
        s.outcome = failureOutcome(failure.code());
        s.message = diagnostic.substr(0, diagnostic.find('\n'));
        s.report.reset();
        // The log says why; when it cannot be written, the message alone does.
        replaceFile(logPath, failureLog(diagnostic));
    } catch (const ResultsFileError& e) {
        s.outcome = Outcome::Crashed;
        s.message = e.message;
    }
    return s;
}

}  // namespace hxrate::tools
