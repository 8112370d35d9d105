// The temperature profile of the report page as an inline SVG chart.
#pragma once

#include <string>

#include "analysis.h"

namespace hxrate::report {

// The chart of a solved rating's profile (at most 1500 nodes shown): both
// streams' temperatures along the tube, axes, inlets, arrows for the
// directions of flow and a legend. The profile must not be empty.
std::string profileSvg(const Report& r);

}  // namespace hxrate::report
