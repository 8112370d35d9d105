// Fluid-to-fluid resistance and conductance of a unit length of one tube,
// and the mass flow rates of the two streams.
#pragma once

#include "core/records.h"

namespace hxrate {

// Reads the wall and both film terms of `r`; fills its resistancePerLength,
// conductancePerLength, tubeMassFlow and shellMassFlow.
void computeResistancePerLength(const CaseInput& in, Rating& r);

}  // namespace hxrate
