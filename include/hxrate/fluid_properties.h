// hxrate/fluid_properties.h: a stream's properties at a temperature, from its
// case values (constant), a table of points, or liquid water (IAPWS).
#pragma once

#include <string_view>
#include <vector>

#include "hxrate/case.h"

namespace hxrate {

// The four properties the rating uses, SI.
struct FluidProperties {
    double density = 0;       // kg/m3
    double viscosity = 0;     // dynamic, Pa s
    double conductivity = 0;  // W/(m K)
    double heatCapacity = 0;  // isobaric, J/(kg K)

    bool operator==(const FluidProperties&) const = default;
};

// Where a stream's properties come from.
enum class PropertyModelKind {
    constant,  // the case's own Fluid values, at every temperature
    table,     // interpolated between the points of PropertyModel::table
    water,     // liquid water at PropertyModel::pressure: IAPWS-IF97, R12-08, R15-11
};

// The properties measured or tabulated at one temperature.
struct PropertyPoint {
    double temperature = 0;  // degC
    FluidProperties properties;

    bool operator==(const PropertyPoint&) const = default;
};

// A stream's property model. Each kind uses only its own field: a table
// model its points, a water model its pressure; a constant model neither.
struct PropertyModel {
    PropertyModelKind kind = PropertyModelKind::constant;
    std::vector<PropertyPoint> table;  // at least 2 points, temperatures increasing
    double pressure = 0;               // Pa, the water's (absolute) pressure

    bool operator==(const PropertyModel&) const = default;
};

// The two streams' property models.
struct StreamModels {
    PropertyModel tube;
    PropertyModel shell;

    bool operator==(const StreamModels&) const = default;
};

// Throws InvalidArgument unless `model` can give properties: a table of at
// least two points, temperatures finite, above absolute zero and strictly
// increasing, every property finite and above 0; a water pressure finite,
// above the saturation pressure at 0 degC (611.2 Pa) and not above 100 MPa;
// no field of another kind set. `stream` ("shell", "tube") names the stream.
void validatePropertyModel(const PropertyModel& model, std::string_view stream);

// The properties of `stream` at `temperature` (degC). constant: the four
// values of `constant` exactly. table: rho, k and cp linear in T, viscosity
// linear in ln(mu) against 1/T (Andrade 1930); a table point's own values
// exactly at its temperature. water: liquid water at the model's pressure.
// Throws InvalidArgument for a model validatePropertyModel refuses, and
// PropertyRangeError where the model gives no properties: a temperature
// outside the table, or water that is not liquid in IAPWS-IF97 region 1.
FluidProperties propertiesAt(const PropertyModel& model, const Fluid& constant, double temperature,
                             std::string_view stream);

// Liquid water at `temperatureC` (degC) and `pressurePa` (Pa, absolute):
// propertiesAt() of a water model, the stream named "water". Throws
// InvalidArgument for a pressure the water model refuses, PropertyRangeError
// where the water is not liquid (steam at that pressure, ice, above 350 degC).
FluidProperties waterProperties(double temperatureC, double pressurePa);

}  // namespace hxrate
