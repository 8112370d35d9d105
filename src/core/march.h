// The march and its shooting over a source of element coefficients: the
// constant-property rating's source gives one set for every element; an
// element-by-element rating's forms each element's from its temperatures.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/records.h"
#include "core/temperature_profile.h"
#include "hxrate/rating.h"

namespace hxrate::detail {

// One set of coefficients for the whole march.
struct ConstantCoefficients {
    const MarchCoefficients& c;
    // The element that leaves node `node` at temperatures tt, ts.
    const MarchCoefficients& element(std::int32_t, double, double) const { return c; }
    // The heat balance of a compartment whose tube fluid went from ttFrom to
    // ttTo at the uniform shell temperature tsc.
    const MarchCoefficients& compartment(double, double, double) const { return c; }
};

// Counts the elements a pass marches and looks at the caller's flag each
// time cancelCheckInterval of them have gone by.
class CancelCheck {
  public:
    explicit CancelCheck(const std::atomic<bool>* flag) : flag_(flag) {}
    // The last node of the next stretch from node `from` towards `to`: at
    // most the elements left before the next look.
    std::int32_t stretchEnd(std::int32_t from, std::int32_t to) const {
        return to - from < left_ ? to : from + left_;
    }
    // `elements` more were marched.
    void marched(std::int32_t elements) {
        left_ -= elements;
        if (left_ > 0) return;
        left_ = cancelCheckInterval;
        throwIfCancelled(flag_);
    }

  private:
    const std::atomic<bool>* flag_;
    std::int32_t left_ = cancelCheckInterval;
};

template <class Source>
void marchAxialPass(Source& source, std::int32_t Nel, double* Tt, double* Ts,
                    const std::atomic<bool>* cancel) {
    // The node values travel in registers; the arrays only receive them.
    double tt = Tt[0];
    double ts = Ts[0];
    CancelCheck check(cancel);
    for (std::int32_t from = 0; from < Nel;) {
        const std::int32_t to = check.stretchEnd(from, Nel);
        for (std::int32_t i = from + 1; i <= to; ++i) {
            const MarchCoefficients& c = source.element(i - 1, tt, ts);
            double ttNext = advanceTubeElement(c, tt, ts);
            ts = balanceShellTemperature(c, ts, tt, ttNext);
            tt = ttNext;
            Tt[i] = tt;
            Ts[i] = ts;
        }
        check.marched(to - from);
        from = to;
    }
    checkArithmetic("axial march");
}

template <class Source>
double marchCompartments(const CaseInput& in, const Geometry& geo, Source& source,
                         TemperatureProfile& profile, double Tsc, const std::atomic<bool>* cancel) {
    const std::int32_t Nel = geo.elementCount;
    const std::int64_t compartmentCount = std::int64_t{in.baffleCount} + 1;
    const std::int32_t Npc = geo.elementsPerCompartment;
    const double B = geo.baffleSpacing;
    const double dL = in.elementLength;
    const bool recordPassInlet = isCounterCurrent(in.exchangerType);
    double* Tt = profile.tubeTemperature.get();
    double* Ts = profile.shellTemperature.get();
    double* Tsp = profile.shellPassInletTemperature.get();

    // A compartment end never passes the last node, whatever the rounding.
    auto endAt = [Nel](std::int64_t node) {
        return node > Nel ? Nel : static_cast<std::int32_t>(node);
    };

    std::int32_t k0 = 0;
    std::int32_t k1 = endAt(Npc);
    CancelCheck check(cancel);
    for (std::int64_t j = 1; j <= compartmentCount; ++j) {
        // March the compartment at the uniform shell temperature Tsc; an
        // extension continues where the march stopped, which gives the same
        // values as marching it again from k0.
        std::int32_t marched = k0;
        while (true) {
            double tt = Tt[marched];
            while (marched < k1) {
                const std::int32_t to = check.stretchEnd(marched, k1);
                for (std::int32_t i = marched + 1; i <= to; ++i) {
                    Ts[i - 1] = Tsc;
                    tt = advanceTubeElement(source.element(i - 1, tt, Tsc), tt, Tsc);
                    Tt[i] = tt;
                }
                check.marched(to - marched);
                marched = to;
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
        Tsc = checked(
            balanceShellTemperature(source.compartment(Tt[k0], Tt[k1], Tsc), Tsc, Tt[k0], Tt[k1]),
            "compartment balance");
        if (recordPassInlet) {
            for (std::int32_t i = k0; i <= k1; ++i) Tsp[i] = Tsc;
        }
        k0 = k1;
        k1 = endAt(std::int64_t{k0} + Npc);
    }
    return Tsc;
}

template <class Source>
double marchFromStart(const CaseInput& in, const Geometry& geo, Source& source,
                      TemperatureProfile& profile, double start, const std::atomic<bool>* cancel) {
    throwIfCancelled(cancel);
    if (isCrossFlow(in.exchangerType))
        return marchCompartments(in, geo, source, profile, start, cancel);
    double* Ts = profile.shellTemperature.get();
    Ts[0] = start;
    marchAxialPass(source, geo.elementCount, profile.tubeTemperature.get(), Ts, cancel);
    return Ts[geo.elementCount];
}

// The shooting on the shell temperature at the tube inlet end: `pass(start)`
// marches the whole grid from `start` and returns the shell temperature it
// reaches at the other end, which must meet the shell inlet temperature.
// Each shooting counts its passes in r.shootingPasses.
template <class Pass>
double shootWithFactor(Pass pass, const CaseInput& in, Rating& r, const TemperatureProfile& profile,
                       std::int32_t passLimit) {
    const double Ts_in = in.shellInletTemperature;
    ShootingState shooting{.passLimit = passLimit};
    double start = Ts_in;
    while (true) {
        double end = pass(start);
        r.shootingPasses = r.shootingPasses + 1;
        double err = checked(Ts_in - end, "shooting mismatch");
        if (std::fabs(err) < k::convergenceTolerance) return end;
        start = checked(
            err * in.correctionFactor / r.conductancePerLength + profile.shellTemperature[0],
            "shooting correction");
        checkShootingProgress(shooting, std::fabs(err));
    }
}

// The same fixed point found from the pass being affine in its start value:
// each new start is where the line through the last two passes meets the
// inlet temperature (a secant step, exact for an affine pass).
template <class Pass>
double shootExactly(Pass pass, const CaseInput& in, Rating& r, std::int32_t passLimit) {
    const double Ts_in = in.shellInletTemperature;
    auto march = [&](double start) {
        double end = pass(start);
        r.shootingPasses = r.shootingPasses + 1;
        return end;
    };
    double start0 = Ts_in;
    double end0 = march(start0);
    double err = checked(Ts_in - end0, "shooting mismatch");
    if (std::fabs(err) < k::convergenceTolerance) return end0;
    // A second start a whole mismatch (at least one degree) away.
    double start1 = Ts_in + std::copysign(std::max(std::fabs(err), 1.0), err);
    double end1 = march(start1);
    while (true) {
        err = checked(Ts_in - end1, "shooting mismatch");
        if (std::fabs(err) < k::convergenceTolerance) return end1;
        if (r.shootingPasses >= passLimit) terminateRun(Check::shootingLimit);
        double slope = checked((end1 - end0) / (start1 - start0), "shooting slope");
        // A pass that does not depend on its start can never be corrected.
        if (slope == 0) terminateRun(Check::shootingLimit);
        double next = checked(start1 + err / slope, "shooting correction");
        start0 = start1, end0 = end1;
        start1 = next, end1 = march(next);
    }
}

// Marches the case's type over `source`, shooting the counter-current
// types, into the allocated `profile` whose tube node 0 holds the inlet.
template <class Source>
void solveOverSource(const CaseInput& in, Rating& r, Source& source, TemperatureProfile& profile,
                     const SolveOptions& options) {
    auto pass = [&](double start) {
        return marchFromStart(in, r.geometry, source, profile, start, options.cancel);
    };
    const bool crossFlow = isCrossFlow(in.exchangerType);
    if (!isCounterCurrent(in.exchangerType)) {
        double end = pass(in.shellInletTemperature);
        if (crossFlow) profile.finalShellTemperature = end;
        r.shootingPasses = 1;
        return;
    }
    // Counter-current: the shell fluid enters at node Nel (the last
    // compartment); shoot on the shell temperature at node 0 (the first).
    double end = options.shooting == ShootingMethod::exact
                     ? shootExactly(pass, in, r, options.passLimit)
                     : shootWithFactor(pass, in, r, profile, options.passLimit);
    if (crossFlow) profile.finalShellTemperature = end;
}

// The checks a march makes before its first pass: a type it can rate, and
// a grid it can hold (a node beyond 0, a compartment). Allocates the
// profile and sets the tube inlet at node 0.
void prepareMarch(const CaseInput& in, Rating& r, TemperatureProfile& profile,
                  const SolveOptions& options);

}  // namespace hxrate::detail
