// Exact decimal fields: the fixed (Fw.d) and scientific (ESw.d) renderings
// of doubles.
//
// Every number field starts from the same decimal form of the double: its
// exact decimal expansion cut after 18 significant digits and rounded half up
// to 17. The field then rounds that digit string once more, again half up, to
// the digits it shows. Both roundings work on decimal digits, never on the
// binary value, so 20.125 shows as 20.13 and 0.995 as 1.00.

#include "format/decimal_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <system_error>

namespace hxrate {

namespace {

constexpr int kKeptDigits = 17;       // digits of the decimal form
constexpr int kGeneratedDigits = 18;  // exact digits it is rounded from
constexpr int kMaxShownDigits = 16;   // significant digits a field shows

// The decimal form without heap storage, for the per-field hot path.
// length 0 stands for a value that rounded away to zero.
struct Decimal {
    bool negative = false;
    std::array<char, kGeneratedDigits> digits{};
    int length = 0;
    int exponent = 0;  // value = 0.d1d2d3... x 10^exponent

    bool isZero() const { return length == 0 || digits[0] == '0'; }
    // The digit at a 0-based position; positions past the string are zeros.
    char digitAt(int position) const {
        return position >= 0 && position < length ? digits[position] : '0';
    }
};

Decimal zeroDecimal() {
    Decimal zero;
    zero.digits[0] = '0';
    zero.length = 1;
    return zero;
}

// Rounds the digit string half up to at most `count` digits. A carry out of
// the first digit leaves "1" and raises the exponent; count 0 rounds on the
// first digit and leaves either "1" one place up or nothing (zero).
void roundToDigits(Decimal& decimal, int count) {
    if (decimal.length <= count) return;
    const bool roundUp = decimal.digits[count] >= '5';
    decimal.length = count;
    if (!roundUp) return;
    for (int i = count - 1; i >= 0; --i) {
        if (decimal.digits[i] != '9') {
            ++decimal.digits[i];
            return;
        }
        decimal.digits[i] = '0';
    }
    decimal.digits[0] = '1';
    decimal.length = 1;
    ++decimal.exponent;
}

void dropTrailingZeros(Decimal& decimal) {
    while (decimal.length > 1 && decimal.digits[decimal.length - 1] == '0') --decimal.length;
}

// Scientific text from std::to_chars: significant digits (without the point)
// and the power of ten of the first digit.
struct ScientificText {
    std::array<char, 800> buffer;  // "d." + up to 770 digits + "e-324"
    const char* digitsBegin = nullptr;
    int digitCount = 0;
    int firstDigitPower = 0;
};

// Renders a positive value with `precision` (> 0) digits after the first one,
// correctly rounded from the exact binary value, so exact when precision
// reaches the length of the expansion.
void renderScientific(double magnitude, int precision, ScientificText& text) {
    char* const begin = text.buffer.data();
    const auto result = std::to_chars(begin, begin + text.buffer.size(), magnitude,
                                      std::chars_format::scientific, precision);
    if (result.ec != std::errc{}) throw std::logic_error("decimal conversion buffer too small");
    // The text is d.ddd...e(+|-)xx. The first digit moves onto the point so
    // that the digits are contiguous.
    char* const exponentMark = std::find(begin, result.ptr, 'e');
    begin[1] = begin[0];
    text.digitsBegin = begin + 1;
    text.digitCount = precision + 1;
    const char* exponentText = exponentMark + 1;
    if (*exponentText == '+') ++exponentText;
    std::from_chars(exponentText, result.ptr, text.firstDigitPower);
}

// 25 correctly rounded digits: enough to see the 18 exact ones in almost
// every case without generating the whole expansion.
constexpr int kProbePrecision = 24;

// An upper bound on the number of digits after the first one in the exact
// decimal expansion of a positive finite double (at most 767 in all).
int exactExpansionPrecision(double magnitude) {
    int binaryExponent = 0;  // magnitude = fraction * 2^binaryExponent, fraction in [0.5, 1)
    const double fraction = std::frexp(magnitude, &binaryExponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    // The last non-zero digit: a multiple of 2^-k (k > 0) ends at 10^-k, an
    // integer ends at or before the units.
    const int lowestBit = binaryExponent - 53 + std::countr_zero(mantissa);
    const int lastDigitPower = std::min(lowestBit, 0);
    // The first digit: magnitude < 2^binaryExponent; the + 1 absorbs the
    // rounding of the product.
    const int firstDigitPower =
        static_cast<int>(std::floor(binaryExponent * 0.30102999566398120)) + 1;
    return firstDigitPower - lastDigitPower;
}

Decimal decimalOf(double value) {
    if (value == 0.0) return zeroDecimal();
    Decimal decimal;
    decimal.negative = std::signbit(value);
    const double magnitude = std::fabs(value);

    // The 18 leading digits must be the exact ones, cut, not rounded. A short
    // expansion is rendered whole. Otherwise the leading 18 of a correctly
    // rounded 25-digit text are exact unless rounding carried into them, and
    // a carry into digit 18 leaves digits 19 to 25 all zero; only then is the
    // whole expansion needed.
    const int exactPrecision = std::max(exactExpansionPrecision(magnitude), kGeneratedDigits - 1);
    ScientificText text;
    if (exactPrecision <= kProbePrecision) {
        renderScientific(magnitude, exactPrecision, text);
    } else {
        renderScientific(magnitude, kProbePrecision, text);
        const char* const beyond = text.digitsBegin + kGeneratedDigits;
        const bool carryPossible = std::all_of(beyond, text.digitsBegin + text.digitCount,
                                               [](char c) { return c == '0'; });
        if (carryPossible) renderScientific(magnitude, exactPrecision, text);
    }

    std::copy_n(text.digitsBegin, kGeneratedDigits, decimal.digits.begin());
    decimal.length = kGeneratedDigits;
    decimal.exponent = text.firstDigitPower + 1;
    roundToDigits(decimal, kKeptDigits);
    dropTrailingZeros(decimal);
    return decimal;
}

// Non-finite values: the text of their kind, padded with '.' to the width.
// Returns false for a finite value.
bool appendNonFinite(std::string& out, double value, int width) {
    if (std::isfinite(value)) return false;
    constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;
    constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 51;
    constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t fraction = bits & kFractionMask;
    std::string_view name;
    if (fraction == 0) {
        name = "1#INF";
    } else if ((fraction & kQuietBit) == 0) {
        name = "1#SNAN";
    } else if ((bits & kSignBit) != 0 && fraction == kQuietBit) {
        name = "1#IND";  // the NaN that invalid operations produce on x86
    } else {
        name = "1#QNAN";
    }
    const auto size = static_cast<std::size_t>(width);
    if (name.size() > size) {
        out.append(size, '*');
    } else {
        out.append(name);
        out.append(size - name.size(), '.');
    }
    return true;
}

void checkFieldShape(int width, int decimals) {
    if (width < 1 || width > kMaxLayoutNumber || decimals < 0 || decimals > kMaxLayoutNumber) {
        throw std::logic_error("number field needs 1 <= width and 0 <= decimals, both <= 9999");
    }
}

// Places a text of `length` characters right-aligned in the field, or
// asterisks when it does not fit; `writeText` appends the characters.
template <typename WriteText>
void appendRightAligned(std::string& out, int width, int length, WriteText writeText) {
    if (length > width) {
        out.append(static_cast<std::size_t>(width), '*');
        return;
    }
    out.append(static_cast<std::size_t>(width - length), ' ');
    writeText();
}

}  // namespace

void appendFixed(std::string& out, double value, int width, int decimals) {
    checkFieldShape(width, decimals);
    if (appendNonFinite(out, value, width)) return;
    Decimal decimal = decimalOf(value);
    if (decimal.exponent >= -decimals) {
        roundToDigits(decimal, std::min(decimal.exponent + decimals, kMaxShownDigits));
    } else {
        decimal.length = 0;  // below the last decimal place
    }
    // A value that rounds to zero shows as plain zero: no sign, no digit
    // before the point.
    if (decimal.isZero()) decimal = zeroDecimal();

    const bool minus = decimal.negative;
    const int integerDigits = std::max(decimal.exponent, 0);
    const int length = (minus ? 1 : 0) + integerDigits + 1 + decimals;
    appendRightAligned(out, width, length, [&] {
        if (minus) out += '-';
        for (int i = 0; i < integerDigits; ++i) out += decimal.digitAt(i);
        out += '.';
        // The first digit after the point has position exponent in the string.
        for (int i = 0; i < decimals; ++i) out += decimal.digitAt(decimal.exponent + i);
    });
}

void appendScientific(std::string& out, double value, int width, int decimals) {
    checkFieldShape(width, decimals);
    if (appendNonFinite(out, value, width)) return;
    Decimal decimal = decimalOf(value);
    int exponent = 0;
    if (!decimal.isZero()) {
        roundToDigits(decimal, std::min(decimals + 1, kMaxShownDigits));
        exponent = decimal.exponent - 1;
    }
    const bool minus = decimal.negative;  // zero has no sign

    // Exponent: "E+dd" up to 99, beyond that sign and three digits without
    // the letter (a double's decimal exponent never exceeds 308 or -324).
    std::array<char, 4> exponentText{};
    const int magnitude = exponent < 0 ? -exponent : exponent;
    int exponentLength = 0;
    if (magnitude <= 99) exponentText[exponentLength++] = 'E';
    exponentText[exponentLength++] = exponent < 0 ? '-' : '+';
    if (magnitude > 99) exponentText[exponentLength++] = static_cast<char>('0' + magnitude / 100);
    exponentText[exponentLength++] = static_cast<char>('0' + magnitude / 10 % 10);
    exponentText[exponentLength++] = static_cast<char>('0' + magnitude % 10);

    const int length = (minus ? 1 : 0) + 2 + decimals + exponentLength;
    appendRightAligned(out, width, length, [&] {
        if (minus) out += '-';
        out += decimal.digitAt(0);
        out += '.';
        for (int i = 1; i <= decimals; ++i) out += decimal.digitAt(i);
        out.append(exponentText.data(), static_cast<std::size_t>(exponentLength));
    });
}

DecimalDigits toDecimalDigits(double value) {
    if (!std::isfinite(value))
        throw std::invalid_argument("no decimal digits for a non-finite value");
    const Decimal decimal = decimalOf(value);
    return {decimal.negative,
            std::string(decimal.digits.data(), static_cast<std::size_t>(decimal.length)),
            decimal.exponent};
}

std::string formatFixed(double value, int width, int decimals) {
    std::string field;
    appendFixed(field, value, width, decimals);
    return field;
}

std::string formatScientific(double value, int width, int decimals) {
    std::string field;
    appendScientific(field, value, width, decimals);
    return field;
}

}  // namespace hxrate
