// Where report and log lines go: a file, a string, a test. Lines are handed
// over without their line ends; free-form lines are cut to the width the
// program's files use.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace hxrate {

// Receives one line at a time, without its line end.
using LineSink = std::function<void(std::string_view line)>;

// A sink that appends each line and CR LF to `out`.
LineSink appendLinesTo(std::string& out);

// Writes a text as free-form lines: pieces of 79 characters, each line one
// blank and the piece. An empty text gives a line holding one blank.
void writeFreeFormLine(const LineSink& sink, std::string_view text);

}  // namespace hxrate
