#include "hxrate/measured_exchanger.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "hxrate/case_document.h"
#include "hxrate/case_files.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

using nlohmann::json;

// The shipped example in service: its case document and one outlet, in degF.
json measuredExample() {
    return {{"format", "hxrate-measured-exchanger"},
            {"version", 1},
            {"exchanger", json::parse(caseDocumentJson(readCase(HXRATE_EXAMPLE_CASE)))},
            {"tube_outlet_temperature", {{"value", 95}, {"unit", "degF"}}},
            {"heat_balance_tolerance", 0.02}};
}

TEST(MeasuredExchanger, ReadsTheCaseDocumentInsideAndTheOutlets) {
    const MeasuredExchanger m = parseMeasuredExchanger(measuredExample().dump());
    EXPECT_EQ(m.exchanger.input, readCase(HXRATE_EXAMPLE_CASE));
    EXPECT_NEAR(*m.measured.tubeOutletTemperature, 35, 1e-12);  // 95 degF
    EXPECT_FALSE(m.measured.shellOutletTemperature);
    EXPECT_EQ(m.options.heatBalanceTolerance, 0.02);
    EXPECT_FALSE(m.options.insideShare);
}

// A refusal names the field, inside the exchanger by its whole path.
TEST(MeasuredExchanger, RefusesABadDocumentNamingTheField) {
    struct Row {
        const char* pointer;
        json value;  // null removes the field
        const char* named;
    };
    const Row rows[] = {
        {"/exchanger/case/tube_count", "forty", "m.json\": exchanger.case.tube_count: must be"},
        {"/exchanger/case/tube_colour", "red", "exchanger.case.tube_colour: not a field"},
        {"/exchanger/format", nullptr, "exchanger.format: required"},
        {"/tube_outlet_temperature", nullptr, "tube_outlet_temperature: required"},
        {"/tube_outlet_temperature/unit", "bar", "tube_outlet_temperature: unit \"bar\""},
        {"/inside_share", "half", "inside_share: must be a number"},
        {"/outlet", 1, "(top level).outlet: not a field of version 1 of the measured exchanger"},
    };
    for (const Row& row : rows) {
        json bad = measuredExample();
        const json::json_pointer at(row.pointer);
        if (row.value.is_null())
            bad[at.parent_pointer()].erase(at.back());
        else
            bad[at] = row.value;
        auto failure =
            testing::errorOf<InputError>([&] { parseMeasuredExchanger(bad.dump(), "m.json"); });
        ASSERT_TRUE(failure) << row.pointer;
        EXPECT_NE(failure->reason().find(row.named), std::string::npos) << failure->what();
    }
}

}  // namespace
}  // namespace hxrate
