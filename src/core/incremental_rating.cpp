// The element-by-element rating: the march of the constant-property rating
// over coefficients formed at each element from the property models.
#include "core/incremental_rating.h"

#include <cstdint>
#include <utility>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/extended_rating.h"
#include "core/march.h"
#include "core/rate.h"
#include "hxrate/errors.h"

namespace hxrate::detail {

Fluid withProperties(const Fluid& f, const FluidProperties& p, double inletDensity) {
    Fluid out = f;
    clearArithmeticFlags();
    out.volumetricFlow = checked(f.volumetricFlow * (inletDensity / p.density),
                                 "volumetric flow at the density used");
    out.density = p.density;
    out.viscosity = p.viscosity;
    out.conductivity = p.conductivity;
    out.heatCapacity = p.heatCapacity;
    return out;
}

double bulkMean(double inlet, double outlet) {
    clearArithmeticFlags();
    return checked(inlet / 2 + outlet / 2, "bulk mean temperature");
}

// Resistances in series, Incropera and DeWitt (2002), Fundamentals of Heat
// and Mass Transfer, sec. 3.3.1 (the composite cylinder); as a wall
// temperature, Kern (1950), Process Heat Transfer, eq. 5.31 (there without
// the wall and fouling terms).
double shellWallTemperature(const Case& c, const Extensions& ext, const Rating& r, double tubeT,
                            double shellT) {
    clearArithmeticFlags();
    // Each term a resistance of unit tube length times 2 pi, as the rating's.
    double Di = c.tubeInnerDiameter, Do = r.geometry.outerDiameter;
    double fouling = ext.foulingInside / (Di * 0.5) + ext.foulingOutside / (Do * 0.5);
    double total =
        r.tube.filmResistance + r.geometry.wallResistance + fouling + r.shell.filmResistance;
    double Tw = shellT + (tubeT - shellT) * (r.shell.filmResistance / total);
    return checked(Tw, "shell-side wall temperature");
}

namespace {

// The running mean m_k = m_(k-1) + (x_k - m_(k-1))/k (Welford 1962,
// Technometrics 4:419): exactly x where every x_k is x.
class RunningMean {
  public:
    void add(double x) {
        ++n_;
        mean_ = mean_ + (x - mean_) / static_cast<double>(n_);
    }
    bool empty() const { return n_ == 0; }
    double value() const { return mean_; }

  private:
    std::int64_t n_ = 0;
    double mean_ = 0;
};

// The march's coefficients of each element from the models at its
// temperatures, on the geometry and mass flows of the inlet rating. The
// last properties and their coefficients are kept: an element whose
// properties are those of the one before reuses them.
class LocalCoefficients {
  public:
    LocalCoefficients(const CaseInput& inlet, const Rating& inletRating, const Extensions& ext,
                      const StreamModels& m)
        : base_(inlet), local_(inlet), ext_(ext), m_(m), sides_(inletRating) {
        sides_.profile = {};
        const std::int32_t sign = isCounterCurrent(inlet.exchangerType) ? -1 : +1;
        c_ = marchCoefficients(inlet, inletRating, sign);
        balance_ = c_;
        shellMassFlow_ = inletRating.shellMassFlow;
        wallFromModel_ = ext.shellSide == ShellSideMethod::bellDelaware &&
                         m.shell.kind != PropertyModelKind::constant && !ext.shellWallViscosity;
        firstWall_ = shellWallTemperature(inlet, ext, inletRating, inlet.tubeInletTemperature,
                                          inlet.shellInletTemperature);
        restart(false);
    }

    // The march starts again from its first element; strictly: every
    // temperature must lie in the models' ranges.
    void restart(bool strictly) {
        wall_ = firstWall_;
        strict_ = strictly;
    }

    const MarchCoefficients& element(std::int32_t, double tt, double ts) {
        // A fault of the march so far ends it here, before the
        // evaluation's own checks clear the flags.
        checkArithmetic("element-by-element march");
        FluidProperties pt = at(m_.tube, base_.tubeFluid, tt, "tube");
        FluidProperties ps = at(m_.shell, base_.shellFluid, ts, "shell");
        std::optional<double> wallViscosity = ext_.shellWallViscosity;
        if (wallFromModel_)
            wallViscosity = at(m_.shell, base_.shellFluid, wall_, "shell").viscosity;
        if (!evaluated_ || pt != pt_ || ps != ps_ || wallViscosity != wallViscosity_)
            evaluate(pt, ps, wallViscosity);
        wall_ = shellWallTemperature(local_, ext_, sides_, tt, ts);
        return c_;
    }

    const MarchCoefficients& compartment(double ttFrom, double ttTo, double tsc) {
        checkArithmetic("element-by-element march");
        // The tube stream's heat over the compartment at its mid
        // temperature: the midpoint rule for the integral of cp dT.
        double mid = bulkMean(ttFrom, ttTo);
        balance_.tubeHeatCapacity = at(m_.tube, base_.tubeFluid, mid, "tube").heatCapacity;
        balance_.shellCapacityRate =
            checked(at(m_.shell, base_.shellFluid, tsc, "shell").heatCapacity * shellMassFlow_,
                    "shell capacity rate cp_o*mdot_o");
        return balance_;
    }

    // The last element's sides, properties and wall temperature.
    const Rating& sides() const { return sides_; }
    const FluidProperties& tubeProperties() const { return pt_; }
    const FluidProperties& shellProperties() const { return ps_; }
    double wall() const { return wall_; }

  private:
    // A model's properties at T. A trial pass of the shooting may start far
    // from the outlet it converges to: outside strict passes a temperature
    // beyond a model's range takes the properties at the range's end. The
    // solution is then marched again strictly, which refuses it if it still
    // leaves the range.
    FluidProperties at(const PropertyModel& m, const Fluid& f, double T, const char* stream) const {
        if (strict_) return validatedPropertiesAt(m, f, T, stream);
        try {
            return validatedPropertiesAt(m, f, T, stream);
        } catch (const PropertyRangeError& e) {
            const double end = T < e.low() ? e.low() : e.high();
            try {
                return validatedPropertiesAt(m, f, end, stream);
            } catch (const PropertyRangeError&) {
            }
            throw e;
        }
    }

    void evaluate(const FluidProperties& pt, const FluidProperties& ps,
                  std::optional<double> wallViscosity) {
        local_.tubeFluid = withProperties(base_.tubeFluid, pt, base_.tubeFluid.density);
        local_.shellFluid = withProperties(base_.shellFluid, ps, base_.shellFluid.density);
        ext_.shellWallViscosity = wallViscosity;
        rateSides(local_, ext_, sides_);
        clearArithmeticFlags();
        c_.elementCapacity = checked(
            sides_.resistancePerLength / base_.elementLength * pt.heatCapacity * c_.tubeMassFlow,
            "element capacity (Rp/dL)*cp_i*mdot_i");
        c_.tubeHeatCapacity = pt.heatCapacity;
        c_.shellCapacityRate =
            checked(ps.heatCapacity * shellMassFlow_, "shell capacity rate cp_o*mdot_o");
        pt_ = pt;
        ps_ = ps;
        wallViscosity_ = wallViscosity;
        evaluated_ = true;
    }
    const CaseInput& base_;
    CaseInput local_;
    Extensions ext_;
    const StreamModels& m_;
    Rating sides_;
    MarchCoefficients c_{}, balance_{};
    bool wallFromModel_ = false;
    bool strict_ = false;
    double firstWall_ = 0, wall_ = 0;
    bool evaluated_ = false;
    FluidProperties pt_{}, ps_{};
    std::optional<double> wallViscosity_;
    double shellMassFlow_ = 0;
};

// The shell outlet of a solved march, where takeProfile() reads it.
double shellOutletOf(const CaseRecords& r) {
    switch (r.input.exchangerType) {
        case ExchangerType::CoCurrent:
            return r.profile.shellTemperature[r.rating.geometry.elementCount];
        case ExchangerType::CrossFlowCoCurrent:
            return r.profile.finalShellTemperature;
        default:  // the counter-current types leave at node 0
            return r.profile.shellTemperature[0];
    }
}

// The case `c` with each stream's properties from its model at the
// temperatures given, at c's mass flows.
Case atTemperatures(const Case& c, const StreamModels& m, double tubeT, double shellT) {
    Case out = c;
    out.tubeFluid = withProperties(c.tubeFluid, propertiesAt(m.tube, c.tubeFluid, tubeT, "tube"),
                                   c.tubeFluid.density);
    out.shellFluid = withProperties(
        c.shellFluid, propertiesAt(m.shell, c.shellFluid, shellT, "shell"), c.shellFluid.density);
    return out;
}

// What the solved march's elements give: their mean conductances and wall
// temperature (the elements' coefficients formed again in the march's
// order, so exactly those it used, every temperature within the models'
// ranges), and the profile at every node.
struct ElementMeans {
    RunningMean conductance, resistance, cleanConductance, wall;
};

ElementMeans replayElements(const CaseRecords& r, LocalCoefficients& source,
                            PropertyProfile* profile) {
    ElementMeans means;
    const std::int32_t Nel = r.rating.geometry.elementCount;
    const double* Tt = r.profile.tubeTemperature.get();
    const double* Ts = r.profile.shellTemperature.get();
    const double Do = r.rating.geometry.outerDiameter;
    source.restart(true);
    for (std::int32_t i = 0; i <= Nel; ++i) {
        source.element(i, Tt[i], Ts[i]);
        const Rating& s = source.sides();
        clearArithmeticFlags();
        double conductance = s.conductancePerLength;
        if (i < Nel) {
            means.conductance.add(conductance);
            means.resistance.add(s.resistancePerLength);
            // As the rating forms it before the fouling: 1/Rp of the clean terms.
            double clean =
                (s.geometry.wallResistance + s.tube.filmResistance + s.shell.filmResistance) /
                (k::pi * 2);
            means.cleanConductance.add(checked(1 / clean, "clean conductance per unit length"));
            means.wall.add(source.wall());
        }
        if (profile) {
            profile->tubeViscosity.push_back(source.tubeProperties().viscosity);
            profile->shellViscosity.push_back(source.shellProperties().viscosity);
            profile->wallTemperature.push_back(source.wall());
            profile->overallCoefficient.push_back(
                checked(conductance / (k::pi * Do), "local overall coefficient"));
        }
    }
    checkArithmetic("element means");
    return means;
}

}  // namespace

IncrementalRating rateIncrementally(const Case& c, const Extensions& ext, const StreamModels& m,
                                    const RateOptions& options, bool withProfile) {
    validateExtensions(c, ext);
    if (!marches(ext))
        throw InvalidArgument("propertiesAt",
                              "element by element: only one tube pass in one shell is marched");
    return refusingBadAlloc([&] {
        IncrementalRating out;
        CaseRecords r;
        r.input = atTemperatures(c, m, c.tubeInletTemperature, c.shellInletTemperature);
        clearArithmeticFlags();
        std::optional<LocalCoefficients> source;
        try {
            ExtendedQuantities inlet;
            rateModelSteps(r, ext, options, inlet);
            const SolveOptions solve{options.passLimit, options.shooting, options.cancel};
            prepareMarch(r.input, r.rating, r.profile, solve);
            if (r.rating.geometry.elementCount < 1) clearArithmeticFlags();
            source.emplace(r.input, r.rating, ext, m);
            solveOverSource(r.input, r.rating, *source, r.profile, solve);
            r.rating.stage = Stage::solved;
        } catch (const CaseRejected& rejected) {
            rejectWithPartialRating(rejected, r);
        }
        const std::int64_t nodes = std::int64_t{r.rating.geometry.elementCount} + 1;
        std::optional<PropertyProfile> profile;
        if (withProfile &&
            static_cast<std::uint64_t>(nodes) * 4 * sizeof(double) <= options.storageLimitBytes) {
            profile.emplace();
            for (auto* v : {&profile->tubeViscosity, &profile->shellViscosity,
                            &profile->wallTemperature, &profile->overallCoefficient})
                v->reserve(static_cast<std::size_t>(nodes));
        }
        ElementMeans means = replayElements(r, *source, profile ? &*profile : nullptr);
        Rating& rt = r.rating;
        if (!means.conductance.empty()) {
            rt.conductancePerLength = means.conductance.value();
            rt.resistancePerLength = means.resistance.value();
        }
        // The side records at the bulk mean temperatures, with the wall
        // viscosity at the elements' mean wall temperature.
        out.tubeMean = bulkMean(c.tubeInletTemperature, r.profile.tubeTemperature[nodes - 1]);
        out.shellMean = bulkMean(c.shellInletTemperature, shellOutletOf(r));
        out.wallTemperature = means.wall.empty() ? source->wall() : means.wall.value();
        Extensions meanExt = ext;
        if (ext.shellSide == ShellSideMethod::bellDelaware &&
            m.shell.kind != PropertyModelKind::constant && !ext.shellWallViscosity)
            meanExt.shellWallViscosity =
                propertiesAt(m.shell, c.shellFluid, out.wallTemperature, "shell").viscosity;
        out.meanCase = atTemperatures(r.input, m, out.tubeMean, out.shellMean);
        Rating mean = rt;
        mean.profile = {};
        ExtendedQuantities meanQuantities;
        rateSides(out.meanCase, meanExt, mean, &meanQuantities);
        rt.tube = mean.tube;
        rt.shell = mean.shell;
        // The mass flows as the mean case gives them (the march's to
        // rounding), so that the rating is that case's.
        rt.tubeMassFlow = mean.tubeMassFlow;
        rt.shellMassFlow = mean.shellMassFlow;
        out.bellDelaware = std::move(meanQuantities.bellDelaware);
        computeOverallResults(r);
        takeProfile(r);
        computeDuties(out.meanCase, rt);
        clearArithmeticFlags();
        out.cleanCoefficient =
            means.cleanConductance.empty()
                ? rt.overallCoefficient
                : checked(means.cleanConductance.value() / (k::pi * rt.geometry.outerDiameter),
                          "clean U");
        out.rating = std::move(r.rating);
        out.profile = std::move(profile);
        return out;
    });
}

}  // namespace hxrate::detail
