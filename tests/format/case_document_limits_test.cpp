// A case document from a hostile source: text beyond the reader's limits,
// numbers beyond a double, other encodings and long or binary text in what
// is refused all end in an InputError that names the place, never a crash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/case_document.h"
#include "hxrate/case_files.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;

std::string repeat(std::string_view s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

const std::string& goodDocument() {
    static const std::string json = [] {
        Extensions e;
        e.shellWallViscosity = 0.0023456;
        return caseDocumentJson(readCase(HXRATE_EXAMPLE_CASE), e);
    }();
    return json;
}

// The good document with the first `from` replaced by `to`.
std::string edited(const std::string& from, const std::string& to) {
    std::string s = goodDocument();
    auto at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

// `levels` arrays (or objects under "a") inside each other, as the value of
// an unknown key, so that a text within the limit is refused for the key.
std::string nested(std::size_t levels, bool objects) {
    return objects ? "{\"x\":" + repeat("{\"a\":", levels) + "0" + repeat("}", levels) + "}"
                   : "{\"x\":" + repeat("[", levels) + repeat("]", levels) + "}";
}

struct Refusal {
    std::string text;
    std::string named;  // what the reason must hold
    int code;
    const char* why;
};

void expectRefusals(const std::vector<Refusal>& rows) {
    for (const Refusal& row : rows) {
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(row.text, "d.json"); });
        ASSERT_TRUE(failure) << row.why;
        EXPECT_NE(failure->reason().find(row.named), std::string::npos)
            << row.why << ": " << failure->what();
        EXPECT_EQ(failure->code(), row.code) << row.why << ": " << failure->what();
        EXPECT_EQ(failure->file(), "d.json") << row.why;
    }
}

constexpr std::size_t depth = caseDocumentDepthLimit;  // the top-level object is one level
const std::string unknown = "(top level).x: not a field";

TEST(CaseDocumentLimits, NestingSizeAndValueCountAreBounded) {
    const std::string bytes = "larger than a case document can be (16 MiB)";
    const std::string fill = "{\"x\":\"\"}";
    const std::size_t room = caseDocumentLimitBytes - fill.size();
    expectRefusals({
        {nested(depth - 1, false), unknown, 12, "arrays at the depth limit are parsed"},
        {nested(depth, false), "nested deeper than 100 levels", 16, "arrays one level past"},
        {nested(depth - 1, true), unknown, 12, "objects at the depth limit are parsed"},
        {nested(depth, true), "nested deeper than 100 levels", 16, "objects one level past"},
        {nested(150000, false) + ",\"format\":\"hxrate-case\"}", "nested deeper", 16,
         "the nesting that exhausted the stack"},
        {"{\"x\":\"" + repeat("[{", 1000) + "\"}", unknown, 12, "brackets in a string do not nest"},
        {"{\"x\":\"\\\"" + repeat("[", 1000) + "\"}", unknown, 12, "nor after an escaped quote"},
        {"{\"x\":\"" + std::string(room, 'a') + "\"}", unknown, 12, "a text at the size limit"},
        {"{\"x\":\"" + std::string(room + 1, 'a') + "\"}", bytes, 16, "one byte past it"},
        {"{\"x\":[" + repeat("0,", caseDocumentValueLimit - 3) + "0]}", unknown, 12,
         "values at the count limit (the object and the array count)"},
        {"{\"x\":[" + repeat("0,", caseDocumentValueLimit - 2) + "0]}",
         "more than 10000 values, more than a case document holds (at x[9998])", 16,
         "one value past it"},
    });
}

// Every way the parser can fail is an InputError naming the field or the
// place, with the library's number and none of the parser's own text.
TEST(CaseDocumentLimits, ParserFailuresNameTheField) {
    expectRefusals({
        {edited("\"value\": 0.016", "\"value\": 1e400"),
         "case.tube_inner_diameter.value: the number 1e400 is beyond the range of a double", 13,
         "a number that overflows a double"},
        {edited("\"value\": 0.016", "\"value\": -1e400"), "case.tube_inner_diameter.value", 13,
         "and a negative one"},
        {edited("\"shells\": 1", "\"shells\": 1e999999999999"), "extensions.shells: the number", 13,
         "with a long exponent"},
        {"{\"x\": [1, 2, 1e400]}", "x[2]: the number", 13, "in an array"},
        {"1e400", "(top level): the number", 13, "as the whole text"},
        {"", "not JSON: syntax error", 12, "nothing"},
        {"{", "not JSON: syntax error", 12, "cut short"},
        {"{\"a\": {\"b\": tru}}", "not JSON at a.b: syntax error", 12, "a bad literal"},
        {"{\"a\": \"\xff\"}", "not JSON at a: syntax error", 12, "text that is not UTF-8"},
        {"{\"a\": \"\\ud800\"}", "not JSON at a: syntax error", 12, "a lone surrogate"},
        {"{\"a\": 1 \"b\": 2}", "not JSON: syntax error while parsing object", 12,
         "a missing comma"},
        {"{\"a\": 1}{}", "not JSON: syntax error", 12, "text after the document"},
        {"{\"case\": {\"k\": 1, \"k\": 2}}", "case: the key \"k\" is given twice", 12,
         "a key given twice, in a nested object"},
    });
    for (const char* text : {"{\"a\":\n  tru}", "{\"a\":\n  1e400}"}) {
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(text, "d.json"); });
        ASSERT_TRUE(failure) << text;
        EXPECT_EQ(failure->line(), 2u) << text;
        EXPECT_GE(failure->column(), 3u) << text;  // a literal is refused where it goes wrong
        EXPECT_LE(failure->column(), 6u) << text;
        EXPECT_EQ(std::string(failure->what()).find("json.exception"), std::string::npos)
            << failure->what();
    }
}

// What a refusal quotes of the document is short and escaped: messages
// land in files other users read.
TEST(CaseDocumentLimits, MessagesQuoteShortEscapedExcerpts) {
    const std::string tail(5000, 'z');
    const std::string binary = "\x1b[31m\xc3\xa9\x01" + tail;         // as the text holds it
    const std::string decoded = "\\u001b[31m\xc3\xa9\\u0001" + tail;  // JSON for the same
    const std::string rows[] = {
        "{\"a\": tru" + binary + "}",               // a bad literal
        "{\"a\": \"" + binary,                      // a string cut short
        "{\"a\": 1" + repeat("0", 5000) + "e400}",  // a long overflowing number
        "{\"" + decoded + "\": 1}",                 // an unknown key
        edited("\"unit\": \"kg/m3\"", "\"unit\": \"" + decoded + "\""),  // a unit refused
        edited("\"version\": 1", "\"version\": \"" + decoded + "\""),    // a version refused
        "{\"" + decoded + "\": 1, \"" + decoded + "\": 2}",              // a key given twice
        "{\"" + decoded + "\": [" + repeat("0,", caseDocumentValueLimit) + "0]}",  // too many
    };
    for (const std::string& text : rows) {
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(text, "d.json"); });
        ASSERT_TRUE(failure) << text.substr(0, 60);
        const std::string what = failure->what();
        EXPECT_LT(what.size(), 420u) << what;
        EXPECT_EQ(what.find("zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"), std::string::npos)
            << what;
        for (char c : what) {
            const auto b = static_cast<unsigned char>(c);
            EXPECT_TRUE(b == '\n' || (b >= 0x20 && b < 0x7f))
                << "byte " << int(b) << " in " << what;
        }
    }
}

// UTF-16 as the bytes of `ascii` (an ASCII text), in either byte order,
// and UTF-32 likewise.
std::string widened(const std::string& ascii, std::size_t unit, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        std::string u(unit, '\0');
        u[bigEndian ? unit - 1 : 0] = c;
        out += u;
    }
    return out;
}

TEST(CaseDocumentLimits, AByteOrderMarkIsReadAndOtherEncodingsNamed) {
    const std::string bom = "\xef\xbb\xbf";
    ASSERT_TRUE(looksLikeCaseDocument(bom + goodDocument()));
    EXPECT_EQ(parseCaseDocument(bom + goodDocument()).input,
              parseCaseDocument(goodDocument()).input);
    struct Row {
        std::string text;
        const char* encoding;
    };
    const Row rows[] = {
        {widened(goodDocument(), 2, false), "UTF-16 (little-endian)"},
        {widened(goodDocument(), 2, true), "UTF-16 (big-endian)"},
        {"\xff\xfe" + widened(goodDocument(), 2, false), "UTF-16 (little-endian)"},
        {"\xfe\xff" + widened(" \n" + goodDocument(), 2, true), "UTF-16 (big-endian)"},
        {widened(goodDocument(), 4, false), "UTF-32 (little-endian)"},
        {widened("\t" + goodDocument(), 4, true), "UTF-32 (big-endian)"},
        {std::string("\xff\xfe\0\0", 4) + widened(goodDocument(), 4, false),
         "UTF-32 (little-endian)"},
        {std::string("\0\0\xfe\xff", 4) + widened(goodDocument(), 4, true), "UTF-32 (big-endian)"},
    };
    for (const Row& row : rows) {
        EXPECT_TRUE(looksLikeCaseDocument(row.text)) << row.encoding;
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(row.text, "d.json"); });
        ASSERT_TRUE(failure) << row.encoding;
        EXPECT_EQ(failure->reason(), std::string("case document \"d.json\": the text is ") +
                                         row.encoding + ", not UTF-8: save it as UTF-8");
    }
    // A case file stays a case file, whatever its encoding: the program
    // says what it makes of it.
    for (const std::string& caseFile :
         {bom + "1 1\n", widened("1 1\n", 2, false), "\xff\xfe" + widened("1 1\n", 2, false),
          widened("1 1\n", 4, true)})
        EXPECT_FALSE(looksLikeCaseDocument(caseFile));
}

TEST(CaseDocumentLimits, WallViscosityMustBePositive) {
    const std::string from = "\"value\": 0.0023456";
    for (const char* value : {"0", "-0.0", "-0.001"}) {
        auto failure = testing::errorOf<InputError>(
            [&] { parseCaseDocument(edited(from, std::string("\"value\": ") + value)); });
        ASSERT_TRUE(failure) << value;
        EXPECT_EQ(failure->reason(),
                  "case document: extensions.shell_wall_viscosity.value: must be above 0 Pa s");
    }
    EXPECT_EQ(parseCaseDocument(goodDocument()).extensions.shellWallViscosity, 0.0023456);
}

// A file is read no further than a document can be; a case file is read
// whole, as the program reads it.
TEST(CaseDocumentLimits, FilesStopAtTheLimit) {
    char folder[] = "/tmp/hxrate-limits-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const fs::path doc = fs::path(folder) / "big.json", caseFile = fs::path(folder) / "big.txt";
    const std::string big = "{\"x\":\"" + std::string(caseDocumentLimitBytes, 'a') + "\"}";
    std::ofstream(doc, std::ios::binary) << big;
    std::ofstream(caseFile, std::ios::binary) << "1 1\n"
                                              << std::string(caseDocumentLimitBytes, ' ');
    const std::string larger = "larger than a case document can be";
    for (auto read : {+[](const fs::path& p) { (void)readCaseDocument(p); },
                      +[](const fs::path& p) { (void)readCaseText(p); }}) {
        auto failure = testing::errorOf<InputError>([&] { read(doc); });
        ASSERT_TRUE(failure);
        EXPECT_NE(failure->reason().find(larger), std::string::npos) << failure->what();
        EXPECT_EQ(failure->code(), errorNumber::valueTooLong);
    }
    EXPECT_EQ(readCaseText(caseFile).size(), caseDocumentLimitBytes + 4);
    auto missing = testing::errorOf<InputError>([&] { readCaseText(fs::path(folder) / "none"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->code(), errorNumber::caseFileUnreadable);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace hxrate
