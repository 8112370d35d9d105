// hxrate/measured_exchanger.h: an exchanger in service as a JSON document:
// its case document and the outlet temperatures measured on it, for findFouling().
#pragma once

#include <string_view>

#include "hxrate/exchanger.h"
#include "hxrate/monitoring.h"

namespace hxrate {

// What a measured exchanger document holds.
struct MeasuredExchanger {
    CaseDocument exchanger;  // the exchanger, its flows and inlets
    Measurements measured;   // at least one outlet temperature, degC
    // The document's inside share, heat-balance tolerance and relative
    // tolerance over the defaults; `rating` is left as it is.
    FoulingOptions options;
};

// Reads a measured exchanger document: "format" "hxrate-measured-exchanger",
// "version" 1, "exchanger" (a case document), "tube_outlet_temperature"
// and/or "shell_outlet_temperature" (quantities with their units), and
// optionally "inside_share", "heat_balance_tolerance" and
// "relative_tolerance" (numbers). Throws InputError naming `sourceName` and
// the field, as parseCaseDocument() does (the exchanger's fields named
// "exchanger.case.tube_count"), also when neither outlet is given.
MeasuredExchanger parseMeasuredExchanger(std::string_view json,
                                         std::string_view sourceName = "measured exchanger");

}  // namespace hxrate
