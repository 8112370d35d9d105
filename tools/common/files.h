// Files of the companion tools: whole-file reads, and writes through the
// module that writes every output file of the program and the tools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hxrate::tools {

// The whole content of a file, or nothing when it cannot be read. Throws
// std::bad_alloc when it does not fit in memory.
std::optional<std::string> readWholeFile(const std::string& path);

// Writes `bytes` as the whole of a tool's output file by the program's own
// rules (hxrate::writeWholeFile): "-" is standard output, a regular file is
// replaced whole, a device or FIFO is written in place, another user's link
// is refused. Returns an empty text, or what went wrong ("cannot open
// \"PATH\": REASON"); a file that was there is then as it was.
std::string writeOutputFile(const std::string& path, std::string_view bytes);

}  // namespace hxrate::tools
