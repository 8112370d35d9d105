#include "run/arithmetic.h"

#include <cfenv>
#include <string>

#include "run/failures.h"

namespace hxrate {
namespace {

constexpr int faultFlags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

[[noreturn]] void fail(int number, const char* reason, const char* what) {
    std::feclearexcept(faultFlags);
    raise<ArithmeticFailure>(number, std::string(reason) + " in " + what);
}

}  // namespace

void clearArithmeticFlags() {
    std::feclearexcept(faultFlags);
}

[[gnu::noinline]] double checked(double value, const char* what) {
    checkArithmetic(what);
    return value;
}

[[gnu::noinline]] void checkArithmetic(const char* what) {
    int raised = std::fetestexcept(faultFlags);
    if (raised == 0) return;
    if (raised & FE_INVALID)
        fail(errorNumber::invalidOperation, "invalid floating-point operation", what);
    if (raised & FE_DIVBYZERO)
        fail(errorNumber::divisionByZero, "floating-point division by zero", what);
    fail(errorNumber::overflow, "floating-point overflow", what);
}

std::int32_t truncateToInt32(double value, const char* what) {
    checkArithmetic(what);
    // Both bounds are exact doubles; anything strictly between them
    // truncates into range.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        fail(errorNumber::integerConversion, "real value does not fit a 32-bit integer", what);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace hxrate
