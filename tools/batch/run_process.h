// Running the hxrate program in a case folder as a process of its own: the
// crash-isolated way, and the way for cases that only the program itself
// handles exactly.
#pragma once

#include <string>

#include "batch.h"

namespace hxrate::tools {

// Runs `hxrate` (an absolute path) in `folder`, waits for it and summarises
// what it left. Safe to call from several threads at once.
CaseSummary runAsProcess(const std::string& hxrate, const std::string& folder);

// The hxrate program beside this one, or `given` resolved; empty when it
// cannot be run.
std::string locateHxrate(const std::string& given);

}  // namespace hxrate::tools
