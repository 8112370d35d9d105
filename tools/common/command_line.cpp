#include "command_line.h"

#include <hxrate/errors.h>
#include <hxrate/report.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "markup.h"

namespace hxrate::tools {
namespace {

const char* runningTool = "hxrate-tool";

// Writes straight to the descriptor: no allocation, so that it also works
// when the memory has run out.
void writeError(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

void complain(std::string_view text) {
    complain({text});
}

void complain(std::initializer_list<std::string_view> parts) {
    std::cerr.flush();
    writeError(runningTool);
    writeError(": ");
    // A name with a line break in it must not forge a line of its own.
    for (std::string_view part : parts) escapeControls(part, writeError);
    writeError("\n");
}

void addVersionFlag(CLI::App& app) {
    app.set_version_flag("--version", app.get_name() + " " + hxrate::version(),
                         "print the name and version and exit");
}

std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        complain(std::string(e.what()) + " (see " + app.get_name() + " --help)");
        return usageErrorStatus;
    }
    return std::nullopt;
}

std::string flushStandardOutput() {
    // std::cout writes through stdout (the streams are synchronised), so the
    // flush of stdout is the one that meets a failing write and its reason.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    std::cout.flush();
    if (flushed && !std::ferror(stdout) && std::cout.good()) return {};
    // A write that failed earlier left only the error flag, without a reason.
    return error != 0 ? std::strerror(error) : "a write failed";
}

int runTool(const char* name, int argc, char** argv, int (*body)(int, char**)) {
    runningTool = name;
    // Output to a file or pipe is written in one piece where it fits, so that
    // a write that fails does so in the final flush, which knows the reason.
    if (::isatty(STDOUT_FILENO) == 0) std::setvbuf(stdout, nullptr, _IOFBF, std::size_t{1} << 16);
    int status = failureStatus;
    try {
        status = body(argc, argv);
    } catch (const std::bad_alloc&) {
        // The program's resource error, as a ResourceError from the library reads.
        static_assert(hxrate::errorNumber::storageRefused == 30);
        complain("run-time error 30: not enough memory (the machine refused an allocation)");
        status = failureStatus;
    } catch (const hxrate::InvalidArgument& e) {
        // A value outside a method's domain (extensions of a case document,
        // a design function's argument) has no error number: named by its kind.
        complain({"invalid argument: ", e.what()});
        status = failureStatus;
    } catch (const hxrate::CaseRejected& e) {
        complain({"case rejected: ", e.message()});
        status = failureStatus;
    } catch (const hxrate::Error& e) {
        // Composed without allocating: the failure may be a lack of memory.
        char number[16];
        std::snprintf(number, sizeof number, "%d", e.code());
        complain({"run-time error ", number, ": ", e.what()});
        status = failureStatus;
    } catch (const std::exception& e) {
        complain(e.what());
        status = failureStatus;
    } catch (...) {
        complain("stopped by an unexpected failure");
        status = failureStatus;
    }
    try {
        if (std::string problem = flushStandardOutput(); !problem.empty()) {
            complain({"cannot write standard output: ", problem});
            // Drop what could not be written, so that exit does not try again.
            __fpurge(stdout);
            return failureStatus;
        }
    } catch (...) {
        return failureStatus;
    }
    return status;
}

}  // namespace hxrate::tools
