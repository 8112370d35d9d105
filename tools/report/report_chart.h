// The charts of the report page as inline SVG: the temperatures and the
// properties the models gave along the tube, and the vibration screening.
#pragma once

#include <string>

#include "analysis.h"

namespace hxrate::report {

// The chart of a solved rating's profile (at most 1500 nodes shown): both
// streams' temperatures along the tube, axes, inlets, arrows for the
// directions of flow and a legend. The profile must not be empty.
std::string profileSvg(const Report& r);

// The charts of the properties along the tube, for a rating whose models
// formed them (propertiesAlong is not null): one stream's viscosity (the
// tube's or the shell's), and the shell-side wall temperature between both
// streams' temperatures.
std::string viscositySvg(const Report& r, bool tube);
std::string wallTemperatureSvg(const Report& r);

// The bar chart of each kind of span's V/V_crit (at most one bar a kind,
// inlet to outlet) with the screening's limit as a dashed line, labelled;
// a bar at or above the limit is drawn in the errors' red.
std::string vibrationSvg(const VibrationScreening& v);

}  // namespace hxrate::report
