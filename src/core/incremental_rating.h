// Rating with properties that change along the exchanger: each element of
// the march with its own film coefficients, conductance and heat capacities
// from the property models at its temperatures.
#pragma once

#include <optional>
#include <string_view>

#include "hxrate/case.h"
#include "hxrate/exchanger.h"
#include "hxrate/extensions.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/rating.h"
#include "hxrate/shell_side.h"

namespace hxrate::detail {

// propertiesAt() of a model validatePropertyModel() has accepted already:
// what a march asks of it at every element.
FluidProperties validatedPropertiesAt(const PropertyModel& model, const Fluid& constant,
                                      double temperature, std::string_view stream);

// The stream's fluid with `p` in place of its case values. The case gives
// the volumetric flow at the inlet, so the mass flow is rho_in Q_in; the
// flow at the density used is Q_in (rho_in/rho), which keeps that mass flow
// (to rounding) and is Q_in exactly where rho is the inlet density.
Fluid withProperties(const Fluid& f, const FluidProperties& p, double inletDensity);

// A stream's bulk mean temperature, (inlet + outlet)/2, halved before the
// sum so that no outlet a rating reached overflows it.
double bulkMean(double inlet, double outlet);

// The temperature of the surface the shell fluid wets between the tube
// fluid at tubeT and the shell fluid at shellT: the heat flows through the
// tube film, the inner fouling, the wall, the outer fouling and the shell
// film in series, and the shell film takes its share of the difference.
double shellWallTemperature(const Case& c, const Extensions& ext, const Rating& sides, double tubeT,
                            double shellT);

// What the element-by-element rating forms.
struct IncrementalRating {
    // The rating: outlets, profile and shooting from the march; U, the
    // conductance and the resistance per length the mean over the elements;
    // the side records (Re, Pr, Nu, h) at the bulk mean temperatures.
    Rating rating;
    double cleanCoefficient = 0;  // the elements' mean U without fouling, W/(m2 K)
    std::optional<BellDelawareResult> bellDelaware;  // at the bulk mean temperatures
    Case meanCase;                                   // the fluids at the bulk mean temperatures
    double tubeMean = 0, shellMean = 0;              // degC
    double wallTemperature = 0;                      // the elements' mean, degC
    std::optional<PropertyProfile> profile;          // when asked
};

// Rates `c` (one tube pass, one shell) element by element: each element's
// properties from the models at the temperatures of the node it leaves,
// the mass flows those of c's fluids (rho Q). The Bell-Delaware wall
// viscosity, where the shell model gives it, is taken at the wall
// temperature of the element before (of the inlet rating for the first).
// Throws as rateArrangement() does, and PropertyRangeError where the march
// reaches a temperature a model does not cover.
IncrementalRating rateIncrementally(const Case& c, const Extensions& ext, const StreamModels& m,
                                    const RateOptions& options, bool withProfile = false);

}  // namespace hxrate::detail
