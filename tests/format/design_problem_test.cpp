#include "hxrate/design_problem.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "support/expect_error.h"
#include "support/read_text.h"

namespace hxrate {
namespace {

using nlohmann::json;

const std::filesystem::path example =
    std::filesystem::path(__FILE__).parent_path() / "../../examples/design/oil-cooler.json";

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// The shipped example reads in SI, and what it leaves out keeps its default.
TEST(DesignProblemDocument, TheExampleReadsInSiWithTheDefaults) {
    const DesignProblemDocument d = parseDesignProblem(::readText(example.string()), "oil.json");
    const DesignProblem& p = d.problem;
    EXPECT_EQ(p.hot.fluid.name, "EngineOil");
    EXPECT_EQ(bits(*p.hot.volumetricFlow), bits(0.003));
    EXPECT_FALSE(p.hot.massFlow);
    EXPECT_EQ(p.hot.allowablePressureDrop, 70e3);  // given in kPa
    EXPECT_EQ(*p.duty, 20e3);                      // given in kW
    EXPECT_EQ(p.tubeStream, TubeStream::cold);
    EXPECT_EQ(p.limits.tubeVelocityMax, DesignLimits{}.tubeVelocityMax);
    EXPECT_EQ(d.space.shellDiameters, defaultDesignSpace().shellDiameters);
    EXPECT_EQ(d.shellSide, ShellSideMethod::bellDelaware);
}

// Every field written reads back to the same value: the text of the
// document written again is the same, a table model, a mass flow, an outlet
// temperature and a free length included.
TEST(DesignProblemDocument, WritingAndReadingBackKeepsEveryValue) {
    DesignProblemDocument d = parseDesignProblem(::readText(example.string()));
    d.problem.hot.properties.kind = PropertyModelKind::table;
    d.problem.hot.properties.table = {{20.0, {880.0, 0.3, 0.145, 1900.0}},
                                      {100.0, {840.0, 0.01, 0.137, 2150.0}}};
    d.problem.cold.volumetricFlow.reset();
    d.problem.cold.massFlow = 1.0 / 3.0;
    d.problem.cold.fouling = 1.7e-4;
    d.problem.duty.reset();
    d.problem.hotOutletTemperature = 77.3;
    d.problem.limits.minimumOverSurface = 10;
    d.problem.innerRoughness = 1.5e-6;
    d.problem.propertiesAt = PropertiesAt::incremental;
    d.shellSide = ShellSideMethod::program;
    d.space.layoutAngles = {60, 90};
    d.space.freeLength = true;
    d.space.minimumLength = 0.5;
    d.space.maximumLength = 6.1;
    d.space.baffleSpacings = {0.45};
    const std::string written = designProblemJson(d);
    const DesignProblemDocument back = parseDesignProblem(written);
    EXPECT_EQ(designProblemJson(back), written);
    EXPECT_EQ(bits(*back.problem.cold.massFlow), bits(1.0 / 3.0));
    EXPECT_TRUE(back.problem.hot.properties == d.problem.hot.properties);
    EXPECT_TRUE(back.space.freeLength);
    EXPECT_EQ(back.space.tubes, d.space.tubes);
}

// Every field the writer writes is one the published schema describes, at
// every level (streams, limits, space, a tube, a free length, a table row).
TEST(DesignProblemDocument, WritesOnlyWhatTheSchemaDescribes) {
    DesignProblemDocument d = parseDesignProblem(::readText(example.string()));
    d.problem.cold.properties = {
        PropertyModelKind::table,
        {{10.0, {1000, 1.3e-3, 0.58, 4190}}, {60.0, {983, 4.7e-4, 0.65, 4185}}},
        0};
    d.space.freeLength = true;
    d.problem.vibration.material = TubeMaterial::titanium;
    d.problem.vibration.speedOfSound = 340;
    d.problem.vibration.logDecrement = 0.05;
    const json schema = json::parse(::readText(
        (std::filesystem::path(__FILE__).parent_path() / "../../docs/design-problem.schema.json")
            .string()));
    std::function<void(const json&, const json&, const std::string&)> check =
        [&](const json& value, const json& described, const std::string& path) {
            const json& node = described.contains("$ref")
                                   ? schema["$defs"][described["$ref"].get<std::string>().substr(8)]
                                   : described;
            if (value.is_array() && node.contains("items"))
                for (const json& item : value) check(item, node["items"], path + "[]");
            if (!value.is_object() || !node.contains("properties")) return;
            for (const auto& [key, member] : value.items()) {
                ASSERT_TRUE(node["properties"].contains(key)) << path << "." << key;
                check(member, node["properties"][key], path + "." + key);
            }
        };
    check(json::parse(designProblemJson(d)), schema, "");
}

// A bad document is refused naming the field, whether the reader finds the
// fault (an unknown field, a wrong unit, an empty list) or the search's own
// domain does (a 60 degree layout for Bell-Delaware, a duty the streams
// cannot exchange).
TEST(DesignProblemDocument, RefusesABadDocumentNamingTheField) {
    const json good = json::parse(::readText(example.string()));
    struct Row {
        const char* pointer;  // what is changed
        json value;           // its new value; null removes it
        const char* named;    // in the reason
        const char* why;
    };
    const Row rows[] = {
        {"/colour", "blue", "(top level).colour", "an unknown field"},
        {"/space/tube_count", 3, "space.tube_count", "an unknown field of the space"},
        {"/hot/density/unit", "m", "hot.density: unit \"m\" refused", "a density in metres"},
        {"/duty/unit", "bar", "duty: unit \"bar\" refused", "a duty in a unit of pressure"},
        {"/space/tube_passes", json::array(), "space.tube_passes: the list is empty",
         "an empty list"},
        {"/space/shell_diameters",
         {{"values", json::array()}, {"unit", "in"}},
         "space.shell_diameters.values: the list is empty",
         "an empty list of lengths"},
        {"/space/baffle_cuts", {0.25, "wide"}, "space.baffle_cuts[1]", "a word in a list"},
        {"/hot_outlet_temperature",
         {{"value", 60}, {"unit", "degC"}},
         "hot_outlet_temperature",
         "a duty and an outlet"},
        {"/duty", nullptr, "duty: required", "neither duty nor outlet"},
        {"/cold/mass_flow", {{"value", 2}, {"unit", "kg/s"}}, "cold.volumetric_flow", "both flows"},
        {"/tube_stream", "sideways", "tube_stream: must be \"hot\", \"cold\" or \"either\"",
         "an unknown tube stream"},
        {"/space/free_length",
         {{"minimum", {{"value", 1}, {"unit", "m"}}}},
         "free_length.maximum",
         "a free length without its maximum"},
        {"/space/layout_angles", {60}, "space.layout_angles", "60 degrees for Bell-Delaware"},
        {"/duty/value", 2000, "duty: the streams cannot exchange it", "a duty of 2 MW"},
        {"/cold/allowable_pressure_drop/value", -1, "cold.allowable_pressure_drop",
         "a negative allowable drop"},
        {"/cold/volumetric_flow/value", 0, "cold.volumetric_flow", "no flow"},
        {"/wall", {{"material", "a very long alloy name"}}, "wall.material", "a long name"},
        {"/format", "hxrate-case", "format", "a case document"},
    };
    for (const Row& row : rows) {
        json bad = good;
        const json::json_pointer at(row.pointer);
        if (row.value.is_null())
            bad[at.parent_pointer()].erase(at.back());
        else
            bad[at] = row.value;
        auto failure =
            testing::errorOf<InputError>([&] { parseDesignProblem(bad.dump(), "p.json"); });
        ASSERT_TRUE(failure) << row.why;
        EXPECT_NE(failure->reason().find(row.named), std::string::npos)
            << row.why << ": " << failure->what();
        EXPECT_EQ(failure->reason().rfind("design problem \"p.json\": ", 0), 0u) << row.why;
        EXPECT_EQ(failure->file(), "p.json") << row.why;
    }
    // Text that is not JSON is placed by line and column.
    auto broken = testing::errorOf<InputError>([] { parseDesignProblem("{\n  \"hot\": ]"); });
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->line(), 2u);
}

}  // namespace
}  // namespace hxrate
