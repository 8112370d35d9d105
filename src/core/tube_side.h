// Tube-side Prandtl, Reynolds and Nusselt numbers, film coefficient and film
// term, computed right after the tube fluid has been read.
#pragma once

#include "core/records.h"

namespace hxrate {

void computeTubeSide(const CaseInput& in, ThermalModel& tm);

}  // namespace hxrate
