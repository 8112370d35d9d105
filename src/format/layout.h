// Laid-out report lines: layout strings such as "(1X,A,1X,ES10.3)" and the
// lines they lay out (the number fields are in decimal_fields.h).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "format/decimal_fields.h"

namespace hxrate {

struct LayoutElement {
    enum class Kind { skip, text, fixed, scientific, literal };
    Kind kind;
    int count = 0;        // skip: number of blanks
    int width = 0;        // fixed, scientific
    int decimals = 0;     // fixed, scientific
    std::string literal;  // literal
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
