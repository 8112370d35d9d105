#include "cli/case_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/failures.h"

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

std::size_t DescriptorSource::read(char* buffer, std::size_t capacity) {
    if (!fd_ || failure_ != 0) return 0;
    for (;;) {
        const ssize_t got = ::read(fd_.get(), buffer, capacity);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            failure_ = errno;
            return 0;
        }
    }
}

}  // namespace hxrate
