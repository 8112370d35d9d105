// What hxrate-report adds to a rating: pressure drops, effectiveness, the
// numerics of the march and the warnings about a case. Free functions on the
// public records; no files, no JSON, no HTML.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hxrate/case.h>
#include <hxrate/errors.h>
#include <hxrate/rating.h>

namespace hxrate::report {

// ---------------------------------------------------------------- pressure drop

// How a friction factor was obtained.
enum class FrictionSource {
    laminar,          // 64/Re of the model's laminar duct branch
    modelColebrook,   // the converged Colebrook value the model formed
    reportColebrook,  // a Colebrook value formed here (the model formed none)
    reportLaminar,    // 64/Re formed here (the model formed none)
    kernFit,          // Kern's fit f = exp(0.576 - 0.19 ln Re_s)
};
std::string_view frictionSourceName(FrictionSource source);  // "model-colebrook"

// A frictional pressure drop of one stream (no nozzle, entry or exit losses).
struct PressureDrop {
    std::string method;       // "darcy-weisbach" or "kern"
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
};

// Darcy-Weisbach: dP = f (L/D) rho v^2 / 2.
double darcyWeisbach(double f, double length, double diameter, double density, double velocity);

// Colebrook friction factor for a rough duct, iterated to 1e-12.
double colebrook(double Re, double relativeRoughness);

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
};
// Absent when the bundle leaves no free area (P <= Do) or the numbers fault.
std::optional<PressureDrop> kernPressureDrop(const KernInput& in);

// Tube side: one tube's mean velocity and the model's friction factor.
std::optional<PressureDrop> tubePressureDrop(const Case& c, const Rating& r);
// Shell side: Darcy-Weisbach on Dh for the axial types, Kern for cross flow.
std::optional<PressureDrop> shellPressureDrop(const Case& c, const Rating& r);

// ------------------------------------------------------------- thermal results

// Duties, effectiveness and mean temperature difference from a solved rating.
struct ThermalSummary {
    std::optional<double> tubeDuty, shellDuty;  // W
    std::optional<double> imbalance;            // |Qt - Qs| / max(|Qt|, |Qs|)
    double UA = 0;                              // U A, W/K
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

// ------------------------------------------------------------------- numerics

// The outlets marched at dL and dL/2 (both with the exact shooting).
struct Discretisation {
    bool formed = false;
    std::string note;              // why not formed
    double halfElementLength = 0;  // m
    std::int32_t halfElementCount = 0;
    double tubeOutletDifference = 0;  // K, dL minus dL/2
    double shellOutletDifference = 0;
    double estimate = 0;  // larger of the two, K
};
Discretisation estimateDiscretisation(const Case& c);

// Shooting of the counter-current types at the case's factor and at the
// fastest one.
struct ShootingAdvice {
    bool applies = false;                       // types 1 and 3
    std::optional<double> fastestFactor;        // UA'/slope
    std::optional<double> advisedFactor;        // a short decimal near it
    std::optional<std::int32_t> advisedPasses;  // passes at the advised factor
};
// The passes at which advice is given.
inline constexpr std::int32_t slowShootingPasses = 100;
ShootingAdvice adviseShooting(const Case& c);

// ------------------------------------------------------------------- rejection

// One value a check compared.
struct Trigger {
    std::string quantity;  // "tube-side Reynolds number Re"
    double value = 0;
    std::optional<double> limit;
    std::string relation;  // "must not exceed", "must be above", ...
};
std::vector<Trigger> rejectionTriggers(const Case& c, const CaseRejected& rejected);

// ------------------------------------------------------------------- warnings

enum class Severity { info, warning, error };
std::string_view severityName(Severity s);

struct Warning {
    std::string code;  // "decimal-comma"
    Severity severity = Severity::warning;
    std::string message;  // names the values
    int caseLine = 0;     // 1..21, 0 when none applies
};

// Text of the case file: decimal commas and labels that are not line numbers.
std::vector<Warning> checkCaseText(std::string_view text, const CaseSource& source);
// The values alone: unused values, overlapping tubes, unit scale.
std::vector<Warning> checkCaseValues(const Case& c);
// A rating, whole or partial: correlation ranges, energy balance,
// temperature cross, unit scale of the results.
std::vector<Warning> checkRating(const Case& c, const Rating& r);
// Kern's friction outside its fit.
std::vector<Warning> checkPressureDrop(const std::optional<PressureDrop>& shell);
std::vector<Warning> checkNumerics(const Case& c, const Rating* r, const Discretisation& d,
                                   const ShootingAdvice& s, bool shootingRejected);

// Thresholds, named once (docs/report.md lists them with their sources).
namespace limits {
inline constexpr double energyBalance = 1e-3;  // relative duty mismatch
inline constexpr double discretisation = 0.1;  // K
inline constexpr std::int32_t minimumElements = 10;
inline constexpr double gnielinskiLowReynolds = 3000;
inline constexpr double gnielinskiLowPrandtl = 0.5, gnielinskiHighPrandtl = 2000;
inline constexpr double bankLowPrandtl = 0.7, bankHighPrandtl = 500;
inline constexpr double bankLowReynolds = 10, bankHighReynolds = 2e6;
}  // namespace limits

// ---------------------------------------------------------------- whole report

enum class Outcome { solved, rejected };

// Everything the JSON file and the page show, in one record.
struct Report {
    std::string caseName;  // file name without its extension
    std::string casePath;
    Case input;
    CaseSource source;
    Outcome outcome = Outcome::solved;
    Rating rating;  // whole, or what was formed before the rejection
    std::optional<Check> rejectedBy;
    std::vector<Trigger> triggers;
    std::optional<PressureDrop> tubePressure, shellPressure;
    ThermalSummary thermal;
    Discretisation discretisation;
    ShootingAdvice shooting;
    std::vector<Warning> warnings;
};

// Rates the case text and forms every part of the report. Throws
// InputError, ArithmeticError and ResourceError as rate() does; a rejected
// case gives a report.
Report buildReport(std::string_view text, const std::string& casePath, const std::string& caseName);

// One value of the inputs table.
struct InputRow {
    std::string key;     // "tube_inner_diameter"
    std::string label;   // "tube inner diameter"
    std::string symbol;  // "Di"
    std::string unit;    // "m"; empty for counts and codes
    int caseLine = 0;
    std::uint64_t firstLine = 0, lastLine = 0;  // physical lines of the case line
    std::optional<double> value;                // numbers (codes and counts too)
    std::optional<std::string> text;            // names
};
std::vector<InputRow> describeInputs(const Case& c, const CaseSource& source);

// A sentence on a correlation (and the tube-bank row it used).
std::string correlationText(Correlation c, int bankRow);

// The verdict line of the summary: "rated", "rated with 2 errors", "rejected".
std::string verdict(const Report& r);
// Whether the stage of a partial rating formed a step.
bool reached(const Rating& r, Stage stage);

}  // namespace hxrate::report
