// What the tools' SVG charts share: round axis steps and coordinates.
#pragma once

#include <string>
#include <vector>

namespace hxrate::tools {

// Round steps for an axis: 1, 2 or 5 times a power of ten, from at or below
// `low` to at or above `high`, about `wanted` of them.
std::vector<double> ticks(double low, double high, int wanted);

// A coordinate with two decimals.
std::string svgNumber(double x);

}  // namespace hxrate::tools
