// A rating with extensions: the program's steps, then fouling in the
// resistance per unit length, the tube side of one pass of several, the
// Bell-Delaware shell side, and the P-NTU outlets of multi-pass shells.
#include "hxrate/extensions.h"

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/rate.h"
#include "core/resistance.h"
#include "core/tube_side.h"

namespace hxrate {
namespace {

[[noreturn]] void refuse(const char* argument, const std::string& what) {
    throw InvalidArgument(argument, what);
}

bool validPasses(int n) {
    return n == 1 || n == 2 || n == 4 || n == 6 || n == 8;
}

void validate(const Case& c, const Extensions& ext) {
    for (auto [value, name] : {std::pair{ext.foulingInside, "foulingInside"},
                               std::pair{ext.foulingOutside, "foulingOutside"}}) {
        if (!std::isfinite(value) || value < 0)
            refuse(name, std::string(name) + " must be a finite resistance not below 0, m2 K/W");
    }
    if (!validPasses(ext.tubePasses))
        refuse("tubePasses",
               "tube passes must be 1, 2, 4, 6 or 8, got " + std::to_string(ext.tubePasses));
    if (ext.shells < 1) refuse("shells", "shells must be at least 1");
    if (c.tubeCount % ext.tubePasses != 0)
        refuse("tubePasses", "the " + std::to_string(c.tubeCount) + " tubes do not divide into " +
                                 std::to_string(ext.tubePasses) + " equal passes");
    if (ext.shellSide == ShellSideMethod::bellDelaware) {
        if (!isCrossFlow(c.exchangerType) || c.baffleCount < 1)
            refuse("shellSide",
                   "Bell-Delaware needs a baffled shell: exchanger type 2 or 3 with "
                   "at least one baffle");
    }
    if (ext.shellWallViscosity &&
        (!std::isfinite(*ext.shellWallViscosity) || !(*ext.shellWallViscosity > 0)))
        refuse("shellWallViscosity", "the wall viscosity must be above 0, Pa s");
}

// Diametral shell-to-baffle clearance by nominal shell diameter; TEMA (9th
// ed., 2007) table RCB-4.3, inches converted to m.
double temaShellToBaffleClearance(double Ds) {
    const double inch = 0.0254;
    if (Ds <= 17 * inch) return inch / 8;
    if (Ds <= 39 * inch) return 3 * inch / 16;
    if (Ds <= 54 * inch) return inch / 4;
    if (Ds <= 69 * inch) return 5 * inch / 16;
    if (Ds <= 84 * inch) return 3 * inch / 8;
    return 7 * inch / 16;
}

// Diametral tube-hole clearance; TEMA RCB-4.2: 1/32 in over the tube for
// tubes up to 1 1/4 in with unsupported spans up to 36 in, 1/64 in otherwise
// (a tube is unsupported over two baffle spacings).
double temaTubeToBaffleClearance(double Do, double baffleSpacing) {
    const double inch = 0.0254;
    bool tight = Do > 1.25 * inch || 2 * baffleSpacing > 36 * inch;
    return tight ? inch / 64 : inch / 32;
}

// Bundle-to-shell diametral clearance of a fixed-tubesheet bundle: 12 mm, in
// the 10-15 mm range Taborek gives for fixed tubesheets and U-tubes (HEDH
// 1983, 3.3.5); TEMA prescribes none.
constexpr double defaultBundleToShellClearance = 0.012;

BellDelawareGeometry bellGeometry(const Case& c, const Geometry& g, const BaffleGeometry& b) {
    BellDelawareGeometry bd;
    bd.shellDiameter = c.shellInnerDiameter;
    bd.tubeOuterDiameter = g.outerDiameter;
    double ST = c.transversePitch, SL = c.longitudinalPitch;
    // The layout from the case's arrangement and pitches: inline is square
    // (90), staggered with SL = ST/2 rotated square (45), else triangular (30).
    int angle = c.bundleArrangement == BundleArrangement::Inline ? 90 : 30;
    if (c.bundleArrangement != BundleArrangement::Inline && std::fabs(SL - ST / 2) <= 0.02 * ST)
        angle = 45;
    bd.layoutAngle = b.layoutAngle.value_or(angle);
    bd.tubePitch = bd.layoutAngle == 45 ? ST / std::sqrt(2.0) : ST;
    bd.tubeCount = c.tubeCount;
    bd.baffleCut = b.baffleCut;
    bd.centralBaffleSpacing = g.baffleSpacing;
    bd.inletBaffleSpacing = b.inletBaffleSpacing.value_or(g.baffleSpacing);
    bd.outletBaffleSpacing = b.outletBaffleSpacing.value_or(g.baffleSpacing);
    bd.baffleCount = c.baffleCount;
    bd.shellToBaffleClearance =
        b.shellToBaffleClearance.value_or(temaShellToBaffleClearance(c.shellInnerDiameter));
    bd.tubeToBaffleClearance = b.tubeToBaffleClearance.value_or(
        temaTubeToBaffleClearance(g.outerDiameter, g.baffleSpacing));
    bd.bundleToShellClearance = b.bundleToShellClearance.value_or(defaultBundleToShellClearance);
    bd.sealingStripPairs = b.sealingStripPairs;
    return bd;
}

// The model steps with the extensions that change the coefficients.
void rateModel(CaseRecords& r, const Extensions& ext, const RateOptions& options,
               ExtendedRating& out) {
    Rating& rt = r.rating;
    for (const ScheduledStep& s : stepSchedule) {
        runModelStep(r, s.step, options);
        if (s.step == ModelStep::tubeSide && ext.tubePasses > 1) {
            // One pass carries the whole stream in Nt/N tubes.
            CaseInput pass = r.input;
            pass.tubeCount = r.input.tubeCount / ext.tubePasses;
            computeTubeSide(pass, rt.tube);
        }
    }
    const double Do = rt.geometry.outerDiameter;
    if (ext.shellSide == ShellSideMethod::bellDelaware) {
        const Fluid& f = r.input.shellFluid;
        ShellStream s{rt.shellMassFlow, f.density,      f.viscosity,
                      f.heatCapacity,   f.conductivity, ext.shellWallViscosity};
        out.bellDelaware =
            bellDelawareShellSide(bellGeometry(r.input, rt.geometry, ext.baffles), s);
        clearArithmeticFlags();
        rt.shell.reynolds = out.bellDelaware->reynolds;
        rt.shell.filmCoefficient = out.bellDelaware->coefficient;
        rt.shell.nusselt =
            checked(rt.shell.filmCoefficient * rt.shell.characteristicLength / f.conductivity,
                    "Bell-Delaware Nusselt number");
        rt.shell.filmResistance =
            checked(1 / (rt.shell.filmCoefficient * Do * 0.5), "shell-side film term");
        computeResistancePerLength(r.input, rt);
    }
    out.cleanCoefficient = checked(rt.conductancePerLength / (k::pi * Do), "clean U");
    if (ext.foulingInside != 0 || ext.foulingOutside != 0) {
        // Each fouling layer as a resistance of unit tube length times 2 pi,
        // like the film terms: Rf/r on its own surface's radius.
        double Di = r.input.tubeInnerDiameter;
        double fouling = ext.foulingInside / (Di * 0.5) + ext.foulingOutside / (Do * 0.5);
        rt.resistancePerLength = checked((rt.geometry.wallResistance + rt.tube.filmResistance +
                                          rt.shell.filmResistance + fouling) /
                                             (k::pi * 2),
                                         "resistance per unit length with fouling");
        rt.conductancePerLength = checked(1 / rt.resistancePerLength, "service conductance");
    }
}

// Outlets of N tube passes and shells in series by P-NTU (side 1 = shell).
void solveByPNtu(const Case& c, const Extensions& ext, Rating& rating) {
    clearArithmeticFlags();
    double C1 = checked(rating.shellMassFlow * c.shellFluid.heatCapacity, "shell capacity rate");
    double C2 = checked(rating.tubeMassFlow * c.tubeFluid.heatCapacity, "tube capacity rate");
    // Each shell is the case's exchanger: UA and area add up over the shells.
    double shells = ext.shells;
    double UA = checked(
        rating.conductancePerLength * static_cast<double>(c.tubeCount) * c.tubeLength, "UA");
    UA = checked(UA * shells, "UA over all shells");
    EShellOutlets o = temaEOutlets(C1, c.shellInletTemperature, C2, c.tubeInletTemperature, UA,
                                   ext.tubePasses, ext.shells);
    rating.overallCoefficient =
        checked(rating.conductancePerLength / (k::pi * rating.geometry.outerDiameter), "U");
    rating.area = checked(
        static_cast<double>(c.tubeCount) * k::pi * c.tubeLength * rating.geometry.outerDiameter,
        "heat transfer area");
    rating.area = checked(rating.area * shells, "heat transfer area of all shells");
    rating.shellOutletTemperature = o.shellOutletTemperature;
    rating.shellExitTemperature = o.shellOutletTemperature;
    rating.tubeOutletTemperature = o.tubeOutletTemperature;
    rating.shellDuty = -o.duty;
    rating.tubeDuty = -o.duty;
    rating.shootingPasses = 0;
    rating.stage = Stage::solved;
}

void describeArrangement(const Case& c, const Extensions& ext, ExtendedRating& out) {
    const Rating& rt = out.rating;
    double C1 = rt.shellMassFlow * c.shellFluid.heatCapacity;
    double C2 = rt.tubeMassFlow * c.tubeFluid.heatCapacity;
    double span = c.shellInletTemperature - c.tubeInletTemperature;
    if (span == 0 || !(C1 > 0) || !(C2 > 0) || !std::isfinite(C1) || !std::isfinite(C2)) return;
    out.r1 = C1 / C2;
    out.ntu1 = rt.overallCoefficient * rt.area / C1;
    out.p1 = (c.shellInletTemperature - rt.shellOutletTemperature) / span;
    clearArithmeticFlags();  // these descriptive ratios never end a rating
    bool shellHot = span > 0;
    double hotIn = shellHot ? c.shellInletTemperature : c.tubeInletTemperature;
    double hotOut = shellHot ? rt.shellOutletTemperature : rt.tubeOutletTemperature;
    double coldIn = shellHot ? c.tubeInletTemperature : c.shellInletTemperature;
    double coldOut = shellHot ? rt.tubeOutletTemperature : rt.shellOutletTemperature;
    if (coldOut > hotOut)
        out.warnings.push_back("temperature cross: the cold outlet (" + std::to_string(coldOut) +
                               ") lies above the hot outlet (" + std::to_string(hotOut) + ")");
    if (ext.tubePasses == 1) return;  // F applies to 1-2N shells
    try {
        out.lmtdCorrection = lmtdCorrection(hotIn, hotOut, coldIn, coldOut, ext.shells);
        if (*out.lmtdCorrection < 0.75)
            out.warnings.push_back("F = " + std::to_string(*out.lmtdCorrection) +
                                   " is below 0.75: add shells in series");
    } catch (const InvalidArgument&) {
        out.warnings.push_back("no LMTD correction factor exists for these outlets");
    }
}

// The tube side of one pass and its pressure drop: Darcy-Weisbach over the
// N L path (N the passes of all shells) with the friction factor the tube side formed, and four
// velocity heads per pass for the entry, exit and return losses; Kern (1950), Process Heat
// Transfer, eq. 7.46 (Serth 2007, Process Heat Transfer, sec. 5.2).
void computeTubePressureDrop(const Case& c, const Extensions& ext, ExtendedRating& out) {
    const Rating& rt = out.rating;
    if (!rt.tube.friction) return;
    clearArithmeticFlags();
    double Di = c.tubeInnerDiameter;
    // The tube stream runs through every shell: N passes in each.
    double N = ext.tubePasses * ext.shells;
    double tubesPerPass = static_cast<double>(c.tubeCount / ext.tubePasses);
    out.tubeVelocity = checked(c.tubeFluid.volumetricFlow / (tubesPerPass * (k::pi * Di * Di / 4)),
                               "tube velocity of one pass");
    double head = checked(c.tubeFluid.density * out.tubeVelocity * out.tubeVelocity / 2,
                          "tube-side velocity head");
    out.tubeFrictionDrop =
        checked(*rt.tube.friction * (N * c.tubeLength / Di) * head, "tube friction drop");
    out.tubeReturnDrop = checked(4 * N * head, "tube return losses");
    out.tubePressureDrop =
        checked(out.tubeFrictionDrop + out.tubeReturnDrop, "tube-side pressure drop");
}

// NTU1 of the arrangement that gives P1: parallel flow for one co-current
// pass, else the TEMA E relation (counterflow for one pass).
// Parallel flow: NTU = -ln(1 - P(1 + R))/(1 + R); Incropera and DeWitt
// (2002), Fundamentals of Heat and Mass Transfer, table 11.4.
std::optional<double> requiredNtu1(const Case& c, const Extensions& ext, double p1, double r1) {
    try {
        if (ext.tubePasses == 1 && ext.shells == 1 && !isCounterCurrent(c.exchangerType)) {
            double reach = p1 * (1 + r1);
            if (!(reach < 1)) return std::nullopt;
            return checked(-std::log1p(-reach) / (1 + r1), "parallel-flow NTU1");
        }
        return temaENtu1(p1, r1, ext.tubePasses, ext.shells);
    } catch (const InvalidArgument&) {
        return std::nullopt;  // no U reaches that duty
    }
}

// Over-surface, and the fouling this arrangement could carry while still
// delivering the duty of the case's own clean rating.
void assessFouling(const Case& c, const Extensions& ext, const RateOptions& options,
                   ExtendedRating& out) {
    out.overSurfacePercent =
        checked((out.cleanCoefficient / out.serviceCoefficient - 1) * 100, "over-surface");
    std::optional<double> duty = out.rating.tubeDuty;
    if (!ext.empty()) {
        try {
            duty = rate(c, options).tubeDuty;
        } catch (const Error&) {
            return;  // the case's own rating fails: no duty to meet
        }
    }
    clearArithmeticFlags();
    const Rating& rt = out.rating;
    double C1 = rt.shellMassFlow * c.shellFluid.heatCapacity;
    double C2 = rt.tubeMassFlow * c.tubeFluid.heatCapacity;
    double span = std::fabs(c.shellInletTemperature - c.tubeInletTemperature);
    if (!duty || span == 0 || !(C1 > 0) || !(C2 > 0) || !std::isfinite(C1) || !std::isfinite(C2) ||
        !(rt.area > 0))
        return;
    out.targetDuty = std::fabs(*duty);
    double p1 = checked(*out.targetDuty / (C1 * span), "P1 of the target duty");
    std::optional<double> ntu1 = requiredNtu1(c, ext, p1, checked(C1 / C2, "R1"));
    if (!ntu1 || !(*ntu1 > 0)) return;
    double required = checked(*ntu1 * C1 / rt.area, "U required for the target duty");
    out.allowableFouling =
        checked(1 / required - 1 / out.cleanCoefficient, "fouling allowed at the target duty");
}

// The rating and every extended quantity; validated already.
ExtendedRating rateWithExtensions(const Case& c, const Extensions& ext,
                                  const RateOptions& options) {
    ExtendedRating out;
    if (ext.empty()) {
        out.rating = rate(c, options);
        out.cleanCoefficient = out.serviceCoefficient = out.rating.overallCoefficient;
        describeArrangement(c, ext, out);
        computeTubePressureDrop(c, ext, out);
        assessFouling(c, ext, options, out);
        return out;
    }
    CaseRecords r;
    r.input = c;
    clearArithmeticFlags();
    bool march = ext.tubePasses == 1 && ext.shells == 1;
    try {
        rateModel(r, ext, options, out);
        if (march) {
            solveStep(r, SolveOptions{options.passLimit, options.shooting, options.cancel});
        } else if (c.exchangerType < 0 || c.exchangerType > 3) {
            terminateRun(Check::exchangerSelection);
        }
    } catch (const CaseRejected& rejected) {
        rejectWithPartialRating(rejected, r);
    }
    if (march) {
        computeOverallResults(r);
        takeProfile(r);
    }
    out.rating = std::move(r.rating);
    if (!march) solveByPNtu(c, ext, out.rating);
    out.serviceCoefficient = out.rating.overallCoefficient;
    out.cleanlinessFactor = out.serviceCoefficient / out.cleanCoefficient;
    describeArrangement(c, ext, out);
    computeTubePressureDrop(c, ext, out);
    assessFouling(c, ext, options, out);
    return out;
}

}  // namespace

bool Extensions::empty() const {
    return foulingInside == 0 && foulingOutside == 0 && tubePasses == 1 && shells == 1 &&
           shellSide == ShellSideMethod::program;
}

ExtendedRating rateExtended(const Case& c, const Extensions& ext, const RateOptions& options) {
    validate(c, ext);
    return refusingBadAlloc([&] { return rateWithExtensions(c, ext, options); });
}

}  // namespace hxrate
