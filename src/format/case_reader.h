// The case file: 21 case lines, each led by an integer label, read one at a
// time into CaseInput so that the model can check each part of the case
// before the next line is read.
#pragma once

#include "core/records.h"
#include "format/free_form_reader.h"
#include "hxrate/case.h"

namespace hxrate {

// Reads case line `caseLine` (1..21): its label, then its items into `in`;
// `source`, when given, receives the label and where the line stood.
void readCaseLine(FreeFormReader& reader, int caseLine, CaseInput& in,
                  CaseLineSource* source = nullptr);

}  // namespace hxrate
