// hxrate-plot [FOLDER]: draws the temperature table of the results file in
// FOLDER (default: the working directory) into FOLDER/profile.svg.
#include <fstream>
#include <iostream>
#include <string>

#include "format/case_reader.h"
#include "hxrate/files.h"
#include "plot.h"

int main(int argc, char** argv) {
    using namespace hxrate::tools;
    std::string folder = ".";
    if (argc > 2 || (argc == 2 && std::string(argv[1]).starts_with("-"))) {
        std::cerr << "usage: hxrate-plot [FOLDER]\n\n"
                     "Reads the results file hxrate wrote in FOLDER (default: the working\n"
                     "directory) and writes FOLDER/profile.svg: the tube-fluid and shell-fluid\n"
                     "(or shell-pass inlet) temperatures against the location along the tube.\n";
        return argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help") ? 0
                                                                                               : 2;
    }
    if (argc == 2) folder = argv[1];
    const std::string resultsPath = folder + "/" + hxrate::resultsFileName;

    std::optional<std::string> bytes = readWholeFile(resultsPath);
    if (!bytes) {
        std::cerr << "hxrate-plot: no results file in " << folder << " (" << resultsPath
                  << " cannot be read); run hxrate there first\n";
        return 1;
    }
    ResultsReport report;
    try {
        report = parseResultsReport(*bytes);
    } catch (const ResultsFileError& e) {
        std::cerr << "hxrate-plot: " << resultsPath << ": " << e.message << '\n';
        return 1;
    }
    // A table cut at a line end looks complete; the case beside it tells.
    if (std::optional<CaseGrid> grid = caseGrid(folder + "/" + hxrate::caseFileName)) {
        auto rows = static_cast<std::int64_t>(report.rows.size());
        if (grid->exchangerType != report.exchangerType ||
            std::max<std::int64_t>(grid->elementCount, 0) + 1 != rows) {
            std::cerr << "hxrate-plot: " << resultsPath << " holds " << rows
                      << " table rows of type " << report.exchangerType
                      << ", but the case file beside it gives type " << grid->exchangerType
                      << " with " << grid->elementCount + 1
                      << " nodes: the results file is truncated or older than the case; run hxrate "
                         "again\n";
            return 1;
        }
    }
    const std::string svgPath = folder + "/profile.svg";
    std::ofstream svg(svgPath, std::ios::binary | std::ios::trunc);
    svg << renderProfileSvg(report);
    svg.close();
    if (!svg) {
        std::cerr << "hxrate-plot: cannot write " << svgPath << '\n';
        return 1;
    }
    std::cout << svgPath << '\n';
    return 0;
}
