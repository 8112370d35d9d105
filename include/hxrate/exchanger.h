// hxrate/exchanger.h: one rating for every exchanger: what is rated (the
// case with its extensions) in, and one result out: the rating, what the
// arrangement adds, the assessment and one list of warnings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/assessment.h"
#include "hxrate/case.h"
#include "hxrate/errors.h"
#include "hxrate/extensions.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/rating.h"
#include "hxrate/vibration.h"
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

// At which temperatures the streams' property models give the properties
// a rating uses. With constant models every mode is the same rating.
enum class PropertiesAt {
    inlet,  // each stream's inlet temperature
    // each stream's bulk mean temperature (inlet + outlet)/2, rated again
    // until both outlets settle
    mean,
    // element by element along the march: each element's film coefficients,
    // conductance and heat capacities from its upstream node's temperatures
    incremental,
};

// A short stable name of a mode ("inlet", "mean", "incremental"), as the
// case document writes it.
std::string_view propertiesAtName(PropertiesAt mode);

// Re-ratings the mean mode makes at most before it refuses the document
// (MeanNotSettled), unless told otherwise.
inline constexpr int defaultMeanIterationLimit = 100;

// What is rated: the values of the 21 case lines with the extensions, as a
// case document holds them (parseCaseDocument) or as a case file gives them
// (no extensions, constant properties).
struct CaseDocument {
    Case input;             // the values of the 21 case lines, in SI units
    Extensions extensions;  // empty where the document gives none
    // The quantities given in other units, in the document's order; empty
    // for a document in SI.
    std::vector<GivenQuantity> given;
    // Where each stream's properties come from; constant: the case's own
    // Fluid values. A stream's volumetric flow is the case's, at its inlet.
    PropertyModel tubeProperties{};
    PropertyModel shellProperties{};
    PropertiesAt propertiesAt = PropertiesAt::inlet;  // where the models are evaluated
    // The tube material and the constants of the vibration screening of a
    // cross-flow case; the defaults where the document gives none.
    VibrationInput vibration{};
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
    // Re-ratings of the mean mode before MeanNotSettled; at least 1.
    int meanIterationLimit = defaultMeanIterationLimit;
};

// The streams' properties along the tubes, at the rating's profile nodes
// (Rating::profile: the tube temperature and the shell column there).
struct PropertyProfile {
    std::vector<double> tubeViscosity;   // Pa s, the tube model's at the node
    std::vector<double> shellViscosity;  // Pa s, the shell model's at the node
    // The shell-side wall surface, degC, from the film, wall and fouling
    // resistances in series between the two node temperatures.
    std::vector<double> wallTemperature;
    // U there, W/(m2 K): the rating's own in the inlet and mean modes, the
    // node's from its local properties in the incremental mode.
    std::vector<double> overallCoefficient;
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
    // Where the property models were evaluated: the document's mode, mean
    // for an arrangement rated by P-NTU (several passes or shells).
    PropertiesAt propertiesAt = PropertiesAt::inlet;
    // The temperatures each stream's properties were taken at, degC (in the
    // incremental mode, those of the side records and of ratedCase: the
    // bulk mean temperatures); absent for a constant model.
    std::optional<double> tubePropertyTemperature;
    std::optional<double> shellPropertyTemperature;
    int meanIterations = 0;  // re-ratings the mean mode made (0 for the inlet mode)
    // The shell-side wall surface temperature, degC, from the film, wall
    // and fouling resistances in series at the streams' mean temperatures;
    // formed where a model is not constant and the case was rated to its end.
    std::optional<double> wallTemperature;
    // The case as rated where a model is not constant: its fluids with the
    // properties at the temperatures above and the flow that keeps the
    // inlet's mass flow (the assessment's case); absent where the
    // document's own case was rated.
    std::optional<Case> ratedCase;
    // The shell fluid's wall viscosity the (mu/mu_w)^0.14 corrections used,
    // Pa s: the extensions' own, or the shell model's at the wall temperature
    // (in the incremental mode each element's own wall temperature; this one
    // at the mean temperatures, for the assessment's drop).
    std::optional<double> shellWallViscosity;
    // Where a model is not constant and the march rated the case to its end
    // (one pass, one shell), unless its nodes would take more than the
    // rating's storage limit.
    std::optional<PropertyProfile> propertyProfile;
    // The flow-induced vibration screening of a solved cross-flow case (its
    // warnings are among `warnings`); absent for the other types, and where
    // the bundle cannot be screened (a note "vibration-not-screened" says why).
    std::optional<VibrationScreening> vibration;

    bool solved() const { return !rejectedBy; }
};

// Rates `document`: with no extensions the rating is rate()'s bit for bit,
// else rateExtended()'s; then, when asked, assesses it with the same
// extensions. A stream whose model is not constant is rated with its
// properties at the document's temperatures (PropertiesAt) in place of the
// case's, at the stream's inlet mass flow; the assessment re-rates with
// those properties. A rejected case is a result (rejectedBy, the partial rating
// and its assessment), not an exception. Throws InvalidArgument for
// extensions, property models or vibration input outside their domain, PropertyRangeError
// where a model gives no properties at a temperature asked, MeanNotSettled, ArithmeticError and
// ResourceError as rate() does, and Cancelled when options.rating.cancel is set.
ExchangerRating rate(const CaseDocument& document, const ExchangerOptions& options = {});

}  // namespace hxrate
