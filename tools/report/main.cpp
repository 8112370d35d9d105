// hxrate-report [PATH] [-o DIR] [--json FILE|-] [--html FILE|-] [--strict]:
// rates a case and writes <case name>.report.json and <case name>.report.html,
// with warnings about the case, pressure drops and the numerics of the march.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include <hxrate/case.h>
#include <hxrate/errors.h>
#include <hxrate/files.h>

#include "analysis.h"
#include "command_line.h"
#include "files.h"
#include "report_html.h"
#include "report_json.h"

namespace fs = std::filesystem;
using namespace hxrate::report;
using hxrate::Severity;
using hxrate::Warning;
using hxrate::tools::complain;

namespace {

int reportMain(int argc, char** argv) {
    CLI::App app{
        "Rates a case with the hxrate library and writes a report beside it: "
        "<case name>.report.json and <case name>.report.html. The program's own results "
        "file and run log are never touched.\n"
        "\n"
        "Exit status: 0 with the report, 1 when the case cannot be read or a file cannot be "
        "written, 2 for a wrong command line, 3 with --strict when a warning has severity error.",
        "hxrate-report"};
    std::string path = ".";
    std::string outputFolder;
    std::string jsonCopy;
    std::string htmlCopy;
    bool strict = false;
    app.add_option("PATH", path,
                   "case file of any name, or a folder holding " +
                       std::string(hxrate::caseFileName) + " (default: the working directory)");
    app.add_option("-o,--output", outputFolder,
                   "folder for the report files (default: beside the case)");
    app.add_option("--json", jsonCopy,
                   "also write the JSON report to FILE, or to standard output for -");
    app.add_option("--html", htmlCopy, "also write the page to FILE, or to standard output for -");
    app.add_flag("--strict", strict, "exit with status 3 when a warning has severity error");
    hxrate::tools::addVersionFlag(app);
    if (std::optional<int> status = hxrate::tools::parseCommandLine(app, argc, argv))
        return *status;
    if (jsonCopy == "-" && htmlCopy == "-") {
        complain("--json - and --html - cannot both have standard output");
        return hxrate::tools::usageErrorStatus;
    }

    fs::path casePath = path;
    std::error_code ec;
    if (fs::is_directory(casePath, ec)) casePath /= hxrate::caseFileName;
    std::optional<std::string> bytes;
    if (!fs::is_directory(casePath, ec)) bytes = hxrate::tools::readWholeFile(casePath.string());
    // The library's reader gives the program's own diagnostic for a file
    // that cannot be read; an hxrate::Error leaves through runTool.
    if (!bytes) {
        hxrate::readCase(casePath);
        complain({"cannot read ", casePath.string()});
        return hxrate::tools::failureStatus;
    }
    Report report = buildReport(*bytes, casePath.string(), casePath.stem().string());

    fs::path folder = outputFolder.empty() ? casePath.parent_path() : fs::path(outputFolder);
    if (folder.empty()) folder = ".";
    fs::create_directories(folder, ec);
    const fs::path jsonPath = folder / (report.caseName + ".report.json");
    const fs::path htmlPath = folder / (report.caseName + ".report.html");
    const std::string json = reportText(report);
    const std::string page = reportHtml(report);
    const std::pair<std::string, const std::string&> outputs[] = {
        {jsonPath.string(), json}, {htmlPath.string(), page}, {jsonCopy, json}, {htmlCopy, page}};
    for (const auto& [file, text] : outputs) {
        if (file.empty()) continue;
        if (std::string problem = hxrate::tools::writeOutputFile(file, text); !problem.empty()) {
            complain(problem);
            return hxrate::tools::failureStatus;
        }
    }

    const bool somethingOnStdout = jsonCopy == "-" || htmlCopy == "-";
    std::ostream& info = somethingOnStdout ? std::cerr : std::cout;
    info << htmlPath.string() << '\n' << jsonPath.string() << '\n';
    bool anyError = false;
    for (const Warning& w : report.warnings) {
        anyError |= w.severity == Severity::error;
        std::string line = std::string(severityName(w.severity)) + ' ' + w.code;
        if (w.caseLine > 0) line += " (case line " + std::to_string(w.caseLine) + ')';
        complain({line, ": ", w.message});
    }
    info << verdict(report) << '\n';
    return strict && anyError ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    return hxrate::tools::runTool("hxrate-report", argc, argv, reportMain);
}
