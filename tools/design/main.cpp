// hxrate-design PROBLEM.json [-o DIR] [-j N] [--reported N] [--date D]:
// searches the problem's space for exchangers that meet its duty within its
// limits, on every core, and writes DIR/designs.csv (the feasible designs,
// ranked by area), DIR/best.case.json (the best one's case document) and
// DIR/best.html (its report page with the search beside it).
// hxrate-design --find-fouling MEASURED.json: the fouling an exchanger in
// service carries, from its measured outlet temperatures.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <hxrate/case_document.h>
#include <hxrate/design.h>
#include <hxrate/design_problem.h>
#include <hxrate/errors.h>
#include <hxrate/measured_exchanger.h>
#include <hxrate/monitoring.h>
#include <hxrate/program.h>

#include "analysis.h"
#include "checksum.h"
#include "command_line.h"
#include "design_outputs.h"
#include "files.h"
#include "markup.h"
#include "report_html.h"

namespace fs = std::filesystem;
using hxrate::tools::complain;

namespace {

constexpr const char* designsName = "designs.csv";
constexpr const char* bestCaseName = "best.case.json";
constexpr const char* bestPageName = "best.html";
// Exit status when the search finds no feasible design, or the
// measurements no fouling: the tools' status for "no result".
constexpr int noResultStatus = hxrate::tools::failureStatus;

// The whole of an input document, read by the tools' rules (another user's
// link is not followed, only a regular file is read) no further than a
// document can be; an InputError naming it otherwise.
std::string readDocument(const std::string& path, const char* what) {
    hxrate::tools::InputFile input =
        hxrate::tools::readInputFile(path, hxrate::caseDocumentLimitBytes + 1);
    if (!input.bytes)
        throw hxrate::InputError(
            hxrate::errorNumber::caseFileUnreadable,
            std::string("cannot read the ") + what + " \"" + path + "\": " + input.problem, path);
    return std::move(*input.bytes);
}

// "1:05" or "2:03:07".
std::string clockText(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char buffer[32];
    if (s >= 3600)
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
    return buffer;
}

// The search's progress on one line of a terminal: candidates done, feasible
// found and the time left at the rate so far, at most five times a second.
class ProgressLine {
  public:
    ProgressLine() : start_(std::chrono::steady_clock::now()), last_(start_) {}

    void show(std::uint64_t done, std::uint64_t total, std::uint64_t feasible) {
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        std::string line = "\rhxrate-design: " + std::to_string(done) + " of " +
                           std::to_string(total) + " candidates, " + std::to_string(feasible) +
                           " feasible";
        if (done > 0 && done < total)
            line +=
                ", " +
                clockText(elapsed * static_cast<double>(total - done) / static_cast<double>(done)) +
                " left";
        line += "\x1b[K";
        std::fputs(line.c_str(), stderr);
        shown_ = true;
    }

    // Clears the line, so that what follows starts on a line of its own.
    void end() {
        if (shown_) std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }

  private:
    std::chrono::steady_clock::time_point start_, last_;
    bool shown_ = false;
};

// The date of the page's header: as given, SOURCE_DATE_EPOCH when set, or now.
std::optional<std::string> ratedAt(const std::string& given) {
    if (!given.empty()) return given;
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        const long long seconds = std::strtoll(epoch, &end, 10);
        if (*end != '\0' || seconds < 0) {
            complain({"SOURCE_DATE_EPOCH is not a number of seconds: ", epoch});
            return std::nullopt;
        }
        return hxrate::report::utcText(seconds);
    }
    return hxrate::report::utcText(std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count());
}

// findFouling()'s refusal of a measurement or option, with each argument
// named by its field of the measured exchanger document.
hxrate::InvalidArgument inDocumentTerms(const hxrate::InvalidArgument& e) {
    static const std::pair<std::string_view, std::string_view> fields[] = {
        {"tubeOutletTemperature", "tube_outlet_temperature"},
        {"shellOutletTemperature", "shell_outlet_temperature"},
        {"insideShare", "inside_share"},
        {"heatBalanceTolerance", "heat_balance_tolerance"},
        {"relativeTolerance", "relative_tolerance"},
        {"measurements", "tube_outlet_temperature"}};
    std::string argument = e.argument(), what = e.what();
    for (const auto& [name, field] : fields) {
        if (argument == name) argument = field;
        for (std::size_t at = what.find(name); at != std::string::npos;
             at = what.find(name, at + field.size()))
            what.replace(at, name.size(), field);
    }
    return hxrate::InvalidArgument(argument, what);
}

int findFouling(const std::string& path) {
    const std::string bytes = readDocument(path, "measured exchanger");
    const hxrate::MeasuredExchanger m =
        hxrate::parseMeasuredExchanger(bytes, fs::path(path).filename().string());
    hxrate::FoulingOptions options = m.options;
    options.rating = hxrate::programRateOptions();
    hxrate::FoulingEstimate e;
    try {
        e = hxrate::findFouling(m.exchanger, m.measured, options);
    } catch (const hxrate::PropertyRangeError&) {
        throw;
    } catch (const hxrate::MeanNotSettled&) {
        throw;
    } catch (const hxrate::InvalidArgument& refused) {
        throw inDocumentTerms(refused);
    }
    std::cout << hxrate::design_tool::foulingText(e, m.measured);
    if (e.reproduced) return 0;
    complain(e.message);
    return noResultStatus;
}

int designMain(int argc, char** argv) {
    CLI::App app{
        "Searches the design space of a design problem (JSON: two streams, a duty, limits and "
        "the geometries to try) for shell-and-tube exchangers that meet the duty within the "
        "pressure-drop and velocity limits, and writes into DIR: designs.csv (every feasible "
        "design, smallest area first), best.case.json (the case document of the best one, "
        "which hxrate-report rates) and best.html (its report page, with the search and "
        "charts of area against each side's pressure drop). A progress line is shown on a "
        "terminal.\n"
        "With --find-fouling it searches nothing and prints the fouling that an exchanger in "
        "service (a measured exchanger document: its case document and measured outlet "
        "temperatures) carries.\n"
        "\n"
        "Exit status: 0 with the designs (or the fouling found), 1 when no design is feasible "
        "(the refusals and advice are printed), no fouling reproduces the measurements, a "
        "document cannot be read or a file cannot be written, 2 for a wrong command line.",
        "hxrate-design"};
    std::string problemPath, measuredPath, outputFolder, date;
    unsigned threads = 0;
    std::size_t reported = 10;
    CLI::Option* problemOption =
        app.add_option("PROBLEM", problemPath, "the design problem document (JSON)");
    CLI::Option* foulingOption =
        app.add_option("--find-fouling", measuredPath,
                       "find the fouling of the measured exchanger document MEASURED instead")
            ->type_name("MEASURED");
    problemOption->excludes(foulingOption);
    CLI::Option* outputOption = app.add_option(
        "-o,--output", outputFolder,
        "folder for designs.csv, best.case.json and best.html, made when missing (default: the "
        "problem's folder)");
    outputOption->excludes(foulingOption);
    app.add_option("-j,--threads", threads, "threads of the search (default: one per core)")
        ->check(CLI::Range(1u, 1024u))
        ->excludes(foulingOption);
    app.add_option("--reported", reported,
                   "best designs rated again in full with their assessment (default: 10)")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000}))
        ->excludes(foulingOption);
    app.add_option("--date", date,
                   "date and time the page's header gives, as written (default: "
                   "SOURCE_DATE_EPOCH when set, else now, in UTC)")
        ->excludes(foulingOption);
    hxrate::tools::addVersionFlag(app);
    if (std::optional<int> status = hxrate::tools::parseCommandLine(app, argc, argv))
        return *status;
    if (!measuredPath.empty()) return findFouling(measuredPath);
    if (problemPath.empty()) {
        complain("give a design problem, or --find-fouling MEASURED (see hxrate-design --help)");
        return hxrate::tools::usageErrorStatus;
    }

    // The outputs are checked before anything is read or searched.
    const fs::path folder = !outputFolder.empty() ? fs::path(outputFolder)
                            : fs::path(problemPath).has_parent_path()
                                ? fs::path(problemPath).parent_path()
                                : fs::path(".");
    for (const char* name : {designsName, bestCaseName, bestPageName}) {
        for (const std::string& output : {folder.string(), (folder / name).string()}) {
            if (std::string refusal = hxrate::tools::outputRefusal(output); !refusal.empty()) {
                complain(refusal);
                return hxrate::tools::failureStatus;
            }
        }
    }
    const std::optional<std::string> when = ratedAt(date);
    if (!when) return hxrate::tools::usageErrorStatus;

    const std::string problemName = fs::path(problemPath).filename().string();
    const hxrate::DesignProblemDocument doc =
        hxrate::parseDesignProblem(readDocument(problemPath, "design problem"), problemName);
    std::string problem;
    std::optional<hxrate::tools::OutputFolder> out =
        hxrate::tools::OutputFolder::open(folder.string(), !outputFolder.empty(), problem);
    if (!out) {
        complain(problem);
        return hxrate::tools::failureStatus;
    }

    hxrate::DesignOptions options;
    options.shellSide = doc.shellSide;
    options.threads = threads;
    options.designsReported = reported;
    options.keepRefused = true;
    ProgressLine progress;
    std::mutex progressLock;
    if (::isatty(STDERR_FILENO))
        options.progress = [&](std::uint64_t done, std::uint64_t total, std::uint64_t feasible) {
            std::lock_guard guard(progressLock);
            progress.show(done, total, feasible);
        };
    const hxrate::DesignResult result = hxrate::design(doc.problem, doc.space, options);
    progress.end();
    std::cout << hxrate::design_tool::searchSummary(result);

    // The table always; the best design's files only beside a table that
    // has it, so that an earlier run's best is never left beside this one.
    const std::string table = hxrate::design_tool::designsCsv(result);
    if (result.designs.empty()) {
        for (const char* name : {bestCaseName, bestPageName}) {
            if (std::string failure = out->remove(name); !failure.empty()) {
                complain(failure);
                return hxrate::tools::failureStatus;
            }
        }
        if (std::string failure = out->write(designsName, table); !failure.empty()) {
            complain(failure);
            return hxrate::tools::failureStatus;
        }
        complain({"no feasible design: ", result.advice});
        return noResultStatus;
    }
    const hxrate::Design& best = result.designs.front();
    const std::string caseJson = hxrate::caseDocumentJson(best.document);
    const hxrate::report::Report report =
        hxrate::report::buildReport(caseJson, out->pathOf(bestCaseName), "best");
    hxrate::report::PageHeader header;
    header.title = "Exchanger design: " + fs::path(problemPath).stem().string();
    header.caseFile = bestCaseName;
    header.sha256 = hxrate::tools::sha256Hex(caseJson);
    header.ratedAt = *when;
    header.appendix = hxrate::design_tool::searchSectionHtml(result, doc.problem, problemName);
    const std::string page = hxrate::report::reportHtml(report, header);
    for (const auto& [name, text] :
         {std::pair{designsName, &table}, std::pair{bestCaseName, &caseJson},
          std::pair{bestPageName, &page}}) {
        if (std::string failure = out->write(name, *text); !failure.empty()) {
            complain(failure);
            return hxrate::tools::failureStatus;
        }
        std::cout << hxrate::tools::escapedText(out->pathOf(name)) << '\n';
    }
    std::cout << "best: " << hxrate::report::formatNumber(best.area) << " m2, "
              << best.document.input.tubeCount << " tubes, " << best.document.extensions.tubePasses
              << " passes, " << best.document.extensions.shells
              << (best.document.extensions.shells == 1 ? " shell; " : " shells; ")
              << hxrate::report::verdict(report) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return hxrate::tools::runTool("hxrate-design", argc, argv, designMain);
}
