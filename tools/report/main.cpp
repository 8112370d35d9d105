// hxrate-report [PATH] [-o DIR] [--json FILE|-] [--strict]: rates a case and
// writes <case name>.report.json and <case name>.report.html, with warnings
// about the case, pressure drops and the numerics of the march.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <hxrate/case.h>
#include <hxrate/errors.h>
#include <hxrate/files.h>

#include "analysis.h"
#include "report_html.h"
#include "report_json.h"

namespace fs = std::filesystem;
using namespace hxrate::report;
using hxrate::Severity;
using hxrate::Warning;

namespace {

bool writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Rates a case with the hxrate library and writes a report beside it: "
        "<case name>.report.json and <case name>.report.html. The program's own results "
        "file and run log are never touched.",
        "hxrate-report"};
    std::string path = ".";
    std::string outputFolder;
    std::string jsonCopy;
    bool strict = false;
    app.add_option("PATH", path,
                   "case file of any name, or a folder holding " +
                       std::string(hxrate::caseFileName) + " (default: the working directory)");
    app.add_option("-o,--output", outputFolder,
                   "folder for the report files (default: beside the case)");
    app.add_option("--json", jsonCopy,
                   "also write the JSON report to FILE, or to standard output for -");
    app.add_flag("--strict", strict, "exit with status 3 when a warning has severity error");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    fs::path casePath = path;
    std::error_code ec;
    if (fs::is_directory(casePath, ec)) casePath /= hxrate::caseFileName;
    std::ifstream in(casePath, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    Report report;
    try {
        // The library's reader gives the program's own diagnostic for a
        // file that cannot be read.
        if (!in || fs::is_directory(casePath, ec)) hxrate::readCase(casePath);
        report = buildReport(bytes.str(), casePath.string(), casePath.stem().string());
    } catch (const hxrate::Error& e) {
        std::cerr << "run-time error " << e.code() << ": " << e.what() << '\n';
        return 1;
    }

    fs::path folder = outputFolder.empty() ? casePath.parent_path() : fs::path(outputFolder);
    if (folder.empty()) folder = ".";
    fs::create_directories(folder, ec);
    const fs::path jsonPath = folder / (report.caseName + ".report.json");
    const fs::path htmlPath = folder / (report.caseName + ".report.html");
    const std::string json = reportJson(report).dump(2) + "\n";
    if (!writeText(jsonPath, json) || !writeText(htmlPath, reportHtml(report))) {
        std::cerr << "hxrate-report: cannot write the report into " << folder.string() << '\n';
        return 1;
    }
    bool jsonOnStdout = jsonCopy == "-";
    if (jsonOnStdout) {
        std::cout << json;
    } else if (!jsonCopy.empty() && !writeText(jsonCopy, json)) {
        std::cerr << "hxrate-report: cannot write " << jsonCopy << '\n';
        return 1;
    }

    std::ostream& info = jsonOnStdout ? std::cerr : std::cout;
    info << htmlPath.string() << '\n' << jsonPath.string() << '\n';
    bool anyError = false;
    for (const Warning& w : report.warnings) {
        anyError |= w.severity == Severity::error;
        std::cerr << "hxrate-report: " << severityName(w.severity) << ' ' << w.code;
        if (w.caseLine > 0) std::cerr << " (case line " << w.caseLine << ')';
        std::cerr << ": " << w.message << '\n';
    }
    info << verdict(report) << '\n';
    return strict && anyError ? 3 : 0;
}
