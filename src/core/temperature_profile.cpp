#include "core/temperature_profile.h"

#include <algorithm>
#include <cmath>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/geometry.h"
#include "core/march.h"

namespace hxrate {

MarchCoefficients marchCoefficients(const CaseInput& in, const Rating& r, std::int32_t sign) {
    MarchCoefficients c;
    c.tubeCount = static_cast<double>(in.tubeCount);
    c.elementCapacity =
        r.resistancePerLength / in.elementLength * in.tubeFluid.heatCapacity * r.tubeMassFlow;
    c.sign = static_cast<double>(sign);
    c.tubeHeatCapacity = in.tubeFluid.heatCapacity;
    c.tubeMassFlow = r.tubeMassFlow;
    c.shellCapacityRate = in.shellFluid.heatCapacity * r.shellMassFlow;
    return c;
}

void checkShootingProgress(ShootingState& state, double absErr) {
    if (state.corrections == 0) {
        state.previousError = absErr;
    } else if (absErr > state.previousError) {
        terminateRun(Check::shootingGrows);
    } else {
        state.previousError = absErr;
    }
    state.corrections = state.corrections + 1;
    if (state.corrections >= state.passLimit) terminateRun(Check::shootingLimit);
}

void marchAxialPass(const MarchCoefficients& c, std::int32_t Nel, double* Tt, double* Ts,
                    const std::atomic<bool>* cancel) {
    detail::ConstantCoefficients source{c};
    detail::marchAxialPass(source, Nel, Tt, Ts, cancel);
}

double marchCompartments(const CaseInput& in, const Geometry& geo, const MarchCoefficients& c,
                         TemperatureProfile& profile, double Tsc, const std::atomic<bool>* cancel) {
    detail::ConstantCoefficients source{c};
    return detail::marchCompartments(in, geo, source, profile, Tsc, cancel);
}

double marchFromStart(const CaseInput& in, const Geometry& geo, const MarchCoefficients& c,
                      TemperatureProfile& profile, double start, const std::atomic<bool>* cancel) {
    detail::ConstantCoefficients source{c};
    return detail::marchFromStart(in, geo, source, profile, start, cancel);
}

void detail::prepareMarch(const CaseInput& in, Rating& r, TemperatureProfile& profile,
                          const SolveOptions& options) {
    throwIfCancelled(options.cancel);
    allocateProfile(in, profile);
    r.shootingPasses = 0;
    const Geometry& geo = r.geometry;
    profile.tubeTemperature[0] = in.tubeInletTemperature;
    std::int32_t type = in.exchangerType;
    bool axial = type == ExchangerType::CoCurrent || type == ExchangerType::CounterCurrent;
    if (!axial && !isCrossFlow(type)) terminateRun(Check::exchangerSelection);
    // Grids the march cannot hold: no node beyond 0, or no compartment.
    if (geo.elementCount < 0) terminateRun(Check::negativeElementCount);
    if (isCrossFlow(type) && in.baffleCount < 0) terminateRun(Check::negativeBaffleCount);
}

void solveTemperatureProfile(const CaseInput& in, Rating& r, TemperatureProfile& profile,
                             const SolveOptions& options) {
    detail::prepareMarch(in, r, profile, options);
    std::int32_t sign = isCounterCurrent(in.exchangerType) ? -1 : +1;
    MarchCoefficients c = marchCoefficients(in, r, sign);
    // The march forms these products at its first element step; a grid
    // without elements never forms them, so their faults do not count then.
    if (r.geometry.elementCount >= 1) {
        checked(c.elementCapacity, "element capacity (Rp/dL)*cp_i*mdot_i");
        checked(c.shellCapacityRate, "shell capacity rate cp_o*mdot_o");
    } else {
        clearArithmeticFlags();
    }
    detail::ConstantCoefficients source{c};
    detail::solveOverSource(in, r, source, profile, options);
}

}  // namespace hxrate
