// The engine alone (hxrate::hxrate, without hxrate::program): the version
// macros of <hxrate/version.h> agree with the library's version().
#include <gtest/gtest.h>

#include <string>

#include "hxrate/hxrate.h"

namespace hxrate {
namespace {

static_assert(HXRATE_VERSION_MAJOR >= 0 && HXRATE_VERSION_MINOR >= 0 && HXRATE_VERSION_PATCH >= 0,
              "the version parts are integers the preprocessor can compare");

TEST(Version, MacrosMatchTheLibrary) {
    const std::string parts = std::to_string(HXRATE_VERSION_MAJOR) + "." +
                              std::to_string(HXRATE_VERSION_MINOR) + "." +
                              std::to_string(HXRATE_VERSION_PATCH);
    const struct {
        std::string got, expected;
        const char* why;
    } table[] = {
        {version(), HXRATE_VERSION_STRING, "headers and library come from one build"},
        {HXRATE_VERSION_STRING, parts, "the string is MAJOR.MINOR.PATCH of the numbers"},
    };
    for (const auto& row : table) EXPECT_EQ(row.got, row.expected) << row.why;
}

}  // namespace
}  // namespace hxrate
