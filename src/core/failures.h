// The ways a rating can end early. Model, solver and reader code throw one
// of the public error types to say what went wrong; only the program's
// driver decides what that means for files, the console and the exit status.
#pragma once

#include <string>

#include "hxrate/errors.h"

namespace hxrate {

// Numbers of the "run-time error N" diagnostics, carried by Error::code().
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

// Rejects the case; never returns.
[[noreturn]] inline void terminateRun(Check check) {
    throw CaseRejected(check);
}

}  // namespace hxrate
