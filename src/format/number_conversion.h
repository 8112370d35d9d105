// Numbers of the case file: the texts of integer and real values turned into
// 32-bit integers and doubles, exactly and with every failure told apart.
#pragma once

#include <cstdint>
#include <string_view>

namespace hxrate {

enum class Conversion { ok, malformed, tooLarge, tooSmall };

// [sign]digits, [sign]base#digits or [sign]#digits (base 16); the value,
// with its sign, must fit in 32 bits.
Conversion toInt32(std::string_view text, std::int32_t& out);

// [sign] digits with at most one decimal point [exponent]; at most 25
// significant digits count, and their decimal value is rounded once to the
// nearest double.
Conversion toDouble(std::string_view text, double& out);

}  // namespace hxrate
