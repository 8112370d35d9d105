// The case file: 21 case lines, each led by an integer label, read one at a
// time into CaseInput so that the model can check each part of the case
// before the next line is read.
#pragma once

#include <string>

#include "core/records.h"
#include "format/free_form_reader.h"
#include "hxrate/case.h"

namespace hxrate {

// Opens a case file for reading. Throws InputError when it is missing or
// cannot be read.
int openCaseFile(const std::string& name);
// The same for the file `fileName` in an open folder, named `name` in
// diagnostics; `extraFlags` are added to the open (O_NOFOLLOW).
int openCaseFileAt(int folder, const std::string& fileName, const std::string& name,
                   int extraFlags = 0);

// Reads case line `caseLine` (1..21): its label, then its items into `in`;
// `source`, when given, receives the label and where the line stood.
void readCaseLine(FreeFormReader& reader, int caseLine, CaseInput& in,
                  CaseLineSource* source = nullptr);

}  // namespace hxrate
