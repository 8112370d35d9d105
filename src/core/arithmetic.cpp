#include "core/arithmetic.h"

#include <cfenv>
#include <string>

#include "core/failures.h"

namespace hxrate {
namespace {

constexpr int faultFlags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

[[noreturn]] void fail(Fault fault, const char* what) {
    std::feclearexcept(faultFlags);
    throw ArithmeticError(fault, what);
}

}  // namespace

void clearArithmeticFlags() {
    // Testing is far cheaper than clearing (which rewrites the whole
    // floating-point environment), and the flags are nearly always clear.
    if (std::fetestexcept(faultFlags) != 0) std::feclearexcept(faultFlags);
}

[[gnu::noinline]] double checked(double value, const char* what) {
    checkArithmetic(what);
    return value;
}

[[gnu::noinline]] void checkArithmetic(const char* what) {
    int raised = std::fetestexcept(faultFlags);
    if (raised == 0) return;
    if (raised & FE_INVALID) fail(Fault::invalidOperation, what);
    if (raised & FE_DIVBYZERO) fail(Fault::divisionByZero, what);
    fail(Fault::overflow, what);
}

void checkFaultBeforeRejection() {
    checkArithmetic("the values of the check that rejected the case");
}

std::int32_t truncateToInt32(double value, const char* what) {
    checkArithmetic(what);
    // Both bounds are exact doubles; anything strictly between them
    // truncates into range.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        fail(Fault::integerConversion, what);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace hxrate
