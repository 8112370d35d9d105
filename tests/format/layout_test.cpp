#include "format/layout.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/line_sink.h"

namespace hxrate {
namespace {

struct NumberCase {
    double value;
    const char* expected;
    const char* why;
};

TEST(FormatFixed, F10_2) {
    const NumberCase cases[] = {
        {0.0, "       .00", "zero has no 0 before the point"},
        {-0.0, "       .00", "negative zero has no sign"},
        {0.5, "       .50", "no 0 before the point"},
        {-0.5, "      -.50", "minus directly before the point"},
        {25.0, "     25.00", "integer"},
        {-0.004, "       .00", "negative value rounding to zero loses its sign"},
        {0.004, "       .00", "rounds on the first digit, down"},
        {0.005, "       .01", "rounds on the first digit, up (E + d = 0)"},
        {-0.005, "      -.01", "negative that rounds up keeps its sign"},
        {0.0049999, "       .00", "exponent -2, first digit 4"},
        {0.0004, "       .00", "exponent below -d"},
        {0.995, "      1.00", "17-digit rounding gives 995, then carry into the integer part"},
        {20.125, "     20.13", "exact binary tie rounds half up"},
        {80.625, "     80.63", "exact binary tie rounds half up"},
        {-20.125, "    -20.13", "ties round away from zero"},
        {123456.785, " 123456.79", "digits beyond the 17th decide through the 17-digit rounding"},
        {1234567.891, "1234567.89", "exactly ten characters"},
        {-123456.789, "-123456.79", "exactly ten characters with the sign"},
        {9999999.994, "9999999.99", "largest value that fits"},
        {9999999.995, "9999999.99", "the double lies below the tie"},
        {9999999.996, "**********", "the carry makes it eleven characters"},
        {12345678.9, "**********", "too wide"},
        {-1234567.8, "**********", "too wide with the sign"},
        {0.05, "       .05", "leading zero after the point"},
        {1e-300, "       .00", "tiny value"},
        {std::numeric_limits<double>::denorm_min(), "       .00", "subnormal"},
        {-std::numeric_limits<double>::denorm_min(), "       .00", "negative subnormal"},
        {std::numeric_limits<double>::max(), "**********", "largest double"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatFixed(c.value, 10, 2), c.expected) << c.why;
}

TEST(FormatFixed, OtherShapes) {
    EXPECT_EQ(formatFixed(25.0, 5, 0), "  25.") << "no decimals";
    EXPECT_EQ(formatFixed(0.4, 3, 0), "  .") << "rounds to zero without decimals";
    EXPECT_EQ(formatFixed(1e16, 24, 2), "    10000000000000000.00") << "beyond 16 digits";
    EXPECT_EQ(formatFixed(12345678901234567.0, 24, 2), "    12345678901234570.00")
        << "shows at most 16 significant digits";
    EXPECT_EQ(formatFixed(1.0 / 3.0, 22, 20), " .33333333333333330000")
        << "16 shown digits, then zeros";
}

TEST(FormatScientific, ES10_3) {
    const NumberCase cases[] = {
        {1234.5678, " 1.235E+03", "ordinary"},
        {0.0, " 0.000E+00", "zero"},
        {-0.0, " 0.000E+00", "negative zero has no sign"},
        {-1.5e-7, "-1.500E-07", "negative exponent"},
        {9.9996, " 1.000E+01", "carry raises the exponent"},
        {9999.6, " 1.000E+04", "carry raises the exponent"},
        {9.9995, " 9.999E+00", "the double lies below the tie"},
        {13.565, " 1.357E+01", "17-digit rounding reaches the tie, then half up"},
        {1e100, " 1.000+100", "three-digit exponent without the letter"},
        {-1e-100, "-1.000-100", "negative three-digit exponent"},
        {9.9996e99, " 1.000+100", "carry into a three-digit exponent"},
        {1e99, " 1.000E+99", "largest two-digit exponent"},
        {1e-99, " 1.000E-99", "smallest two-digit exponent"},
        {std::numeric_limits<double>::max(), " 1.798+308", "largest double"},
        {-std::numeric_limits<double>::max(), "-1.798+308", "most negative double"},
        {std::numeric_limits<double>::min(), " 2.225-308", "smallest normal"},
        {std::numeric_limits<double>::denorm_min(), " 4.941-324", "smallest subnormal"},
        {0.5, " 5.000E-01", "exact short value"},
        {12.25, " 1.225E+01", "exact value, no rounding"},
        {1.0, " 1.000E+00", "one"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatScientific(c.value, 10, 3), c.expected) << c.why;
}

TEST(FormatScientific, OtherShapes) {
    EXPECT_EQ(formatScientific(1234.5678, 12, 5), " 1.23457E+03") << "more decimals";
    EXPECT_EQ(formatScientific(1234.5678, 7, 0), " 1.E+03") << "no decimals";
    EXPECT_EQ(formatScientific(1234.5678, 8, 3), "********") << "too narrow";
    EXPECT_EQ(formatScientific(1.0 / 3.0, 26, 18), "  3.333333333333333000E-01")
        << "16 shown digits, then zeros";
}

TEST(NumberFields, NonFiniteValues) {
    const auto bits = [](std::uint64_t b) { return std::bit_cast<double>(b); };
    const NumberCase cases[] = {
        {std::numeric_limits<double>::infinity(), "1#INF.....", "infinity"},
        {-std::numeric_limits<double>::infinity(), "1#INF.....", "no sign"},
        {bits(0xFFF8000000000000), "1#IND.....", "the x86 default NaN"},
        {bits(0x7FF8000000000000), "1#QNAN....", "quiet NaN without the sign bit"},
        {bits(0xFFF8000000000001), "1#QNAN....", "quiet NaN with a payload"},
        {bits(0x7FF0000000000001), "1#SNAN....", "signalling NaN"},
        {bits(0xFFF4000000000000), "1#SNAN....", "signalling NaN with the sign bit"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatFixed(c.value, 10, 2), c.expected) << c.why;
        EXPECT_EQ(formatScientific(c.value, 10, 3), c.expected) << c.why;
    }
    EXPECT_EQ(formatFixed(bits(0x7FF8000000000000), 4, 1), "****") << "name wider than the field";
    EXPECT_THROW(toDecimalDigits(std::numeric_limits<double>::infinity()), std::logic_error);
}

TEST(NumberFields, BadFieldShapeIsAProgrammingError) {
    EXPECT_THROW(formatFixed(1.0, 0, 2), std::logic_error);
    EXPECT_THROW(formatFixed(1.0, 10, -1), std::logic_error);
    EXPECT_THROW(formatScientific(1.0, -3, 3), std::logic_error);
}

struct DigitsCase {
    double value;
    bool negative;
    const char* digits;
    int exponent;
    const char* why;
};

TEST(DecimalDigits, Examples) {
    const DigitsCase cases[] = {
        {1234.5, false, "12345", 4, "exact value"},
        {0.05, false, "50000000000000003", -1, "17 digits of the double nearest 0.05"},
        {0.0, false, "0", 0, "zero"},
        {-0.0, false, "0", 0, "negative zero has no sign"},
        {-2.5, true, "25", 1, "sign"},
        {0.995, false, "995", 0, "18th digit 5 rounds up through a run of nines"},
        {0.1, false, "10000000000000001", 0, "18th digit 5 rounds up"},
        {1e23, false, "99999999999999992", 23, "18th digit 6"},
        {1e22, false, "1", 23, "exact power of ten"},
        {std::numeric_limits<double>::denorm_min(), false, "49406564584124654", -323, "subnormal"},
        {std::numeric_limits<double>::max(), false, "17976931348623157", 309, "largest"},
        // Values whose 25-digit rendering has zeros in digits 19 to 25; the
        // digits were taken from an independent exact expansion.
        {0x1.f400010afc14fp+9, false, "10000000318270557", 4,
         "exact digits 18.. are 4 9999999 53..: a 25-digit rounding carries into digit 18"},
        {0x1.0000006433fbdp+10, false, "10240000238902715", 4,
         "exact digits 18.. are 5 0000000 18..: zeros that are really there"},
        {0x1.f400018c48c6fp+9, false, "10000000472407681", 4,
         "exact digits 18.. are 4 0000000 13..: zeros, rounding down"},
        {0x1.0000000afc14fp+10, false, "10240000026189552", 4,
         "exact digits 18.. are 4 9999999 06..: nines that stay nines"},
    };
    for (const auto& c : cases) {
        const DecimalDigits d = toDecimalDigits(c.value);
        EXPECT_EQ(d.negative, c.negative) << c.why;
        EXPECT_EQ(d.digits, c.digits) << c.why;
        EXPECT_EQ(d.exponent, c.exponent) << c.why;
    }
}

// An independent reference: the exact decimal expansion by big-integer
// arithmetic, then both roundings done on integers.
struct Reference {
    bool negative = false;
    std::uint64_t kept = 0;  // the 17 kept digits as an integer, 10^16 <= kept < 10^17
    int firstPower = 0;      // power of ten of the first kept digit
};

std::string exactDigits(double magnitude, int& firstPower) {
    int binaryExponent = 0;
    const double fraction = std::frexp(magnitude, &binaryExponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = binaryExponent - 53;  // magnitude = mantissa * 2^shift
    std::vector<std::uint64_t> limbs;       // base 10^9, least significant first
    for (std::uint64_t m = mantissa; m != 0; m /= 1000000000) limbs.push_back(m % 1000000000);
    auto multiply = [&limbs](std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs) {
            const std::uint64_t product = limb * factor + carry;
            limb = product % 1000000000;
            carry = product / 1000000000;
        }
        for (; carry != 0; carry /= 1000000000) limbs.push_back(carry % 1000000000);
    };
    // m * 2^s for s >= 0; m * 5^-s * 10^s otherwise.
    const std::uint64_t base = shift >= 0 ? 2 : 5;
    for (int left = std::abs(shift); left > 0;) {
        const int step = std::min(left, 13);
        std::uint64_t factor = 1;
        for (int i = 0; i < step; ++i) factor *= base;
        multiply(factor);
        left -= step;
    }
    std::string digits = std::to_string(limbs.back());
    for (auto it = limbs.rbegin() + 1; it != limbs.rend(); ++it) {
        char chunk[10];
        std::snprintf(chunk, sizeof chunk, "%09llu", static_cast<unsigned long long>(*it));
        digits += chunk;
    }
    firstPower = static_cast<int>(digits.size()) - 1 + std::min(shift, 0);
    return digits;
}

Reference reference(double value) {
    Reference r;
    r.negative = std::signbit(value);
    const std::string digits = exactDigits(std::fabs(value), r.firstPower);
    const std::uint64_t first18 = std::stoull((digits + std::string(18, '0')).substr(0, 18));
    r.kept = (first18 + 5) / 10;
    if (r.kept == 100000000000000000ULL) {
        r.kept /= 10;
        ++r.firstPower;
    }
    return r;
}

std::string rightAligned(const std::string& text, std::size_t width) {
    return text.size() > width ? std::string(width, '*')
                               : std::string(width - text.size(), ' ') + text;
}

std::uint64_t powerOfTen(int n) {
    std::uint64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

std::string referenceF10_2(double value) {
    const Reference r = reference(value);
    if (r.firstPower >= 8) return "**********";
    // Hundredths: kept * 10^(firstPower - 16 + 2), rounded half up.
    const int scale = r.firstPower - 14;
    std::uint64_t hundredths = 0;
    if (scale >= 0) {
        hundredths = r.kept * powerOfTen(scale);
    } else if (scale > -18) {
        hundredths = (r.kept + 5 * powerOfTen(-scale - 1)) / powerOfTen(-scale);
    }
    std::string text = r.negative && hundredths != 0 ? "-" : "";
    if (hundredths >= 100) text += std::to_string(hundredths / 100);
    char fraction[4];
    std::snprintf(fraction, sizeof fraction, ".%02u", static_cast<unsigned>(hundredths % 100));
    return rightAligned(text + fraction, 10);
}

std::string referenceES10_3(double value) {
    if (value == 0.0) return " 0.000E+00";
    const Reference r = reference(value);
    std::uint64_t mantissa = (r.kept + 5 * powerOfTen(12)) / powerOfTen(13);
    int exponent = r.firstPower;
    if (mantissa == 10000) {
        mantissa = 1000;
        ++exponent;
    }
    char text[24];
    std::snprintf(text, sizeof text,
                  std::abs(exponent) <= 99 ? "%s%u.%03uE%+03d" : "%s%u.%03u%+04d",
                  r.negative ? "-" : "", static_cast<unsigned>(mantissa / 1000),
                  static_cast<unsigned>(mantissa % 1000), exponent);
    return rightAligned(text, 10);
}

std::vector<double> sampleValues() {
    std::mt19937_64 random(20240607);
    std::vector<double> values;
    // Any finite bit pattern: every exponent, subnormals included.
    while (values.size() < 3000) {
        const double v = std::bit_cast<double>(random());
        if (std::isfinite(v)) values.push_back(v);
    }
    std::uniform_real_distribution<double> wide(-2e8, 2e8);
    std::uniform_real_distribution<double> logMagnitude(-6.0, 9.0);
    std::uniform_int_distribution<int> tenths(-2000000, 2000000);
    std::uniform_int_distribution<int> power(-20, 20);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(wide(random));
        values.push_back(std::pow(10.0, logMagnitude(random)) * (i % 2 ? 1 : -1));
        // Decimal ties of both fields: x.xx5 and d.ddd5 x 10^p, near their double.
        values.push_back((tenths(random) * 10 + 5) / 1000.0);
        values.push_back((tenths(random) % 10000 * 10 + 5) * std::pow(10.0, power(random)));
        // Exact binary ties of the fixed field: odd multiples of 1/8.
        values.push_back((tenths(random) * 2 + 1) / 8.0);
    }
    return values;
}

TEST(NumberFields, AgreeWithExactReference) {
    int mismatches = 0;
    for (const double v : sampleValues()) {
        const Reference r = reference(v);
        std::string keptDigits = std::to_string(r.kept);
        keptDigits.erase(keptDigits.find_last_not_of('0') + 1);
        const DecimalDigits d = toDecimalDigits(v);
        const bool sameDigits =
            d.negative == r.negative && d.digits == keptDigits && d.exponent == r.firstPower + 1;
        const bool sameFixed = formatFixed(v, 10, 2) == referenceF10_2(v);
        const bool sameScientific = formatScientific(v, 10, 3) == referenceES10_3(v);
        if (!(sameDigits && sameFixed && sameScientific) && ++mismatches <= 10) {
            ADD_FAILURE() << std::hexfloat << v << ": digits " << d.digits << " E" << d.exponent
                          << ", F10.2 '" << formatFixed(v, 10, 2) << "' vs '" << referenceF10_2(v)
                          << "', ES10.3 '" << formatScientific(v, 10, 3) << "' vs '"
                          << referenceES10_3(v) << "'";
        }
    }
    EXPECT_EQ(mismatches, 0);
}

struct LineCase {
    const char* layout;
    std::vector<LayoutItem> items;
    const char* expected;
    const char* why;
};

TEST(LayOutLine, LayoutsOfTheReport) {
    using namespace std::string_view_literals;
    const LineCase cases[] = {
        {"(1X,A,1X,ES10.3)",
         {"Overall Heat Transfer Coefficient ="sv, 0.30241},
         " Overall Heat Transfer Coefficient =  3.024E-01",
         "leading skip is an ordinary blank"},
        {"(1X,A,1X,A,1X,ES10.3)",
         {"Tube Inner Surface Convective Heat Transfer"sv, "Coefficient ="sv, 6068.0},
         " Tube Inner Surface Convective Heat Transfer Coefficient =  6.068E+03",
         "two texts"},
        {"(1X,A,1X,ES10.3,1X,'&',ES10.3)",
         {"Internal & External Mass Flow Rate ="sv, 0.5, 12.25},
         " Internal & External Mass Flow Rate =  5.000E-01 & 1.225E+01",
         "literal between fields"},
        {"(3(3X,A))",
         {"Location"sv, "Tube Fluid Temperature"sv, "Shell Fluid Temperature"sv},
         "   Location   Tube Fluid Temperature   Shell Fluid Temperature",
         "repeat group"},
        {"(F10.2,10X,F10.2,14X,F10.2)",
         {0.0, 123456.785, 1e-300},
         "       .00           123456.79                     .00",
         "table row"},
        {"(F10.2,10X,F10.2,14X,F10.2)",
         {1e9, -1e9, std::numeric_limits<double>::quiet_NaN()},
         "**********          **********              1#QNAN....",
         "overflowing table row"},
        {"(1X,A,1X,ES10.3)", {""sv, 1.0}, "   1.000E+00", "empty text still owes its blanks"},
        {"(A,5X)", {"end"sv}, "end", "a trailing skip writes nothing"},
        {"(2X,3X,A)", {"x"sv}, "     x", "skips add up"},
        {"(2(A,1X),'|')", {"a"sv, "b"sv}, "a b |", "group expanded in place"},
        {"( 1x , a , 'it''s' )trailing",
         {"t"sv},
         " tit's",
         "blanks, lower case, doubled apostrophe"},
        {"(2F5.1,2ES10.3)",
         {1.0, 2.0, 3.0, 4.0},
         "  1.0  2.0 3.000E+00 4.000E+00",
         "repeated fields"},
        {"()", {}, "", "empty layout"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(layOutLine(parseLayout(c.layout), c.items), c.expected) << c.why;
    }
}

TEST(LayOutLine, TableRowsAreAlways54Characters) {
    const Layout row = parseLayout("(F10.2,10X,F10.2,14X,F10.2)");
    for (const double v : {0.0, -0.001, 1.5, -99999.99, 9999999.99, 1e7, -1e7, 1e300, -1e-300}) {
        const std::vector<LayoutItem> items{v, -v, v};
        EXPECT_EQ(layOutLine(row, items).size(), 54u) << v;
    }
}

TEST(LayOutLine, ItemsThatDoNotFitTheLayoutAreProgrammingErrors) {
    using namespace std::string_view_literals;
    const Layout layout = parseLayout("(1X,A,1X,ES10.3)");
    const std::vector<std::vector<LayoutItem>> wrong = {
        {"text"sv},            // missing item
        {"text"sv, 1.0, 2.0},  // surplus item
        {1.0, 1.0},            // number for a text field
        {"text"sv, "text"sv},  // text for a number field
    };
    for (const auto& items : wrong) EXPECT_THROW(layOutLine(layout, items), std::logic_error);
}

TEST(ParseLayout, MalformedLayoutsAreProgrammingErrors) {
    const char* const malformed[] = {
        "",      "1X,A",   "(1X,A",  "(X)",    "(0X)",    "(A,)",     "(,A)",
        "(F10)", "(F10.)", "(F.2)",  "(F0.2)", "(E10.3)", "('abc)",   "(2'a')",
        "(Q)",   "(1X A)", "(0(A))", "(2(A)",  "(1X;A)",  "(10000X)", "(2(1X,F10.2,))",
    };
    for (const char* layout : malformed)
        EXPECT_THROW(parseLayout(layout), std::logic_error) << layout;
    EXPECT_NO_THROW(parseLayout("(A))(")) << "text after the closing parenthesis is ignored";
}

TEST(WriteLaidOutLine, WritesTheLineWithItsLineEnd) {
    using namespace std::string_view_literals;
    std::string out;
    const std::vector<LayoutItem> items{"Shell Exit Temperature ="sv, 26.83};
    appendLinesTo(out)(layOutLine(parseLayout("(1X,A,1X,ES10.3)"), items));
    EXPECT_EQ(out, " Shell Exit Temperature =  2.683E+01\r\n");
}

}  // namespace
}  // namespace hxrate
