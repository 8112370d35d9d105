// hxrate/vibration.h: flow-induced vibration screening of a baffled tube
// bundle in cross flow: each unsupported span's natural frequency with the
// added mass of the fluids, the cross-flow velocity through its gaps, the
// fluid-elastic critical velocity (Connors), the vortex-shedding and
// turbulent-buffeting amplitudes, and for a gas the shell's acoustic
// resonance. docs/vibration.md gives each formula with its source.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/errors.h"
#include "hxrate/extensions.h"
#include "hxrate/warnings.h"

namespace hxrate {

// Tube materials with published room-temperature elastic modulus and
// density (tubeMaterialProperties cites them).
enum class TubeMaterial {
    carbonSteel,
    stainlessSteel,  // austenitic, types 304 and 316
    copper,
    admiraltyBrass,
    titanium,
};

struct MaterialProperties {
    double elasticModulus = 0;  // E, Pa
    double density = 0;         // kg/m3
};

MaterialProperties tubeMaterialProperties(TubeMaterial m);
// "carbon-steel", "stainless-steel", "copper", "admiralty-brass", "titanium".
std::string_view tubeMaterialName(TubeMaterial m);
std::optional<TubeMaterial> tubeMaterialFromName(std::string_view name);
// The same, refusing a name not in the table: InvalidArgument naming
// "vibration.material" and the names there are.
TubeMaterial tubeMaterialNamed(std::string_view name);
// Every material, in the order above.
std::vector<TubeMaterial> tubeMaterials();

// The shell fluid's phase, which sets the default damping and whether the
// shell's acoustic resonance is screened.
enum class ShellPhase { liquid, gas };
std::string_view shellPhaseName(ShellPhase p);  // "liquid", "gas"

// Below this density, kg/m3, a shell fluid whose phase is not given is a gas.
inline constexpr double gasDensityBelow = 100;

// What the screening needs beyond the case. Every value left unset takes
// the default docs/vibration.md states with its source.
struct VibrationInput {
    TubeMaterial material = TubeMaterial::carbonSteel;
    std::optional<double> elasticModulus;   // Pa; overrides the material's
    std::optional<double> tubeDensity;      // kg/m3; overrides the material's
    std::optional<ShellPhase> shellPhase;   // default: gas below gasDensityBelow
    std::optional<double> logDecrement;     // delta of the tube's damping
    std::optional<double> connorsConstant;  // K of the instability criterion
    // The ratio V/V_crit a span may reach: a margin below 1 is a design
    // choice; at or above it the span is unstable.
    double velocityRatioLimit = 1.0;
    std::optional<double> strouhalNumber;     // of vortex shedding
    std::optional<double> liftCoefficient;    // C_L of the periodic lift
    std::optional<double> buffetingSpectrum;  // normalised force spectrum of turbulence
    // The allowed amplitude at mid-span as a fraction of the smallest gap
    // between tubes; unset: 2 % of the tube's outer diameter.
    std::optional<double> allowedGapFraction;
    // For a gas: its speed of sound, m/s, or the absolute pressure, Pa, and
    // the ratio of heat capacities from which an ideal gas's is formed.
    std::optional<double> speedOfSound;
    std::optional<double> pressure;
    double heatCapacityRatio = 1.4;

    bool operator==(const VibrationInput&) const = default;
};

// How a span's end is held: clamped in the tubesheet, pinned in a baffle
// hole.
enum class SpanEnd { clamped, pinned };
std::string_view spanEndName(SpanEnd e);  // "clamped", "pinned"

// One kind of unsupported span. A tube in the baffles' overlap passes
// through every baffle; a tube in a window through every other one, so its
// spans run over two spacings.
struct VibrationSpan {
    // "inlet", "central", "outlet", "whole"; "window inlet", "window
    // central", "window outlet", "window whole"
    std::string name;
    bool inWindow = false;  // a span of the tubes in a window
    int count = 1;          // spans of this kind along the tubes (of both windows)
    double length = 0;      // m
    SpanEnd startEnd = SpanEnd::pinned, endEnd = SpanEnd::pinned;
    double frequencyFactor = 0;   // (lambda L)^2 of the end conditions
    double naturalFrequency = 0;  // f_n, Hz, first mode
    // V, m/s: through the gaps of its compartment, or for a window span
    // through the window's net flow area
    double velocity = 0;
    double criticalVelocity = 0;    // V_crit, m/s, fluid-elastic instability
    double velocityRatio = 0;       // V/V_crit
    double vortexFrequency = 0;     // f_vs = St V/Do, Hz
    double vortexAmplitude = 0;     // m, at resonance, mid-span
    double buffetingAmplitude = 0;  // m, rms at mid-span
};

// The shell's acoustic resonance, screened for a gas.
struct AcousticCheck {
    double speedOfSound = 0;           // c, m/s
    double effectiveSpeedOfSound = 0;  // c through the bundle, m/s
    std::vector<double> modes;         // f_a of the first transverse modes, Hz
    double buffetingFrequency = 0;     // f_tb of the central span's velocity, Hz
    // The excitation frequency nearest to a mode, relative distance |f/f_a - 1|,
    // and which: the span (or "buffeting") and the mode (from 1).
    double closestMargin = 0;
    std::string closestSource;
    int closestMode = 1;
};

struct VibrationScreening {
    // The tube, the fluids and the constants the screening took.
    std::string material;        // a tubeMaterialName, or "given"
    double elasticModulus = 0;   // Pa
    double tubeDensity = 0;      // kg/m3
    double outerDiameter = 0;    // Do, m
    double momentOfInertia = 0;  // I of the tube's section, m4
    int layoutAngle = 30;        // 30, 45, 60 or 90
    double pitch = 0;            // tube pitch, m
    double gap = 0;              // smallest gap between tubes, m
    double shellDensity = 0;     // kg/m3
    ShellPhase shellPhase = ShellPhase::liquid;
    double tubeMass = 0;              // kg/m: the metal
    double insideMass = 0;            // kg/m: the tube fluid
    double addedMassCoefficient = 0;  // C_m of the confined shell fluid
    double addedMass = 0;             // kg/m: C_m rho_s pi Do^2/4
    double effectiveMass = 0;         // m, kg/m: the three together
    double logDecrement = 0;          // delta
    double connorsConstant = 0;       // K
    double massDampingParameter = 0;  // m delta/(rho_s Do^2)
    double strouhalNumber = 0;
    double liftCoefficient = 0;
    double buffetingSpectrum = 0;
    double allowedAmplitude = 0;  // m, at mid-span
    double velocityRatioLimit = 1;
    std::vector<VibrationSpan> spans;  // inlet first, outlet last
    std::size_t worstSpan = 0;         // index into spans: the largest V/V_crit
    double worstVelocityRatio = 0;
    std::optional<AcousticCheck> acoustic;
    // "fluid-elastic-instability", "vortex-shedding", "turbulent-buffeting",
    // "acoustic-resonance": each once, naming the worst span and its margin.
    std::vector<Warning> warnings;

    // Whether no limit is passed (notes aside).
    bool passes() const;
};

// Refuses a VibrationInput outside its domain: InvalidArgument naming the
// case document's field ("vibration.elastic_modulus").
void validateVibrationInput(const VibrationInput& input);

// Screens the bundle of `c` (a cross-flow type: isCrossFlow) with its
// extensions' end baffle spacings and layout angle. The shell fluid's
// density and flow and the tube fluid's density are the case's (give the
// case as rated: ExchangerRating::ratedCase where the properties vary).
// Throws InvalidArgument for an input outside its domain or a bundle the
// screening cannot describe (not cross flow, tubes that touch, no flow) and
// ArithmeticError for a floating-point fault.
VibrationScreening screenVibration(const Case& c, const Extensions& extensions,
                                   const VibrationInput& input = {});

}  // namespace hxrate
