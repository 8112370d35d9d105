// Reading a case from disk: the case file and the case document. They open
// and read files, so they belong to the program's layer; the engine reads
// the same text from memory (parseCase, parseCaseDocument).
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "cli/case_file_source.h"
#include "format/free_form_reader.h"
#include "format/whole_case.h"
#include "hxrate/case.h"
#include "hxrate/case_document.h"
#include "hxrate/case_files.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

constexpr std::size_t largestDocument = 16u << 20;  // bytes read from a file

}  // namespace

Case readCase(const std::filesystem::path& path) {
    FreeFormReader reader(
        path.string(), std::make_unique<DescriptorSource>(UniqueFd(openCaseFile(path.string()))));
    return readWholeCase(reader);
}

CaseDocument readCaseDocument(const std::filesystem::path& path) {
    std::string name = path.string();
    int fd = openCaseFile(name);
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            ::close(fd);
            throw InputError(
                errorNumber::caseFileUnreadable,
                "cannot read the case document \"" + name + "\": " + std::strerror(error), name);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > largestDocument) {
            ::close(fd);
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case document \"" + name +
                                 "\": larger than a case document can be (16 MiB)",
                             name);
        }
    }
    ::close(fd);
    return parseCaseDocument(text, name);
}

}  // namespace hxrate
