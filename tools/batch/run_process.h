// Running the hxrate program in a case folder as a process of its own: the
// crash-isolated way, and the way for cases that only the program itself
// handles exactly.
#pragma once

#include <cstdint>
#include <string>

#include "batch.h"

namespace hxrate::tools {

// The least data segment a child is given, whatever its share: enough for
// hxrate to start and rate a small case.
inline constexpr std::uint64_t minimumChildData = std::uint64_t{64} << 20;

// Runs `hxrate` (an absolute path) in `folder`, with its data segment
// (RLIMIT_DATA) limited to twice `storageLimitBytes` (hxrate takes half of
// it for the profile; at least minimumChildData, at most the limit this
// process has), waits for it and summarises what it
// left. Safe to call from several threads at once.
CaseSummary runAsProcess(const std::string& hxrate, const std::string& folder,
                         std::uint64_t storageLimitBytes);

// The hxrate program beside this one, or `given` resolved; empty when it
// cannot be run.
std::string locateHxrate(const std::string& given);

}  // namespace hxrate::tools
