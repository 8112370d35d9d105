// The engineering assessment (hxrate/assessment.h) as hxrate.assess(): duty,
// effectiveness, pressure drops, shooting advice and the warnings.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>

#include "binding.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

const char* const assessDoc = R"(Assess a rating: what the library says beyond the rating itself.

case: the Case that was rated.
rating: its Rating, or the CaseRejected exception a rejected case raised
    (its partial rating and check are assessed).
text: the case file's text, when the case was read from one: the text
    checks (a decimal comma read as a separator, labels that are not line
    numbers) run only with it.
grids: 0, 2 or 3: the discretisation estimate re-rates the case at dL/2
    (and dL/4); 0 skips it.
shooting: 'when-slow' (advice only when the case's shooting is slow or
    rejected) or 'always'.

The GIL is released while the case is re-rated.)";

hxrate::Check checkNamed(const std::string& name) {
    for (int i = 0; i <= static_cast<int>(hxrate::Check::negativeBaffleCount); ++i) {
        auto check = static_cast<hxrate::Check>(i);
        if (hxrate::checkName(check) == name) return check;
    }
    throw py::value_error("no check is named '" + name + "'");
}

py::object optional(const std::optional<double>& x) {
    return x ? py::object(py::float_(*x)) : py::object(py::none());
}

py::object pressure(const std::optional<hxrate::PressureDrop>& d) {
    return d ? py::object(py::float_(d->pressureDrop)) : py::object(py::none());
}

py::object method(const std::optional<hxrate::PressureDrop>& d) {
    return d ? py::object(py::str(std::string(hxrate::pressureDropMethodName(d->method))))
             : py::object(py::none());
}

}  // namespace

void bindAssessment(py::module_& m) {
    using hxrate::Assessment;
    using hxrate::Warning;
    py::class_<Warning>(m, "AssessmentWarning",
                        "One finding of an assessment: what it is, how serious, where, and the "
                        "values it names.")
        .def_readonly("code", &Warning::code,
                      "Stable code: 'decimal-comma', 'correlation-switch', ...")
        .def_property_readonly(
            "severity",
            [](const Warning& w) { return std::string(hxrate::severityName(w.severity)); },
            "'info', 'warning' or 'error'.")
        .def_readonly("case_line", &Warning::caseLine,
                      "The case line it concerns, 1..21; 0 when none does.")
        .def_readonly("message", &Warning::message, "A sentence naming the values.")
        .def_property_readonly(
            "values",
            [](const Warning& w) {
                py::dict values;
                for (const auto& v : w.values) values[py::str(v.name)] = v.value;
                return values;
            },
            "The values involved, by name.")
        .def("__repr__", [](const Warning& w) {
            return "AssessmentWarning(code='" + w.code + "', severity='" +
                   std::string(hxrate::severityName(w.severity)) +
                   "', case_line=" + std::to_string(w.caseLine) + ")";
        });

    py::class_<Assessment>(m, "Assessment",
                           "What the library says about a rated case beyond the rating; a "
                           "quantity not formed (a rejected case) is None.")
        .def_readonly("warnings", &Assessment::warnings,
                      "Warnings, errors first, then warnings, then notes.")
        .def_property_readonly(
            "duty", [](const Assessment& a) { return optional(a.thermal.duty); },
            "Heat passed between the streams, a positive magnitude, W.")
        .def_property_readonly(
            "duty_direction",
            [](const Assessment& a) {
                return std::string(hxrate::dutyDirectionText(a.thermal.dutyDirection));
            },
            "'tube stream cooled', 'tube stream heated' or 'none'.")
        .def_property_readonly(
            "effectiveness", [](const Assessment& a) { return optional(a.thermal.effectiveness); },
            "Duty over the largest possible, from the outlets.")
        .def_property_readonly(
            "ntu", [](const Assessment& a) { return optional(a.thermal.ntu); }, "UA / Cmin.")
        .def_property_readonly(
            "capacity_ratio", [](const Assessment& a) { return optional(a.thermal.capacityRatio); },
            "Cmin / Cmax.")
        .def_property_readonly(
            "lmtd", [](const Assessment& a) { return optional(a.thermal.lmtd); },
            "Logarithmic mean temperature difference, K.")
        .def_property_readonly(
            "tube_pressure_drop", [](const Assessment& a) { return pressure(a.tubePressureDrop); },
            "Frictional pressure drop of the tube stream (Darcy-Weisbach), Pa.")
        .def_property_readonly(
            "shell_pressure_drop",
            [](const Assessment& a) { return pressure(a.shellPressureDrop); },
            "Frictional pressure drop of the shell stream (Darcy-Weisbach on Dh along the tubes, "
            "Kern's estimate across them), Pa.")
        .def_property_readonly(
            "tube_pressure_drop_method",
            [](const Assessment& a) { return method(a.tubePressureDrop); },
            "'darcy-weisbach', or None.")
        .def_property_readonly(
            "shell_pressure_drop_method",
            [](const Assessment& a) { return method(a.shellPressureDrop); },
            "'darcy-weisbach' or 'kern', or None.")
        .def_property_readonly(
            "advised_factor",
            [](const Assessment& a) { return optional(a.shooting.advisedFactor); },
            "Correction factor advised for a slow or failed shooting (types 1 and 3), W/(m K).")
        .def_property_readonly(
            "discretisation_estimate",
            [](const Assessment& a) {
                const hxrate::Discretisation& d = a.discretisation;
                return d.formed ? py::object(py::float_(d.estimate)) : py::object(py::none());
            },
            "How far halving the element length moves an outlet, K.")
        .def("__repr__", [](const Assessment& a) {
            std::string codes;
            for (const Warning& w : a.warnings)
                codes += (codes.empty() ? "'" : ", '") + w.code + "'";
            return "Assessment(duty=" + std::string(py::repr(optional(a.thermal.duty))) +
                   ", warnings=[" + codes + "])";
        });

    m.def(
        "assess",
        [](const hxrate::Case& c, py::handle rating, py::object text, int grids,
           const std::string& shooting) {
            hxrate::AssessOptions options;
            std::shared_ptr<const hxrate::Rating> rated;
            if (py::isinstance<RatingObject>(rating)) {
                rated = rating.cast<const RatingObject&>().rating;
            } else if (py::hasattr(rating, "partial") && py::hasattr(rating, "check")) {
                py::object partial = rating.attr("partial");
                if (partial.is_none() || !py::isinstance<RatingObject>(partial))
                    throw py::value_error("the rejection carries no partial rating");
                rated = partial.cast<const RatingObject&>().rating;
                options.rejectedBy = checkNamed(py::str(rating.attr("check")));
            } else {
                throw py::type_error(
                    "rating must be a hxrate.Rating or a hxrate.CaseRejected, not " +
                    typeName(rating));
            }
            if (grids != 0 && grids != 2 && grids != 3)
                throw py::value_error("grids must be 0, 2 or 3");
            options.grids = grids;
            if (shooting == "always") {
                options.shooting = hxrate::ShootingAnalysis::always;
            } else if (shooting != "when-slow") {
                throw py::value_error("shooting must be 'when-slow' or 'always'");
            }
            std::string caseText;
            if (!text.is_none()) {
                caseText = py::isinstance<py::bytes>(text) ? std::string(text.cast<py::bytes>())
                                                           : fromPythonText(text, "text");
                hxrate::CaseSource source;
                hxrate::parseCase(caseText, "case", source);
                options.text = caseText;
                options.source = source;
            }
            const hxrate::Case input = c;  // the Python object may change meanwhile
            py::gil_scoped_release release;
            return hxrate::assess(input, *rated, options);
        },
        "case"_a, "rating"_a, py::kw_only(), "text"_a = py::none(), "grids"_a = 2,
        "shooting"_a = "when-slow", assessDoc);
}

}  // namespace hxrate_python
