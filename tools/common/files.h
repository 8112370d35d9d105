// Files and machine resources of the companion tools: whole-file reads,
// writes that replace a file in one step (a killed tool never leaves a
// file half written), and the memory a rating may take.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hxrate::tools {

// The whole content of a file, or nothing when it cannot be read. Throws
// std::bad_alloc when it does not fit in memory.
std::optional<std::string> readWholeFile(const std::string& path);

// Writes `bytes` to an output file of a tool: "-" is standard output; the
// rest follows the program's rules for its own files. Returns an empty text
// on success, otherwise why it failed (the system's reason).
std::string writeOutputFile(const std::string& path, std::string_view bytes);

// Writes `bytes` to a new file beside `path` and renames it over `path`.
// Returns an empty text on success, otherwise why it failed (the system's
// reason); `path` is then as it was.
std::string replaceFile(const std::string& path, std::string_view bytes);

}  // namespace hxrate::tools
