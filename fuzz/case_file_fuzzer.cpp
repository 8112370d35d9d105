// libFuzzer entry: the input bytes are the case file. They go through the
// same run as the program's — reading, model, solver, results report and
// run log — with every file kept in memory. runCase must turn whatever the
// bytes hold into an outcome; an exception escaping it, a crash or a
// sanitizer report is a fault, and so is an outcome that breaks the rules
// every run keeps (checked below). The library's own way to the case,
// parseCase() and rate(), must agree with the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "cli/driver.h"
#include "cli/text_output_file.h"
#include "core/messages.h"
#include "format/results_report.h"
#include "fuzz_targets.h"
#include "hxrate/hxrate.h"

namespace {

using namespace hxrate;

// Caps for fuzzing only, so that one input stays within the fuzzer's time
// and memory limits; the program uses half the machine's memory and its own
// pass limit.
constexpr RunLimits fuzzLimits{.profileStorageBytes = 64 * 1024, .shootingPassLimit = 200};

[[noreturn]] void fault(std::string_view what, std::string_view detail = {}) {
    std::fprintf(stderr, "case_file_fuzzer: %.*s%s%.*s\n", static_cast<int>(what.size()),
                 what.data(), detail.empty() ? "" : ": ", static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

bool startsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string logLine(std::string_view message) {
    return " " + std::string(message) + "\r\n";
}

// The three ways a run may end, as seen from outside.
void checkOutcome(const RunOutcome& o, const RunFiles& files) {
    const std::string& log = files.log.contents();
    const std::string& results = files.results.contents();
    if (o.exitStatus != 0 || !o.standardOutput.empty()) {
        // No report is written unless the whole run succeeds.
        if (!results.empty()) fault("results report written by a run that did not succeed");
    }
    if (o.exitStatus == 1) {
        // A run failure: a diagnostic on standard error, recorded in the log
        // and followed there by the termination line.
        if (!o.standardOutput.empty()) fault("failure with standard output", o.standardOutput);
        if (!startsWith(o.standardError, "run-time error ") || !endsWith(o.standardError, "\n")) {
            fault("failure diagnostic malformed", o.standardError);
        }
        if (!startsWith(log, " run-time error ") ||
            !endsWith(log, logLine(messages::calculationTerminated))) {
            fault("failure log", log);
        }
        return;
    }
    if (o.exitStatus != 0) fault("exit status neither 0 nor 1");
    if (!o.standardError.empty()) fault("standard error on exit status 0", o.standardError);
    if (o.standardOutput.empty()) {
        // Success: the report and the one log line.
        if (log != logLine(messages::calculationSucceeded)) fault("success log", log);
        if (results.empty() || !endsWith(results, "\r\n")) fault("success results", results);
    } else {
        // Rejection: the console line, the log ending in the termination line.
        if (o.standardOutput != "Stop - Program terminated.\n") {
            fault("rejection standard output", o.standardOutput);
        }
        if (!endsWith(log, logLine(messages::calculationTerminated)) ||
            log.size() <= logLine(messages::calculationTerminated).size()) {
            fault("rejection log", log);
        }
    }
}

// The library's way to the same case: reading it whole, then rate(). Where
// the program succeeded, the library must give the same report; the exact
// shooting must end in a rating or an error of the library, whatever the case.
void checkLibrary(std::string_view bytes, const RunOutcome& o, const RunFiles& files) {
    Case c;
    try {
        CaseSource source;
        c = parseCase(bytes, caseFileName, source);
    } catch (const InputError&) {
        return;  // the program may have stopped before the bad line
    }
    RateOptions options{.passLimit = fuzzLimits.shootingPassLimit,
                        .storageLimitBytes = fuzzLimits.profileStorageBytes};
    const bool programRated = o.exitStatus == 0 && o.standardOutput.empty();
    try {
        Rating r = rate(c, options);
        if (!programRated) fault("the library rated a case the program did not");
        if (resultsReportText(c, r) != files.results.contents())
            fault("the library's report differs from the program's");
    } catch (const Error& e) {
        if (programRated) fault("the library refused a case the program rated", e.what());
    }
    try {
        options.shooting = ShootingMethod::exact;
        rate(c, options);
    } catch (const Error&) {
        // Any rejection or failure of the library is an answer.
    }
}

}  // namespace

int hxrate::fuzz::caseFile(const std::uint8_t* data, std::size_t size) {
    RunFiles files{TextOutputFile::inMemory(runLogName), TextOutputFile::inMemory(resultsFileName),
                   std::string_view(reinterpret_cast<const char*>(data), size)};
    RunOutcome outcome;
    try {
        outcome = runCase(files, fuzzLimits);
    } catch (const std::exception& e) {
        fault("exception escaped the run", e.what());
    } catch (...) {
        fault("exception of unknown type escaped the run");
    }
    checkOutcome(outcome, files);
    try {
        checkLibrary(std::string_view(reinterpret_cast<const char*>(data), size), outcome, files);
    } catch (const std::exception& e) {
        fault("exception escaped the library", e.what());
    }
    return 0;
}

#ifdef HXRATE_LIBFUZZER_ENTRY
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return hxrate::fuzz::caseFile(data, size);
}
#endif
