#include "cli/text_output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/failures.h"

namespace hxrate {
namespace {

// Lines are collected and written out in blocks of this size.
constexpr std::size_t bufferLimit = 64 * 1024;

// A temporary file is named ".NAME.partial-XXXXXX" beside the file NAME it
// replaces: hidden, never one of the program's file names, and recognisable
// by the next run as a leftover of a run killed part way.
constexpr std::string_view temporaryInfix = ".partial-";
constexpr std::size_t temporarySuffixLength = 6;

// Links followed before a path is taken as it is (the kernel's own limit).
constexpr int symbolicLinkLimit = 40;

[[noreturn]] void failWrite(const std::string& name, const char* what, int error) {
    throw ResourceError(errorNumber::fileNotWritable, std::string("cannot ") + what + " \"" + name +
                                                          "\": " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string temporaryPrefix(const std::string& target) {
    std::string folder = folderOf(target);
    std::string prefix = target.find('/') == std::string::npos ? "" : folder + "/";
    return prefix + "." + baseNameOf(target) + std::string(temporaryInfix);
}

// The file a path finally names: symbolic links followed, even when the last
// one points to a file that does not exist yet, so that it is created there.
std::string followLinks(std::string path) {
    for (int i = 0; i < symbolicLinkLimit; ++i) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1,
                         '\0');
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return path;
        link.resize(static_cast<std::size_t>(n));
        path = (link.front() == '/' || path.find('/') == std::string::npos)
                   ? link
                   : folderOf(path) + "/" + link;
    }
    return path;
}

// Six characters from the clock, the process and a counter: unique enough
// that O_EXCL rarely has to try again.
std::string temporarySuffix() {
    static std::uint64_t counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t x =
        static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
        (static_cast<std::uint64_t>(::getpid()) << 20) ^ (++counter * 0x9e3779b97f4a7c15);
    x ^= x >> 31;
    x *= 0xbf58476d1ce4e5b9;
    x ^= x >> 29;
    static constexpr char digits[] =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (std::size_t i = 0; i < temporarySuffixLength; ++i, x /= 62) suffix += digits[x % 62];
    return suffix;
}

int openNoInterrupt(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Makes a rename in `folder` survive a crash; best effort.
void syncFolder(const std::string& folder) {
    int fd = openNoInterrupt(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TextOutputFile::TextOutputFile(std::string name, std::string shownName)
    : name_(std::move(name)), shownName_(shownName.empty() ? name_ : std::move(shownName)) {}

TextOutputFile TextOutputFile::inMemory(std::string name) {
    TextOutputFile file(std::move(name));
    file.inMemory_ = true;
    return file;
}

TextOutputFile::TextOutputFile(TextOutputFile&& other) noexcept
    : name_(std::move(other.name_)),
      shownName_(std::move(other.shownName_)),
      target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      fd_(std::exchange(other.fd_, -1)),
      inMemory_(other.inMemory_),
      open_(std::exchange(other.open_, false)),
      targetExisted_(other.targetExisted_),
      wroteLine_(other.wroteLine_),
      syncToDisk_(other.syncToDisk_),
      keepCopy_(other.keepCopy_),
      buffer_(std::move(other.buffer_)),
      memory_(std::move(other.memory_)),
      copy_(std::move(other.copy_)),
      written_(std::move(other.written_)) {}

TextOutputFile::~TextOutputFile() {
    discard();
}

void TextOutputFile::open() {
    discard();
    wroteLine_ = false;
    if (inMemory_) {
        open_ = true;
        return;
    }
    target_ = followLinks(name_);
    struct stat info {};
    targetExisted_ = ::stat(target_.c_str(), &info) == 0;
    // Only a regular file is replaced; a device, a FIFO or a directory is
    // opened as it is (and a directory refused by the open).
    if (targetExisted_ && !S_ISREG(info.st_mode)) {
        int existing = openNoInterrupt(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (existing < 0) failWrite(shownName_, "open", errno);
        int flags = ::fcntl(existing, F_GETFL);
        if (flags >= 0) ::fcntl(existing, F_SETFL, flags & ~O_NONBLOCK);
        openInPlace(existing);
        return;
    }
    // A file that may not be written is refused, as opening it would be.
    if (targetExisted_ && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        failWrite(shownName_, "open", errno);

    const std::string prefix = temporaryPrefix(target_);
    int fd = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = prefix + temporarySuffix();
        fd = openNoInterrupt(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
        int error = errno;
        temporary_.clear();
        // A folder that forbids new files: an existing file that may be
        // written is rewritten in place, as a run always could.
        if (targetExisted_ && (error == EACCES || error == EPERM || error == EROFS)) {
            int existing = openNoInterrupt(target_.c_str(), O_WRONLY | O_CLOEXEC);
            if (existing < 0) failWrite(shownName_, "open", errno);
            openInPlace(existing);
            return;
        }
        failWrite(shownName_, "open", error);
    }
    if (targetExisted_) {
        // The new file takes the old one's owner (where allowed) and mode.
        if ((info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
            ::fchown(fd, info.st_uid, info.st_gid) != 0) {
            // Not the owner and not privileged: the file becomes this user's.
        }
        ::fchmod(fd, info.st_mode & 07777);
    }
    fd_ = fd;
    open_ = true;
}

void TextOutputFile::openInPlace(int fd) {
    // Nothing is cut until the first line: an opened file keeps its content.
    temporary_.clear();
    fd_ = fd;
    open_ = true;
}

void TextOutputFile::writeLine(std::string_view text) {
    // Written in place: the first line cuts the old content (a device has
    // none to cut).
    if (!wroteLine_ && !inMemory_ && temporary_.empty() && ::ftruncate(fd_, 0) != 0 &&
        errno != EINVAL) {
        int error = errno;
        discard();
        failWrite(shownName_, "cut", error);
    }
    wroteLine_ = true;
    buffer_.append(text);
    buffer_.append("\r\n");
    if (!inMemory_ && buffer_.size() >= bufferLimit) flush();
}

void TextOutputFile::flush() {
    if (keepCopy_) copy_.append(buffer_);
    const char* data = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            discard();
            failWrite(shownName_, "write", error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

void TextOutputFile::close() {
    if (!open_) return;
    if (inMemory_) {
        if (wroteLine_) memory_ = std::move(buffer_);
        buffer_.clear();
        open_ = false;
        return;
    }
    flush();
    commit();
}

void TextOutputFile::commit() {
    if (!temporary_.empty() && !wroteLine_ && targetExisted_) {
        discard();  // nothing written: the old file stays
        return;
    }
    if (syncToDisk_ && ::fsync(fd_) != 0 && errno != EINVAL) {
        int error = errno;
        discard();
        failWrite(shownName_, "write", error);
    }
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) {
        int error = errno;
        discard();
        failWrite(shownName_, "close", error);
    }
    if (!temporary_.empty()) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
            int error = errno;
            discard();
            failWrite(shownName_, "replace", error);
        }
        temporary_.clear();
        if (syncToDisk_) syncFolder(folderOf(target_));
    }
    if (keepCopy_) written_ = std::move(copy_);
    open_ = false;
}

void TextOutputFile::discard() noexcept {
    buffer_.clear();
    copy_.clear();
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    open_ = false;
}

void TextOutputFile::removeLeftovers() const noexcept {
    if (inMemory_) return;
    try {
        const std::string target = followLinks(name_);
        const std::string folder = folderOf(target);
        const std::string leftover = "." + baseNameOf(target) + std::string(temporaryInfix);
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) return;
        while (const dirent* entry = ::readdir(dir)) {
            std::string_view entryName(entry->d_name);
            if (entryName.size() == leftover.size() + temporarySuffixLength &&
                entryName.starts_with(leftover)) {
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
            }
        }
        ::closedir(dir);
    } catch (...) {
        // Out of memory for a path: the leftovers stay for a later run.
    }
}

}  // namespace hxrate
