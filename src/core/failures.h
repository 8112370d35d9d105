// The ways a rating can end early. Model, solver and reader code throw one
// of the public error types to say what went wrong; only the program's
// driver decides what that means for files, the console and the exit status.
#pragma once

#include <string>

#include "hxrate/errors.h"

namespace hxrate {

// Rejects the case; never returns.
[[noreturn]] inline void terminateRun(Check check) {
    throw CaseRejected(check);
}

}  // namespace hxrate
