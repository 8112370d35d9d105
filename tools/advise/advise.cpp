#include "advise.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/arithmetic.h"
#include "core/failures.h"
#include "core/geometry.h"
#include "core/messages.h"
#include "core/temperature_profile.h"

namespace hxrate::tools {
namespace {

bool isCounterCurrent(std::int32_t type) {
    return type == ExchangerType::CounterCurrent || type == ExchangerType::CrossFlowCounterCurrent;
}

MarchCoefficients coefficientsOf(const CaseRecords& r) {
    return marchCoefficients(r.input, r.model, isCounterCurrent(r.input.exchangerType) ? -1 : +1);
}

// One pass of the case's march started from the shell temperature `start`
// at node 0 (or in the first compartment); returns the shell temperature it
// reaches at the other end. The axial pass is the solver's own element loop.
double marchPass(CaseRecords& r, const MarchCoefficients& c, double start) {
    TemperatureProfile& p = r.profile;
    p.tubeTemperature[0] = r.input.tubeInletTemperature;
    if (isCrossFlow(r.input.exchangerType))
        return marchCompartments(r.input, r.geometry, c, p, start);
    double* Ts = p.shellTemperature.get();
    Ts[0] = start;
    marchAxialPass(c, r.geometry.elementCount, p.tubeTemperature.get(), Ts);
    return Ts[r.geometry.elementCount];
}

}  // namespace

void prepareCase(const std::string& path, CaseRecords& records) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw InputError(errorNumber::caseFileUnreadable,
                         "cannot read the case file " + path + ": " + std::strerror(errno), path);
    }
    FreeFormReader reader(path, fd);
    rateExchanger(reader, records, RunLimits{profileStorageLimit()});
}

ShootingAnalysis analyseShooting(CaseRecords& r) {
    clearArithmeticFlags();
    MarchCoefficients c = coefficientsOf(r);
    const double Ts_in = r.input.shellInletTemperature;
    ShootingAnalysis a;
    a.conductance = r.model.conductancePerLength;
    double end0 = marchPass(r, c, Ts_in);
    a.firstError = checked(Ts_in - end0, "shooting mismatch");
    // A second start a whole mismatch (at least one degree) away.
    double delta = std::copysign(std::max(std::fabs(a.firstError), 1.0), a.firstError);
    double end1 = marchPass(r, c, Ts_in + delta);
    a.slope = checked((end1 - end0) / delta, "shooting slope");
    return a;
}

double errorRatio(const ShootingAnalysis& a, double factor) {
    return 1 - a.slope * factor / a.conductance;
}

ShootingForecast forecastShooting(const ShootingAnalysis& a, double factor,
                                  std::int32_t passLimit) {
    const double firstError = std::fabs(a.firstError);
    if (firstError < k::convergenceTolerance) return {ShootingVerdict::Finishes, 1};
    const double ratio = std::fabs(errorRatio(a, factor));
    // A growing mismatch is caught when the second correction is checked.
    if (ratio > 1) return {ShootingVerdict::ReduceFactor, 2};
    if (!(ratio < 1)) return {ShootingVerdict::Diverges, passLimit};
    if (ratio == 0) return {ShootingVerdict::Finishes, 2};
    // Corrections m until firstError*ratio^m < tol; the pass after the m-th
    // correction is the one that meets the tolerance.
    double corrections =
        std::floor(std::log(k::convergenceTolerance / firstError) / std::log(ratio)) + 1;
    if (corrections >= passLimit) return {ShootingVerdict::Diverges, passLimit};
    return {ShootingVerdict::Finishes, static_cast<std::int64_t>(corrections) + 1};
}

double fastestFactor(const ShootingAnalysis& a) {
    return a.conductance / a.slope;
}

std::optional<FactorRange> finishingFactors(const ShootingAnalysis& a, std::int32_t passLimit) {
    const double best = fastestFactor(a);
    const double firstError = std::fabs(a.firstError);
    if (!std::isfinite(best) || best == 0 || firstError < k::convergenceTolerance)
        return std::nullopt;
    // |1 - factor/best| must stay below the ratio that still meets the
    // tolerance after passLimit - 1 corrections.
    double ratio = std::pow(k::convergenceTolerance / firstError, 1.0 / (passLimit - 1));
    double low = best * (1 - ratio), high = best * (1 + ratio);
    if (low > high) std::swap(low, high);
    return FactorRange{low, high};
}

ShootingForecast shoot(CaseRecords& r, double factor, std::int32_t passLimit) {
    clearArithmeticFlags();
    MarchCoefficients c = coefficientsOf(r);
    const double Ts_in = r.input.shellInletTemperature;
    ShootingState state{.passLimit = passLimit};
    double start = Ts_in;
    for (std::int64_t passes = 1;; ++passes) {
        double err = checked(Ts_in - marchPass(r, c, start), "shooting mismatch");
        if (std::fabs(err) < k::convergenceTolerance) return {ShootingVerdict::Finishes, passes};
        start = checked(err * factor / r.model.conductancePerLength + start, "shooting correction");
        try {
            checkShootingProgress(state, std::fabs(err));
        } catch (const CaseRejected& stop) {
            bool reduce = stop.check() == Check::shootingGrows;
            return {reduce ? ShootingVerdict::ReduceFactor : ShootingVerdict::Diverges, passes};
        }
    }
}

double advisedFactor(CaseRecords& r, const ShootingAnalysis& a, std::int64_t& passes) {
    const double best = fastestFactor(a);
    ShootingForecast target = shoot(r, best);
    passes = target.verdict == ShootingVerdict::Finishes ? target.passes : -1;
    if (passes < 0) return best;
    // 17 significant digits give `best` back, so the search always ends.
    for (int digits = 2; digits <= 17; ++digits) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, best);
        double factor = std::strtod(text, nullptr);
        ShootingForecast f = shoot(r, factor);
        if (f.verdict == ShootingVerdict::Finishes && f.passes <= passes) {
            passes = f.passes;
            return factor;
        }
    }
    return best;
}

Outlets outletsOf(const CaseRecords& r) {
    const std::int32_t Nel = r.geometry.elementCount;
    const double* Tt = r.profile.tubeTemperature.get();
    const double* Ts = r.profile.shellTemperature.get();
    switch (r.input.exchangerType) {
        case ExchangerType::CoCurrent:
            return {Tt[Nel], Ts[Nel]};
        case ExchangerType::CrossFlowCoCurrent:
            return {Tt[Nel], r.profile.finalShellTemperature};
        default:
            return {Tt[Nel], Ts[0]};
    }
}

std::optional<GridSolution> solveOnGrid(const CaseRecords& base, int divisor) {
    CaseRecords r;
    r.input = base.input;
    r.input.elementLength = base.input.elementLength / divisor;
    r.geometry = base.geometry;
    r.model = base.model;
    try {
        clearArithmeticFlags();
        computeElementGrid(r.input, r.geometry, r.profile, profileStorageLimit());
        computeBaffleCompartments(r.input, r.geometry);
        if (isCounterCurrent(r.input.exchangerType) && r.geometry.elementCount >= 0) {
            ShootingAnalysis a = analyseShooting(r);
            if (std::isfinite(fastestFactor(a))) r.input.correctionFactor = fastestFactor(a);
        }
        clearArithmeticFlags();
        solveTemperatureProfile(r.input, r.geometry, r.model, r.profile);
    } catch (const CaseRejected&) {
        return std::nullopt;
    } catch (const ArithmeticError&) {
        return std::nullopt;
    } catch (const ResourceError&) {
        return std::nullopt;
    }
    return GridSolution{r.input.elementLength, r.geometry.elementCount, outletsOf(r)};
}

ErrorEstimate estimateError(double coarse, double half, double quarter) {
    const double d1 = coarse - half, d2 = half - quarter;
    double order = std::numeric_limits<double>::quiet_NaN();
    if (d1 != 0 && d2 != 0 && (d1 > 0) == (d2 > 0)) {
        double p = std::log2(d1 / d2);
        if (p >= 0.5 && p <= 4) order = p;
    }
    const double p = std::isnan(order) ? 1.0 : order;
    return {d1 / (1 - std::pow(2.0, -p)), order};
}

}  // namespace hxrate::tools
