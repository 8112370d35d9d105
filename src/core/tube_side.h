// Tube-side Prandtl, Reynolds and Nusselt numbers, film coefficient and film
// term, computed right after the tube fluid has been read.
#pragma once

#include "core/records.h"

namespace hxrate {

// Fills the tube side of the Rating.
void computeTubeSide(const CaseInput& in, SideResult& tube);

}  // namespace hxrate
