// The texts a rejected case writes to the run log, exactly as they stand.
#pragma once

#include <string_view>

namespace hxrate::messages {

inline constexpr std::string_view reduceBaffles = "Reduce No. of baffles or tube element length";
inline constexpr std::string_view tubingDoesNotFit = "Tubing does not fit into shell";
inline constexpr std::string_view innerFlowParameters = "Error in inner flow parameters";
inline constexpr std::string_view internalFrictionDivergence =
    "Divergence in internal friction factor.            \t\t\t\tCheck innermost surface parameters";
inline constexpr std::string_view nusseltRange = "Inner flow is out of Nusselt Number valid range";
inline constexpr std::string_view bundleArrangement = "Select correct tube bundle arrangement";
inline constexpr std::string_view stagnantFlow = "Stagnant outer flow. No forced convection";
inline constexpr std::string_view pecletRange = "Peclet Number < 0.2, Out of this product scope";
inline constexpr std::string_view externalFrictionDivergence =
    "Divergence in external friction factor.            \t\t\t\t\tCheck shell surface parameters";
inline constexpr std::string_view reduceCorrectionFactor = "Reduce correction factor";
inline constexpr std::string_view shellProfileDivergence =
    "Divergence in shell temperature profile";
inline constexpr std::string_view exchangerSelection = "Please insert correct exchanger selection";
// Refusals of grids the march cannot hold.
inline constexpr std::string_view baffleCountMinusOne = "Baffle count of -1 is not allowed";
inline constexpr std::string_view negativeElementCount = "Tube element length gives no elements";
inline constexpr std::string_view negativeBaffleCount = "Negative No. of baffles in cross flow";

inline constexpr std::string_view calculationTerminated = "Calculation Terminated !!!";
inline constexpr std::string_view calculationSucceeded = "Calculation processed successfully";

}  // namespace hxrate::messages
