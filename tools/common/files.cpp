#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace hxrate::tools {
namespace {

// The file creation mask, read without setting it: umask() would change it
// for a moment under the feet of other threads.
mode_t processUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("Umask:"))
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::string& path) {
    // Read by hand, not through a string stream: a stream that cannot grow
    // stops quietly and would hand back the start of the file as all of it.
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (file.bad()) return std::nullopt;
    return bytes;
}

std::string writeOutputFile(const std::string& path, std::string_view bytes) {
    if (path == "-") {
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return std::cout ? std::string() : std::string("cannot write standard output");
    }
    return replaceFile(path, bytes);
}

std::string replaceFile(const std::string& path, std::string_view bytes) {
    // The temporary file is in the same folder, so that the rename stays on
    // one file system and is atomic.
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return std::string(std::strerror(error));
    };
    // mkstemp creates the file for its owner only; give it the mode a
    // newly created file has under the umask, as the program's files have.
    if (::fchmod(fd, 0666 & ~processUmask()) != 0) return fail(errno);
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno);
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}

}  // namespace hxrate::tools
