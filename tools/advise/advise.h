// hxrate-advise: how the shooting on the shell outlet temperature of the
// counter-current types behaves for any correction factor, and how much the
// outlet temperatures owe to the element length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/driver.h"

namespace hxrate::tools {

// Reads the case file at `path` and rates the exchanger as hxrate does, up
// to the temperature solver, without creating or changing any file. Throws
// what rateExchanger throws for a case that never reaches the solver.
void prepareCase(const std::string& path, CaseRecords& records);

// The shooting as an affine map: a pass started from the shell temperature T
// at node 0 reaches the shell inlet end with a + slope*T, so the mismatch
// after a correction with factor c is the one before times
// 1 - slope*c/conductance.
struct ShootingAnalysis {
    double firstError = 0;   // Ts_in minus where the first pass (from Ts_in) ends
    double slope = 0;        // change of the far-end temperature per unit of start value
    double conductance = 0;  // UAp, the divisor of the correction
};

// Two passes of the case's march from different start values.
ShootingAnalysis analyseShooting(CaseRecords& records);

// Factor by which one correction multiplies the mismatch.
double errorRatio(const ShootingAnalysis& a, double factor);

enum class ShootingVerdict { Finishes, ReduceFactor, Diverges };

struct ShootingForecast {
    ShootingVerdict verdict;
    std::int64_t passes;  // marches made before the run finishes or stops
};

// What the shooting does with `factor`, from the affine map alone.
ShootingForecast forecastShooting(const ShootingAnalysis& a, double factor,
                                  std::int32_t passLimit = k::shootingPassLimit);

// The factor whose first correction lands on the answer: conductance/slope.
double fastestFactor(const ShootingAnalysis& a);

// The open range of factors that finish within passLimit passes; nothing when
// no factor does.
struct FactorRange {
    double low, high;
};
std::optional<FactorRange> finishingFactors(const ShootingAnalysis& a,
                                            std::int32_t passLimit = k::shootingPassLimit);

// Runs hxrate's shooting with `factor` on the records, counting the passes
// (the march, the correction and the progress check exactly as the solver
// makes them). The profile holds the last pass afterwards.
ShootingForecast shoot(CaseRecords& records, double factor,
                       std::int32_t passLimit = k::shootingPassLimit);

// The shortest decimal near the fastest factor that finishes the case in the
// fewest passes when marched; `passes` receives that count.
double advisedFactor(CaseRecords& records, const ShootingAnalysis& a, std::int64_t& passes);

// Outlet temperatures of a solved profile: the tube fluid at the last node,
// the shell fluid where it leaves (the last node or compartment for the
// co-current types, node 0 for the counter-current ones).
struct Outlets {
    double tube;
    double shell;
};
Outlets outletsOf(const CaseRecords& records);

// The case solved on the grid of element length dL/divisor (the counter-
// current types with their fastest factor, so that the answer does not
// depend on the case's factor); nothing when that grid cannot be solved.
struct GridSolution {
    double elementLength;
    std::int32_t elementCount;
    Outlets outlets;
};
std::optional<GridSolution> solveOnGrid(const CaseRecords& base, int divisor);

// Richardson estimate from the outlets on dL, dL/2 and dL/4: the error of
// the dL value and the observed order (NaN when the three do not show one,
// in which case first order, the order of the element step, is assumed).
struct ErrorEstimate {
    double error;
    double observedOrder;
};
ErrorEstimate estimateError(double coarse, double half, double quarter);

}  // namespace hxrate::tools
