// The command-line conventions every companion tool follows: --help and
// --version print to standard output and end with status 0; a wrong command
// line prints what is wrong to standard error and ends with status 2.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>

namespace hxrate::tools {

// Exit status for a wrong command line.
inline constexpr int usageErrorStatus = 2;

// Adds --version (hxrate::version()) to `app`.
void addVersionFlag(CLI::App& app);

// Parses the command line; returns the exit status when the tool is done
// (help, version, or a wrong command line), nothing when it should run.
std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv);

}  // namespace hxrate::tools
