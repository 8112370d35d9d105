// Real fluids in the rating: each stream's properties from its model at the
// inlet or at the bulk mean temperature, put into a copy of the case's
// fluids, and the case rated as one with constant properties is.
#include "core/fluid_rating.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/extended_rating.h"
#include "hxrate/errors.h"
#include "hxrate/fluid_properties.h"

namespace hxrate::detail {
namespace {

// The shortest decimal that reads back as `x`.
std::string number(double x) {
    char buffer[32];
    int n = std::snprintf(buffer, sizeof buffer, "%.17g", x);
    for (int digits = 1; digits < 17; ++digits) {
        char shorter[32];
        int m = std::snprintf(shorter, sizeof shorter, "%.*g", digits, x);
        if (std::strtod(shorter, nullptr) == x) return std::string(shorter, m);
    }
    return std::string(buffer, n);
}

// The stream's fluid with `p` in place of its case values. The case gives
// the volumetric flow at the inlet, so the mass flow is rho_in Q_in; the
// flow at the density used is Q_in (rho_in/rho), which keeps that mass flow
// (to rounding) and is Q_in exactly where rho is the inlet density.
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

// A stream's bulk mean temperature, (inlet + outlet)/2, halved before the
// sum so that no outlet a rating reached overflows it.
double bulkMean(double inlet, double outlet) {
    clearArithmeticFlags();
    return checked(inlet / 2 + outlet / 2, "bulk mean temperature");
}

// The temperature of the surface the shell fluid wets, at the streams' mean
// temperatures: the heat flows through the tube film, the inner fouling, the
// wall, the outer fouling and the shell film in series, and the shell film
// takes its share of the temperature difference. Resistances in series,
// Incropera and DeWitt (2002), Fundamentals of Heat and Mass Transfer,
// sec. 3.3.1 (the composite cylinder); as a wall temperature, Kern (1950), Process Heat
// Transfer, eq. 5.31 (there without the wall and fouling terms).
std::optional<double> shellWallTemperature(const Case& c, const Extensions& ext, const Rating& r,
                                           double tubeMean, double shellMean) {
    if (r.stage != Stage::solved) return std::nullopt;
    clearArithmeticFlags();
    // Each term a resistance of unit tube length times 2 pi, as the rating's.
    double Di = c.tubeInnerDiameter, Do = r.geometry.outerDiameter;
    double fouling = ext.foulingInside / (Di * 0.5) + ext.foulingOutside / (Do * 0.5);
    double total =
        r.tube.filmResistance + r.geometry.wallResistance + fouling + r.shell.filmResistance;
    double Tw = shellMean + (tubeMean - shellMean) * (r.shell.filmResistance / total);
    return checked(Tw, "shell-side wall temperature");
}

// One evaluation: the case and extensions at the temperatures given.
struct Evaluation {
    Case input;
    Extensions extensions;
};

class ModelRating {
  public:
    ModelRating(const CaseDocument& d, const ExchangerOptions& o) : d_(d), o_(o) {
        const Case& c = d.input;
        tubeInletDensity_ =
            at(d.tubeProperties, c.tubeFluid, c.tubeInletTemperature, "tube").density;
        shellInletDensity_ =
            at(d.shellProperties, c.shellFluid, c.shellInletTemperature, "shell").density;
    }

    // The case with each stream's properties at its temperature, and the
    // wall viscosity of the shell model at `wall` where the extensions give
    // none of their own.
    Evaluation evaluate(double tubeT, double shellT, std::optional<double> wall) const {
        const Case& c = d_.input;
        Evaluation e{c, d_.extensions};
        e.input.tubeFluid = withProperties(
            c.tubeFluid, at(d_.tubeProperties, c.tubeFluid, tubeT, "tube"), tubeInletDensity_);
        e.input.shellFluid =
            withProperties(c.shellFluid, at(d_.shellProperties, c.shellFluid, shellT, "shell"),
                           shellInletDensity_);
        if (wallFromModel() && wall)
            e.extensions.shellWallViscosity =
                at(d_.shellProperties, c.shellFluid, *wall, "shell").viscosity;
        return e;
    }

    // Whether the (mu/mu_w)^0.14 corrections take the wall viscosity from
    // the shell model: it is not constant and no viscosity was given.
    bool wallFromModel() const {
        return d_.shellProperties.kind != PropertyModelKind::constant &&
               !d_.extensions.shellWallViscosity;
    }

    DocumentRating rate(const Evaluation& e) const {
        return rateOnce(e.input, e.extensions, o_.rating);
    }

    // The wall temperature of rating `r` of `e`; none for an unsolved one.
    std::optional<double> wallOf(const Evaluation& e, const Rating& r) const {
        return shellWallTemperature(
            e.input, e.extensions, r,
            bulkMean(d_.input.tubeInletTemperature, r.tubeOutletTemperature),
            bulkMean(d_.input.shellInletTemperature, r.shellOutletTemperature));
    }

  private:
    static FluidProperties at(const PropertyModel& m, const Fluid& f, double T,
                              const char* stream) {
        return propertiesAt(m, f, T, stream);
    }

    const CaseDocument& d_;
    const ExchangerOptions& o_;
    double tubeInletDensity_ = 0, shellInletDensity_ = 0;
};

bool solved(const DocumentRating& r) {
    return !r.result.rejectedBy && r.result.rating.stage == Stage::solved;
}

// The note that an arrangement rated by P-NTU took its properties at the
// mean temperatures whatever the document asked.
Warning meanForPNtu(PropertiesAt asked) {
    return {"properties-at-mean",
            Severity::info,
            "properties taken at the streams' mean temperatures, not \"" +
                std::string(propertiesAtName(asked)) +
                "\": several passes or shells are rated by P-NTU, whose lumped streams have "
                "one set of properties each",
            0,
            {},
            "properties_at"};
}

}  // namespace

FluidRating rateWithPropertyModels(const CaseDocument& document, const ExchangerOptions& options) {
    const Case& c = document.input;
    const bool march = marches(document.extensions);
    if (document.propertiesAt == PropertiesAt::incremental && march)
        throw InvalidArgument("propertiesAt",
                              "properties_at \"incremental\": real fluids are not yet rated "
                              "element by element; use \"inlet\" or \"mean\"");
    if (options.meanIterationLimit < 1)
        throw InvalidArgument("meanIterationLimit", "the mean iteration limit must be at least 1");
    const ModelRating model(document, options);
    FluidRating f;
    f.propertiesAt = march ? document.propertiesAt : PropertiesAt::mean;
    const bool tubeModel = document.tubeProperties.kind != PropertyModelKind::constant;
    const bool shellModel = document.shellProperties.kind != PropertyModelKind::constant;

    double tubeT = c.tubeInletTemperature, shellT = c.shellInletTemperature;
    Evaluation e = model.evaluate(tubeT, shellT, std::nullopt);
    DocumentRating rated = model.rate(e);
    // The wall temperature of the last rating, and the one its wall
    // viscosity was taken at (none for the first).
    std::optional<double> wall = model.wallOf(e, rated.result.rating);
    std::optional<double> wallUsed;
    if (f.propertiesAt == PropertiesAt::mean) {
        // Successive substitution from the inlet rating: the properties at
        // the mean temperatures of the rating before, until neither outlet
        // moves by meanTemperatureTolerance.
        while (solved(rated)) {
            const Rating& r = rated.result.rating;
            double nextTube = bulkMean(c.tubeInletTemperature, r.tubeOutletTemperature);
            double nextShell = bulkMean(c.shellInletTemperature, r.shellOutletTemperature);
            Evaluation next = model.evaluate(nextTube, nextShell, wall);
            DocumentRating again = model.rate(next);
            ++f.meanIterations;
            tubeT = nextTube;
            shellT = nextShell;
            wallUsed = wall;
            e = std::move(next);
            double change = 0;
            bool settled = false;
            if (solved(again)) {
                const Rating& s = again.result.rating;
                clearArithmeticFlags();
                change = checked(
                    std::fmax(std::fabs(s.tubeOutletTemperature - r.tubeOutletTemperature),
                              std::fabs(s.shellOutletTemperature - r.shellOutletTemperature)),
                    "change of the outlets");
                settled = change < k::meanTemperatureTolerance;
            }
            wall = model.wallOf(e, again.result.rating);
            rated = std::move(again);
            if (settled || !solved(rated)) break;  // a rejection is the result
            if (f.meanIterations >= options.meanIterationLimit)
                throw MeanNotSettled(f.meanIterations, change,
                                     "properties_at \"mean\": the outlets did not settle in " +
                                         std::to_string(f.meanIterations) +
                                         " re-ratings; the last moved them by " + number(change) +
                                         " K, not below " + number(k::meanTemperatureTolerance) +
                                         " K");
        }
    }
    if (model.wallFromModel() && wall) {
        if (e.extensions.shellSide == ShellSideMethod::bellDelaware) {
            // Bell-Delaware puts the wall viscosity into the rating: inlet
            // rates once more with the first rating's, mean has iterated it.
            if (f.propertiesAt == PropertiesAt::inlet) {
                wallUsed = wall;
                e = model.evaluate(tubeT, shellT, wall);
                rated = model.rate(e);
            }
            wall = wallUsed;
        } else {
            // Only the assessment's corrected drop takes it: the last wall's.
            e = model.evaluate(tubeT, shellT, wall);
        }
    }
    if (!march && document.propertiesAt != PropertiesAt::mean)
        rated.arrangementWarnings.push_back(meanForPNtu(document.propertiesAt));
    if (tubeModel) f.tubePropertyTemperature = tubeT;
    if (shellModel) f.shellPropertyTemperature = shellT;
    f.wallTemperature = solved(rated) ? wall : std::nullopt;
    f.input = std::move(e.input);
    f.extensions = std::move(e.extensions);
    f.rated = std::move(rated);
    return f;
}

}  // namespace hxrate::detail
