// hxrate-report's computations: pressure drops against hand and published
// values, effectiveness limits, warnings on small cases, the JSON schema.
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

namespace hxrate::report {
namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) throw std::runtime_error("cannot read " + path);
    return bytes.str();
}

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

TEST(KernPressureDrop, MatchesTheWorkedExample) {
    // 11 kg/s of water across an inline bundle of 19 mm tubes on a 25.4 mm
    // pitch, 22 baffles 152.4 mm apart in a 584 mm shell.
    std::optional<PressureDrop> d = kernPressureDrop(
        {11, 995, 0.000803, 0.584, 0.1524, 0.0254, 0.019, 22, BundleArrangement::Inline});
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->reynolds, 14803, 1);
    EXPECT_NEAR(d->friction, 0.2869, 5e-5);
    EXPECT_NEAR(d->pressureDrop, 19229, 1);
    EXPECT_TRUE(d->estimate);
}

TEST(KernPressureDrop, EquivalentDiameterOfBothLayouts) {
    struct Row {
        std::int32_t arrangement;
        double P, Do, expected;
        const char* why;
    } rows[] = {
        {BundleArrangement::Inline, 0.0254, 0.019, 0.024233,
         "square cell, 4 x free area / perimeter"},
        {BundleArrangement::Staggered, 0.0254, 0.019, 0.018181, "half a tube in a triangle cell"},
        {BundleArrangement::Inline, 0.025, 0.018, 0.026209, "the example's tubes"},
    };
    for (const Row& r : rows)
        EXPECT_NEAR(kernEquivalentDiameter(r.arrangement, r.P, r.Do), r.expected, 2e-6) << r.why;
}

TEST(KernPressureDrop, AbsentWhereTheBundleLeavesNoGap) {
    EXPECT_FALSE(kernPressureDrop({11, 995, 0.000803, 0.584, 0.1524, 0.019, 0.019, 22, 0}));
    EXPECT_FALSE(kernPressureDrop({11, 995, 0.000803, 0.584, 0.1524, 0.015, 0.019, 22, 0}));
}

TEST(TubePressureDrop, LaminarIsHagenPoiseuille) {
    Case c = parseCase(readText(dataCase("clean")));
    c.tubeFluid.volumetricFlow = 0.0005;  // Re about 990: laminar
    Rating r = rate(c);
    ASSERT_EQ(r.tube.correlation, Correlation::laminarDuct);
    std::optional<PressureDrop> d = tubePressureDrop(c, r);
    ASSERT_TRUE(d);
    // dP = 128 mu L q / (pi Di^4) with q the flow of one tube.
    double q = c.tubeFluid.volumetricFlow / c.tubeCount;
    double expected = 128 * c.tubeFluid.viscosity * c.tubeLength * q /
                      (std::numbers::pi * std::pow(c.tubeInnerDiameter, 4));
    // The model's Re, and so its 64/Re, carries a single-precision pi.
    EXPECT_NEAR(d->pressureDrop, expected, 1e-7 * expected);
    EXPECT_EQ(d->frictionSource, FrictionSource::laminar);
}

TEST(TubePressureDrop, TurbulentByHandWithTheModelsFriction) {
    Case c = parseCase(readText(dataCase("clean")));
    Rating r = rate(c);
    ASSERT_EQ(r.tube.correlation, Correlation::turbulentDuct);
    std::optional<PressureDrop> d = tubePressureDrop(c, r);
    ASSERT_TRUE(d);
    // 0.002 m3/s over 40 tubes of 16 mm: v = 0.24868 m/s; f from the model.
    double f = *r.tube.friction;
    EXPECT_NEAR(d->velocity, 0.248680, 1e-6);
    EXPECT_NEAR(d->pressureDrop, f * (3.0 / 0.016) * 998 * 0.248680 * 0.248680 / 2, 1e-3);
    // The model's value is a Colebrook root at this Re and roughness.
    double lhs = 1 / std::sqrt(f);
    double rhs = -2 * std::log10(1.5e-6 / 0.016 / 3.7 + 2.51 / (r.tube.reynolds * std::sqrt(f)));
    EXPECT_NEAR(lhs, rhs, 1e-3);
    EXPECT_EQ(d->frictionSource, FrictionSource::modelColebrook);
}

TEST(Colebrook, AgreesWithMoodyValues) {
    struct Row {
        double Re, relativeRoughness, f;
        const char* why;
    } rows[] = {
        {1e5, 0, 0.01799, "smooth pipe"},
        {1e6, 1e-4, 0.01344, "commercial steel"},
        {1e7, 1e-3, 0.01964, "fully rough"},
    };
    for (const Row& r : rows) EXPECT_NEAR(colebrook(r.Re, r.relativeRoughness), r.f, 2e-4) << r.why;
}

TEST(IdealEffectiveness, ClosedFormLimits) {
    struct Row {
        double ntu, Cr;
        bool counter;
        double expected;
        const char* why;
    } rows[] = {
        {1, 0, false, 1 - std::exp(-1.0), "condensing side: flow direction does not matter"},
        {1, 0, true, 1 - std::exp(-1.0), "the same counter-current"},
        {50, 1, false, 0.5, "balanced co-current reaches half"},
        {1, 1, true, 0.5, "balanced counter-current: NTU/(1+NTU)"},
        {50, 0.5, true, 1.0, "counter-current approaches one"},
        {1e-6, 0.7, true, 1e-6, "tiny exchanger: effectiveness equals NTU"},
    };
    for (const Row& r : rows)
        EXPECT_NEAR(idealEffectiveness(r.ntu, r.Cr, r.counter), r.expected, 1e-6) << r.why;
}

TEST(ThermalSummary, FineGridMeetsTheClosedFormAndTheMeanDifference) {
    for (int type : {0, 1}) {
        Case c = parseCase(readText(dataCase("clean")));
        c.exchangerType = type;
        c.elementLength = 0.001;
        RateOptions exact;
        exact.shooting = ShootingMethod::exact;
        Rating r = rate(c, exact);
        ThermalSummary s = summariseThermal(c, r);
        ASSERT_TRUE(s.effectiveness && s.idealEffectiveness && s.lmtd) << type;
        EXPECT_NEAR(*s.effectiveness / *s.idealEffectiveness, 1, 1e-3) << type;
        // Q = UA * LMTD holds for the ideal exchanger.
        EXPECT_NEAR(std::fabs(*s.tubeDuty) / (s.UA * *s.lmtd), 1, 1e-3) << type;
        EXPECT_LT(*s.imbalance, 1e-3) << type;
    }
}

TEST(Warnings, EachSmallCaseRaisesItsCode) {
    struct Row {
        const char* file;
        const char* code;
        Severity severity;
        int caseLine;
    } rows[] = {
        {"decimal-comma", "decimal-comma", Severity::error, 4},
        {"label-mismatch", "label-mismatch", Severity::warning, 9},
        {"unused-value", "unused-value", Severity::info, 21},
        {"tube-overlap", "tube-overlap", Severity::error, 10},
        {"unit-scale", "unit-scale", Severity::error, 2},
        {"correlation-range", "correlation-range", Severity::warning, 15},
        {"energy-balance", "energy-balance", Severity::warning, 0},
        {"temperature-cross", "temperature-cross", Severity::error, 18},
        {"coarse-grid", "coarse-grid", Severity::warning, 5},
        {"slow-shooting", "slow-shooting", Severity::warning, 21},
    };
    for (const Row& row : rows) {
        Report r = reportOf(row.file);
        auto it = std::find_if(r.warnings.begin(), r.warnings.end(),
                               [&](const Warning& w) { return w.code == row.code; });
        ASSERT_NE(it, r.warnings.end()) << row.file;
        EXPECT_EQ(it->severity, row.severity) << row.file << ": " << it->message;
        EXPECT_EQ(it->caseLine, row.caseLine) << row.file << ": " << it->message;
    }
}

TEST(ShootingAdvice, AdvisedFactorFinishesWhereTheCasesCrawls) {
    Report r = reportOf("slow-shooting");
    ASSERT_GT(r.rating.shootingPasses, slowShootingPasses);
    ASSERT_TRUE(r.shooting.advisedFactor && r.shooting.advisedPasses);
    Case c = r.input;
    c.correctionFactor = *r.shooting.advisedFactor;
    Rating advised = rate(c);
    EXPECT_EQ(advised.shootingPasses, *r.shooting.advisedPasses);
    EXPECT_LE(advised.shootingPasses, 10);
    // Both shootings land on the same profile within their tolerance.
    EXPECT_NEAR(advised.tubeOutletTemperature, r.rating.tubeOutletTemperature, 1e-4);
}

TEST(Warnings, CleanCaseRaisesNone) {
    Report r = reportOf("clean");
    for (const Warning& w : r.warnings) ADD_FAILURE() << w.code << ": " << w.message;
    EXPECT_EQ(r.outcome, Outcome::solved);
}

TEST(Warnings, DecimalCommaOnlyWhereADigitFollowsTheComma) {
    std::string clean = readText(dataCase("clean"));
    struct Row {
        std::string from, to;
        bool warned;
        const char* why;
    } rows[] = {
        {"4 3.0 ", "4 3,5 ", true, "length read as 3"},
        {"18 20.0", "18 20,5", true, "temperature read as 20"},
        {"4 3.0 ", "4 3.0, ", false, "a comma ends the value, nothing follows"},
        {"4 3.0 ", "4 3.0 ,(m) ", false, "text after the comma is no digit"},
    };
    for (const Row& row : rows) {
        std::string text = clean;
        text.replace(text.find(row.from), row.from.size(), row.to);
        CaseSource source;
        parseCase(text, "case", source);
        std::vector<Warning> w = checkCaseText(text, source);
        bool warned = std::any_of(w.begin(), w.end(),
                                  [](const Warning& x) { return x.code == "decimal-comma"; });
        EXPECT_EQ(warned, row.warned) << row.why;
    }
    // The same with CR LF line ends.
    std::string crlf;
    for (char ch : clean) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    crlf.replace(crlf.find("4 3.0 "), 6, "4 3,5 ");
    CaseSource source;
    parseCase(crlf, "case", source);
    EXPECT_EQ(checkCaseText(crlf, source).size(), 1u);
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
    ASSERT_TRUE(r.shellPressure);
    EXPECT_EQ(r.shellPressure->method, "kern");
    // As = Ds (P - Do) B / P from the case: 0.3 * 0.007 * (3/11) / 0.025.
    EXPECT_NEAR(r.shellPressure->flowArea, 0.3 * 0.007 * (3.0 / 11) / 0.025, 1e-12);
    EXPECT_GT(r.shellPressure->pressureDrop, 0);
}

}  // namespace
}  // namespace hxrate::report
