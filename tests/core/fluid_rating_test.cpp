#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "hxrate/case_files.h"
#include "hxrate/exchanger.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/numerics.h"
#include "support/example_streams.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;
using testing::errorOf;

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// A table model whose every point holds the fluid's case values.
PropertyModel sameEverywhere(const Fluid& f) {
    FluidProperties p{f.density, f.viscosity, f.conductivity, f.heatCapacity};
    return {PropertyModelKind::table, {{-273, p}, {20, p}, {1e300, p}}, 0};
}

using testing::engineOil;

Case example() {
    std::ifstream in(HXRATE_EXAMPLE_CASE, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return parseCase(s.str());
}

ExchangerOptions ratingOnly() {
    ExchangerOptions o;
    o.assess = false;
    return o;
}

// Tables that hold the case values at every temperature rate every success
// case of the corpus as its constant properties do, bit for bit, in both
// modes; a case whose inlet lies below absolute zero is refused instead.
TEST(FluidRating, UniformTablesAreTheCaseRatingBitForBit) {
    int rated = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(HXRATE_CASES_DIR)) {
        if (!entry.path().filename().string().starts_with("success-")) continue;
        const Case c = readCase(entry.path() / "48230007640350000606.txt");
        const ExchangerRating plain = rate(CaseDocument{c, {}, {}}, ratingOnly());
        for (PropertiesAt mode :
             {PropertiesAt::inlet, PropertiesAt::mean, PropertiesAt::incremental}) {
            CaseDocument d{c,   {}, {}, sameEverywhere(c.tubeFluid), sameEverywhere(c.shellFluid),
                           mode};
            if (c.tubeInletTemperature < -273 || c.shellInletTemperature < -273) {
                EXPECT_TRUE(errorOf<PropertyRangeError>([&] { rate(d, ratingOnly()); }))
                    << entry.path();
                ++refused;
                continue;
            }
            const ExchangerRating x = rate(d, ratingOnly());
            ASSERT_TRUE(x.solved()) << entry.path();
            const Rating &a = plain.rating, &b = x.rating;
            for (auto [p, q] :
                 {std::pair{a.overallCoefficient, b.overallCoefficient},
                  std::pair{a.tubeOutletTemperature, b.tubeOutletTemperature},
                  std::pair{a.shellOutletTemperature, b.shellOutletTemperature},
                  std::pair{a.tubeMassFlow, b.tubeMassFlow},
                  std::pair{a.shellMassFlow, b.shellMassFlow},
                  std::pair{a.tube.filmCoefficient, b.tube.filmCoefficient},
                  std::pair{a.shell.filmCoefficient, b.shell.filmCoefficient},
                  std::pair{*a.tubeDuty, *b.tubeDuty},
                  std::pair{static_cast<double>(a.shootingPasses),
                            static_cast<double>(b.shootingPasses)},
                  std::pair{plain.extended->tubePressureDrop, x.extended->tubePressureDrop}})
                ASSERT_EQ(bits(p), bits(q)) << entry.path();
            ASSERT_EQ(a.profile.tube.size(), b.profile.tube.size());
            for (std::size_t i = 0; i < a.profile.tube.size(); ++i) {
                ASSERT_EQ(bits(a.profile.tube[i]), bits(b.profile.tube[i]));
                ASSERT_EQ(bits(a.profile.shell[i]), bits(b.profile.shell[i]));
            }
            EXPECT_EQ(x.propertiesAt, mode);
            // Nothing moves: the mean mode settles in its first re-rating.
            EXPECT_EQ(x.meanIterations, mode == PropertiesAt::mean ? 1 : 0);
            ++rated;
        }
    }
    EXPECT_GT(rated, 40);
    EXPECT_GT(refused, 0);
}

// The example's oil taken from a table: the mean mode settles, at the mean
// of the oil's inlet and outlet, and rates a U of its own.
TEST(FluidRating, MeanModeSettlesOnTheExampleWithEngineOil) {
    const Case c = example();
    CaseDocument d{c, {}, {}, {}, engineOil(), PropertiesAt::inlet};
    const ExchangerRating inlet = rate(d);
    d.propertiesAt = PropertiesAt::mean;
    const ExchangerRating mean = rate(d);
    ASSERT_TRUE(inlet.solved());
    ASSERT_TRUE(mean.solved());
    EXPECT_EQ(mean.propertiesAt, PropertiesAt::mean);
    EXPECT_GT(mean.meanIterations, 1);
    EXPECT_LT(mean.meanIterations, defaultMeanIterationLimit);
    EXPECT_FALSE(mean.tubePropertyTemperature);  // water stays constant
    ASSERT_TRUE(mean.shellPropertyTemperature);
    const double shellMean = (c.shellInletTemperature + mean.rating.shellOutletTemperature) / 2;
    EXPECT_NEAR(*mean.shellPropertyTemperature, shellMean, 1e-5);
    EXPECT_EQ(*inlet.shellPropertyTemperature, c.shellInletTemperature);
    // The oil at its mean, not its inlet: a U of its own.
    EXPECT_GT(std::fabs(mean.rating.overallCoefficient / inlet.rating.overallCoefficient - 1),
              0.005);
    // The wall the oil wets lies between the streams, nearer the water.
    const double tubeMean = (c.tubeInletTemperature + mean.rating.tubeOutletTemperature) / 2;
    ASSERT_TRUE(mean.wallTemperature);
    EXPECT_GT(*mean.wallTemperature, tubeMean);
    EXPECT_LT(*mean.wallTemperature, (tubeMean + shellMean) / 2);
    // Its viscosity there, for the (mu/mu_w)^0.14 corrections.
    ASSERT_TRUE(mean.shellWallViscosity);
    EXPECT_EQ(*mean.shellWallViscosity,
              propertiesAt(engineOil(), c.shellFluid, *mean.wallTemperature, "shell").viscosity);
    // Across a baffled bundle Kern's drop takes it: the colder wall's
    // thicker oil, phi_s = (mu/mu_w)^0.14 below 1.
    CaseDocument baffled = d;
    baffled.input.exchangerType = ExchangerType::CrossFlowCounterCurrent;
    baffled.input.baffleCount = 5;
    const ExchangerRating cross = rate(baffled);
    ASSERT_TRUE(cross.solved());
    ASSERT_TRUE(cross.assessment && cross.assessment->shellPressureDrop);
    ASSERT_TRUE(cross.assessment->shellPressureDrop->viscosityCorrection);
    EXPECT_LT(*cross.assessment->shellPressureDrop->viscosityCorrection, 1);
    // The case rated holds the oil at its mean temperature.
    ASSERT_TRUE(mean.ratedCase);
    EXPECT_EQ(
        mean.ratedCase->shellFluid.viscosity,
        propertiesAt(engineOil(), c.shellFluid, *mean.shellPropertyTemperature, "shell").viscosity);
    // The mass flow is the inlet's, rho_in Q_in.
    const double rhoIn = propertiesAt(engineOil(), c.shellFluid, 90, "shell").density;
    EXPECT_NEAR(mean.rating.shellMassFlow, rhoIn * c.shellFluid.volumetricFlow, 1e-12);
    // Given, the wall viscosity stands.
    d.extensions.shellWallViscosity = 0.5;
    EXPECT_EQ(rate(d, ratingOnly()).shellWallViscosity, 0.5);
}

// Element by element on the axial types: the outlets converge at first
// order as the grid is refined (the assessment's three grids march the same
// way), the oil's U lies near the mean mode's and the duties of the two
// streams meet as the elements shrink.
TEST(FluidRating, IncrementalConvergesAtFirstOrder) {
    for (std::int32_t type : {ExchangerType::CoCurrent, ExchangerType::CounterCurrent}) {
        CaseDocument d{example(), {}, {}, {}, engineOil(), PropertiesAt::incremental};
        d.input.exchangerType = type;
        ExchangerOptions o;
        o.grids = 3;
        const ExchangerRating x = rate(d, o);
        ASSERT_TRUE(x.solved() && x.assessment) << type;
        EXPECT_EQ(x.propertiesAt, PropertiesAt::incremental);
        const Discretisation& g = x.assessment->discretisation;
        ASSERT_TRUE(g.formed && g.tubeError && g.tubeError->observedOrder) << g.note;
        EXPECT_NEAR(*g.tubeError->observedOrder, 1, 0.05) << type;
        d.propertiesAt = PropertiesAt::mean;
        const ExchangerRating mean = rate(d, ratingOnly());
        EXPECT_NEAR(x.rating.overallCoefficient / mean.rating.overallCoefficient, 1, 0.01);
        EXPECT_NE(x.rating.overallCoefficient, mean.rating.overallCoefficient);
        const double imbalance = std::fabs(*x.rating.tubeDuty - *x.rating.shellDuty);
        EXPECT_LT(imbalance, 1e-3 * std::fabs(*x.rating.tubeDuty)) << type;
        ASSERT_TRUE(x.propertyProfile);
        EXPECT_EQ(x.propertyProfile->shellViscosity.size(), x.rating.profile.shell.size());
    }
}

// The march reaching a temperature the table does not hold is refused,
// naming the stream and the range; with the shell-side Bell-Delaware method
// each element takes its wall viscosity from the shell model.
TEST(FluidRating, IncrementalRefusesTheRangeAndTakesLocalWallViscosity) {
    PropertyModel warm = engineOil();
    warm.table.erase(warm.table.begin(), warm.table.begin() + 8);  // 66.85 to 96.85 degC
    CaseDocument d{example(), {}, {}, {}, warm, PropertiesAt::incremental};
    d.input.exchangerType = ExchangerType::CounterCurrent;
    d.input.tubeFluid.volumetricFlow *= 50;  // the oil cools below the table
    auto e = errorOf<PropertyRangeError>([&] { rate(d, ratingOnly()); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->stream(), "shell");
    EXPECT_LT(e->temperature(), e->low());

    CaseDocument bd{example(), {}, {}, {}, engineOil(), PropertiesAt::incremental};
    bd.input.exchangerType = ExchangerType::CrossFlowCounterCurrent;
    bd.input.baffleCount = 5;
    bd.extensions.shellSide = ShellSideMethod::bellDelaware;
    const ExchangerRating x = rate(bd);
    ASSERT_TRUE(x.solved() && x.shellWallViscosity && x.wallTemperature);
    EXPECT_EQ(
        *x.shellWallViscosity,
        propertiesAt(engineOil(), bd.input.shellFluid, *x.wallTemperature, "shell").viscosity);
    bd.extensions.shellWallViscosity = x.ratedCase->shellFluid.viscosity;
    EXPECT_NE(rate(bd, ratingOnly()).rating.overallCoefficient, x.rating.overallCoefficient);
}

// Bell-Delaware puts the wall viscosity into the rating: in both modes it
// is the shell model's at the wall temperature the result gives, and it
// changes the coefficient from that of a wall as viscous as the bulk.
TEST(FluidRating, BellDelawareTakesTheModelsWallViscosity) {
    for (PropertiesAt mode : {PropertiesAt::inlet, PropertiesAt::mean}) {
        CaseDocument d{example(), {}, {}, {}, engineOil(), mode};
        d.input.exchangerType = ExchangerType::CrossFlowCounterCurrent;
        d.input.baffleCount = 5;
        d.extensions.shellSide = ShellSideMethod::bellDelaware;
        const ExchangerRating x = rate(d, ratingOnly());
        ASSERT_TRUE(x.solved() && x.wallTemperature && x.shellWallViscosity);
        const FluidProperties wall =
            propertiesAt(engineOil(), d.input.shellFluid, *x.wallTemperature, "shell");
        EXPECT_EQ(*x.shellWallViscosity, wall.viscosity);
        EXPECT_EQ(x.ratedCase->shellFluid.viscosity == wall.viscosity, false);
        CaseDocument bulk = d;
        bulk.extensions.shellWallViscosity = x.ratedCase->shellFluid.viscosity;
        EXPECT_GT(std::fabs(rate(bulk, ratingOnly()).rating.overallCoefficient -
                            x.rating.overallCoefficient),
                  1e-3 * x.rating.overallCoefficient);
    }
}

// Several passes are rated by P-NTU, with properties at the mean.
TEST(FluidRating, PNtuArrangementsTakeTheMean) {
    CaseDocument d{example(), {}, {}, {}, engineOil(), PropertiesAt::inlet};
    d.extensions.tubePasses = 2;
    const ExchangerRating x = rate(d, ratingOnly());
    ASSERT_TRUE(x.solved());
    EXPECT_EQ(x.propertiesAt, PropertiesAt::mean);
    EXPECT_GT(x.meanIterations, 1);
    bool noted = false;
    for (const Warning& w : x.warnings) noted = noted || w.code == "properties-at-mean";
    EXPECT_TRUE(noted);
}

TEST(FluidRating, Refusals) {
    PropertyModel narrow = engineOil();
    narrow.table.resize(8);  // up to 340 K, 66.85 degC: below the oil's 90 degC inlet
    PropertyModel water{PropertyModelKind::water, {}, 101325};
    struct Row {
        const char* why;
        std::function<void(CaseDocument&, ExchangerOptions&)> change;
        std::function<bool()> refused;  // set by the row
    };
    CaseDocument d;
    ExchangerOptions o;
    auto reset = [&] {
        d = CaseDocument{example(), {}, {}, {}, engineOil(), PropertiesAt::mean};
        o = ratingOnly();
    };
    auto range = [&](const char* stream, double T, double low, double high) {
        auto e = errorOf<PropertyRangeError>([&] { rate(d, o); });
        return e && e->stream() == stream && e->temperature() == T && e->low() == low &&
               e->high() == high && std::string(e->what()).find("viscosity") != std::string::npos;
    };
    std::vector<Row> rows = {
        {"the oil's inlet beyond the table names the stream, temperature and range",
         [&](CaseDocument& x, ExchangerOptions&) { x.shellProperties = narrow; },
         [&] { return range("shell", 90, 273 - 273.15, 340 - 273.15); }},
        {"water at 1 atm is steam at 120 degC",
         [&](CaseDocument& x, ExchangerOptions&) {
             x.tubeProperties = water;
             x.input.tubeInletTemperature = 120;
         },
         [&] {
             auto e = errorOf<PropertyRangeError>([&] { rate(d, o); });
             return e && e->stream() == "tube" && e->pressure() == 101325 &&
                    std::string(e->what()).find("boils") != std::string::npos;
         }},
        {"one re-rating cannot settle the mean",
         [&](CaseDocument&, ExchangerOptions& x) { x.meanIterationLimit = 1; },
         [&] {
             auto e = errorOf<MeanNotSettled>([&] { rate(d, o); });
             return e && e->iterations() == 1 && e->lastChange() > 1e-6 &&
                    std::string(e->what()).find("did not settle in 1 re-ratings") !=
                        std::string::npos;
         }},
        {"a table of one point is no model",
         [&](CaseDocument& x, ExchangerOptions&) { x.shellProperties.table.resize(1); },
         [&] {
             auto e = errorOf<InvalidArgument>([&] { rate(d, o); });
             return e && e->argument() == "shell property table";
         }},
    };
    for (const Row& row : rows) {
        reset();
        row.change(d, o);
        EXPECT_TRUE(row.refused()) << row.why;
    }
}

TEST(FluidRating, WaterPropertiesAreTheWaterModels) {
    PropertyModel water{PropertyModelKind::water, {}, 2e5};
    EXPECT_EQ(waterProperties(60, 2e5), propertiesAt(water, Fluid{}, 60, "water"));
    // IAPWS-IF97 region 1 at 1 atm, 20 degC: 998.2 kg/m3 (rounded).
    EXPECT_NEAR(waterProperties(20, 101325).density, 998.2, 0.05);
    auto steam = errorOf<PropertyRangeError>([] { waterProperties(150, 101325); });
    ASSERT_TRUE(steam);
    EXPECT_EQ(steam->stream(), "water");
}

}  // namespace
}  // namespace hxrate
