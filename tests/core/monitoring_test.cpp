#include "hxrate/monitoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "hxrate/case_files.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

// The shipped example: water in 40 tubes (20 degC) against engine oil
// (90 degC), counter-current.
CaseDocument example(std::int32_t type, int passes) {
    auto path = std::filesystem::path(__FILE__).parent_path() / "../../examples/water-oil" /
                "48230007640350000606.txt";
    CaseDocument d{readCase(path), {}, {}};
    d.input.exchangerType = type;
    d.extensions.tubePasses = passes;
    return d;
}

ExchangerRating rated(CaseDocument d, double inside, double outside) {
    d.extensions.foulingInside = inside;
    d.extensions.foulingOutside = outside;
    ExchangerOptions o;
    o.assess = false;
    return rate(d, o);
}

// Rate a fouled exchanger, feed its outlets back, and recover the fouling.
TEST(Monitoring, RecoversTheFoulingOfARating) {
    struct Row {
        std::int32_t type;
        int passes;
        double inside, outside;  // m2 K/W, the fouling rated
        bool tube, shell;        // which outlets are fed back
        const char* why;
    };
    const Row rows[] = {
        {1, 1, 0, 4e-4, true, false, "counter-current march, tube outlet, all outside"},
        {0, 1, 0, 4e-4, false, true, "co-current march, shell outlet"},
        {1, 2, 2e-4, 3e-4, true, true, "two passes (P-NTU), both outlets, the document's split"},
        {1, 4, 1e-4, 0, true, false, "four passes, all inside"},
    };
    for (const Row& row : rows) {
        CaseDocument d = example(row.type, row.passes);
        const ExchangerRating fouled = rated(d, row.inside, row.outside);
        ASSERT_TRUE(fouled.solved()) << row.why;
        Measurements m;
        if (row.tube) m.tubeOutletTemperature = fouled.rating.tubeOutletTemperature;
        if (row.shell) m.shellOutletTemperature = fouled.rating.shellOutletTemperature;
        // The document holds the split, not the amount.
        d.extensions.foulingInside = row.inside;
        d.extensions.foulingOutside = row.outside;
        const FoulingEstimate e = findFouling(d, m);
        ASSERT_TRUE(e.reproduced) << row.why << ": " << e.message;
        const double Di = d.input.tubeInnerDiameter, Do = Di + 2 * d.input.wallThickness;
        const double total = row.outside + row.inside * (Do / Di);
        // The bisection's bracket is 1e-7 of the fouling wide; the march's
        // outlets move by steps of rounding, so 1e-6 of it.
        EXPECT_NEAR(e.totalFouling, total, 1e-6 * total) << row.why;
        EXPECT_NEAR(e.foulingInside, row.inside, 1e-6 * total) << row.why;
        EXPECT_NEAR(e.foulingOutside, row.outside, 1e-6 * total) << row.why;
        ASSERT_TRUE(fouled.extended);
        EXPECT_NEAR(e.serviceCoefficient, fouled.extended->serviceCoefficient,
                    1e-5 * fouled.extended->serviceCoefficient)
            << row.why;
        EXPECT_DOUBLE_EQ(e.cleanCoefficient, fouled.extended->cleanCoefficient) << row.why;
        EXPECT_NEAR(e.cleanlinessFactor, e.serviceCoefficient / e.cleanCoefficient, 1e-12);
        EXPECT_GT(e.cleanDuty, e.fittedDuty) << row.why;
        EXPECT_FALSE(e.heatBalanceMismatched) << row.why;
        EXPECT_LT(e.ratings, 80) << row.why;
        ASSERT_TRUE(e.rating && e.rating->solved());
    }
}

// Outlets the clean exchanger cannot reach are a result, not an error.
TEST(Monitoring, CleanExchangerCannotReach) {
    const CaseDocument d = example(1, 1);
    const ExchangerRating clean = rated(d, 0, 0);
    ASSERT_TRUE(clean.solved());
    struct Row {
        Measurements m;
        const char* why;
    };
    const Row rows[] = {
        {{clean.rating.tubeOutletTemperature + 1, std::nullopt},
         "tube outlet 1 K hotter than clean"},
        {{std::nullopt, clean.rating.shellOutletTemperature - 1}, "shell outlet 1 K colder"},
        {{d.input.shellInletTemperature, std::nullopt}, "water leaving at the oil's inlet"},
    };
    for (const Row& row : rows) {
        const FoulingEstimate e = findFouling(d, row.m);
        EXPECT_FALSE(e.reproduced) << row.why;
        EXPECT_NE(e.message.find("clean exchanger"), std::string::npos) << e.message;
        EXPECT_EQ(e.totalFouling, 0) << row.why;
        EXPECT_GT(e.fittedDuty, e.cleanDuty) << row.why;
    }
    // An outlet at its own inlet shows no heat passed: no finite fouling.
    const FoulingEstimate none = findFouling(d, {d.input.tubeInletTemperature, std::nullopt});
    EXPECT_FALSE(none.reproduced);
    EXPECT_NE(none.message.find("no heat"), std::string::npos) << none.message;
}

// Two outlets whose duties disagree: reported, and their mean is fitted.
TEST(Monitoring, HeatBalanceMismatch) {
    const CaseDocument d = example(1, 2);
    const ExchangerRating fouled = rated(d, 0, 1e-2);
    const double tIn = d.input.shellInletTemperature;
    // The oil cooled 6 % more than the rating says: its duty 6 % higher.
    const double shellOut = tIn - 1.06 * (tIn - fouled.rating.shellOutletTemperature);
    const FoulingEstimate e = findFouling(d, {fouled.rating.tubeOutletTemperature, shellOut});
    ASSERT_TRUE(e.reproduced) << e.message;
    ASSERT_TRUE(e.heatBalanceMismatch && e.measuredTubeDuty && e.measuredShellDuty);
    EXPECT_TRUE(e.heatBalanceMismatched);
    EXPECT_NEAR(*e.heatBalanceMismatch, 1 / 1.06 - 1, 1e-9);
    EXPECT_NE(e.message.find("mean"), std::string::npos) << e.message;
    EXPECT_DOUBLE_EQ(e.fittedDuty, (*e.measuredTubeDuty + *e.measuredShellDuty) / 2);
    // More duty than the water's alone: less fouling than was rated.
    EXPECT_LT(e.totalFouling, 1e-2);
    // Within the tolerance the same measurements are consistent.
    FoulingOptions loose;
    loose.heatBalanceTolerance = 0.2;
    EXPECT_FALSE(findFouling(d, {fouled.rating.tubeOutletTemperature, shellOut}, loose)
                     .heatBalanceMismatched);
}

TEST(Monitoring, Refusals) {
    const CaseDocument d = example(1, 1);
    CaseDocument equal = d;
    equal.input.shellInletTemperature = equal.input.tubeInletTemperature;
    struct Row {
        std::function<void()> call;
        const char* argument;
        const char* why;
    };
    const Row rows[] = {
        {[&] { findFouling(d, {}); }, "measurements", "nothing measured"},
        {[&] {
             findFouling(d, {19.0, std::nullopt});
         },
         "tubeOutletTemperature", "water leaves colder than it came"},
        {[&] {
             findFouling(d, {std::nullopt, 95.0});
         },
         "shellOutletTemperature", "oil leaves hotter than it came"},
        {[&] {
             findFouling(d, {NAN, std::nullopt});
         },
         "tubeOutletTemperature", "not a number"},
        {[&] {
             findFouling(equal, {20.0, std::nullopt});
         },
         "exchanger", "equal inlets"},
        {[&] {
             FoulingOptions o;
             o.insideShare = 1.5;
             findFouling(d, {30.0, std::nullopt}, o);
         },
         "insideShare", "more than all of it inside"},
        {[&] {
             FoulingOptions o;
             o.relativeTolerance = 0;
             findFouling(d, {30.0, std::nullopt}, o);
         },
         "relativeTolerance", "a bisection that never ends"},
    };
    for (const Row& row : rows) {
        try {
            row.call();
            ADD_FAILURE() << row.why << ": not refused";
        } catch (const InvalidArgument& e) {
            EXPECT_EQ(e.argument(), row.argument) << row.why << ": " << e.what();
        }
    }
}

}  // namespace
}  // namespace hxrate
