// hxrate/case_files.h: reading a case file and a case document from disk.
// Part of hxrate::program (the engine reads the same text from memory:
// parseCase, parseCaseDocument); <hxrate/program.h> includes it.
#pragma once

#include <filesystem>

#include "hxrate/case.h"
#include "hxrate/case_document.h"

namespace hxrate {

// Reads the case file at `path`. Throws InputError, also for a file that
// is missing or cannot be read.
Case readCase(const std::filesystem::path& path);

// Reads the case document at `path` (a regular file). Throws InputError, also
// for a file that is missing or cannot be read.
CaseDocument readCaseDocument(const std::filesystem::path& path);

}  // namespace hxrate
