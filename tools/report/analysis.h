// What hxrate-report shows of a case: the library's rating and assessment,
// gathered with the case's name and source into one record, and the words
// the pages use. No files, no JSON, no HTML.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hxrate/assessment.h>
#include <hxrate/case.h>
#include <hxrate/case_document.h>
#include <hxrate/errors.h>
#include <hxrate/exchanger.h>
#include <hxrate/extensions.h>
#include <hxrate/fluid_properties.h>
#include <hxrate/rating.h>
#include <hxrate/vibration.h>

namespace hxrate::report {

enum class Outcome { solved, rejected };

// Everything the JSON file and the page show, in one record: the library's
// assessment with the case and its rating.
struct Report : Assessment {
    std::string caseName;  // file name without its extension
    std::string casePath;
    Case input;
    CaseSource source;
    Outcome outcome = Outcome::solved;
    Rating rating;  // whole, or what was formed before the rejection
    std::optional<Check> rejectedBy;
    // A case document (JSON) rather than a 21-line case file: its values
    // have no case-line positions, so the checks of the text are not made.
    bool fromDocument = false;
    // The document's quantities given in units other than SI, as given.
    std::vector<GivenQuantity> given;
    // The document's extensions when it gave any, and what the arrangement
    // formed beyond the rating (absent for a rejected case).
    std::optional<Extensions> extensions;
    std::optional<ExtendedQuantities> extended;
    // Where each stream's properties came from (constant for a case file)
    // and where the rating took them. Where a model is not constant, `input`
    // is the case as rated: its fluids with the model's properties there.
    PropertyModel tubeProperties, shellProperties;
    PropertiesAt propertiesAt = PropertiesAt::inlet;  // the mode the rating used
    std::optional<double> tubePropertyTemperature;    // degC; absent for a constant model
    std::optional<double> shellPropertyTemperature;   // degC; absent for a constant model
    int meanIterations = 0;                           // re-ratings of the mean mode
    std::optional<double> wallTemperature;            // shell-side wall, degC
    std::optional<double> shellWallViscosity;         // Pa s, of the (mu/mu_w)^0.14 corrections
    std::optional<PropertyProfile> propertyProfile;   // along the tubes, at the profile's nodes
    // The flow-induced vibration screening of a solved cross-flow case;
    // absent for the other types and where the bundle could not be screened.
    std::optional<VibrationScreening> vibration;

    // Whether a stream's properties came from a model that is not constant.
    bool fromModels() const {
        return tubeProperties.kind != PropertyModelKind::constant ||
               shellProperties.kind != PropertyModelKind::constant;
    }
};

// Rates the case text, a 21-line case file or a case document, and assesses
// it. Throws InputError (a document's names the field), ArithmeticError and
// ResourceError as rate() does, and InvalidArgument for extensions outside
// their domain; a rejected case gives a report.
Report buildReport(std::string_view text, const std::string& casePath, const std::string& caseName);

// One value of the inputs table.
struct InputRow {
    std::string key;     // "tube_inner_diameter", "tube_fluid_density"
    std::string field;   // the document field: "tube_fluid.density"
    std::string label;   // "tube inner diameter"
    std::string symbol;  // "Di"
    std::string unit;    // "m"; empty for counts and codes
    int caseLine = 0;
    std::uint64_t firstLine = 0, lastLine = 0;  // physical lines of the case line
    std::optional<double> value;                // numbers (codes and counts too)
    std::optional<std::string> text;            // names
    // A fluid's property or flow that its stream's model gave: the value is
    // the case's as rated, not the document's constant.
    bool fromModel = false;
};
// The rows of `r.input`, in case-line order.
std::vector<InputRow> describeInputs(const Report& r);

// The verdict line of the summary: "rated", "rated with 2 errors", "rejected".
std::string verdict(const Report& r);
// Whether the stage of a partial rating formed a step.
bool reached(const Rating& r, Stage stage);

}  // namespace hxrate::report
