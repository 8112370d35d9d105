// Laid-out report lines: layout strings such as "(1X,A,1X,ES10.3)" and the
// exact decimal rendering of doubles in fixed and scientific fields.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace hxrate {

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

struct LayoutElement {
    enum class Kind { Skip, Text, Fixed, Scientific, Literal };
    Kind kind;
    int count = 0;        // Skip: number of blanks
    int width = 0;        // Fixed, Scientific
    int decimals = 0;     // Fixed, Scientific
    std::string literal;  // Literal
};

// A parsed layout string, repeat groups expanded in place.
struct Layout {
    std::vector<LayoutElement> elements;
};

Layout parseLayout(std::string_view layoutString);

using LayoutItem = std::variant<std::string_view, double>;

// The characters of one laid-out line, without its line end.
std::string layOutLine(const Layout& layout, std::span<const LayoutItem> items);

}  // namespace hxrate
