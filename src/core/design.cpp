// Design mode: every candidate of the space rated by the one rating, the
// limits applied in a fixed order, the feasible ones ranked by area.
#include "hxrate/design.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>

#include "hxrate/arrangements.h"
#include "hxrate/errors.h"
#include "hxrate/pressure_drop.h"
#include "hxrate/tube_count.h"

namespace hxrate {
namespace {

constexpr double inch = 0.0254;

[[noreturn]] void refuse(const std::string& field, const std::string& why) {
    throw InvalidArgument(field, field + ": " + why);
}

// ---------------------------------------------------------------- streams

// A stream's properties at its inlet, and its mass flow.
struct StreamState {
    FluidProperties inlet;
    double massFlow = 0;
};

StreamState stateOf(const DesignStream& s, const char* name) {
    const std::string field = std::string(name);
    validatePropertyModel(s.properties, name);
    if (s.massFlow.has_value() == s.volumetricFlow.has_value())
        refuse(field + ".flow", "give exactly one of the mass flow and the volumetric flow");
    StreamState st;
    st.inlet = propertiesAt(s.properties, s.fluid, s.inletTemperature, name);
    if (!(st.inlet.density > 0) || !(st.inlet.viscosity > 0) || !(st.inlet.conductivity > 0) ||
        !(st.inlet.heatCapacity > 0))
        refuse(field + ".fluid",
               "density, viscosity, conductivity and heat capacity must be above 0");
    const double flow = s.massFlow ? *s.massFlow : *s.volumetricFlow;
    if (!std::isfinite(flow) || !(flow > 0)) refuse(field + ".flow", "must be finite and above 0");
    st.massFlow = s.massFlow ? *s.massFlow : *s.volumetricFlow * st.inlet.density;
    if (!(s.allowablePressureDrop > 0) || !std::isfinite(s.allowablePressureDrop))
        refuse(field + ".allowable_pressure_drop", "must be finite and above 0");
    if (!(s.fouling >= 0) || !std::isfinite(s.fouling))
        refuse(field + ".fouling", "must be finite and not below 0");
    return st;
}

// The stream's heat capacity over inlet to outlet: at their mid temperature.
double meanHeatCapacity(const DesignStream& s, double outlet, const char* name) {
    return propertiesAt(s.properties, s.fluid, s.inletTemperature / 2 + outlet / 2, name)
        .heatCapacity;
}

// The duty the problem asks, W, checked against what the streams can give.
double requiredDuty(const DesignProblem& p, const StreamState& hot, const StreamState& cold) {
    int given = p.duty.has_value() + p.hotOutletTemperature.has_value() +
                p.coldOutletTemperature.has_value();
    if (given != 1)
        refuse("duty", "give exactly one of the duty, the hot outlet and the cold outlet");
    const double span = p.hot.inletTemperature - p.cold.inletTemperature;
    if (!(span > 0)) refuse("hot.inlet_temperature", "must lie above the cold inlet temperature");
    double q = 0;
    if (p.duty) {
        q = *p.duty;
    } else if (p.hotOutletTemperature) {
        const double t = *p.hotOutletTemperature;
        if (!(t < p.hot.inletTemperature && t > p.cold.inletTemperature))
            refuse("hot_outlet_temperature", "must lie between the two inlet temperatures");
        q = hot.massFlow * meanHeatCapacity(p.hot, t, "hot") * (p.hot.inletTemperature - t);
    } else {
        const double t = *p.coldOutletTemperature;
        if (!(t > p.cold.inletTemperature && t < p.hot.inletTemperature))
            refuse("cold_outlet_temperature", "must lie between the two inlet temperatures");
        q = cold.massFlow * meanHeatCapacity(p.cold, t, "cold") * (t - p.cold.inletTemperature);
    }
    if (!std::isfinite(q) || !(q > 0)) refuse("duty", "must be finite and above 0");
    // No exchanger passes more than the smaller stream can take over the
    // whole span.
    const double most =
        std::min(hot.massFlow * hot.inlet.heatCapacity, cold.massFlow * cold.inlet.heatCapacity) *
        span;
    if (!(q < most))
        refuse("duty", "the streams cannot exchange it: at most " + std::to_string(most) +
                           " W over the inlet temperatures' span");
    return q;
}

// ---------------------------------------------------------------- the space

// TEMA (2007), Standards of the Tubular Exchanger Manufacturers
// Association, 9th ed., RCB-4.52: the maximum unsupported span of straight
// steel tubes by outer diameter (in): the baffle spacing never exceeds it.
double maximumUnsupportedSpan(double Do) {
    static constexpr std::array<std::pair<double, double>, 9> spans{{{0.25, 26},
                                                                     {0.375, 35},
                                                                     {0.5, 44},
                                                                     {0.625, 52},
                                                                     {0.75, 60},
                                                                     {0.875, 69},
                                                                     {1.0, 74},
                                                                     {1.25, 88},
                                                                     {1.5, 100}}};
    const double d = Do / inch;
    for (const auto& [od, span] : spans)
        if (d <= od + 1e-9) return span * inch;
    return 125 * inch;  // 2 in and above
}

// TEMA RCB-4.51: no baffle spacing below one fifth of the shell diameter or
// 2 in, whichever is greater.
double minimumBaffleSpacing(double Ds) {
    return std::max(Ds / 5, 2 * inch);
}

template <class T>
void requireList(const std::vector<T>& v, const char* field) {
    if (v.empty()) refuse(std::string("space.") + field, "the list is empty");
}

void validateSpace(const DesignSpace& s, ShellSideMethod side) {
    requireList(s.tubes, "tubes");
    requireList(s.layoutAngles, "layout_angles");
    requireList(s.pitchRatios, "pitch_ratios");
    requireList(s.tubePasses, "tube_passes");
    requireList(s.shells, "shells");
    requireList(s.shellDiameters, "shell_diameters");
    if (!s.freeLength) requireList(s.tubeLengths, "tube_lengths");
    requireList(s.baffleCuts, "baffle_cuts");
    requireList(s.baffleSpacings, "baffle_spacings");
    for (const TubeSize& t : s.tubes)
        if (!(t.outerDiameter > 0) || !(t.wallThickness > 0) ||
            !(2 * t.wallThickness < t.outerDiameter))
            refuse("space.tubes", "each needs an outer diameter above twice its wall thickness");
    for (int a : s.layoutAngles) {
        bool known = a == 30 || a == 45 || a == 60 || a == 90;
        if (!known) refuse("space.layout_angles", "30, 45, 60 or 90, not " + std::to_string(a));
        if (a == 60 && side == ShellSideMethod::bellDelaware)
            refuse("space.layout_angles", "the Bell-Delaware shell side covers 30, 45 and 90");
    }
    for (double r : s.pitchRatios)
        if (!(r >= 1.25) || !std::isfinite(r))
            refuse("space.pitch_ratios", "at least 1.25 (TEMA RCB-7.21)");
    for (int n : s.tubePasses)
        if (n != 1 && n != 2 && n != 4 && n != 6 && n != 8)
            refuse("space.tube_passes", "1, 2, 4, 6 or 8, not " + std::to_string(n));
    for (int n : s.shells)
        if (n < 1 || n > 10) refuse("space.shells", "1 to 10 shells in series");
    for (double d : s.shellDiameters)
        if (!(d > s.bundleToShellClearance) || !std::isfinite(d))
            refuse("space.shell_diameters", "each must exceed the bundle-to-shell clearance");
    if (s.freeLength) {
        if (!(s.minimumLength > 0) || !(s.maximumLength > s.minimumLength) ||
            !std::isfinite(s.maximumLength))
            refuse("space.maximum_length", "a free length needs 0 < minimum < maximum");
    } else {
        for (double l : s.tubeLengths)
            if (!(l > 0) || !std::isfinite(l)) refuse("space.tube_lengths", "each above 0");
    }
    for (double c : s.baffleCuts)
        if (!(c >= 0.15 && c <= 0.45)) refuse("space.baffle_cuts", "from 0.15 to 0.45 of Ds");
    for (double f : s.baffleSpacings)
        if (!(f > 0) || !std::isfinite(f)) refuse("space.baffle_spacings", "each above 0");
    if (!(s.bundleToShellClearance >= 0) || !(s.passLaneWidth >= 0))
        refuse("space.bundle_to_shell_clearance", "clearances must not be negative");
    if (s.elementsPerLength < 1) refuse("space.elements_per_length", "at least 1");
}

// The case lines of a layout: the program's bundle arrangement and its
// pitches across (transverse) and along (longitudinal) the cross flow for
// Taborek's layout angle; Zukauskas (1972) tube-bank notation.
struct BankPitches {
    std::int32_t arrangement;
    double transverse, longitudinal;
};

BankPitches bankPitches(int layoutAngle, double Pt) {
    switch (layoutAngle) {
        case 30:  // triangular: rows across the flow Pt apart, Pt sin 60 along it
            return {BundleArrangement::Staggered, Pt, Pt * std::sqrt(3.0) / 2};
        case 60:  // rotated triangular
            return {BundleArrangement::Staggered, Pt * std::sqrt(3.0), Pt / 2};
        case 45:  // rotated square
            return {BundleArrangement::Staggered, Pt * std::sqrt(2.0), Pt / std::sqrt(2.0)};
        default:  // 90, square
            return {BundleArrangement::Inline, Pt, Pt};
    }
}

// The lists of the space and the candidate an index names: mixed radix over
// the lists, the last one changing fastest.
struct Axes {
    std::vector<bool> hotInTubes;
    std::size_t tubes, layouts, pitches, passes, shells, diameters, lengths, cuts, spacings;

    std::uint64_t total() const {
        std::uint64_t n = hotInTubes.size();
        for (std::size_t k :
             {tubes, layouts, pitches, passes, shells, diameters, lengths, cuts, spacings})
            n *= k;
        return n;
    }
};

struct Candidate {
    bool hotInTubes;
    std::size_t tube, layout, pitch, passes, shells, diameter, length, cut, spacing;
};

Candidate candidateAt(const Axes& a, std::uint64_t index) {
    Candidate c{};
    auto take = [&index](std::size_t n) {
        std::size_t k = static_cast<std::size_t>(index % n);
        index /= n;
        return k;
    };
    c.spacing = take(a.spacings);
    c.cut = take(a.cuts);
    c.length = take(a.lengths);
    c.diameter = take(a.diameters);
    c.shells = take(a.shells);
    c.passes = take(a.passes);
    c.pitch = take(a.pitches);
    c.layout = take(a.layouts);
    c.tube = take(a.tubes);
    c.hotInTubes = a.hotInTubes[take(a.hotInTubes.size())];
    return c;
}

// ---------------------------------------------------------------- one candidate

struct Outcome {
    std::optional<Design> design;
    DesignRefusal refusal = DesignRefusal::notRated;
    std::optional<RefusedDesign> refused;  // where a limit refused it after its rating
};

class Search {
  public:
    Search(const DesignProblem& p, const DesignSpace& s, const DesignOptions& o)
        : p_(p), s_(s), o_(o) {
        validateVibrationInput(p.vibration);
        hot_ = stateOf(p.hot, "hot");
        cold_ = stateOf(p.cold, "cold");
        duty_ = requiredDuty(p, hot_, cold_);
        const DesignLimits& l = p.limits;
        if (!(l.tubeVelocityMin >= 0) || !(l.tubeVelocityMax > l.tubeVelocityMin) ||
            !(l.shellVelocityMax > 0) || !(l.minimumF >= 0 && l.minimumF < 1) ||
            !(l.minimumOverSurface >= 0) || !std::isfinite(l.tubeVelocityMax) ||
            !std::isfinite(l.shellVelocityMax) || !std::isfinite(l.minimumOverSurface))
            refuse("limits",
                   "velocities 0 <= min < max, shell maximum above 0, 0 <= F < 1, "
                   "over-surface not below 0");
        if (!(p.wallConductivity > 0) || !std::isfinite(p.wallConductivity))
            refuse("wall_conductivity", "must be finite and above 0");
        if (p.wallMaterial.size() > 10) refuse("wall_material", "ten characters at most");
        if (!(p.innerRoughness >= 0) || !std::isfinite(p.innerRoughness))
            refuse("inner_roughness", "must be finite and not below 0");
        validateSpace(s, o.shellSide);
        axes_.hotInTubes = p.tubeStream == TubeStream::either ? std::vector<bool>{true, false}
                           : p.tubeStream == TubeStream::hot  ? std::vector<bool>{true}
                                                              : std::vector<bool>{false};
        axes_.tubes = s.tubes.size();
        axes_.layouts = s.layoutAngles.size();
        axes_.pitches = s.pitchRatios.size();
        axes_.passes = s.tubePasses.size();
        axes_.shells = s.shells.size();
        axes_.diameters = s.shellDiameters.size();
        axes_.lengths = s.freeLength ? 1 : s.tubeLengths.size();
        axes_.cuts = s.baffleCuts.size();
        axes_.spacings = s.baffleSpacings.size();
        countAllTubes();
    }

    double duty() const { return duty_; }
    const Axes& axes() const { return axes_; }

    Outcome evaluate(std::uint64_t index) const {
        const Candidate c = candidateAt(axes_, index);
        const int tubes = tubeCount(c);
        const int passes = s_.tubePasses[c.passes];
        if (tubes < passes) return refused(DesignRefusal::noTubes);
        const double Ds = s_.shellDiameters[c.diameter];
        const double Do = s_.tubes[c.tube].outerDiameter;
        const double B = s_.baffleSpacings[c.spacing] * Ds;
        if (B < minimumBaffleSpacing(Ds) || B > maximumUnsupportedSpan(Do))
            return refused(DesignRefusal::baffleSpacing);
        if (!s_.freeLength) return rateAt(c, index, tubes, s_.tubeLengths[c.length]);
        return rateFreeLength(c, index, tubes);
    }

    // The full rating, with its assessment, of a feasible design: whether
    // it carries no error.
    bool confirm(Design& d) const {
        ExchangerOptions o = ratingOptions();
        o.assess = true;
        try {
            ExchangerRating r = rate(d.document, o);
            if (!r.solved()) return false;
            // With the vibration limit off, its warnings refuse nothing.
            for (const Warning& w : r.warnings)
                if (w.severity == Severity::error &&
                    (p_.limits.vibration || w.field.rfind("vibration", 0) != 0))
                    return false;
            d.rating = std::move(r);
            return true;
        } catch (const Cancelled&) {
            throw;
        } catch (const Error&) {
            return false;
        }
    }

  private:
    static Outcome refused(DesignRefusal r) {
        Outcome o;
        o.refusal = r;
        return o;
    }

    ExchangerOptions ratingOptions() const {
        ExchangerOptions o;
        o.assess = false;
        o.rating.shooting = ShootingMethod::exact;
        o.rating.cancel = o_.cancel;
        return o;
    }

    void countAllTubes() {
        counts_.assign(axes_.tubes * axes_.layouts * axes_.pitches * axes_.passes * axes_.diameters,
                       0);
        for (std::size_t t = 0; t < axes_.tubes; ++t)
            for (std::size_t l = 0; l < axes_.layouts; ++l)
                for (std::size_t q = 0; q < axes_.pitches; ++q)
                    for (std::size_t n = 0; n < axes_.passes; ++n)
                        for (std::size_t d = 0; d < axes_.diameters; ++d) {
                            TubeLayout layout;
                            layout.shellDiameter = s_.shellDiameters[d];
                            layout.tubeOuterDiameter = s_.tubes[t].outerDiameter;
                            layout.tubePitch = s_.tubes[t].outerDiameter * s_.pitchRatios[q];
                            layout.layoutAngle = s_.layoutAngles[l];
                            layout.tubePasses = s_.tubePasses[n];
                            layout.bundleToShellClearance = s_.bundleToShellClearance;
                            layout.passLaneWidth = s_.passLaneWidth;
                            int count = 0;
                            try {
                                count = countTubes(layout).tubes;
                            } catch (const InvalidArgument&) {
                            }
                            // Equal passes: the tubes beyond a multiple of
                            // the passes are left out of the layout.
                            count -= count % layout.tubePasses;
                            counts_[countIndex(t, l, q, n, d)] = count;
                        }
    }

    std::size_t countIndex(std::size_t t, std::size_t l, std::size_t q, std::size_t n,
                           std::size_t d) const {
        return (((t * axes_.layouts + l) * axes_.pitches + q) * axes_.passes + n) *
                   axes_.diameters +
               d;
    }

    int tubeCount(const Candidate& c) const {
        return counts_[countIndex(c.tube, c.layout, c.pitch, c.passes, c.diameter)];
    }

    // The case document of candidate `c` with tubes `L` long.
    CaseDocument documentOf(const Candidate& c, int tubes, double L) const {
        const TubeSize& t = s_.tubes[c.tube];
        const double Ds = s_.shellDiameters[c.diameter];
        const int angle = s_.layoutAngles[c.layout];
        const double Pt = t.outerDiameter * s_.pitchRatios[c.pitch];
        const DesignStream& inTubes = c.hotInTubes ? p_.hot : p_.cold;
        const DesignStream& inShell = c.hotInTubes ? p_.cold : p_.hot;
        const StreamState& tubeState = c.hotInTubes ? hot_ : cold_;
        const StreamState& shellState = c.hotInTubes ? cold_ : hot_;
        CaseDocument d;
        Case& k = d.input;
        k.exchangerType = ExchangerType::CrossFlowCounterCurrent;
        k.tubeInnerDiameter = t.outerDiameter - 2 * t.wallThickness;
        k.innerRoughness = p_.innerRoughness;
        k.tubeLength = L;
        k.shellInnerDiameter = Ds;
        const BankPitches bank = bankPitches(angle, Pt);
        k.bundleArrangement = bank.arrangement;
        k.tubeCount = tubes;
        k.longitudinalPitch = bank.longitudinal;
        k.transversePitch = bank.transverse;
        // Whole compartments: the spacing asked or just above it.
        const double B = s_.baffleSpacings[c.spacing] * Ds;
        k.baffleCount = std::max(1, static_cast<int>(std::floor(L / B)) - 1);
        // Whole elements in every compartment, at least three each: the march
        // needs more than twice as many elements as baffles, and L/dL may
        // truncate to one element fewer.
        const int compartments = k.baffleCount + 1;
        const int perCompartment =
            std::max(3, (s_.elementsPerLength + compartments - 1) / compartments);
        k.elementLength = L / (compartments * perCompartment);
        k.wallMaterial = p_.wallMaterial;
        k.wallMaterial.resize(10, ' ');
        k.wallConductivity = p_.wallConductivity;
        k.wallThickness = t.wallThickness;
        auto fluidOf = [](const DesignStream& s, const StreamState& st) {
            Fluid f = s.fluid;
            f.name.resize(10, ' ');
            f.density = st.inlet.density;
            f.viscosity = st.inlet.viscosity;
            f.conductivity = st.inlet.conductivity;
            f.heatCapacity = st.inlet.heatCapacity;
            f.volumetricFlow = st.massFlow / st.inlet.density;
            return f;
        };
        k.tubeFluid = fluidOf(inTubes, tubeState);
        k.shellFluid = fluidOf(inShell, shellState);
        k.tubeInletTemperature = inTubes.inletTemperature;
        k.shellInletTemperature = inShell.inletTemperature;
        k.correctionFactor = 1;
        Extensions& e = d.extensions;
        e.tubePasses = s_.tubePasses[c.passes];
        e.shells = s_.shells[c.shells];
        e.foulingInside = inTubes.fouling;
        e.foulingOutside = inShell.fouling;
        e.shellSide = o_.shellSide;
        if (o_.shellSide == ShellSideMethod::bellDelaware) {
            e.baffles.baffleCut = s_.baffleCuts[c.cut];
            e.baffles.layoutAngle = angle;
            e.baffles.bundleToShellClearance = s_.bundleToShellClearance;
        }
        d.tubeProperties = inTubes.properties;
        d.shellProperties = inShell.properties;
        d.propertiesAt = p_.propertiesAt;
        d.vibration = p_.vibration;
        return d;
    }

    // The design of candidate `c` at length L, or the first limit it breaks.
    Outcome rateAt(const Candidate& c, std::uint64_t index, int tubes, double L) const {
        Design d;
        d.document = documentOf(c, tubes, L);
        d.hotInTubes = c.hotInTubes;
        d.layoutAngle = s_.layoutAngles[c.layout];
        d.pitchRatio = s_.pitchRatios[c.pitch];
        d.baffleCut = s_.baffleCuts[c.cut];
        d.tube = s_.tubes[c.tube];
        d.baffleSpacing = s_.baffleSpacings[c.spacing];
        d.candidate = index;
        if (!measure(d)) return refused(DesignRefusal::notRated);
        return judge(std::move(d));
    }

    // Rates the design's document and fills in what the limits look at.
    bool measure(Design& d) const {
        ExchangerRating r;
        try {
            r = rate(d.document, ratingOptions());
        } catch (const Cancelled&) {
            throw;
        } catch (const Error&) {
            return false;
        }
        if (!r.solved() || !r.extended || !r.rating.tubeDuty) return false;
        const Case& k = r.ratedCase ? *r.ratedCase : d.document.input;
        const Rating& rt = r.rating;
        const ExtendedQuantities& x = *r.extended;
        d.area = rt.area;
        d.duty = std::fabs(*rt.tubeDuty);
        d.overallCoefficient = rt.overallCoefficient;
        d.tubeVelocity = x.tubeVelocity;
        d.tubePressureDrop = x.tubePressureDrop;
        d.lmtdCorrection = x.lmtdCorrection;
        const double shells = d.document.extensions.shells;
        if (x.bellDelaware) {
            d.shellVelocity =
                rt.shellMassFlow / (k.shellFluid.density * x.bellDelaware->crossFlowArea);
            d.shellPressureDrop = x.bellDelaware->pressureDrop * shells;
        } else {
            std::optional<PressureDrop> drop = shellPressureDrop(k, rt);
            if (!drop) return false;
            d.shellVelocity = rt.shell.velocity;
            d.shellPressureDrop = drop->pressureDrop * shells;
        }
        // The area the duty needs at this U: NTU1 of the arrangement for
        // P1 of the duty (side 1 = shell), A = NTU1 C1/U.
        const double C1 = rt.shellMassFlow * k.shellFluid.heatCapacity;
        const double C2 = rt.tubeMassFlow * k.tubeFluid.heatCapacity;
        const double span = std::fabs(k.shellInletTemperature - k.tubeInletTemperature);
        try {
            const Extensions& e = d.document.extensions;
            double ntu1 = temaENtu1(duty_ / (C1 * span), C1 / C2, e.tubePasses, e.shells);
            d.requiredArea = ntu1 * C1 / rt.overallCoefficient;
        } catch (const InvalidArgument&) {
            d.requiredArea = std::numeric_limits<double>::max();
        }
        d.overSurface = (d.area / d.requiredArea - 1) * 100;
        if (r.vibration) {
            d.velocityRatio = r.vibration->worstVelocityRatio;
            d.vibrates = !r.vibration->passes();
        }
        return std::isfinite(d.area) && std::isfinite(d.shellPressureDrop) &&
               std::isfinite(d.tubePressureDrop) && std::isfinite(d.shellVelocity);
    }

    Outcome judge(Design d) const {
        const DesignLimits& l = p_.limits;
        const double tubeAllowed =
            d.hotInTubes ? p_.hot.allowablePressureDrop : p_.cold.allowablePressureDrop;
        const double shellAllowed =
            d.hotInTubes ? p_.cold.allowablePressureDrop : p_.hot.allowablePressureDrop;
        DesignRefusal why;
        if (!(d.overSurface >= l.minimumOverSurface))
            why = DesignRefusal::duty;
        else if (d.tubeVelocity < l.tubeVelocityMin)
            why = DesignRefusal::tubeVelocityLow;
        else if (d.tubeVelocity > l.tubeVelocityMax)
            why = DesignRefusal::tubeVelocityHigh;
        else if (d.shellVelocity > l.shellVelocityMax)
            why = DesignRefusal::shellVelocity;
        else if (d.document.extensions.tubePasses > 1 &&
                 !(d.lmtdCorrection && *d.lmtdCorrection >= l.minimumF))
            why = DesignRefusal::correctionFactor;
        else if (d.tubePressureDrop > tubeAllowed)
            why = DesignRefusal::tubePressureDrop;
        else if (d.shellPressureDrop > shellAllowed)
            why = DesignRefusal::shellPressureDrop;
        else if (l.vibration && d.vibrates)
            why = DesignRefusal::vibration;
        else {
            Outcome o;
            o.design = std::move(d);
            return o;
        }
        Outcome o = refused(why);
        o.refused =
            RefusedDesign{d.area, d.tubePressureDrop, d.shellPressureDrop, why, d.candidate};
        return o;
    }

    // A free length: the shortest in the range whose over-surface reaches
    // the minimum, by bisection on the length (the over-surface grows with
    // it), then rounded up to a whole millimetre and rated there.
    Outcome rateFreeLength(const Candidate& c, std::uint64_t index, int tubes) const {
        auto excess = [&](double L, Design& d) {
            d = Design{};
            d.document = documentOf(c, tubes, L);
            if (!measure(d)) return std::optional<double>{};
            return std::optional<double>{d.overSurface - p_.limits.minimumOverSurface};
        };
        Design d;
        double lo = s_.minimumLength, hi = s_.maximumLength;
        std::optional<double> atHi = excess(hi, d);
        if (!atHi) return refused(DesignRefusal::notRated);
        if (*atHi < 0) return refused(DesignRefusal::length);
        std::optional<double> atLo = excess(lo, d);
        if (atLo && *atLo >= 0) {
            hi = lo;
        } else {
            for (int i = 0; i < 60 && hi - lo > 1e-4; ++i) {
                const double mid = lo / 2 + hi / 2;
                std::optional<double> g = excess(mid, d);
                if (g && *g >= 0)
                    hi = mid;
                else
                    lo = mid;
            }
        }
        double L = std::ceil(hi * 1000) / 1000;
        if (L > s_.maximumLength) L = s_.maximumLength;
        return rateAt(c, index, tubes, L);
    }

    const DesignProblem& p_;
    const DesignSpace& s_;
    const DesignOptions& o_;
    StreamState hot_, cold_;
    double duty_ = 0;
    Axes axes_;
    std::vector<int> counts_;
};

// ---------------------------------------------------------------- ranking

bool smaller(const Design& a, const Design& b) {
    return std::tie(a.area, a.candidate) < std::tie(b.area, b.candidate);
}

// Indexes of the designs (ranked by area) that no other beats on both the
// area and `drop`: scanning by area, each one whose drop is below every
// drop before it.
template <class Drop>
std::vector<std::size_t> paretoFront(const std::vector<Design>& designs, Drop drop) {
    std::vector<std::size_t> front;
    double best = 0;
    for (std::size_t i = 0; i < designs.size(); ++i) {
        const double d = drop(designs[i]);
        if (front.empty() || d < best) {
            front.push_back(i);
            best = d;
        }
    }
    return front;
}

// What to relax for the limit that refused the most candidates.
std::string adviceFor(const std::vector<std::pair<DesignRefusal, std::uint64_t>>& refused) {
    if (refused.empty()) return "the space holds no candidate";
    auto most = std::max_element(refused.begin(), refused.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    std::string what;
    switch (most->first) {
        case DesignRefusal::noTubes:
            what = "widen the shell diameters or take smaller tubes";
            break;
        case DesignRefusal::baffleSpacing:
            what = "take baffle spacings between 0.2 and 1 shell diameter";
            break;
        case DesignRefusal::notRated:
            what = "the ratings failed: check the streams' properties and the space";
            break;
        case DesignRefusal::duty:
        case DesignRefusal::length:
            what =
                "allow longer tubes, larger shells or more shells in series, or a smaller "
                "over-surface";
            break;
        case DesignRefusal::tubeVelocityLow:
            what = "allow more tube passes, smaller tubes or a lower tube velocity";
            break;
        case DesignRefusal::tubeVelocityHigh:
            what = "allow fewer tube passes, larger shells or a higher tube velocity";
            break;
        case DesignRefusal::shellVelocity:
            what = "allow wider baffle spacings, larger shells or a higher shell velocity";
            break;
        case DesignRefusal::correctionFactor:
            what = "allow more shells in series or a lower minimum F";
            break;
        case DesignRefusal::tubePressureDrop:
            what = "allow a larger tube-side pressure drop, fewer passes or larger tubes";
            break;
        case DesignRefusal::shellPressureDrop:
            what = "allow a larger shell-side pressure drop or wider baffle spacings";
            break;
        case DesignRefusal::vibration:
            what =
                "the tubes would vibrate: allow closer baffle spacings, larger tubes or a "
                "lower shell velocity";
            break;
        case DesignRefusal::ratingError:
            what = "the full ratings carry errors: refine the elements";
            break;
    }
    return "no candidate is feasible; most (" + std::to_string(most->second) +
           ") were refused by " + std::string(designRefusalName(most->first)) + ": " + what;
}

}  // namespace

std::string_view designRefusalName(DesignRefusal r) {
    switch (r) {
        case DesignRefusal::noTubes:
            return "no-tubes";
        case DesignRefusal::baffleSpacing:
            return "baffle-spacing";
        case DesignRefusal::notRated:
            return "not-rated";
        case DesignRefusal::duty:
            return "duty";
        case DesignRefusal::length:
            return "length";
        case DesignRefusal::tubeVelocityLow:
            return "tube-velocity-low";
        case DesignRefusal::tubeVelocityHigh:
            return "tube-velocity-high";
        case DesignRefusal::shellVelocity:
            return "shell-velocity";
        case DesignRefusal::correctionFactor:
            return "correction-factor";
        case DesignRefusal::tubePressureDrop:
            return "tube-pressure-drop";
        case DesignRefusal::shellPressureDrop:
            return "shell-pressure-drop";
        case DesignRefusal::vibration:
            return "vibration";
        case DesignRefusal::ratingError:
            break;
    }
    return "rating-error";
}

DesignSpace defaultDesignSpace() {
    DesignSpace s;
    // Tube sizes: 5/8, 3/4 and 1 in outer diameter in BWG 14 and 16
    // (2.108 and 1.651 mm walls); TEMA (2007) table D-7, Kern (1950) table 10.
    for (double od : {0.625, 0.75, 1.0})
        for (double wall : {0.083, 0.065}) s.tubes.push_back({od * inch, wall * inch});
    s.layoutAngles = {30, 45, 90};
    s.pitchRatios = {1.25};  // TEMA RCB-7.21: at least 1.25 Do
    s.tubePasses = {1, 2, 4, 6, 8};
    s.shells = {1, 2, 3};
    // Shell inner diameters, in: Kern (1950), Process Heat Transfer, table 9.
    for (double d : {8.0, 10.0, 12.0, 13.25, 15.25, 17.25, 19.25, 21.25, 23.25, 25.0, 27.0, 29.0,
                     31.0, 33.0, 35.0, 37.0, 39.0})
        s.shellDiameters.push_back(d * inch);
    // Standard tube lengths, ft: TEMA (2007) RCB-1.4 (96, 120, 144, 192, 240 in).
    for (double ft : {8.0, 10.0, 12.0, 16.0, 20.0}) s.tubeLengths.push_back(ft * 12 * inch);
    // Baffle cut 20 to 35 % and spacing 0.2 to 1 Ds: Sinnott (2005), sec. 12.5.
    s.baffleCuts = {0.25, 0.35};
    s.baffleSpacings = {0.2, 0.3, 0.4, 0.5, 0.7, 1.0};
    return s;
}

namespace {

// The threads a search runs on: the options' count, or every core.
unsigned threadsOf(const DesignOptions& options) {
    unsigned n = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
    return std::max(1u, std::min<unsigned>(n, 64));
}

void sortByCandidate(std::vector<RefusedDesign>& v) {
    std::sort(v.begin(), v.end(), [](const RefusedDesign& a, const RefusedDesign& b) {
        return a.candidate < b.candidate;
    });
}

// The refusal counts of a result as a fixed array, and back.
using RefusalCounts =
    std::array<std::uint64_t, static_cast<std::size_t>(DesignRefusal::ratingError) + 1>;

void addCounts(RefusalCounts& to, const DesignResult& r) {
    for (const auto& [why, n] : r.refused) to[static_cast<std::size_t>(why)] += n;
}

void setCounts(DesignResult& r, const RefusalCounts& counts) {
    r.refused.clear();
    for (std::size_t k = 0; k < counts.size(); ++k)
        if (counts[k] != 0) r.refused.emplace_back(static_cast<DesignRefusal>(k), counts[k]);
}

// The candidates [first, first + count) of the space, on the options'
// threads: the feasible unranked, the rest counted by refusal.
DesignResult searchRange(const Search& search, std::uint64_t first, std::uint64_t count,
                         const DesignOptions& options) {
    DesignResult result;
    result.duty = search.duty();
    const std::uint64_t total = search.axes().total();
    const std::uint64_t begin = std::min(first, total);
    const std::uint64_t end = total - begin < count ? total : begin + count;
    result.candidates = end - begin;

    const unsigned threads = threadsOf(options);
    constexpr std::uint64_t chunk = 256;
    std::atomic<std::uint64_t> next{begin}, done{0}, feasible{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::exception_ptr failure;
    std::vector<std::vector<Design>> found(threads);
    std::vector<RefusalCounts> counts(threads, RefusalCounts{});
    std::vector<std::vector<RefusedDesign>> kept(threads);

    auto work = [&](unsigned t) {
        try {
            while (!stop.load(std::memory_order_relaxed)) {
                const std::uint64_t from = next.fetch_add(chunk);
                if (from >= end) break;
                const std::uint64_t to = std::min(end, from + chunk);
                for (std::uint64_t i = from; i < to; ++i) {
                    if (options.cancel && options.cancel->load(std::memory_order_relaxed))
                        throw Cancelled();
                    Outcome o = search.evaluate(i);
                    if (o.design) {
                        found[t].push_back(std::move(*o.design));
                        feasible.fetch_add(1, std::memory_order_relaxed);
                    } else {
                        ++counts[t][static_cast<std::size_t>(o.refusal)];
                        if (options.keepRefused && o.refused) kept[t].push_back(*o.refused);
                    }
                }
                done.fetch_add(to - from);
                if (t == 0 && options.progress)
                    options.progress(done.load(), result.candidates, feasible.load());
            }
        } catch (...) {
            std::lock_guard<std::mutex> g(lock);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };
    {
        std::vector<std::thread> pool;
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, t);
        work(0);
        for (std::thread& th : pool) th.join();
    }
    if (failure) std::rethrow_exception(failure);
    if (options.progress) options.progress(result.candidates, result.candidates, feasible.load());
    RefusalCounts total_{};
    for (const RefusalCounts& c : counts)
        for (std::size_t k = 0; k < c.size(); ++k) total_[k] += c[k];
    setCounts(result, total_);
    for (auto& f : found)
        for (Design& d : f) result.designs.push_back(std::move(d));
    for (auto& k : kept)
        result.refusedDesigns.insert(result.refusedDesigns.end(), k.begin(), k.end());
    sortByCandidate(result.refusedDesigns);
    return result;
}

// Ranks the designs, rates the best again in full (one that carries an
// error is not a design), and forms the fronts and the advice.
DesignResult finish(const Search& search, DesignResult result, const DesignOptions& options) {
    std::sort(result.designs.begin(), result.designs.end(), smaller);
    RefusalCounts counts{};
    addCounts(counts, result);
    // Every feasible design is rated again in full, on the options' threads;
    // the best designsReported keep that rating.
    std::vector<Design>& designs = result.designs;
    std::vector<char> good(designs.size(), 0);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::exception_ptr failure;
    auto work = [&] {
        try {
            for (std::size_t i = next++; i < designs.size() && !stop; i = next++) {
                if (options.cancel && options.cancel->load(std::memory_order_relaxed))
                    throw Cancelled();
                good[i] = search.confirm(designs[i]) ? 1 : 0;
            }
        } catch (...) {
            std::lock_guard<std::mutex> g(lock);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };
    {
        std::vector<std::thread> pool;
        for (unsigned t = 1; t < threadsOf(options); ++t) pool.emplace_back(work);
        work();
        for (std::thread& th : pool) th.join();
    }
    if (failure) std::rethrow_exception(failure);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < designs.size(); ++i) {
        if (!good[i]) {
            ++counts[static_cast<std::size_t>(DesignRefusal::ratingError)];
            continue;
        }
        if (kept >= options.designsReported) designs[i].rating.reset();
        if (kept != i) designs[kept] = std::move(designs[i]);
        ++kept;
    }
    designs.resize(kept);
    setCounts(result, counts);
    result.feasibleCount = result.designs.size();
    result.tubeFront =
        paretoFront(result.designs, [](const Design& d) { return d.tubePressureDrop; });
    result.shellFront =
        paretoFront(result.designs, [](const Design& d) { return d.shellPressureDrop; });
    result.advice = result.designs.empty() ? adviceFor(result.refused) : std::string();
    return result;
}

}  // namespace

DesignResult design(const DesignProblem& problem, const DesignSpace& space,
                    const DesignOptions& options) {
    const Search search(problem, space, options);
    DesignResult part = searchRange(search, options.first, options.count, options);
    if (options.first == 0 && part.candidates == search.axes().total())
        return finish(search, std::move(part), options);
    // A chunk of a split search: unranked and unconfirmed, for mergeDesigns.
    part.feasibleCount = part.designs.size();
    return part;
}

DesignResult mergeDesigns(const DesignProblem& problem, const DesignSpace& space,
                          std::vector<DesignResult> parts, const DesignOptions& options) {
    const Search search(problem, space, options);
    DesignResult all;
    all.duty = search.duty();
    RefusalCounts counts{};
    for (DesignResult& p : parts) {
        all.candidates += p.candidates;
        addCounts(counts, p);
        for (Design& d : p.designs) all.designs.push_back(std::move(d));
        all.refusedDesigns.insert(all.refusedDesigns.end(), p.refusedDesigns.begin(),
                                  p.refusedDesigns.end());
    }
    sortByCandidate(all.refusedDesigns);
    if (all.candidates != search.axes().total())
        throw InvalidArgument("parts", "parts: they hold " + std::to_string(all.candidates) +
                                           " candidates, the space " +
                                           std::to_string(search.axes().total()));
    setCounts(all, counts);
    return finish(search, std::move(all), options);
}

}  // namespace hxrate

namespace hxrate {

std::uint64_t candidateCount(const DesignProblem& problem, const DesignSpace& space) {
    return Search(problem, space, DesignOptions{}).axes().total();
}

}  // namespace hxrate
