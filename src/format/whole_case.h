// A whole case read through a free-form reader: the 21 case lines, then the
// reader closed. One reading for case text in memory and case files alike.
#pragma once

#include "format/free_form_reader.h"
#include "hxrate/case.h"

namespace hxrate {

// Reads case lines 1 to 21 from `reader` and closes it; `source`, when
// given, receives where each line stood. The case keeps the text read
// (Case::origin). Throws InputError.
Case readWholeCase(FreeFormReader& reader, CaseSource* source = nullptr);

}  // namespace hxrate
