#include "core/arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "cli/driver.h"
#include "core/failures.h"
#include "core/rate.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

// volatile keeps the compiler from folding the faulting operations away.
volatile double zero = 0.0;
volatile double one = 1.0;

TEST(ArithmeticCheck, FaultsEndTheRunUnderflowDoesNot) {
    struct Row {
        double (*formula)();
        int number;  // 0: no failure
        const char* why;
    } rows[] = {
        {[] { return one / zero; }, errorNumber::divisionByZero, "division by zero"},
        {[] { return zero / zero; }, errorNumber::invalidOperation, "0/0"},
        {[] { return std::sqrt(-one); }, errorNumber::invalidOperation,
         "root of a negative number"},
        {[] { return std::log(zero); }, errorNumber::divisionByZero, "pole of the logarithm"},
        {[] { return std::pow(-one, 0.5); }, errorNumber::invalidOperation,
         "real power of a negative base"},
        {[] { return std::exp(1000 * one); }, errorNumber::overflow, "overflow"},
        {[] { return std::exp(-1000 * one); }, 0, "underflow to zero is silent"},
        {[] { return 1e-310 * one; }, 0, "subnormal results are silent"},
    };
    for (const Row& row : rows) {
        clearArithmeticFlags();
        double value = row.formula();
        auto fault = testing::errorOf<ArithmeticError>([&] { checked(value, "a test formula"); });
        EXPECT_EQ(fault ? fault->code() : 0, row.number) << row.why;
        if (fault) {
            EXPECT_EQ(
                diagnosticOf(*fault).rfind("run-time error " + std::to_string(row.number) + ":", 0),
                0u);
        }
    }
    clearArithmeticFlags();
}

TEST(ArithmeticCheck, TruncationToA32BitInteger) {
    struct Row {
        double value;
        bool fits;
        std::int32_t expected;
        const char* why;
    } rows[] = {
        {-2.5, true, -2, "toward zero"},
        {9.99, true, 9, "toward zero"},
        {2147483647.9, true, 2147483647, "largest count"},
        {-2147483648.9, true, -2147483647 - 1, "smallest count"},
        {2147483648.0, false, 0, "one past the largest"},
        {-2147483649.0, false, 0, "one below the smallest"},
        {3e12, false, 0, "far beyond"},
        {-3e12, false, 0, "far below"},
    };
    for (const Row& row : rows) {
        clearArithmeticFlags();
        if (row.fits) {
            EXPECT_EQ(truncateToInt32(row.value, "a count"), row.expected) << row.why;
        } else {
            EXPECT_THROW(truncateToInt32(row.value, "a count"), ArithmeticError) << row.why;
        }
    }
}

TEST(ArithmeticCheck, AFaultRaisedBeforeARejectingCheckDecides) {
    // The program's driver applies the rule itself; rate() and the extended
    // rating through rejectWithPartialRating. Both must end the same way.
    struct Row {
        bool faultPending;
        int number;  // 0: the rejection stands
        const char* why;
    } rows[] = {
        {false, 0, "no fault: the rejection stands, with the rating so far"},
        {true, errorNumber::divisionByZero, "a division by zero before the check decides"},
    };
    for (const Row& row : rows) {
        auto raise = [&] {
            clearArithmeticFlags();
            [[maybe_unused]] volatile double infinite = row.faultPending ? one / zero : one;
        };
        raise();
        auto driverFault = testing::errorOf<ArithmeticError>([] { checkFaultBeforeRejection(); });
        CaseRecords r;
        r.rating.stage = Stage::shellFlow;
        raise();
        std::optional<CaseRejected> rejected;
        auto ratingFault = testing::errorOf<ArithmeticError>([&] {
            rejected = testing::errorOf<CaseRejected>(
                [&] { rejectWithPartialRating(CaseRejected(Check::pecletRange), r); });
        });
        EXPECT_EQ(driverFault ? driverFault->code() : 0, row.number) << row.why;
        EXPECT_EQ(ratingFault ? ratingFault->code() : 0, row.number) << row.why;
        ASSERT_EQ(rejected.has_value(), row.number == 0) << row.why;
        if (rejected) {
            EXPECT_EQ(rejected->check(), Check::pecletRange);
            ASSERT_NE(rejected->partial(), nullptr);
            EXPECT_EQ(rejected->partial()->stage, Stage::shellFlow);
        }
    }
    clearArithmeticFlags();
}

}  // namespace
}  // namespace hxrate
