// A stream's properties at a temperature: the case's constants, a table of
// points, or liquid water.
#include "hxrate/fluid_properties.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>

#include "core/arithmetic.h"
#include "core/incremental_rating.h"
#include "core/water.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

// Kelvin at 0 degC.
constexpr double zeroCelsius = 273.15;
// 100 MPa: the top of IAPWS-IF97 region 1.
constexpr double maxWaterPressure = water::region1MaxPressure;

// The shortest decimal that reads back as `x`, without an exponent where
// one is not needed (1000000, not 1e+06).
std::string text(double x) {
    char buffer[64];
    bool plain = x == 0 || (std::abs(x) >= 1e-4 && std::abs(x) < 1e15);
    auto result = plain ? std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed)
                        : std::to_chars(buffer, buffer + sizeof buffer, x);
    return std::string(buffer, result.ptr);
}

std::string argumentOf(std::string_view stream, const char* field) {
    return std::string(stream) + " " + field;
}

[[noreturn]] void refuseModel(std::string_view stream, const char* field, const std::string& why) {
    throw InvalidArgument(argumentOf(stream, field),
                          std::string(stream) + " fluid property model: " + why);
}

bool positive(double x) {
    return std::isfinite(x) && x > 0;
}

void validateTable(const std::vector<PropertyPoint>& table, std::string_view stream) {
    if (table.size() < 2)
        refuseModel(stream, "property table",
                    "a table needs at least 2 points, got " + std::to_string(table.size()));
    for (std::size_t i = 0; i < table.size(); ++i) {
        const PropertyPoint& p = table[i];
        auto point = [i] { return "point " + std::to_string(i + 1); };
        if (!std::isfinite(p.temperature) || !(p.temperature + zeroCelsius > 0))
            refuseModel(stream, "property table",
                        point() + ": the temperature must be finite and above -273.15 degC");
        // Andrade's law works in 1/T (K): neighbours must differ there too.
        if (i > 0 &&
            !(p.temperature > table[i - 1].temperature &&
              1 / (p.temperature + zeroCelsius) < 1 / (table[i - 1].temperature + zeroCelsius)))
            refuseModel(stream, "property table",
                        point() + ": temperatures must increase strictly, " + text(p.temperature) +
                            " degC follows " + text(table[i - 1].temperature) + " degC");
        const FluidProperties& v = p.properties;
        const char* bad = !positive(v.density)        ? "density"
                          : !positive(v.viscosity)    ? "viscosity"
                          : !positive(v.conductivity) ? "conductivity"
                          : !positive(v.heatCapacity) ? "heat capacity"
                                                      : nullptr;
        if (bad)
            refuseModel(stream, "property table",
                        point() + " (" + text(p.temperature) + " degC): the " + bad +
                            " must be finite and above 0");
    }
}

// The lowest pressure at which region 1 holds liquid: the saturation
// pressure at 0 degC (IAPWS-IF97 eq. 30), Pa.
double lowestWaterPressure() {
    static const double p = water::saturationPressure(water::region1MinTemperature);
    return p;
}

void validateWater(double pressure, std::string_view stream) {
    if (!std::isfinite(pressure) || !(pressure > lowestWaterPressure()) ||
        pressure > maxWaterPressure)
        refuseModel(stream, "water pressure",
                    "the water pressure must be finite, above " + text(lowestWaterPressure()) +
                        " Pa (water boils below 0 degC there) and not above 100 MPa; got " +
                        text(pressure) + " Pa");
}

const char* const tableProperties = "density, viscosity, conductivity and heat capacity";

[[noreturn]] void outsideTable(const std::vector<PropertyPoint>& table, double temperature,
                               std::string_view stream) {
    double low = table.front().temperature, high = table.back().temperature;
    throw PropertyRangeError(std::string(stream), temperature, 0, low, high,
                             std::string(stream) + " fluid: the property table gives " +
                                 tableProperties + " from " + text(low) + " degC to " + text(high) +
                                 " degC, not at " + text(temperature) + " degC");
}

FluidProperties interpolate(const std::vector<PropertyPoint>& table, double temperature,
                            std::string_view stream) {
    if (!(temperature >= table.front().temperature && temperature <= table.back().temperature))
        outsideTable(table, temperature, stream);
    // The first point above the temperature; a point at it gives its own values.
    auto above =
        std::upper_bound(table.begin(), table.end(), temperature,
                         [](double t, const PropertyPoint& p) { return t < p.temperature; });
    const PropertyPoint& lower = *(above - 1);
    if (lower.temperature == temperature) return lower.properties;
    const PropertyPoint& upper = *above;
    const FluidProperties &a = lower.properties, &b = upper.properties;
    clearArithmeticFlags();
    // The fraction of the interval, linear in T.
    double w = (temperature - lower.temperature) / (upper.temperature - lower.temperature);
    FluidProperties p;
    p.density = a.density + w * (b.density - a.density);
    p.conductivity = a.conductivity + w * (b.conductivity - a.conductivity);
    p.heatCapacity = a.heatCapacity + w * (b.heatCapacity - a.heatCapacity);
    // Andrade (1930), Nature 125:309: mu = A exp(B/T), T absolute; ln(mu) linear in 1/T
    // between the two points, liquids well below their boiling point.
    double x = 1 / (temperature + zeroCelsius);
    double xa = 1 / (lower.temperature + zeroCelsius);
    double xb = 1 / (upper.temperature + zeroCelsius);
    double lnMu = std::log(a.viscosity) +
                  (x - xa) / (xb - xa) * (std::log(b.viscosity) - std::log(a.viscosity));
    // Between two equal viscosities the law gives that viscosity: exactly,
    // not as exp(ln(mu)), which may differ from it in the last digit.
    p.viscosity = a.viscosity == b.viscosity ? a.viscosity : std::exp(lnMu);
    checkArithmetic("property table interpolation");
    return p;
}

FluidProperties liquidWater(double pressure, double temperature, std::string_view stream) {
    double T = temperature + zeroCelsius;
    bool inRegion1 = T >= water::region1MinTemperature && T <= water::region1MaxTemperature;
    // Liquid below the saturation line only (IAPWS-IF97 region 4, eq. 30): at
    // ps(T) itself the water boils.
    if (!inRegion1 || !(pressure > water::saturationPressure(T))) {
        // The boiling point at this pressure (IF97 eq. 31), where it lies below 350 degC.
        double boiling = pressure < water::saturationPressure(water::region1MaxTemperature)
                             ? water::saturationTemperature(pressure) - zeroCelsius
                             : water::region1MaxTemperature - zeroCelsius;
        std::string reason = inRegion1
                                 ? "it boils at " + text(boiling) + " degC (IAPWS-IF97 region 4)"
                                 : "IAPWS-IF97 region 1 covers 0 degC to 350 degC";
        throw PropertyRangeError(std::string(stream), temperature, pressure, 0, boiling,
                                 std::string(stream) + " fluid: water at " + text(pressure) +
                                     " Pa is not liquid at " + text(temperature) +
                                     " degC: " + reason + "; the water model covers 0 degC to " +
                                     text(boiling) + " degC at this pressure");
    }
    water::LiquidWater w = water::liquidWater(T, pressure);
    return FluidProperties{w.state.density, w.viscosity, w.conductivity.total / 1e3,
                           w.state.heatCapacity};
}

}  // namespace

void validatePropertyModel(const PropertyModel& model, std::string_view stream) {
    switch (model.kind) {
        case PropertyModelKind::constant:
            if (!model.table.empty())
                refuseModel(stream, "property table", "a constant model takes no table");
            if (model.pressure != 0)
                refuseModel(stream, "water pressure", "a constant model takes no pressure");
            return;
        case PropertyModelKind::table:
            if (model.pressure != 0)
                refuseModel(stream, "water pressure", "a table model takes no pressure");
            validateTable(model.table, stream);
            return;
        case PropertyModelKind::water:
            if (!model.table.empty())
                refuseModel(stream, "property table", "a water model takes no table");
            validateWater(model.pressure, stream);
            return;
    }
    refuseModel(stream, "property model",
                "unknown kind " + std::to_string(static_cast<int>(model.kind)));
}

FluidProperties propertiesAt(const PropertyModel& model, const Fluid& constant, double temperature,
                             std::string_view stream) {
    validatePropertyModel(model, stream);
    return detail::validatedPropertiesAt(model, constant, temperature, stream);
}

FluidProperties detail::validatedPropertiesAt(const PropertyModel& model, const Fluid& constant,
                                              double temperature, std::string_view stream) {
    if (!std::isfinite(temperature))
        throw InvalidArgument("temperature",
                              std::string(stream) + " fluid: the temperature must be finite");
    switch (model.kind) {
        case PropertyModelKind::constant:
            return FluidProperties{constant.density, constant.viscosity, constant.conductivity,
                                   constant.heatCapacity};
        case PropertyModelKind::table:
            return interpolate(model.table, temperature, stream);
        case PropertyModelKind::water:
            break;
    }
    return liquidWater(model.pressure, temperature, stream);
}

FluidProperties waterProperties(double temperatureC, double pressurePa) {
    PropertyModel water;
    water.kind = PropertyModelKind::water;
    water.pressure = pressurePa;
    return propertiesAt(water, Fluid{}, temperatureC, "water");
}

}  // namespace hxrate
