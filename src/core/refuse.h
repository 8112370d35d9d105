// How the design functions and the extended rating turn down an argument
// outside their domain: InvalidArgument naming it, readable alone.
#pragma once

#include <string>

#include "hxrate/errors.h"

namespace hxrate {

// Refuses `argument` (the parameter or field name) for the reason `what`.
[[noreturn]] inline void refuse(const char* argument, const std::string& what) {
    throw InvalidArgument(argument, what);
}

}  // namespace hxrate
