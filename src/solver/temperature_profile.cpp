#include "solver/temperature_profile.h"

#include <cmath>

#include "model/messages.h"
#include "run/arithmetic.h"
#include "run/failures.h"

namespace hxrate {

MarchCoefficients marchCoefficients(const CaseInput& in, const ThermalModel& tm,
                                    std::int32_t sign) {
    MarchCoefficients c;
    c.tubeCount = static_cast<double>(in.tubeCount);
    c.elementCapacity =
        tm.resistancePerLength / in.elementLength * in.tubeFluid.heatCapacity * tm.tubeMassFlow;
    c.sign = static_cast<double>(sign);
    c.tubeHeatCapacity = in.tubeFluid.heatCapacity;
    c.tubeMassFlow = tm.tubeMassFlow;
    c.shellCapacityRate = in.shellFluid.heatCapacity * tm.shellMassFlow;
    return c;
}

void checkShootingProgress(ShootingState& state, double absErr) {
    if (state.corrections == 0) {
        state.previousError = absErr;
    } else if (absErr > state.previousError) {
        terminateRun(messages::reduceCorrectionFactor);
    } else {
        state.previousError = absErr;
    }
    state.corrections = state.corrections + 1;
    if (state.corrections >= state.passLimit) terminateRun(messages::shellProfileDivergence);
}

void marchAxialPass(const MarchCoefficients& c, std::int32_t Nel, double* Tt, double* Ts) {
    // The node values travel in registers; the arrays only receive them.
    double tt = Tt[0];
    double ts = Ts[0];
    for (std::int32_t i = 1; i <= Nel; ++i) {
        double ttNext = advanceTubeElement(c, tt, ts);
        ts = balanceShellTemperature(c, ts, tt, ttNext);
        tt = ttNext;
        Tt[i] = tt;
        Ts[i] = ts;
    }
    checkArithmetic("axial march");
}

namespace {

void solveAxial(const CaseInput& in, const DerivedGeometry& geo, const ThermalModel& tm,
                const MarchCoefficients& c, TemperatureProfile& profile, std::int32_t passLimit) {
    std::int32_t Nel = geo.elementCount;
    double* Tt = profile.tubeTemperature.get();
    double* Ts = profile.shellTemperature.get();
    double Ts_in = in.shellInletTemperature;

    Ts[0] = Ts_in;
    if (in.exchangerType == ExchangerType::CoCurrent) {
        marchAxialPass(c, Nel, Tt, Ts);
        return;
    }
    // Counter-current: the shell fluid enters at node Nel; shoot on Ts[0].
    ShootingState shooting{.passLimit = passLimit};
    while (true) {
        marchAxialPass(c, Nel, Tt, Ts);
        double err = checked(Ts_in - Ts[Nel], "shooting mismatch");
        if (std::fabs(err) < k::convergenceTolerance) return;
        Ts[0] = checked(err * in.correctionFactor / tm.conductancePerLength + Ts[0],
                        "shooting correction");
        checkShootingProgress(shooting, std::fabs(err));
    }
}

void solveCrossFlow(const CaseInput& in, const DerivedGeometry& geo, const ThermalModel& tm,
                    const MarchCoefficients& c, TemperatureProfile& profile,
                    std::int32_t passLimit) {
    double Ts_in = in.shellInletTemperature;
    if (in.exchangerType == ExchangerType::CrossFlowCoCurrent) {
        profile.finalShellTemperature = marchCompartments(in, geo, c, profile, Ts_in);
        return;
    }
    // Counter-current: the shell fluid enters the last compartment; shoot on
    // the temperature of the first.
    ShootingState shooting{.passLimit = passLimit};
    double Tsc = Ts_in;
    while (true) {
        double Tend = marchCompartments(in, geo, c, profile, Tsc);
        double err = checked(Ts_in - Tend, "shooting mismatch");
        if (std::fabs(err) < k::convergenceTolerance) {
            profile.finalShellTemperature = Tend;
            return;
        }
        Tsc = checked(
            err * in.correctionFactor / tm.conductancePerLength + profile.shellTemperature[0],
            "shooting correction");
        checkShootingProgress(shooting, std::fabs(err));
    }
}

}  // namespace

double marchCompartments(const CaseInput& in, const DerivedGeometry& geo,
                         const MarchCoefficients& c, TemperatureProfile& profile, double Tsc) {
    const std::int32_t Nel = geo.elementCount;
    const std::int64_t compartmentCount = std::int64_t{in.baffleCount} + 1;
    const std::int32_t Npc = geo.elementsPerCompartment;
    const double B = geo.baffleSpacing;
    const double dL = in.elementLength;
    const bool recordPassInlet = in.exchangerType == ExchangerType::CrossFlowCounterCurrent;
    double* Tt = profile.tubeTemperature.get();
    double* Ts = profile.shellTemperature.get();
    double* Tsp = profile.shellPassInletTemperature.get();

    // A compartment end never passes the last node, whatever the rounding.
    auto endAt = [Nel](std::int64_t node) {
        return node > Nel ? Nel : static_cast<std::int32_t>(node);
    };

    std::int32_t k0 = 0;
    std::int32_t k1 = endAt(Npc);
    for (std::int64_t j = 1; j <= compartmentCount; ++j) {
        // March the compartment at the uniform shell temperature Tsc; an
        // extension continues where the march stopped, which gives the same
        // values as marching it again from k0.
        std::int32_t marched = k0;
        while (true) {
            double tt = Tt[marched];
            for (std::int32_t i = marched + 1; i <= k1; ++i) {
                Ts[i - 1] = Tsc;
                tt = advanceTubeElement(c, tt, Tsc);
                Tt[i] = tt;
            }
            marched = k1;
            Ts[k1] = Tsc;
            // Whole elements between node k1 and the baffle at j*B.
            std::int32_t extra =
                truncateToInt32((static_cast<double>(j) * B - static_cast<double>(k1) * dL) / dL,
                                "compartment surplus");
            if (k1 != Nel && j == compartmentCount) {
                k1 = Nel;
            } else if (extra >= 1 && std::int64_t{k1} + extra <= Nel) {
                k1 = k1 + extra;
            } else {
                break;
            }
        }
        Tsc = checked(balanceShellTemperature(c, Tsc, Tt[k0], Tt[k1]), "compartment balance");
        if (recordPassInlet) {
            for (std::int32_t i = k0; i <= k1; ++i) Tsp[i] = Tsc;
        }
        k0 = k1;
        k1 = endAt(std::int64_t{k0} + Npc);
    }
    return Tsc;
}

void solveTemperatureProfile(const CaseInput& in, const DerivedGeometry& geo,
                             const ThermalModel& tm, TemperatureProfile& profile,
                             std::int32_t passLimit) {
    profile.tubeTemperature[0] = in.tubeInletTemperature;
    std::int32_t sign = +1;
    if (in.exchangerType == ExchangerType::CounterCurrent ||
        in.exchangerType == ExchangerType::CrossFlowCounterCurrent) {
        sign = -1;
    }

    std::int32_t type = in.exchangerType;
    bool axial = type == ExchangerType::CoCurrent || type == ExchangerType::CounterCurrent;
    if (!axial && !isCrossFlow(type)) terminateRun(messages::exchangerSelection);
    // Grids the march cannot hold: no node beyond 0, or no compartment.
    if (geo.elementCount < 0) terminateRun(messages::negativeElementCount);
    if (isCrossFlow(type) && in.baffleCount < 0) terminateRun(messages::negativeBaffleCount);

    MarchCoefficients c = marchCoefficients(in, tm, sign);
    // The march forms these products at its first element step; a grid
    // without elements never forms them, so their faults do not count then.
    if (geo.elementCount >= 1) {
        checked(c.elementCapacity, "element capacity (Rp/dL)*cp_i*mdot_i");
        checked(c.shellCapacityRate, "shell capacity rate cp_o*mdot_o");
    } else {
        clearArithmeticFlags();
    }
    if (axial) {
        solveAxial(in, geo, tm, c, profile, passLimit);
    } else {
        solveCrossFlow(in, geo, tm, c, profile, passLimit);
    }
}

}  // namespace hxrate
