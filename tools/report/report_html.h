// The report as one self-contained HTML page: inline style, the profile as
// inline SVG, no script, and a policy that forbids every network request.
#pragma once

#include <string>

#include "analysis.h"

namespace hxrate::report {

std::string reportHtml(const Report& r);

// A number as the page shows it: `digits` significant digits, or a dash
// when absent or not finite.
std::string formatNumber(std::optional<double> x, int digits = 4);

}  // namespace hxrate::report
