// The ways a run can end early. Model, solver and reader code throw one of
// these to say what went wrong; only the run driver decides what that means
// for the files, the console and the exit status.
#pragma once

#include <string>
#include <string_view>

namespace hxrate {

// Numbers of the "run-time error N" diagnostics on standard error.
namespace errorNumber {
constexpr int caseFileUnreadable = 10;
constexpr int endOfFile = 11;
constexpr int malformedNumber = 12;
constexpr int numberOutOfRange = 13;
constexpr int delimitedNumber = 14;
constexpr int badRepeatCount = 15;
constexpr int valueTooLong = 16;
constexpr int divisionByZero = 20;
constexpr int invalidOperation = 21;
constexpr int overflow = 22;
constexpr int integerConversion = 23;
constexpr int storageRefused = 30;
constexpr int fileNotWritable = 31;
}  // namespace errorNumber

// A check rejected the case; the message goes to the run log.
struct CaseRejected {
    std::string_view message;
};

// A run that cannot go on: the diagnostic goes to standard error and the
// exit status is 1. The kinds below are caught as one.
struct RunFailure {
    int code;
    std::string diagnostic;  // "run-time error N: ..." and the details
};

// The case file could not be read as a case: it ended early or held a value
// that is not of its item's kind.
struct InputFailure : RunFailure {};

// A floating-point division by zero, invalid operation or overflow, a domain
// error of a mathematical function, or a real that does not fit an integer.
struct ArithmeticFailure : RunFailure {};

// The machine refused something the run needs: memory for the grid, a file
// that cannot be created or written.
struct ResourceFailure : RunFailure {};

// Raises a failure of kind F with the diagnostic "run-time error N: text".
template <class F>
[[noreturn]] void raise(int number, const std::string& text) {
    throw F{{number, "run-time error " + std::to_string(number) + ": " + text}};
}

// Rejects the case with one of the run log messages; never returns.
[[noreturn]] inline void terminateRun(std::string_view message) {
    throw CaseRejected{message};
}

}  // namespace hxrate
