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
#include "core/incremental_rating.h"
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

// The wall temperature of rating `r` at the streams' mean temperatures;
// none for an unsolved rating.
std::optional<double> meanWallTemperature(const Case& c, const Extensions& ext, const Rating& r,
                                          double tubeMean, double shellMean) {
    if (r.stage != Stage::solved) return std::nullopt;
    return shellWallTemperature(c, ext, r, tubeMean, shellMean);
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
        return meanWallTemperature(
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

// The properties along the tubes of a rating with one set of properties:
// each stream's model at its node temperatures, the wall between them by
// the rating's resistances, U the rating's own. None where a node lies
// outside a model's range or the nodes would take more than the storage
// limit.
std::optional<PropertyProfile> profileOf(const CaseDocument& d, const Evaluation& e,
                                         const Rating& r, const ExchangerOptions& options) {
    const std::size_t nodes = r.profile.tube.size();
    if (nodes * 4 * sizeof(double) > options.rating.storageLimitBytes) return std::nullopt;
    PropertyProfile p;
    for (auto* v : {&p.tubeViscosity, &p.shellViscosity, &p.wallTemperature, &p.overallCoefficient})
        v->reserve(nodes);
    try {
        for (std::size_t i = 0; i < nodes; ++i) {
            double tt = r.profile.tube[i], ts = r.profile.shell[i];
            p.tubeViscosity.push_back(
                propertiesAt(d.tubeProperties, d.input.tubeFluid, tt, "tube").viscosity);
            p.shellViscosity.push_back(
                propertiesAt(d.shellProperties, d.input.shellFluid, ts, "shell").viscosity);
            p.wallTemperature.push_back(shellWallTemperature(e.input, e.extensions, r, tt, ts));
            p.overallCoefficient.push_back(r.overallCoefficient);
        }
    } catch (const PropertyRangeError&) {
        return std::nullopt;
    } catch (const ArithmeticError&) {
        return std::nullopt;
    }
    return p;
}

// The rating element by element (one pass, one shell): the march with each
// element's properties, its extended quantities around it as the
// arrangement's rating has them, and the case at the bulk mean temperatures
// for the assessment.
FluidRating rateElementByElement(const CaseDocument& d, const ExchangerOptions& options,
                                 const ModelRating& model) {
    const Case& c = d.input;
    FluidRating f;
    f.propertiesAt = PropertiesAt::incremental;
    f.incremental = StreamModels{d.tubeProperties, d.shellProperties};
    f.extensions = d.extensions;
    // The case at its inlet properties: its mass flows are the rating's.
    Evaluation inlet =
        model.evaluate(c.tubeInletTemperature, c.shellInletTemperature, std::nullopt);
    ExchangerRating& out = f.rated.result;
    try {
        IncrementalRating inc =
            rateIncrementally(inlet.input, d.extensions, *f.incremental, options.rating, true);
        ExtendedRating x;
        x.rating = std::move(inc.rating);
        x.cleanCoefficient = inc.cleanCoefficient;
        x.bellDelaware = std::move(inc.bellDelaware);
        if (d.extensions.empty()) {
            try {
                describeCaseRating(inc.meanCase, options.rating, x);
                out.extended = static_cast<const ExtendedQuantities&>(x);
            } catch (const Cancelled&) {
                throw;
            } catch (const Error&) {
            }
        } else {
            x = describeArrangementRating(inc.meanCase, d.extensions, options.rating, std::move(x));
            out.extended = static_cast<const ExtendedQuantities&>(x);
        }
        f.rated.arrangementWarnings = std::move(x.warnings);
        out.rating = std::move(x.rating);
        f.input = std::move(inc.meanCase);
        if (d.tubeProperties.kind != PropertyModelKind::constant)
            f.tubePropertyTemperature = inc.tubeMean;
        if (d.shellProperties.kind != PropertyModelKind::constant)
            f.shellPropertyTemperature = inc.shellMean;
        f.wallTemperature = inc.wallTemperature;
        f.shellWallViscosity = d.extensions.shellWallViscosity;
        if (!f.shellWallViscosity && d.shellProperties.kind != PropertyModelKind::constant)
            f.shellWallViscosity =
                propertiesAt(d.shellProperties, c.shellFluid, inc.wallTemperature, "shell")
                    .viscosity;
        f.profile = std::move(inc.profile);
    } catch (const CaseRejected& rejected) {
        out.rejectedBy = rejected.check();
        if (rejected.partial()) out.rating = *rejected.partial();
        f.input = std::move(inlet.input);
    }
    return f;
}

}  // namespace

FluidRating rateWithPropertyModels(const CaseDocument& document, const ExchangerOptions& options) {
    const Case& c = document.input;
    const bool march = marches(document.extensions);
    if (options.meanIterationLimit < 1)
        throw InvalidArgument("meanIterationLimit", "the mean iteration limit must be at least 1");
    const ModelRating model(document, options);
    if (document.propertiesAt == PropertiesAt::incremental && march)
        return rateElementByElement(document, options, model);
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
    f.shellWallViscosity = e.extensions.shellWallViscosity;
    if (march && solved(rated)) f.profile = profileOf(document, e, rated.result.rating, options);
    f.input = std::move(e.input);
    f.extensions = std::move(e.extensions);
    f.rated = std::move(rated);
    return f;
}

}  // namespace hxrate::detail
