#include "cli/text_output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "core/failures.h"

namespace hxrate {
namespace {

// Lines are collected and written out in blocks of this size.
constexpr std::size_t bufferLimit = 64 * 1024;

// A temporary file is named ".NAME.partial-XXXXXX" beside the file NAME it
// replaces: hidden, never one of the program's file names, and recognisable
// as a leftover of a writer killed part way.
constexpr std::string_view temporaryInfix = ".partial-";
constexpr std::size_t temporarySuffixLength = 6;
constexpr std::string_view suffixDigits =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Links followed before a name is refused (the kernel's own limit).
constexpr int symbolicLinkLimit = 40;

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string temporaryPrefix(const std::string& name) {
    return "." + name + std::string(temporaryInfix);
}

// Six characters from the clock, the process and a counter: unique enough
// that O_EXCL rarely has to try again. The counter is shared by threads.
std::string temporarySuffix() {
    static std::atomic<std::uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t x = static_cast<std::uint64_t>(now.tv_nsec) ^
                      (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                      (static_cast<std::uint64_t>(::getpid()) << 20) ^
                      ((counter.fetch_add(1, std::memory_order_relaxed) + 1) * 0x9e3779b97f4a7c15);
    x ^= x >> 31;
    x *= 0xbf58476d1ce4e5b9;
    x ^= x >> 29;
    std::string suffix;
    for (std::size_t i = 0; i < temporarySuffixLength; ++i, x /= suffixDigits.size())
        suffix += suffixDigits[x % suffixDigits.size()];
    return suffix;
}

bool isLeftoverName(std::string_view entry, std::string_view prefix) {
    if (entry.size() != prefix.size() + temporarySuffixLength || !entry.starts_with(prefix))
        return false;
    for (char c : entry.substr(prefix.size()))
        if (suffixDigits.find(c) == std::string_view::npos) return false;
    return true;
}

int openAt(int folder, const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::openat(folder, name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Makes a rename or removal in `folder` survive a crash; best effort (a
// folder that may only be searched cannot be flushed).
void syncFolder(int folder) {
    if (folder >= 0) ::fsync(folder);
}

bool writeAll(int fd, std::string_view bytes, int& error) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

void UniqueFd::reset(int fd) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

UniqueFd openFolder(int at, const char* path) {
    int fd = openAt(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = openAt(at, path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    return UniqueFd(fd);
}

FilePlace locateFile(int folder, const std::string& name) {
    FilePlace place;
    place.folder.reset(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    auto failed = [&place](int error) {
        place.error = error;
        place.refusal = std::strerror(error);
        return std::move(place);
    };
    if (!place.folder) return failed(errno);
    place.name = name;
    std::string lastLink;  // the link followed last, as it reads
    for (int hop = 0;; ++hop) {
        if (place.name.empty() || place.name == "." || place.name == "..") return failed(EISDIR);
        struct stat info {};
        if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) return failed(errno);
            return place;
        }
        if (!S_ISLNK(info.st_mode)) {
            place.exists = true;
            place.info = info;
            return place;
        }
        // Another user's link could send the bytes anywhere this user may
        // write; only the user's own links are followed.
        if (info.st_uid != ::geteuid()) {
            std::string owner = "another user (uid " + std::to_string(info.st_uid) + ")";
            place.refusal = hop == 0 ? "it is a symbolic link owned by " + owner + ", not followed"
                                     : "it leads to the symbolic link \"" + lastLink +
                                           "\" owned by " + owner + ", not followed";
            return place;
        }
        if (hop == symbolicLinkLimit) return failed(ELOOP);
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1,
                           '\0');
        ssize_t n =
            ::readlinkat(place.folder.get(), place.name.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size())
            return failed(n < 0 ? errno : ENAMETOOLONG);
        target.resize(static_cast<std::size_t>(n));
        lastLink = target;
        std::size_t slash = target.rfind('/');
        if (slash != std::string::npos) {
            std::string folderPart = slash == 0 ? "/" : target.substr(0, slash);
            UniqueFd next = openFolder(place.folder.get(), folderPart.c_str());
            if (!next) return failed(errno);
            place.folder = std::move(next);
            target.erase(0, slash + 1);
        }
        place.name = std::move(target);
    }
}

void removeLeftoversIn(int folder, const std::string& name) noexcept {
    try {
        int listing = openAt(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listing < 0) return;  // a folder that may only be searched
        DIR* dir = ::fdopendir(listing);
        if (dir == nullptr) {
            ::close(listing);
            return;
        }
        const std::string prefix = temporaryPrefix(name);
        const uid_t user = ::geteuid();
        while (const dirent* entry = ::readdir(dir)) {
            if (!isLeftoverName(entry->d_name, prefix)) continue;
            struct stat seen {};
            if (::fstatat(::dirfd(dir), entry->d_name, &seen, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISREG(seen.st_mode) || seen.st_uid != user)
                continue;
            // A live writer holds a lock on its temporary file: only what
            // nobody holds is a leftover.
            UniqueFd file(openAt(::dirfd(dir), entry->d_name,
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            struct stat opened {};
            if (!file || ::fstat(file.get(), &opened) != 0 || !sameFile(seen, opened) ||
                ::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
                continue;
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
        ::closedir(dir);
    } catch (...) {
        // Out of memory for a name: the leftovers stay for a later run.
    }
}

TextOutputFile::TextOutputFile(std::string path, std::string shownName)
    : name_(std::move(path)), shownName_(shownName.empty() ? name_ : std::move(shownName)) {}

TextOutputFile::TextOutputFile(int folder, std::string name, std::string shownName)
    : name_(std::move(name)),
      shownName_(shownName.empty() ? name_ : std::move(shownName)),
      folder_(folder) {}

TextOutputFile TextOutputFile::inMemory(std::string name) {
    TextOutputFile file(std::move(name));
    file.inMemory_ = true;
    return file;
}

TextOutputFile::TextOutputFile(TextOutputFile&& other) noexcept
    : name_(std::move(other.name_)),
      shownName_(std::move(other.shownName_)),
      folder_(other.folder_),
      inMemory_(other.inMemory_),
      mode_(std::exchange(other.mode_, Mode::closed)),
      placeFolder_(std::move(other.placeFolder_)),
      placeName_(std::move(other.placeName_)),
      temporary_(std::move(other.temporary_)),
      fd_(std::move(other.fd_)),
      targetExisted_(other.targetExisted_),
      wroteLine_(other.wroteLine_),
      finished_(other.finished_),
      syncToDisk_(other.syncToDisk_),
      keepCopy_(other.keepCopy_),
      buffer_(std::move(other.buffer_)),
      memory_(std::move(other.memory_)),
      copy_(std::move(other.copy_)),
      written_(std::move(other.written_)),
      held_(std::move(other.held_)),
      machineRefused_(other.machineRefused_) {
    other.temporary_.clear();
}

TextOutputFile::~TextOutputFile() {
    discard();
}

void TextOutputFile::fail(const char* what, int error) {
    discard();
    throw ResourceError(
        errorNumber::fileNotWritable,
        std::string("cannot ") + what + " \"" + shownName_ + "\": " + std::strerror(error));
}

void TextOutputFile::cannotOpen(int error) const {
    throw ResourceError(errorNumber::fileNotWritable,
                        "cannot open \"" + shownName_ + "\": " + std::strerror(error));
}

void TextOutputFile::refuse(const std::string& reason) const {
    throw ResourceError(errorNumber::fileNotWritable,
                        "cannot write \"" + shownName_ + "\": " + reason);
}

FilePlace TextOutputFile::locate(bool linksOnly) const {
    std::string name = name_;
    UniqueFd pathFolder;
    int folder = folder_;
    if (folder < 0) {
        pathFolder = openFolder(AT_FDCWD, folderOf(name_).c_str());
        if (!pathFolder) {
            if (linksOnly) return {};
            cannotOpen(errno);
        }
        folder = pathFolder.get();
        name = baseNameOf(name_);
    }
    FilePlace place = locateFile(folder, name);
    if (!place.refusal.empty()) {
        if (place.error == 0) refuse(place.refusal);
        if (!linksOnly) cannotOpen(place.error);
    }
    return place;
}

void TextOutputFile::check() const {
    if (!inMemory_) locate(true);
}

void TextOutputFile::open() {
    discard();
    wroteLine_ = false;
    finished_ = false;
    written_.reset();
    if (inMemory_) {
        mode_ = Mode::memory;
        return;
    }
    FilePlace place = locate(false);
    if (place.exists) {
        const mode_t kind = place.info.st_mode;
        if (S_ISDIR(kind)) fail("open", EISDIR);
        if (!S_ISREG(kind) && !S_ISCHR(kind) && !S_ISFIFO(kind))
            refuse("it is neither a regular file, a character device nor a FIFO");
    }
    placeFolder_ = std::move(place.folder);
    placeName_ = std::move(place.name);
    targetExisted_ = place.exists;
    const int folder = placeFolder_.get();
    const struct stat& info = place.info;

    // A device or a FIFO is written as it is: never cut, never replaced.
    if (targetExisted_ && !S_ISREG(info.st_mode)) {
        fd_.reset(
            openAt(folder, placeName_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!fd_) fail("open", errno);
        int flags = ::fcntl(fd_.get(), F_GETFL);
        if (flags >= 0) ::fcntl(fd_.get(), F_SETFL, flags & ~O_NONBLOCK);
        mode_ = Mode::stream;
        return;
    }
    // A file that may not be written is refused, as opening it would be.
    if (targetExisted_ && ::faccessat(folder, placeName_.c_str(), W_OK, AT_EACCESS) != 0)
        fail("open", errno);

    const std::string prefix = temporaryPrefix(placeName_);
    int error = 0;
    for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
        temporary_ = prefix + temporarySuffix();
        UniqueFd fd(openAt(folder, temporary_.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd) {
            error = errno;
            if (error == EEXIST) continue;
            break;
        }
        // The lock tells a cleaner that the file is being written. One that
        // took the new file for a leftover before the lock leaves it
        // locked or removed: then another name is tried.
        struct stat mine {
        }, named{};
        bool locked = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        // (A file system without locks: no cleaner can take the file either.)
        if (locked && ::fstat(fd.get(), &mine) == 0 &&
            ::fstatat(folder, temporary_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameFile(mine, named)) {
            fd_ = std::move(fd);
        }
        error = EEXIST;
    }
    if (!fd_) {
        temporary_.clear();
        // A folder that forbids new files: an existing file that may be
        // written is rewritten in place, its new bytes collected first.
        if (targetExisted_ && (error == EACCES || error == EPERM || error == EROFS)) {
            fd_.reset(openAt(folder, placeName_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
            struct stat opened {};
            if (!fd_) fail("open", errno);
            if (::fstat(fd_.get(), &opened) != 0 || !sameFile(opened, info)) fail("open", EAGAIN);
            mode_ = Mode::inPlace;
            return;
        }
        fail("open", error);
    }
    if (targetExisted_) {
        // The new file takes the old one's owner (where allowed) and mode.
        if ((info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
            ::fchown(fd_.get(), info.st_uid, info.st_gid) != 0) {
            // Not the owner and not privileged: the file becomes this user's.
        }
        ::fchmod(fd_.get(), info.st_mode & 07777);
    }
    mode_ = Mode::replace;
}

void TextOutputFile::writeBytes(std::string_view bytes) {
    append(bytes, {});
}

void TextOutputFile::writeLine(std::string_view text) {
    append(text, "\r\n");
}

void TextOutputFile::append(std::string_view text, std::string_view end) {
    wroteLine_ = true;
    // Written in place, the whole file waits in memory until commit(): its
    // memory is taken from the budget.
    const std::size_t needed = buffer_.size() + text.size() + end.size();
    if (mode_ == Mode::inPlace && !makeRoom(buffer_, needed)) refuseMemory(needed);
    buffer_.append(text);
    buffer_.append(end);
    if ((mode_ == Mode::replace || mode_ == Mode::stream) && buffer_.size() >= bufferLimit) flush();
}

// Grows `text` (the buffer written in place, or the copy kept) to hold
// `needed` bytes, its new capacity taken from the budget before it is
// allocated: the reservation holds the capacities of those two. False,
// `text` as it was, when the budget or the machine refuses the memory.
bool TextOutputFile::makeRoom(std::string& text, std::size_t needed) noexcept {
    if (needed <= text.capacity()) return true;
    const std::size_t capacity = std::max(needed, 2 * text.capacity());
    const std::uint64_t held = (mode_ == Mode::inPlace ? buffer_.capacity() : 0) + copy_.capacity();
    if (!held_.reserve(held - text.capacity() + capacity)) return false;
    try {
        text.reserve(capacity);
    } catch (const std::bad_alloc&) {
        machineRefused_ = true;
        return false;
    }
    return true;
}

void TextOutputFile::refuseMemory(std::size_t needed) {
    constexpr std::uint64_t mebibyte = std::uint64_t{1} << 20;
    std::string reason;
    if (machineRefused_ || held_.budget() == nullptr) {
        reason = "the machine refused the memory for its text (" +
                 std::to_string((needed + mebibyte - 1) / mebibyte) + " MiB so far)";
    } else {
        const StorageBudget& budget = *held_.budget();
        const std::uint64_t taken = budget.reserved();
        const std::uint64_t left = taken < budget.limit() ? budget.limit() - taken : 0;
        reason = "its text needs more memory than the " + std::to_string(left / mebibyte) +
                 " MiB left of the limit of " + std::to_string(budget.limit() / mebibyte) + " MiB";
    }
    if (mode_ == Mode::inPlace) reason += " (its folder takes no new file: it is written in place)";
    discard();
    throw ResourceError(errorNumber::storageRefused,
                        "cannot write \"" + shownName_ + "\": " + reason);
}

void TextOutputFile::flush() {
    // A copy that does not fit is dropped: the file is written all the
    // same, and writtenBytes() tells nothing.
    if (keepCopy_ && !makeRoom(copy_, copy_.size() + buffer_.size())) {
        keepCopy_ = false;
        std::string().swap(copy_);
    }
    if (keepCopy_) copy_.append(buffer_);
    int error = 0;
    if (!writeAll(fd_.get(), buffer_, error)) fail("write", error);
    buffer_.clear();
}

// Reserves the blocks of the new content beyond what the file holds, so that
// a full disk is found before the old content is overwritten. The size stays:
// a killed run leaves the old file as it was.
void TextOutputFile::reserve() {
    if (buffer_.empty()) return;
    if (::fallocate(fd_.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(buffer_.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS && errno != EINTR)
        fail("write", errno);
}

void TextOutputFile::finish() {
    if (mode_ == Mode::closed || finished_) return;
    switch (mode_) {
        case Mode::replace:
            flush();
            if (syncToDisk_ && ::fsync(fd_.get()) != 0 && errno != EINVAL) fail("write", errno);
            break;
        case Mode::stream:
            flush();
            break;
        case Mode::inPlace:
            if (wroteLine_) reserve();
            break;
        default:
            break;
    }
    finished_ = true;
}

void TextOutputFile::withdraw() {
    finish();
    if (mode_ == Mode::replace && targetExisted_) {
        // Whatever the name holds now is what the rename would replace.
        if (::unlinkat(placeFolder_.get(), placeName_.c_str(), 0) != 0 && errno != ENOENT)
            fail("replace", errno);
        if (syncToDisk_) syncFolder(placeFolder_.get());
    } else if (mode_ == Mode::inPlace) {
        if (::ftruncate(fd_.get(), 0) != 0) fail("cut", errno);
        if (syncToDisk_ && ::fsync(fd_.get()) != 0) fail("write", errno);
        if (wroteLine_) reserve();
    }
}

void TextOutputFile::commit() {
    finish();
    switch (mode_) {
        case Mode::closed:
            return;
        case Mode::memory:
            if (wroteLine_) memory_ = std::move(buffer_);
            buffer_.clear();
            mode_ = Mode::closed;
            return;
        case Mode::replace:
            if (!wroteLine_ && targetExisted_) {
                discard();  // nothing written: the old file stays
                return;
            }
            if (::close(fd_.release()) != 0 && errno != EINTR) fail("close", errno);
            if (::renameat(placeFolder_.get(), temporary_.c_str(), placeFolder_.get(),
                           placeName_.c_str()) != 0)
                fail("replace", errno);
            temporary_.clear();
            if (syncToDisk_) syncFolder(placeFolder_.get());
            break;
        case Mode::inPlace: {
            if (!wroteLine_) {
                discard();  // nothing written: the old file stays
                return;
            }
            if (::lseek(fd_.get(), 0, SEEK_SET) != 0) fail("write", errno);
            int error = 0;
            if (!writeAll(fd_.get(), buffer_, error)) fail("write", error);
            if (::ftruncate(fd_.get(), static_cast<off_t>(buffer_.size())) != 0) fail("cut", errno);
            if (syncToDisk_ && ::fsync(fd_.get()) != 0) fail("write", errno);
            // The bytes written are the copy kept: moved, not doubled.
            if (keepCopy_) copy_ = std::move(buffer_);
            buffer_.clear();
            if (::close(fd_.release()) != 0 && errno != EINTR) fail("close", errno);
            break;
        }
        case Mode::stream:
            if (::close(fd_.release()) != 0 && errno != EINTR) fail("close", errno);
            break;
    }
    if (keepCopy_) written_ = std::move(copy_);
    copy_.clear();
    placeFolder_.reset();
    mode_ = Mode::closed;
}

void TextOutputFile::close() {
    finish();
    commit();
}

void TextOutputFile::discard() noexcept {
    machineRefused_ = false;
    // The memory goes too, for whatever the caller does next.
    std::string().swap(buffer_);
    std::string().swap(copy_);
    held_.reset();
    fd_.reset();
    if (!temporary_.empty() && placeFolder_) ::unlinkat(placeFolder_.get(), temporary_.c_str(), 0);
    temporary_.clear();
    placeFolder_.reset();
    mode_ = Mode::closed;
    finished_ = false;
}

void TextOutputFile::removeLeftovers() const noexcept {
    if (inMemory_) return;
    if (folder_ >= 0) {
        removeLeftoversIn(folder_, name_);
        return;
    }
    try {
        UniqueFd folder = openFolder(AT_FDCWD, folderOf(name_).c_str());
        if (folder) removeLeftoversIn(folder.get(), baseNameOf(name_));
    } catch (...) {
        // Out of memory for a path: the leftovers stay for a later run.
    }
}

}  // namespace hxrate
