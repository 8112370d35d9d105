// The element grid, the baffle compartments and the tube geometry, each
// computed as soon as the case lines it needs have been read, into the
// Rating's Geometry.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace hxrate {

// Nel = trunc(L/dL) and the node count 0..Nel (node 0 at least) of the
// profile. A rating whose node arrays would need more than
// `storageLimitBytes` at its peak is refused with a ResourceError.
void computeElementGrid(const CaseInput& in, Geometry& geo, TemperatureProfile& profile,
                        std::uint64_t storageLimitBytes);

// Takes the storage of the profile's node arrays into `storage`, from its
// budget (nothing without one); refused with a ResourceError when the
// budget has too little left.
void reserveProfileStorage(const TemperatureProfile& profile, StorageReservation& storage);

// Zero-filled arrays for the profile's nodes (the pass-inlet array for
// counter-current cross flow only); kept when already that size. Memory the
// machine refuses is a ResourceError.
void allocateProfile(const CaseInput& in, TemperatureProfile& profile);

// SD = sqrt((ST*0.5)^2 + SL^2).
void computeDiagonalPitch(const CaseInput& in, Geometry& geo);

// Nb + 1, the baffle check of the cross-flow types, then Npc and B.
void computeBaffleCompartments(const CaseInput& in, Geometry& geo);

// Do, the bundle cell size, the tube-fit check, then Rw = ln(Do/Di)/kw.
void computeWallGeometry(const CaseInput& in, Geometry& geo);

}  // namespace hxrate
