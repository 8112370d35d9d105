// The Bell-Delaware shell side: the ideal tube bank corrected for the
// window, the leakage and bypass streams, the end spacings and laminar
// flow, with the fits of Taborek in the Heat Exchanger Design Handbook
// (HEDH 1983, section 3.3.5; the same fits as Serth, Process Heat Transfer,
// 2007, ch. 6, and Kakac and Liu, Heat Exchangers, 2002, ch. 8).
#include "core/bell_delaware.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/refuse.h"
#include "hxrate/errors.h"
#include "hxrate/shell_side.h"

namespace hxrate {
namespace {

void requirePositive(double x, const char* argument) {
    if (!std::isfinite(x) || !(x > 0))
        refuse(argument, std::string(argument) + " must be a finite value above 0");
}

void requireNonNegative(double x, const char* argument) {
    if (!std::isfinite(x) || x < 0)
        refuse(argument, std::string(argument) + " must be a finite value not below 0");
}

constexpr double pi = k::piDouble;
constexpr double laminarReynolds = k::bellLaminarReynolds;

// One Reynolds-number range of the ideal-bank fits:
// j = a1 (1.33/(Ltp/Do))^a Re^a2, a = a3/(1 + 0.14 Re^a4), and
// f = b1 (1.33/(Ltp/Do))^b Re^b2, b = b3/(1 + 0.14 Re^b4).
// Taborek, HEDH 3.3.7 (1983), table 3.3.7-1 (also Serth 2007, table 6.1).
// Each range continues the one below it at their common edge to within the
// fits' own 6 %. For the 45 degree layout at 10 <= Re < 100 several
// transcriptions print a1 = 0.498, which drops j to a third at Re = 10 and
// triples it at Re = 100; 1.498 joins both neighbours within 1 %.
struct BankRange {
    double reynoldsFrom;  // the range holds from here up to the range above
    double a1, a2, b1, b2;
};
struct BankLayout {
    int angle;
    double a3, a4, b3, b4;
    BankRange ranges[5];  // highest Reynolds numbers first
};
constexpr BankLayout bankLayouts[] = {
    {30,
     1.450,
     0.519,
     7.00,
     0.500,
     {{1e4, 0.321, -0.388, 0.372, -0.123},
      {1e3, 0.321, -0.388, 0.486, -0.152},
      {1e2, 0.593, -0.477, 4.570, -0.476},
      {10, 1.360, -0.657, 45.100, -0.973},
      {0, 1.400, -0.667, 48.000, -1.000}}},
    {45,
     1.930,
     0.500,
     6.59,
     0.520,
     {{1e4, 0.370, -0.396, 0.303, -0.126},
      {1e3, 0.370, -0.396, 0.333, -0.136},
      {1e2, 0.730, -0.500, 3.500, -0.476},
      {10, 1.498, -0.656, 26.200, -0.913},
      {0, 1.550, -0.667, 32.000, -1.000}}},
    {90,
     1.187,
     0.370,
     6.30,
     0.378,
     {{1e4, 0.370, -0.395, 0.391, -0.148},
      {1e3, 0.107, -0.266, 0.0815, 0.022},
      {1e2, 0.408, -0.460, 6.0900, -0.602},
      {10, 0.900, -0.631, 32.100, -0.963},
      {0, 0.970, -0.667, 35.000, -1.000}}},
};

const BankLayout& layoutOf(int angle) {
    for (const BankLayout& l : bankLayouts)
        if (l.angle == angle) return l;
    refuse("layoutAngle",
           "layout angle must be 30, 45 or 90 degrees, got " + std::to_string(angle));
}

const BankRange& rangeOf(const BankLayout& l, double Re) {
    for (const BankRange& r : l.ranges)
        if (Re >= r.reynoldsFrom) return r;
    return l.ranges[4];
}

void requireBank(double Re, double pitchRatio) {
    requirePositive(Re, "Re");
    if (!std::isfinite(pitchRatio) || !(pitchRatio > 1))
        refuse("pitchRatio", "pitch ratio Ltp/Do must be above 1");
}

// Fraction Fc of the tubes in cross flow must lie in 0..1.
void requireFraction(double x, const char* argument) {
    if (!std::isfinite(x) || x < 0 || x > 1)
        refuse(argument, std::string(argument) + " must lie between 0 and 1");
}

// Leakage ratios rs = Ssb/(Ssb + Stb) and rlm = (Ssb + Stb)/Sm.
struct Leakage {
    double rs, rlm;
};
Leakage leakageRatios(double Ssb, double Stb, double Sm) {
    requireNonNegative(Ssb, "shellBaffleArea");
    requireNonNegative(Stb, "tubeBaffleArea");
    requirePositive(Sm, "crossFlowArea");
    double total = Ssb + Stb;
    return {total == 0 ? 0.0 : Ssb / total, total / Sm};
}

// The bypass term Fsbp (1 - (2 rss)^(1/3)), zero from rss = 1/2 on.
double bypassTerm(double Fsbp, double Nss, double Nc) {
    requireFraction(Fsbp, "bypassFraction");
    requireNonNegative(Nss, "sealingStripPairs");
    requirePositive(Nc, "crossFlowRows");
    double rss = Nss / Nc;
    if (rss >= 0.5) return 0;
    return Fsbp * (1 - std::cbrt(2 * rss));
}

// The window geometry both the check and the rating form: the angles of the
// cut at the shell and at the circle through the outer tube centres.
struct Window {
    double thetaDs, thetaCtl, fraction;
};
Window windowOf(double Ds, double Bc, double Dctl) {
    Window w;
    w.thetaDs = 2 * std::acos(1 - 2 * Bc);
    w.thetaCtl = 2 * std::acos(Ds * (1 - 2 * Bc) / Dctl);
    w.fraction = w.thetaCtl / (2 * pi) - std::sin(w.thetaCtl) / (2 * pi);
    return w;
}

// "NAME V m must be WHAT B m".
[[noreturn]] void refuseBound(const std::string& name, double value, const char* unit,
                              const std::string& bound) {
    throw InvalidArgument(name, name + " " + refusalNumber(value) + unit + " " + bound);
}

void requireFinite(const std::string& name, double value, const char* unit) {
    if (!std::isfinite(value)) refuseBound(name, value, unit, "must be a finite value");
}

}  // namespace

std::string refusalNumber(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", x);
    return buffer;
}

void checkBellDelawareGeometry(const BellDelawareGeometry& g, const BellDelawareNames& n) {
    const char* m = " m";
    const double Ds = g.shellDiameter, Do = g.tubeOuterDiameter, Ltp = g.tubePitch;
    requireFinite(n.shellDiameter, Ds, m);
    if (!(Ds > 0)) refuseBound(n.shellDiameter, Ds, m, "must be above 0");
    requireFinite(n.tubeOuterDiameter, Do, m);
    if (!(Do > 0)) refuseBound(n.tubeOuterDiameter, Do, m, "must be above 0");
    if (!(Do < Ds))
        refuseBound(n.tubeOuterDiameter, Do, m,
                    "must be below the shell diameter " + refusalNumber(Ds) + m);
    requireFinite(n.tubePitch, Ltp, m);
    if (!(Ltp > Do))
        refuseBound(n.tubePitch, Ltp, m,
                    "must exceed the tube outer diameter " + refusalNumber(Do) + m);
    if (!(Ltp < Ds))
        refuseBound(n.tubePitch, Ltp, m,
                    "must be below the shell diameter " + refusalNumber(Ds) + m);
    if (g.layoutAngle != 30 && g.layoutAngle != 45 && g.layoutAngle != 90)
        throw InvalidArgument(n.layoutAngle, n.layoutAngle + " " + std::to_string(g.layoutAngle) +
                                                 " must be 30, 45 or 90 degrees");
    if (g.tubeCount < 1)
        throw InvalidArgument(
            n.tubeCount, n.tubeCount + " " + std::to_string(g.tubeCount) + " must be at least 1");
    if (g.baffleCount < 1)
        throw InvalidArgument(n.baffleCount, n.baffleCount + " " + std::to_string(g.baffleCount) +
                                                 " must be at least 1");
    if (g.sealingStripPairs < 0)
        throw InvalidArgument(n.sealingStripPairs, n.sealingStripPairs + " " +
                                                       std::to_string(g.sealingStripPairs) +
                                                       " must not be negative");
    // Taborek's Jc fit holds for cuts of 15 to 45 % of Ds (HEDH 3.3.5).
    const double Bc = g.baffleCut;
    if (!(Bc >= 0.15 && Bc <= 0.45))
        refuseBound(n.baffleCut, Bc, "", "must lie between 0.15 and 0.45 (a fraction of Ds)");
    requireFinite(n.centralBaffleSpacing, g.centralBaffleSpacing, m);
    if (!(g.centralBaffleSpacing > 0))
        refuseBound(n.centralBaffleSpacing, g.centralBaffleSpacing, m, "must be above 0");
    for (auto [name, spacing] : {std::pair{&n.inletBaffleSpacing, g.inletBaffleSpacing},
                                 std::pair{&n.outletBaffleSpacing, g.outletBaffleSpacing}}) {
        requireFinite(*name, spacing, m);
        if (spacing < 0) refuseBound(*name, spacing, m, "must not be below 0");
    }
    // The cut must reach past the circle through the outer tube centres,
    // Dctl = Ds - Lbb - Do > Ds (1 - 2 Bc), or no tube stands in the window
    // (the window angle at Dctl has no cosine) and no row is crossed there.
    const double Lbb = g.bundleToShellClearance;
    requireFinite(n.bundleToShellClearance, Lbb, m);
    if (Lbb < 0) refuseBound(n.bundleToShellClearance, Lbb, m, "must not be below 0");
    const double LbbBound = 2 * Bc * Ds - Do;
    if (!(Ds - Lbb - Do > Ds * (1 - 2 * Bc)))  // as the rating forms Dctl
        refuseBound(n.bundleToShellClearance, Lbb, m,
                    "must be below 2 Bc Ds - Do = " + refusalNumber(LbbBound) + m +
                        ", or the baffle cut (" + refusalNumber(Bc) +
                        " of Ds) does not reach the outer tubes");
    // The baffle's rim, at (Ds - Lsb)/2, must reach past the outer tube
    // centres at Dctl/2 to hold those tubes: Lsb < Ds - Dctl = Lbb + Do.
    const double Lsb = g.shellToBaffleClearance;
    requireFinite(n.shellToBaffleClearance, Lsb, m);
    if (Lsb < 0) refuseBound(n.shellToBaffleClearance, Lsb, m, "must not be below 0");
    if (!(Lsb < Lbb + Do))
        refuseBound(n.shellToBaffleClearance, Lsb, m,
                    "must be below Lbb + Do = " + refusalNumber(Lbb + Do) + m +
                        ", or the baffle does not reach the outer tubes");
    // A hole of Do + Ltb leaves a ligament to its neighbour only below the
    // pitch, and guides its tube only below 2 Do.
    const double Ltb = g.tubeToBaffleClearance;
    requireFinite(n.tubeToBaffleClearance, Ltb, m);
    if (Ltb < 0) refuseBound(n.tubeToBaffleClearance, Ltb, m, "must not be below 0");
    const double LtbBound = std::min(Ltp - Do, Do);
    if (!(Ltb < LtbBound))
        refuseBound(n.tubeToBaffleClearance, Ltb, m,
                    "must be below " +
                        std::string(Ltp - Do < Do ? "the ligament between the holes, Ltp - Do = "
                                                  : "the tube outer diameter ") +
                        refusalNumber(LtbBound) + m);
    // The tubes in one window must leave it a flow area, Sw = Swg - Ntw pi Do^2/4
    // formed as the rating forms it.
    clearArithmeticFlags();
    const Window w = windowOf(Ds, Bc, Ds - Lbb - Do);
    const double Swg = Ds * Ds / 8 * (w.thetaDs - std::sin(w.thetaDs));
    const double Ntw = w.fraction * g.tubeCount;
    const double Sw = Swg - Ntw * pi * Do * Do / 4;
    checkArithmetic("Bell-Delaware window");
    if (!(Sw > 0)) {
        std::string message = n.tubeCount + " " + std::to_string(g.tubeCount) +
                              " fills the baffle window, which holds a fraction " +
                              refusalNumber(w.fraction) + " of the tubes";
        if (w.fraction > 0)
            message += ": it must be below " +
                       refusalNumber(Swg / (w.fraction * (pi * Do * Do / 4))) +
                       " at this cut and diameter";
        throw InvalidArgument(n.tubeCount, message);
    }
}

double windowFlowArea(const BellDelawareGeometry& g) {
    checkBellDelawareGeometry(g, BellDelawareNames{});
    const double Ds = g.shellDiameter, Do = g.tubeOuterDiameter;
    clearArithmeticFlags();
    const Window w = windowOf(Ds, g.baffleCut, Ds - g.bundleToShellClearance - Do);
    // Swg = Ds^2/8 (theta_Ds - sin theta_Ds), Swt = Ntw pi Do^2/4: the gross
    // window less its tubes; Taborek, HEDH (1983) 3.3.5.
    double Swg = Ds * Ds / 8 * (w.thetaDs - std::sin(w.thetaDs));
    double Swt = w.fraction * g.tubeCount * pi * Do * Do / 4;
    return checked(Swg - Swt, "window flow area");
}

// The longest length a tube runs between two supports. A tube in a window
// passes every other segmental baffle, so it spans two spacings: the two
// central ones, or an end spacing and the central one beside it (with one
// baffle, both end spacings). TEMA (9th ed., 2007) RCB-4.52 counts the
// unsupported span of segmentally baffled tubes this way.
double longestUnsupportedSpan(int baffles, double Lbi, double Lbc, double Lbo) {
    if (baffles == 1) return Lbi + Lbo;
    return std::max({Lbi + Lbc, 2 * Lbc, Lbc + Lbo});
}

// Diametral tube-hole clearance; TEMA (9th ed., 2007) RCB-4.2: 1/32 in over
// the tube where the longest unsupported span is 36 in or less or the tube
// is over 1 1/4 in OD, 1/64 in where the span exceeds 36 in for tubes of
// 1 1/4 in OD and smaller (a long span needs the closer hole).
double temaTubeToBaffleClearance(double Do, double span) {
    bool close = !(Do > k::closeHoleLargestTube) && span > k::closeHoleShortestSpan;
    return close ? k::closeTubeHoleClearance : k::tubeHoleClearance;
}

namespace bell {

double idealJ(double Re, int layoutAngle, double pitchRatio) {
    const BankLayout& l = layoutOf(layoutAngle);
    requireBank(Re, pitchRatio);
    const BankRange& r = rangeOf(l, Re);
    clearArithmeticFlags();
    double a = l.a3 / (1 + 0.14 * std::pow(Re, l.a4));
    return checked(r.a1 * std::pow(1.33 / pitchRatio, a) * std::pow(Re, r.a2), "ideal-bank j");
}

double idealF(double Re, int layoutAngle, double pitchRatio) {
    const BankLayout& l = layoutOf(layoutAngle);
    requireBank(Re, pitchRatio);
    const BankRange& r = rangeOf(l, Re);
    clearArithmeticFlags();
    double b = l.b3 / (1 + 0.14 * std::pow(Re, l.b4));
    return checked(r.b1 * std::pow(1.33 / pitchRatio, b) * std::pow(Re, r.b2), "ideal-bank f");
}

double jc(double crossFlowFraction) {
    requireFraction(crossFlowFraction, "crossFlowFraction");
    // Jc = 0.55 + 0.72 Fc; Taborek, HEDH 3.3.5 (1983), eq. 15; 0 <= Fc <= 1.
    return 0.55 + 0.72 * crossFlowFraction;
}

double jl(double shellBaffleArea, double tubeBaffleArea, double crossFlowArea) {
    Leakage k = leakageRatios(shellBaffleArea, tubeBaffleArea, crossFlowArea);
    clearArithmeticFlags();
    // Jl = 0.44 (1 - rs) + (1 - 0.44 (1 - rs)) exp(-2.2 rlm); HEDH 3.3.5, eq. 16.
    double base = 0.44 * (1 - k.rs);
    return checked(base + (1 - base) * std::exp(-2.2 * k.rlm), "Jl");
}

double jb(double bypassFraction, double sealingStripPairs, double crossFlowRows, double Re) {
    requirePositive(Re, "Re");
    double term = bypassTerm(bypassFraction, sealingStripPairs, crossFlowRows);
    // Jb = exp(-Cbh Fsbp (1 - (2 rss)^(1/3))), Cbh = 1.35 laminar (Re < 100),
    // 1.25 otherwise; HEDH 3.3.5, eq. 17; Jb = 1 for rss >= 1/2.
    double Cbh = Re < laminarReynolds ? 1.35 : 1.25;
    clearArithmeticFlags();
    return checked(std::exp(-Cbh * term), "Jb");
}

double js(int baffles, double centralSpacing, double inletSpacing, double outletSpacing,
          double Re) {
    requirePositive(Re, "Re");
    if (baffles < 1) refuse("baffles", "the baffle count must be at least 1");
    requirePositive(centralSpacing, "centralSpacing");
    requirePositive(inletSpacing, "inletSpacing");
    requirePositive(outletSpacing, "outletSpacing");
    clearArithmeticFlags();
    // Js = (Nb - 1 + Li*^(1-n) + Lo*^(1-n))/(Nb - 1 + Li* + Lo*), L* = end
    // spacing/central spacing, n = 0.6 turbulent, 1/3 laminar; HEDH 3.3.5, eq. 18.
    double n = Re < laminarReynolds ? 1.0 / 3.0 : 0.6;
    double Li = inletSpacing / centralSpacing;
    double Lo = outletSpacing / centralSpacing;
    double inner = baffles - 1;
    return checked((inner + std::pow(Li, 1 - n) + std::pow(Lo, 1 - n)) / (inner + Li + Lo), "Js");
}

double jr(double Re, double totalRowsCrossed) {
    requirePositive(Re, "Re");
    requirePositive(totalRowsCrossed, "totalRowsCrossed");
    if (Re >= laminarReynolds) return 1;
    clearArithmeticFlags();
    // Jr = (10/Nc)^0.18 for Re <= 20, not below 0.4; linear in Re up to 1 at
    // Re = 100; HEDH 3.3.5, eq. 19.
    double laminar = std::pow(10 / totalRowsCrossed, 0.18);
    if (laminar < 0.4) laminar = 0.4;
    if (Re <= 20) return checked(laminar, "Jr");
    return checked(laminar + (20 - Re) / 80 * (laminar - 1), "Jr");
}

double rl(double shellBaffleArea, double tubeBaffleArea, double crossFlowArea) {
    Leakage k = leakageRatios(shellBaffleArea, tubeBaffleArea, crossFlowArea);
    if (k.rlm == 0) return 1;
    clearArithmeticFlags();
    // Rl = exp(-1.33 (1 + rs) rlm^p), p = 0.8 - 0.15 (1 + rs); HEDH 3.3.5, eq. 25.
    double p = 0.8 - 0.15 * (1 + k.rs);
    return checked(std::exp(-1.33 * (1 + k.rs) * std::pow(k.rlm, p)), "Rl");
}

double rb(double bypassFraction, double sealingStripPairs, double crossFlowRows, double Re) {
    requirePositive(Re, "Re");
    double term = bypassTerm(bypassFraction, sealingStripPairs, crossFlowRows);
    // Rb = exp(-Cbp Fsbp (1 - (2 rss)^(1/3))), Cbp = 4.5 laminar, 3.7
    // otherwise; HEDH 3.3.5, eq. 26.
    double Cbp = Re < laminarReynolds ? 4.5 : 3.7;
    clearArithmeticFlags();
    return checked(std::exp(-Cbp * term), "Rb");
}

double rs(double centralSpacing, double inletSpacing, double outletSpacing, double Re) {
    requirePositive(Re, "Re");
    requirePositive(centralSpacing, "centralSpacing");
    requirePositive(inletSpacing, "inletSpacing");
    requirePositive(outletSpacing, "outletSpacing");
    clearArithmeticFlags();
    // The mean of (Lbc/Lbi)^(2-n') and (Lbc/Lbo)^(2-n'), n' = 0.2 turbulent,
    // 1 laminar: 1 for equal spacings; HEDH 3.3.5, eq. 27, as Serth (2007)
    // eq. 6.27 halves it.
    double e = 2 - (Re < laminarReynolds ? 1.0 : 0.2);
    return checked(0.5 * (std::pow(centralSpacing / inletSpacing, e) +
                          std::pow(centralSpacing / outletSpacing, e)),
                   "Rs");
}

}  // namespace bell

BellDelawareResult bellDelawareShellSide(const BellDelawareGeometry& g, const ShellStream& s,
                                         const BellDelawareFactors& imposed) {
    checkBellDelawareGeometry(g, BellDelawareNames{});
    requirePositive(s.massFlow, "massFlow");
    requirePositive(s.density, "density");
    requirePositive(s.viscosity, "viscosity");
    requirePositive(s.heatCapacity, "heatCapacity");
    requirePositive(s.conductivity, "conductivity");
    if (s.wallViscosity) requirePositive(*s.wallViscosity, "wallViscosity");

    const double Ds = g.shellDiameter, Do = g.tubeOuterDiameter, Ltp = g.tubePitch;
    const double Bc = g.baffleCut, Lbc = g.centralBaffleSpacing;
    const double Lbi = g.inletBaffleSpacing > 0 ? g.inletBaffleSpacing : Lbc;
    const double Lbo = g.outletBaffleSpacing > 0 ? g.outletBaffleSpacing : Lbc;
    const double Lbb = g.bundleToShellClearance;
    const double Ntt = g.tubeCount;
    const int Nb = g.baffleCount;
    const double Dotl = Ds - Lbb;   // outer tube limit
    const double Dctl = Dotl - Do;  // diameter of the circle through the outer tube centres

    clearArithmeticFlags();
    BellDelawareResult r;
    // Row pitch in the flow direction and effective pitch of the narrowest gap.
    double Lpp = g.layoutAngle == 30 ? 0.866 * Ltp : g.layoutAngle == 45 ? 0.707 * Ltp : Ltp;
    double LtpEff = g.layoutAngle == 45 ? 0.707 * Ltp : Ltp;
    // Window geometry: angles of the cut at the shell and at the tube centres.
    const Window w = windowOf(Ds, Bc, Dctl);
    const double thetaDs = w.thetaDs;
    r.windowFraction = w.fraction;
    r.crossFlowFraction = 1 - 2 * r.windowFraction;
    double Ntw = r.windowFraction * Ntt;
    r.crossFlowArea = Lbc * (Lbb + Dctl / LtpEff * (Ltp - Do));
    double Swg = Ds * Ds / 8 * (thetaDs - std::sin(thetaDs));
    double Swt = Ntw * pi * Do * Do / 4;
    r.windowArea = Swg - Swt;
    r.windowHydraulicDiameter = 4 * r.windowArea / (pi * Do * Ntw + Ds * thetaDs);
    r.crossFlowRows = Ds * (1 - 2 * Bc) / Lpp;
    r.windowRows = 0.8 / Lpp * (Ds * Bc - (Ds - Dctl) / 2);
    r.shellBaffleLeakageArea = pi * Ds * g.shellToBaffleClearance / 2 * (1 - thetaDs / (2 * pi));
    double DoLeak = Do + g.tubeToBaffleClearance;
    r.tubeBaffleLeakageArea = pi / 4 * (DoLeak * DoLeak - Do * Do) * Ntt * (1 - r.windowFraction);
    r.bypassArea = Lbc * Lbb;
    checkArithmetic("Bell-Delaware geometry");
    if (!(r.windowArea > 0)) refuse("tubeCount", "the tubes fill the baffle window");

    double G = s.massFlow / r.crossFlowArea;
    r.reynolds = checked(Do * G / s.viscosity, "Bell-Delaware Reynolds number");
    r.prandtl = checked(s.heatCapacity * s.viscosity / s.conductivity, "Bell-Delaware Prandtl");
    double muRatio = s.wallViscosity ? s.viscosity / *s.wallViscosity : 1.0;
    r.viscosityCorrection = checked(std::pow(muRatio, 0.14), "(mu/mu_w)^0.14");
    r.idealJ = bell::idealJ(r.reynolds, g.layoutAngle, Ltp / Do);
    r.idealF = bell::idealF(r.reynolds, g.layoutAngle, Ltp / Do);
    clearArithmeticFlags();
    // h_ideal = j cp G Pr^(-2/3) (mu/mu_w)^0.14; HEDH 3.3.5, eq. 14.
    r.idealCoefficient = checked(
        r.idealJ * s.heatCapacity * G * std::pow(r.prandtl, -2.0 / 3.0) * r.viscosityCorrection,
        "ideal-bank coefficient");

    double Fsbp = r.bypassArea / r.crossFlowArea;
    double totalRows = (r.crossFlowRows + r.windowRows) * (Nb + 1);
    r.jc = imposed.jc.value_or(bell::jc(r.crossFlowFraction));
    r.jl = imposed.jl.value_or(
        bell::jl(r.shellBaffleLeakageArea, r.tubeBaffleLeakageArea, r.crossFlowArea));
    r.jb = imposed.jb.value_or(bell::jb(Fsbp, g.sealingStripPairs, r.crossFlowRows, r.reynolds));
    r.js = imposed.js.value_or(bell::js(Nb, Lbc, Lbi, Lbo, r.reynolds));
    r.jr = imposed.jr.value_or(bell::jr(r.reynolds, totalRows));
    r.rl = imposed.rl.value_or(
        bell::rl(r.shellBaffleLeakageArea, r.tubeBaffleLeakageArea, r.crossFlowArea));
    r.rb = imposed.rb.value_or(bell::rb(Fsbp, g.sealingStripPairs, r.crossFlowRows, r.reynolds));
    r.rs = imposed.rs.value_or(bell::rs(Lbc, Lbi, Lbo, r.reynolds));
    clearArithmeticFlags();
    r.coefficient =
        checked(r.idealCoefficient * r.jc * r.jl * r.jb * r.js * r.jr, "Bell-Delaware coefficient");

    // One ideal cross-flow section: 2 f Ntcc G^2/rho (mu_w/mu)^0.14; HEDH 3.3.5, eq. 21.
    r.idealCrossFlowDrop =
        2 * r.idealF * r.crossFlowRows * G * G / s.density / r.viscosityCorrection;
    double SmSw = r.crossFlowArea * r.windowArea;
    // (2 + 0.6 Ntcw) m^2/(2 rho Sm Sw); HEDH 3.3.5, eq. 22.
    auto turbulentWindowDrop = [&] {
        return (2 + 0.6 * r.windowRows) * s.massFlow * s.massFlow / (2 * s.density * SmSw);
    };
    // 26 mu m/(rho sqrt(Sm Sw)) (Ntcw/(Ltp - Do) + Lbc/Dw^2) + m^2/(rho Sm Sw);
    // HEDH 3.3.5, eq. 23.
    auto laminarWindowDrop = [&] {
        double Dw = r.windowHydraulicDiameter;
        return 26 * s.viscosity * s.massFlow / (s.density * std::sqrt(SmSw)) *
                   (r.windowRows / (Ltp - Do) + Lbc / (Dw * Dw)) +
               s.massFlow * s.massFlow / (s.density * SmSw);
    };
    const bool turbulent = r.reynolds >= laminarReynolds;
    r.idealWindowDrop = turbulent ? turbulentWindowDrop() : laminarWindowDrop();
    r.crossFlowDrop = (Nb - 1) * r.idealCrossFlowDrop * r.rb * r.rl;
    r.windowDrop = Nb * r.idealWindowDrop * r.rl;
    r.endZoneDrop = 2 * r.idealCrossFlowDrop * (1 + r.windowRows / r.crossFlowRows) * r.rb * r.rs;
    r.pressureDrop = r.crossFlowDrop + r.windowDrop + r.endZoneDrop;
    checkArithmetic("Bell-Delaware pressure drop");
    // The window drop by the form not used, for the hand-over at Re = 100;
    // a fault there ends nothing, the value is then left out.
    try {
        r.otherFormWindowDrop =
            checked(Nb * (turbulent ? laminarWindowDrop() : turbulentWindowDrop()) * r.rl,
                    "Bell-Delaware window drop by the other form");
    } catch (const ArithmeticError&) {
        clearArithmeticFlags();
    }
    return r;
}

}  // namespace hxrate
