// hxrate/report.h: the results report exactly as the program writes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hxrate/case.h"
#include "hxrate/rating.h"
#include "hxrate/version.h"  // version(), once declared here

namespace hxrate {

// The bytes of the results file for a rated case (lines end in CR LF).
// Throws InvalidArgument (argument "rating") for a rating that was not solved.
std::string resultsReportText(const Case& c, const Rating& rating);

// The report's title of an exchanger type; empty for a type outside 0..3.
std::string_view exchangerTitle(std::int32_t type);

// The exchanger named with its arrangement: the title of its type, with the
// tube passes in place of "Single-pass" and the shells in series after it
// ("Cross Flow Counter-current 2-pass Heat Exchanger, 2 shells in series");
// exchangerTitle()'s words for one pass in one shell, "type N" outside 0..3.
std::string exchangerName(std::int32_t type, int tubePasses = 1, int shells = 1);

}  // namespace hxrate
