// hxrate/pressure_drop.h: the frictional pressure drop of each stream:
// Darcy-Weisbach on the model's friction factors and Kern's shell-side method.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hxrate/case.h"
#include "hxrate/rating.h"

namespace hxrate {

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

enum class PressureDropMethod { darcyWeisbach, kern, bellDelaware };
// "darcy-weisbach", "kern", "bell-delaware"
std::string_view pressureDropMethodName(PressureDropMethod method);

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

}  // namespace hxrate
