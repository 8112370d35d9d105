// The engineering assessment (hxrate/assessment.h) as hxrate.assess(): duty,
// effectiveness, pressure drops, shooting advice and the warnings.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "binding.h"
#include "hxrate/errors.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

const char* const assessDoc = R"(Assess a rating: what the library says beyond the rating itself.

case: the Case that was rated.
rating: its Rating, or the CaseRejected exception a rejected case raised
    (its partial rating and check are assessed).
text: the case file's text for the text checks (a decimal comma read as a
    separator, labels that are not line numbers). Without it they run on the
    text parse_case or read_case read the case from, unless the case was
    changed since (replace) or built from keywords; a pickled case keeps no
    text.
grids: 0, 2 or 3: the discretisation estimate re-rates the case at dL/2
    (and dL/4); 0 skips it.
shooting: 'when-slow' (advice only when the case's shooting is slow or
    rejected) or 'always'.
shell_wall_viscosity: mu_w of the shell fluid at the wall, Pa s (above 0):
    Kern's shell-side drop is then also given with the wall-viscosity
    correction (viscosity_correction, corrected_pressure_drop).

The GIL is released while the case is re-rated; Ctrl-C stops it:
KeyboardInterrupt within a second. Raises InvalidArgument (a ValueError)
when `rating` is not one of `case` (rating.case != case).)";

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

hxrate::AssessOptions assessOptions(int grids, const std::string& shooting,
                                    std::optional<double> shellWallViscosity) {
    hxrate::AssessOptions options;
    options.rating = hxrate::programRateOptions();
    if (grids != 0 && grids != 2 && grids != 3) throw py::value_error("grids must be 0, 2 or 3");
    options.grids = grids;
    // As a case document's: a finite viscosity above 0, or none.
    if (shellWallViscosity && (!std::isfinite(*shellWallViscosity) || !(*shellWallViscosity > 0)))
        throw py::value_error("shell_wall_viscosity must be above 0, Pa s");
    options.shellWallViscosity = shellWallViscosity;
    if (shooting == "always") {
        options.shooting = hxrate::ShootingAnalysis::always;
    } else if (shooting != "when-slow") {
        throw py::value_error("shooting must be 'when-slow' or 'always'");
    }
    return options;
}

namespace {

// A Rating carries the case it rates: one of another case is refused
// whatever the library could tell from the rating's values alone.
void requireRatedCase(const hxrate::Case& c, const RatingObject& r) {
    if (!(r.ratedCase == c))
        throw hxrate::InvalidArgument("rating",
                                      "the rating is not one of the case given (rating.case != "
                                      "case)");
}

// The rating to assess: a Rating's own, or a rejection's partial one (the
// check then named in `options`), with the case it rates; null for a
// rejection without one.
const RatingObject* assessedRating(py::handle rating, hxrate::AssessOptions& options) {
    if (py::isinstance<RatingObject>(rating)) return &rating.cast<const RatingObject&>();
    if (!py::hasattr(rating, "partial") || !py::hasattr(rating, "check"))
        throw py::type_error("rating must be a hxrate.Rating or a hxrate.CaseRejected, not " +
                             typeName(rating));
    py::object partial = rating.attr("partial");
    if (partial.is_none() || !py::isinstance<RatingObject>(partial)) return nullptr;
    options.rejectedBy = checkNamed(py::str(rating.attr("check")));
    return &partial.cast<const RatingObject&>();
}

// Element steps an assessment may march at most: the re-ratings of the grid
// estimate (dL, dL/2, dL/4: seven times the case's grid) and of the shooting
// advice (the fastest factor and up to sixteen shorter ones).
double assessmentWork(const hxrate::Case& c, const hxrate::AssessOptions& options) {
    return 32 * workBound(c, options.rating);
}

const char* const assessManyDoc =
    R"(assess_many(cases: list[Case], ratings: list[Rating | Error | None], *, grids: int = 2, shooting: str = "when-slow", shell_wall_viscosity: float | None = None) -> list[Assessment | Error | None]

Assesses every case of a list with its rating as assess() does, releasing
the GIL once for the whole list; `ratings` is what rate_many() gave for
`cases`. An item that is another exception (InputError, ...), a rejection
without a partial rating, or None gives None in its place; an assessment that ends in an
error gives the exception object in its place instead of raising, InvalidArgument
for a rating that is not one of its case. ValueError
when the lists differ in length, TypeError for an item of another type.
Ctrl-C stops the list: KeyboardInterrupt within a second.)";

py::list assessMany(const std::vector<hxrate::Case>& cases, const py::sequence& ratings, int grids,
                    const std::string& shooting, std::optional<double> shellWallViscosity) {
    if (static_cast<std::size_t>(py::len(ratings)) != cases.size())
        throw py::value_error(
            "assess_many needs one rating per case: " + std::to_string(cases.size()) + " cases, " +
            std::to_string(py::len(ratings)) + " ratings");
    const hxrate::AssessOptions common = assessOptions(grids, shooting, shellWallViscosity);
    // Per case only the check that rejected it, when it was rejected.
    std::vector<std::optional<hxrate::Check>> rejectedBy(cases.size());
    std::vector<std::shared_ptr<const hxrate::Rating>> rated(cases.size());
    // Each item's own error: a rating of another case than its case.
    std::vector<std::exception_ptr> errors(cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        py::object item = ratings[i];
        if (item.is_none()) continue;
        if (py::isinstance<RatingObject>(item) || py::hasattr(item, "check")) {
            hxrate::AssessOptions own;
            const RatingObject* r = assessedRating(item, own);
            if (!r) continue;
            keepItemError(errors[i], "the assessment", [&] { requireRatedCase(cases[i], *r); });
            if (!errors[i]) rated[i] = r->rating;
            rejectedBy[i] = own.rejectedBy;
        } else if (!PyExceptionInstance_Check(item.ptr())) {
            throw py::type_error("ratings[" + std::to_string(i) +
                                 "] must be a hxrate.Rating, an exception or None, not " +
                                 typeName(item));
        }
    }
    // Each on the heap as Python will hold it, not in one large block that a
    // second move would copy from.
    std::vector<std::unique_ptr<hxrate::Assessment>> assessments(cases.size());
    runInterruptibly([&](const std::atomic<bool>* cancel) {
        for (std::size_t i = 0; i < cases.size() && !cancel->load(); ++i) {
            if (!rated[i]) continue;
            hxrate::AssessOptions options = common;
            options.rejectedBy = rejectedBy[i];
            options.rating.cancel = cancel;
            keepItemError(errors[i], "the assessment", [&] {
                assessments[i] = std::make_unique<hxrate::Assessment>(
                    hxrate::assess(cases[i], *rated[i], options));
            });
        }
    });
    py::list results;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (errors[i]) {
            results.append(errorObject(errors[i], cases[i]));
        } else if (assessments[i]) {
            results.append(py::cast(std::move(assessments[i])));
        } else {
            results.append(py::none());
        }
    }
    return results;
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
        .def_readonly("field", &Warning::field,
                      "The case document field it concerns ('extensions.tube_passes'); '' "
                      "when it concerns a case line or none.")
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
            "viscosity_correction",
            [](const Assessment& a) {
                return a.shellPressureDrop ? optional(a.shellPressureDrop->viscosityCorrection)
                                           : py::object(py::none());
            },
            "Kern's wall-viscosity correction phi_s = (mu/mu_w)^0.14 of the shell stream; None "
            "unless a shell_wall_viscosity was given and Kern's drop formed.")
        .def_property_readonly(
            "corrected_pressure_drop",
            [](const Assessment& a) {
                return a.shellPressureDrop ? optional(a.shellPressureDrop->correctedPressureDrop)
                                           : py::object(py::none());
            },
            "Kern's shell-side drop divided by viscosity_correction, Pa; None where that is "
            "None. shell_pressure_drop stays the uncorrected value.")
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
           const std::string& shooting, std::optional<double> shellWallViscosity) {
            hxrate::AssessOptions options = assessOptions(grids, shooting, shellWallViscosity);
            const RatingObject* object = assessedRating(rating, options);
            if (!object) throw py::value_error("the rejection carries no partial rating");
            // Shared with the Rating object, so that it outlives the GIL's release.
            std::shared_ptr<const hxrate::Rating> rated = object->rating;
            requireRatedCase(c, *object);
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
            std::optional<hxrate::Assessment> assessment;
            runInterruptibly(assessmentWork(input, options), [&](const std::atomic<bool>* cancel) {
                hxrate::AssessOptions own = options;
                own.rating.cancel = cancel;
                assessment = hxrate::assess(input, *rated, own);
            });
            return std::move(*assessment);
        },
        "case"_a, "rating"_a, py::kw_only(), "text"_a = py::none(), "grids"_a = 2,
        "shooting"_a = "when-slow", "shell_wall_viscosity"_a = py::none(), assessDoc);

    {
        // The docstring's first line gives the signature with Python's types.
        py::options signatures;
        signatures.disable_function_signatures();
        m.def("assess_many", &assessMany, "cases"_a, "ratings"_a, py::kw_only(), "grids"_a = 2,
              "shooting"_a = "when-slow", "shell_wall_viscosity"_a = py::none(), assessManyDoc);
    }
}

}  // namespace hxrate_python
