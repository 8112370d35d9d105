// Files of the companion tools: inputs read by the rules the program keeps
// for its case file, and outputs written through the module that writes
// every output file of the program and the tools.
//
// The tools run where other users may plant names: a name whose last part
// is a symbolic link is followed only when the effective user owns the link
// (and every link it leads to), as the program follows the names of its own
// files; folders on the way are followed as the system follows them. An
// input must be a regular file: a FIFO, a device or a folder is refused
// without waiting on it, and nothing of a refused file is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace hxrate::tools {

// Why the name `path` is not followed: "it is a symbolic link owned by
// another user (uid N), not followed", or "it leads to the symbolic link
// \"T\" owned by another user (uid N), not followed"; empty when it is
// followed (not a link, the user's own links, or no such name).
std::string foreignLinkRefusal(const std::string& path);

// A file a tool reads: a case file, a case document, a results file, a run log.
struct InputFile {
    std::optional<std::string> bytes;  // the whole content, when it was read
    std::string problem;   // why it was not: a refusal above, "it is not a regular file",
                           // "it is a directory" or the system's reason
    bool missing = false;  // there is no file of that name (problem is the system's)
};

// Reads the whole of the regular file at `path`, refusing it as said above;
// past `readLimit` bytes it stops, handing back what it read (one byte more
// than a reader with that limit takes, so that the reader refuses it).
// Throws std::bad_alloc when it does not fit in memory.
InputFile readInputFile(const std::string& path, std::size_t readLimit = SIZE_MAX);

// The same, keeping only the bytes: nothing when the file is refused or
// cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// Writes `bytes` as the whole of a tool's output file by the program's own
// rules (hxrate::writeWholeFile): "-" is standard output, a regular file is
// replaced whole, a device or FIFO is written in place, another user's link
// is refused. Returns an empty text, or what went wrong ("cannot open
// \"PATH\": REASON"); a file that was there is then as it was.
std::string writeOutputFile(const std::string& path, std::string_view bytes);

// Why the output file `path` will be refused, found before any work is
// done: "cannot write \"PATH\": REASON" for another user's link (or a name
// leading to one); empty for "-" and for a name that may be written.
std::string outputRefusal(const std::string& path);

// A folder a tool writes its files into, held open from the moment its name
// was checked, so that the name changed afterwards (to a link, say) cannot
// send the files elsewhere.
class OutputFolder {
  public:
    // Opens the folder `path`, creating it and the folders on the way when
    // `create` and it is missing. Nothing, with `problem` set ("cannot write
    // into \"PATH\": REASON"), when it is another user's link (or leads to
    // one), not a folder, or cannot be opened or made.
    static std::optional<OutputFolder> open(const std::string& path, bool create,
                                            std::string& problem);
    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&&) = delete;
    ~OutputFolder();

    // The file `name` in the folder as messages name it: PATH/name.
    std::string pathOf(const std::string& name) const;
    // writeOutputFile() for the file `name` in this folder.
    std::string write(const std::string& name, std::string_view bytes) const;
    // Removes the regular file `name` from this folder, one an earlier run
    // left that would now mislead; anything else of that name (a link, a
    // device) is left alone. Returns an empty text when it is gone or never
    // was, else what went wrong ("cannot remove \"PATH\": REASON").
    std::string remove(const std::string& name) const;

  private:
    OutputFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

}  // namespace hxrate::tools
