#include <array>
#include <utility>

#include "core/failures.h"
#include "core/messages.h"
#include "hxrate/errors.h"
#include "hxrate/rating.h"

namespace hxrate {
namespace {

struct CheckText {
    std::string_view name;
    std::string_view message;
};

constexpr std::array<CheckText, 17> checkTexts{{
    {"reduce-baffles", messages::reduceBaffles},
    {"baffle-count-minus-one", messages::baffleCountMinusOne},
    {"tubing-fit", messages::tubingDoesNotFit},
    {"tube-flow-parameters", messages::innerFlowParameters},
    {"tube-friction-divergence", messages::internalFrictionDivergence},
    {"tube-nusselt-range", messages::nusseltRange},
    {"cross-flow-arrangement", messages::bundleArrangement},
    {"stagnant-flow", messages::stagnantFlow},
    {"peclet-range", messages::pecletRange},
    {"bank-arrangement", messages::bundleArrangement},
    {"shell-friction-divergence", messages::externalFrictionDivergence},
    {"shell-nusselt-range", messages::nusseltRange},
    {"shooting-grows", messages::reduceCorrectionFactor},
    {"shooting-limit", messages::shellProfileDivergence},
    {"exchanger-selection", messages::exchangerSelection},
    {"negative-element-count", messages::negativeElementCount},
    {"negative-baffle-count", messages::negativeBaffleCount},
}};

const CheckText& textOf(Check check) {
    return checkTexts[static_cast<std::size_t>(check)];
}

std::string inputWhat(const std::string& reason, const std::string& file, int caseLine,
                      std::uint64_t line, std::uint64_t column, const std::string& text,
                      bool hasText) {
    std::string what = reason;
    if (line == 0) return what;
    // A case document's place is its field (in the reason) and its line:
    // it has no case line to name.
    what += "\n  file " + file +
            (caseLine > 0 ? ", case line " + std::to_string(caseLine) : std::string()) + ", line " +
            std::to_string(line) + ", column " + std::to_string(column);
    if (hasText) what += ": \"" + text + "\"";
    return what;
}

std::string_view faultReason(Fault fault) {
    switch (fault) {
        case Fault::divisionByZero:
            return "floating-point division by zero";
        case Fault::invalidOperation:
            return "invalid floating-point operation";
        case Fault::overflow:
            return "floating-point overflow";
        default:
            return "real value does not fit a 32-bit integer";
    }
}

int faultCode(Fault fault) {
    switch (fault) {
        case Fault::divisionByZero:
            return errorNumber::divisionByZero;
        case Fault::invalidOperation:
            return errorNumber::invalidOperation;
        case Fault::overflow:
            return errorNumber::overflow;
        default:
            return errorNumber::integerConversion;
    }
}

}  // namespace

std::string_view checkName(Check check) {
    return textOf(check).name;
}

std::string_view checkMessage(Check check) {
    return textOf(check).message;
}

CaseRejected::CaseRejected(Check check, std::shared_ptr<const Rating> partial)
    : Error(0, std::string(checkMessage(check))), check_(check), partial_(std::move(partial)) {}

InputError::InputError(int code, std::string reason, std::string file, int caseLine,
                       std::uint64_t line, std::uint64_t column, std::string text, bool hasText)
    : Error(code, inputWhat(reason, file, caseLine, line, column, text, hasText)),
      reason_(std::move(reason)),
      file_(std::move(file)),
      caseLine_(caseLine),
      line_(line),
      column_(column),
      text_(std::move(text)) {}

ArithmeticError::ArithmeticError(Fault fault, std::string quantity)
    : Error(faultCode(fault), std::string(faultReason(fault)) + " in " + quantity),
      fault_(fault),
      quantity_(std::move(quantity)) {}

}  // namespace hxrate
