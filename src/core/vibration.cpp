// Flow-induced vibration screening of the tubes of a baffled bundle in cross
// flow, span by span: natural frequency, fluid-elastic instability, vortex
// shedding, turbulent buffeting, and the shell's acoustic resonance for a gas.
#include "hxrate/vibration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/arithmetic.h"
#include "core/assessment_warnings.h"
#include "core/bell_delaware.h"
#include "core/constants.h"
#include "core/extended_rating.h"
#include "core/refuse.h"

namespace hxrate {
namespace {

constexpr double pi = k::piDouble;

// ---- inputs

void requirePositive(const char* field, const std::optional<double>& v, const char* unit) {
    if (v && !(std::isfinite(*v) && *v > 0))
        refuse(field, std::string(field) + " " + shortNumber(*v) + unit +
                          " must be a finite value above 0");
}

void requireNonNegative(const char* field, const std::optional<double>& v) {
    if (v && !(std::isfinite(*v) && *v >= 0))
        refuse(field,
               std::string(field) + " " + shortNumber(*v) + " must be a finite value not below 0");
}

// ---- the bundle

// The velocity through the narrowest gaps of a compartment `spacing` long:
// the upstream velocity Q/(spacing Ds) times ST/(ST - Do), or for a
// staggered bank whose diagonal gap is the narrower ST/2/(SD - Do): the
// pitch velocity Pettigrew and Taylor (2003, 469-483, sec. 2) use in
// Connors' criterion, formed as the rating forms its cross-flow velocity.
double gapVelocity(const Case& c, double Do, double spacing) {
    const double ST = c.transversePitch, SL = c.longitudinalPitch;
    double V = checked(c.shellFluid.volumetricFlow / (spacing * c.shellInnerDiameter),
                       "vibration: upstream cross-flow velocity");
    const double SD = std::sqrt(ST * 0.5 * (ST * 0.5) + SL * SL);
    if (c.bundleArrangement == BundleArrangement::Staggered && !((ST + Do) / 2 < SD))
        return checked(V * ST * 0.5 / (SD - Do), "vibration: gap velocity");
    return checked(V * ST / (ST - Do), "vibration: gap velocity");
}

// The spans of a tube that passes through every baffle: the inlet and
// outlet spans end in the tubesheets (clamped), the others in baffle holes
// (pinned). Without baffles the tube spans its whole length. The tubes in
// the windows rest in every other baffle: their longest spans run over an
// end spacing and the central one beside it, or over two central spacings
// (with one baffle, from tubesheet to tubesheet); TEMA (9th ed., 2007)
// RCB-4.52 counts a window tube's span so.
std::vector<VibrationSpan> spansOf(const Case& c, const Extensions& ext, bool windows) {
    const std::int64_t compartments = std::int64_t{c.baffleCount} + 1;
    const double Lbc =
        checked(c.tubeLength / static_cast<double>(compartments), "vibration: baffle spacing");
    const double Lbi = ext.baffles.inletBaffleSpacing.value_or(Lbc);
    const double Lbo = ext.baffles.outletBaffleSpacing.value_or(Lbc);
    auto span = [](const char* name, bool window, std::int64_t count, double length, SpanEnd a,
                   SpanEnd b) {
        VibrationSpan s;
        s.name = name;
        s.inWindow = window;
        s.count = static_cast<int>(count);
        s.length = length;
        s.startEnd = a;
        s.endEnd = b;
        return s;
    };
    const SpanEnd clamped = SpanEnd::clamped, pinned = SpanEnd::pinned;
    if (c.baffleCount == 0) return {span("whole", false, 1, c.tubeLength, clamped, clamped)};
    std::vector<VibrationSpan> spans{span("inlet", false, 1, Lbi, clamped, pinned)};
    if (c.baffleCount > 1)
        spans.push_back(span("central", false, compartments - 2, Lbc, pinned, pinned));
    spans.push_back(span("outlet", false, 1, Lbo, pinned, clamped));
    if (!windows) return spans;
    if (c.baffleCount == 1) {
        spans.push_back(span("window whole", true, 1, Lbi + Lbo, clamped, clamped));
        return spans;
    }
    spans.push_back(span("window inlet", true, 1, Lbi + Lbc, clamped, pinned));
    if (c.baffleCount > 2)
        spans.push_back(span("window central", true, compartments - 3, 2 * Lbc, pinned, pinned));
    spans.push_back(span("window outlet", true, 1, Lbc + Lbo, pinned, clamped));
    return spans;
}

// (lambda L)^2 of the first mode of a uniform beam with these ends; Blevins
// (1979), table 8-1: pi^2 pinned-pinned, 15.42 clamped-pinned, 22.37
// clamped-clamped (TEMA, 9th ed., V-5.3, gives the same constants).
double frequencyFactor(SpanEnd a, SpanEnd b) {
    if (a == SpanEnd::pinned && b == SpanEnd::pinned) return pi * pi;
    if (a == SpanEnd::clamped && b == SpanEnd::clamped)
        return k::clampedClampedRoot * k::clampedClampedRoot;
    return k::clampedPinnedRoot * k::clampedPinnedRoot;
}

std::string spanLabel(const VibrationSpan& s) {
    return s.name + " span (" + shortNumber(s.length) + " m)";
}

// ---- the screening of each span

void screenSpan(const Case& c, const VibrationScreening& s, double windowArea,
                VibrationSpan& span) {
    const double Do = s.outerDiameter, L = span.length;
    span.frequencyFactor = frequencyFactor(span.startEnd, span.endEnd);
    // f_n = (lambda L)^2/(2 pi L^2) sqrt(E I/m), Euler-Bernoulli beam;
    // Blevins (1979), table 8-1; any span length.
    span.naturalFrequency =
        checked(span.frequencyFactor / (2 * pi * (L * L)) *
                    std::sqrt(s.elasticModulus * s.momentOfInertia / s.effectiveMass),
                "vibration: natural frequency");
    // In a window the flow turns through the net window area Sw (Taborek,
    // HEDH 1983, 3.3.5); Q/Sw, the window velocity, crosses its tubes.
    span.velocity = span.inWindow ? checked(c.shellFluid.volumetricFlow / windowArea,
                                            "vibration: window velocity")
                                  : gapVelocity(c, Do, L);
    // V_crit = K f_n Do sqrt(m delta/(rho Do^2)); Connors (1970), as
    // Pettigrew and Taylor (2003, 469-483, eq. 12) give it, for the
    // mass-damping parameters of heat-exchanger bundles.
    span.criticalVelocity =
        checked(s.connorsConstant * span.naturalFrequency * Do * std::sqrt(s.massDampingParameter),
                "vibration: critical velocity");
    span.velocityRatio = checked(span.velocity / span.criticalVelocity, "vibration: V/V_crit");
    // f_vs = St V/Do, Strouhal's relation.
    span.vortexFrequency =
        checked(s.strouhalNumber * span.velocity / Do, "vibration: vortex-shedding frequency");
    const double f = span.naturalFrequency, V = span.velocity, rho = s.shellDensity;
    // y_vs = C_L rho Do V^2/(2 pi^2 delta f_n^2 m): the resonant mid-span
    // amplitude of the first mode under a periodic lift C_L rho V^2 Do/2 per
    // length (TEMA, 9th ed., V-11.2).
    span.vortexAmplitude = checked(s.liftCoefficient * rho * Do * (V * V) /
                                       (2 * (pi * pi) * s.logDecrement * (f * f) * s.effectiveMass),
                                   "vibration: vortex-shedding amplitude");
    // y_tb = sqrt(S_F/(2 pi^4 delta m^2 f_n^3)), S_F = (rho V^2 Do/2)^2 (Do/V)
    // Phi: the rms mid-span response of the first mode of a pinned span to a
    // random force of one-sided spectrum S_F correlated over the span
    // (Blevins 1990, Flow-Induced Vibration, 2nd ed., eq. 8-43 with the joint
    // acceptance of a fully correlated load), Phi the normalised spectrum.
    const double dynamic = rho * (V * V) * Do / 2;
    const double spectrum = dynamic * dynamic * (Do / V) * s.buffetingSpectrum;
    span.buffetingAmplitude =
        checked(std::sqrt(spectrum / (2 * (pi * pi * pi * pi) * s.logDecrement *
                                      (s.effectiveMass * s.effectiveMass) * (f * f * f))),
                "vibration: turbulent-buffeting amplitude");
}

// ---- the shell's acoustic resonance

void screenAcoustics(const Case& c, const VibrationInput& in, VibrationScreening& s) {
    std::optional<double> speed = in.speedOfSound;
    // c = sqrt(gamma p/rho) of an ideal gas.
    if (!speed && in.pressure)
        speed = checked(std::sqrt(in.heatCapacityRatio * *in.pressure / s.shellDensity),
                        "vibration: speed of sound");
    if (!speed) {
        s.warnings.push_back(
            {"acoustic-not-screened",
             Severity::info,
             "the shell fluid is a gas: give vibration.speed_of_sound or vibration.pressure to "
             "screen the shell's acoustic resonance",
             0,
             {},
             "vibration.speed_of_sound"});
        return;
    }
    AcousticCheck a;
    a.speedOfSound = *speed;
    const double Do = s.outerDiameter, ST = c.transversePitch, SL = c.longitudinalPitch;
    // c_eff = c/sqrt(1 + sigma), sigma = pi Do^2/(4 ST SL) the solidity of
    // the bundle; Parker (1978), as Blevins (1990, eq. 10-30) gives it.
    const double solidity = pi * (Do * Do) / (4 * ST * SL);
    a.effectiveSpeedOfSound =
        checked(a.speedOfSound / std::sqrt(1 + solidity), "vibration: effective speed of sound");
    // f_a = n c_eff/(2 Ds): the transverse standing waves across the shell
    // (Blevins 1990, eq. 10-28, a duct of width Ds; TEMA, 9th ed., V-12.1).
    for (int n = 1; n <= k::acousticModes; ++n)
        a.modes.push_back(checked(n * a.effectiveSpeedOfSound / (2 * c.shellInnerDiameter),
                                  "vibration: acoustic frequency"));
    // The bundle's cross-flow velocity: that of the central spans, or of the
    // inlet span where there are none.
    const VibrationSpan& central =
        s.spans.size() > 2 && !s.spans[1].inWindow ? s.spans[1] : s.spans[0];
    const double XT = ST / Do, XL = SL / Do;
    // Owen (1965), TEMA (9th ed.) V-12.2: the turbulent buffeting frequency.
    a.buffetingFrequency =
        checked(central.velocity / (Do * XL * XT) *
                    (k::owenFactor * ((1 - 1 / XT) * (1 - 1 / XT)) + k::owenOffset),
                "vibration: turbulent buffeting frequency");
    a.closestMargin = -1;
    auto consider = [&](double f, const std::string& source) {
        for (std::size_t n = 0; n < a.modes.size(); ++n) {
            double margin = std::fabs(f / a.modes[n] - 1);
            if (a.closestMargin < 0 || margin < a.closestMargin) {
                a.closestMargin = margin;
                a.closestSource = source;
                a.closestMode = static_cast<int>(n) + 1;
            }
        }
    };
    for (const VibrationSpan& span : s.spans) consider(span.vortexFrequency, spanLabel(span));
    consider(a.buffetingFrequency, "turbulent buffeting");
    checkArithmetic("vibration: acoustic margin");
    if (a.closestMargin <= k::resonanceBand)
        s.warnings.push_back(
            {"acoustic-resonance",
             Severity::warning,
             "acoustic resonance: the " + a.closestSource + " excites at " +
                 shortNumber(a.closestMargin * 100) + " % from the shell's acoustic mode " +
                 std::to_string(a.closestMode) + " (" +
                 shortNumber(a.modes[static_cast<std::size_t>(a.closestMode - 1)]) +
                 " Hz); within 20 % it may resonate: change the baffle spacing or fit "
                 "deresonating baffles",
             0,
             {{"margin", a.closestMargin}, {"mode", static_cast<double>(a.closestMode)}},
             "vibration"});
    s.acoustic = std::move(a);
}

// One warning of each kind, naming the span where the limit is passed most.
void addSpanWarnings(VibrationScreening& s) {
    const VibrationSpan& worst = s.spans[s.worstSpan];
    if (worst.velocityRatio >= s.velocityRatioLimit)
        s.warnings.push_back(
            {"fluid-elastic-instability",
             Severity::error,
             "fluid-elastic instability: the " + spanLabel(worst) + " has V/V_crit = " +
                 shortNumber(worst.velocityRatio) + " (V = " + shortNumber(worst.velocity) +
                 " m/s, V_crit = " + shortNumber(worst.criticalVelocity) +
                 " m/s), at or above the limit " + shortNumber(s.velocityRatioLimit) +
                 ": shorten the span or lower the cross-flow velocity",
             0,
             {{"V/V_crit", worst.velocityRatio}, {"limit", s.velocityRatioLimit}},
             "vibration"});
    // Vortex shedding locks in where it sheds near the span's frequency.
    const VibrationSpan* vortex = nullptr;
    const VibrationSpan* buffeting = nullptr;
    for (const VibrationSpan& span : s.spans) {
        bool lockIn =
            std::fabs(span.vortexFrequency / span.naturalFrequency - 1) <= k::resonanceBand;
        if (lockIn && span.vortexAmplitude > s.allowedAmplitude &&
            (!vortex || span.vortexAmplitude > vortex->vortexAmplitude))
            vortex = &span;
        if (span.buffetingAmplitude > s.allowedAmplitude &&
            (!buffeting || span.buffetingAmplitude > buffeting->buffetingAmplitude))
            buffeting = &span;
    }
    checkArithmetic("vibration: lock-in");
    if (vortex)
        s.warnings.push_back(
            {"vortex-shedding",
             Severity::warning,
             "vortex shedding: the " + spanLabel(*vortex) + " sheds at " +
                 shortNumber(vortex->vortexFrequency) + " Hz, near its natural frequency " +
                 shortNumber(vortex->naturalFrequency) + " Hz, with an amplitude of " +
                 shortNumber(vortex->vortexAmplitude * 1000) + " mm, above the " +
                 shortNumber(s.allowedAmplitude * 1000) + " mm allowed",
             0,
             {{"amplitude", vortex->vortexAmplitude}, {"allowed", s.allowedAmplitude}},
             "vibration"});
    if (buffeting)
        s.warnings.push_back(
            {"turbulent-buffeting",
             Severity::warning,
             "turbulent buffeting: the " + spanLabel(*buffeting) + " moves " +
                 shortNumber(buffeting->buffetingAmplitude * 1000) + " mm rms, above the " +
                 shortNumber(s.allowedAmplitude * 1000) + " mm allowed",
             0,
             {{"amplitude", buffeting->buffetingAmplitude}, {"allowed", s.allowedAmplitude}},
             "vibration"});
}

}  // namespace

// Room-temperature elastic modulus, ASME BPVC II-D (2019), tables TM-1
// (carbon and austenitic steels), TM-3 (copper C12200, admiralty C44300)
// and TM-5 (titanium grade 2), at 21 C; densities from the same alloys'
// UNS data (ASM Handbook vol. 2, 1990, and vol. 1).
MaterialProperties tubeMaterialProperties(TubeMaterial m) {
    switch (m) {
        case TubeMaterial::carbonSteel:
            return {202e9, 7850};
        case TubeMaterial::stainlessSteel:
            return {195e9, 8000};
        case TubeMaterial::copper:
            return {117e9, 8940};
        case TubeMaterial::admiraltyBrass:
            return {110e9, 8530};
        case TubeMaterial::titanium:
            break;
    }
    return {107e9, 4510};
}

std::string_view tubeMaterialName(TubeMaterial m) {
    switch (m) {
        case TubeMaterial::carbonSteel:
            return "carbon-steel";
        case TubeMaterial::stainlessSteel:
            return "stainless-steel";
        case TubeMaterial::copper:
            return "copper";
        case TubeMaterial::admiraltyBrass:
            return "admiralty-brass";
        case TubeMaterial::titanium:
            break;
    }
    return "titanium";
}

std::vector<TubeMaterial> tubeMaterials() {
    return {TubeMaterial::carbonSteel, TubeMaterial::stainlessSteel, TubeMaterial::copper,
            TubeMaterial::admiraltyBrass, TubeMaterial::titanium};
}

std::optional<TubeMaterial> tubeMaterialFromName(std::string_view name) {
    for (TubeMaterial m : tubeMaterials())
        if (tubeMaterialName(m) == name) return m;
    return std::nullopt;
}

TubeMaterial tubeMaterialNamed(std::string_view name) {
    if (std::optional<TubeMaterial> m = tubeMaterialFromName(name)) return *m;
    refuse("vibration.material", "vibration.material \"" + std::string(name) +
                                     "\" is not a tube material of the table: carbon-steel, "
                                     "stainless-steel, copper, admiralty-brass or titanium "
                                     "(give elastic_modulus and tube_density for another)");
}

std::string_view shellPhaseName(ShellPhase p) {
    return p == ShellPhase::gas ? "gas" : "liquid";
}

std::string_view spanEndName(SpanEnd e) {
    return e == SpanEnd::clamped ? "clamped" : "pinned";
}

bool VibrationScreening::passes() const {
    return std::none_of(warnings.begin(), warnings.end(),
                        [](const Warning& w) { return w.severity != Severity::info; });
}

void validateVibrationInput(const VibrationInput& v) {
    requirePositive("vibration.elastic_modulus", v.elasticModulus, " Pa");
    requirePositive("vibration.tube_density", v.tubeDensity, " kg/m3");
    requirePositive("vibration.log_decrement", v.logDecrement, "");
    requirePositive("vibration.connors_constant", v.connorsConstant, "");
    requirePositive("vibration.velocity_ratio_limit", v.velocityRatioLimit, "");
    requirePositive("vibration.strouhal_number", v.strouhalNumber, "");
    requireNonNegative("vibration.lift_coefficient", v.liftCoefficient);
    requireNonNegative("vibration.buffeting_spectrum", v.buffetingSpectrum);
    requirePositive("vibration.allowed_gap_fraction", v.allowedGapFraction, "");
    if (v.allowedGapFraction && *v.allowedGapFraction > 1)
        refuse("vibration.allowed_gap_fraction", "vibration.allowed_gap_fraction " +
                                                     shortNumber(*v.allowedGapFraction) +
                                                     " must not exceed 1 (the whole gap)");
    if (v.logDecrement && *v.logDecrement >= 2 * pi)
        refuse("vibration.log_decrement", "vibration.log_decrement " +
                                              shortNumber(*v.logDecrement) +
                                              " must be below 2 pi (critical damping)");
    requirePositive("vibration.speed_of_sound", v.speedOfSound, " m/s");
    requirePositive("vibration.pressure", v.pressure, " Pa");
    if (!(std::isfinite(v.heatCapacityRatio) && v.heatCapacityRatio > 1))
        refuse("vibration.heat_capacity_ratio", "vibration.heat_capacity_ratio " +
                                                    shortNumber(v.heatCapacityRatio) +
                                                    " must be a finite value above 1");
}

VibrationScreening screenVibration(const Case& c, const Extensions& ext, const VibrationInput& in) {
    validateVibrationInput(in);
    if (!isCrossFlow(c.exchangerType))
        refuse("case.exchanger_type",
               "vibration is screened for the cross-flow types 2 and 3, not " +
                   std::to_string(c.exchangerType));
    if (c.baffleCount < 0)
        refuse("case.baffle_count",
               "case.baffle_count " + std::to_string(c.baffleCount) + " must not be below 0");
    clearArithmeticFlags();
    VibrationScreening s;
    const MaterialProperties mat = tubeMaterialProperties(in.material);
    s.material = in.elasticModulus || in.tubeDensity ? "given" : tubeMaterialName(in.material);
    s.elasticModulus = in.elasticModulus.value_or(mat.elasticModulus);
    s.tubeDensity = in.tubeDensity.value_or(mat.density);
    const double Di = c.tubeInnerDiameter;
    const double Do = checked(c.wallThickness * 2 + Di, "vibration: tube outer diameter");
    s.outerDiameter = Do;
    // The layout and tube pitch the Bell-Delaware geometry takes from the
    // case's bank (a rotated triangle's pitch is ST/sqrt 3).
    const BellDelawareGeometry bundle = detail::bellDelawareGeometryOf(c, ext.baffles);
    clearArithmeticFlags();  // a faulty Do or spacing is refused below by name
    s.layoutAngle = bundle.layoutAngle;
    s.pitch = s.layoutAngle == 60 ? c.transversePitch / std::sqrt(3.0) : bundle.tubePitch;
    s.gap = s.pitch - Do;
    if (!(Di > 0) || !(Do > Di))
        refuse("case.wall_thickness", "vibration is screened for tubes with a bore: Di " +
                                          shortNumber(Di) + " m, Do " + shortNumber(Do) + " m");
    if (!(s.gap > 0) || !(c.transversePitch > Do))
        refuse("case.transverse_pitch",
               "vibration is screened for tubes with a gap between them: Do " + shortNumber(Do) +
                   " m, pitch " + shortNumber(s.pitch) + " m");
    if (!(c.shellInnerDiameter > 0) || !(c.tubeLength > 0))
        refuse("case.shell_inner_diameter",
               "vibration is screened for a shell with a diameter and tubes with a length");
    if (!(c.shellFluid.density > 0) || !(c.shellFluid.volumetricFlow > 0) ||
        !(c.tubeFluid.density >= 0))
        refuse("case.shell_fluid", "vibration is screened for a shell stream that flows");
    s.shellDensity = c.shellFluid.density;
    s.shellPhase = in.shellPhase.value_or(s.shellDensity < gasDensityBelow ? ShellPhase::gas
                                                                           : ShellPhase::liquid);
    const bool gas = s.shellPhase == ShellPhase::gas;
    // I = pi (Do^4 - Di^4)/64 of a tube's section.
    s.momentOfInertia = pi * (Do * Do * Do * Do - Di * Di * Di * Di) / 64;
    s.tubeMass = s.tubeDensity * pi * (Do * Do - Di * Di) / 4;
    s.insideMass = c.tubeFluid.density * pi * (Di * Di) / 4;
    // C_m = ((De/Do)^2 + 1)/((De/Do)^2 - 1), the added mass of a tube
    // confined by its neighbours; Pettigrew and Taylor (2003, 469-483, eq. 2),
    // pitch ratios 1.2 to 2.
    const double x = s.pitch / Do;
    const bool triangular = s.layoutAngle == 30 || s.layoutAngle == 60;
    const double De = triangular ? (k::confinementTriangularA + k::confinementTriangularB * x) * x
                                 : (k::confinementSquareA + k::confinementSquareB * x) * x;
    s.addedMassCoefficient = (De * De + 1) / (De * De - 1);
    s.addedMass = s.addedMassCoefficient * s.shellDensity * pi * (Do * Do) / 4;
    s.effectiveMass = s.tubeMass + s.insideMass + s.addedMass;
    checkArithmetic("vibration: mass per length");
    s.logDecrement = in.logDecrement.value_or(gas ? k::gasLogDecrement : k::liquidLogDecrement);
    s.connorsConstant = in.connorsConstant.value_or(k::connorsDesignConstant);
    s.massDampingParameter =
        checked(s.effectiveMass * s.logDecrement / (s.shellDensity * (Do * Do)),
                "vibration: mass-damping parameter");
    s.strouhalNumber = in.strouhalNumber.value_or(k::strouhalNumber);
    s.liftCoefficient = in.liftCoefficient.value_or(k::liftCoefficient);
    s.buffetingSpectrum = in.buffetingSpectrum.value_or(k::buffetingSpectrum);
    s.allowedAmplitude =
        in.allowedGapFraction ? *in.allowedGapFraction * s.gap : k::allowedAmplitudeFraction * Do;
    s.velocityRatioLimit = in.velocityRatioLimit;
    // The window's flow area from the bundle's Bell-Delaware geometry (its
    // baffle cut and clearances, given or the defaults).
    double windowArea = 0;
    if (c.baffleCount > 0) {
        try {
            windowArea = windowFlowArea(bundle);
        } catch (const InvalidArgument& e) {
            s.warnings.push_back(
                {"vibration-not-screened",
                 Severity::info,
                 std::string("the tubes in the baffle windows are not screened: ") + e.what(),
                 0,
                 {},
                 "extensions.baffles"});
        }
        clearArithmeticFlags();
    }
    s.spans = spansOf(c, ext, windowArea > 0);
    for (VibrationSpan& span : s.spans) {
        if (!(span.length > 0))
            refuse("extensions.baffles", "vibration: the " + span.name + " span " +
                                             shortNumber(span.length) + " m must be above 0");
        screenSpan(c, s, windowArea, span);
        if (span.velocityRatio > s.worstVelocityRatio) {
            s.worstVelocityRatio = span.velocityRatio;
            s.worstSpan = static_cast<std::size_t>(&span - s.spans.data());
        }
    }
    addSpanWarnings(s);
    if (gas) screenAcoustics(c, in, s);
    return s;
}

}  // namespace hxrate
