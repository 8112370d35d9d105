// Output files of a run, every line ended by CR LF. A file is replaced
// whole: its lines go to a hidden temporary file beside it, which is flushed
// to disk and renamed over the old file once the last line is written, so a
// reader sees the old file or the new one, never a mix. Where the folder
// forbids creating a file but the file itself may be written, it is written
// in place instead, cut when the first line is written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "format/line_sink.h"

namespace hxrate {

class TextOutputFile {
  public:
    // An output file by name (a path), named in diagnostics by `shownName`
    // (the path itself when empty). Nothing is opened yet.
    explicit TextOutputFile(std::string name, std::string shownName = {});
    // An output that collects its bytes in memory (tests, fuzzing).
    static TextOutputFile inMemory(std::string name);
    TextOutputFile(TextOutputFile&&) noexcept;
    TextOutputFile& operator=(TextOutputFile&&) = delete;
    TextOutputFile(const TextOutputFile&) = delete;
    // Discards what was not closed: the old file stays as it was.
    ~TextOutputFile();

    // Makes ready to write: the file keeps its content until close().
    // Throws ResourceError when the file cannot be written.
    void open();
    // Writes one line: the text and CR LF.
    void writeLine(std::string_view text);
    // Writes out what is buffered, flushes it to disk and puts it in place of
    // the old file; a no-op when not open. A file opened and closed without a
    // line is created empty when absent and left as it was when present.
    // Throws ResourceError, leaving the old file intact, when the bytes
    // cannot be written.
    void close();
    // Drops what was written since open(), leaving the old file as it was.
    void discard() noexcept;

    // Removes temporary files that a run killed part way left beside this
    // file. Only for a caller that knows no other run is writing it.
    void removeLeftovers() const noexcept;

    // Whether close() flushes the file and its folder to disk before it
    // returns (the default); without, the file is still replaced whole, and
    // reaches the disk when the system writes it back.
    void setSyncToDisk(bool sync) { syncToDisk_ = sync; }
    // Whether the bytes put in place are kept for writtenBytes().
    void setKeepCopy(bool keep) { keepCopy_ = keep; }
    // The bytes the last close() put in place, when kept; nothing when the
    // file was left as it was.
    const std::optional<std::string>& writtenBytes() const { return written_; }

    // A sink that writes each line to this file.
    LineSink sink() {
        return [this](std::string_view line) { writeLine(line); };
    }

    const std::string& name() const { return name_; }
    bool isOpen() const { return open_; }
    // The bytes written so far, for an in-memory output.
    const std::string& contents() const { return memory_; }

  private:
    void flush();
    void commit();
    void openInPlace(int fd);

    std::string name_;
    std::string shownName_;
    std::string target_;     // the file replaced: name_ with symbolic links followed
    std::string temporary_;  // the file being written, empty when writing in place
    int fd_ = -1;
    bool inMemory_ = false;
    bool open_ = false;
    bool targetExisted_ = false;
    bool wroteLine_ = false;
    bool syncToDisk_ = true;
    bool keepCopy_ = false;
    std::string buffer_;
    std::string memory_;
    std::string copy_;                    // what was flushed so far, when kept
    std::optional<std::string> written_;  // what the last close() put in place
};

// Writes a text to the file as free-form lines.
inline void writeFreeFormLine(TextOutputFile& file, std::string_view text) {
    writeFreeFormLine(file.sink(), text);
}

}  // namespace hxrate
