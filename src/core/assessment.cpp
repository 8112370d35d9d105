// The engineering assessment of a rating: duties and effectiveness, the
// frictional pressure drops, the shooting analysis and the discretisation
// estimate, and assess() that gathers them with the warnings.
#include "hxrate/assessment.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/arithmetic.h"
#include "core/assessment_warnings.h"
#include "core/constants.h"
#include "core/extended_rating.h"
#include "core/pipe_flow.h"
#include "core/rate.h"
#include "hxrate/errors.h"
#include "hxrate/shell_side.h"

namespace hxrate {
namespace {

constexpr double pi = k::piDouble;

std::optional<double> finite(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    return x;
}

bool finiteDrop(const PressureDrop& d) {
    return std::isfinite(d.pressureDrop) && std::isfinite(d.friction) &&
           std::isfinite(d.reynolds) && std::isfinite(d.velocity) &&
           std::isfinite(d.massVelocity) && std::isfinite(d.diameter) && std::isfinite(d.flowArea);
}

}  // namespace

std::string_view dutyDirectionText(DutyDirection direction) {
    switch (direction) {
        case DutyDirection::tubeStreamCooled:
            return "tube stream cooled";
        case DutyDirection::tubeStreamHeated:
            return "tube stream heated";
        default:
            return "none";
    }
}

std::string_view frictionSourceName(FrictionSource source) {
    switch (source) {
        case FrictionSource::laminar:
            return "model-laminar";
        case FrictionSource::modelTurbulent:
            return "model-colebrook";
        case FrictionSource::reportTurbulent:
            return "report-colebrook";
        case FrictionSource::reportLaminar:
            return "report-laminar";
        default:
            return "kern-fit";
    }
}

std::string_view frictionSourceText(FrictionSource source) {
    switch (source) {
        case FrictionSource::laminar:
            return "the model's 64/Re";
        case FrictionSource::modelTurbulent:
            return "the model's converged Colebrook value";
        case FrictionSource::reportTurbulent:
            return "a Colebrook value (the model forms none on this side)";
        case FrictionSource::reportLaminar:
            return "64/Re (the model forms none on this side)";
        default:
            return "Kern's fit";
    }
}

std::string correlationText(Correlation c, int bankRow) {
    switch (c) {
        case Correlation::laminarDuct:
            return "laminar duct flow (Re <= 2300): Graetz form, f = 64/Re";
        case Correlation::turbulentDuct:
            return "turbulent duct flow (Re > 2300): Gnielinski with the Colebrook friction factor";
        case Correlation::singleCylinder:
            return "single cylinder in cross flow (Churchill-Bernstein)";
        case Correlation::inlineBank:
            return "inline tube bank (Zukauskas), Reynolds row " + std::to_string(bankRow);
        case Correlation::staggeredBank:
            return "staggered tube bank (Zukauskas), Reynolds row " + std::to_string(bankRow);
        case Correlation::axialBundle:
            return "axial flow along a dense bundle";
        case Correlation::sparseLaminar:
            return "sparse bundle as a laminar duct on Dh";
        case Correlation::sparseTurbulent:
            return "sparse bundle as a turbulent duct on Dh (Gnielinski, Colebrook)";
        default:
            return "not formed";
    }
}

std::string_view pressureDropMethodName(PressureDropMethod method) {
    switch (method) {
        case PressureDropMethod::kern:
            return "kern";
        case PressureDropMethod::bellDelaware:
            return "bell-delaware";
        case PressureDropMethod::darcyWeisbach:
            break;
    }
    return "darcy-weisbach";
}

// ---------------------------------------------------------------- pressure drop

double darcyWeisbach(double f, double length, double diameter, double density, double velocity) {
    return f * (length / diameter) * density * velocity * velocity / 2;
}

// Kern (1950), Process Heat Transfer, fig. 29 as fitted: f = exp(0.576 - 0.19 ln Re_s),
// 400 < Re_s < 1e6.
double kernFriction(double Re) {
    return std::exp(0.576 - 0.19 * std::log(Re));
}

double kernEquivalentDiameter(std::int32_t arrangement, double P, double Do) {
    double tubeSection = pi * Do * Do / 4;
    if (arrangement == BundleArrangement::Staggered)
        return 4 * (0.43 * P * P - 0.5 * tubeSection) / (0.5 * pi * Do);
    // Four times the free area of a square cell over the wetted perimeter.
    return 4 * (P * P - tubeSection) / (pi * Do);
}

std::optional<PressureDrop> kernPressureDrop(const KernInput& in) {
    double P = in.pitch;
    double Do = in.outerDiameter;
    if (!(P > Do) || !(in.baffleSpacing > 0) || !(in.shellDiameter > 0)) return std::nullopt;
    PressureDrop d;
    d.method = PressureDropMethod::kern;
    d.estimate = true;
    d.frictionSource = FrictionSource::kernFit;
    // Cross-flow area at the bundle's centre line between two baffles.
    d.flowArea = in.shellDiameter * (P - Do) * in.baffleSpacing / P;
    d.massVelocity = in.massFlow / d.flowArea;
    d.diameter = kernEquivalentDiameter(in.arrangement, P, Do);
    d.reynolds = d.massVelocity * d.diameter / in.viscosity;
    if (!(d.reynolds > 0) || !(d.diameter > 0)) return std::nullopt;
    d.friction = kernFriction(d.reynolds);
    d.velocity = d.massVelocity / in.density;
    d.length = static_cast<double>(in.baffleCount + 1) * in.shellDiameter;
    d.pressureDrop = d.friction * d.massVelocity * d.massVelocity *
                     static_cast<double>(in.baffleCount + 1) * in.shellDiameter /
                     (2 * in.density * d.diameter);
    if (!finiteDrop(d)) return std::nullopt;
    if (in.wallViscosity && *in.wallViscosity > 0) {
        // Kern (1950), eq. 7.44: the drop over phi_s = (mu/mu_w)^0.14.
        double phi = std::pow(in.viscosity / *in.wallViscosity, 0.14);
        double corrected = d.pressureDrop / phi;
        if (std::isfinite(phi) && phi > 0 && std::isfinite(corrected)) {
            d.viscosityCorrection = phi;
            d.correctedPressureDrop = corrected;
        }
    }
    return d;
}

std::optional<PressureDrop> tubePressureDrop(const Case& c, const Rating& r) {
    if (!r.tube.friction || r.tube.correlation == Correlation::none) return std::nullopt;
    const Fluid& f = c.tubeFluid;
    PressureDrop d;
    d.friction = *r.tube.friction;
    d.frictionSource = r.tube.correlation == Correlation::laminarDuct
                           ? FrictionSource::laminar
                           : FrictionSource::modelTurbulent;
    d.reynolds = r.tube.reynolds;
    d.diameter = c.tubeInnerDiameter;
    d.length = c.tubeLength;
    d.flowArea = pi * d.diameter * d.diameter / 4;
    // The stream shares the tubes equally.
    d.velocity = f.volumetricFlow / (static_cast<double>(c.tubeCount) * d.flowArea);
    d.massVelocity = f.density * d.velocity;
    d.pressureDrop = darcyWeisbach(d.friction, d.length, d.diameter, f.density, d.velocity);
    if (!finiteDrop(d)) return std::nullopt;
    return d;
}

namespace {

// The shell side's drop; `wallViscosity` also forms Kern's corrected drop.
std::optional<PressureDrop> shellDrop(const Case& c, const Rating& r,
                                      std::optional<double> wallViscosity) {
    const Fluid& f = c.shellFluid;
    if (isCrossFlow(c.exchangerType)) {
        if (!reached(r, Stage::geometry)) return std::nullopt;
        return kernPressureDrop({f.density * f.volumetricFlow, f.density, f.viscosity,
                                 c.shellInnerDiameter, r.geometry.baffleSpacing, c.transversePitch,
                                 r.geometry.outerDiameter, std::int64_t{c.baffleCount},
                                 c.bundleArrangement, wallViscosity});
    }
    if (!reached(r, Stage::shellFlow)) return std::nullopt;
    PressureDrop d;
    d.reynolds = r.shell.reynolds;
    d.diameter = r.shell.characteristicLength;
    d.flowArea = r.shell.flowArea;
    d.length = c.tubeLength;
    if (r.shell.friction) {
        d.friction = *r.shell.friction;
        d.frictionSource = r.shell.correlation == Correlation::sparseLaminar
                               ? FrictionSource::laminar
                               : FrictionSource::modelTurbulent;
    } else if (d.reynolds <= k::laminarLimitReynolds) {
        d.friction = 64 / d.reynolds;
        d.frictionSource = FrictionSource::reportLaminar;
    } else {
        // The dense bundle forms no friction factor: the model's duct form
        // on Dh, with the tube roughness as the model takes it for the shell.
        try {
            clearArithmeticFlags();
            d.friction = colebrookFriction(d.reynolds, c.innerRoughness, d.diameter,
                                           Check::shellFrictionDivergence);
        } catch (const Error&) {
            return std::nullopt;
        }
        d.frictionSource = FrictionSource::reportTurbulent;
    }
    d.velocity = f.volumetricFlow / d.flowArea;
    d.massVelocity = f.density * d.velocity;
    d.pressureDrop = darcyWeisbach(d.friction, d.length, d.diameter, f.density, d.velocity);
    if (!finiteDrop(d) || !(d.reynolds > 0)) return std::nullopt;
    return d;
}

}  // namespace

std::optional<PressureDrop> shellPressureDrop(const Case& c, const Rating& r) {
    return shellDrop(c, r, std::nullopt);
}

// ---------------------------------------------------------------- thermal results

double idealEffectiveness(double ntu, double Cr, bool counterCurrent) {
    if (!counterCurrent) return (1 - std::exp(-ntu * (1 + Cr))) / (1 + Cr);
    if (std::fabs(1 - Cr) < 1e-9) return ntu / (1 + ntu);
    double e = std::exp(-ntu * (1 - Cr));
    return (1 - e) / (1 - Cr * e);
}

ThermalSummary summariseThermal(const Case& c, const Rating& r) {
    ThermalSummary s;
    s.tubeDuty = r.tubeDuty;
    s.shellDuty = r.shellDuty;
    if (s.tubeDuty) {
        s.duty = std::fabs(*s.tubeDuty);
        if (*s.tubeDuty > 0) s.dutyDirection = DutyDirection::tubeStreamCooled;
        if (*s.tubeDuty < 0) s.dutyDirection = DutyDirection::tubeStreamHeated;
    }
    s.UA = finite(r.overallCoefficient * r.area);
    s.idealCounterCurrent = isCounterCurrent(c.exchangerType);
    if (s.tubeDuty && s.shellDuty) {
        double larger = std::max(std::fabs(*s.tubeDuty), std::fabs(*s.shellDuty));
        s.imbalance = larger > 0 ? finite(std::fabs(*s.tubeDuty - *s.shellDuty) / larger) : 0.0;
    }
    double Ct = r.tubeMassFlow * c.tubeFluid.heatCapacity;
    double Cs = r.shellMassFlow * c.shellFluid.heatCapacity;
    double Cmin = std::min(Ct, Cs);
    double Cmax = std::max(Ct, Cs);
    double inletDifference = c.tubeInletTemperature - c.shellInletTemperature;
    if (Cmin > 0 && std::isfinite(Cmax)) {
        s.capacityRatio = finite(Cmin / Cmax);
        if (s.UA) s.ntu = finite(*s.UA / Cmin);
        if (s.tubeDuty && inletDifference != 0)
            s.effectiveness = finite(std::fabs(*s.tubeDuty) / (Cmin * std::fabs(inletDifference)));
        if (s.ntu && s.capacityRatio)
            s.idealEffectiveness =
                finite(idealEffectiveness(*s.ntu, *s.capacityRatio, s.idealCounterCurrent));
    }
    double dT1, dT2;
    if (s.idealCounterCurrent) {
        dT1 = c.tubeInletTemperature - r.shellOutletTemperature;
        dT2 = r.tubeOutletTemperature - c.shellInletTemperature;
    } else {
        dT1 = inletDifference;
        dT2 = r.tubeOutletTemperature - r.shellOutletTemperature;
    }
    if (dT1 * dT2 > 0) {
        if (std::fabs(dT1 - dT2) <= 1e-12 * std::fabs(dT1)) {
            s.lmtd = std::fabs(dT1);
        } else {
            s.lmtd = finite(std::fabs((dT1 - dT2) / std::log(dT1 / dT2)));
        }
    }
    return s;
}

// ---------------------------------------------------------------- the shooting

double detail::errorRatio(const ShootingMap& a, double factor) {
    return 1 - a.slope * factor / a.conductancePerLength;
}

ShootingForecast forecastShooting(const ShootingMap& a, double factor, std::int32_t passLimit) {
    const double firstError = std::fabs(a.firstMismatch);
    if (firstError < shootingTolerance) return {ShootingVerdict::finishes, 1};
    const double ratio = std::fabs(detail::errorRatio(a, factor));
    // A growing mismatch is caught when the second correction is checked.
    if (ratio > 1) return {ShootingVerdict::reduceFactor, 2};
    if (!(ratio < 1)) return {ShootingVerdict::diverges, passLimit};
    if (ratio == 0) return {ShootingVerdict::finishes, 2};
    // Corrections m until firstError*ratio^m < tol; the pass after the m-th
    // correction is the one that meets the tolerance.
    double corrections = std::floor(std::log(shootingTolerance / firstError) / std::log(ratio)) + 1;
    if (corrections >= passLimit) return {ShootingVerdict::diverges, passLimit};
    return {ShootingVerdict::finishes, static_cast<std::int64_t>(corrections) + 1};
}

double fastestFactor(const ShootingMap& a) {
    return a.conductancePerLength / a.slope;
}

std::optional<FactorRange> finishingFactors(const ShootingMap& a, std::int32_t passLimit) {
    const double best = fastestFactor(a);
    const double firstError = std::fabs(a.firstMismatch);
    if (!std::isfinite(best) || best == 0 || firstError < shootingTolerance) return std::nullopt;
    // |1 - factor/best| must stay below the ratio that still meets the
    // tolerance after passLimit - 1 corrections.
    double ratio = std::pow(shootingTolerance / firstError, 1.0 / (passLimit - 1));
    double low = best * (1 - ratio), high = best * (1 + ratio);
    if (low > high) std::swap(low, high);
    return FactorRange{low, high};
}

namespace {

ShootingForecast shootingOutcome(const Case& c, const detail::Arrangement& ext, double factor,
                                 const RateOptions& options) {
    Case tried = c;
    tried.correctionFactor = factor;
    try {
        Rating r = detail::rateArrangement(tried, ext, options);
        return {ShootingVerdict::finishes, r.shootingPasses};
    } catch (const CaseRejected& stop) {
        if (stop.check() != Check::shootingGrows && stop.check() != Check::shootingLimit) throw;
        bool reduce = stop.check() == Check::shootingGrows;
        std::int64_t passes = stop.partial() ? stop.partial()->shootingPasses : 0;
        return {reduce ? ShootingVerdict::reduceFactor : ShootingVerdict::diverges, passes};
    }
}

AdvisedFactor adviseFactor(const Case& c, const detail::Arrangement& ext, const ShootingMap& a,
                           const RateOptions& options) {
    const double best = fastestFactor(a);
    AdvisedFactor advice{best, std::nullopt};
    ShootingForecast target = shootingOutcome(c, ext, best, options);
    if (target.verdict != ShootingVerdict::finishes) return advice;
    advice.passes = static_cast<std::int32_t>(target.passes);
    // A shorter factor is taken only when it finishes in no more passes, so
    // its trials may stop there. 17 significant digits give `best` back.
    RateOptions bounded = options;
    bounded.passLimit = *advice.passes;
    for (int digits = 2; digits <= 17; ++digits) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, best);
        double factor = std::strtod(text, nullptr);
        try {
            ShootingForecast f = shootingOutcome(c, ext, factor, bounded);
            if (f.verdict == ShootingVerdict::finishes && f.passes <= *advice.passes) {
                advice = {factor, static_cast<std::int32_t>(f.passes)};
                return advice;
            }
        } catch (const Cancelled&) {
            throw;
        } catch (const Error&) {
        }
    }
    return advice;
}

}  // namespace

ShootingForecast shootingOutcome(const Case& c, double factor, const RateOptions& options) {
    return shootingOutcome(c, {}, factor, options);
}

AdvisedFactor adviseFactor(const Case& c, const ShootingMap& a, const RateOptions& options) {
    return adviseFactor(c, {}, a, options);
}

namespace {

ShootingAdvice adviseShooting(const Case& c, const detail::Arrangement& ext,
                              const RateOptions& options) {
    ShootingAdvice a;
    a.applies = isCounterCurrent(c.exchangerType) && detail::marches(ext);
    if (!a.applies) return a;
    try {
        a.map = detail::analyseShooting(c, ext, options);
        if (a.map->slope == 0) return a;
        a.fastestFactor = finite(fastestFactor(*a.map));
        if (!a.fastestFactor || *a.fastestFactor == 0) return a;
        AdvisedFactor advised = adviseFactor(c, ext, *a.map, options);
        a.advisedFactor = advised.factor;
        a.advisedPasses = advised.passes;
    } catch (const Cancelled&) {
        throw;
    } catch (const Error&) {
    }
    return a;
}

}  // namespace

// ---------------------------------------------------------------- discretisation

namespace {

GridSolution solveOnGridOf(const Case& c, const detail::Arrangement& ext, int divisor,
                           const RateOptions& options) {
    Case fine = c;
    fine.elementLength = c.elementLength / divisor;
    GridSolution s;
    s.elementLength = fine.elementLength;
    try {
        RateOptions exact = options;
        exact.shooting = ShootingMethod::exact;
        Rating r = detail::rateArrangement(fine, ext, exact);
        s.elementCount = r.geometry.elementCount;
        s.tubeOutlet = r.tubeOutletTemperature;
        s.shellOutlet = r.shellOutletTemperature;
        s.solved = true;
    } catch (const Cancelled&) {
        throw;
    } catch (const Error& e) {
        s.failure = e.what();
    }
    return s;
}

}  // namespace

ErrorEstimate detail::estimateError(double coarse, double half, double quarter) {
    const double d1 = coarse - half, d2 = half - quarter;
    ErrorEstimate e;
    if (d1 != 0 && d2 != 0 && (d1 > 0) == (d2 > 0)) {
        double p = std::log2(d1 / d2);
        if (p >= 0.5 && p <= 4) e.observedOrder = p;
    }
    const double p = e.observedOrder.value_or(1.0);
    e.error = d1 / (1 - std::pow(2.0, -p));
    return e;
}

namespace {

Discretisation estimateDiscretisation(const Case& c, const detail::Arrangement& ext, int gridCount,
                                      const RateOptions& options) {
    Discretisation d;
    if (!detail::marches(ext)) {
        d.note = "not formed: the outlets of several passes or shells come from P-NTU, on no grid";
        return d;
    }
    d.halfElementLength = c.elementLength / 2;
    double halfCount = c.tubeLength / d.halfElementLength;
    // Twice the grid of the case: bounded so that the estimate stays quick.
    if (!(halfCount <= largestEstimateGrid)) {
        d.note = "not formed: dL/2 would need " + shortNumber(halfCount) + " elements";
        return d;
    }
    for (int i = 0; i < gridCount; ++i) {
        int divisor = 1 << i;
        if (i == 2 && !(c.tubeLength / (c.elementLength / divisor) <= largestEstimateGrid)) {
            GridSolution s;
            s.elementLength = c.elementLength / divisor;
            s.failure =
                "dL/4 would need more than " + shortNumber(largestEstimateGrid) + " elements";
            d.grids.push_back(s);
            continue;
        }
        d.grids.push_back(solveOnGridOf(c, ext, divisor, options));
    }
    const GridSolution& coarse = d.grids[0];
    const GridSolution& fine = d.grids[1];
    if (!coarse.solved || !fine.solved) {
        d.note = "not formed: " + (coarse.solved ? fine.failure : coarse.failure);
        return d;
    }
    d.halfElementCount = fine.elementCount;
    d.tubeOutletDifference = coarse.tubeOutlet - fine.tubeOutlet;
    d.shellOutletDifference = coarse.shellOutlet - fine.shellOutlet;
    d.estimate = std::max(std::fabs(d.tubeOutletDifference), std::fabs(d.shellOutletDifference));
    d.formed = std::isfinite(d.estimate);
    if (!d.formed) d.note = "not formed: the outlets differ by more than a double holds";
    if (d.grids.size() == 3 && d.grids[2].solved) {
        d.tubeError =
            detail::estimateError(coarse.tubeOutlet, fine.tubeOutlet, d.grids[2].tubeOutlet);
        d.shellError =
            detail::estimateError(coarse.shellOutlet, fine.shellOutlet, d.grids[2].shellOutlet);
    }
    return d;
}

}  // namespace

GridSolution detail::solveOnGrid(const Case& c, int divisor, const RateOptions& options) {
    return solveOnGridOf(c, {}, divisor, options);
}

Discretisation estimateDiscretisation(const Case& c, int gridCount, const RateOptions& options) {
    return estimateDiscretisation(c, {}, gridCount, options);
}

// ---------------------------------------------------------------- rejection

std::vector<Trigger> rejectionTriggers(const Case& c, Check check, const Rating& r) {
    double Nel = static_cast<double>(r.geometry.elementCount);
    switch (check) {
        case Check::reduceBaffles:
            return {{"half the element count Nel/2", std::trunc(Nel / 2),
                     static_cast<double>(c.baffleCount), "must exceed the baffle count"}};
        case Check::baffleCountMinusOne:
        case Check::negativeBaffleCount:
            return {
                {"baffle count Nb", static_cast<double>(c.baffleCount), 0.0, "must not be below"}};
        case Check::tubingFit: {
            double cell = r.geometry.bundleCellSize;
            return {{"shell section Ds^2, m2", c.shellInnerDiameter * c.shellInnerDiameter,
                     cell * cell * c.tubeCount, "must exceed the bundle's cells Nt*cell^2"},
                    {"bundle cell (largest of Do, SL, ST, SD), m", cell, std::nullopt, ""}};
        }
        case Check::tubeFlowParameters:
            return {{"tube-side Reynolds number Re", r.tube.reynolds, 0.0, "must be above"}};
        case Check::tubeFrictionDivergence:
            return {{"tube-side Reynolds number Re", r.tube.reynolds, std::nullopt,
                     "Colebrook did not converge in 1000 steps"},
                    {"relative roughness eps/Di", c.innerRoughness / c.tubeInnerDiameter,
                     std::nullopt, ""}};
        case Check::tubeNusseltRange:
            return {{"tube-side Reynolds number Re", r.tube.reynolds, k::turbulentMaxReynolds,
                     "must not exceed"}};
        case Check::crossFlowArrangement:
        case Check::bankArrangement:
            return {{"bundle arrangement code", static_cast<double>(c.bundleArrangement),
                     std::nullopt, "must be 0 (inline) or 1 (staggered)"}};
        case Check::stagnantFlow:
            return {{"shell-side Reynolds number Re", r.shell.reynolds, k::stagnantReynoldsStated,
                     "must not be below"}};
        case Check::pecletRange:
            return {{"shell-side Peclet number Re*Pr", r.shell.reynolds * r.shell.prandtl,
                     k::minimumPecletStated, "must not be below"}};
        case Check::shellFrictionDivergence:
            return {{"shell-side Reynolds number Re", r.shell.reynolds, std::nullopt,
                     "Colebrook did not converge in 1000 steps"}};
        case Check::shellNusseltRange:
            return {{"shell-side Reynolds number Re", r.shell.reynolds, k::turbulentMaxReynolds,
                     "must not exceed"}};
        case Check::shootingGrows:
            return {
                {"correction factor", c.correctionFactor, std::nullopt,
                 "made the shooting mismatch grow"},
                {"shooting passes made", static_cast<double>(r.shootingPasses), std::nullopt, ""}};
        case Check::shootingLimit:
            return {{"shooting passes made", static_cast<double>(r.shootingPasses),
                     static_cast<double>(defaultPassLimit), "reached the limit"},
                    {"correction factor", c.correctionFactor, std::nullopt, ""}};
        case Check::exchangerSelection:
            return {{"exchanger type", static_cast<double>(c.exchangerType), std::nullopt,
                     "must be 0, 1, 2 or 3"}};
        case Check::negativeElementCount:
            return {
                {"element count L/dL", c.tubeLength / c.elementLength, 0.0, "must not be below"}};
    }
    return {};
}

std::string_view severityName(Severity s) {
    switch (s) {
        case Severity::info:
            return "info";
        case Severity::warning:
            return "warning";
        default:
            return "error";
    }
}

// ---------------------------------------------------------------- the assessment

namespace {

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

[[noreturn]] void refuseRating(const std::string& quantity, double held, double given) {
    throw InvalidArgument("rating", "the rating is not one of the case given: its " + quantity +
                                        " is " + shortNumber(held) + " where the case gives " +
                                        shortNumber(given));
}

// Refuses `r` unless it can be a rating of `c`. The model's steps before the
// march run again on `c` (no profile is allocated) up to the stage `r`
// reached, and every quantity they form from the case alone, which no
// extension changes, must come out bit for bit as `r` holds it; a marched
// rating's inlet node and duties must be those of the case's inlet
// temperatures and heat capacities.
void requireRatingOf(const Case& c, const Rating& r) {
    CaseRecords again;
    again.input = c;
    const Stage target = std::clamp(r.stage, Stage::geometry, Stage::resistance);
    clearArithmeticFlags();
    try {
        for (const ScheduledStep& s : stepSchedule) {
            if (again.rating.stage >= target) break;
            runModelStep(again, s.step, std::numeric_limits<std::uint64_t>::max());
        }
    } catch (const CaseRejected&) {
        // Rejected where `r`'s own case was: the quantities formed so far
        // are compared below.
    } catch (const Error& e) {
        throw InvalidArgument("rating", std::string("the rating is not one of the case given: "
                                                    "the case's own steps end in: ") +
                                            e.what());
    }
    clearArithmeticFlags();
    const Rating& o = again.rating;
    const Stage reached = std::min(r.stage, Stage::resistance);
    if (o.stage < reached)
        throw InvalidArgument("rating",
                              "the rating is not one of the case given: it reached "
                              "stage " +
                                  std::string(stageName(r.stage)) + ", the case is rejected at " +
                                  std::string(stageName(o.stage)));
    auto compare = [](const char* quantity, double held, double given) {
        if (!sameBits(held, given)) refuseRating(quantity, held, given);
    };
    const Geometry &g = r.geometry, &og = o.geometry;
    compare("element count", g.elementCount, og.elementCount);
    compare("compartment count", static_cast<double>(g.compartmentCount),
            static_cast<double>(og.compartmentCount));
    compare("elements per compartment", g.elementsPerCompartment, og.elementsPerCompartment);
    compare("baffle spacing", g.baffleSpacing, og.baffleSpacing);
    compare("diagonal pitch", g.diagonalPitch, og.diagonalPitch);
    compare("tube outer diameter", g.outerDiameter, og.outerDiameter);
    compare("bundle cell size", g.bundleCellSize, og.bundleCellSize);
    compare("wall resistance", g.wallResistance, og.wallResistance);
    if (reached >= Stage::tubeSide)
        compare("tube-side Prandtl number", r.tube.prandtl, o.tube.prandtl);
    if (reached >= Stage::shellFlow) {
        compare("shell flow area", r.shell.flowArea, o.shell.flowArea);
        compare("shell characteristic length", r.shell.characteristicLength,
                o.shell.characteristicLength);
        compare("shell velocity", r.shell.velocity, o.shell.velocity);
        compare("shell-side Prandtl number", r.shell.prandtl, o.shell.prandtl);
    }
    if (reached >= Stage::resistance) {
        compare("tube mass flow", r.tubeMassFlow, o.tubeMassFlow);
        compare("shell mass flow", r.shellMassFlow, o.shellMassFlow);
    }
    if (r.stage != Stage::solved || r.profile.tube.empty()) return;
    // A march starts the tube stream at the case's inlet temperature, and
    // the shell stream where the case's type lets it in: at node 0 for the
    // co-current types, at the far end, within the shooting's tolerance, for
    // the counter-current ones. The duties take both inlets as rate() does.
    compare("tube inlet temperature", r.profile.tube.front(), c.tubeInletTemperature);
    if (isCounterCurrent(c.exchangerType)) {
        const double far = r.profile.shell.back();
        if (!(std::fabs(c.shellInletTemperature - far) < shootingTolerance))
            refuseRating("shell temperature at the far end", far, c.shellInletTemperature);
    } else {
        compare("shell inlet temperature", r.profile.shell.front(), c.shellInletTemperature);
    }
    if (r.tubeDuty)
        compare("tube duty", *r.tubeDuty,
                r.tubeMassFlow * c.tubeFluid.heatCapacity *
                    (c.tubeInletTemperature - r.tubeOutletTemperature));
    if (r.shellDuty)
        compare("shell duty", *r.shellDuty,
                r.shellMassFlow * c.shellFluid.heatCapacity *
                    (r.shellOutletTemperature - c.shellInletTemperature));
}

// The shell stream's drop in the arrangement rated: by Bell-Delaware where
// that shell side was used, and through every shell in series.
void arrangeShellDrop(const AssessOptions& options, std::optional<PressureDrop>& drop) {
    const Extensions& ext = options.extensions;
    if (ext.shellSide == ShellSideMethod::bellDelaware && options.bellDelaware) {
        PressureDrop d;
        d.method = PressureDropMethod::bellDelaware;
        d.reynolds = options.bellDelaware->reynolds;
        d.pressureDrop = options.bellDelaware->pressureDrop;
        drop = d;
    }
    if (drop && ext.shells > 1) {
        // Each shell is the case's shell: the shell stream crosses all of them.
        const double shells = ext.shells;
        drop->pressureDrop = drop->pressureDrop * shells;
        if (drop->correctedPressureDrop)
            *drop->correctedPressureDrop = *drop->correctedPressureDrop * shells;
        drop->length = drop->length * shells;
    }
}

}  // namespace

Assessment assess(const Case& c, const Rating& r, const AssessOptions& options) {
    requireRatingOf(c, r);
    // What the re-ratings rate: the extensions, marched element by element
    // with the models where the rating was.
    const detail::Arrangement arrangement{options.extensions,
                                          options.incremental ? &*options.incremental : nullptr};
    Assessment a;
    const bool solved = r.stage == Stage::solved && !options.rejectedBy;
    const bool shootingRejected =
        options.rejectedBy == Check::shootingGrows || options.rejectedBy == Check::shootingLimit;
    if (options.rejectedBy) a.triggers = rejectionTriggers(c, *options.rejectedBy, r);
    a.tubePressureDrop = tubePressureDrop(c, r);
    a.shellPressureDrop = shellDrop(c, r, options.shellWallViscosity);
    arrangeShellDrop(options, a.shellPressureDrop);
    if (solved) a.thermal = summariseThermal(c, r);
    if (options.grids >= 2 && (solved || shootingRejected))
        a.discretisation =
            estimateDiscretisation(c, arrangement, std::min(options.grids, 3), options.rating);

    const bool counterCurrent = isCounterCurrent(c.exchangerType);
    if (counterCurrent && reached(r, Stage::resistance)) {
        if (solved) {
            a.caseShooting = ShootingForecast{ShootingVerdict::finishes, r.shootingPasses};
        } else if (shootingRejected) {
            a.caseShooting = ShootingForecast{options.rejectedBy == Check::shootingGrows
                                                  ? ShootingVerdict::reduceFactor
                                                  : ShootingVerdict::diverges,
                                              r.shootingPasses};
        }
    }
    const bool slow = shootingRejected || r.shootingPasses > slowShootingPasses;
    if (slow || (options.shooting == ShootingAnalysis::always && reached(r, Stage::resistance)))
        a.shooting = adviseShooting(c, arrangement, options.rating);
    else
        a.shooting.applies = counterCurrent && detail::marches(options.extensions);

    auto add = [&](std::vector<Warning> more) {
        a.warnings.insert(a.warnings.end(), more.begin(), more.end());
    };
    if (options.source) {
        add(checkCaseText(options.text, *options.source));
    } else if (const CaseText* kept = sourceTextOf(c)) {
        add(checkCaseText(kept->text, kept->source));
    }
    add(checkCaseValues(c, r));
    add(checkRating(c, r, a.thermal, options.extensions.shellSide == ShellSideMethod::program));
    add(checkSecondLaw(c, r, a.thermal));
    if (!options.withExtensions || !options.extensions.empty())
        add(checkCorrelationSwitch(c, r, options.rating, arrangement));
    if (options.bellDelaware) add(checkBellDelawareHandOver(*options.bellDelaware));
    add(checkPressureDrop(a.shellPressureDrop));
    add(checkNumerics(c, r, a.discretisation, a.shooting, shootingRejected));
    std::stable_sort(a.warnings.begin(), a.warnings.end(),
                     [](const Warning& x, const Warning& y) { return x.severity > y.severity; });
    return a;
}

}  // namespace hxrate
