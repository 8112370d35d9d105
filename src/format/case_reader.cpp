#include "format/case_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/failures.h"
#include "hxrate/case_fields.h"

namespace hxrate {
namespace {

[[noreturn]] void unreadable(const std::string& name, const std::string& reason) {
    throw InputError(errorNumber::caseFileUnreadable,
                     "cannot read the case file \"" + name + "\": " + reason, name);
}

}  // namespace

int openCaseFile(const std::string& name) {
    return openCaseFileAt(AT_FDCWD, name, name);
}

int openCaseFileAt(int folder, const std::string& fileName, const std::string& name,
                   int extraFlags) {
    // O_NONBLOCK keeps a FIFO of that name from blocking the open; it is
    // refused below as not a regular file.
    int fd = ::openat(folder, fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | extraFlags);
    if (fd < 0 && errno == EISDIR) unreadable(name, "it is a directory");
    if (fd < 0) unreadable(name, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        unreadable(name, S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file");
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

void readCaseLine(FreeFormReader& reader, int caseLine, CaseInput& in, CaseLineSource* source) {
    std::int32_t label = 0;  // read, never checked
    std::vector<ReadItem> items{{&label, "label"}};
    // Lines 12, 14, 17 and 20 carry only their label.
    for (const CaseField& f : caseFields) {
        if (f.caseLine != caseLine) continue;
        switch (f.kind) {
            case CaseFieldKind::quantity:
            case CaseFieldKind::number:
                items.push_back({&f.real(in), f.label});
                break;
            case CaseFieldKind::integer:
                items.push_back({&f.integer(in), f.label});
                break;
            case CaseFieldKind::text:
                items.push_back({&f.text(in), f.label});
                break;
        }
    }
    reader.read(caseLine, items);
    if (source != nullptr) {
        ReadSpan span = reader.lastSpan();
        *source = {label, span.firstLine, span.lastLine, span.endColumn};
    }
}

}  // namespace hxrate
