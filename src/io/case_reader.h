// The case file: 21 case lines, each led by an integer label, read one at a
// time into CaseInput so that the model can check each part of the case
// before the next line is read.
#pragma once

#include <string>

#include "io/free_form_reader.h"
#include "model/records.h"

namespace hxrate {

inline constexpr const char* caseFileName = "48230007640350000606.txt";
inline constexpr int caseLineCount = 21;

// Opens the case file for reading; a missing one is created empty, as any
// file of the run is. Throws InputFailure when it cannot be read.
int openCaseFile(const std::string& name);

// Reads case line `caseLine` (1..21): its label, then its items into `in`.
void readCaseLine(FreeFormReader& reader, int caseLine, CaseInput& in);

}  // namespace hxrate
