// hxrate/case.h: the case of one exchanger, as its 21 case lines give it,
// and reading it from the free-form case file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace hxrate {

// Exchanger type codes (case line 1). A case may hold any 32-bit value; only
// the solver rejects one outside 0..3.
namespace ExchangerType {
constexpr std::int32_t CoCurrent = 0;                // along the tubes, same direction
constexpr std::int32_t CounterCurrent = 1;           // along the tubes, opposite directions
constexpr std::int32_t CrossFlowCoCurrent = 2;       // across a baffled bundle, co-current
constexpr std::int32_t CrossFlowCounterCurrent = 3;  // across a baffled bundle, counter-current
}  // namespace ExchangerType

// Whether the shell fluid crosses the bundle between baffles (types 2, 3).
constexpr bool isCrossFlow(std::int32_t type) {
    return type == ExchangerType::CrossFlowCoCurrent ||
           type == ExchangerType::CrossFlowCounterCurrent;
}

// Whether the shell fluid runs against the tube fluid (types 1, 3): the
// types solved by shooting on the shell outlet temperature.
constexpr bool isCounterCurrent(std::int32_t type) {
    return type == ExchangerType::CounterCurrent || type == ExchangerType::CrossFlowCounterCurrent;
}

// Bundle arrangement codes (case line 7); other values are rejected where a
// tube-bank correlation needs them.
namespace BundleArrangement {
constexpr std::int32_t Inline = 0;
constexpr std::int32_t Staggered = 1;
}  // namespace BundleArrangement

// One fluid stream, in the case's consistent units (SI in practice).
struct Fluid {
    std::string name = std::string(10, ' ');  // as read: ten characters, blank-filled
    double density = 0;                       // rho, kg/m3
    double viscosity = 0;                     // mu, dynamic, Pa s
    double conductivity = 0;                  // k, W/(m K)
    double heatCapacity = 0;                  // cp, J/(kg K)
    double volumetricFlow = 0;                // Q of the whole stream, m3/s

    bool operator==(const Fluid&) const = default;
};

// Every value of the case file, in case-line order. Unset values (a null
// value or a slash in the file) stay at these defaults.
struct Case {
    std::int32_t exchangerType = 0;                   // line 1: ExchangerType code
    double tubeInnerDiameter = 0;                     // line 2: Di, m
    double innerRoughness = 0;                        // line 3: eps, m
    double tubeLength = 0;                            // line 4: L, m
    double elementLength = 0;                         // line 5: dL, m
    double shellInnerDiameter = 0;                    // line 6: Ds, m
    std::int32_t bundleArrangement = 0;               // line 7: BundleArrangement code
    std::int32_t tubeCount = 0;                       // line 8: Nt
    double longitudinalPitch = 0;                     // line 9: SL, m
    double transversePitch = 0;                       // line 10: ST, m
    std::int32_t baffleCount = 0;                     // line 11: Nb
    std::string wallMaterial = std::string(10, ' ');  // line 13: name
    double wallConductivity = 0;                      // line 13: kw, W/(m K)
    double wallThickness = 0;                         // line 13: tw, m
    Fluid tubeFluid;                                  // line 15
    Fluid shellFluid;                                 // line 16
    double tubeInletTemperature = 0;                  // line 18: Tt_in
    double shellInletTemperature = 0;                 // line 19: Ts_in
    double correctionFactor = 0;                      // line 21: corr, of the shooting

    bool operator==(const Case&) const = default;
};

// The number of case lines; lines 12, 14, 17 and 20 carry only their label.
inline constexpr int caseLineCount = 21;

// Where one case line stood in the file, for tools that check a case's text.
struct CaseLineSource {
    std::int32_t label = 0;       // the integer that led the line (never checked)
    std::uint64_t firstLine = 0;  // physical line where the read started, from 1
    std::uint64_t lastLine = 0;   // physical line where its last value was taken
    std::uint64_t endColumn = 0;  // column just after that value; the rest is ignored
};
using CaseSource = std::array<CaseLineSource, caseLineCount>;  // index 0 is case line 1

// Reads a case from the text of a case file with the program's free-form
// rules. `sourceName` names the text in diagnostics. Throws InputError.
Case parseCase(std::string_view text, std::string_view sourceName = "case");
// The same, also telling where each case line stood.
Case parseCase(std::string_view text, std::string_view sourceName, CaseSource& source);

// Reads the case file at `path`. Throws InputError, also for a file that
// is missing or cannot be read. Reads from disk: defined in hxrate::program.
Case readCase(const std::filesystem::path& path);

}  // namespace hxrate
