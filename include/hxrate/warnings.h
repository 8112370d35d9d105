// hxrate/warnings.h: the warnings of an assessment, their severity and the
// values they name, and the thresholds the checks compare with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hxrate {

enum class Severity { info, warning, error };
std::string_view severityName(Severity s);  // "info", "warning", "error"

// One value a warning names.
struct WarningValue {
    std::string name;  // "Re", "U", "x"
    double value = 0;
};

struct Warning {
    std::string code;  // "decimal-comma"
    Severity severity = Severity::warning;
    std::string message;  // names the values
    int caseLine = 0;     // 1..21, 0 when none applies
    std::vector<WarningValue> values;
    // The case document's field it concerns ("extensions.tube_passes"),
    // empty when it concerns a case line or none.
    std::string field{};
};

// Thresholds, named once (docs/report.md lists them with their sources).
namespace limits {
inline constexpr double energyBalance = 1e-3;  // relative duty mismatch
inline constexpr double discretisation = 0.1;  // K
inline constexpr std::int32_t minimumElements = 10;
inline constexpr double gnielinskiLowReynolds = 3000;
inline constexpr double gnielinskiLowPrandtl = 0.5, gnielinskiHighPrandtl = 2000;
inline constexpr double bankLowPrandtl = 0.7, bankHighPrandtl = 500;
inline constexpr double bankLowReynolds = 10, bankHighReynolds = 2e6;
// correlation-switch: a boundary this near (relative distance of the
// switching quantity), and a jump of U larger than this (max/min - 1).
inline constexpr double switchProximity = 0.10;
inline constexpr double switchJump = 0.20;
}  // namespace limits

}  // namespace hxrate
