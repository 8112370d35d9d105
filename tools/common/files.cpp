#include "files.h"

#include <fcntl.h>
#include <hxrate/errors.h>
#include <hxrate/output_file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace hxrate::tools {
namespace {

// Links followed before a name is refused (the kernel's own limit).
constexpr int symbolicLinkLimit = 40;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

int openAt(int folder, const char* name, int flags) {
    int fd;
    do {
        fd = ::openat(folder, name, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Where a path finally leads: the entry `name` in `folder`, its own links
// followed one at a time and another user's link refused.
struct Place {
    Descriptor folder;
    std::string name;
    bool exists = false;
    struct stat info {};  // when it exists: what it is (never a link)
    std::string refusal;  // why it is not followed or cannot be reached; empty when it is
    int error = 0;        // the system's error behind the refusal; 0 for a link refused
};

Place failed(Place place, int error) {
    place.error = error;
    place.refusal = std::strerror(error);
    return place;
}

// `path` split into the folder that holds its last name, and that name.
std::pair<std::string, std::string> split(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    if (path == "/") return {"/", "."};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

Place locate(const std::string& path) {
    Place place;
    if (path.empty()) return failed(std::move(place), ENOENT);
    auto [folder, name] = split(path);
    place.folder = Descriptor(openAt(AT_FDCWD, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!place.folder) return failed(std::move(place), errno);
    place.name = std::move(name);
    std::string lastLink;  // the text of the link followed last
    for (int hop = 0;; ++hop) {
        struct stat info {};
        if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) return place;
            return failed(std::move(place), errno);
        }
        if (!S_ISLNK(info.st_mode)) {
            place.exists = true;
            place.info = info;
            return place;
        }
        // Another user's link could lead to any file this user may read or
        // write; only the user's own links are followed.
        if (info.st_uid != ::geteuid()) {
            const std::string owner = "another user (uid " + std::to_string(info.st_uid) + ")";
            place.refusal = hop == 0 ? "it is a symbolic link owned by " + owner + ", not followed"
                                     : "it leads to the symbolic link \"" + lastLink +
                                           "\" owned by " + owner + ", not followed";
            return place;
        }
        if (hop == symbolicLinkLimit) return failed(std::move(place), ELOOP);
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1,
                           '\0');
        const ssize_t n =
            ::readlinkat(place.folder.get(), place.name.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size())
            return failed(std::move(place), n < 0 ? errno : ENAMETOOLONG);
        target.resize(static_cast<std::size_t>(n));
        lastLink = target;
        auto [targetFolder, targetName] = split(target);
        if (target.find('/') != std::string::npos) {
            Descriptor next(
                openAt(place.folder.get(), targetFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!next) return failed(std::move(place), errno);
            place.folder = std::move(next);
        }
        place.name = std::move(targetName);
    }
}

}  // namespace

std::string foreignLinkRefusal(const std::string& path) {
    Place place = locate(path);
    return place.error == 0 ? place.refusal : std::string{};
}

InputFile readInputFile(const std::string& path, std::size_t readLimit) {
    InputFile file;
    Place place = locate(path);
    if (!place.refusal.empty()) {
        file.problem = std::move(place.refusal);
        file.missing = place.error == ENOENT || place.error == ENOTDIR;
        return file;
    }
    if (!place.exists) {
        file.problem = std::strerror(ENOENT);
        file.missing = true;
        return file;
    }
    // The name is opened without following a link, so that one planted
    // since it was looked at is refused; O_NONBLOCK keeps a FIFO from
    // holding up the open, and it is refused as not a regular file.
    Descriptor fd(openAt(place.folder.get(), place.name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        file.problem = error == ELOOP
                           ? "it became a symbolic link while it was opened, not followed"
                           : std::strerror(error);
        file.missing = error == ENOENT;
        return file;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        file.problem = std::strerror(errno);
        return file;
    }
    if (!S_ISREG(info.st_mode)) {
        file.problem = S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file";
        return file;
    }
    // Read by hand, not through a string stream: a stream that cannot grow
    // stops quietly and would hand back the start of the file as all of it.
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            file.problem = std::strerror(errno);
            return file;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > readLimit) break;
    }
    file.bytes = std::move(bytes);
    return file;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    return readInputFile(path).bytes;
}

std::string writeOutputFile(const std::string& path, std::string_view bytes) {
    try {
        hxrate::writeWholeFile(path, bytes);
        return {};
    } catch (const hxrate::ResourceError& e) {
        return e.what();
    }
}

std::string outputRefusal(const std::string& path) {
    if (path == "-") return {};
    const std::string refusal = foreignLinkRefusal(path);
    return refusal.empty() ? std::string{} : "cannot write \"" + path + "\": " + refusal;
}

std::optional<OutputFolder> OutputFolder::open(const std::string& path, bool create,
                                               std::string& problem) {
    std::error_code ignored;  // what cannot be made is found below
    if (create) std::filesystem::create_directories(path, ignored);
    Place place = locate(path);
    auto refuse = [&](const std::string& reason) {
        problem = "cannot write into \"" + path + "\": " + reason;
        return std::nullopt;
    };
    if (!place.refusal.empty()) return refuse(place.refusal);
    if (!place.exists) return refuse(std::strerror(ENOENT));
    if (!S_ISDIR(place.info.st_mode)) return refuse("it is not a folder");
    // O_NOFOLLOW: a link planted since the name was looked at is not followed.
    const int fd = openAt(place.folder.get(), place.name.c_str(),
                          O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return refuse(std::strerror(errno));
    return OutputFolder(fd, path);
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

OutputFolder::~OutputFolder() {
    if (fd_ >= 0) ::close(fd_);
}

std::string OutputFolder::pathOf(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
}

std::string OutputFolder::write(const std::string& name, std::string_view bytes) const {
    // The held folder is reached through its descriptor; messages name it
    // as the user gave it.
    const std::string held = "/proc/self/fd/" + std::to_string(fd_);
    struct stat info {};
    if (::stat(held.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return writeOutputFile(pathOf(name), bytes);  // no /proc: by name, checked again
    const std::string written = held + "/" + name;
    std::string problem = writeOutputFile(written, bytes);
    if (std::size_t at = problem.find(written); at != std::string::npos)
        problem.replace(at, written.size(), pathOf(name));
    return problem;
}

std::string OutputFolder::remove(const std::string& name) const {
    struct stat info {};
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::string{}
                               : "cannot remove \"" + pathOf(name) + "\": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "cannot remove \"" + pathOf(name) + "\": it is not a regular file";
    // unlinkat() never follows a link: at worst it removes one planted since.
    if (::unlinkat(fd_, name.c_str(), 0) != 0 && errno != ENOENT)
        return "cannot remove \"" + pathOf(name) + "\": " + std::strerror(errno);
    return {};
}

}  // namespace hxrate::tools
