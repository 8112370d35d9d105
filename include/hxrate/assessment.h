// hxrate/assessment.h: the engineering assessment of a rating: duty,
// effectiveness, pressure drops, the numerics of the march and the warnings.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/design.h"
#include "hxrate/errors.h"
#include "hxrate/rating.h"

namespace hxrate {

// ---------------------------------------------------------------- thermal results

// Which way the heat goes, seen from the tube stream.
enum class DutyDirection {
    none,              // no duty formed, or none passed (equal inlets)
    tubeStreamCooled,  // the tube stream gives heat to the shell stream
    tubeStreamHeated,  // the tube stream takes heat from the shell stream
};
// "tube stream cooled", "tube stream heated", "none".
std::string_view dutyDirectionText(DutyDirection direction);

// Duties, effectiveness and mean temperature difference of a solved rating.
struct ThermalSummary {
    std::optional<double> duty;  // |tube duty|, W
    DutyDirection dutyDirection = DutyDirection::none;
    std::optional<double> tubeDuty, shellDuty;  // heat given off / taken up, signed, W
    std::optional<double> imbalance;            // |Qt - Qs| / max(|Qt|, |Qs|)
    std::optional<double> UA;                   // U A, W/K
    std::optional<double> effectiveness;        // from the outlets
    std::optional<double> ntu;                  // UA / Cmin
    std::optional<double> capacityRatio;        // Cmin / Cmax
    std::optional<double> idealEffectiveness;   // closed form with the same UA
    bool idealCounterCurrent = false;           // which closed form
    std::optional<double> lmtd;                 // K
};
ThermalSummary summariseThermal(const Case& c, const Rating& r);

// Effectiveness of an ideal co- or counter-current exchanger.
double idealEffectiveness(double ntu, double capacityRatio, bool counterCurrent);

// ---------------------------------------------------------------- pressure drop

// How a friction factor was obtained.
enum class FrictionSource {
    laminar,          // 64/Re of the model's laminar duct branch
    modelTurbulent,   // the Colebrook value the model's turbulent duct form formed
    reportTurbulent,  // the model's Colebrook formed for the assessment (the model formed none)
    reportLaminar,    // 64/Re formed for the assessment (the model formed none)
    kernFit,          // Kern's fit f = exp(0.576 - 0.19 ln Re_s)
};
std::string_view frictionSourceName(FrictionSource source);  // "model-colebrook"
// The same in words: "the model's converged Colebrook value".
std::string_view frictionSourceText(FrictionSource source);

// A sentence on a correlation (and the tube-bank row it used).
std::string correlationText(Correlation c, int bankRow);

enum class PressureDropMethod { darcyWeisbach, kern };
std::string_view pressureDropMethodName(PressureDropMethod method);  // "darcy-weisbach", "kern"

// A frictional pressure drop of one stream (no nozzle, entry or exit losses).
struct PressureDrop {
    PressureDropMethod method = PressureDropMethod::darcyWeisbach;
    bool estimate = false;    // Kern's method: an estimate, not the model's own
    double pressureDrop = 0;  // dP, Pa
    double friction = 0;      // Darcy (or Kern) friction factor
    FrictionSource frictionSource = FrictionSource::laminar;
    double reynolds = 0;      // Re the friction factor was taken at
    double diameter = 0;      // Di, Dh or De, m
    double length = 0;        // flow length, m (Darcy-Weisbach)
    double velocity = 0;      // mean velocity, m/s (Darcy-Weisbach)
    double massVelocity = 0;  // G = mdot/As, kg/(m2 s) (Kern)
    double flowArea = 0;      // As, m2 (Kern)
    // Kern's drop with the wall-viscosity correction, where the wall
    // viscosity of the shell fluid is known: phi_s = (mu/mu_w)^0.14 and
    // dP / phi_s, Pa. pressureDrop stays the uncorrected value.
    std::optional<double> viscosityCorrection;
    std::optional<double> correctedPressureDrop;
};

// Darcy-Weisbach: dP = f (L/D) rho v^2 / 2.
double darcyWeisbach(double f, double length, double diameter, double density, double velocity);

// Kern's shell-side friction factor and its fitted Reynolds range.
double kernFriction(double Re);
inline constexpr double kernFitLowReynolds = 400;
inline constexpr double kernFitHighReynolds = 1e6;

// Kern's equivalent diameter of the bundle, m.
double kernEquivalentDiameter(std::int32_t arrangement, double pitch, double Do);

// The inputs of Kern's method, separate from a case so that a published
// worked example can be put in directly.
struct KernInput {
    double massFlow, density, viscosity;  // kg/s, kg/m3, Pa s
    double shellDiameter, baffleSpacing;  // Ds, B, m
    double pitch, outerDiameter;          // transverse pitch P, Do, m
    std::int64_t baffleCount;             // Nb
    std::int32_t arrangement;             // BundleArrangement code
    // mu_w of the shell fluid at the wall, Pa s: forms the corrected drop
    // too (left absent when mu_w is not above 0 or the correction faults).
    std::optional<double> wallViscosity = std::nullopt;
};
// Absent when the bundle leaves no free area (P <= Do) or the numbers fault.
std::optional<PressureDrop> kernPressureDrop(const KernInput& in);

// Tube side: one tube's mean velocity and the model's friction factor.
std::optional<PressureDrop> tubePressureDrop(const Case& c, const Rating& r);
// Shell side: Darcy-Weisbach on Dh for the axial types, Kern for cross flow.
std::optional<PressureDrop> shellPressureDrop(const Case& c, const Rating& r);

// ---------------------------------------------------------------- the shooting

// The shooting's mismatch below which it stops, degrees: the solver's
// single-precision 1e-5 widened to double.
inline constexpr double shootingTolerance = static_cast<double>(1e-5f);

// Factor by which one correction multiplies the mismatch: 1 - slope*c/UAp.
double errorRatio(const ShootingMap& a, double factor);

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

// ---------------------------------------------------------------- discretisation

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
GridSolution solveOnGrid(const Case& c, int divisor, const RateOptions& options = {});

// Richardson estimate from the outlets on dL, dL/2 and dL/4: the error of
// the dL value and the observed order (absent when the three do not show
// one, in which case first order, the order of the element step, is taken).
struct ErrorEstimate {
    double error = 0;
    std::optional<double> observedOrder;
};
ErrorEstimate estimateError(double coarse, double half, double quarter);

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

// ---------------------------------------------------------------- rejection

// One value a check compared.
struct Trigger {
    std::string quantity;  // "tube-side Reynolds number Re"
    double value = 0;
    std::optional<double> limit;
    std::string relation;  // "must not exceed", "must be above", ...
};
// The values behind a rejection; `partial` is what was formed before it.
std::vector<Trigger> rejectionTriggers(const Case& c, Check check, const Rating& partial);

// ---------------------------------------------------------------- warnings

enum class Severity { info, warning, error };
std::string_view severityName(Severity s);  // "info", "warning", "error"

// One value a warning names.
struct WarningValue {
    std::string name;  // "Re", "U", "x"
    double value = 0;
};

struct Warning {
    std::string code;  // "decimal-comma"
    Severity severity = Severity::warning;
    std::string message;  // names the values
    int caseLine = 0;     // 1..21, 0 when none applies
    std::vector<WarningValue> values;
};

// Thresholds, named once (docs/report.md lists them with their sources).
namespace limits {
inline constexpr double energyBalance = 1e-3;  // relative duty mismatch
inline constexpr double discretisation = 0.1;  // K
inline constexpr std::int32_t minimumElements = 10;
inline constexpr double gnielinskiLowReynolds = 3000;
inline constexpr double gnielinskiLowPrandtl = 0.5, gnielinskiHighPrandtl = 2000;
inline constexpr double bankLowPrandtl = 0.7, bankHighPrandtl = 500;
inline constexpr double bankLowReynolds = 10, bankHighReynolds = 2e6;
// correlation-switch: a boundary this near (relative distance of the
// switching quantity), and a jump of U larger than this (max/min - 1).
inline constexpr double switchProximity = 0.10;
inline constexpr double switchJump = 0.20;
}  // namespace limits

// ---------------------------------------------------------------- the assessment

// How much of the shooting analysis to form.
enum class ShootingAnalysis {
    whenSlow,  // only when the case's shooting is slow or was rejected
    always,    // every counter-current case
};

struct AssessOptions {
    // The case's text and where its lines stood (parseCase with a
    // CaseSource). Without them the text checks run on the text the case
    // was read from (sourceTextOf), if it kept one and is unchanged since.
    std::string_view text;
    std::optional<CaseSource> source;
    // The check that rejected the case, when `rating` is the partial one.
    std::optional<Check> rejectedBy;
    // How the re-ratings are made: pass and storage limits, and the
    // caller's stop flag (rating.cancel), looked at as rate() looks at it.
    RateOptions rating;
    // The discretisation estimate re-rates the case: 0 (none), 2 or 3 grids.
    int grids = 2;
    ShootingAnalysis shooting = ShootingAnalysis::whenSlow;
    // mu_w of the shell fluid at the wall, Pa s: Kern's shell-side drop is
    // then also given with the wall-viscosity correction.
    std::optional<double> shellWallViscosity;
    // Whether `r` is a rating with extensions (rateExtended with non-empty
    // Extensions): the correlation-switch check of the program's
    // correlations, whose re-ratings know only the case, is then not made.
    bool withExtensions = false;
    // The Bell-Delaware shell side that rating used (ExtendedRating::
    // bellDelaware): a Reynolds number near its laminar/turbulent hand-over at
    // Re = 100 is a correlation-switch warning of its own.
    std::optional<BellDelawareResult> bellDelaware;
};

// What the library says about a rated case beyond the rating.
struct Assessment {
    ThermalSummary thermal;  // only of a solved rating
    std::optional<PressureDrop> tubePressureDrop, shellPressureDrop;
    Discretisation discretisation;
    ShootingAdvice shooting;
    std::optional<ShootingForecast> caseShooting;  // what the case's own factor did
    std::vector<Trigger> triggers;                 // of a rejection
    std::vector<Warning> warnings;                 // errors first, then warnings, then notes
};

// Assesses a rating, whole or partial (then name the check in
// options.rejectedBy). Re-rates the case for the discretisation estimate,
// the shooting advice and the correlation-switch check; never throws
// for what those re-ratings meet, but Cancelled when options.rating.cancel
// is set. Throws InvalidArgument (argument "rating") when `r` cannot be a
// rating of `c`, by rate() or rateExtended(): a quantity the case alone
// determines (geometry, Prandtl numbers, shell flow area, mass flows, the
// inlet temperatures of a marched rating) differs.
Assessment assess(const Case& c, const Rating& r, const AssessOptions& options = {});

}  // namespace hxrate
