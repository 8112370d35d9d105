// The command-line conventions every companion tool follows: --help and
// --version print to standard output and end with status 0 (--version prints
// "NAME X.Y.Z"); every message to standard error starts with "NAME: "; a
// wrong command line ends with status 2; a failure of any other kind (out of
// memory, a file or standard output that cannot be written, an unexpected
// exception) prints one line and ends with status 1, never with an abort.
#pragma once

#include <CLI/CLI.hpp>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace hxrate::tools {

// Exit status for a failure of the tool itself (its input, memory, output).
inline constexpr int failureStatus = 1;
// Exit status for a wrong command line.
inline constexpr int usageErrorStatus = 2;

// Writes "NAME: text" and a line feed to standard error (NAME as runTool()
// was given it), each control character of the text escaped
// (escapeControls()), so that the message stays one line.
void complain(std::string_view text);
// The same with the text in parts; allocates nothing.
void complain(std::initializer_list<std::string_view> parts);

// Adds --version, printing "NAME X.Y.Z" with the library's version, to `app`.
void addVersionFlag(CLI::App& app);

// Parses the command line; returns the exit status when the tool is done
// (help, version, or a wrong command line), nothing when it should run.
std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv);

// Runs a tool's main body under the shared rules: an exception that escapes
// it (std::bad_alloc included) becomes one "NAME: ..." line and status 1,
// and standard output is flushed at the end; when it cannot be written the
// tool says "NAME: cannot write standard output: REASON" and ends with 1.
int runTool(const char* name, int argc, char** argv, int (*body)(int argc, char** argv));

// Flushes standard output; returns an empty text, or why it cannot be written.
std::string flushStandardOutput();

}  // namespace hxrate::tools
