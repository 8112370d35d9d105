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
#include <hxrate/case_document.h>
#include <hxrate/exchanger.h>
#include <hxrate/rating.h>

#include "analysis.h"
#include "report_html.h"
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

// The shipped document of water in the tubes and an oil table on the shell
// side, varied: what each stream's model was, where the rating took its
// properties, the fluids as rated and the properties along the tubes, in
// the JSON and on the page.
TEST(RealFluids, ShowTheFluidsAsRated) {
    const nlohmann::json shipped = nlohmann::json::parse(readText(HXRATE_REAL_FLUIDS));
    auto constant = [](nlohmann::json& fluid) {
        fluid.erase("model");
        fluid.erase("table");
        fluid.erase("pressure");
    };
    const struct {
        const char* why;
        void (*vary)(nlohmann::json&);
        const char* mode;
        bool profile;  // one pass, one shell: the properties along the tubes
    } rows[] = {
        {"the shipped document, at the mean temperatures", [](nlohmann::json&) {}, "mean", true},
        {"element by element", [](nlohmann::json& d) { d["properties_at"] = "incremental"; },
         "incremental", true},
        {"two passes: P-NTU at the means whatever was asked",
         [](nlohmann::json& d) {
             d["properties_at"] = "inlet";
             d["extensions"] = {{"tube_passes", 2}};
         },
         "mean", false},
        {"the tube stream constant, at the inlet",
         [](nlohmann::json& d) {
             d["properties_at"] = "inlet";
             d["case"]["tube_fluid"].erase("model");
             d["case"]["tube_fluid"].erase("pressure");
         },
         "inlet", true},
    };
    const nlohmann::json schema = nlohmann::json::parse(readText(HXRATE_REPORT_SCHEMA));
    auto same = [](const nlohmann::json& j, double x) {
        return j.is_number() &&
               std::bit_cast<std::uint64_t>(j.get<double>()) == std::bit_cast<std::uint64_t>(x);
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        nlohmann::json document = shipped;
        row.vary(document);
        const std::string text = document.dump();
        const Report rep = buildReport(text, "real-fluids.json", "real-fluids");
        const ExchangerRating x = rate(parseCaseDocument(text));
        ASSERT_TRUE(x.solved() && x.ratedCase);
        const nlohmann::json j = nlohmann::json::parse(reportJson(rep).dump());
        std::vector<std::string> errors;
        validate(j, schema, schema, "", errors);
        for (const std::string& e : errors) ADD_FAILURE() << e;

        const nlohmann::json& f = j["fluid_properties"];
        EXPECT_EQ(f["properties_at"], row.mode);
        EXPECT_EQ(f["mean_iterations"], x.meanIterations);
        EXPECT_TRUE(same(f["wall_temperature"], *x.wallTemperature));
        EXPECT_TRUE(same(f["shell_property_temperature"], *x.shellPropertyTemperature));
        EXPECT_EQ(f["tube_property_temperature"].is_null(), !x.tubePropertyTemperature);
        EXPECT_EQ(f["shell_model"], nlohmann::json::parse(R"({"kind": "table", "rows": 11,
                  "temperature_low": -0.15, "temperature_high": 96.85})"));
        EXPECT_EQ(f["tube_model"]["kind"], x.tubePropertyTemperature ? "water" : "constant");
        // The inputs are the case as rated, not the document's constants.
        for (const nlohmann::json& input : j["inputs"]) {
            if (input["key"] == "shell_fluid_viscosity") {
                EXPECT_TRUE(same(input["value"], x.ratedCase->shellFluid.viscosity));
            } else if (input["key"] == "tube_fluid_volumetric_flow") {
                EXPECT_TRUE(same(input["value"], x.ratedCase->tubeFluid.volumetricFlow));
            }
        }
        ASSERT_EQ(j["profile"].contains("shell_viscosity"), row.profile);

        const std::string page = reportHtml(rep);
        EXPECT_NE(page.find("table of 11 rows, -0.15 to 96.85 °C"), std::string::npos);
        EXPECT_EQ(page.find("water (IAPWS-IF97) at 300000 Pa") != std::string::npos,
                  x.tubePropertyTemperature.has_value());
        EXPECT_EQ(page.find("id=\"tube-viscosity-chart\"") != std::string::npos,
                  row.profile && x.tubePropertyTemperature);
        EXPECT_EQ(page.find("id=\"wall-chart\"") != std::string::npos, row.profile);
        if (row.profile) {
            // The chart's axis, in mPa s, spans every node's viscosity.
            const std::size_t chart = page.find("id=\"shell-viscosity-chart\"");
            ASSERT_NE(chart, std::string::npos);
            auto attribute = [&](const std::string& key) {
                return std::stod(page.substr(page.find(key + "=\"", chart) + key.size() + 2));
            };
            for (const nlohmann::json& mu : j["profile"]["shell_viscosity"]) {
                EXPECT_GE(mu.get<double>() * 1000, attribute("data-y-min"));
                EXPECT_LE(mu.get<double>() * 1000, attribute("data-y-max"));
            }
        }
    }
    // Both streams constant: the page of a document as it always was, and
    // the JSON says where nothing came from.
    nlohmann::json document = shipped;
    constant(document["case"]["tube_fluid"]);
    constant(document["case"]["shell_fluid"]);
    const Report rep = buildReport(document.dump(), "constant.json", "constant");
    const std::string page = reportHtml(rep);
    for (const char* absent : {"fluid-properties", "property-profile", "(as rated)"})
        EXPECT_EQ(page.find(absent), std::string::npos) << absent;
    const nlohmann::json f = reportJson(rep)["fluid_properties"];
    EXPECT_EQ(f["tube_model"]["kind"], "constant");
    EXPECT_TRUE(f["shell_property_temperature"].is_null());
    EXPECT_TRUE(f["wall_temperature"].is_null());
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

// The vibration screening of the shipped bundles, varied: the figures the
// JSON carries are the library's, the page shows them with the chart's
// limit line, and a case that is not cross flow has none.
TEST(Vibration, ReportCarriesTheScreening) {
    const std::string examples = HXRATE_VIBRATION_EXAMPLES;
    const nlohmann::json schema = nlohmann::json::parse(readText(HXRATE_REPORT_SCHEMA));
    using Vary = void (*)(nlohmann::json&);
    const struct {
        const char* why;
        std::string file;
        Vary vary;
        const char* worstSpan;  // null: no screening
        double worstRatio;      // as the example documents state it, to 4 digits
        const char* code;       // a code the warnings must hold, or null
        bool acoustic;
        int overBars;  // bars at or above the limit
        const char* limitLabel;
    } rows[] = {
        {"the window tubes' spans vibrate", examples + "/vibrating.json", [](nlohmann::json&) {},
         "window central", 2.348, "fluid-elastic-instability", false, 3, "limit 1"},
        {"eleven baffles pass", examples + "/supported.json", [](nlohmann::json&) {},
         "window central", 0.6958, nullptr, false, 0, "limit 1"},
        {"a limit above the ratio passes", examples + "/vibrating.json",
         [](nlohmann::json& d) { d["vibration"]["velocity_ratio_limit"] = 2.5; }, "window central",
         2.348, nullptr, false, 0, "limit 2.5"},
        {"a gas with its speed of sound is screened for acoustic resonance",
         examples + "/vibrating.json",
         [](nlohmann::json& d) {
             d["vibration"]["shell_phase"] = "gas";
             d["vibration"]["speed_of_sound"] = {{"value", 340}, {"unit", "m/s"}};
         },
         "window central", 0, nullptr, true, 3, "limit 1"},
        {"a gas without it is not", examples + "/vibrating.json",
         [](nlohmann::json& d) { d["vibration"]["shell_phase"] = "gas"; }, "window central", 0,
         "acoustic-not-screened", false, 3, "limit 1"},
        {"along the tubes: no screening", dataCase("clean"), nullptr, nullptr, 0, nullptr, false, 0,
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        std::string text = readText(row.file);
        if (row.vary) {
            nlohmann::json document = nlohmann::json::parse(text);
            row.vary(document);
            text = document.dump();
        }
        const Report rep = buildReport(text, row.file, "case");
        const nlohmann::json j = nlohmann::json::parse(reportJson(rep).dump());
        std::vector<std::string> errors;
        validate(j, schema, schema, "", errors);
        for (const std::string& e : errors) ADD_FAILURE() << e;
        const std::string page = reportHtml(rep);
        ASSERT_TRUE(j.contains("vibration"));
        if (!row.worstSpan) {
            EXPECT_TRUE(j["vibration"].is_null());
            EXPECT_EQ(page.find("id=\"vibration\""), std::string::npos);
            continue;
        }
        const nlohmann::json& v = j["vibration"];
        ASSERT_TRUE(v.is_object());
        const ExchangerRating x = rate(parseCaseDocument(text));
        ASSERT_TRUE(x.vibration);
        // The library's figures, bit for bit; the examples' stated ratios to 4 digits.
        EXPECT_EQ(std::bit_cast<std::uint64_t>(v["worst_velocity_ratio"].get<double>()),
                  std::bit_cast<std::uint64_t>(x.vibration->worstVelocityRatio));
        if (row.worstRatio > 0) {
            EXPECT_NEAR(v["worst_velocity_ratio"].get<double>(), row.worstRatio, 5e-4);
        }
        EXPECT_EQ(v["worst_span"], row.worstSpan);
        EXPECT_EQ(v["passes"], x.vibration->passes());
        ASSERT_EQ(v["spans"].size(), x.vibration->spans.size());
        for (std::size_t i = 0; i < v["spans"].size(); ++i)
            EXPECT_EQ(v["spans"][i]["critical_velocity"].get<double>(),
                      x.vibration->spans[i].criticalVelocity);
        EXPECT_EQ(v["acoustic"].is_object(), row.acoustic);
        if (row.acoustic) {
            EXPECT_FALSE(v["acoustic"]["modes"].empty());
        }
        std::set<std::string> codes;
        for (const nlohmann::json& w : j["warnings"]) codes.insert(w["code"]);
        EXPECT_EQ(codes.contains("fluid-elastic-instability"), !v["passes"].get<bool>());
        if (row.code) {
            EXPECT_TRUE(codes.contains(row.code)) << row.code;
        }

        // The section, its tables, and the chart: one bar per kind of span, those
        // at or above the limit red, and the limit's line labelled.
        for (const char* id :
             {"id=\"vibration\"", "id=\"vibration-spans\"", "id=\"vibration-inputs\"",
              "id=\"vibration-chart\"", "id=\"vibration-limit\""})
            EXPECT_NE(page.find(id), std::string::npos) << id;
        EXPECT_EQ(page.find("id=\"vibration-acoustic\"") != std::string::npos, row.acoustic);
        auto count = [&](const std::string& what) {
            int n = 0;
            for (std::size_t at = page.find(what); at != std::string::npos;
                 at = page.find(what, at + 1))
                ++n;
            return n;
        };
        EXPECT_EQ(count("<rect id=\"vibration-bar-"), static_cast<int>(v["spans"].size()));
        EXPECT_EQ(count("class=\"over\""), row.overBars);
        EXPECT_NE(page.find(std::string("id=\"vibration-limit-label\"")), std::string::npos);
        const std::size_t label = page.find("id=\"vibration-limit-label\"");
        EXPECT_EQ(page.substr(page.find('>', label) + 1, std::string(row.limitLabel).size() + 1),
                  std::string(row.limitLabel) + "<");
    }
}

}  // namespace
}  // namespace hxrate::report
