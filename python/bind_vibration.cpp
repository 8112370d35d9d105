// The flow-induced vibration screening (hxrate/vibration.h): TubeMaterial and
// its properties, VibrationInput, the screening's spans and acoustic check,
// and screen_vibration(case or document).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <optional>
#include <string>

#include "binding.h"
#include "hxrate/case_document.h"
#include "hxrate/errors.h"
#include "hxrate/vibration.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

using hxrate::AcousticCheck;
using hxrate::VibrationInput;
using hxrate::VibrationScreening;
using hxrate::VibrationSpan;

// The fields of VibrationInput that may be left unset, in the constructor's
// order, with their keyword (the case document's field) and meaning.
struct OptionalField {
    const char* keyword;
    std::optional<double> VibrationInput::*member;
    const char* doc;
};
constexpr std::array<OptionalField, 10> optionalFields{{
    {"elastic_modulus", &VibrationInput::elasticModulus,
     "E of the tube, Pa; None: the material's."},
    {"tube_density", &VibrationInput::tubeDensity,
     "Of the tube metal, kg/m3; None: the material's."},
    {"log_decrement", &VibrationInput::logDecrement,
     "delta of the tube's damping; None: 0.03 in a liquid, 0.01 in a gas."},
    {"connors_constant", &VibrationInput::connorsConstant,
     "K of Connors' instability criterion; None: 3.0."},
    {"strouhal_number", &VibrationInput::strouhalNumber, "Of vortex shedding; None: 0.2."},
    {"lift_coefficient", &VibrationInput::liftCoefficient, "C_L of the periodic lift; None: 0.1."},
    {"buffeting_spectrum", &VibrationInput::buffetingSpectrum,
     "Normalised force spectrum of turbulence; None: 0.01."},
    {"allowed_gap_fraction", &VibrationInput::allowedGapFraction,
     "The allowed mid-span amplitude as a share of the smallest gap; None: 2 % of Do."},
    {"speed_of_sound", &VibrationInput::speedOfSound, "Of a gas shell fluid, m/s; None."},
    {"pressure", &VibrationInput::pressure,
     "Absolute pressure of a gas shell fluid, Pa, for its ideal-gas speed of sound; None."},
}};

std::string fieldOf(const char* keyword) {
    return std::string("vibration.") + keyword;
}

// A real for a field: TypeError for what is not a number; a value outside
// the field's domain (an infinity or NaN too) is left to
// validateVibrationInput, which names the field.
double realFor(py::handle value, const char* keyword) {
    const std::string field = fieldOf(keyword);
    if (value.is_none() || PyBool_Check(value.ptr()) || PyUnicode_Check(value.ptr()) ||
        PyBytes_Check(value.ptr()))
        throw py::type_error(field + " must be a real number, not " + typeName(value));
    double x = PyFloat_AsDouble(value.ptr());
    if (x == -1.0 && PyErr_Occurred()) {
        const bool overflow = PyErr_ExceptionMatches(PyExc_OverflowError);
        PyErr_Clear();
        if (overflow) throw hxrate::InvalidArgument(field, field + " is too large for a double");
        throw py::type_error(field + " must be a real number, not " + typeName(value));
    }
    return x;
}

hxrate::TubeMaterial materialFrom(py::handle value) {
    if (py::isinstance<hxrate::TubeMaterial>(value)) return value.cast<hxrate::TubeMaterial>();
    if (!PyUnicode_Check(value.ptr()))
        throw py::type_error("vibration.material must be a TubeMaterial or its name, not " +
                             typeName(value));
    return hxrate::tubeMaterialNamed(value.cast<std::string>());
}

std::optional<hxrate::ShellPhase> phaseFrom(py::handle value) {
    if (value.is_none()) return std::nullopt;
    if (PyUnicode_Check(value.ptr())) {
        const std::string name = value.cast<std::string>();
        for (auto p : {hxrate::ShellPhase::liquid, hxrate::ShellPhase::gas})
            if (name == hxrate::shellPhaseName(p)) return p;
    }
    throw hxrate::InvalidArgument(
        "vibration.shell_phase", "vibration.shell_phase must be None, \"liquid\" or \"gas\", not " +
                                     std::string(py::repr(value)));
}

// A VibrationInput from the constructor's keywords, the optional ones in
// the order of optionalFields; refused as a case document's would be.
VibrationInput inputFrom(py::handle material, py::handle phase, py::handle limit,
                         py::handle heatCapacityRatio,
                         const std::array<py::handle, optionalFields.size()>& optionals) {
    VibrationInput v;
    v.material = materialFrom(material);
    v.shellPhase = phaseFrom(phase);
    v.velocityRatioLimit = realFor(limit, "velocity_ratio_limit");
    v.heatCapacityRatio = realFor(heatCapacityRatio, "heat_capacity_ratio");
    for (std::size_t i = 0; i < optionalFields.size(); ++i)
        if (!optionals[i].is_none())
            v.*optionalFields[i].member = realFor(optionals[i], optionalFields[i].keyword);
    hxrate::validateVibrationInput(v);
    return v;
}

py::object optionalValue(const std::optional<double>& x) {
    return x ? py::object(py::float_(*x)) : py::object(py::none());
}

py::object phaseValue(const std::optional<hxrate::ShellPhase>& p) {
    return p ? py::object(py::str(std::string(hxrate::shellPhaseName(*p))))
             : py::object(py::none());
}

std::string inputRepr(const VibrationInput& v) {
    const VibrationInput defaults;
    std::string out = "VibrationInput(material='" + std::string(tubeMaterialName(v.material)) + "'";
    auto add = [&](const char* keyword, double x) {
        out += std::string(", ") + keyword + "=" + std::string(py::repr(py::float_(x)));
    };
    if (v.shellPhase) out += ", shell_phase='" + std::string(shellPhaseName(*v.shellPhase)) + "'";
    for (const OptionalField& f : optionalFields)
        if (v.*f.member) add(f.keyword, *(v.*f.member));
    if (v.velocityRatioLimit != defaults.velocityRatioLimit)
        add("velocity_ratio_limit", v.velocityRatioLimit);
    if (v.heatCapacityRatio != defaults.heatCapacityRatio)
        add("heat_capacity_ratio", v.heatCapacityRatio);
    return out + ")";
}

// The screening's pickled state: material name, shell phase, the limit, the
// ratio of heat capacities, then the optional fields in their order.
py::tuple inputState(const VibrationInput& v) {
    py::list state;
    state.append(std::string(tubeMaterialName(v.material)));
    state.append(phaseValue(v.shellPhase));
    state.append(v.velocityRatioLimit);
    state.append(v.heatCapacityRatio);
    for (const OptionalField& f : optionalFields) state.append(optionalValue(v.*f.member));
    return py::tuple(state);
}

VibrationInput inputFromState(const py::tuple& t) {
    if (t.size() != 4 + optionalFields.size())
        throw py::value_error("a VibrationInput pickles as 14 values");
    std::array<py::handle, optionalFields.size()> optionals;
    for (std::size_t i = 0; i < optionals.size(); ++i) optionals[i] = t[4 + i];
    return inputFrom(t[0], t[1], t[2], t[3], optionals);
}

const char* const inputDoc =
    "VibrationInput(*, material=TubeMaterial.carbon_steel, elastic_modulus=None, "
    "tube_density=None, shell_phase=None, log_decrement=None, connors_constant=None, "
    "velocity_ratio_limit=1.0, strouhal_number=None, lift_coefficient=None, "
    "buffeting_spectrum=None, allowed_gap_fraction=None, speed_of_sound=None, pressure=None, "
    "heat_capacity_ratio=1.4)\n\n"
    "What the vibration screening needs beyond the case, the case document's 'vibration' "
    "object: the tube material (a TubeMaterial or its name, 'stainless-steel', ...), or E "
    "(Pa) and the tube's density (kg/m3) in its place; the shell fluid's phase ('liquid', "
    "'gas'; None: a gas below 100 kg/m3); the constants of the screening (None: their "
    "defaults); the V/V_crit a span may reach; for a gas, its speed of sound (m/s) or its "
    "absolute pressure (Pa) with the ratio of heat capacities. Raises InvalidArgument naming "
    "the field ('vibration.log_decrement') for a value outside its domain, TypeError for a "
    "value that is not a number.";

const char* const screenDoc =
    R"(screen_vibration(case: Case | CaseDocument, extensions: dict | None = None, input: VibrationInput | None = None) -> VibrationScreening

Screens the bundle of a cross-flow case (types 2 and 3) for flow-induced
vibration, span by span: natural frequency with the fluids' added mass,
the gap velocity, Connors' critical velocity, vortex-shedding and buffeting
amplitudes, and for a gas the shell's acoustic resonance. The extensions
(a dict of CaseDocument's keywords) give the end baffle spacings and the
layout angle. A CaseDocument brings its own extensions and VibrationInput.
The fluids are the case's as given: rate(document).vibration screens the
case as rated where the properties vary. Raises InvalidArgument for a case
that is not cross flow, tubes that touch, a shell stream that does not flow
or input outside its domain; ArithmeticFault for a floating-point fault.)";

}  // namespace

VibrationInput vibrationFrom(py::handle value, const char* keyword) {
    if (!value || value.is_none()) return {};
    if (!py::isinstance<VibrationInput>(value))
        throw py::type_error(std::string(keyword) +
                             " must be None or a hxrate.VibrationInput, not " + typeName(value));
    return value.cast<VibrationInput>();
}

void bindVibration(py::module_& m) {
    py::enum_<hxrate::TubeMaterial> material(
        m, "TubeMaterial",
        "Tube materials with a published room-temperature elastic modulus and density "
        "(tube_material_properties()).");
    for (hxrate::TubeMaterial t : hxrate::tubeMaterials()) {
        std::string name(hxrate::tubeMaterialName(t));
        for (char& ch : name)
            if (ch == '-') ch = '_';
        material.value(name.c_str(), t);
    }
    // The enum's own `value` has no docstring: the same, with one.
    material.def_property_readonly(
        "value", [](hxrate::TubeMaterial t) { return static_cast<int>(t); },
        "The material's number, in the order of the table.");
    material.def_property_readonly(
        "document_name",
        [](hxrate::TubeMaterial t) { return std::string(hxrate::tubeMaterialName(t)); },
        "The case document's name of the material: 'carbon-steel', ...");

    py::class_<hxrate::MaterialProperties>(m, "MaterialProperties",
                                           "A tube material's elastic modulus and density.")
        .def_readonly("elastic_modulus", &hxrate::MaterialProperties::elasticModulus, "E, Pa.")
        .def_readonly("density", &hxrate::MaterialProperties::density, "kg/m3.")
        .def("__repr__", [](const hxrate::MaterialProperties& p) {
            return "MaterialProperties(elastic_modulus=" +
                   std::string(py::repr(py::float_(p.elasticModulus))) +
                   ", density=" + std::string(py::repr(py::float_(p.density))) + ")";
        });
    m.def(
        "tube_material_properties",
        [](py::handle t) { return hxrate::tubeMaterialProperties(materialFrom(t)); }, "material"_a,
        "tube_material_properties(material: TubeMaterial | str) -> MaterialProperties\n\n"
        "Room-temperature E (Pa) and density (kg/m3) of a tube material: ASME BPVC II-D "
        "tables TM-1, TM-3, TM-5 at 21 degC; the densities of the same alloys.");

    py::class_<VibrationInput> input(m, "VibrationInput",
                                     "What the vibration screening needs beyond the case.");
    input
        .def(py::init([](py::handle material, py::handle E, py::handle tubeDensity,
                         py::handle phase, py::handle delta, py::handle K, py::handle limit,
                         py::handle St, py::handle CL, py::handle spectrum, py::handle gap,
                         py::handle c, py::handle p, py::handle gamma) {
                 return inputFrom(material, phase, limit, gamma,
                                  {E, tubeDensity, delta, K, St, CL, spectrum, gap, c, p});
             }),
             py::kw_only(), "material"_a = hxrate::TubeMaterial::carbonSteel,
             "elastic_modulus"_a = py::none(), "tube_density"_a = py::none(),
             "shell_phase"_a = py::none(), "log_decrement"_a = py::none(),
             "connors_constant"_a = py::none(), "velocity_ratio_limit"_a = 1.0,
             "strouhal_number"_a = py::none(), "lift_coefficient"_a = py::none(),
             "buffeting_spectrum"_a = py::none(), "allowed_gap_fraction"_a = py::none(),
             "speed_of_sound"_a = py::none(), "pressure"_a = py::none(),
             "heat_capacity_ratio"_a = 1.4, inputDoc)
        .def_readonly("material", &VibrationInput::material, "The TubeMaterial.")
        .def_property_readonly(
            "shell_phase", [](const VibrationInput& v) { return phaseValue(v.shellPhase); },
            "'liquid', 'gas', or None: a gas below 100 kg/m3.")
        .def_readonly("velocity_ratio_limit", &VibrationInput::velocityRatioLimit,
                      "The V/V_crit a span may reach; at or above it the span is unstable.")
        .def_readonly("heat_capacity_ratio", &VibrationInput::heatCapacityRatio,
                      "cp/cv of a gas, for its speed of sound from the pressure.");
    for (const OptionalField& f : optionalFields)
        input.def_property_readonly(
            f.keyword,
            [member = f.member](const VibrationInput& v) { return optionalValue(v.*member); },
            f.doc);
    input
        .def("__eq__",
             [](const VibrationInput& a, py::handle b) {
                 return py::isinstance<VibrationInput>(b) && a == b.cast<const VibrationInput&>();
             })
        .def("__repr__", &inputRepr)
        .def(py::pickle(&inputState, &inputFromState));
    input.attr("__hash__") = py::none();

    py::class_<VibrationSpan>(m, "VibrationSpan",
                              "One kind of unsupported span of a tube and its screening.")
        .def_readonly("name", &VibrationSpan::name,
                      "'inlet', 'central', 'outlet' or 'whole'; the same with 'window ' before "
                      "it for the tubes in a baffle window.")
        .def_readonly("in_window", &VibrationSpan::inWindow,
                      "Whether it is a span of the tubes in a window (every other baffle).")
        .def_readonly("count", &VibrationSpan::count,
                      "Spans of this kind along the tubes (of both windows).")
        .def_readonly("length", &VibrationSpan::length, "m.")
        .def_property_readonly(
            "start_end",
            [](const VibrationSpan& s) { return std::string(hxrate::spanEndName(s.startEnd)); },
            "How the span's first end is held: 'clamped' (tubesheet) or 'pinned' (baffle).")
        .def_property_readonly(
            "end_end",
            [](const VibrationSpan& s) { return std::string(hxrate::spanEndName(s.endEnd)); },
            "How its other end is held.")
        .def_readonly("frequency_factor", &VibrationSpan::frequencyFactor,
                      "(lambda L)^2 of the first mode for the span's ends.")
        .def_readonly("natural_frequency", &VibrationSpan::naturalFrequency,
                      "f_n of the first mode, Hz.")
        .def_readonly("velocity", &VibrationSpan::velocity,
                      "V through the gaps of its compartment, or through the window's net "
                      "flow area for a window span, m/s.")
        .def_readonly("critical_velocity", &VibrationSpan::criticalVelocity,
                      "V_crit of fluid-elastic instability (Connors), m/s.")
        .def_readonly("velocity_ratio", &VibrationSpan::velocityRatio, "V/V_crit.")
        .def_readonly("vortex_frequency", &VibrationSpan::vortexFrequency, "f_vs = St V/Do, Hz.")
        .def_readonly("vortex_amplitude", &VibrationSpan::vortexAmplitude,
                      "Mid-span amplitude at vortex-shedding resonance, m.")
        .def_readonly("buffeting_amplitude", &VibrationSpan::buffetingAmplitude,
                      "rms mid-span amplitude under turbulent buffeting, m.")
        .def("__repr__", [](const VibrationSpan& s) {
            return "VibrationSpan('" + s.name +
                   "', length=" + std::string(py::repr(py::float_(s.length))) +
                   ", natural_frequency=" + std::string(py::repr(py::float_(s.naturalFrequency))) +
                   ", velocity_ratio=" + std::string(py::repr(py::float_(s.velocityRatio))) + ")";
        });

    py::class_<AcousticCheck>(m, "AcousticCheck",
                              "The shell's acoustic resonance, screened for a gas.")
        .def_readonly("speed_of_sound", &AcousticCheck::speedOfSound, "c, m/s.")
        .def_readonly("effective_speed_of_sound", &AcousticCheck::effectiveSpeedOfSound,
                      "c through the bundle, m/s.")
        .def_property_readonly(
            "modes",
            [](py::object self) {
                return readOnlyView(self.cast<const AcousticCheck&>().modes, self);
            },
            "f_a of the first transverse modes, Hz (read-only float64 numpy array).")
        .def_readonly("buffeting_frequency", &AcousticCheck::buffetingFrequency,
                      "Owen's turbulent buffeting frequency at the central span's velocity, Hz.")
        .def_readonly("closest_margin", &AcousticCheck::closestMargin,
                      "|f/f_a - 1| of the excitation nearest to a mode.")
        .def_readonly("closest_source", &AcousticCheck::closestSource,
                      "Which excitation: a span ('central span (0.5 m)') or 'turbulent "
                      "buffeting'.")
        .def_readonly("closest_mode", &AcousticCheck::closestMode, "Which mode, from 1.");

    py::class_<VibrationScreening>(
        m, "VibrationScreening",
        "The flow-induced vibration screening of a bundle: the tube, fluids and constants "
        "taken, each span's figures, the acoustic check of a gas and the warnings.")
        .def_readonly("material", &VibrationScreening::material,
                      "The material's document name, or 'given' (E or density given).")
        .def_readonly("elastic_modulus", &VibrationScreening::elasticModulus, "E, Pa.")
        .def_readonly("tube_density", &VibrationScreening::tubeDensity, "kg/m3.")
        .def_readonly("outer_diameter", &VibrationScreening::outerDiameter, "Do, m.")
        .def_readonly("moment_of_inertia", &VibrationScreening::momentOfInertia,
                      "I of the tube's section, m4.")
        .def_readonly("layout_angle", &VibrationScreening::layoutAngle, "30, 45, 60 or 90.")
        .def_readonly("pitch", &VibrationScreening::pitch, "Tube pitch, m.")
        .def_readonly("gap", &VibrationScreening::gap, "Smallest gap between tubes, m.")
        .def_readonly("shell_density", &VibrationScreening::shellDensity, "kg/m3.")
        .def_property_readonly(
            "shell_phase",
            [](const VibrationScreening& s) {
                return std::string(hxrate::shellPhaseName(s.shellPhase));
            },
            "'liquid' or 'gas'.")
        .def_readonly("tube_mass", &VibrationScreening::tubeMass, "The metal, kg/m.")
        .def_readonly("inside_mass", &VibrationScreening::insideMass, "The tube fluid, kg/m.")
        .def_readonly("added_mass_coefficient", &VibrationScreening::addedMassCoefficient,
                      "C_m of the confined shell fluid.")
        .def_readonly("added_mass", &VibrationScreening::addedMass, "C_m rho_s pi Do^2/4, kg/m.")
        .def_readonly("effective_mass", &VibrationScreening::effectiveMass,
                      "m: metal, tube fluid and added mass, kg/m.")
        .def_readonly("log_decrement", &VibrationScreening::logDecrement, "delta.")
        .def_readonly("connors_constant", &VibrationScreening::connorsConstant, "K.")
        .def_readonly("mass_damping_parameter", &VibrationScreening::massDampingParameter,
                      "m delta/(rho_s Do^2).")
        .def_readonly("strouhal_number", &VibrationScreening::strouhalNumber, "St.")
        .def_readonly("lift_coefficient", &VibrationScreening::liftCoefficient, "C_L.")
        .def_readonly("buffeting_spectrum", &VibrationScreening::buffetingSpectrum, "Phi.")
        .def_readonly("allowed_amplitude", &VibrationScreening::allowedAmplitude, "At mid-span, m.")
        .def_readonly("velocity_ratio_limit", &VibrationScreening::velocityRatioLimit,
                      "The V/V_crit a span may reach.")
        .def_readonly("spans", &VibrationScreening::spans,
                      "The VibrationSpans, inlet first, outlet last.")
        .def_readonly("worst_span", &VibrationScreening::worstSpan,
                      "Index into spans of the largest V/V_crit.")
        .def_readonly("worst_velocity_ratio", &VibrationScreening::worstVelocityRatio,
                      "The largest V/V_crit.")
        .def_readonly("acoustic", &VibrationScreening::acoustic,
                      "The AcousticCheck of a gas whose speed of sound is known; None.")
        .def_readonly("warnings", &VibrationScreening::warnings,
                      "'fluid-elastic-instability', 'vortex-shedding', 'turbulent-buffeting', "
                      "'acoustic-resonance' (each once, naming the worst span) and notes.")
        .def_property_readonly("passes", &VibrationScreening::passes,
                               "Whether no limit is passed (notes aside).")
        .def("__repr__", [](const VibrationScreening& s) {
            return "VibrationScreening(worst_span='" + s.spans.at(s.worstSpan).name +
                   "', worst_velocity_ratio=" +
                   std::string(py::repr(py::float_(s.worstVelocityRatio))) +
                   ", passes=" + (s.passes() ? "True" : "False") + ")";
        });

    py::options signatures;
    signatures.disable_function_signatures();
    m.def(
        "screen_vibration",
        [](py::handle what, py::handle extensions, py::handle given) {
            if (py::isinstance<hxrate::CaseDocument>(what)) {
                if (!extensions.is_none() || !given.is_none())
                    throw py::type_error(
                        "a CaseDocument carries its own extensions and vibration input");
                const auto& d = what.cast<const hxrate::CaseDocument&>();
                return hxrate::screenVibration(d.input, d.extensions, d.vibration);
            }
            if (!py::isinstance<hxrate::Case>(what))
                throw py::type_error("case must be a hxrate.Case or a hxrate.CaseDocument, not " +
                                     typeName(what));
            return hxrate::screenVibration(what.cast<const hxrate::Case&>(),
                                           extensionsFrom(extensions),
                                           vibrationFrom(given, "input"));
        },
        "case"_a, "extensions"_a = py::none(), "input"_a = py::none(), screenDoc);
}

}  // namespace hxrate_python
