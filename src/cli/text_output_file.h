// Output files of the program and the tools. A regular file is replaced
// whole: its bytes go to a hidden temporary file beside it, which is flushed
// to disk and renamed over the old file once complete, so a reader sees the
// old file or the new one, never a mix. Where the folder forbids creating a
// file but the file itself may be written, the new bytes are collected in
// memory, the space they need is reserved, and only then is the file
// overwritten. A character device or a FIFO is written as it is. A symbolic
// link is followed only when the effective user owns it; any other link, a
// directory or another kind of file is refused before anything is written.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "format/line_sink.h"
#include "hxrate/rating.h"

namespace hxrate {

// A file descriptor closed when it goes.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) noexcept;
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Opens a folder for reading (for fsync, listing and a lock), or, when it may
// only be searched, for use as a starting point of further names alone.
UniqueFd openFolder(int at, const char* path);

// Where a name in a folder finally leads. Symbolic links are followed one at
// a time, by the kernel for the folders on the way and here for the last
// name, each only when the effective user owns it: the file is then the
// entry `name` in `folder`.
struct FilePlace {
    UniqueFd folder;      // the folder holding the file
    std::string name;     // its name there
    bool exists = false;  // whether there is such an entry
    struct stat info {};  // what it is, when it exists (never a link)
    std::string refusal;  // why the name is not followed; empty when it is
    int error = 0;        // the system's error behind the refusal; 0 for a link refused
};
FilePlace locateFile(int folder, const std::string& name);

// Removes what a writer killed part way left beside the file `name` in
// `folder`: entries named ".NAME.partial-" and six letters or digits that
// are regular files of the effective user and that no live writer holds.
void removeLeftoversIn(int folder, const std::string& name) noexcept;

class TextOutputFile {
  public:
    // An output file by path, named in diagnostics by `shownName` (the path
    // itself when empty). Nothing is opened yet.
    explicit TextOutputFile(std::string path, std::string shownName = {});
    // The file `name` in an open folder, which must outlive this object.
    TextOutputFile(int folder, std::string name, std::string shownName);
    // An output that collects its bytes in memory (tests, fuzzing).
    static TextOutputFile inMemory(std::string name);
    TextOutputFile(TextOutputFile&&) noexcept;
    TextOutputFile& operator=(TextOutputFile&&) = delete;
    TextOutputFile(const TextOutputFile&) = delete;
    // Discards what was not put in place: the old file stays as it was.
    ~TextOutputFile();

    // Throws ResourceError when the name is a symbolic link open() would
    // not follow (another user's); touches nothing.
    void check() const;
    // Makes ready to write: the file keeps its content until commit().
    // Throws ResourceError when the file cannot be written.
    void open();
    // Writes one line: the text and CR LF.
    void writeLine(std::string_view text);
    // Writes bytes as they are.
    void writeBytes(std::string_view bytes);

    // Writing a file in three steps lets a caller change two files together.
    // finish(): every byte written and flushed to disk, or the space reserved
    // when the file is written in place; the old file is still as it was.
    void finish();
    // withdraw(): after finish(), takes the old file out of the way so that
    // it no longer says anything: removes it (replaced whole) or empties it
    // (written in place). A device or a FIFO keeps what it received.
    void withdraw();
    // commit(): after finish(), puts the new bytes in place of the old file.
    // A file opened and given no line is created empty when absent and left
    // as it was when present.
    void commit();
    // finish() and commit().
    void close();
    // Each step throws ResourceError when the bytes cannot be written; the
    // file is then discarded, and, before commit(), the old file intact.

    // Drops what was written since open(), leaving the old file as it was.
    void discard() noexcept;

    // Removes temporary files that writers killed part way left beside this
    // file, in the folder that holds its name (never beside a link's target).
    void removeLeftovers() const noexcept;

    // Whether finish() and commit() flush the file and its folder to disk
    // (the default); without, the file is still replaced whole, and reaches
    // the disk when the system writes it back.
    void setSyncToDisk(bool sync) { syncToDisk_ = sync; }
    // Whether the bytes put in place are kept for writtenBytes().
    void setKeepCopy(bool keep) { keepCopy_ = keep; }
    // Where the memory of the bytes held whole (a file written in place, a
    // copy kept) comes from; null: the machine alone. A file written in
    // place whose text needs more than is left, or than the machine gives,
    // is refused with a ResourceError (errorNumber::storageRefused) and
    // discarded; a copy that does not fit is dropped (writtenBytes() then
    // tells nothing).
    void setStorageBudget(StorageBudget* budget) { held_ = StorageReservation(budget); }
    // The bytes the last commit() put in place, when kept; nothing when the
    // file was left as it was.
    const std::optional<std::string>& writtenBytes() const { return written_; }

    // A sink that writes each line to this file.
    LineSink sink() {
        return [this](std::string_view line) { writeLine(line); };
    }

    const std::string& name() const { return name_; }
    bool isOpen() const { return mode_ != Mode::closed; }
    // Whether finish() has run since open().
    bool isFinished() const { return finished_; }
    // Whether the file is being written in place of the old one.
    bool writesInPlace() const { return mode_ == Mode::inPlace; }
    // The bytes written so far, for an in-memory output.
    const std::string& contents() const { return memory_; }

  private:
    enum class Mode { closed, memory, replace, inPlace, stream };

    FilePlace locate(bool linksOnly) const;
    [[noreturn]] void fail(const char* what, int error);
    [[noreturn]] void refuse(const std::string& reason) const;
    [[noreturn]] void cannotOpen(int error) const;
    void flush();
    void reserve();
    void append(std::string_view text, std::string_view end);
    bool makeRoom(std::string& text, std::size_t needed) noexcept;
    [[noreturn]] void refuseMemory(std::size_t needed);

    std::string name_;       // a path, or a name in folder_
    std::string shownName_;  // the name in diagnostics
    int folder_ = -1;        // the folder of name_, not owned; -1 for a path
    bool inMemory_ = false;
    Mode mode_ = Mode::closed;
    UniqueFd placeFolder_;   // the folder of the file written
    std::string placeName_;  // its name there
    std::string temporary_;  // the temporary file in placeFolder_, when replacing
    UniqueFd fd_;
    bool targetExisted_ = false;
    bool wroteLine_ = false;
    bool finished_ = false;
    bool syncToDisk_ = true;
    bool keepCopy_ = false;
    std::string buffer_;
    std::string memory_;
    std::string copy_;                    // what was flushed so far, when kept
    std::optional<std::string> written_;  // what the last commit() put in place
    StorageReservation held_;             // the memory of buffer_ and copy_
    bool machineRefused_ = false;         // the last refusal was the machine's
};

// Writes a text to the file as free-form lines.
inline void writeFreeFormLine(TextOutputFile& file, std::string_view text) {
    writeFreeFormLine(file.sink(), text);
}

}  // namespace hxrate
