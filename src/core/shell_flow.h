// Shell-side flow area, characteristic length, velocity, Reynolds and
// Prandtl numbers, with the arrangement, stagnant-flow and Peclet checks.
#pragma once

#include "core/records.h"

namespace hxrate {

// Fills the flow quantities, Reynolds and Prandtl numbers of the shell side.
void computeShellFlow(const CaseInput& in, const Geometry& geo, ShellSideResult& shell);

}  // namespace hxrate
