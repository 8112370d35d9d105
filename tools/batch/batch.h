// hxrate-batch: what one run of hxrate in a case folder came to, and the
// rows of the summary table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results_file.h"

namespace hxrate::tools {

enum class Outcome {
    Success,
    Rejected,
    InputError,
    ArithmeticError,
    ResourceError,  // a grid too large for memory, an output file that cannot be written
    Crashed,
    NotRun,
};

std::string_view outcomeName(Outcome outcome);

// What a finished run left behind: its wait status, what it printed, and the
// run log and results file in its folder afterwards.
struct RunObservation {
    int waitStatus = 0;
    std::string standardOutput;
    std::string standardError;
    std::optional<std::string> runLog;
    std::optional<std::string> resultsFile;
};

struct CaseSummary {
    std::string folder;
    std::string exchangerType;  // as case line 1 gives it; empty when unreadable
    Outcome outcome = Outcome::NotRun;
    std::string message;  // rejection message, diagnostic, or why the case was not run
    std::optional<ResultsReport> report;
};

// Decides the outcome of a run from what it left behind.
CaseSummary summariseRun(std::string folder, std::string exchangerType, const RunObservation& run);

// A folder whose case could not be run at all.
CaseSummary notRun(std::string folder, std::string reason);

// The exchanger type on case line 1 of the case file at `path`, read with
// the program's own rules; empty when the file or the line cannot be read.
std::string caseExchangerType(const std::string& path);

// Why a folder cannot be run ("no such folder", "the folder holds no case
// file"); empty when it can.
std::string whyNotRunnable(const std::string& folder);

// The outcome of a run that ended with "run-time error N".
Outcome failureOutcome(int errorNumber);

// The message of a rejected run, joined again from the free-form lines of
// its run log (a message longer than a line is spread over two).
std::string rejectionMessage(std::string_view runLog);

std::string csvField(std::string_view text);
std::string csvHeader();
std::string csvRow(const CaseSummary& summary);

// "12/40 done, 1 failed, 0:05 elapsed, ~0:12 left"
std::string progressLine(std::size_t done, std::size_t total, std::size_t failed,
                         double elapsedSeconds);

// "40 cases in 12.3 s: 35 success, 4 rejected, 1 input failure"
std::string summaryLine(const std::vector<CaseSummary>& cases, double elapsedSeconds);

// Whether an outcome counts as a failure of the run (not a verdict on the case).
bool isFailure(Outcome outcome);

}  // namespace hxrate::tools
