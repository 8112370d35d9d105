// hxrate-batch FOLDER...: rates the case in every folder, several at a time,
// and writes one summary table of all the runs.
#include <fcntl.h>
#include <hxrate/program.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch.h"
#include "command_line.h"
#include "files.h"
#include "in_process.h"
#include "markup.h"
#include "run_process.h"
#include "schedule.h"

namespace {

using namespace hxrate::tools;

struct Options {
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    std::string summaryPath = "summary.csv";
    std::string hxrate;
    bool processes = false;
    std::vector<std::string> folders;
};

// Reads the command line; returns an exit status when the program is done.
std::optional<int> parseArguments(int argc, char** argv, Options& o) {
    CLI::App app(
        "Rates the case in every FOLDER (each holds one case file under its fixed\n"
        "name), N at a time on worker threads (default: one per processor), leaving\n"
        "in each folder the files hxrate leaves, and writes one row per folder, in\n"
        "the order given, to SUMMARY.csv (default: summary.csv). On a terminal a\n"
        "progress line shows how far the batch has come.\n"
        "\n"
        "A FOLDER that holds case.json and no case file, or a FOLDER that is a\n"
        "file, is a case document (JSON, with fouling, tube passes, shells and the\n"
        "shell-side method): it is rated with its extensions and writes no file.\n"
        "\n"
        "Exit status: 0 when every case ran, whatever its outcome; 1 when a case\n"
        "could not be run (no folder, no case file, a folder busy with another run)\n"
        "or the batch itself failed (the summary or standard output cannot be\n"
        "written, not enough memory); 2 for a wrong command line, including an\n"
        "hxrate that cannot be run and a summary that cannot go where -o says.",
        "hxrate-batch");
    app.add_option("-j", o.jobs, "runs at a time")->check(CLI::Range(1, 4096));
    app.add_option("-o", o.summaryPath,
                   "the summary table to write (default: summary.csv); - for standard output");
    app.add_option("--hxrate", o.hxrate,
                   "the hxrate program that --processes runs (default: the one beside "
                   "hxrate-batch)");
    app.add_flag("--processes", o.processes,
                 "run hxrate as a process of its own in every folder, so that a crash ends "
                 "one case only");
    app.add_option("FOLDER", o.folders, "case folders or case documents")->required();
    addVersionFlag(app);
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return status;
    // In process the library runs every folder; a program named is checked all the same.
    if (!o.processes && o.hxrate.empty()) return std::nullopt;
    std::string given = o.hxrate;
    o.hxrate = locateHxrate(given);
    if (o.hxrate.empty()) {
        complain(
            {"cannot run ", given.empty() ? "hxrate" : given, " (give its path with --hxrate)"});
        return usageErrorStatus;
    }
    return std::nullopt;
}

// Flushes the file system of every folder a case ran in, once for each file
// system. A folder not run holds nothing of the batch, nor does one that
// cannot be opened for reading (the program locks a folder through such an
// open, and writes nothing where it cannot); a case document named itself
// is a file the batch only reads.
bool syncFolders(const std::vector<CaseSummary>& results) {
    std::set<dev_t> synced;
    bool ok = true;
    for (const CaseSummary& s : results) {
        struct stat info {};
        if (s.outcome == Outcome::notRun || ::stat(s.folder.c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode) || synced.contains(info.st_dev))
            continue;
        const int fd = ::open(s.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        ::close(fd);
        if (hxrate::syncFileSystem(s.folder)) {
            synced.insert(info.st_dev);
        } else {
            ok = false;
        }
    }
    return ok;
}

std::string summaryTable(const std::vector<CaseSummary>& results) {
    std::string csv = csvHeader();
    for (const CaseSummary& s : results) csv += csvRow(s);
    return csv;
}

// Whether the summary can be written where it goes: a device or FIFO that
// is there is written in place, anything else is replaced in its folder.
bool summaryWritable(const std::string& path) {
    if (path == "-") return true;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return ::access(path.c_str(), W_OK) == 0;
    std::string folder = path.substr(0, path.rfind('/') + 1);
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

int batchMain(int argc, char** argv) {
    Options options;
    if (std::optional<int> status = parseArguments(argc, argv, options)) return *status;
    // The summary is written at the end; a place it cannot go is found now.
    // Another user's link there is refused as every tool refuses it (status
    // 1), only before any case runs.
    if (std::string refusal = outputRefusal(options.summaryPath); !refusal.empty()) {
        complain(refusal);
        return failureStatus;
    }
    if (!summaryWritable(options.summaryPath)) {
        complain({"cannot write ", options.summaryPath});
        return usageErrorStatus;
    }
    const BatchPlan plan = planBatch(options.folders);
    const unsigned workers = static_cast<unsigned>(
        std::min<std::size_t>(options.jobs, std::max<std::size_t>(1, plan.distinct.size())));

    // Workers, or the processes they start, share the grid storage, so that
    // one huge case cannot starve the others.
    const std::uint64_t share = hxrate::programStorageLimit() / workers;
    // A case document is rated here through the library, also with
    // --processes: the program reads case files only.
    FolderRunner run = [&](const std::string& folder) {
        // Another user's link is not followed, to a folder or a document.
        if (std::string refusal = foreignLinkRefusal(folder); !refusal.empty())
            return notRun(folder, refusal);
        if (std::optional<std::string> document = caseDocumentPath(folder))
            return rateCaseDocument(folder, *document, share);
        return options.processes ? runAsProcess(options.hxrate, folder, share)
                                 : runInProcess(share, folder);
    };

    // The progress line shares the terminal with the closing line.
    const bool summaryOnStdout = options.summaryPath == "-";
    std::ostream& console = summaryOnStdout ? std::cerr : std::cout;
    const bool terminal = ::isatty(summaryOnStdout ? STDERR_FILENO : STDOUT_FILENO) != 0;
    BatchProgress progress(plan.distinct.size());
    auto draw = [&] { console << '\r' << progress.line() << "\033[K" << std::flush; };
    auto showProgress = [&] {
        // Redrawn when a case ends, and every half second.
        while (!progress.waitForChange(std::chrono::milliseconds(500))) draw();
        draw();
        console << "\r\033[K" << std::flush;
    };
    if (terminal) draw();
    std::vector<CaseSummary> results = runBatch(
        plan, workers, run, progress, terminal ? std::function<void()>(showProgress) : nullptr);
    // In process the folders' files are flushed to disk once, here, not one
    // by one; a failure to flush is a failure to write them.
    if (!options.processes && !syncFolders(results)) {
        complain("the case folders' files could not be flushed to disk");
        return failureStatus;
    }

    if (std::string problem = writeOutputFile(options.summaryPath, summaryTable(results));
        !problem.empty()) {
        complain(problem);
        return failureStatus;
    }
    // The closing line goes to standard error when the table has standard output.
    console << summaryLine(results, progress.elapsedSeconds()) << "; "
            << (summaryOnStdout ? "summary" : escapedText(options.summaryPath)) << " written\n";
    bool allRan = true;
    for (const CaseSummary& s : results) {
        if (s.outcome != Outcome::notRun) continue;
        complain({s.folder, ": ", s.message});
        allRan = false;
    }
    return allRan ? 0 : failureStatus;
}

}  // namespace

int main(int argc, char** argv) {
    return runTool("hxrate-batch", argc, argv, batchMain);
}
