// Output files of a run: opened by name without cutting an existing file,
// cut only when the first line is written, every line ended by CR LF.
#pragma once

#include <string>
#include <string_view>

#include "format/line_sink.h"

namespace hxrate {

class TextOutputFile {
  public:
    // An output file in the working directory. Nothing is opened yet.
    explicit TextOutputFile(std::string name);
    // An output that collects its bytes in memory (tests, fuzzing).
    static TextOutputFile inMemory(std::string name);
    TextOutputFile(TextOutputFile&&) noexcept;
    TextOutputFile& operator=(TextOutputFile&&) = delete;
    TextOutputFile(const TextOutputFile&) = delete;
    ~TextOutputFile();

    // Creates the file when absent; keeps an existing one's content.
    // Throws ResourceError when the file cannot be opened for writing.
    void open();
    // Writes one line: the text and CR LF. The first line cuts the file.
    void writeLine(std::string_view text);
    // Writes out what is buffered and closes; a no-op when not open.
    // Throws ResourceError when the bytes cannot be written.
    void close();
    // Best effort close for the end of a failed run: never throws.
    void closeQuietly() noexcept;

    // A sink that writes each line to this file.
    LineSink sink() {
        return [this](std::string_view line) { writeLine(line); };
    }

    const std::string& name() const { return name_; }
    bool isOpen() const { return fd_ >= 0 || (inMemory_ && open_); }
    // The bytes written so far, for an in-memory output.
    const std::string& contents() const { return memory_; }

  private:
    void flush();

    std::string name_;
    int fd_ = -1;
    bool inMemory_ = false;
    bool open_ = false;
    bool truncated_ = false;
    std::string buffer_;
    std::string memory_;
};

// Writes a text to the file as free-form lines.
inline void writeFreeFormLine(TextOutputFile& file, std::string_view text) {
    writeFreeFormLine(file.sink(), text);
}

}  // namespace hxrate
