// Fluid-to-fluid resistance and conductance of a unit length of one tube,
// and the mass flow rates of the two streams.
#pragma once

#include "core/records.h"

namespace hxrate {

void computeResistancePerLength(const CaseInput& in, const DerivedGeometry& geo, ThermalModel& tm);

}  // namespace hxrate
