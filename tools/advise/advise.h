// hxrate-advise: how the shooting on the shell outlet temperature of the
// counter-current types behaves for any correction factor, and how much the
// outlet temperatures owe to the element length. Every march is the
// library's: the tool only forecasts, tries factors and compares grids.
#pragma once

#include <hxrate/hxrate.h>

#include <cstdint>
#include <optional>

namespace hxrate::tools {

// How the tool rates: the program's pass limit and grid storage limit.
RateOptions rateOptions();

// The shooting's pass limit, as rate() applies it by default.
inline constexpr std::int32_t shootingPassLimit = RateOptions{}.passLimit;
// The mismatch below which the shooting stops, degrees: the solver's
// single-precision 1e-5 widened to double.
inline constexpr double shootingTolerance = static_cast<double>(1e-5f);

// Factor by which one correction multiplies the mismatch: 1 - slope*c/UAp.
double errorRatio(const ShootingMap& a, double factor);

enum class ShootingVerdict { Finishes, ReduceFactor, Diverges };

struct ShootingForecast {
    ShootingVerdict verdict;
    std::int64_t passes;  // marches made before the run finishes or stops
};

// What the shooting does with `factor`, from the affine map alone.
ShootingForecast forecastShooting(const ShootingMap& a, double factor,
                                  std::int32_t passLimit = shootingPassLimit);

// The factor whose first correction lands on the answer: UAp/slope.
double fastestFactor(const ShootingMap& a);

// The open range of factors that finish within passLimit passes; nothing when
// no factor does.
struct FactorRange {
    double low, high;
};
std::optional<FactorRange> finishingFactors(const ShootingMap& a,
                                            std::int32_t passLimit = shootingPassLimit);

// What the library's shooting does with the case and `factor`: its verdict
// and the passes it made. Throws what rate() throws for anything but the two
// shooting checks.
ShootingForecast shootingOutcome(const Case& c, double factor,
                                 std::int32_t passLimit = shootingPassLimit);

// The shortest decimal near the fastest factor that finishes the case in the
// fewest passes when rated; `passes` receives that count (-1 when even the
// fastest factor does not finish).
double advisedFactor(const Case& c, const ShootingMap& a, std::int64_t& passes);

// Outlet temperatures of a solved rating: the tube fluid at the last node,
// the shell fluid where it leaves.
struct Outlets {
    double tube;
    double shell;
};

// The case solved on the grid of element length dL/divisor with the exact
// shooting, so that the answer does not depend on the case's factor;
// nothing when that grid cannot be solved.
struct GridSolution {
    double elementLength;
    std::int32_t elementCount;
    Outlets outlets;
};
std::optional<GridSolution> solveOnGrid(const Case& c, int divisor);

// Richardson estimate from the outlets on dL, dL/2 and dL/4: the error of
// the dL value and the observed order (NaN when the three do not show one,
// in which case first order, the order of the element step, is assumed).
struct ErrorEstimate {
    double error;
    double observedOrder;
};
ErrorEstimate estimateError(double coarse, double half, double quarter);

}  // namespace hxrate::tools
