// hxrate/exchanger.h: one rating for every exchanger: what is rated (the
// case with its extensions) in, and one result out: the rating, what the
// arrangement adds, the assessment and one list of warnings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hxrate/assessment.h"
#include "hxrate/case.h"
#include "hxrate/errors.h"
#include "hxrate/extensions.h"
#include "hxrate/rating.h"
#include "hxrate/warnings.h"

namespace hxrate {

// A quantity the document gives in a unit other than its field's SI unit.
struct GivenQuantity {
    std::string field;   // where it stands: "case.tube_fluid.viscosity"
    double value = 0;    // as given: 1.2
    std::string unit;    // as given: "cP"
    double si = 0;       // in the field's SI unit: 0.0012
    std::string siUnit;  // "Pa s"
};

// What is rated: the values of the 21 case lines with the extensions, as a
// case document holds them (parseCaseDocument) or as a case file gives them
// (no extensions).
struct CaseDocument {
    Case input;             // the values of the 21 case lines, in SI units
    Extensions extensions;  // empty where the document gives none
    // The quantities given in other units, in the document's order; empty
    // for a document in SI.
    std::vector<GivenQuantity> given;
};

// How a case document is rated.
struct ExchangerOptions {
    // Pass and storage limits, the shooting method and the caller's stop
    // flag, for the rating and for every re-rating of the assessment.
    RateOptions rating;
    bool assess = true;  // form the assessment (it rates the case again)
    // The discretisation estimate's grids (0, 2 or 3) and the shooting
    // analysis, as AssessOptions has them.
    int grids = 2;
    ShootingAnalysis shooting = ShootingAnalysis::whenSlow;
};

// The one result of rating a case document.
struct ExchangerRating {
    Rating rating;                    // whole, or what was formed before the rejection
    std::optional<Check> rejectedBy;  // the check that rejected the case
    // What the arrangement adds to the rating (also for a document without
    // extensions: clean U, P-NTU view, the tube side with its returns);
    // absent for a rejected case.
    std::optional<ExtendedQuantities> extended;
    // The assessment of this rating, when asked: its pressure drops are
    // those of the whole arrangement (every pass and shell; the
    // Bell-Delaware shell side where it was asked).
    std::optional<Assessment> assessment;
    // Every warning, the assessment's and the arrangement's, once each:
    // errors first, then warnings, then notes.
    std::vector<Warning> warnings;

    bool solved() const { return !rejectedBy; }
};

// Rates `document`: with no extensions the rating is rate()'s bit for bit,
// else rateExtended()'s; then, when asked, assesses it with the same
// extensions. A rejected case is a result (rejectedBy, the partial rating
// and its assessment), not an exception. Throws InvalidArgument for
// extensions outside their domain, ArithmeticError and ResourceError as
// rate() does, and Cancelled when options.rating.cancel is set.
ExchangerRating rate(const CaseDocument& document, const ExchangerOptions& options = {});

}  // namespace hxrate
