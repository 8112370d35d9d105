// hxrate/monitoring.h: the fouling an exchanger in service carries, found
// from its measured outlet temperatures by re-rating it until it reproduces them.
#pragma once

#include <optional>
#include <string>

#include "hxrate/errors.h"
#include "hxrate/exchanger.h"
#include "hxrate/rating.h"

namespace hxrate {

// Outlet temperatures measured on the exchanger in service, degC (at least
// one); the flows and inlet temperatures are the document's case.
struct Measurements {
    std::optional<double> tubeOutletTemperature;
    std::optional<double> shellOutletTemperature;
};

// How the fouling is searched for.
struct FoulingOptions {
    // Share of the total fouling (on the outer surface, Rf_o + Rf_i Do/Di)
    // laid on the inner surface, 0 to 1. Unset: the share the document's
    // extensions give, or all on the outer surface where they give none.
    std::optional<double> insideShare;
    // Relative difference of the two measured duties, |Qt - Qs|/max(Qt, Qs),
    // beyond which the heat balance is reported as mismatched.
    double heatBalanceTolerance = 0.05;
    // The search ends when the bracket of the total fouling is narrower
    // than this share of its upper end (or 1e-12 m2 K/W), m2 K/W.
    double relativeTolerance = 1e-7;
    // Pass and storage limits, shooting method and the caller's stop flag
    // of every rating.
    RateOptions rating;
};

// What the measurements say of the fouling.
struct FoulingEstimate {
    // Whether a fouling >= 0 reproduces the measurements; when not,
    // `message` says why (the clean exchanger cannot reach them, the case
    // is rejected) and the fouling fields are 0.
    bool reproduced = false;
    std::string message;
    double totalFouling = 0;        // Rf_o + Rf_i Do/Di, on the outer surface, m2 K/W
    double foulingInside = 0;       // Rf_i, m2 K/W
    double foulingOutside = 0;      // Rf_o, m2 K/W
    double cleanCoefficient = 0;    // U without fouling, W/(m2 K)
    double serviceCoefficient = 0;  // U with the fouling found, W/(m2 K)
    double cleanlinessFactor = 0;   // service U / clean U
    int ratings = 0;                // ratings made by the search
    // Duties, W (heat given off by the hot stream): of each measured
    // outlet (Q = rho V cp dT of the case's fluid), the one fitted (the
    // measured one, or the mean of both), and of the clean exchanger.
    std::optional<double> measuredTubeDuty;
    std::optional<double> measuredShellDuty;
    double fittedDuty = 0;
    double cleanDuty = 0;
    // With both outlets: (Qt - Qs)/max(Qt, Qs) of the measurements, and
    // whether it exceeds FoulingOptions::heatBalanceTolerance. The search
    // then fits the mean duty, and the outlets rated at the fouling found
    // lie between the two measured ones' duties.
    std::optional<double> heatBalanceMismatch;
    bool heatBalanceMismatched = false;
    // The rating at the fouling found (at zero fouling when none is).
    std::optional<ExchangerRating> rating;
};

// Finds the fouling that makes `exchanger` deliver the measured duty, by
// bisection on the total fouling between 0 and a bracket doubled from
// 1e-4 m2 K/W up to at most 10 m2 K/W, each step a rating
// rate(document, {assess = false}) with the fouling split as `options` says.
// Throws InvalidArgument for no measurement, a measured outlet outside the
// span of the two inlets, equal inlets, or options outside their domain;
// ArithmeticError, ResourceError and Cancelled as rate() does.
FoulingEstimate findFouling(const CaseDocument& exchanger, const Measurements& m,
                            const FoulingOptions& options = {});

}  // namespace hxrate
