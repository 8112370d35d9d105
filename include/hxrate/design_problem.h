// hxrate/design_problem.h: a design problem as a JSON document (schema:
// docs/design-problem.schema.json): the streams, the duty, the limits, and
// the design space with what it narrows or widens of the defaults.
#pragma once

#include <string>
#include <string_view>

#include "hxrate/design.h"

namespace hxrate {

// What a design problem document holds.
struct DesignProblemDocument {
    DesignProblem problem;
    DesignSpace space = defaultDesignSpace();  // the defaults, changed where the document says
    ShellSideMethod shellSide = ShellSideMethod::bellDelaware;
};

// Reads a design problem document. Every quantity carries its unit as in a
// case document; a field absent from "space" keeps its default. Throws
// InputError naming `sourceName`, the field (a JSON path), the offending
// text and the reason: not JSON, an unknown field, a unit that is not the
// field's, a value out of its domain, an empty list.
DesignProblemDocument parseDesignProblem(std::string_view json,
                                         std::string_view sourceName = "design problem");

// The document of `d`, in SI units, that parseDesignProblem reads back to
// the same values.
std::string designProblemJson(const DesignProblemDocument& d);

}  // namespace hxrate
