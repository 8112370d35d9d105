// One colour per fluid, the same in every picture the tools draw (the
// report's profile chart and hxrate-plot's image).
#pragma once

namespace hxrate::tools {

inline constexpr const char* tubeColour = "#c0392b";
inline constexpr const char* shellColour = "#2471a3";
// The wall between them, where the report draws it.
inline constexpr const char* wallColour = "#7d3c98";

}  // namespace hxrate::tools
