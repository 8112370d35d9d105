// Ratings that run at the same time share a StorageBudget: each takes its
// profile's storage for its run and gives it back, and one that finds too
// little left is refused, whichever kind of rating it is.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "hxrate/hxrate.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

// The shipped example, counter-current: 31 nodes of 24 bytes.
Case example() {
    return parseCase(
        "1 1\n2 0.016\n3 1.5e-6\n4 3.0\n5 0.1\n6 0.30\n7 1\n8 40\n9 0.025\n10 0.025\n11 0\n12\n"
        "13 Copper 380.0 0.001\n14\n15 Water 998.0 0.001 0.6 4180.0 0.002\n"
        "16 EngineOil 870.0 0.08 0.14 2000.0 0.003\n17\n18 20.0\n19 90.0\n20\n21 0.5\n");
}
constexpr std::uint64_t profile = 31 * 24;

// Another rating holds part of the budget: the one asked for fits beside
// it, or, a byte more held, is refused with the shared limit named; the
// budget is as it was found afterwards either way.
TEST(StorageBudget, TwoRatingsThatDoNotFitTogether) {
    Extensions fouled;
    fouled.foulingInside = 1e-4;  // the extended march
    Extensions twoShells;
    twoShells.shells = 2;  // P-NTU
    const struct {
        const char* why;
        std::function<void(const RateOptions&)> rating;
    } rows[] = {
        {"rate", [](const RateOptions& o) { rate(example(), o); }},
        {"the shooting map", [](const RateOptions& o) { analyseShooting(example(), o); }},
        {"the extended march", [&](const RateOptions& o) { rateExtended(example(), fouled, o); }},
        {"P-NTU", [&](const RateOptions& o) { rateExtended(example(), twoShells, o); }},
    };
    for (const auto& row : rows) {
        StorageBudget budget(profile + 1000);
        const RateOptions options{.storageBudget = &budget};
        StorageReservation other(&budget);
        ASSERT_TRUE(other.reserve(1000));
        EXPECT_NO_THROW(row.rating(options)) << row.why;
        EXPECT_EQ(budget.reserved(), 1000u) << row.why;

        ASSERT_TRUE(other.reserve(1001));
        auto refused = testing::errorOf<ResourceError>([&] { row.rating(options); });
        ASSERT_TRUE(refused) << row.why;
        EXPECT_EQ(refused->code(), errorNumber::storageRefused) << row.why;
        EXPECT_NE(std::string(refused->what()).find("that the ratings running at the same time"),
                  std::string::npos)
            << refused->what();
        EXPECT_EQ(budget.reserved(), 1001u) << row.why;
        other.reset();
        EXPECT_EQ(budget.reserved(), 0u) << row.why;
    }
}

// The assessment's finer grid (61 nodes) takes its storage from the same
// budget: refused a byte short, formed with exactly enough.
TEST(StorageBudget, TheAssessmentsFinerGridsShareIt) {
    const Case c = example();
    const Rating r = rate(c);
    for (std::uint64_t limit : {61 * 24 - 1, 61 * 24}) {
        StorageBudget budget(limit);
        AssessOptions options;
        options.rating.storageBudget = &budget;
        const Assessment a = assess(c, r, options);
        EXPECT_EQ(a.discretisation.formed, limit == 61 * 24) << limit << a.discretisation.note;
        EXPECT_EQ(budget.reserved(), 0u);
    }
}

// A reservation grows to what it is asked for, never beyond the budget,
// and gives everything back when it goes; without a budget it always holds.
TEST(StorageBudget, ReservationsAddUpToTheLimit) {
    StorageBudget budget(100);
    {
        StorageReservation a(&budget), b(&budget);
        EXPECT_TRUE(a.reserve(60));
        EXPECT_TRUE(a.reserve(40));  // holds 60 already
        EXPECT_FALSE(b.reserve(41));
        EXPECT_TRUE(b.reserve(40));
        EXPECT_FALSE(a.reserve(61));
        EXPECT_EQ(a.bytes(), 60u);
        StorageReservation moved = std::move(a);
        EXPECT_EQ(budget.reserved(), 100u);
    }
    EXPECT_EQ(budget.reserved(), 0u);
    EXPECT_TRUE(StorageReservation().reserve(UINT64_MAX));
}

}  // namespace
}  // namespace hxrate
