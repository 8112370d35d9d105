// hxrate/case_files.h: reading a case file and a case document from disk.
// Part of hxrate::program (the engine reads the same text from memory:
// parseCase, parseCaseDocument); <hxrate/program.h> includes it.
#pragma once

#include <filesystem>
#include <string>

#include "hxrate/case.h"
#include "hxrate/case_document.h"

namespace hxrate {

// Reads the case file at `path`. Throws InputError, also for a file that
// is missing or cannot be read.
Case readCase(const std::filesystem::path& path);

// Reads the case document at `path` (a regular file), no further than one
// byte past caseDocumentLimitBytes. Throws InputError, also for a file that
// is missing or cannot be read.
CaseDocument readCaseDocument(const std::filesystem::path& path);

// The bytes of the case file or case document at `path` (a regular file),
// for a caller that tells the two apart with looksLikeCaseDocument(): a
// document is read no further than one byte past caseDocumentLimitBytes and
// refused beyond it; a case file is read whole. Throws InputError as
// readCase() does for a file that is missing or cannot be read, and
// ResourceError when the machine has no memory for it.
std::string readCaseText(const std::filesystem::path& path);

}  // namespace hxrate
