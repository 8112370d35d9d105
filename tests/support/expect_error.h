// What a test needs to ask of code that may end with an hxrate error,
// without repeating try/catch in every test.
#pragma once

#include <optional>
#include <string>

#include "hxrate/errors.h"

namespace hxrate::testing {

// The error of kind E that `action` throws, or nothing when it returns.
// An error of another kind propagates and fails the test.
template <class E, class Action>
std::optional<E> errorOf(Action&& action) {
    try {
        action();
    } catch (const E& error) {
        return error;
    }
    return std::nullopt;
}

// The run-log message of the check that rejects `action`; "" when none does.
template <class Action>
std::string rejectionOf(Action&& action) {
    std::optional<CaseRejected> rejected = errorOf<CaseRejected>(action);
    return rejected ? std::string(rejected->message()) : std::string();
}

// Whether `action` ends with an arithmetic error.
template <class Action>
bool failsArithmetic(Action&& action) {
    return errorOf<ArithmeticError>(action).has_value();
}

}  // namespace hxrate::testing
