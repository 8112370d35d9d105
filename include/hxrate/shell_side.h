// hxrate/shell_side.h: shell-side methods beside the rating's own: the
// Bell-Delaware coefficient and pressure drop of a segmentally baffled E shell
// with its correction factors.
#pragma once

#include <optional>

#include "hxrate/errors.h"

namespace hxrate {

// The correction factors of the shell-side coefficient and pressure drop, as
// fitted by Taborek in the Heat Exchanger Design Handbook (HEDH 3.3.5).
// Reynolds numbers are those of the ideal bank, Re = Do*m/(mu*Sm); where a
// fit has a laminar and a turbulent form the laminar one holds below 100.
namespace bell {

// Ideal-bank Colburn factor j and friction factor f (Fanning-type, as the
// drop 2 f Nc G^2/rho uses it) for a layout angle of 30, 45 or 90 degrees
// and pitch ratio Ltp/Do.
double idealJ(double Re, int layoutAngle, double pitchRatio);
double idealF(double Re, int layoutAngle, double pitchRatio);

// Jc, baffle cut and spacing, from the fraction Fc of tubes in cross flow.
double jc(double crossFlowFraction);
// Jl, baffle leakage, from the shell-to-baffle and tube-to-baffle leakage
// areas and the cross-flow area (any one unit).
double jl(double shellBaffleArea, double tubeBaffleArea, double crossFlowArea);
// Jb, bundle bypass, from Sb/Sm, the sealing-strip pairs and the tube rows
// crossed in one cross-flow section.
double jb(double bypassFraction, double sealingStripPairs, double crossFlowRows, double Re = 1e4);
// Js, larger end spacings, from the baffle count and the central, inlet and
// outlet baffle spacings.
double js(int baffles, double centralSpacing, double inletSpacing, double outletSpacing,
          double Re = 1e4);
// Jr, adverse temperature gradient in laminar flow, from the tube rows
// crossed in the whole exchanger.
double jr(double Re, double totalRowsCrossed);
// Rl, Rb, Rs: the same effects on the pressure drop.
double rl(double shellBaffleArea, double tubeBaffleArea, double crossFlowArea);
double rb(double bypassFraction, double sealingStripPairs, double crossFlowRows, double Re = 1e4);
double rs(double centralSpacing, double inletSpacing, double outletSpacing, double Re = 1e4);

}  // namespace bell

// A segmentally baffled E shell as the Bell-Delaware method sees it. All
// lengths in m; clearances are diametral.
struct BellDelawareGeometry {
    double shellDiameter = 0;           // Ds
    double tubeOuterDiameter = 0;       // Do
    double tubePitch = 0;               // Ltp, centre to centre
    int layoutAngle = 30;               // 30 triangular, 45 rotated square, 90 square
    int tubeCount = 0;                  // Ntt, all tubes of the shell
    double baffleCut = 0.25;            // Bc, as a fraction of Ds
    double centralBaffleSpacing = 0;    // Lbc
    double inletBaffleSpacing = 0;      // Lbi; 0 means Lbc
    double outletBaffleSpacing = 0;     // Lbo; 0 means Lbc
    int baffleCount = 0;                // Nb
    double shellToBaffleClearance = 0;  // Lsb
    double tubeToBaffleClearance = 0;   // Ltb
    double bundleToShellClearance = 0;  // Lbb = Ds - Dotl
    int sealingStripPairs = 0;          // Nss
};

// The shell-side stream at its mean temperature.
struct ShellStream {
    double massFlow = 0;                  // kg/s
    double density = 0;                   // kg/m3
    double viscosity = 0;                 // Pa s, at the bulk temperature
    double heatCapacity = 0;              // J/(kg K)
    double conductivity = 0;              // W/(m K)
    std::optional<double> wallViscosity;  // Pa s; without it (mu/mu_w)^0.14 = 1
};

// Factors to impose instead of their fits (chart readings, or 1 to see the
// ideal bank).
struct BellDelawareFactors {
    std::optional<double> jc, jl, jb, js, jr, rl, rb, rs;
};

struct BellDelawareResult {
    // Geometry
    double crossFlowArea = 0;            // Sm, m2
    double windowArea = 0;               // Sw, net flow area of one window, m2
    double shellBaffleLeakageArea = 0;   // Ssb, m2
    double tubeBaffleLeakageArea = 0;    // Stb, m2
    double bypassArea = 0;               // Sb, m2
    double windowFraction = 0;           // Fw, tubes in one window
    double crossFlowFraction = 0;        // Fc = 1 - 2 Fw
    double crossFlowRows = 0;            // Ntcc, rows crossed between baffle tips
    double windowRows = 0;               // Ntcw, effective rows crossed in a window
    double windowHydraulicDiameter = 0;  // Dw, m
    // Ideal bank
    double reynolds = 0;  // Re = Do m/(mu Sm)
    double prandtl = 0;
    double viscosityCorrection = 1;  // (mu/mu_w)^0.14
    double idealJ = 0;
    double idealF = 0;
    double idealCoefficient = 0;  // h_ideal, W/(m2 K)
    // Corrections and the coefficient
    double jc = 0, jl = 0, jb = 0, js = 0, jr = 0;
    double coefficient = 0;  // h_o = h_ideal Jc Jl Jb Js Jr, W/(m2 K)
    // Pressure drop, Pa (nozzles excluded)
    double rl = 0, rb = 0, rs = 0;
    double idealCrossFlowDrop = 0;  // dP_bi, one ideal cross-flow section
    double idealWindowDrop = 0;     // dP_wi, one ideal window
    double crossFlowDrop = 0;       // (Nb - 1) dP_bi Rb Rl
    double windowDrop = 0;          // Nb dP_wi Rl
    // Nb dP_wi Rl by the window-drop form not used (eq. 23 from Re = 100 on,
    // eq. 22 below): what the drop becomes across the hand-over. Absent
    // where that form faults.
    std::optional<double> otherFormWindowDrop;
    double endZoneDrop = 0;   // 2 dP_bi (1 + Ntcw/Ntcc) Rb Rs
    double pressureDrop = 0;  // the sum
};

// The Bell-Delaware shell side of one E shell. Throws InvalidArgument for a
// geometry or stream outside the method's domain, ArithmeticError for a
// floating-point fault.
BellDelawareResult bellDelawareShellSide(const BellDelawareGeometry& geometry,
                                         const ShellStream& stream,
                                         const BellDelawareFactors& imposed = {});

}  // namespace hxrate
