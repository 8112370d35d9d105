// Running a case folder inside hxrate-batch through the library: the same
// files, bytes and outcome as the program leaves, without a process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "batch.h"

namespace hxrate::tools {

struct InProcessSettings {
    std::string hxrate;               // the program, for the folders it must run itself
    std::uint64_t storageLimitBytes;  // this worker's share of the grid storage
};

// Rates the case in `folder` and writes the results file and the run log
// as the program does, each replaced in one step. The program itself runs
// the folder instead when the case cannot be read (it checks the lines it
// has read before it reads the next, so it may reject a case that is
// malformed further on) and when a file name it writes is taken by a
// folder or another non-regular file. Safe to call from several threads.
CaseSummary runInProcess(const InProcessSettings& settings, const std::string& folder);

// The run log the program writes: after success; after a rejection with
// the check's message; after a failure with its diagnostic
// ("run-time error N: ...", one log line or more).
std::string successLog();
std::string rejectionLog(std::string_view message);
std::string failureLog(std::string_view diagnostic);

}  // namespace hxrate::tools
