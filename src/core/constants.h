// Every constant of the correlations and thresholds, in one place. Decimal
// constants carry the single-precision value of the decimal widened to
// double (0.065 enters as 0.06499999761581421); exact ones are written as
// plain doubles.
#pragma once

#include <numbers>

namespace hxrate {

// The single-precision value of a decimal constant, widened to double.
constexpr double sp(float value) {
    return static_cast<double>(value);
}

namespace k {

// Two values of pi, on purpose. The program's own arithmetic (areas,
// velocities, film terms, the march) takes the single-precision value of
// 4*atan(1), 3.1415927410125732, and must keep it for its numbers to stay
// bit for bit what they are.
inline constexpr double pi = sp(3.14159265358979f);
// pi to double precision, 3.141592653589793 (std::numbers::pi), for what
// the program never formed: the assessment's pressure drops and the
// Bell-Delaware shell side.
inline constexpr double piDouble = std::numbers::pi;

// Tolerance of the friction-factor and both shooting iterations (strict <).
inline constexpr double convergenceTolerance = sp(1e-5f);

// Pipe flow: laminar Graetz form and the turbulent Gnielinski form.
inline constexpr double laminarLimitReynolds = 2300.0;
inline constexpr double turbulentMaxReynolds = 5000000.0;
inline constexpr double laminarNusseltBase = sp(3.66f);
inline constexpr double graetzFactor = sp(0.065f);
inline constexpr double graetzDenominatorFactor = sp(0.04f);
inline constexpr double graetzExponent = sp(0.667f);
inline constexpr double gnielinskiFactor = sp(12.7f);
inline constexpr double gnielinskiPrandtlExponent = sp(0.6667f);
inline constexpr int frictionIterationLimit = 1000;

// Colebrook friction factor and its Swamee-Jain start value.
inline constexpr double swameeJainFactor = sp(5.74f);
inline constexpr double swameeJainExponent = sp(0.9f);
inline constexpr double roughnessDivisor = sp(3.7f);
inline constexpr double colebrookFactor = sp(2.51f);

// Shell-side flow checks.
inline constexpr double stagnantReynolds = sp(1e-5f);
inline constexpr double minimumPeclet = sp(0.2f);
// The same limits as the decimals they stand for, as a rejection's
// triggers state them (the checks compare with the values above).
inline constexpr double stagnantReynoldsStated = 1e-5;
inline constexpr double minimumPecletStated = 0.2;

// Single cylinder in cross flow (Churchill-Bernstein form).
inline constexpr double cylinderBase = sp(0.3f);
inline constexpr double cylinderFactor = sp(0.62f);
inline constexpr double cylinderPrandtlExponent = sp(0.3334f);
inline constexpr double cylinderPrandtlRatio = sp(0.4f);
inline constexpr double cylinderRatioExponent = sp(0.6667f);
inline constexpr double cylinderReynoldsScale = 282000.0;
inline constexpr double cylinderFullFormReynolds = 400000.0;
inline constexpr double cylinderMiddleFormReynolds = 10000.0;
inline constexpr double cylinderOuterExponent = sp(0.8f);

// Tube bank in cross flow (Zukauskas form): c, m, n and the pitch exponent p.
inline constexpr double bankPrandtlExponent = sp(0.36f);
inline constexpr double inlineHighPrandtlExponent = sp(0.4f);
inline constexpr double staggeredPitchExponent = sp(0.2f);
inline constexpr double inlineC1 = sp(0.9f), inlineM1 = sp(0.4f);
inline constexpr double inlineC2 = sp(0.52f), inlineM2 = 0.5;
inline constexpr double inlineC3 = sp(0.27f), inlineM3 = sp(0.63f);
inline constexpr double inlineC4 = sp(0.033f), inlineM4 = sp(0.8f);
inline constexpr double staggeredC1 = sp(1.04f), staggeredM1 = sp(0.4f);
inline constexpr double staggeredC2 = sp(0.71f), staggeredM2 = 0.5;
inline constexpr double staggeredC3 = sp(0.35f), staggeredM3 = sp(0.6f);
inline constexpr double staggeredC4 = sp(0.031f), staggeredM4 = sp(0.8f);

// Axial flow along the bundle.
inline constexpr double axialMFactor = sp(1.013f);
inline constexpr double axialMExponentFactor = sp(0.067f);
inline constexpr double axialCFactor = sp(0.003f);
inline constexpr double axialCExponent = sp(1.86f);
inline constexpr double axialCubic = sp(0.063f);
inline constexpr double axialQuadratic = sp(0.674f);
inline constexpr double axialLinear = sp(2.225f);
inline constexpr double axialConstant = sp(1.157f);
inline constexpr double axialPrandtlExponent = sp(0.3333f);
inline constexpr double sparseBundleLimit = sp(3.2f);
inline constexpr double sparseBundleFactor = sp(0.86f);
inline constexpr double sparseBundleExponent = sp(0.16f);

// Bell-Delaware: below this ideal-bank Reynolds number the laminar forms of
// Jb, Js, Jr, Rb, Rs and of the window drop apply (Taborek, HEDH 1983, 3.3.5).
inline constexpr double bellLaminarReynolds = 100.0;

// Diametral tube-hole clearance in baffles, TEMA Standards (9th ed., 2007),
// RCB-4.2: 1/32 in over the tube's OD where the maximum unsupported tube
// length is 36 in or less, or the tube is over 1 1/4 in OD; 1/64 in where the
// span exceeds 36 in for tubes of 1 1/4 in OD and smaller.
inline constexpr double tubeHoleClearance = sp(0.00079375f);        // 1/32 in
inline constexpr double closeTubeHoleClearance = sp(0.000396875f);  // 1/64 in
inline constexpr double closeHoleLargestTube = sp(0.03175f);        // 1 1/4 in OD
inline constexpr double closeHoleShortestSpan = sp(0.9144f);        // 36 in

// End spacings fit the tube length within this fraction of it (a spacing
// typed as the central one may differ from L/(Nb + 1) in its last digit).
inline constexpr double spacingFitTolerance = sp(1e-9f);

// The mean-temperature rating of real fluids has settled when neither
// outlet moved by this much, K, from one rating to the next (strict <); an
// exact double, as the program never had it.
inline constexpr double meanTemperatureTolerance = 1e-6;

// Flow-induced vibration screening (docs/vibration.md). First-mode roots
// lambda L of a uniform beam: clamped-pinned and clamped-clamped (Blevins
// 1979, Formulas for Natural Frequency and Mode Shape, table 8-1); pinned-
// pinned is pi.
inline constexpr double clampedPinnedRoot = sp(3.92660231f);
inline constexpr double clampedClampedRoot = sp(4.73004074f);
// Equivalent confinement diameter De/Do = (a + b P/Do) P/Do of the added
// mass; Pettigrew and Taylor (2003), J. Fluids Struct. 18, 469-483, eq. 3
// (from Rogers, Taylor and Pettigrew 1984), triangular and square layouts.
inline constexpr double confinementTriangularA = sp(0.96f);
inline constexpr double confinementTriangularB = sp(0.5f);
inline constexpr double confinementSquareA = sp(1.07f);
inline constexpr double confinementSquareB = sp(0.56f);
// Connors' constant K of the fluid-elastic instability criterion: the
// design value Pettigrew and Taylor (2003, 469-483, sec. 5.4) recommend for
// every layout.
inline constexpr double connorsDesignConstant = sp(3.0f);
// Logarithmic decrement of tube damping in the bundle, screening defaults
// at the low end of what Pettigrew and Taylor (2003, sec. 4) report: about
// 0.5 % of critical damping in liquids, less in gases.
inline constexpr double liquidLogDecrement = sp(0.03f);
inline constexpr double gasLogDecrement = sp(0.01f);
// Strouhal number of a cylinder in subcritical cross flow, 300 < Re < 2e5
// (Lienhard 1966, Synopsis of lift, drag and vortex frequency data for
// rigid circular cylinders, Washington State Univ. Bull. 300).
inline constexpr double strouhalNumber = sp(0.2f);
// Periodic lift coefficient and normalised turbulent force spectrum:
// screening defaults (docs/vibration.md), to be replaced by measured values.
inline constexpr double liftCoefficient = sp(0.1f);
inline constexpr double buffetingSpectrum = sp(0.01f);
// Allowed mid-span amplitude, fraction of the tube's outer diameter: TEMA
// (9th ed., 2007), V-11.2 and V-11.3.
inline constexpr double allowedAmplitudeFraction = sp(0.02f);
// Lock-in band of vortex shedding on a span's frequency, and of an
// excitation on an acoustic mode: within 20 % (TEMA, 9th ed., 2007, V-12.2).
inline constexpr double resonanceBand = sp(0.2f);
// Turbulent buffeting frequency, Owen (1965), as TEMA (9th ed.) V-12.2
// gives it: f_tb = V/(Do XL XT) (3.05 (1 - 1/XT)^2 + 0.28).
inline constexpr double owenFactor = sp(3.05f);
inline constexpr double owenOffset = sp(0.28f);
// Transverse acoustic modes of the shell screened.
inline constexpr int acousticModes = 4;

}  // namespace k
}  // namespace hxrate
