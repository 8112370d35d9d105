// One rating for every exchanger: the rating of the arrangement, what it
// adds, and its assessment with the arrangement's pressure drops and one
// list of warnings.
#include "hxrate/exchanger.h"

#include <algorithm>
#include <utility>

#include "core/extended_rating.h"
#include "core/fluid_rating.h"

namespace hxrate {
namespace {

// The assessment's tube drop made that of the whole arrangement: the tube
// stream through every pass of every shell with its return losses (the
// assessment forms the shell stream's through every shell itself).
void applyArrangementDrops(const Case& c, const Extensions& ext, const ExtendedQuantities& x,
                           Assessment& a) {
    if (ext.empty()) return;  // the case's own drops
    if (a.tubePressureDrop) {
        a.tubePressureDrop->pressureDrop = x.tubePressureDrop;
        a.tubePressureDrop->velocity = x.tubeVelocity;
        a.tubePressureDrop->massVelocity = c.tubeFluid.density * x.tubeVelocity;
        a.tubePressureDrop->length = ext.tubePasses * ext.shells * c.tubeLength;
    }
}

// The arrangement's warnings that the assessment does not already give.
void addArrangementWarnings(const std::vector<Warning>& arrangement,
                            std::vector<Warning>& warnings) {
    for (const Warning& w : arrangement) {
        bool given = std::any_of(warnings.begin(), warnings.end(),
                                 [&](const Warning& x) { return x.code == w.code; });
        if (!given) warnings.push_back(w);
    }
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const Warning& x, const Warning& y) { return x.severity > y.severity; });
}

// The vibration screening of the case as rated; a bundle it cannot
// describe leaves a note instead, as the screening never ends a rating.
void screenRatedVibration(const Case& c, const Extensions& ext, const CaseDocument& document,
                          ExchangerRating& out) {
    try {
        out.vibration = screenVibration(c, ext, document.vibration);
        addArrangementWarnings(out.vibration->warnings, out.warnings);
    } catch (const Cancelled&) {
        throw;
    } catch (const Error& e) {
        addArrangementWarnings({{"vibration-not-screened",
                                 Severity::info,
                                 std::string("vibration not screened: ") + e.what(),
                                 0,
                                 {},
                                 "vibration"}},
                               out.warnings);
    }
}

}  // namespace

std::string_view propertiesAtName(PropertiesAt mode) {
    switch (mode) {
        case PropertiesAt::inlet:
            return "inlet";
        case PropertiesAt::mean:
            return "mean";
        case PropertiesAt::incremental:
            break;
    }
    return "incremental";
}

namespace detail {

DocumentRating rateOnce(const Case& c, const Extensions& ext, const RateOptions& options) {
    DocumentRating d;
    ExchangerRating& out = d.result;
    try {
        ExtendedRating x;
        if (ext.empty()) {
            // The case's own rating stands whatever its extras meet.
            x.rating = rate(c, options);
            try {
                detail::describeCaseRating(c, options, x);
                out.extended = static_cast<const ExtendedQuantities&>(x);
                d.arrangementWarnings = std::move(x.warnings);
            } catch (const Cancelled&) {
                throw;
            } catch (const Error&) {
            }
        } else {
            x = rateExtended(c, ext, options);
            out.extended = static_cast<const ExtendedQuantities&>(x);
            d.arrangementWarnings = std::move(x.warnings);
        }
        out.rating = std::move(x.rating);
    } catch (const CaseRejected& rejected) {
        out.rejectedBy = rejected.check();
        if (rejected.partial()) out.rating = *rejected.partial();
    }
    return d;
}

}  // namespace detail

ExchangerRating rate(const CaseDocument& document, const ExchangerOptions& options) {
    validateVibrationInput(document.vibration);
    validatePropertyModel(document.tubeProperties, "tube");
    validatePropertyModel(document.shellProperties, "shell");
    const bool constant = document.tubeProperties.kind == PropertyModelKind::constant &&
                          document.shellProperties.kind == PropertyModelKind::constant;
    // With constant properties every mode is the case's own rating.
    detail::FluidRating f;
    if (constant) {
        f.rated = detail::rateOnce(document.input, document.extensions, options.rating);
        f.propertiesAt =
            detail::marches(document.extensions) ? document.propertiesAt : PropertiesAt::mean;
    } else {
        f = detail::rateWithPropertyModels(document, options);
    }
    // What the assessment rates again: the case as rated.
    const Case& c = *(constant ? &document.input : &f.input);
    const Extensions& ext = *(constant ? &document.extensions : &f.extensions);
    ExchangerRating out = std::move(f.rated.result);
    out.propertiesAt = f.propertiesAt;
    out.tubePropertyTemperature = f.tubePropertyTemperature;
    out.shellPropertyTemperature = f.shellPropertyTemperature;
    out.meanIterations = f.meanIterations;
    out.wallTemperature = f.wallTemperature;
    out.shellWallViscosity = constant ? ext.shellWallViscosity : f.shellWallViscosity;
    out.propertyProfile = std::move(f.profile);
    if (!constant) out.ratedCase = c;
    if (options.assess) {
        // The rating is kept while the assessment rates again: its profile
        // counts against the budget they share.
        StorageReservation held(options.rating.storageBudget);
        (void)held.reserve(profileBytes(out.rating));
        AssessOptions assessment;
        assessment.rating = options.rating;
        assessment.rejectedBy = out.rejectedBy;
        assessment.grids = options.grids;
        assessment.shooting = options.shooting;
        assessment.extensions = ext;
        assessment.shellWallViscosity = out.shellWallViscosity;
        assessment.incremental = f.incremental;
        if (out.extended) assessment.bellDelaware = out.extended->bellDelaware;
        Assessment a = assess(c, out.rating, assessment);
        if (out.extended) applyArrangementDrops(c, ext, *out.extended, a);
        out.warnings = a.warnings;
        out.assessment = std::move(a);
    }
    addArrangementWarnings(f.rated.arrangementWarnings, out.warnings);
    if (out.solved() && isCrossFlow(c.exchangerType)) screenRatedVibration(c, ext, document, out);
    return out;
}

}  // namespace hxrate
