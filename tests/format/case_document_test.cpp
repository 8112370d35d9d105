#include "hxrate/case_document.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "hxrate/case_files.h"
#include "hxrate/report.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

namespace fs = std::filesystem;

const fs::path casesDir = fs::path(__FILE__).parent_path() / "../cases";
constexpr const char* caseFile = "48230007640350000606.txt";

Case example() {
    return readCase(fs::path(__FILE__).parent_path() / "../../examples/water-oil" / caseFile);
}

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// Every success case of the corpus survives case -> JSON -> case exactly,
// and rates to the same report and the same bits.
TEST(CaseDocument, RoundTripOfTheCorpusRatesBitForBit) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(casesDir)) {
        std::string name = entry.path().filename().string();
        if (!name.starts_with("success-")) continue;
        Case c = readCase(entry.path() / caseFile);
        std::string json = caseDocumentJson(c);
        ASSERT_TRUE(looksLikeCaseDocument(json)) << name;
        CaseDocument back = parseCaseDocument(json, name);
        ASSERT_EQ(back.input, c) << name << "\n" << json;
        EXPECT_TRUE(back.extensions.empty()) << name;
        Rating a = rate(c), b = rate(back.input);
        EXPECT_EQ(resultsReportText(c, a), resultsReportText(back.input, b)) << name;
        EXPECT_EQ(bits(a.overallCoefficient), bits(b.overallCoefficient)) << name;
        EXPECT_EQ(bits(a.tubeOutletTemperature), bits(b.tubeOutletTemperature)) << name;
        EXPECT_EQ(a.profile.tube, b.profile.tube) << name;
        ++cases;
    }
    EXPECT_GT(cases, 20);
}

TEST(CaseDocument, ExtensionsRoundTrip) {
    Extensions e;
    e.foulingInside = 1.8e-4;
    e.foulingOutside = 3.5e-4;
    e.tubePasses = 4;
    e.shells = 2;
    e.shellSide = ShellSideMethod::bellDelaware;
    e.baffles.baffleCut = 0.3;
    e.baffles.sealingStripPairs = 2;
    e.baffles.tubeToBaffleClearance = 0.0008;
    e.baffles.inletBaffleSpacing = 0.35;
    e.baffles.layoutAngle = 45;
    e.shellWallViscosity = 0.002;
    CaseDocument back = parseCaseDocument(caseDocumentJson(example(), e));
    EXPECT_EQ(back.input, example());
    EXPECT_TRUE(back.extensions == e);
}

// Every tube material reads back from its name, the short ones too.
TEST(CaseDocument, VibrationMaterialsRoundTrip) {
    for (TubeMaterial m : tubeMaterials()) {
        CaseDocument d{example(), {}, {}};
        d.vibration.material = m;
        CaseDocument back = parseCaseDocument(caseDocumentJson(d));
        EXPECT_TRUE(back.vibration == d.vibration) << tubeMaterialName(m);
    }
}

// A document that states another unit, leaves a field out, gives a wrong
// type or is not JSON is refused, naming the field.
TEST(CaseDocument, RefusesABadDocumentNamingTheField) {
    Extensions fouled;
    fouled.foulingOutside = 2e-4;
    const std::string good = caseDocumentJson(example(), fouled);
    struct Row {
        std::string from, to;
        std::string named;
        int code;
        const char* why;
    };
    const Row rows[] = {
        {"\"unit\": \"kg/m3\"", "\"unit\": \"kg\"", "case.tube_fluid.density", 12,
         "a density in a unit of mass"},
        {"\"unit\": \"m2 K/W\"", "\"unit\": \"W/(m2 K)\"", "extensions.fouling_outside", 12,
         "a fouling resistance given as a coefficient"},
        {"\"unit\": \"degC\"", "\"unit\": \"furlong\"", "case.tube_inlet_temperature", 12,
         "a temperature in a unit of length"},
        {"\"unit\": \"m\"", "\"unit\": \"parsecs per fortnight\"", "case.tube_inner_diameter", 12,
         "a unit nobody knows"},
        {"\"tube_length\"", "\"tube_lenght\"", "case.tube_length", 12, "a required field missing"},
        {"\"tube_count\": 40", "\"tube_count\": \"40\"", "case.tube_count", 12,
         "a count as a string"},
        {"\"tube_count\": 40", "\"tube_count\": 40.5", "case.tube_count", 12,
         "a count that is not whole"},
        {"\"tube_count\": 40", "\"tube_count\": 4000000000", "case.tube_count", 13,
         "a count beyond 32 bits"},
        {"\"value\": 0.016", "\"value\": null", "case.tube_inner_diameter.value", 12,
         "a null value"},
        {"\"shells\": 1", "\"shells\": 1, \"shell\": 2", "extensions.shell", 12,
         "a field the version does not have"},
        {"\"version\": 1", "\"version\": 2", "version", 12, "a later version"},
        {"\"shells\": 1", "\"shells\": 1, \"shells\": 3", "\"shells\" is given twice", 12,
         "a key given twice"},
        {"\"case\": {", "\"case\": [", "not JSON", 12, "broken JSON"},
    };
    for (const auto& row : rows) {
        std::string bad = good;
        auto at = bad.find(row.from);
        ASSERT_NE(at, std::string::npos) << row.why << "\n" << good;
        bad.replace(at, row.from.size(), row.to);
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(bad, "doc.json"); });
        ASSERT_TRUE(failure) << row.why;
        EXPECT_NE(failure->reason().find(row.named), std::string::npos)
            << row.why << ": " << failure->what();
        EXPECT_EQ(failure->code(), row.code) << row.why;
        EXPECT_EQ(failure->file(), "doc.json") << row.why;
    }
}

// A quantity in any unit of its field's dimension reads as its SI value; the
// document keeps what was given. Temperatures convert with their offset, a
// temperature inside a compound unit as a difference.
TEST(CaseDocument, ConvertsTheUnitsUsersWrite) {
    Extensions fouled;
    fouled.foulingOutside = 2e-4;
    const nlohmann::json good = nlohmann::json::parse(caseDocumentJson(example(), fouled));
    const Case c = example();
    const double rho = c.tubeFluid.density, Q = c.tubeFluid.volumetricFlow;
    const double mu = c.tubeFluid.viscosity, T = c.tubeInletTemperature;
    struct Row {
        const char* field;  // the document field, as messages name it
        double value;       // given in `unit`
        const char* unit;
        double si;  // what it must read as
        const char* why;
    };
    const Row rows[] = {
        {"case.tube_inner_diameter", c.tubeInnerDiameter * 1000, "mm", c.tubeInnerDiameter,
         "millimetres"},
        {"case.tube_length", c.tubeLength / 0.3048, "ft", c.tubeLength, "feet"},
        {"case.tube_fluid.density", rho / 1000, "g/cm3", rho, "grams per cubic centimetre"},
        {"case.tube_fluid.viscosity", mu * 1000, "cP", mu, "centipoise"},
        {"case.tube_fluid.viscosity", mu * 1000, "mPa s", mu, "millipascal seconds"},
        {"case.tube_fluid.heat_capacity", 4.18, "kJ/(kg K)", 4180, "kilojoules"},
        {"case.tube_fluid.volumetric_flow", 3.6, "m3/h", 0.001, "cubic metres an hour"},
        {"case.tube_fluid.volumetric_flow", 60, "L/min", 0.001, "litres a minute"},
        {"case.tube_fluid.volumetric_flow", Q * rho * 3600, "kg/h", Q,
         "a mass flow, through the stream's density"},
        {"case.tube_inlet_temperature", 300, "K", 300 - 273.15, "kelvin, with its offset"},
        {"case.tube_inlet_temperature", 212, "degF", 100, "Fahrenheit, with its offset"},
        {"case.tube_inlet_temperature", T, "°C", T, "the Celsius sign"},
        {"extensions.fouling_outside", 0.001, "h ft2 degF/Btu", 0.001 * 0.17611018368230588,
         "fouling in British units: a temperature difference"},
        {"case.wall_conductivity", 10, "Btu/(h ft degF)", 17.307346663713915,
         "conductivity in British units"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        nlohmann::json doc = good;
        std::string pointer = "/" + std::string(row.field);
        for (char& ch : pointer) ch = ch == '.' ? '/' : ch;
        doc[nlohmann::json::json_pointer(pointer)] = {{"value", row.value}, {"unit", row.unit}};
        CaseDocument d = parseCaseDocument(doc.dump());
        // Where the field landed, read back through the SI document.
        nlohmann::json back = nlohmann::json::parse(caseDocumentJson(d.input, d.extensions));
        double got = back[nlohmann::json::json_pointer(pointer + "/value")].get<double>();
        EXPECT_NEAR(got, row.si, 1e-12 * std::abs(row.si) + 1e-15);
        ASSERT_EQ(d.given.size(), 1u);
        EXPECT_EQ(d.given[0].field, row.field);
        EXPECT_EQ(d.given[0].unit, row.unit);
        EXPECT_EQ(d.given[0].si, got);
    }
    EXPECT_TRUE(parseCaseDocument(good.dump()).given.empty());
    // The refusal names the field, the unit given and the dimension expected.
    nlohmann::json doc = good;
    doc["case"]["tube_fluid"]["viscosity"]["unit"] = "cSt";
    auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(doc.dump()); });
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->reason().find("case.tube_fluid.viscosity: unit \"cSt\" refused: not a unit "
                                     "of dynamic viscosity (SI unit Pa s)"),
              std::string::npos)
        << failure->reason();
}

TEST(CaseDocument, WritesOnlyWhatJsonCanCarry) {
    Case c = example();
    c.tubeLength = std::numeric_limits<double>::infinity();
    auto failure = testing::errorOf<InvalidArgument>([&] { caseDocumentJson(c); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->argument(), "case.tube_length");
    c = example();
    c.wallMaterial = "Cu\xff";
    failure = testing::errorOf<InvalidArgument>([&] { caseDocumentJson(c); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->argument(), "case.wall_material");
}

}  // namespace
}  // namespace hxrate

namespace hxrate {
namespace {

CaseDocument realFluids() {
    CaseDocument d{example(), {}, {}};
    d.tubeProperties = {PropertyModelKind::water, {}, 3e5};
    d.shellProperties = {PropertyModelKind::table,
                         {{20, {890, 0.8, 0.145, 1870}}, {100.5, {840, 0.017, 0.137, 2210}}},
                         0};
    d.propertiesAt = PropertiesAt::mean;
    return d;
}

// Property models and the mode survive document -> JSON -> document
// exactly; a document in other units reads as the same SI models.
TEST(CaseDocument, PropertyModelsRoundTrip) {
    const CaseDocument d = realFluids();
    const std::string json = caseDocumentJson(d);
    CaseDocument back = parseCaseDocument(json);
    EXPECT_EQ(back.input, d.input);
    EXPECT_EQ(back.tubeProperties, d.tubeProperties);
    EXPECT_EQ(back.shellProperties, d.shellProperties);
    EXPECT_EQ(back.propertiesAt, PropertiesAt::mean);
    EXPECT_EQ(caseDocumentJson(back), json);
    // Constant models and "inlet" write nothing: the document of the case.
    EXPECT_EQ(caseDocumentJson(CaseDocument{d.input, {}, {}}), caseDocumentJson(d.input));

    std::string inBar = json;
    const std::string pa = "\"value\": 300000.0,\n        \"unit\": \"Pa\"";
    ASSERT_NE(inBar.find(pa), std::string::npos) << json;
    inBar.replace(inBar.find(pa), pa.size(), "\"value\": 3,\n        \"unit\": \"bar\"");
    EXPECT_EQ(parseCaseDocument(inBar).tubeProperties.pressure, 3e5);
}

// A stream with a model given by its mass flow keeps that mass flow: the
// volumetric flow is taken through the model's density at the inlet, not
// through the case's density.
TEST(CaseDocument, AMassFlowGoesThroughTheModelsInletDensity) {
    std::string json = caseDocumentJson(realFluids());
    const std::string q = "\"value\": 0.003,\n        \"unit\": \"m3/s\"";
    ASSERT_NE(json.find(q), std::string::npos) << json;
    json.replace(json.find(q), q.size(), "\"value\": 9,\n        \"unit\": \"t/h\"");
    const CaseDocument d = parseCaseDocument(json);
    const double rho = propertiesAt(d.shellProperties, d.input.shellFluid, 90, "shell").density;
    EXPECT_EQ(d.input.shellFluid.volumetricFlow, 2.5 / rho);  // 9 t/h = 2.5 kg/s
    EXPECT_EQ(d.given.back().si, d.input.shellFluid.volumetricFlow);
    // At an inlet the table does not cover, no density gives the flow.
    std::string cold = json;
    const std::string inlet = "\"value\": 90.0";
    ASSERT_NE(cold.find(inlet), std::string::npos);
    cold.replace(cold.find(inlet), inlet.size(), "\"value\": 150.0");
    auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(cold); });
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->reason().find("case.shell_fluid.volumetric_flow"), std::string::npos)
        << failure->what();
}

TEST(CaseDocument, RefusesABadPropertyModelNamingTheField) {
    const std::string good = caseDocumentJson(realFluids());
    struct Row {
        std::string from, to, named;
        const char* why;
    };
    const Row rows[] = {
        {"\"model\": \"water\"", "\"model\": \"steam\"", "case.tube_fluid.model",
         "an unknown model"},
        {"\"model\": \"water\"", "\"model\": \"table\"", "case.tube_fluid.pressure",
         "a table model with a pressure"},
        {"\"pressure\"", "\"pressur\"", "case.tube_fluid.pressur", "a misspelt key"},
        {"\"unit\": \"Pa\"", "\"unit\": \"m\"", "case.tube_fluid.pressure",
         "a pressure in a unit of length"},
        {"\"value\": 300000.0", "\"value\": 100.0", "case.tube_fluid.pressure",
         "water that boils below 0 degC"},
        {"\"value\": 100.5", "\"value\": 10.0", "case.shell_fluid.table",
         "table temperatures that decrease"},
        {"\"temperature\"", "\"temp\"", "case.shell_fluid.table[0].temp", "a row with a wrong key"},
        {"\"properties_at\": \"mean\"", "\"properties_at\": \"outlet\"", "properties_at",
         "an unknown mode"},
    };
    for (const auto& row : rows) {
        std::string bad = good;
        auto at = bad.find(row.from);
        ASSERT_NE(at, std::string::npos) << row.why << "\n" << good;
        bad.replace(at, row.from.size(), row.to);
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(bad, "doc.json"); });
        ASSERT_TRUE(failure) << row.why;
        EXPECT_NE(failure->reason().find(row.named), std::string::npos)
            << row.why << ": " << failure->what();
    }
}

// The vibration object: what differs from its defaults is written and read
// back, a modulus in GPa is read in Pa, and a bad value is named.
TEST(CaseDocument, VibrationInputRoundTripsAndIsChecked) {
    CaseDocument d{example(), {}, {}};
    d.vibration.material = TubeMaterial::admiraltyBrass;
    d.vibration.shellPhase = ShellPhase::gas;
    d.vibration.speedOfSound = 340;
    d.vibration.logDecrement = 0.02;
    d.vibration.velocityRatioLimit = 0.8;
    const std::string text = caseDocumentJson(d);
    EXPECT_EQ(parseCaseDocument(text).vibration, d.vibration);
    EXPECT_EQ(parseCaseDocument(caseDocumentJson(example())).vibration, VibrationInput{});
    nlohmann::json doc = nlohmann::json::parse(text);
    doc["vibration"]["elastic_modulus"] = {{"value", 110}, {"unit", "GPa"}};
    EXPECT_DOUBLE_EQ(*parseCaseDocument(doc.dump()).vibration.elasticModulus, 110e9);
    struct Row {
        const char* key;
        nlohmann::json value;
    } rows[] = {{"material", "steel"},
                {"shell_phase", "plasma"},
                {"log_decrement", -1},
                {"speed_of_sound", {{"value", 340}, {"unit", "m"}}},
                {"velocity_ratio_limit", "high"},
                {"damping", 0.1}};
    for (const Row& row : rows) {
        nlohmann::json bad = doc;
        bad["vibration"][row.key] = row.value;
        auto failure = testing::errorOf<InputError>([&] { parseCaseDocument(bad.dump()); });
        ASSERT_TRUE(failure) << row.key;
        EXPECT_NE(failure->reason().find(std::string("vibration.") + row.key), std::string::npos)
            << failure->what();
    }
}

}  // namespace
}  // namespace hxrate
