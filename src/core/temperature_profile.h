// Marching the tube-fluid and shell-fluid temperatures over the element grid,
// with a shooting iteration on the unknown shell outlet temperature of the
// counter-current types.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/records.h"
#include "hxrate/errors.h"
#include "hxrate/rating.h"

namespace hxrate {

// What one element step and one heat balance need, formed once per solve.
struct MarchCoefficients {
    double tubeCount;          // Nt
    double elementCapacity;    // (Rp/dL)*cp_i*mdot_i
    double sign;               // flowDirectionSign: +1, or -1 against the tube fluid
    double tubeHeatCapacity;   // cp_i
    double tubeMassFlow;       // mdot_i
    double shellCapacityRate;  // cp_o*mdot_o
};

// From the resistance per unit length and the mass flows of `r`.
MarchCoefficients marchCoefficients(const CaseInput& in, const Rating& r, std::int32_t sign);

// Tube-fluid temperature at the next node: the heat all tubes pass over one
// element, from the upstream node's temperatures (explicit step).
inline double advanceTubeElement(const MarchCoefficients& c, double TtPrev, double TsPrev) {
    return TtPrev - (TtPrev - TsPrev) * c.tubeCount / c.elementCapacity;
}

// Shell-fluid temperature after the tube fluid went from TtFrom to TtTo:
// what the tube stream loses, the shell stream gains.
inline double balanceShellTemperature(const MarchCoefficients& c, double TsPrev, double TtFrom,
                                      double TtTo) {
    return TsPrev -
           (TtTo - TtFrom) * c.sign * c.tubeHeatCapacity * c.tubeMassFlow / c.shellCapacityRate;
}

// Progress of a shooting iteration: the number of corrections applied and
// the absolute error of the pass before.
struct ShootingState {
    std::int32_t corrections = 0;
    double previousError = 0;
    std::int32_t passLimit = defaultPassLimit;
};

// Called once per correction: rejects a growing error, then counts.
void checkShootingProgress(ShootingState& state, double absErr);

struct SolveOptions {
    std::int32_t passLimit = defaultPassLimit;  // bound of the shooting
    ShootingMethod shooting = ShootingMethod::caseFactor;
    const std::atomic<bool>* cancel = nullptr;  // the caller's stop flag, or none
};

// Throws Cancelled when the caller's flag is set; a null flag never is.
inline void throwIfCancelled(const std::atomic<bool>* cancel) {
    if (cancel && cancel->load(std::memory_order_relaxed)) throw Cancelled();
}

// Allocates the profile's arrays and fills them for the case's exchanger
// type, from the geometry and the per-length terms of `r`, and counts the
// passes in r.shootingPasses; rejects an invalid type. Looks at
// options.cancel before every pass and every cancelCheckInterval elements of
// a march.
void solveTemperatureProfile(const CaseInput& in, Rating& r, TemperatureProfile& profile,
                             const SolveOptions& options = {});

// One axial pass from node 0 to node Nel, from Tt[0] and Ts[0].
void marchAxialPass(const MarchCoefficients& c, std::int32_t Nel, double* Tt, double* Ts,
                    const std::atomic<bool>* cancel = nullptr);

// One pass over all baffle compartments from the shell temperature Tsc of
// the first; returns the shell temperature after the last.
double marchCompartments(const CaseInput& in, const Geometry& geo, const MarchCoefficients& c,
                         TemperatureProfile& profile, double Tsc,
                         const std::atomic<bool>* cancel = nullptr);

// One pass of the case's march (axial or over the compartments) from the
// shell temperature `start` at the tube inlet end; returns the shell
// temperature it reaches at the other end. Node 0 of the tube fluid must hold
// the tube inlet temperature.
double marchFromStart(const CaseInput& in, const Geometry& geo, const MarchCoefficients& c,
                      TemperatureProfile& profile, double start,
                      const std::atomic<bool>* cancel = nullptr);

}  // namespace hxrate
