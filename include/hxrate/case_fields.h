// hxrate/case_fields.h: the values of a case, one row each: the case line
// that carries it, its name, words, unit and symbol, and where a Case holds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "hxrate/case.h"

namespace hxrate {

// How a field's value is given: a real with its SI unit (which a case
// document states beside the value), a real given without a unit, a 32-bit
// integer (codes and counts), or a name of ten blank-filled characters.
enum class CaseFieldKind { quantity, number, integer, text };

// The member of a Record that holds a value: the one of the value's kind.
template <class Record>
struct CaseFieldMember {
    double Record::*real = nullptr;
    std::int32_t Record::*integer = nullptr;
    std::string Record::*text = nullptr;
};

// One value of the case file.
struct CaseField {
    int caseLine;                  // 1..21, the case line that carries it
    std::string_view name;         // "tube_inner_diameter"; a fluid's: "tube_fluid.density"
    std::string_view label;        // "tube inner diameter": the words read errors name it by
    std::string_view description;  // the label as a table of inputs shows it
    std::string_view unit;         // its SI unit; empty for plain numbers, codes, counts and names
    std::string_view symbol;       // "Di"; empty where the value has none
    CaseFieldKind kind;
    Fluid Case::*fluid = nullptr;    // the fluid that holds it; null for the case's own
    CaseFieldMember<Case> inCase;    // where the case holds its own value
    CaseFieldMember<Fluid> inFluid;  // where the fluid holds its value

    // The value in a case, by the accessor of the field's kind.
    double& real(Case& c) const { return fluid ? c.*fluid.*inFluid.real : c.*inCase.real; }
    double real(const Case& c) const { return fluid ? c.*fluid.*inFluid.real : c.*inCase.real; }
    std::int32_t& integer(Case& c) const {
        return fluid ? c.*fluid.*inFluid.integer : c.*inCase.integer;
    }
    std::int32_t integer(const Case& c) const {
        return fluid ? c.*fluid.*inFluid.integer : c.*inCase.integer;
    }
    std::string& text(Case& c) const { return fluid ? c.*fluid.*inFluid.text : c.*inCase.text; }
    const std::string& text(const Case& c) const {
        return fluid ? c.*fluid.*inFluid.text : c.*inCase.text;
    }
    // The value in a fluid, for the fields of a fluid (`fluid` is set).
    double& real(Fluid& f) const { return f.*inFluid.real; }
    double real(const Fluid& f) const { return f.*inFluid.real; }
    std::int32_t& integer(Fluid& f) const { return f.*inFluid.integer; }
    std::int32_t integer(const Fluid& f) const { return f.*inFluid.integer; }
    std::string& text(Fluid& f) const { return f.*inFluid.text; }
    const std::string& text(const Fluid& f) const { return f.*inFluid.text; }

    // The record that holds it: "tube_fluid" or "shell_fluid" for a fluid's
    // field, empty for the case's own.
    constexpr std::string_view record() const {
        auto dot = name.find('.');
        return dot == std::string_view::npos ? std::string_view{} : name.substr(0, dot);
    }
    // Its name within that record: "density" for "tube_fluid.density".
    constexpr std::string_view member() const { return name.substr(name.find('.') + 1); }
};

namespace caseFieldRow {
// A row; `description` empty: the label. `fluid` names the fluid that holds
// a Fluid member.
template <class T, class Record>
constexpr CaseField of(CaseFieldKind kind, int line, std::string_view name, std::string_view label,
                       std::string_view description, std::string_view unit, std::string_view symbol,
                       T Record::*m, Fluid Case::*fluid = nullptr) {
    CaseField f{line,  name, label, description.empty() ? label : description, unit, symbol, kind,
                fluid, {},   {}};
    auto set = [m](auto& at) {
        if constexpr (std::is_same_v<T, double>) at.real = m;
        if constexpr (std::is_same_v<T, std::int32_t>) at.integer = m;
        if constexpr (std::is_same_v<T, std::string>) at.text = m;
    };
    if constexpr (std::is_same_v<Record, Case>) set(f.inCase);
    if constexpr (std::is_same_v<Record, Fluid>) set(f.inFluid);
    return f;
}
constexpr auto quantity = CaseFieldKind::quantity;
constexpr auto number = CaseFieldKind::number;
constexpr auto integer = CaseFieldKind::integer;
constexpr auto text = CaseFieldKind::text;
}  // namespace caseFieldRow

// The number of values of a case.
inline constexpr std::size_t caseFieldCount = 29;

// Every value of a case, in case-line order and, within a line, in the order
// the line gives them. The names are those of the case document and of
// Python's hxrate.Case; a fluid's are "tube_fluid.<name>" and
// "shell_fluid.<name>", <name> being the attribute of hxrate.Fluid.
// Temperatures are in degrees Celsius, spelt "degC".
inline constexpr std::array<CaseField, caseFieldCount> caseFields = [] {
    using namespace caseFieldRow;
    using C = Case;
    using F = Fluid;
    constexpr auto tube = &Case::tubeFluid;
    constexpr auto shell = &Case::shellFluid;
    return std::array<CaseField, caseFieldCount>{{
        // clang-format off
        of(integer,   1, "exchanger_type", "exchanger type", "", "", "", &C::exchangerType),
        of(quantity,  2, "tube_inner_diameter", "tube inner diameter", "", "m", "Di",
           &C::tubeInnerDiameter),
        of(quantity,  3, "inner_roughness", "inner roughness", "", "m", "eps", &C::innerRoughness),
        of(quantity,  4, "tube_length", "tube length", "", "m", "L", &C::tubeLength),
        of(quantity,  5, "element_length", "element length", "", "m", "dL", &C::elementLength),
        of(quantity,  6, "shell_inner_diameter", "shell inner diameter", "", "m", "Ds",
           &C::shellInnerDiameter),
        of(integer,   7, "bundle_arrangement", "bundle arrangement",
           "bundle arrangement (0 inline, 1 staggered)", "", "", &C::bundleArrangement),
        of(integer,   8, "tube_count", "tube count", "", "", "Nt", &C::tubeCount),
        of(quantity,  9, "longitudinal_pitch", "longitudinal pitch", "", "m", "SL",
           &C::longitudinalPitch),
        of(quantity, 10, "transverse_pitch", "transverse pitch", "", "m", "ST",
           &C::transversePitch),
        of(integer,  11, "baffle_count", "baffle count", "", "", "Nb", &C::baffleCount),
        of(text,     13, "wall_material", "wall material", "", "", "", &C::wallMaterial),
        of(quantity, 13, "wall_conductivity", "wall conductivity", "", "W/(m K)", "kw",
           &C::wallConductivity),
        of(quantity, 13, "wall_thickness", "wall thickness", "", "m", "tw", &C::wallThickness),
        of(text,     15, "tube_fluid.name", "tube fluid name", "", "", "", &F::name, tube),
        of(quantity, 15, "tube_fluid.density", "tube fluid density", "", "kg/m3", "rho_i",
           &F::density, tube),
        of(quantity, 15, "tube_fluid.viscosity", "tube fluid viscosity", "", "Pa s", "mu_i",
           &F::viscosity, tube),
        of(quantity, 15, "tube_fluid.conductivity", "tube fluid conductivity", "", "W/(m K)",
           "k_i", &F::conductivity, tube),
        of(quantity, 15, "tube_fluid.heat_capacity", "tube fluid heat capacity", "", "J/(kg K)",
           "cp_i", &F::heatCapacity, tube),
        of(quantity, 15, "tube_fluid.volumetric_flow", "tube fluid volumetric flow",
           "tube fluid volumetric flow (whole stream)", "m3/s", "Q_i", &F::volumetricFlow, tube),
        of(text,     16, "shell_fluid.name", "shell fluid name", "", "", "", &F::name, shell),
        of(quantity, 16, "shell_fluid.density", "shell fluid density", "", "kg/m3", "rho_o",
           &F::density, shell),
        of(quantity, 16, "shell_fluid.viscosity", "shell fluid viscosity", "", "Pa s", "mu_o",
           &F::viscosity, shell),
        of(quantity, 16, "shell_fluid.conductivity", "shell fluid conductivity", "", "W/(m K)",
           "k_o", &F::conductivity, shell),
        of(quantity, 16, "shell_fluid.heat_capacity", "shell fluid heat capacity", "",
           "J/(kg K)", "cp_o", &F::heatCapacity, shell),
        of(quantity, 16, "shell_fluid.volumetric_flow", "shell fluid volumetric flow",
           "shell fluid volumetric flow (whole stream)", "m3/s", "Q_o", &F::volumetricFlow,
           shell),
        of(quantity, 18, "tube_inlet_temperature", "tube inlet temperature", "", "degC", "Tt_in",
           &C::tubeInletTemperature),
        of(quantity, 19, "shell_inlet_temperature", "shell inlet temperature", "", "degC",
           "Ts_in", &C::shellInletTemperature),
        // A plain number, the step the shooting takes (0.5 in the example):
        // the case gives no unit for it, nor does a case document.
        of(number,   21, "correction_factor", "correction factor",
           "correction factor of the shooting", "", "corr", &C::correctionFactor),
        // clang-format on
    }};
}();

// The field named `name` ("tube_count", "tube_fluid.density"); nullptr for
// a name that is none.
constexpr const CaseField* findCaseField(std::string_view name) {
    for (const CaseField& f : caseFields)
        if (f.name == name) return &f;
    return nullptr;
}

}  // namespace hxrate
