// hxrate-batch: what one run of hxrate in a case folder came to, and the
// rows of the summary table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hxrate/program.h>

#include "results_file.h"

namespace hxrate::tools {

enum class Outcome {
    success,
    rejected,
    inputError,
    arithmeticError,
    resourceError,  // a grid too large for memory, an output file that cannot be written
    crashed,
    notRun,
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
    // Another run held the folder for longer than the batch waits, so the
    // two files were not read.
    bool filesHeld = false;
};

// How long readRunFiles() waits for another run to leave the folder.
inline constexpr double runFilesWaitSeconds = 30;

// Reads the run log and the results file of `folder` into `run` once no run
// holds the folder: a run replaces the pair under the folder's lock, the
// old log taken away before the new results file is put in place, so that
// read in between, the log of a rated run may be missing. A shared lock,
// taken for the reading alone, sees the pair as one run left it (a run
// starting meanwhile finds the folder busy). Without a lock on the folder
// (it cannot be opened for reading, the file system has no locks) the files
// are read as they stand.
void readRunFiles(const std::string& folder, RunObservation& run, bool withResults = true);

// The values of the summary's columns to full precision, from the rating
// behind the results file (the report prints them to 4 digits).
struct FullPrecision {
    double overallCoefficient = 0;               // U, W/(m2 K)
    double heatTransferArea = 0;                 // m2
    double tubeFilmCoefficient = 0;              // W/(m2 K)
    double tubeMassFlow = 0;                     // kg/s
    double shellMassFlow = 0;                    // kg/s
    double tubeOutlet = 0;                       // tube fluid at the last node
    double shellOutlet = 0;                      // third table column where the shell fluid leaves
    std::optional<double> shellExitTemperature;  // cross-flow types only
};

// The columns of what a case document can ask beyond the 21 lines, from
// hxrate::rateExtended: a case file's row shows the case rated without
// extensions (clean U = service U, one pass, one shell, the program's shell
// side).
struct ExtendedValues {
    double cleanCoefficient = 0;           // U without fouling, W/(m2 K)
    double serviceCoefficient = 0;         // U with fouling, W/(m2 K)
    std::optional<double> lmtdCorrection;  // F, several tube passes only
    int tubePasses = 1;
    int shells = 1;                           // in series
    std::string shellSideMethod;              // "program" or "bell-delaware"
    double tubePressureDrop = 0;              // Pa, friction and returns of all passes
    std::optional<double> shellPressureDrop;  // Pa, one shell
    std::optional<double> duty;               // W, a positive magnitude
    std::string dutyDirection;                // "tube stream cooled", "tube stream heated", "none"
};

// Where the rating took the streams' properties (hxrate::ExchangerRating):
// a case file's are constant, rated at the inlet.
struct PropertyValues {
    std::string propertiesAt;                       // "inlet", "mean" or "incremental"
    std::optional<double> tubePropertyTemperature;  // degC; none for a constant model
    std::optional<double> shellPropertyTemperature;
    std::optional<double> wallTemperature;  // the shell-side wall, degC, where a model is used
};

// The flow-induced vibration screening of a rated cross-flow case
// (hxrate::ExchangerRating::vibration).
struct VibrationValues {
    double worstVelocityRatio = 0;  // V/V_crit of the worst span
    std::string worstSpan;          // its name: "inlet", "central", "outlet", "whole"
    // The codes of the screening's warnings and notes, in its order.
    std::vector<std::string> codes;
};

struct CaseSummary {
    std::string folder;
    std::string exchangerType;  // as case line 1 gives it; empty when unreadable
    Outcome outcome = Outcome::notRun;
    std::string message;  // rejection message, diagnostic, or why the case was not run
    std::optional<ResultsReport> report;
    // With `report` when the case rates to its bytes; a case document has no
    // report and fills these from its rating alone.
    std::optional<FullPrecision> full;
    std::optional<ExtendedValues> extended;
    // The codes of the library's assessment of the rating (hxrate::assess),
    // one per warning in its order; empty also when none was formed.
    std::vector<std::string> warningCodes;
    // The rows of the report's table: `report` keeps only its first and
    // last, which give the outlets, so that a batch holds no whole table.
    std::size_t tableRows = 0;
    // With `full`: where the rating took the properties.
    std::optional<PropertyValues> properties = std::nullopt;
    // With `full`, for the cross-flow types: the vibration screening.
    std::optional<VibrationValues> vibration = std::nullopt;
};

// The message of a success whose results file cannot be read.
inline constexpr std::string_view resultsUnreadable = "the results file cannot be read";

// Whether a results file of `bytes` can be read and parsed for the summary
// within `storageLimitBytes`: its text and its parsed table at once.
bool fitsSummary(std::uint64_t bytes, std::uint64_t storageLimitBytes);
// The message of a success whose results file does not fit the summary.
std::string tooLargeToSummarise(std::uint64_t bytes, std::uint64_t storageLimitBytes);

// Decides the outcome of a run from what it left behind.
CaseSummary summariseRun(std::string folder, std::string exchangerType, const RunObservation& run);

// Decides the outcome of a run made in this process from how it ended;
// `resultsFile` is the results file it wrote (or the one in its folder).
CaseSummary summariseProgramRun(std::string folder, std::string exchangerType,
                                const ProgramRun& run,
                                const std::optional<std::string>& resultsFile);

// A folder whose case could not be run at all.
CaseSummary notRun(std::string folder, std::string reason);

// The exchanger type on case line 1 of the case file at `path`, read with
// the program's own rules; empty when the file or the line cannot be read.
std::string caseExchangerType(const std::string& path);

// Why a folder cannot be run ("no such folder", "the folder holds no case
// file"); empty when it can.
std::string whyNotRunnable(const std::string& folder);

// The outcome of a run that ended with "run-time error N" (hxrate::errorNumber):
// a folder held by another run is `not run`; a number the library never
// gives is `crashed`.
Outcome failureOutcome(int errorNumber);

// The number N of a "run-time error N: ..." diagnostic, or -1.
int errorNumberOf(std::string_view diagnostic);

// The summary's values to full precision: the case (`caseBytes`) rated again
// by the library within `storageLimitBytes`. Nothing unless that rating's
// report is byte for byte `resultsFile`, so that the values are the ones the
// report printed (a case changed after its run gives nothing).
// With the extension columns of the same rating (`extended` may be absent
// where `full` is not, when only the plain rating forms), and the codes of
// its assessment.
struct RatingColumns {
    std::optional<FullPrecision> full;
    std::optional<ExtendedValues> extended;
    std::vector<std::string> warningCodes;
    std::optional<PropertyValues> properties = std::nullopt;
    std::optional<VibrationValues> vibration = std::nullopt;
};
RatingColumns fullPrecision(std::string_view caseBytes, std::string_view resultsFile,
                            std::uint64_t storageLimitBytes);

// The codes of the assessment of a case file whose run rejected it: the
// case rated again and its partial rating assessed, as hxrate-report does.
// Nothing when the library now rates the case (it changed after its run).
std::vector<std::string> rejectedWarningCodes(std::string_view caseBytes,
                                              std::uint64_t storageLimitBytes);

// Fills the columns the library forms from the case file in `folder` after
// its run: the full-precision and extension columns of a success
// (`resultsFile` is what the run wrote), the warning codes of a success or
// a rejection.
void addLibraryColumns(CaseSummary& summary, const std::string& folder,
                       const std::optional<std::string>& resultsFile,
                       std::uint64_t storageLimitBytes);

// The name of the case document a folder holds in place of a case file.
inline constexpr std::string_view caseDocumentName = "case.json";

// The case document a command-line argument names: the argument itself when
// it is a file, or FOLDER/case.json when the folder holds that and no case
// file; nothing otherwise (a folder run by the program).
std::optional<std::string> caseDocumentPath(const std::string& argument);

// Rates the case document at `path` with its extensions through the
// library, in this process, within `storageLimitBytes`; writes no file. The
// row is named `argument`.
CaseSummary rateCaseDocument(const std::string& argument, const std::string& path,
                             std::uint64_t storageLimitBytes);

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
