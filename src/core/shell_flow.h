// Shell-side flow area, characteristic length, velocity, Reynolds and
// Prandtl numbers, with the arrangement, stagnant-flow and Peclet checks.
#pragma once

#include "core/records.h"

namespace hxrate {

void computeShellFlow(const CaseInput& in, const DerivedGeometry& geo, ThermalModel& tm);

}  // namespace hxrate
