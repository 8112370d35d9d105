// Reading the first case lines of a case file whose later lines may be
// malformed or missing: tools want the exchanger type or the grid of a case
// that the program itself would not get through.
#pragma once

#include <hxrate/case.h>

#include <optional>
#include <string_view>

namespace hxrate::tools {

// The case with lines 1..`lines` read from `text` by the program's
// free-form rules and every later line left unset; nothing when one of
// those lines cannot be read.
std::optional<Case> leadingCaseLines(std::string_view text, int lines);

}  // namespace hxrate::tools
