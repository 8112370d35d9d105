// Rating a case document whose streams have property models: the case's
// fluids with their properties at the mode's temperatures, rated as a case
// with constant properties is.
#pragma once

#include <optional>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/exchanger.h"
#include "hxrate/extensions.h"
#include "hxrate/warnings.h"

namespace hxrate::detail {

// One rating of a case with its extensions, as rate(CaseDocument) forms it
// before the assessment: the rating or its rejection, what the arrangement
// adds, and the arrangement's warnings.
struct DocumentRating {
    ExchangerRating result;
    std::vector<Warning> arrangementWarnings;
};
// Defined beside rate(CaseDocument) (exchanger.cpp).
DocumentRating rateOnce(const Case& c, const Extensions& ext, const RateOptions& options);

// What the property models made of a document: the case and extensions
// rated last (their fluids at the evaluation temperatures, the model's wall
// viscosity), that rating, and where the properties were taken.
struct FluidRating {
    Case input;
    Extensions extensions;
    DocumentRating rated;
    PropertiesAt propertiesAt = PropertiesAt::inlet;
    std::optional<double> tubePropertyTemperature, shellPropertyTemperature;  // degC
    int meanIterations = 0;
    std::optional<double> wallTemperature;     // degC
    std::optional<double> shellWallViscosity;  // Pa s, for the corrected drops
    std::optional<PropertyProfile> profile;
    // The models of an element-by-element rating, for the re-ratings.
    std::optional<StreamModels> incremental;
};

// Rates `document`, whose models are valid and not both constant.
FluidRating rateWithPropertyModels(const CaseDocument& document, const ExchangerOptions& options);

}  // namespace hxrate::detail
