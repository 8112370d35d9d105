#include "cli/text_output_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/failures.h"

namespace hxrate {
namespace {

// Lines are collected and written out in blocks of this size.
constexpr std::size_t bufferLimit = 64 * 1024;

[[noreturn]] void failWrite(const std::string& name, const char* what, int error) {
    throw ResourceError(errorNumber::fileNotWritable, std::string("cannot ") + what + " \"" + name +
                                                          "\": " + std::strerror(error));
}

}  // namespace

TextOutputFile::TextOutputFile(std::string name) : name_(std::move(name)) {}

TextOutputFile TextOutputFile::inMemory(std::string name) {
    TextOutputFile file(std::move(name));
    file.inMemory_ = true;
    return file;
}

TextOutputFile::TextOutputFile(TextOutputFile&& other) noexcept
    : name_(std::move(other.name_)),
      fd_(std::exchange(other.fd_, -1)),
      inMemory_(other.inMemory_),
      open_(std::exchange(other.open_, false)),
      truncated_(other.truncated_),
      buffer_(std::move(other.buffer_)),
      memory_(std::move(other.memory_)) {}

TextOutputFile::~TextOutputFile() {
    closeQuietly();
}

void TextOutputFile::open() {
    truncated_ = false;
    buffer_.clear();
    if (inMemory_) {
        open_ = true;
        return;
    }
    // No O_TRUNC: an existing file keeps its content until the first line.
    int fd;
    do {
        fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) failWrite(name_, "open", errno);
    fd_ = fd;
    open_ = true;
}

void TextOutputFile::writeLine(std::string_view text) {
    if (!truncated_) {
        if (inMemory_) {
            memory_.clear();
        } else if (::ftruncate(fd_, 0) != 0) {
            failWrite(name_, "cut", errno);
        }
        truncated_ = true;
    }
    buffer_.append(text);
    buffer_.append("\r\n");
    if (buffer_.size() >= bufferLimit) flush();
}

void TextOutputFile::flush() {
    if (inMemory_) {
        memory_.append(buffer_);
        buffer_.clear();
        return;
    }
    const char* data = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            buffer_.clear();
            failWrite(name_, "write", error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

void TextOutputFile::close() {
    if (!open_) return;
    flush();
    open_ = false;
    if (inMemory_) return;
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) failWrite(name_, "close", errno);
}

void TextOutputFile::closeQuietly() noexcept {
    try {
        close();
    } catch (...) {
        // The run is already ending with a failure of its own.
    }
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    open_ = false;
}

}  // namespace hxrate
