// A caller stops a rating through RateOptions::cancel; an unset flag changes
// no bit of the result. The storage check counts the rating's peak per node.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hxrate/hxrate.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

// The shipped example: counter-current, 30 elements.
Case example(std::int32_t type, double elementLength, double factor = 0.5) {
    Case c = parseCase(
        "1 1\n2 0.016\n3 1.5e-6\n4 3.0\n5 0.1\n6 0.30\n7 1\n8 40\n9 0.025\n10 0.025\n11 0\n12\n"
        "13 Copper 380.0 0.001\n14\n15 Water 998.0 0.001 0.6 4180.0 0.002\n"
        "16 EngineOil 870.0 0.08 0.14 2000.0 0.003\n17\n18 20.0\n19 90.0\n20\n21 0.5\n");
    c.exchangerType = type;
    c.elementLength = elementLength;
    c.correctionFactor = factor;
    if (isCrossFlow(type)) c.baffleCount = 9;
    return c;
}

void expectSameBits(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a[i]), std::bit_cast<std::uint64_t>(b[i]))
            << what << " node " << i;
}

// Grids of several check intervals, so that a march crosses its looks at
// the flag, for every type (the exact shooting: a few passes).
TEST(Cancellation, AnUnsetFlagChangesNoBit) {
    for (std::int32_t type : {0, 1, 2, 3}) {
        Case c = example(type, 3.0 / 200000);
        RateOptions plain;
        plain.shooting = ShootingMethod::exact;
        std::atomic<bool> flag{false};
        RateOptions watched = plain;
        watched.cancel = &flag;
        Rating a = rate(c, plain);
        Rating b = rate(c, watched);
        EXPECT_EQ(a.shootingPasses, b.shootingPasses) << type;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a.shellOutletTemperature),
                  std::bit_cast<std::uint64_t>(b.shellOutletTemperature));
        expectSameBits(a.profile.location, b.profile.location, "location");
        expectSameBits(a.profile.tube, b.profile.tube, "tube");
        expectSameBits(a.profile.shell, b.profile.shell, "shell");
    }
}

TEST(Cancellation, AFlagSetBeforeStopsEveryType) {
    std::atomic<bool> flag{true};
    RateOptions options;
    options.cancel = &flag;
    for (std::int32_t type : {0, 1, 2, 3}) {
        auto e = testing::errorOf<Cancelled>([&] { rate(example(type, 0.1), options); });
        ASSERT_TRUE(e) << type;
        EXPECT_EQ(e->code(), errorNumber::cancelled);
        EXPECT_TRUE(errorNumber::isCancelled(e->code()));
    }
    EXPECT_TRUE(testing::errorOf<Cancelled>([&] { analyseShooting(example(1, 0.1), options); }));
    Extensions fouled;
    fouled.foulingInside = 1e-4;  // an extended rating that marches itself
    EXPECT_TRUE(
        testing::errorOf<Cancelled>([&] { rateExtended(example(1, 0.1), fouled, options); }));
}

// Every call that re-rates the case passes the flag on and lets Cancelled
// through, rather than taking it for a re-rating that failed.
TEST(Cancellation, AFlagSetBeforeStopsEveryReRating) {
    std::atomic<bool> flag{true};
    RateOptions options;
    options.cancel = &flag;
    Extensions twoPasses;
    twoPasses.tubePasses = 2;  // outlets by P-NTU; the case's own rating for the fouling allowed
    const Case counter = example(1, 0.1);
    const Case coCurrent = example(0, 0.1);
    const Rating rated = rate(counter);
    const Rating coRated = rate(coCurrent);
    auto assessed = [&](const Case& c, const Rating& r, int grids, ShootingAnalysis shooting) {
        AssessOptions a;
        a.rating = options;
        a.grids = grids;
        a.shooting = shooting;
        assess(c, r, a);
    };
    // Near the tube side's laminar limit: the correlation-switch check re-rates.
    Case nearSwitch = coCurrent;
    nearSwitch.tubeFluid.volumetricFlow *= 2250 / coRated.tube.reynolds;
    const Rating switchRated = rate(nearSwitch);
    struct Row {
        std::function<void()> call;
        const char* why;
    } rows[] = {
        {[&] { rateExtended(counter, twoPasses, options); }, "rateExtended's own rating"},
        {[&] { assessed(counter, rated, 2, ShootingAnalysis::whenSlow); }, "the grid estimate"},
        {[&] { assessed(counter, rated, 0, ShootingAnalysis::always); }, "the shooting advice"},
        {[&] { assessed(nearSwitch, switchRated, 0, ShootingAnalysis::whenSlow); },
         "the correlation-switch check"},
    };
    for (const Row& row : rows) EXPECT_TRUE(testing::errorOf<Cancelled>(row.call)) << row.why;
}

// A million elements at a small correction factor shoot for minutes.
TEST(Cancellation, AFlagSetWhileMarchingStopsWithinMilliseconds) {
    for (std::int32_t type : {1, 3}) {
        std::atomic<bool> flag{false};
        RateOptions options;
        options.cancel = &flag;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            flag = true;
        });
        auto start = std::chrono::steady_clock::now();
        bool cancelled = testing::errorOf<Cancelled>([&] {
                             rate(example(type, 3.0e-6, 0.00043), options);
                         }).has_value();
        stopper.join();
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(cancelled) << type;
        EXPECT_LT(took, std::chrono::seconds(2)) << type;
    }
}

// The check counts 24 bytes a node: exactly enough passes, a byte less is
// refused with the need and the limit, the need the larger.
TEST(StorageCheck, CountsThePeakOfARating) {
    Case c = example(0, 0.1);  // 31 nodes
    RateOptions options;
    options.storageLimitBytes = 31 * 24;
    EXPECT_EQ(rate(c, options).profile.tube.size(), 31u);
    options.storageLimitBytes = 31 * 24 - 1;
    EXPECT_TRUE(testing::errorOf<ResourceError>([&] { rate(c, options); }));

    options.storageLimitBytes = std::uint64_t{100} << 20;  // 100 MiB
    auto e = testing::errorOf<ResourceError>([&] { rate(example(0, 3.0 / 5e6), options); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code(), errorNumber::storageRefused);
    EXPECT_EQ(std::string(e->what()),
              "the temperature profile of 5000001 nodes needs 115 MiB, more than the limit of "
              "100 MiB (element length too small for the tube length)");
}

}  // namespace
}  // namespace hxrate
