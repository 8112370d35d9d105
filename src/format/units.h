// Quantities in the units users write: a unit's text (mm, bar, cP, t/h, degF,
// Btu/(h ft2 degF), ...) parsed and converted into a case field's SI unit.
// Parsing and conversion are UDUNITS-2's, Unidata's unit library.
#pragma once

#include <string>
#include <string_view>

namespace hxrate {

// What became of a quantity given in a unit of the user's.
struct UnitConversion {
    bool converted = false;  // false: `reason` says why not
    double value = 0;        // in the SI unit
    std::string reason;      // "not a unit of length", "not a unit this library knows"
};

// Converts `value`, given in `unit`, into `siUnit` (one of the documents'
// SI units: "m", "kg/m3", "Pa s", "W/(m K)", "J/(kg K)", "m3/s", "kg/s",
// "degC", "m2 K/W", "Pa", "W", "m/s"). A unit spelt exactly as `siUnit` keeps the value as it
// is, so a document in SI reads bit for bit as before. Temperatures convert
// as temperatures (degF to degC with its offset); a temperature inside a
// compound unit (Btu/(h ft2 degF)) is a difference. Safe on several threads.
UnitConversion convertToSi(double value, std::string_view unit, std::string_view siUnit);

// The dimension `siUnit` measures, in words ("length", "dynamic viscosity").
std::string_view dimensionOf(std::string_view siUnit);

}  // namespace hxrate
