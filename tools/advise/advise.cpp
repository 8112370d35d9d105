#include "advise.h"

#include <hxrate/program.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "files.h"

namespace hxrate::tools {

RateOptions rateOptions() {
    return RateOptions{.storageLimitBytes = programStorageLimit()};
}

double errorRatio(const ShootingMap& a, double factor) {
    return 1 - a.slope * factor / a.conductancePerLength;
}

ShootingForecast forecastShooting(const ShootingMap& a, double factor, std::int32_t passLimit) {
    const double firstError = std::fabs(a.firstMismatch);
    if (firstError < shootingTolerance) return {ShootingVerdict::Finishes, 1};
    const double ratio = std::fabs(errorRatio(a, factor));
    // A growing mismatch is caught when the second correction is checked.
    if (ratio > 1) return {ShootingVerdict::ReduceFactor, 2};
    if (!(ratio < 1)) return {ShootingVerdict::Diverges, passLimit};
    if (ratio == 0) return {ShootingVerdict::Finishes, 2};
    // Corrections m until firstError*ratio^m < tol; the pass after the m-th
    // correction is the one that meets the tolerance.
    double corrections = std::floor(std::log(shootingTolerance / firstError) / std::log(ratio)) + 1;
    if (corrections >= passLimit) return {ShootingVerdict::Diverges, passLimit};
    return {ShootingVerdict::Finishes, static_cast<std::int64_t>(corrections) + 1};
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

ShootingForecast shootingOutcome(const Case& c, double factor, std::int32_t passLimit) {
    Case tried = c;
    tried.correctionFactor = factor;
    try {
        RateOptions options = rateOptions();
        options.passLimit = passLimit;
        Rating r = rate(tried, options);
        return {ShootingVerdict::Finishes, r.shootingPasses};
    } catch (const CaseRejected& stop) {
        if (stop.check() != Check::shootingGrows && stop.check() != Check::shootingLimit) throw;
        bool reduce = stop.check() == Check::shootingGrows;
        std::int64_t passes = stop.partial() ? stop.partial()->shootingPasses : 0;
        return {reduce ? ShootingVerdict::ReduceFactor : ShootingVerdict::Diverges, passes};
    }
}

double advisedFactor(const Case& c, const ShootingMap& a, std::int64_t& passes) {
    const double best = fastestFactor(a);
    ShootingForecast target = shootingOutcome(c, best);
    passes = target.verdict == ShootingVerdict::Finishes ? target.passes : -1;
    if (passes < 0) return best;
    // 17 significant digits give `best` back, so the search always ends.
    for (int digits = 2; digits <= 17; ++digits) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, best);
        double factor = std::strtod(text, nullptr);
        ShootingForecast f = shootingOutcome(c, factor);
        if (f.verdict == ShootingVerdict::Finishes && f.passes <= passes) {
            passes = f.passes;
            return factor;
        }
    }
    return best;
}

std::optional<GridSolution> solveOnGrid(const Case& c, int divisor) {
    Case fine = c;
    fine.elementLength = c.elementLength / divisor;
    try {
        RateOptions options = rateOptions();
        options.shooting = ShootingMethod::exact;
        Rating r = rate(fine, options);
        return GridSolution{fine.elementLength,
                            r.geometry.elementCount,
                            {r.tubeOutletTemperature, r.shellOutletTemperature}};
    } catch (const Error&) {
        return std::nullopt;
    }
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
