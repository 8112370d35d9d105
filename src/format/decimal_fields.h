// Exact decimal fields: the decimal form of a double and the fixed and
// scientific fields of a laid-out line.
#pragma once

#include <string>

namespace hxrate {

// The largest count, width or number of decimals a layout may give.
inline constexpr int kMaxLayoutNumber = 9999;

// The decimal form of a double shared by both number fields:
// value = 0.d1d2d3... x 10^exponent, at most 17 digits, trailing zeros
// dropped; zero (of either sign) is digits "0", exponent 0, not negative.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

DecimalDigits toDecimalDigits(double value);

// Fw.d and ESw.d fields, w characters wide (asterisks when too wide).
std::string formatFixed(double value, int width, int decimals);
std::string formatScientific(double value, int width, int decimals);

// The same fields appended to a line being built.
void appendFixed(std::string& out, double value, int width, int decimals);
void appendScientific(std::string& out, double value, int width, int decimals);

}  // namespace hxrate
