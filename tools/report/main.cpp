// hxrate-report [PATH] [-o DIR] [--json FILE|-] [--html FILE|-] [--strict]
// [--title T] [--project P] [--revision R] [--date D]:
// rates a case (a 21-line case file or a case document) and writes
// <case name>.report.json and <case name>.report.html, with warnings about the
// case, pressure drops and the numerics of the march.
// hxrate-report --case-json [PATH] [-o FILE|-]: writes the case document of
// a case instead.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include <hxrate/case.h>
#include <hxrate/case_document.h>
#include <hxrate/case_files.h>
#include <hxrate/errors.h>
#include <hxrate/files.h>

#include "analysis.h"
#include "checksum.h"
#include "command_line.h"
#include "files.h"
#include "markup.h"
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
        "<case name>.report.json and <case name>.report.html. The case is a 21-line case "
        "file or a case document (JSON). The program's own results file and run log are "
        "never touched.\n"
        "With --case-json it rates nothing and writes the case document of the case to "
        "standard output, or to the FILE of -o.\n"
        "\n"
        "Exit status: 0 with the report, 1 when the case cannot be read or a file cannot be "
        "written, 2 for a wrong command line, 3 with --strict when a warning has severity error.",
        "hxrate-report"};
    std::string path = ".";
    std::string outputFolder;
    std::string jsonCopy;
    std::string htmlCopy;
    bool strict = false;
    bool caseJson = false;
    PageHeader header;
    std::string date;
    app.add_option("PATH", path,
                   "case file of any name, or a folder holding " +
                       std::string(hxrate::caseFileName) + " (default: the working directory)");
    app.add_option("-o,--output", outputFolder,
                   "folder for the report files (default: beside the case); with --case-json "
                   "the file for the document, - for standard output (the default)");
    CLI::Option* jsonOption = app.add_option(
        "--json", jsonCopy, "also write the JSON report to FILE, or to standard output for -");
    CLI::Option* htmlOption = app.add_option(
        "--html", htmlCopy, "also write the page to FILE, or to standard output for -");
    CLI::Option* strictFlag =
        app.add_flag("--strict", strict, "exit with status 3 when a warning has severity error");
    app.add_flag("--case-json", caseJson,
                 "write the case document (JSON) of the case instead of a report")
        ->excludes(jsonOption)
        ->excludes(htmlOption)
        ->excludes(strictFlag);
    app.add_option("--title", header.title, "title of the page (default: the case's name)");
    app.add_option("--project", header.project, "project named in the page's header");
    app.add_option("--revision", header.revision, "revision named in the page's header");
    app.add_option("--date", date,
                   "date and time the header gives, as written (default: SOURCE_DATE_EPOCH "
                   "when set, else the time of the rating, in UTC)");
    hxrate::tools::addVersionFlag(app);
    if (std::optional<int> status = hxrate::tools::parseCommandLine(app, argc, argv))
        return *status;
    if (jsonCopy == "-" && htmlCopy == "-") {
        complain("--json - and --html - cannot both have standard output");
        return hxrate::tools::usageErrorStatus;
    }

    // Another user's link, as the case or its folder, is not followed; an
    // hxrate::Error leaves through runTool with the program's wording.
    auto unreadable = [](const fs::path& name, const std::string& reason) {
        return hxrate::InputError(hxrate::errorNumber::caseFileUnreadable,
                                  "cannot read the case file \"" + name.string() + "\": " + reason,
                                  name.string());
    };
    fs::path casePath = path;
    if (std::string refusal = hxrate::tools::foreignLinkRefusal(path); !refusal.empty())
        throw unreadable(casePath, refusal);
    std::error_code ec;
    if (fs::is_directory(casePath, ec)) casePath /= hxrate::caseFileName;
    // Every output is checked before the case is read, and the report
    // folder again when it is opened to be written.
    const fs::path folder = !outputFolder.empty()        ? fs::path(outputFolder)
                            : casePath.has_parent_path() ? casePath.parent_path()
                                                         : fs::path(".");
    std::vector<std::string> outputs = {caseJson && !outputFolder.empty() ? outputFolder : "-",
                                        jsonCopy, htmlCopy};
    if (!caseJson) {
        const std::string stem = casePath.stem().string();
        outputs.push_back((folder / (stem + ".report.json")).string());
        outputs.push_back((folder / (stem + ".report.html")).string());
        if (!outputFolder.empty()) outputs.push_back(outputFolder);
    }
    for (const std::string& output : outputs) {
        if (std::string refusal = hxrate::tools::outputRefusal(output);
            !output.empty() && !refusal.empty()) {
            complain(refusal);
            return hxrate::tools::failureStatus;
        }
    }
    // A case document is read no further than its limit (the reader then
    // refuses it); a 21-line case file of that size is read whole.
    hxrate::tools::InputFile input =
        hxrate::tools::readInputFile(casePath.string(), hxrate::caseDocumentLimitBytes + 1);
    if (input.bytes && input.bytes->size() > hxrate::caseDocumentLimitBytes &&
        !hxrate::looksLikeCaseDocument(*input.bytes))
        input = hxrate::tools::readInputFile(casePath.string());
    if (!input.bytes) throw unreadable(casePath, input.problem);
    const std::string& bytes = *input.bytes;
    if (caseJson) {
        std::string document;
        if (hxrate::looksLikeCaseDocument(bytes)) {
            hxrate::CaseDocument d = hxrate::parseCaseDocument(bytes, casePath.filename().string());
            document = hxrate::caseDocumentJson(d);  // with its property models
        } else {
            hxrate::CaseSource source;
            document = hxrate::caseDocumentJson(
                hxrate::parseCase(bytes, casePath.filename().string(), source));
        }
        const std::string file = outputFolder.empty() ? "-" : outputFolder;
        if (std::string problem = hxrate::tools::writeOutputFile(file, document);
            !problem.empty()) {
            complain(problem);
            return hxrate::tools::failureStatus;
        }
        return 0;
    }
    header.caseFile = casePath.filename().string();
    header.sha256 = hxrate::tools::sha256Hex(bytes);
    if (!date.empty()) {
        header.ratedAt = date;
    } else if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        // Reproducible builds' convention: whole seconds since 1970, UTC.
        char* end = nullptr;
        long long seconds = std::strtoll(epoch, &end, 10);
        if (*end != '\0' || seconds < 0) {
            complain({"SOURCE_DATE_EPOCH is not a number of seconds: ", epoch});
            return hxrate::tools::usageErrorStatus;
        }
        header.ratedAt = utcText(seconds);
    } else {
        header.ratedAt = utcText(std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
    }
    Report report = buildReport(bytes, casePath.string(), casePath.stem().string());

    // The folder is held open from here, so that both reports go into it.
    std::string problem;
    std::optional<hxrate::tools::OutputFolder> reports =
        hxrate::tools::OutputFolder::open(folder.string(), !outputFolder.empty(), problem);
    if (!reports) {
        complain(problem);
        return hxrate::tools::failureStatus;
    }
    const std::string jsonName = report.caseName + ".report.json";
    const std::string htmlName = report.caseName + ".report.html";
    const fs::path jsonPath = reports->pathOf(jsonName);
    const fs::path htmlPath = reports->pathOf(htmlName);
    const std::string json = reportText(report);
    const std::string page = reportHtml(report, header);
    for (const auto& [name, text] : {std::pair{jsonName, &json}, std::pair{htmlName, &page}}) {
        if (std::string failure = reports->write(name, *text); !failure.empty()) {
            complain(failure);
            return hxrate::tools::failureStatus;
        }
    }
    for (const auto& [file, text] : {std::pair{jsonCopy, &json}, std::pair{htmlCopy, &page}}) {
        if (file.empty()) continue;
        if (std::string failure = hxrate::tools::writeOutputFile(file, *text); !failure.empty()) {
            complain(failure);
            return hxrate::tools::failureStatus;
        }
    }

    const bool somethingOnStdout = jsonCopy == "-" || htmlCopy == "-";
    std::ostream& info = somethingOnStdout ? std::cerr : std::cout;
    info << hxrate::tools::escapedText(htmlPath.string()) << '\n'
         << hxrate::tools::escapedText(jsonPath.string()) << '\n';
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
