#include "hxrate/fluid_properties.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/water.h"
#include "hxrate/errors.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

using testing::errorOf;

// `value` rounds to the published `printed`, whose last digit is worth `unit`.
void expectPrinted(double value, double printed, double unit, const std::string& what) {
    EXPECT_LE(std::abs(value - printed), 0.5 * unit * (1 + 1e-6))
        << what << ": " << value << " does not round to " << printed;
}

// IAPWS R7-97(2012) table 5: region 1 at (T K, p MPa): v (m3/kg) and cp (kJ/(kg K)).
TEST(Water, Region1VerificationValues) {
    struct Row {
        double T, p, v, vUnit, cp, cpUnit;
    };
    const Row rows[] = {
        {300, 3, 0.100215168e-2, 1e-11, 0.417301218e1, 1e-8},
        {300, 80, 0.971180894e-3, 1e-12, 0.401008987e1, 1e-8},
        {500, 3, 0.120241800e-2, 1e-11, 0.465580682e1, 1e-8},
    };
    for (const Row& r : rows) {
        water::Region1State s = water::region1(r.T, r.p * 1e6);
        std::string at = std::to_string(r.T) + " K, " + std::to_string(r.p) + " MPa";
        expectPrinted(1 / s.density, r.v, r.vUnit, "v at " + at);
        expectPrinted(s.heatCapacity / 1e3, r.cp, r.cpUnit, "cp at " + at);
    }
}

// IAPWS R7-97(2012) tables 35 and 36: the saturation line, both ways.
TEST(Water, SaturationLineVerificationValues) {
    struct Row {
        double T, p, unit;  // K, MPa, the unit of p's last digit
    };
    for (Row r : {Row{300, 0.353658941e-2, 1e-11}, Row{500, 0.263889776e1, 1e-8},
                  Row{600, 0.123443146e2, 1e-7}})
        expectPrinted(water::saturationPressure(r.T) / 1e6, r.p, r.unit, "ps");
    for (Row r :
         {Row{0.372755919e3, 0.1, 1e-6}, Row{0.453035632e3, 1, 1e-6}, Row{0.584149488e3, 10, 1e-6}})
        expectPrinted(water::saturationTemperature(r.p * 1e6), r.T, r.unit, "Ts");
}

// IAPWS R12-08 table 4 (mu2 = 1) and R15-11 table 4 (lambda2 = 0), the
// liquid points, at (T K, rho kg/m3): mu (uPa s), lambda (mW/(m K)).
TEST(Water, TransportVerificationValuesAtGivenDensity) {
    struct Row {
        double T, rho, printed;
    };
    for (Row r : {Row{298.15, 998, 889.735100}, Row{298.15, 1200, 1437.649467},
                  Row{373.15, 1000, 307.883622}, Row{433.15, 1000, 217.685358}})
        expectPrinted(water::viscosity(r.T, r.rho) * 1e6, r.printed, 1e-6, "mu");
    for (Row r : {Row{298.15, 998, 607.712868}, Row{298.15, 1200, 799.038144}})
        expectPrinted(water::conductivityWithoutEnhancement(r.T, r.rho), r.printed, 1e-6, "lambda");
}

// IAPWS R15-11 table 7: the industrial form with IAPWS-IF97 in region 1,
// through the public model (620 K = 346.85 degC): lambda with its critical
// enhancement lambda2 (mW/(m K)), rho (kg/m3), cp (kJ/(kg K)), mu (uPa s).
TEST(Water, IndustrialConductivityVerificationValues) {
    struct Row {
        double pMPa, lambda, lambda2, rho, cp, mu;
    };
    const Row rows[] = {
        {20, 0.481485195e3, 0.126391714e2, 0.613227777e3, 0.763433705e1, 0.709051068e2},
        {50, 0.545038940e3, 0.575816285e1, 0.699226043e3, 0.532047725e1, 0.841527945e2},
    };
    for (const Row& r : rows) {
        PropertyModel model{PropertyModelKind::water, {}, r.pMPa * 1e6};
        FluidProperties p = propertiesAt(model, {}, 346.85, "tube");
        std::string at = std::to_string(r.pMPa) + " MPa";
        expectPrinted(p.conductivity * 1e3, r.lambda, 1e-6, "lambda at " + at);
        expectPrinted(p.density, r.rho, 1e-6, "rho at " + at);
        expectPrinted(p.heatCapacity / 1e3, r.cp, 1e-8, "cp at " + at);
        expectPrinted(p.viscosity * 1e6, r.mu, 1e-7, "mu at " + at);
        water::LiquidWater w = water::liquidWater(620, r.pMPa * 1e6);
        expectPrinted(w.conductivity.lambda2, r.lambda2, 1e-7, "lambda2 at " + at);
    }
}

TEST(Water, RefusedWhereNotLiquid) {
    struct Row {
        double T, p, high;  // high: where liquid ends at p, degC
        const char* why;
    };
    const Row rows[] = {
        {100, 101325, 99.974, "boils at 99.97 degC at one atmosphere"},
        {180, 1e6, 179.886, "above the boiling point at 1 MPa"},
        {360, 20e6, 350, "liquid, but above region 1 (350 degC)"},
        {-0.5, 1e6, 179.886, "below region 1 (0 degC)"},
    };
    for (const Row& r : rows) {
        PropertyModel model{PropertyModelKind::water, {}, r.p};
        auto e = errorOf<PropertyRangeError>([&] { propertiesAt(model, {}, r.T, "shell"); });
        ASSERT_TRUE(e) << r.why;
        std::string what = e->what();
        EXPECT_NE(what.find("shell"), std::string::npos) << what;
        EXPECT_NE(what.find(std::to_string(static_cast<int>(r.p))), std::string::npos) << what;
        EXPECT_EQ(e->temperature(), r.T);
        EXPECT_EQ(e->pressure(), r.p);
        EXPECT_EQ(e->low(), 0);
        EXPECT_NEAR(e->high(), r.high, 1e-3) << r.why;
    }
    // Just below the boiling point the water is liquid.
    PropertyModel atm{PropertyModelKind::water, {}, 101325};
    EXPECT_GT(propertiesAt(atm, {}, 99.9, "tube").density, 950);
}

// Water at 20 and 60 degC, rounded; the values in between are exact binary
// fractions so that the linear ones are exact.
PropertyModel table() {
    return {PropertyModelKind::table,
            {{20, {1000, 1.0e-3, 0.5, 4000}},
             {60, {900, 0.466e-3, 0.75, 4200}},
             {100, {800, 0.282e-3, 0.625, 4300}}},
            0};
}

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

TEST(PropertyTable, AtAPointItsOwnValuesBitForBit) {
    PropertyModel m = table();
    for (const PropertyPoint& point : m.table) {
        FluidProperties p = propertiesAt(m, {}, point.temperature, "tube");
        EXPECT_EQ(bits(p.density), bits(point.properties.density));
        EXPECT_EQ(bits(p.viscosity), bits(point.properties.viscosity));
        EXPECT_EQ(bits(p.conductivity), bits(point.properties.conductivity));
        EXPECT_EQ(bits(p.heatCapacity), bits(point.properties.heatCapacity));
    }
}

TEST(PropertyTable, LinearInTemperatureAndAndradeForViscosity) {
    PropertyModel m = table();
    FluidProperties mid = propertiesAt(m, {}, 40, "tube");
    EXPECT_EQ(mid.density, 950);
    EXPECT_EQ(mid.conductivity, 0.625);
    EXPECT_EQ(mid.heatCapacity, 4100);
    // mu = A exp(B/T) through the two points around T (Andrade 1930).
    struct Row {
        double T, T0, mu0, T1, mu1;
    };
    for (Row r : {Row{25, 20, 1.0e-3, 60, 0.466e-3}, Row{40, 20, 1.0e-3, 60, 0.466e-3},
                  Row{59.5, 20, 1.0e-3, 60, 0.466e-3}, Row{80, 60, 0.466e-3, 100, 0.282e-3}}) {
        double K0 = r.T0 + 273.15, K1 = r.T1 + 273.15, K = r.T + 273.15;
        double B = std::log(r.mu1 / r.mu0) / (1 / K1 - 1 / K0);
        double A = r.mu0 / std::exp(B / K0);
        double mu = propertiesAt(m, {}, r.T, "tube").viscosity;
        EXPECT_NEAR(mu, A * std::exp(B / K), 1e-14 * mu) << r.T;
    }
    // Andrade lies below the straight line between the points (mu convex in T).
    EXPECT_LT(propertiesAt(m, {}, 40, "tube").viscosity, (1.0e-3 + 0.466e-3) / 2);
}

TEST(PropertyTable, RefusedOutsideItsRange) {
    struct Row {
        double T;
        const char* reached;
    };
    for (auto [T, reached] : {Row{19.5, "at 19.5 degC"}, Row{100.25, "at 100.25 degC"}}) {
        auto e = errorOf<PropertyRangeError>([&] { propertiesAt(table(), {}, T, "shell"); });
        ASSERT_TRUE(e);
        std::string what = e->what();
        for (std::string piece :
             {std::string("shell"), std::string("viscosity"), std::string(reached),
              std::string("20 degC"), std::string("100 degC")})
            EXPECT_NE(what.find(piece), std::string::npos) << piece << " in " << what;
        EXPECT_EQ(e->stream(), "shell");
        EXPECT_EQ(e->temperature(), T);
        EXPECT_EQ(e->low(), 20);
        EXPECT_EQ(e->high(), 100);
        EXPECT_EQ(e->argument(), "temperature");
    }
}

TEST(PropertyModel, ConstantGivesTheCaseValuesExactly) {
    Fluid f;
    f.density = 1.5;
    f.viscosity = 2.1e-3;
    f.conductivity = 0.1;
    f.heatCapacity = 0;  // not a model's business: the rating checks the case
    FluidProperties p = propertiesAt(PropertyModel{}, f, 1e6, "tube");
    EXPECT_EQ(p, (FluidProperties{1.5, 2.1e-3, 0.1, 0}));
    auto e = errorOf<InvalidArgument>([&] { propertiesAt(PropertyModel{}, f, NAN, "tube"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->argument(), "temperature");
}

TEST(PropertyModel, ValidationRefusals) {
    auto withPoint = [](std::size_t i, PropertyPoint p) {
        PropertyModel m = table();
        m.table[i] = p;
        return m;
    };
    FluidProperties ok{1000, 1e-3, 0.6, 4180};
    auto with = [&](double FluidProperties::*field, double value) {
        FluidProperties v = ok;
        v.*field = value;
        return withPoint(1, {60, v});
    };
    struct Row {
        PropertyModel model;
        const char* argument;
        const char* why;
    };
    const Row rows[] = {
        {{PropertyModelKind::table, {{20, ok}}, 0}, "tube property table", "one point"},
        {withPoint(1, {20, ok}), "tube property table", "a repeated temperature"},
        {withPoint(2, {50, ok}), "tube property table", "temperatures decreasing"},
        {withPoint(0, {NAN, ok}), "tube property table", "a NaN temperature"},
        {withPoint(0, {-300, ok}), "tube property table", "below absolute zero"},
        {withPoint(1, {20 + 1e-14, ok}), "tube property table",
         "increasing in degC, equal in K (1/T would divide by zero)"},
        {with(&FluidProperties::viscosity, 0), "tube property table", "zero viscosity"},
        {with(&FluidProperties::density, -1), "tube property table", "negative density"},
        {with(&FluidProperties::conductivity, INFINITY), "tube property table", "infinite k"},
        {with(&FluidProperties::heatCapacity, NAN), "tube property table", "NaN cp"},
        {{PropertyModelKind::table, table().table, 1e5},
         "tube water pressure",
         "a table with a pressure"},
        {{PropertyModelKind::water, {}, 0}, "tube water pressure", "no pressure"},
        {{PropertyModelKind::water, {}, NAN}, "tube water pressure", "NaN pressure"},
        {{PropertyModelKind::water, {}, 100.5e6}, "tube water pressure", "above 100 MPa"},
        {{PropertyModelKind::water, {}, 600}, "tube water pressure", "boils below 0 degC"},
        {{PropertyModelKind::water, table().table, 1e5},
         "tube property table",
         "a water model with a table"},
        {{PropertyModelKind::constant, table().table, 0},
         "tube property table",
         "a constant model with a table"},
        {{static_cast<PropertyModelKind>(7), {}, 0}, "tube property model", "an unknown kind"},
    };
    for (const Row& r : rows) {
        auto e = errorOf<InvalidArgument>([&] { validatePropertyModel(r.model, "tube"); });
        ASSERT_TRUE(e) << r.why;
        EXPECT_EQ(e->argument(), r.argument) << r.why;
        EXPECT_NE(std::string(e->what()).find("tube"), std::string::npos) << r.why;
    }
    EXPECT_NO_THROW(validatePropertyModel(table(), "tube"));
    EXPECT_NO_THROW(validatePropertyModel({PropertyModelKind::water, {}, 100e6}, "tube"));
}

}  // namespace
}  // namespace hxrate
