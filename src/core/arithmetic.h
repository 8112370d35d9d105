// Floating-point faults end the run at once. The model and the solver check
// the processor's sticky exception flags after each formula, before its
// result is compared or used further, so no infinity or NaN ever travels on.
#pragma once

#include <cstdint>

namespace hxrate {

// Clears the division-by-zero, invalid and overflow flags.
void clearArithmeticFlags();

// Throws ArithmeticError naming `what` when a division by zero, an invalid
// operation or an overflow has happened since the flags were last cleared
// (mathematical functions raise these on domain and pole errors). Returns
// `value` otherwise. Kept out of line so that the compiler must finish the
// formula that produced `value` before the flags are read.
double checked(double value, const char* what);

// The same check with no value to hand back (after a loop or a group).
void checkArithmetic(const char* what);

// Called first wherever a CaseRejected is caught: a fault raised before the
// check that rejected the case ends the run as that ArithmeticError instead;
// with none, the rejection stands.
void checkFaultBeforeRejection();

// Truncation toward zero to a 32-bit integer; a value that does not fit is
// an arithmetic failure.
std::int32_t truncateToInt32(double value, const char* what);

}  // namespace hxrate
