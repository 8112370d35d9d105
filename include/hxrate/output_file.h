// hxrate/output_file.h: writes a tool's output file by the rules the hxrate
// program keeps for its own files, so that every tool writes the same way.
// Link hxrate::program.
#pragma once

#include <filesystem>
#include <string_view>

namespace hxrate {

struct WholeFileOptions {
    // Flush the file and its folder to disk before returning; without, the
    // file is still replaced whole and reaches the disk when the system
    // writes it back (a caller that writes many files may flush once).
    bool syncToDisk = true;
};

// Writes `bytes` as the whole content of the file at `path`:
// - "-": to standard output (what the C and C++ streams hold is flushed first);
// - a regular file, or none: a hidden temporary ".NAME.partial-XXXXXX"
//   beside it is written, flushed and renamed over it, keeping the old file's
//   mode (and owner, where allowed); where the folder forbids new files, a
//   writable file is overwritten in place once the space is reserved;
// - a character device or a FIFO: written as it is, never cut or replaced;
// - a symbolic link: followed only when the effective user owns it;
// - a directory, another user's link or any other kind: refused.
// Temporary files of this file that a killed writer left are removed first
// (regular files of this user that no live writer holds).
// Throws hxrate::ResourceError (code errorNumber::fileNotWritable) whose
// what() names the path and the system's reason; the old file is then intact.
void writeWholeFile(const std::filesystem::path& path, std::string_view bytes,
                    const WholeFileOptions& options = {});

}  // namespace hxrate
