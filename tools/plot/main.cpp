// hxrate-plot [--earlier] [-o FILE|-] [FOLDER]: draws the temperature table
// of the results file in FOLDER (default: the working directory) into
// FOLDER/profile.svg, or FILE, or standard output.
#include <hxrate/files.h>
#include <hxrate/program.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "command_line.h"
#include "files.h"
#include "markup.h"
#include "plot.h"

namespace {

using namespace hxrate::tools;

int plotMain(int argc, char** argv) {
    CLI::App app(
        "Reads the results file hxrate wrote in FOLDER (default: the working\n"
        "directory) and writes FOLDER/profile.svg: the tube-fluid and shell-fluid\n"
        "(or shell-pass inlet) temperatures in degrees Celsius against the location\n"
        "along the tube in metres. It refuses a results file that the run log shows\n"
        "to be an earlier run's.\n"
        "\n"
        "Exit status: 0 with the chart, 1 when there is nothing right to draw or\n"
        "the chart cannot be written, 2 for a wrong command line.",
        "hxrate-plot");
    std::string folder = ".";
    bool earlier = false;
    std::string svgPath;
    app.add_option("FOLDER", folder, "the case folder (default: the working directory)");
    app.add_option("-o,--output", svgPath,
                   "the chart to write (default: FOLDER/profile.svg); - for standard output");
    app.add_flag("--earlier", earlier,
                 "plot the results file even when the last run was rejected or failed, "
                 "marked as an earlier run's");
    addVersionFlag(app);
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    // Another user's link, as the folder or the chart, is not followed, and
    // that is found before anything is read.
    if (std::string refusal = foreignLinkRefusal(folder); !refusal.empty()) {
        complain({"cannot read the case folder \"", folder, "\": ", refusal});
        return 1;
    }
    if (svgPath.empty()) svgPath = folder + "/profile.svg";
    if (std::string refusal = outputRefusal(svgPath); !refusal.empty()) {
        complain(refusal);
        return 1;
    }
    const std::string resultsPath = folder + "/" + hxrate::resultsFileName;
    // The text and its parsed table within the program's memory limit.
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(resultsPath, sizeError);
    if (!sizeError && resultsParseBytes(size) > hxrate::programStorageLimit()) {
        complain({resultsPath, ": run-time error ",
                  std::to_string(hxrate::errorNumber::storageRefused), ": its ",
                  std::to_string(size >> 20), " MiB need more memory to plot than the limit of ",
                  std::to_string(hxrate::programStorageLimit() >> 20), " MiB"});
        return 1;
    }
    InputFile results = readInputFile(resultsPath);
    if (results.missing) {
        complain({"no results file in ", folder, " (", resultsPath,
                  " cannot be read); run hxrate there first"});
        return 1;
    }
    if (!results.bytes) {
        complain({"cannot read \"", resultsPath, "\": ", results.problem});
        return 1;
    }
    ResultsReport report;
    try {
        report = parseResultsReport(*results.bytes);
    } catch (const ResultsFileError& e) {
        complain({resultsPath, ": ", e.message});
        return 1;
    }
    // A rejected or failed run leaves the results file of an earlier run.
    std::string remark;
    LastRun last = lastRunOf(readWholeFile(folder + "/" + hxrate::runLogName));
    if (last.ending == RunEnding::endedEarly) {
        if (!earlier) {
            complain({"the last run in ", folder, " did not finish (", last.reason, "), so ",
                      resultsPath, " is an earlier run's; use --earlier to plot it anyway"});
            return 1;
        }
        remark = "Results of an earlier run: the last run did not finish (" + last.reason + ")";
    }
    // A table cut at a line end looks complete; the case beside it tells.
    if (std::optional<CaseGrid> grid = caseGrid(folder + "/" + hxrate::caseFileName);
        grid && remark.empty()) {
        auto rows = static_cast<std::int64_t>(report.rows.size());
        if (grid->exchangerType != report.exchangerType ||
            std::max<std::int64_t>(grid->elementCount, 0) + 1 != rows) {
            complain({resultsPath, " holds ", std::to_string(rows), " table rows of type ",
                      std::to_string(report.exchangerType),
                      ", but the case file beside it gives type ",
                      std::to_string(grid->exchangerType), " with ",
                      std::to_string(grid->elementCount + 1),
                      " nodes: the results file is truncated or older than the case; run hxrate "
                      "again"});
            return 1;
        }
    }
    if (std::string problem = writeOutputFile(svgPath, renderProfileSvg(report, remark));
        !problem.empty()) {
        complain(problem);
        return 1;
    }
    if (svgPath != "-") std::cout << escapedText(svgPath) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return runTool("hxrate-plot", argc, argv, plotMain);
}
