// hxrate-report's record of a case: the library's assessment as the report
// shows it, the values that broke a check, the JSON schema. (The assessment
// itself is tested in tests/core/assessment_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <numbers>
#include <set>
#include <sstream>

#include <hxrate/case.h>
#include <hxrate/rating.h>

#include "analysis.h"
#include "report_json.h"
#include "support/read_text.h"

namespace hxrate::report {
namespace {

std::string dataCase(const std::string& name) {
    return std::string(HXRATE_REPORT_DATA_DIR) + "/" + name + ".txt";
}

Report reportOf(const std::string& name) {
    return buildReport(readText(dataCase(name)), dataCase(name), name);
}

std::set<std::string> codesOf(const Report& r) {
    std::set<std::string> codes;
    for (const Warning& w : r.warnings) codes.insert(w.code);
    return codes;
}

TEST(Warnings, CleanCaseRaisesNone) {
    Report r = reportOf("clean");
    for (const Warning& w : r.warnings) ADD_FAILURE() << w.code << ": " << w.message;
    EXPECT_EQ(r.outcome, Outcome::solved);
}

TEST(Report, CarriesTheLibrarysAssessment) {
    // The advice and the warnings of the report are assess()'s, whatever
    // the client: the slow case's advised factor finishes in the passes
    // it names.
    Report r = reportOf("slow-shooting");
    ASSERT_TRUE(r.shooting.advisedFactor && r.shooting.advisedPasses);
    Case c = r.input;
    c.correctionFactor = *r.shooting.advisedFactor;
    EXPECT_EQ(rate(c).shootingPasses, *r.shooting.advisedPasses);
    AssessOptions options;
    options.shooting = ShootingAnalysis::always;
    Assessment a = assess(r.input, r.rating, options);
    EXPECT_EQ(a.shooting.advisedFactor, r.shooting.advisedFactor);
}

TEST(Warnings, ValuesNamedInTheMessage) {
    Report r = reportOf("unit-scale");
    auto codes = codesOf(r);
    EXPECT_TRUE(codes.count("unit-scale"));
    bool millimetres = false, coefficient = false;
    for (const Warning& w : r.warnings) {
        millimetres |= w.message.find("tube length 3000 m") != std::string::npos &&
                       w.message.find("millimetres") != std::string::npos;
        coefficient |= w.message.find("overall heat transfer coefficient") != std::string::npos;
    }
    EXPECT_TRUE(millimetres);
    EXPECT_TRUE(coefficient) << "the implausible U is not named";
}

TEST(Rejection, KeepsTheValueThatBrokeTheCheck) {
    Report r = reportOf("rejected-tube-reynolds");
    ASSERT_EQ(r.outcome, Outcome::rejected);
    ASSERT_EQ(r.rejectedBy, Check::tubeNusseltRange);
    ASSERT_FALSE(r.triggers.empty());
    EXPECT_GT(r.triggers[0].value, 5e6);
    EXPECT_EQ(r.triggers[0].limit, 5e6);
    nlohmann::json j = reportJson(r);
    EXPECT_EQ(j["status"], "rejected");
    EXPECT_EQ(j["rejection"]["log_message"], "Inner flow is out of Nusselt Number valid range");
    EXPECT_TRUE(j["results"].is_null());
}

TEST(Report, CoefficientsAreTheLibrarysBitForBit) {
    for (const char* name : {"clean", "unused-value", "coarse-grid"}) {
        Report rep = reportOf(name);
        Rating r = rate(parseCase(readText(dataCase(name))));
        // Through the JSON text and back, as a reader of the file gets them.
        nlohmann::json j = nlohmann::json::parse(reportJson(rep).dump());
        auto same = [](double a, double b) {
            return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
        };
        EXPECT_TRUE(same(j["results"]["overall_coefficient"].get<double>(), r.overallCoefficient));
        EXPECT_TRUE(same(j["results"]["area"].get<double>(), r.area));
        EXPECT_TRUE(same(j["tube_side"]["film_coefficient"].get<double>(), r.tube.filmCoefficient));
    }
}

// ---- the documented schema, checked structurally

void validate(const nlohmann::json& value, const nlohmann::json& schema, const nlohmann::json& root,
              const std::string& path, std::vector<std::string>& errors) {
    if (schema.contains("$ref")) {
        std::string ref = schema["$ref"];
        const std::string prefix = "#/$defs/";
        validate(value, root["$defs"][ref.substr(prefix.size())], root, path, errors);
    }
    if (schema.contains("allOf"))
        for (const auto& part : schema["allOf"]) validate(value, part, root, path, errors);
    if (schema.contains("type")) {
        auto is = [&](const std::string& type) {
            if (type == "object") return value.is_object();
            if (type == "array") return value.is_array();
            if (type == "string") return value.is_string();
            if (type == "integer") return value.is_number_integer();
            if (type == "number") return value.is_number();
            if (type == "boolean") return value.is_boolean();
            return value.is_null();
        };
        bool any = false;
        if (schema["type"].is_string()) {
            any = is(schema["type"]);
        } else {
            for (const auto& t : schema["type"]) any |= is(t);
        }
        if (!any) errors.push_back(path + ": type " + std::string(value.type_name()));
    }
    if (schema.contains("const") && value != schema["const"]) errors.push_back(path + ": const");
    if (schema.contains("enum") &&
        std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end())
        errors.push_back(path + ": " + value.dump() + " not in enum");
    if (value.is_object()) {
        if (schema.contains("required"))
            for (const auto& key : schema["required"])
                if (!value.contains(key)) errors.push_back(path + ": missing " + key.dump());
        if (schema.contains("properties"))
            for (const auto& [key, sub] : schema["properties"].items())
                if (value.contains(key)) validate(value[key], sub, root, path + "/" + key, errors);
    }
    if (value.is_array() && schema.contains("items"))
        for (std::size_t i = 0; i < value.size(); ++i)
            validate(value[i], schema["items"], root, path + "/" + std::to_string(i), errors);
}

TEST(Schema, EveryReportMatchesTheDocumentedSchema) {
    nlohmann::json schema = nlohmann::json::parse(readText(HXRATE_REPORT_SCHEMA));
    EXPECT_EQ(schema["schema_version"], schemaVersion);
    for (const char* name :
         {"clean", "decimal-comma", "label-mismatch", "unused-value", "tube-overlap", "unit-scale",
          "correlation-range", "energy-balance", "temperature-cross", "coarse-grid",
          "slow-shooting", "rejected-tube-reynolds", "cross-flow"}) {
        nlohmann::json j = nlohmann::json::parse(reportJson(reportOf(name)).dump());
        std::vector<std::string> errors;
        validate(j, schema, schema, "", errors);
        for (const std::string& e : errors) ADD_FAILURE() << name << e;
    }
    // The validator itself must catch a missing key and a wrong type.
    nlohmann::json broken = reportJson(reportOf("clean"));
    broken.erase("warnings");
    broken["results"]["area"] = "large";
    std::vector<std::string> errors;
    validate(broken, schema, schema, "", errors);
    EXPECT_EQ(errors.size(), 2u);
}

TEST(CrossFlow, ShellPressureDropIsKernsEstimate) {
    Report r = reportOf("cross-flow");
    ASSERT_EQ(r.outcome, Outcome::solved);
    ASSERT_TRUE(r.shellPressureDrop);
    EXPECT_EQ(r.shellPressureDrop->method, PressureDropMethod::kern);
    // As = Ds (P - Do) B / P from the case: 0.3 * 0.007 * (3/11) / 0.025.
    EXPECT_NEAR(r.shellPressureDrop->flowArea, 0.3 * 0.007 * (3.0 / 11) / 0.025, 1e-12);
    EXPECT_GT(r.shellPressureDrop->pressureDrop, 0);
}

}  // namespace
}  // namespace hxrate::report
