#include "format/free_form_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cfenv>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cli/case_file_source.h"
#include "cli/driver.h"
#include "core/failures.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

using namespace std::string_literals;

constexpr const char* kFileName = "48230007640350000606.txt";

// Values that no read produces, so an item left alone shows as "-".
constexpr std::int32_t kUntouchedInt = -99;
constexpr double kUntouchedDouble = -99.0;
const std::string kUntouchedText = "?";

// The shortest text that reads back as the same double: equal texts mean
// equal bit patterns, including the sign of zero.
std::string render(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Items of the kinds named by the letters of `kinds` ('i' integer, 'd'
// double, 't' text10), each starting untouched.
class Items {
  public:
    explicit Items(std::string_view kinds) {
        for (const char kind : kinds) {
            const std::string what = "item " + std::to_string(items_.size() + 1);
            names_.push_back(what);
            if (kind == 'i') {
                ints_.push_back(kUntouchedInt);
                items_.push_back({&ints_.back(), names_.back()});
            } else if (kind == 'd') {
                doubles_.push_back(kUntouchedDouble);
                items_.push_back({&doubles_.back(), names_.back()});
            } else {
                texts_.push_back(kUntouchedText);
                items_.push_back({&texts_.back(), names_.back()});
            }
        }
    }
    std::span<const ReadItem> list() const { return items_; }

    // "1|2.5|[Water     ]|-"
    std::string rendered() const {
        std::string out;
        for (const ReadItem& item : items_) {
            if (!out.empty()) out += '|';
            if (auto* i = std::get_if<std::int32_t*>(&item.destination)) {
                out += **i == kUntouchedInt ? "-" : std::to_string(**i);
            } else if (auto* d = std::get_if<double*>(&item.destination)) {
                out += **d == kUntouchedDouble ? "-" : render(**d);
            } else {
                const std::string& t = **std::get_if<std::string*>(&item.destination);
                out += t == kUntouchedText ? "-" : "[" + t + "]";
            }
        }
        return out;
    }

  private:
    // Deques keep the addresses of their elements as they grow.
    std::deque<std::int32_t> ints_;
    std::deque<double> doubles_;
    std::deque<std::string> texts_;
    std::deque<std::string> names_;
    std::vector<ReadItem> items_;
};

// Runs one read per word of `reads` (e.g. "id d") over `input` and renders
// the results of the reads separated by " ; ".
std::string readAll(FreeFormReader& reader, std::string_view reads) {
    std::string out;
    int caseLine = 1;
    while (!reads.empty()) {
        const std::size_t blank = reads.find(' ');
        Items items(reads.substr(0, blank));
        reader.read(caseLine++, items.list());
        if (!out.empty()) out += " ; ";
        out += items.rendered();
        reads = blank == std::string_view::npos ? std::string_view() : reads.substr(blank + 1);
    }
    return out;
}
std::string readAll(const std::string& input, std::string_view reads) {
    FreeFormReader reader(kFileName, input);
    return readAll(reader, reads);
}

// What the reads give, or the diagnostic of the failure they end with.
std::string outcome(const std::string& input, std::string_view reads) {
    std::string values;
    auto failure = testing::errorOf<InputError>([&] { values = readAll(input, reads); });
    return failure ? diagnosticOf(*failure) : values;
}

// The failure that reading `input` ends with (code -1 when none).
InputError failureOf(const std::string& input, std::string_view reads) {
    auto failure = testing::errorOf<InputError>([&] { readAll(input, reads); });
    return failure ? *failure : InputError(-1, "no failure", "");
}

struct ReadRow {
    std::string input;
    std::string_view reads;
    std::string expected;
    std::string_view why;
};

// ---------------------------------------------------------------------------

TEST(FreeFormReaderTest, SplitsValuesAndSkipsTheRestOfTheLine) {
    const ReadRow rows[] = {
        {"1 2.5\n", "id", "1|2.5", "blank separator"},
        {"1,2.5\n", "id", "1|2.5", "comma separator"},
        {"1 , 2.5\n", "id", "1|2.5", "comma with blanks around it is one separator"},
        {"1\t2.5\n", "id", "1|2.5", "tab separator"},
        {"1 2.5 3.7\n9\n", "id i", "1|2.5 ; 9", "surplus value skipped with the rest of the line"},
        {"7\n8\n9\n", "id i", "7|8 ; 9", "a short line takes the next line's first value"},
        {"1 2.5 remark, with / all 'sorts\n9\n", "id i", "1|2.5 ; 9", "remark after the values"},
        {"\n\n  \t \n\t\n5\n", "i", "5", "blank lines in front of a value"},
        {"1\n2", "i i", "1 ; 2", "last line without a line feed"},
        {"1\r\n2\r\n", "i i", "1 ; 2", "CR LF line ends"},
        {"1\r 2 junk\n3\n", "i i", "1 ; 3", "a CR drops the rest of its line"},
        {"1\r\r\n2\n", "i i", "1 ; 2", "CR CR LF is one line end"},
        {"1 2\r3 4\r", "ii", "1|2", "CR-only file: the first CR drops the rest of the file"},
        {"1 5 0.01,\n6 0.02\n", "iid id", "1|5|0.01 ; 6|0.02",
         "comma ending the last value: only the line end remains to skip"},
        {"5 0.01 \n6 0.02\n", "id id", "5|0.01 ; 6|0.02", "blank after the last value"},
        {"5 0.01/ x\n6 0.02\n", "id id", "5|0.01 ; 6|0.02", "slash after the last value"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.input, row.reads), row.expected) << row.why;
    }
}

TEST(FreeFormReaderTest, NullValuesAndSlashLeaveItemsUnchanged) {
    const ReadRow rows[] = {
        {"1,,3\n", "ddd", "1|-|3", "two commas: null value"},
        {"1, ,3\n", "ddd", "1|-|3", "commas with a blank between"},
        {"1,\n,3\n", "ddd", "1|-|3", "commas with a line end between"},
        {",5\n", "dd", "-|5", "leading comma of a read"},
        {"  \t\n  ,5\n", "dd", "-|5", "leading comma after blank lines"},
        {"1\n,5\n", "dd", "1|5", "comma after the line end that ended a value"},
        {"1,,\n7\n", "dd d", "1|- ; 7", "null last value: its comma ended it"},
        {"1/ 2 3\n4\n", "ddd d", "1|-|- ; 4", "slash right after a value"},
        {"1 , / 2\n4\n", "ddd d", "1|-|- ; 4", "slash after a separating comma"},
        {"/\n5\n", "d d", "- ; 5", "slash first: the whole read unchanged"},
        {"'a/b' /\n", "tt", "[a/b       ]|-", "slash inside a delimited text is text"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.input, row.reads), row.expected) << row.why;
    }
}

TEST(FreeFormReaderTest, RepeatCounts) {
    const ReadRow rows[] = {
        {"2*300.0\n", "dd", "300|300", "repeated double"},
        {"3*7\n", "idi", "7|7|7", "one repeated value converted for each kind"},
        {"02*4\n", "dd", "4|4", "leading zero in the count"},
        {"2147483647*1\n", "d", "1", "largest count"},
        {"5*1\n9\n", "dd d", "1|1 ; 9", "surplus repeats dropped, next read on next line"},
        {"5*1 x\n9\n", "dd d", "1|1 ; 9", "surplus repeats dropped, rest of line skipped"},
        {"2*\n5\n", "dd d", "-|- ; 5", "count and nothing: null values"},
        {"2*,5\n", "ddd", "-|-|5", "null repeat ended by a comma"},
        {"2*1/ 5\n", "ddd", "1|1|-", "repeat then slash"},
        {"1 2*/\n", "ddd", "1|-|-", "null repeat ended by a slash"},
        {"2*'Sea water'\n", "tt", "[Sea water ]|[Sea water ]", "repeated delimited value"},
        {"2*'a b' 5\n", "ttd", "[a b       ]|[a b       ]|5", "separator after repeated text"},
        {"2*O'Brien\n", "tt", "[O'Brien   ]|[O'Brien   ]", "quote inside an undelimited value"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.input, row.reads), row.expected) << row.why;
    }
}

TEST(FreeFormReaderTest, Integers) {
    const ReadRow rows[] = {
        {"2147483647", "i", "2147483647", "largest int32"},
        {"-2147483648", "i", "-2147483648", "smallest int32"},
        {"007", "i", "7", "leading zeros"},
        {"00000000000000000000000000012", "i", "12", "many leading zeros do not overflow"},
        {"16#ff", "i", "255", "base 16, lower case"},
        {"-16#FF", "i", "-255", "sign before the base"},
        {"2#1010", "i", "10", "base 2"},
        {"36#zZ", "i", "1295", "base 36, mixed case"},
        {"#7FFFFFFF", "i", "2147483647", "#digits is base 16"},
        {"-#80000000", "i", "-2147483648", "range applies after the sign"},
        {"-16#80000000", "i", "-2147483648", "range applies after the sign, with base"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.input, row.reads), row.expected) << row.why;
    }
}

TEST(FreeFormReaderTest, Doubles) {
    const ReadRow rows[] = {
        {"1", "d", "1", "whole number"},
        {"1.", "d", "1", "trailing point"},
        {"-0.025", "d", "-0.025", "negative"},
        {"1e3", "d", "1000", "exponent e"},
        {"1.5d3", "d", "1500", "exponent d"},
        {"1.5E+3", "d", "1500", "exponent with sign"},
        {"1.5+3", "d", "1500", "exponent as a sign alone"},
        {"1.5-3", "d", "0.0015", "negative exponent as a sign alone"},
        {"1e0000000000000000000000003", "d", "1000", "long exponent with leading zeros"},
        {"-0", "d", "-0", "negative zero keeps its sign"},
        {"-0e99999999999999999999", "d", "-0", "zero with a huge exponent is zero"},
        {"0.000e-99999", "d", "0", "zero with a huge negative exponent"},
        {"1e-310", "d", "1e-310", "subnormal accepted"},
        {"4.9e-324", "d", "5e-324", "smallest subnormal"},
        {"1.7976931348623157e308", "d", "1.7976931348623157e+308", "largest double"},
        {"0.0000000000000000000000000001", "d", "1e-28", "leading zeros are not significant"},
        {"1.000000000000000111022303", "d", "1.0000000000000002",
         "25 digits just above the halfway point round up"},
        {"1.0000000000000001110223029", "d", "1",
         "the 26th digit is dropped, not rounded: below the halfway point"},
        {"1.00000000000000011102230246251565404236316680908203126", "d", "1",
         "above the halfway point only beyond the 25th digit"},
        {"123456789012345678901234567890", "d", "1.2345678901234568e+29",
         "dropped digits left of the point keep the magnitude"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.input, row.reads), row.expected) << row.why;
    }
}

TEST(FreeFormReaderTest, Texts) {
    const ReadRow rows[] = {
        {"Water", "t", "[Water     ]", "padded with blanks"},
        {"'Sea water'", "t", "[Sea water ]", "apostrophes"},
        {"StainlessSteel", "t", "[StainlessS]", "cut to 10"},
        {"'O''Brien'", "t", "[O'Brien   ]", "doubled apostrophe"},
        {"\"say \"\"hi\"\"\"", "t", "[say \"hi\"  ]", "doubled quotation mark"},
        {"\"it's\"", "t", "[it's      ]", "the other delimiter is text"},
        {"''", "t", "[          ]", "empty delimited text is a value, not a null"},
        {"R-134a", "t", "[R-134a    ]", "undelimited name with a sign"},
        {"'Sea\nwater'", "t", "[Seawater  ]", "a line end inside is dropped"},
        {"'Sea\r junk\nwater'", "t", "[Seawater  ]", "a CR inside drops the rest of its line"},
        {"'abc'x 7\n", "ti", "[abc       ]|7", "character after the closing delimiter is consumed"},
        {"'abc',,7\n", "tii", "[abc       ]|-|7", "comma after the delimiter, then a null"},
        {"'abc'/7\n", "ti", "[abc       ]|-", "slash after the closing delimiter"},
        {"'abc'\n7\n8\n", "ti i", "[abc       ]|7 ; 8", "closing delimiter at the line end"},
        {"a\0b\x01\xff"s, "t", "[a\0b\x01\xff     ]"s, "any byte is a text character"},
        {std::string(10000, 'N') + " 5", "td", "[NNNNNNNNNN]|5", "a very long name"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.input, row.reads), row.expected) << row.why;
    }
}

struct FailureRow {
    std::string input;
    std::string_view reads;
    int code;
    std::string_view why;
};

TEST(FreeFormReaderTest, InputErrors) {
    const std::string seventeenMiB(17u << 20, '1');
    const FailureRow rows[] = {
        {"", "i", errorNumber::endOfFile, "empty file"},
        {"1 2\n", "iii", errorNumber::endOfFile, "file ends inside a read"},
        {"1\n2", "i id", errorNumber::endOfFile, "file ends after the label"},
        {"1 2\r3 4\r", "i i", errorNumber::endOfFile, "CR-only file is one line"},
        {"'Water 1.1\n2\n", "t", errorNumber::endOfFile, "unterminated text"},
        {"'abc\r'def'\n", "t", errorNumber::endOfFile, "closing delimiter lost after a CR"},
        {"1.5", "i", errorNumber::malformedNumber, "decimal point in an integer"},
        {"1e3", "i", errorNumber::malformedNumber, "exponent in an integer"},
        {"Temperatures", "i", errorNumber::malformedNumber, "a word for the label"},
        {"5:", "i", errorNumber::malformedNumber, "stray character after an integer"},
        {"0x10", "i", errorNumber::malformedNumber, "C hexadecimal is not accepted"},
        {"16#GG", "i", errorNumber::malformedNumber, "digit outside the base"},
        {"37#1", "i", errorNumber::malformedNumber, "base above 36"},
        {"1#0", "i", errorNumber::malformedNumber, "base below 2"},
        {"16#", "i", errorNumber::malformedNumber, "no digits after #"},
        {"16#-1", "i", errorNumber::malformedNumber, "sign after the #"},
        {"99999999999999999999x", "i", errorNumber::malformedNumber,
         "a stray character counts before the range"},
        {"1.5d", "d", errorNumber::malformedNumber, "exponent letter without digits"},
        {"1.5E", "d", errorNumber::malformedNumber, "exponent letter at the end"},
        {"1.5E+", "d", errorNumber::malformedNumber, "exponent sign without digits"},
        {"1+", "d", errorNumber::malformedNumber, "sign exponent without digits"},
        {"1.5.5", "d", errorNumber::malformedNumber, "two decimal points"},
        {"-", "d", errorNumber::malformedNumber, "sign without digits"},
        {"e5", "d", errorNumber::malformedNumber, "exponent without mantissa"},
        {"1e3.0", "d", errorNumber::malformedNumber, "point in the exponent"},
        {"1e+-3", "d", errorNumber::malformedNumber, "two exponent signs"},
        {"inf", "d", errorNumber::malformedNumber, "infinity is no number here"},
        {"Copper steel 0.0029", "td", errorNumber::malformedNumber, "a word for a double"},
        {"2*1.5\n", "di", errorNumber::malformedNumber, "repeated value unfit for the second item"},
        {"2147483648", "i", errorNumber::numberOutOfRange, "one above int32"},
        {"16#100000000", "i", errorNumber::numberOutOfRange, "based value above 32 bits"},
        {"#80000000", "i", errorNumber::numberOutOfRange, "range applies after the sign"},
        {"#FFFFFFFF", "i", errorNumber::numberOutOfRange, "no two's complement wrap"},
        {"1" + std::string(1'000'000, '0'), "i", errorNumber::numberOutOfRange,
         "million-digit integer is read, then out of range"},
        {"1e400", "d", errorNumber::numberOutOfRange, "too large"},
        {"1.8e308", "d", errorNumber::numberOutOfRange, "just above the largest double"},
        {"-1e-400", "d", errorNumber::numberOutOfRange, "non-zero, rounds to zero"},
        {"2e-324", "d", errorNumber::numberOutOfRange, "below half the smallest subnormal"},
        {"1e99999999999999999999", "d", errorNumber::numberOutOfRange, "huge exponent"},
        {"1e-99999999999999999999", "d", errorNumber::numberOutOfRange, "huge negative exponent"},
        {"'0.02'", "d", errorNumber::delimitedNumber, "delimited double"},
        {"2*'5'", "i", errorNumber::delimitedNumber, "repeated delimited integer"},
        {"*5", "d", errorNumber::badRepeatCount, "missing count"},
        {"0*5", "d", errorNumber::badRepeatCount, "zero count"},
        {"+2*5", "d", errorNumber::badRepeatCount, "sign in the count"},
        {"R*134a", "t", errorNumber::badRepeatCount, "letter in the count"},
        {"2147483648*1", "d", errorNumber::badRepeatCount, "count above 2147483647"},
        {"99999999999999999999*1", "d", errorNumber::badRepeatCount, "very long count"},
        {"2*3*4", "dd", errorNumber::badRepeatCount, "second repeat count"},
        {seventeenMiB, "d", errorNumber::valueTooLong, "undelimited token beyond 16 MiB"},
        {"'" + seventeenMiB + "'", "t", errorNumber::valueTooLong, "delimited token beyond 16 MiB"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(failureOf(row.input, row.reads).code(), row.code) << row.why;
    }
}

TEST(FreeFormReaderTest, MillionDigitDoubleKeepsTwentyFiveDigits) {
    const std::string digits = "1.234" + std::string(1'000'000, '5');
    EXPECT_EQ(readAll(digits, "d"), render(1.234555555555555555555555));
}

TEST(FreeFormReaderTest, FailedReadStoresNothing) {
    FreeFormReader reader(kFileName, std::string_view("5 2.5 x\n"));
    Items items("idi");
    EXPECT_THROW(reader.read(1, items.list()), InputError);
    EXPECT_EQ(items.rendered(), "-|-|-");
}

struct DiagnosticRow {
    std::string input;
    std::string expected;
    std::string_view why;
};

// Case line 8 holds the label and the tube count.
TEST(FreeFormReaderTest, DiagnosticNamesFileLinesColumnAndText) {
    const DiagnosticRow rows[] = {
        {"8\n  1.5\n",
         "run-time error 12: malformed number for an integer item (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 2, column 3: \"1.5\"",
         "value on the following line"},
        {"8 '12'",
         "run-time error 14: delimited value for an integer item (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 1, column 3: \"'12'\"",
         "delimited number shown with its delimiters"},
        {"8 2*x",
         "run-time error 12: malformed number for an integer item (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 1, column 3: \"2*x\"",
         "repeated value shown with its count"},
        {"8 1e99",
         "run-time error 12: malformed number for an integer item (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 1, column 3: \"1e99\"",
         "malformed, not out of range"},
        {"8 R*1",
         "run-time error 15: repeat count not a whole number from 1 to 2147483647 (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 1, column 3: \"R*1\"",
         "bad count shown with the whole token"},
        {"8\n",
         "run-time error 11: end of file while case line 8 still needs 1 item (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 2, column 1",
         "end of file after a complete last line"},
        {"",
         "run-time error 11: end of file while case line 8 still needs 2 items (label, tube "
         "count)\n"
         "  file 48230007640350000606.txt, case line 8, line 1, column 1",
         "empty file names every missing item"},
        {"8 \"a\\\x01\t" + std::string(70, 'b') + "\"",
         "run-time error 14: delimited value for an integer item (tube count)\n"
         "  file 48230007640350000606.txt, case line 8, line 1, column 3: "
         "\"\\\"a\\\\\\x01\\t" +
             std::string(55, 'b') + "...\"",
         "non-printable bytes escaped, long text cut"},
    };
    for (const auto& row : rows) {
        FreeFormReader reader(kFileName, row.input);
        std::int32_t label = 0;
        std::int32_t tubeCount = 0;
        const ReadItem items[] = {{&label, "label"}, {&tubeCount, "tube count"}};
        auto failure = testing::errorOf<InputError>([&] { reader.read(8, items); });
        ASSERT_TRUE(failure) << row.why << ": no failure";
        EXPECT_EQ(diagnosticOf(*failure), row.expected) << row.why;
    }
}

TEST(FreeFormReaderTest, PositionsCountLinesAfterSkippedRemarksAndCrLf) {
    const std::string input = "1 2 remark\r\n2 junk\r\n\r\n   3\tbad\n";
    FreeFormReader reader(kFileName, input);
    std::int32_t a = 0;
    std::int32_t b = 0;
    const ReadItem first[] = {{&a, "a"}};
    reader.read(1, first);
    reader.read(2, first);
    const ReadItem second[] = {{&a, "a"}, {&b, "b"}};
    auto failure = testing::errorOf<InputError>([&] { reader.read(3, second); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_NE(std::string(failure->what()).find("case line 3, line 4, column 6: \"bad\""),
              std::string::npos)
        << failure->what();
    EXPECT_EQ(failure->caseLine(), 3);
    EXPECT_EQ(failure->line(), 4u);
    EXPECT_EQ(failure->column(), 6u);
    EXPECT_EQ(failure->text(), "bad");
}

TEST(FreeFormReaderTest, ParsingLeavesFloatingPointFlagsAsTheyWere) {
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(readAll("0.1 1e-310 1.7976931348623157e308", "ddd"),
              "0.1|1e-310|1.7976931348623157e+308");
    EXPECT_EQ(failureOf("1e-400", "d").code(), errorNumber::numberOutOfRange);
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << "parsing raised a flag";

    std::feraiseexcept(FE_DIVBYZERO);
    readAll("0.1", "d");
    EXPECT_NE(std::fetestexcept(FE_DIVBYZERO), 0) << "parsing cleared an earlier flag";
    std::feclearexcept(FE_ALL_EXCEPT);
}

// A case file on disk, removed at the end of the test.
class TempFile {
  public:
    explicit TempFile(const std::string& bytes) {
        char name[] = "/tmp/free_form_reader_test_XXXXXX";
        const int fd = ::mkstemp(name);
        path_ = name;
        std::size_t written = 0;
        while (fd >= 0 && written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        if (fd >= 0) ::close(fd);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    int open() const { return ::open(path_.c_str(), O_RDONLY); }

  private:
    std::string path_;
};

TEST(FreeFormReaderTest, StreamsFromFileAcrossChunkBoundaries) {
    // The 64 KiB chunks end inside a value, inside a huge remark, and
    // between a CR and its LF.
    std::string bytes = std::string(65530, ' ') + "12345 6.5 " + std::string(3'000'000, 'x');
    bytes += "\n" + std::string(65535 - 10, ' ') + "7\r\n'a b''c'\n";
    const TempFile file(bytes);
    FreeFormReader reader(kFileName, std::make_unique<DescriptorSource>(UniqueFd(file.open())));
    Items first("id");
    Items second("i");
    Items third("t");
    reader.read(1, first.list());
    reader.read(2, second.list());
    reader.read(3, third.list());
    EXPECT_EQ(first.rendered(), "12345|6.5");
    EXPECT_EQ(second.rendered(), "7");
    EXPECT_EQ(third.rendered(), "[a b'c     ]");
}

TEST(FreeFormReaderTest, UnreadableDescriptorIsAnInputError) {
    FreeFormReader reader(kFileName,
                          std::make_unique<DescriptorSource>(UniqueFd(::open("/tmp", O_RDONLY))));
    Items items("i");
    auto failure = testing::errorOf<InputError>([&] { reader.read(1, items.list()); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_EQ(failure->code(), errorNumber::caseFileUnreadable);
    EXPECT_NE(std::string(failure->what()).find("could not be read"), std::string::npos);
}

TEST(FreeFormReaderTest, CloseReleasesTheDescriptorAndEndsTheFile) {
    const TempFile file("1\n2\n");
    const int fd = file.open();
    FreeFormReader reader(kFileName, std::make_unique<DescriptorSource>(UniqueFd(fd)));
    Items items("i");
    reader.read(1, items.list());
    reader.close();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "descriptor still open";
    EXPECT_THROW(reader.read(2, items.list()), InputError);
}

// Bytes handed out at most `piece` at a time; once they are all out, a read
// fails with `failure` (0: the end of the bytes).
class PiecewiseSource final : public ByteSource {
  public:
    PiecewiseSource(std::string bytes, std::size_t piece, int failure)
        : bytes_(std::move(bytes)), piece_(piece), failAtEnd_(failure) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        const std::size_t n = std::min({piece_, capacity, bytes_.size() - taken_});
        if (n == 0) failure_ = failAtEnd_;
        bytes_.copy(buffer, n, taken_);
        taken_ += n;
        return n;
    }
    int failure() const override { return failure_; }

  private:
    std::string bytes_;
    std::size_t piece_;
    int failAtEnd_;
    std::size_t taken_ = 0;
    int failure_ = 0;
};

TEST(FreeFormReaderTest, SourceInPiecesReadsAsBytesInMemory) {
    // Pieces end between a CR and its LF, inside a delimited text, inside a
    // repeat count and inside a remark.
    const std::string input = "1 2.5 remark\r\n3*'ab''c' 'x\r\ny'\n,,7/ more\n  8";
    const std::string_view reads = "id tttt iii i";
    const std::string expected = readAll(input, reads);
    for (std::size_t piece : {1, 2, 3, 5, 64}) {
        FreeFormReader reader(kFileName, std::make_unique<PiecewiseSource>(input, piece, 0));
        EXPECT_EQ(readAll(reader, reads), expected) << "pieces of " << piece;
    }
}

TEST(FreeFormReaderTest, FailedSourceReadIsNotTheEndOfTheFile) {
    FreeFormReader reader(kFileName, std::make_unique<PiecewiseSource>("1 2\n3", 2, EIO));
    Items first("i");
    reader.read(1, first.list());
    Items second("ii");
    auto failure = testing::errorOf<InputError>([&] { reader.read(2, second.list()); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_EQ(failure->code(), errorNumber::caseFileUnreadable);
    EXPECT_NE(std::string(failure->what()).find("could not be read ("s + std::strerror(EIO) + ")"),
              std::string::npos)
        << failure->what();
    EXPECT_EQ(second.rendered(), "-|-") << "a failed read stores nothing";
}

// Random bytes drawn mostly from the characters that matter to the rules:
// every read either succeeds or ends in an InputError, never anything else.
TEST(FreeFormReaderTest, ArbitraryBytesNeverCrashOrHang) {
    const std::string alphabet = "0123456789+-.eEdD#*,/ \t\r\n'\"abzZ"s + '\0' + "\xff";
    std::mt19937 random(20240607);
    for (int round = 0; round < 3000; ++round) {
        std::string input(random() % 120, ' ');
        for (char& c : input) {
            c = random() % 8 == 0 ? static_cast<char>(random() % 256)
                                  : alphabet[random() % alphabet.size()];
        }
        FreeFormReader reader(kFileName, input);
        Items items("itdtdi");
        try {
            for (int line = 1; line <= 10; ++line) reader.read(line, items.list());
        } catch (const InputError& failure) {
            EXPECT_EQ(diagnosticOf(failure).rfind("run-time error ", 0), 0u);
        }
    }
}

}  // namespace
}  // namespace hxrate
