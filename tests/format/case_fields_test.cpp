#include "hxrate/case_fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "hxrate/case_document.h"
#include "support/expect_error.h"
#include "support/read_text.h"

namespace hxrate {
namespace {

// A case file whose every value is its own: field i holds 100 + i, or
// i + 0.25, or the name "N<i>"; field `bad` (if any) holds a word instead.
std::string distinctCase(std::size_t bad = caseFieldCount) {
    std::string text;
    for (int line = 1; line <= caseLineCount; ++line) {
        text += std::to_string(line);
        for (std::size_t i = 0; i < caseFields.size(); ++i) {
            const CaseField& f = caseFields[i];
            if (f.caseLine != line) continue;
            if (i == bad)
                text += " word";
            else if (f.kind == CaseFieldKind::integer)
                text += " " + std::to_string(100 + i);
            else if (f.kind == CaseFieldKind::text)
                text += " 'N" + std::to_string(i) + "'";
            else
                text += " " + std::to_string(i) + ".25";
        }
        text += "\n";
    }
    return text;
}

// Each field's accessor reaches the value its place on its case line gives,
// through the case file and through the case document, and a value that
// cannot be read is named by the field's label and case line.
TEST(CaseFields, EachFieldRoundTripsThroughTheFileAndTheDocument) {
    Case c = parseCase(distinctCase());
    Case back = parseCaseDocument(caseDocumentJson(c), "fields.json").input;
    for (std::size_t i = 0; i < caseFields.size(); ++i) {
        const CaseField& f = caseFields[i];
        for (const Case* read : {&c, &back}) {
            switch (f.kind) {
                case CaseFieldKind::integer:
                    EXPECT_EQ(f.integer(*read), static_cast<std::int32_t>(100 + i)) << f.name;
                    break;
                case CaseFieldKind::text:
                    EXPECT_EQ(f.text(*read), ("N" + std::to_string(i) + "          ").substr(0, 10))
                        << f.name;
                    break;
                default:
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(f.real(*read)),
                              std::bit_cast<std::uint64_t>(static_cast<double>(i) + 0.25))
                        << f.name;
            }
        }
        EXPECT_EQ(findCaseField(f.name), &f);
        if (f.kind == CaseFieldKind::text) continue;  // a word is a name
        auto failure = testing::errorOf<InputError>([&] { parseCase(distinctCase(i), "c.txt"); });
        ASSERT_TRUE(failure) << f.name;
        EXPECT_EQ(failure->caseLine(), f.caseLine) << f.name;
        EXPECT_NE(failure->reason().find("(" + std::string(f.label) + ")"), std::string::npos)
            << f.name << ": " << failure->what();
    }
    EXPECT_EQ(back, c);
    EXPECT_EQ(findCaseField("tube_fluid"), nullptr);
}

// Each field's unit is the one the published schema of the case document
// states beside its value, and only a quantity has one, so that the table,
// the documents and the pages that show it cannot drift apart.
TEST(CaseFields, UnitsAreThoseOfTheCaseDocumentSchema) {
    nlohmann::json schema = nlohmann::json::parse(readText(HXRATE_CASE_DOCUMENT_SCHEMA));
    const nlohmann::json& fields = schema.at("properties").at("case").at("properties");
    for (const CaseField& f : caseFields) {
        const nlohmann::json& record =
            f.record().empty() ? fields : fields.at(std::string(f.record())).at("properties");
        ASSERT_TRUE(record.contains(std::string(f.member()))) << f.name;
        const nlohmann::json& field = record.at(std::string(f.member()));
        std::string unit;
        if (field.contains("properties") && field["properties"].contains("unit"))
            unit = field["properties"]["unit"].at("default").get<std::string>();
        EXPECT_EQ(f.unit, unit) << f.name;
        EXPECT_EQ(f.kind == CaseFieldKind::quantity, !f.unit.empty()) << f.name;
    }
}

// A refused document is named by the source name given, in the message
// itself, so that a batch of documents tells which one was refused.
TEST(CaseFields, ARefusedDocumentIsNamedInTheMessage) {
    std::string json = caseDocumentJson(parseCase(distinctCase()));
    std::string unitless = json.substr(0, json.find("\"unit\": \"m\"")) + "\"unit\": \"kg\"" +
                           json.substr(json.find("\"unit\": \"m\"") + 11);
    struct Row {
        std::string text, source, expected;
        const char* why;
    } rows[] = {
        {unitless, "pump-7.json", "case document \"pump-7.json\": case.tube_inner_diameter",
         "a field refused"},
        {"{\"format\": 1, \"format\": 2}", "b.json", "case document \"b.json\": the key",
         "a key given twice"},
        {"{", "c.json", "case document \"c.json\": not JSON", "not JSON"},
        {unitless, "case document", "case document: case.tube_inner_diameter",
         "no name of its own: as before"},
    };
    for (const Row& row : rows) {
        auto failure =
            testing::errorOf<InputError>([&] { parseCaseDocument(row.text, row.source); });
        ASSERT_TRUE(failure) << row.why;
        EXPECT_TRUE(failure->reason().starts_with(row.expected))
            << row.why << ": " << failure->reason();
        EXPECT_EQ(failure->file(), row.source) << row.why;
    }
}

}  // namespace
}  // namespace hxrate
