// Running a case folder inside hxrate-batch through the library: the
// program's own run, in this process, with the same files, bytes and outcome.
#pragma once

#include <cstdint>
#include <string>

#include "batch.h"

namespace hxrate::tools {

// Runs the program in `folder` within this process (hxrate::runProgramIn)
// and summarises it as a run of the program's process would be.
// `storageLimitBytes` is this worker's share of the grid storage. Safe to
// call from several threads for different folders.
CaseSummary runInProcess(std::uint64_t storageLimitBytes, const std::string& folder);

}  // namespace hxrate::tools
