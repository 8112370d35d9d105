#include "format/number_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cfenv>
#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

namespace hxrate {
namespace {

constexpr int kMaxSignificantDigits = 25;

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// The digit d in bases up to 36 (0-9, then a-z in either case), or 36 and
// above when c is no digit at all.
int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

// [sign]digits, [sign]base#digits or [sign]#digits (base 16); the value,
// with its sign, must fit in 32 bits.
Conversion toInt32(std::string_view text, std::int32_t& out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos) {
        const std::string_view baseText = text.substr(0, hash);
        if (baseText.empty()) {
            base = 16;
        } else {
            if (baseText.size() > 2 || !std::all_of(baseText.begin(), baseText.end(), isDigit))
                return Conversion::malformed;
            base = 0;
            for (const char c : baseText) base = base * 10 + (c - '0');
            if (base < 2 || base > 36) return Conversion::malformed;
        }
        text.remove_prefix(hash + 1);
    }
    if (text.empty()) return Conversion::malformed;

    // Keep checking every digit after the magnitude is too large, so that a
    // stray character is reported as what it is.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t magnitude = 0;
    bool tooLarge = false;
    for (const char c : text) {
        const int d = digitValue(c);
        if (d >= base) return Conversion::malformed;
        if (!tooLarge) {
            magnitude =
                magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            tooLarge = magnitude > limit;
        }
    }
    if (tooLarge) return Conversion::tooLarge;
    out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<std::int32_t>(magnitude);
    return Conversion::ok;
}

// [sign] digits with at most one decimal point [exponent], where the
// exponent is E, e, D or d with an optional sign, or a sign alone, followed
// by at least one digit. At most 25 significant digits count; the decimal
// value they give is then rounded once to the nearest double.
Conversion toDouble(std::string_view text, double& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    // value = significant x 10^scale
    std::string significant;
    std::int64_t scale = 0;
    bool sawDigit = false;
    bool sawPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !sawPoint) {
            sawPoint = true;
            continue;
        }
        if (!isDigit(c)) break;
        sawDigit = true;
        if (significant.empty() && c == '0') {
            if (sawPoint) --scale;  // leading zero: not significant
        } else if (significant.size() < kMaxSignificantDigits) {
            significant += c;
            if (sawPoint) --scale;
        } else if (!sawPoint) {
            ++scale;  // dropped digit left of the point
        }
    }
    if (!sawDigit) return Conversion::malformed;

    if (i < text.size()) {
        const char c = text[i];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        } else if (c == '+' || c == '-') {
            ++i;
        } else {
            return Conversion::malformed;
        }
        const bool exponentNegative = text[i - 1] == '-';
        if (i == text.size()) return Conversion::malformed;
        // The exponent saturates far beyond the range of a double, so that no
        // length of exponent digits can overflow the arithmetic.
        constexpr std::int64_t kExponentCap = 1'000'000'000'000;
        std::int64_t exponent = 0;
        for (; i < text.size(); ++i) {
            if (!isDigit(text[i])) return Conversion::malformed;
            exponent = std::min(kExponentCap, exponent * 10 + (text[i] - '0'));
        }
        scale += exponentNegative ? -exponent : exponent;
    }

    if (significant.empty()) {
        out = negative ? -0.0 : 0.0;
        return Conversion::ok;
    }
    // Decimal exponent of the leading digit: beyond +-400 the value is far
    // outside the range of a double, whatever its digits.
    const std::int64_t leading = scale + static_cast<std::int64_t>(significant.size()) - 1;
    if (leading > 400) return Conversion::tooLarge;
    if (leading < -400) return Conversion::tooSmall;

    std::string decimal = negative ? "-" : "";
    decimal += significant;
    decimal += 'e';
    decimal += std::to_string(scale);

    // Parsing must leave no trace in the floating-point flags that the run
    // checks during its arithmetic.
    std::fexcept_t flags;
    std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
    std::fesetexceptflag(&flags, FE_ALL_EXCEPT);

    if (error == std::errc::result_out_of_range) {
        return leading > 0 ? Conversion::tooLarge : Conversion::tooSmall;
    }
    if (error != std::errc() || end != decimal.data() + decimal.size()) {
        return Conversion::malformed;  // cannot happen: the text is built above
    }
    out = value;
    return Conversion::ok;
}

}  // namespace hxrate
