// A rating with extensions: the program's steps, then fouling in the
// resistance per unit length, the tube side of one pass of several, the
// Bell-Delaware shell side, and the P-NTU outlets of multi-pass shells.
#include "hxrate/extensions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "core/arithmetic.h"
#include "core/arrangements.h"
#include "core/assessment_warnings.h"
#include "core/bell_delaware.h"
#include "core/constants.h"
#include "core/extended_rating.h"
#include "core/failures.h"
#include "core/incremental_rating.h"
#include "core/rate.h"
#include "core/refuse.h"
#include "core/resistance.h"
#include "core/shell_flow.h"
#include "core/shell_heat_transfer.h"
#include "core/tube_side.h"

namespace hxrate {
namespace {

bool validPasses(int n) {
    return n == 1 || n == 2 || n == 4 || n == 6 || n == 8;
}

// Refuses a Bell-Delaware geometry outside the method's domain, naming the
// case document's field (below).
void checkBellDelawareCase(const Case& c, const BaffleGeometry& b);

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
    if (ext.shellSide == ShellSideMethod::bellDelaware) checkBellDelawareCase(c, ext.baffles);
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

// Bundle-to-shell diametral clearance of a fixed-tubesheet bundle: 12 mm, in
// the 10-15 mm range Taborek gives for fixed tubesheets and U-tubes (HEDH
// 1983, 3.3.5); TEMA prescribes none.
constexpr double defaultBundleToShellClearance = 0.012;

// The Bell-Delaware geometry of the case's bundle with outer diameter Do
// and central baffle spacing Lbc: each value the extensions leave unset at
// its default.
BellDelawareGeometry bellGeometry(const Case& c, double Do, double Lbc, const BaffleGeometry& b) {
    BellDelawareGeometry bd;
    bd.shellDiameter = c.shellInnerDiameter;
    bd.tubeOuterDiameter = Do;
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
    bd.centralBaffleSpacing = Lbc;
    bd.inletBaffleSpacing = b.inletBaffleSpacing.value_or(Lbc);
    bd.outletBaffleSpacing = b.outletBaffleSpacing.value_or(Lbc);
    bd.baffleCount = c.baffleCount;
    bd.shellToBaffleClearance =
        b.shellToBaffleClearance.value_or(temaShellToBaffleClearance(c.shellInnerDiameter));
    bd.tubeToBaffleClearance = b.tubeToBaffleClearance.value_or(temaTubeToBaffleClearance(
        Do,
        longestUnsupportedSpan(c.baffleCount, bd.inletBaffleSpacing, Lbc, bd.outletBaffleSpacing)));
    bd.bundleToShellClearance = b.bundleToShellClearance.value_or(defaultBundleToShellClearance);
    bd.sealingStripPairs = b.sealingStripPairs;
    return bd;
}

// ---- the Bell-Delaware geometry of a case, checked before the rating

const std::string baffleField = "extensions.baffles.";

// The names of the case document's fields, and for a value formed from the
// case the formula that forms it.
BellDelawareNames documentNames(int layoutAngle) {
    BellDelawareNames n;
    n.shellDiameter = "case.shell_inner_diameter";
    n.tubeOuterDiameter = "Do = case.tube_inner_diameter + 2 case.wall_thickness";
    n.tubePitch =
        layoutAngle == 45 ? "Ltp = case.transverse_pitch/sqrt(2)" : "case.transverse_pitch";
    n.tubeCount = "case.tube_count";
    n.baffleCount = "case.baffle_count";
    n.centralBaffleSpacing = "Lbc = case.tube_length/(case.baffle_count + 1)";
    n.layoutAngle = baffleField + "layout_angle";
    n.baffleCut = baffleField + "baffle_cut";
    n.inletBaffleSpacing = baffleField + "inlet_baffle_spacing";
    n.outletBaffleSpacing = baffleField + "outlet_baffle_spacing";
    n.shellToBaffleClearance = baffleField + "shell_to_baffle_clearance";
    n.tubeToBaffleClearance = baffleField + "tube_to_baffle_clearance";
    n.bundleToShellClearance = baffleField + "bundle_to_shell_clearance";
    n.sealingStripPairs = baffleField + "sealing_strip_pairs";
    return n;
}

// Given end spacings are above 0, and with the Nb - 1 central spacings they
// fit the tube length L = (Nb + 1) Lbc: together at most 2 Lbc.
void checkEndSpacings(const Case& c, const BaffleGeometry& b, double Lbc) {
    const std::string inlet = baffleField + "inlet_baffle_spacing";
    const std::string outlet = baffleField + "outlet_baffle_spacing";
    for (auto [name, spacing] :
         {std::pair{&inlet, b.inletBaffleSpacing}, std::pair{&outlet, b.outletBaffleSpacing}}) {
        if (spacing && !(std::isfinite(*spacing) && *spacing > 0))
            refuse(name->c_str(),
                   *name + " " + refusalNumber(*spacing) + " m must be a finite value above 0");
    }
    if (!(std::isfinite(Lbc) && Lbc > 0)) return;  // the geometry check names the case's
    if (!b.inletBaffleSpacing && !b.outletBaffleSpacing) return;
    const double L = c.tubeLength;
    const double Lbi = b.inletBaffleSpacing.value_or(Lbc);
    const double Lbo = b.outletBaffleSpacing.value_or(Lbc);
    const double inner = static_cast<double>(c.baffleCount - 1);
    clearArithmeticFlags();
    const double need = inner * Lbc + Lbi + Lbo;
    const bool fits = need <= L * (1 + k::spacingFitTolerance);
    clearArithmeticFlags();  // an overflow of `need` is a spacing that does not fit
    if (fits) return;
    // The larger of the spacings given is the one named.
    const bool inletNamed = b.inletBaffleSpacing && (!b.outletBaffleSpacing || Lbi >= Lbo);
    const std::string& name = inletNamed ? inlet : outlet;
    const std::string& other = inletNamed ? outlet : inlet;
    refuse(name.c_str(),
           name + " " + refusalNumber(inletNamed ? Lbi : Lbo) + " m does not fit: with " + other +
               " " + refusalNumber(inletNamed ? Lbo : Lbi) + " m and " +
               std::to_string(c.baffleCount - 1) + " central spacings of " + refusalNumber(Lbc) +
               " m (case.tube_length/(case.baffle_count + 1)) the baffles need " +
               refusalNumber(need) + " m, more than case.tube_length " + refusalNumber(L) +
               " m: the two end spacings may add up to 2 Lbc = " + refusalNumber(2 * Lbc) +
               " m at most");
}

// Every value of the Bell-Delaware geometry, those given and the defaults,
// under its case-document name; a default that does not suit the case says so.
void checkBellDelawareCase(const Case& c, const BaffleGeometry& b) {
    clearArithmeticFlags();
    const double Do = c.wallThickness * 2 + c.tubeInnerDiameter;
    const double Lbc = c.tubeLength / static_cast<double>(std::int64_t{c.baffleCount} + 1);
    clearArithmeticFlags();  // an infinite Do or Lbc is refused below by name
    checkEndSpacings(c, b, Lbc);
    const BellDelawareGeometry bd = bellGeometry(c, Do, Lbc, b);
    clearArithmeticFlags();
    const BellDelawareNames names = documentNames(bd.layoutAngle);
    try {
        checkBellDelawareGeometry(bd, names);
    } catch (const InvalidArgument& e) {
        const std::string& a = e.argument();
        bool defaulted = (a == names.shellToBaffleClearance && !b.shellToBaffleClearance) ||
                         (a == names.tubeToBaffleClearance && !b.tubeToBaffleClearance) ||
                         (a == names.bundleToShellClearance && !b.bundleToShellClearance);
        if (!defaulted) throw;
        throw InvalidArgument(a, std::string(e.what()) +
                                     " (the default, which does not suit this case: give the "
                                     "value in the case document)");
    }
}

// The extensions that change the coefficients, on sides the case's steps
// have formed: the Bell-Delaware shell side in place of the program's, then
// the fouling layers. `out`, when given, receives the Bell-Delaware result
// and the clean U.
void applyCoefficientExtensions(const CaseInput& in, const Extensions& ext, Rating& rt,
                                ExtendedQuantities* out) {
    const double Do = rt.geometry.outerDiameter;
    if (ext.shellSide == ShellSideMethod::bellDelaware) {
        const Fluid& f = in.shellFluid;
        ShellStream s{rt.shellMassFlow, f.density,      f.viscosity,
                      f.heatCapacity,   f.conductivity, ext.shellWallViscosity};
        BellDelawareResult bd =
            bellDelawareShellSide(bellGeometry(in, Do, rt.geometry.baffleSpacing, ext.baffles), s);
        clearArithmeticFlags();
        rt.shell.reynolds = bd.reynolds;
        rt.shell.filmCoefficient = bd.coefficient;
        rt.shell.nusselt =
            checked(rt.shell.filmCoefficient * rt.shell.characteristicLength / f.conductivity,
                    "Bell-Delaware Nusselt number");
        rt.shell.filmResistance =
            checked(1 / (rt.shell.filmCoefficient * Do * 0.5), "shell-side film term");
        computeResistancePerLength(in, rt);
        if (out) out->bellDelaware = std::move(bd);
    }
    if (out) out->cleanCoefficient = checked(rt.conductancePerLength / (k::pi * Do), "clean U");
    if (ext.foulingInside != 0 || ext.foulingOutside != 0) {
        // Each fouling layer as a resistance of unit tube length times 2 pi,
        // like the film terms: Rf/r on its own surface's radius.
        double Di = in.tubeInnerDiameter;
        double fouling = ext.foulingInside / (Di * 0.5) + ext.foulingOutside / (Do * 0.5);
        rt.resistancePerLength = checked((rt.geometry.wallResistance + rt.tube.filmResistance +
                                          rt.shell.filmResistance + fouling) /
                                             (k::pi * 2),
                                         "resistance per unit length with fouling");
        rt.conductancePerLength = checked(1 / rt.resistancePerLength, "service conductance");
    }
}

// The model steps with the extensions that change the coefficients.
void rateModel(CaseRecords& r, const Extensions& ext, const RateOptions& options,
               ExtendedQuantities& out) {
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
    applyCoefficientExtensions(r.input, ext, rt, &out);
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
    // Co-current shells of one pass stay co-current from shell to shell.
    SeriesCoupling coupling = ext.tubePasses == 1 && !isCounterCurrent(c.exchangerType)
                                  ? SeriesCoupling::coCurrent
                                  : SeriesCoupling::counterflow;
    EShellOutlets o = seriesOutlets(C1, c.shellInletTemperature, C2, c.tubeInletTemperature, UA,
                                    ext.tubePasses, ext.shells, coupling);
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
        out.warnings.push_back({"temperature-cross",
                                Severity::warning,
                                "temperature cross: the cold outlet (" + shortNumber(coldOut) +
                                    " C) lies above the hot outlet (" + shortNumber(hotOut) + " C)",
                                0,
                                {{"cold_outlet", coldOut}, {"hot_outlet", hotOut}},
                                "extensions.tube_passes"});
    if (ext.tubePasses == 1) return;  // F applies to 1-2N shells
    try {
        out.lmtdCorrection = lmtdCorrection(hotIn, hotOut, coldIn, coldOut, ext.shells);
        if (*out.lmtdCorrection < 0.75)
            out.warnings.push_back(
                {"lmtd-correction-low",
                 Severity::warning,
                 "F = " + shortNumber(*out.lmtdCorrection) + " is below 0.75: add shells in series",
                 0,
                 {{"F", *out.lmtdCorrection}},
                 "extensions.shells"});
    } catch (const InvalidArgument&) {
        out.warnings.push_back({"lmtd-correction-none",
                                Severity::warning,
                                "no LMTD correction factor exists for these outlets",
                                0,
                                {},
                                "extensions.shells"});
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
// pass (in one shell or co-current shells in series, the whole one
// co-current exchanger), else the TEMA E relation (counterflow for one pass).
// Parallel flow: NTU = -ln(1 - P(1 + R))/(1 + R); Incropera and DeWitt
// (2002), Fundamentals of Heat and Mass Transfer, table 11.4.
std::optional<double> requiredNtu1(const Case& c, const Extensions& ext, double p1, double r1) {
    try {
        if (ext.tubePasses == 1 && !isCounterCurrent(c.exchangerType)) {
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
        } catch (const Cancelled&) {
            throw;
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

// The rating of a non-empty arrangement, with what its model steps form
// beyond the rating (the clean U, Bell-Delaware); validated already.
Rating rateArrangementOnly(const Case& c, const Extensions& ext, const RateOptions& options,
                           ExtendedQuantities& out) {
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
    Rating rating = std::move(r.rating);
    if (!march) solveByPNtu(c, ext, rating);
    return rating;
}

// The rating and every extended quantity; validated already.
ExtendedRating rateWithExtensions(const Case& c, const Extensions& ext,
                                  const RateOptions& options) {
    ExtendedRating out;
    if (ext.empty()) {
        out.rating = rate(c, options);
        detail::describeCaseRating(c, options, out);
        return out;
    }
    out.rating = rateArrangementOnly(c, ext, options, out);
    return detail::describeArrangementRating(c, ext, options, std::move(out));
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

namespace detail {

BellDelawareGeometry bellDelawareGeometryOf(const Case& c, const BaffleGeometry& b) {
    const double Do = c.wallThickness * 2 + c.tubeInnerDiameter;
    const double Lbc = c.tubeLength / static_cast<double>(std::int64_t{c.baffleCount} + 1);
    return bellGeometry(c, Do, Lbc, b);
}

void rateModelSteps(CaseRecords& r, const Extensions& ext, const RateOptions& options,
                    ExtendedQuantities& out) {
    rateModel(r, ext, options, out);
}

void rateSides(const CaseInput& in, const Extensions& ext, Rating& rt, ExtendedQuantities* out) {
    computeTubeSide(in, rt.tube);
    computeShellFlow(in, rt.geometry, rt.shell);
    computeShellHeatTransfer(in, rt.geometry, rt.shell);
    computeResistancePerLength(in, rt);
    applyCoefficientExtensions(in, ext, rt, out);
}

void validateExtensions(const Case& c, const Extensions& ext) {
    validate(c, ext);
}

ExtendedRating describeArrangementRating(const Case& c, const Extensions& ext,
                                         const RateOptions& options, ExtendedRating out) {
    out.serviceCoefficient = out.rating.overallCoefficient;
    out.cleanlinessFactor = out.serviceCoefficient / out.cleanCoefficient;
    describeArrangement(c, ext, out);
    computeTubePressureDrop(c, ext, out);
    assessFouling(c, ext, options, out);
    return out;
}

void describeCaseRating(const Case& c, const RateOptions& options, ExtendedRating& out) {
    const Extensions none;
    out.cleanCoefficient = out.serviceCoefficient = out.rating.overallCoefficient;
    describeArrangement(c, none, out);
    computeTubePressureDrop(c, none, out);
    assessFouling(c, none, options, out);
}

Rating rateArrangement(const Case& c, const Extensions& ext, const RateOptions& options) {
    if (ext.empty()) return rate(c, options);
    validate(c, ext);
    return refusingBadAlloc([&] {
        ExtendedQuantities unused;
        return rateArrangementOnly(c, ext, options, unused);
    });
}

Rating rateArrangement(const Case& c, const Arrangement& a, const RateOptions& options) {
    const Extensions& ext = a;
    if (a.incremental) return rateIncrementally(c, ext, *a.incremental, options).rating;
    return rateArrangement(c, ext, options);
}

ShootingMap analyseShooting(const Case& c, const Extensions& ext, const RateOptions& options) {
    if (ext.empty()) return hxrate::analyseShooting(c, options);
    validate(c, ext);
    return refusingBadAlloc([&] {
        CaseRecords r;
        r.input = c;
        clearArithmeticFlags();
        ExtendedQuantities unused;
        try {
            rateModel(r, ext, options, unused);
        } catch (const CaseRejected& rejected) {
            rejectWithPartialRating(rejected, r);
        }
        return mapShooting(r, options);
    });
}

}  // namespace detail

}  // namespace hxrate
