// One whole output file of a tool, written by the program's own module.
#include "hxrate/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/text_output_file.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

void writeStandardOutput(std::string_view bytes) {
    // What was printed before keeps its place ahead of these bytes.
    std::cout.flush();
    std::fflush(stdout);
    while (!bytes.empty()) {
        ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw ResourceError(
                errorNumber::fileNotWritable,
                std::string("cannot write standard output: ") + std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

void writeWholeFile(const std::filesystem::path& path, std::string_view bytes,
                    const WholeFileOptions& options) {
    if (path == "-") {
        writeStandardOutput(bytes);
        return;
    }
    TextOutputFile file(path.string());
    file.setSyncToDisk(options.syncToDisk);
    file.check();  // refused before anything is touched
    file.removeLeftovers();
    file.open();
    file.writeBytes(bytes);
    file.close();
}

}  // namespace hxrate
