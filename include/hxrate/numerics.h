// hxrate/numerics.h: the numerics of the march: what the shooting does with
// a correction factor, the advised factor, and the discretisation estimate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/rating.h"

namespace hxrate {

// The shooting's mismatch below which it stops, degrees: the solver's
// single-precision 1e-5 widened to double.
inline constexpr double shootingTolerance = static_cast<double>(1e-5f);

enum class ShootingVerdict { finishes, reduceFactor, diverges };

struct ShootingForecast {
    ShootingVerdict verdict = ShootingVerdict::finishes;
    std::int64_t passes = 0;  // marches made before the run finishes or stops
};

// What the shooting does with `factor`, from the affine map alone.
ShootingForecast forecastShooting(const ShootingMap& a, double factor,
                                  std::int32_t passLimit = RateOptions{}.passLimit);

// The factor whose first correction lands on the answer: UAp/slope.
double fastestFactor(const ShootingMap& a);

// The open range of factors that finish within passLimit passes.
struct FactorRange {
    double low, high;
};
// Nothing when no factor does.
std::optional<FactorRange> finishingFactors(const ShootingMap& a,
                                            std::int32_t passLimit = RateOptions{}.passLimit);

// What the library's shooting does with the case and `factor`: its verdict
// and the passes it made. Throws what rate() throws for anything but the two
// shooting checks.
ShootingForecast shootingOutcome(const Case& c, double factor, const RateOptions& options = {});

// The shortest decimal (from two significant digits) near the fastest factor
// that finishes the case, marched as rate() marches it, in no more passes
// than the fastest factor itself.
struct AdvisedFactor {
    double factor = 0;                   // the fastest factor when none shorter finishes
    std::optional<std::int32_t> passes;  // absent when even the fastest does not finish
};
AdvisedFactor adviseFactor(const Case& c, const ShootingMap& a, const RateOptions& options = {});

// Passes above which the case's shooting counts as slow and is advised on.
inline constexpr std::int32_t slowShootingPasses = 100;

// The shooting of the counter-current types at the case's factor and at the
// fastest one.
struct ShootingAdvice {
    bool applies = false;                       // types 1 and 3
    std::optional<ShootingMap> map;             // the two passes of the analysis
    std::optional<double> fastestFactor;        // UAp/slope
    std::optional<double> advisedFactor;        // a short decimal near it
    std::optional<std::int32_t> advisedPasses;  // passes at the advised factor
};

// The case solved on the grid of element length dL/divisor with the exact
// shooting, so that the answer does not depend on the case's factor.
struct GridSolution {
    double elementLength = 0;  // m
    std::int32_t elementCount = 0;
    bool solved = false;
    std::string failure;                     // why it was not solved
    double tubeOutlet = 0, shellOutlet = 0;  // tube fluid at the last node, shell fluid leaving
};
// Grids finer than this many elements are not rated for an estimate.
inline constexpr double largestEstimateGrid = 2e7;

// Richardson estimate from the outlets on dL, dL/2 and dL/4: the error of
// the dL value and the observed order (absent when the three do not show
// one, in which case first order, the order of the element step, is taken).
struct ErrorEstimate {
    double error = 0;
    std::optional<double> observedOrder;
};

// The outlets marched at dL, dL/2 and (when asked) dL/4.
struct Discretisation {
    bool formed = false;           // dL and dL/2 both solved
    std::string note;              // why not formed
    double halfElementLength = 0;  // m
    std::int32_t halfElementCount = 0;
    double tubeOutletDifference = 0;  // K, dL minus dL/2
    double shellOutletDifference = 0;
    double estimate = 0;                                 // larger of the two, K
    std::vector<GridSolution> grids;                     // dL, dL/2[, dL/4]
    std::optional<ErrorEstimate> tubeError, shellError;  // with three grids solved
};
// `gridCount` 2 (dL, dL/2) or 3 (also dL/4).
Discretisation estimateDiscretisation(const Case& c, int gridCount = 2,
                                      const RateOptions& options = {});

// The steps the assessment takes on its way, public for their tests and
// for tools that show them; not part of the stable API.
namespace detail {

// Factor by which one correction multiplies the mismatch: 1 - slope*c/UAp.
double errorRatio(const ShootingMap& a, double factor);
// The case solved on the grid dL/divisor (GridSolution).
GridSolution solveOnGrid(const Case& c, int divisor, const RateOptions& options = {});
// The Richardson estimate of ErrorEstimate from three grids.
ErrorEstimate estimateError(double coarse, double half, double quarter);

}  // namespace detail

}  // namespace hxrate
