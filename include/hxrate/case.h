// hxrate/case.h: the case of one exchanger, as its 21 case lines give it,
// and reading it from the text of a free-form case file (reading the file
// from disk is hxrate::program's: <hxrate/case_files.h>).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

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

// One fluid stream (case line 15 or 16), in the case's consistent units (SI
// in practice); hxrate/case_fields.h gives each value's unit and symbol.
struct Fluid {
    std::string name = std::string(10, ' ');  // as read: ten characters, blank-filled
    double density = 0;
    double viscosity = 0;  // dynamic
    double conductivity = 0;
    double heatCapacity = 0;
    double volumetricFlow = 0;  // of the whole stream

    bool operator==(const Fluid&) const = default;
};

struct CaseText;

// The text a case was read from, shared by the case's copies and never
// changed. It is not part of the case's value: any two compare equal, so two
// cases are equal when their values are, whatever text they came from.
class CaseOrigin {
  public:
    CaseOrigin() = default;
    explicit CaseOrigin(std::shared_ptr<const CaseText> text) : text_(std::move(text)) {}
    // The text, or nullptr for a case built in code or read from a case document.
    const CaseText* text() const { return text_.get(); }
    bool operator==(const CaseOrigin&) const { return true; }

  private:
    std::shared_ptr<const CaseText> text_;
};

// Every value of the case file, in case-line order; hxrate/case_fields.h
// gives each one's case line, name, unit and symbol. Unset values (a null
// value or a slash in the file) stay at these defaults.
struct Case {
    std::int32_t exchangerType = 0;  // an ExchangerType code
    double tubeInnerDiameter = 0;
    double innerRoughness = 0;
    double tubeLength = 0;
    double elementLength = 0;  // of the march along the tubes
    double shellInnerDiameter = 0;
    std::int32_t bundleArrangement = 0;  // a BundleArrangement code
    std::int32_t tubeCount = 0;
    double longitudinalPitch = 0;
    double transversePitch = 0;
    std::int32_t baffleCount = 0;
    std::string wallMaterial = std::string(10, ' ');  // as read: ten characters, blank-filled
    double wallConductivity = 0;
    double wallThickness = 0;
    Fluid tubeFluid;
    Fluid shellFluid;
    double tubeInletTemperature = 0;
    double shellInletTemperature = 0;
    double correctionFactor = 0;  // of the shooting (types 1 and 3)
    // The text parseCase or readCase read it from; not part of its value.
    CaseOrigin origin;

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

// What a case keeps of the text it was read from, for the checks of its
// text (the assessment's decimal commas and labels): the text as far as the
// reader took it (none is kept of a text over maxKeptCaseText bytes), where
// each case line stood, and the values it gave.
struct CaseText {
    std::string text;
    CaseSource source;
    Case values;
};
inline constexpr std::size_t maxKeptCaseText = std::size_t{1} << 20;

// The text `c` was read from, while its values are still those the text
// gave; nullptr for a case built in code, or changed since it was read.
inline const CaseText* sourceTextOf(const Case& c) {
    const CaseText* t = c.origin.text();
    return t && t->values == c ? t : nullptr;
}

// Reads a case from the text of a case file with the program's free-form
// rules. `sourceName` names the text in diagnostics. The case keeps the text
// (Case::origin). Throws InputError.
Case parseCase(std::string_view text, std::string_view sourceName = "case");
// The same, also telling where each case line stood.
Case parseCase(std::string_view text, std::string_view sourceName, CaseSource& source);

}  // namespace hxrate
