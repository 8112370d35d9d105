// One rating for every exchanger: CaseDocument (a case with its extensions),
// ExchangerRating (the one result), rate() and rate_many() on documents,
// and reading and writing case documents.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding.h"
#include "hxrate/case_document.h"
#include "hxrate/exchanger.h"
#include "hxrate/fluid_properties.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

using hxrate::CaseDocument;
using hxrate::ExchangerRating;

// The one result with the case it rates, so that its Rating can write the
// case's report.
// The property profile as read-only numpy arrays over the result's storage.
struct PropertyProfileView {
    py::array tubeViscosity, shellViscosity, wallTemperature, overallCoefficient;
};

struct ExchangerRatingObject {
    hxrate::Case ratedCase;
    std::shared_ptr<const ExchangerRating> result;
};

py::object ratingOf(const ExchangerRatingObject& x) {
    auto rating = std::shared_ptr<const hxrate::Rating>(x.result, &x.result->rating);
    return py::cast(std::make_shared<RatingObject>(RatingObject{x.ratedCase, rating}));
}

py::list givenList(const std::vector<hxrate::GivenQuantity>& given) {
    py::list out;
    for (const hxrate::GivenQuantity& g : given)
        out.append(py::dict("field"_a = g.field, "value"_a = g.value, "unit"_a = g.unit,
                            "si"_a = g.si, "si_unit"_a = g.siUnit));
    return out;
}

hxrate::ExchangerOptions exchangerOptions(const std::string& shooting, py::handle passLimit,
                                          bool assess, int grids, const std::string& analysis) {
    hxrate::ExchangerOptions o;
    o.rating = rateOptions(shooting, passLimit);
    o.assess = assess;
    if (grids != 0 && grids != 2 && grids != 3) throw py::value_error("grids must be 0, 2 or 3");
    o.grids = grids;
    if (analysis == "always")
        o.shooting = hxrate::ShootingAnalysis::always;
    else if (analysis != "when-slow")
        throw py::value_error("shooting_analysis must be \"when-slow\" or \"always\"");
    return o;
}

// Element steps the rating and its assessment may march at most: the
// assessment's re-ratings, and the case's own rating for the fouling allowed.
double documentWork(const CaseDocument& d, const hxrate::ExchangerOptions& o) {
    return (o.assess ? 34 : 2) * workBound(d.input, o.rating);
}

ExchangerRatingObject rateDocument(const CaseDocument& document,
                                   const hxrate::ExchangerOptions& options) {
    const CaseDocument input = document;  // the Python object may change meanwhile
    std::shared_ptr<const ExchangerRating> result;
    runInterruptibly(documentWork(input, options), [&](const std::atomic<bool>* cancel) {
        hxrate::ExchangerOptions own = options;
        own.rating.cancel = cancel;
        result = std::make_shared<const ExchangerRating>(hxrate::rate(input, own));
    });
    // The Rating reports the case as rated: with a model, its fluids at the
    // evaluation temperatures.
    hxrate::Case rated = result->ratedCase ? *result->ratedCase : input.input;
    return {std::move(rated), std::move(result)};
}

// A case document from JSON text or a file; a str longer than any document
// can be is refused before it is copied out of Python.
CaseDocument readDocument(py::handle pathOrText) {
    if (PyUnicode_Check(pathOrText.ptr())) {
        if (static_cast<std::size_t>(PyUnicode_GET_LENGTH(pathOrText.ptr())) >
            hxrate::caseDocumentLimitBytes)
            throw hxrate::InputError(hxrate::errorNumber::valueTooLong,
                                     "the case document text is larger than a case document can "
                                     "be (" +
                                         std::to_string(hxrate::caseDocumentLimitBytes >> 20) +
                                         " MiB)",
                                     "case document");
        std::string text = pathOrText.cast<std::string>();
        if (hxrate::looksLikeCaseDocument(text)) return hxrate::parseCaseDocument(text);
    }
    std::string name = fromPythonText(py::module_::import("os").attr("fsdecode")(pathOrText),
                                      "read_case_document() path");
    py::gil_scoped_release release;
    return hxrate::readCaseDocument(std::filesystem::path(name));
}

const char* const rateDocumentDoc =
    R"(rate(document: CaseDocument, *, shooting: str = "case", pass_limit: int = 10000, assess: bool = True, grids: int = 2, shooting_analysis: str = "when-slow") -> ExchangerRating
rate(case: Case, *, fouling_inside=0.0, fouling_outside=0.0, tube_passes=1, shells=1, shell_side="program", baffles=None, shell_wall_viscosity=None, tube_properties=None, shell_properties=None, properties_at="inlet", vibration=None, shooting="case", pass_limit=10000, assess=True, grids=2, shooting_analysis="when-slow") -> ExchangerRating

Rates a case with its extensions and returns the one result: the Rating,
what the arrangement adds ('extended'), the assessment of that arrangement
(when `assess`), the vibration screening of a cross-flow case
('vibration') and every warning in one list. Without extensions the
Rating is rate(case)'s, bit for bit. A case given with extension keywords
or property keywords is rated as CaseDocument(case, **keywords). A
rejected case is a result
(solved False, rejected_by the check, the partial Rating), not an
exception. Raises InvalidArgument for extensions outside their domain,
or a vibration input outside its own,
ArithmeticFault and ResourceError as rate(case) does. Ctrl-C stops it:
KeyboardInterrupt within a second.)";

// ---- property models ---------------------------------------------------------

double number(py::handle v, const std::string& what) {
    if (!v || v.is_none() || PyBool_Check(v.ptr()) ||
        !(PyFloat_Check(v.ptr()) || PyLong_Check(v.ptr())))
        throw py::type_error(what + " must be a number");
    return v.cast<double>();
}

// A stream's property model from its keyword: None (constant) or a dict
// {"model": "constant" | "table" | "water", "table": [rows], "pressure": Pa},
// each row a dict of temperature (degC), density, viscosity, conductivity and
// heat_capacity (SI). TypeError or ValueError naming the keyword; the
// library's InvalidArgument for a model that gives no properties.
hxrate::PropertyModel modelFrom(py::handle value, const std::string& keyword, const char* stream) {
    hxrate::PropertyModel m;
    if (!value || value.is_none()) return m;
    if (!py::isinstance<py::dict>(value))
        throw py::type_error(keyword + " must be None or a dict with \"model\"");
    auto d = py::reinterpret_borrow<py::dict>(value);
    for (auto item : d) {
        std::string key = py::str(item.first);
        if (key != "model" && key != "table" && key != "pressure")
            throw py::value_error(keyword + ": unknown key \"" + key +
                                  "\" (model, table, pressure)");
    }
    std::string kind = d.contains("model") ? py::str(d["model"]).cast<std::string>() : "constant";
    if (kind == "table") {
        m.kind = hxrate::PropertyModelKind::table;
        if (!d.contains("table"))
            throw py::value_error(keyword + ": a table model needs \"table\"");
        py::handle rows = d["table"];
        if (py::isinstance<py::str>(rows) || !py::isinstance<py::sequence>(rows))
            throw py::type_error(keyword + "[\"table\"] must be a list of dicts");
        std::size_t i = 0;
        for (py::handle row : py::reinterpret_borrow<py::sequence>(rows)) {
            const std::string at = keyword + "[\"table\"][" + std::to_string(i++) + "]";
            if (!py::isinstance<py::dict>(row)) throw py::type_error(at + " must be a dict");
            auto r = py::reinterpret_borrow<py::dict>(row);
            const char* names[] = {"temperature", "density", "viscosity", "conductivity",
                                   "heat_capacity"};
            if (r.size() != 5)
                throw py::value_error(at +
                                      " needs exactly temperature, density, viscosity, "
                                      "conductivity and heat_capacity");
            double v[5];
            for (int k = 0; k < 5; ++k) {
                if (!r.contains(names[k]))
                    throw py::value_error(at + " needs \"" + names[k] + "\"");
                v[k] = number(r[names[k]], at + "[\"" + names[k] + "\"]");
            }
            m.table.push_back({v[0], {v[1], v[2], v[3], v[4]}});
        }
        if (d.contains("pressure"))
            throw py::value_error(keyword + ": a table model takes no pressure");
    } else if (kind == "water") {
        m.kind = hxrate::PropertyModelKind::water;
        if (!d.contains("pressure"))
            throw py::value_error(keyword + ": a water model needs \"pressure\" (Pa)");
        m.pressure = number(d["pressure"], keyword + "[\"pressure\"]");
        if (d.contains("table")) throw py::value_error(keyword + ": a water model takes no table");
    } else if (kind == "constant") {
        if (d.contains("table") || d.contains("pressure"))
            throw py::value_error(keyword + ": a constant model takes no table or pressure");
    } else {
        throw py::value_error(keyword +
                              "[\"model\"] must be \"constant\", \"table\" or "
                              "\"water\"");
    }
    hxrate::validatePropertyModel(m, stream);
    return m;
}

// A property model as the dict modelFrom() reads; None for a constant one.
py::object modelDict(const hxrate::PropertyModel& m) {
    switch (m.kind) {
        case hxrate::PropertyModelKind::constant:
            return py::none();
        case hxrate::PropertyModelKind::table: {
            py::list rows;
            for (const hxrate::PropertyPoint& p : m.table)
                rows.append(py::dict("temperature"_a = p.temperature,
                                     "density"_a = p.properties.density,
                                     "viscosity"_a = p.properties.viscosity,
                                     "conductivity"_a = p.properties.conductivity,
                                     "heat_capacity"_a = p.properties.heatCapacity));
            return py::dict("model"_a = "table", "table"_a = rows);
        }
        case hxrate::PropertyModelKind::water:
            break;
    }
    return py::dict("model"_a = "water", "pressure"_a = m.pressure);
}

hxrate::PropertiesAt propertiesAtFrom(const std::string& mode) {
    for (auto m : {hxrate::PropertiesAt::inlet, hxrate::PropertiesAt::mean,
                   hxrate::PropertiesAt::incremental})
        if (mode == hxrate::propertiesAtName(m)) return m;
    throw py::value_error("properties_at must be \"inlet\", \"mean\" or \"incremental\"");
}

// The document of a case, its extensions, its property models and its
// vibration input (None: the defaults).
CaseDocument documentFrom(const hxrate::Case& c, hxrate::Extensions ext, py::handle tube,
                          py::handle shell, const std::string& propertiesAt,
                          py::handle vibration = {}) {
    CaseDocument d{c, std::move(ext), {}};
    d.tubeProperties = modelFrom(tube, "tube_properties", "tube");
    d.shellProperties = modelFrom(shell, "shell_properties", "shell");
    d.propertiesAt = propertiesAtFrom(propertiesAt);
    d.vibration = vibrationFrom(vibration, "vibration");
    return d;
}

py::object optionalValue(const std::optional<double>& x) {
    return x ? py::object(py::float_(*x)) : py::object(py::none());
}

}  // namespace

void bindExchanger(py::module_& m) {
    py::class_<CaseDocument> document(
        m, "CaseDocument",
        "What is rated: a Case with its extensions (fouling, tube passes, shells in series, the "
        "Bell-Delaware shell side), as a case document holds them.");
    document
        .def(py::init([](const hxrate::Case& c, py::handle foulingInside, py::handle foulingOutside,
                         py::handle passes, py::handle shells, const std::string& shellSide,
                         py::handle baffles, py::handle wallViscosity, py::handle tube,
                         py::handle shell, const std::string& propertiesAt, py::handle vibration) {
                 return documentFrom(c,
                                     extensionsFrom(foulingInside, foulingOutside, passes, shells,
                                                    shellSide, baffles, wallViscosity),
                                     tube, shell, propertiesAt, vibration);
             }),
             "case"_a, py::kw_only(), "fouling_inside"_a = 0.0, "fouling_outside"_a = 0.0,
             "tube_passes"_a = 1, "shells"_a = 1, "shell_side"_a = "program",
             "baffles"_a = py::none(), "shell_wall_viscosity"_a = py::none(),
             "tube_properties"_a = py::none(), "shell_properties"_a = py::none(),
             "properties_at"_a = "inlet", "vibration"_a = py::none(),
             "CaseDocument(case, *, fouling_inside=0.0, fouling_outside=0.0, tube_passes=1, "
             "shells=1, shell_side='program', baffles=None, shell_wall_viscosity=None, "
             "tube_properties=None, shell_properties=None, properties_at='inlet', "
             "vibration=None)\n\n"
             "Fouling in m2 K/W on the inner and outer tube surface, tube passes (1, 2, 4, 6, "
             "8), identical shells in series, the shell side ('program' or 'bell-delaware', "
             "baffles: dict of baffle_cut, clearances, sealing_strip_pairs, end spacings, "
             "layout_angle), the shell fluid's wall viscosity in Pa s. Each stream's property "
             "model: None (the case's constant values), {'model': 'table', 'table': "
             "[{'temperature': "
             "degC, 'density', 'viscosity', 'conductivity', 'heat_capacity': SI}, ...]} or "
             "{'model': 'water', 'pressure': Pa}; properties_at 'inlet', 'mean' or 'incremental' "
             "(element by element). vibration: the VibrationInput of the vibration screening of a "
             "cross-flow case (None: its defaults, a carbon-steel tube). ValueError or TypeError "
             "naming a keyword outside its domain; InvalidArgument for a model that gives no "
             "properties.")
        .def_property(
            "case", [](const CaseDocument& d) { return d.input; },
            [](CaseDocument& d, const hxrate::Case& c) { d.input = c; },
            "The values of the 21 case lines (a copy: assign to change it).")
        .def_property(
            "extensions", [](const CaseDocument& d) { return extensionsDict(d.extensions); },
            [](CaseDocument& d, py::handle e) { d.extensions = extensionsFrom(e); },
            "The extensions as a dict of the constructor's keywords (a copy: assign to change "
            "them).")
        .def_property(
            "tube_properties", [](const CaseDocument& d) { return modelDict(d.tubeProperties); },
            [](CaseDocument& d, py::handle m) {
                d.tubeProperties = modelFrom(m, "tube_properties", "tube");
            },
            "The tube stream's property model as the constructor's dict; None: constant.")
        .def_property(
            "shell_properties", [](const CaseDocument& d) { return modelDict(d.shellProperties); },
            [](CaseDocument& d, py::handle m) {
                d.shellProperties = modelFrom(m, "shell_properties", "shell");
            },
            "The shell stream's property model as the constructor's dict; None: constant.")
        .def_property(
            "properties_at",
            [](const CaseDocument& d) { return std::string(propertiesAtName(d.propertiesAt)); },
            [](CaseDocument& d, const std::string& mode) {
                d.propertiesAt = propertiesAtFrom(mode);
            },
            "Where the models are evaluated: 'inlet', 'mean' or 'incremental'.")
        .def_property(
            "vibration", [](const CaseDocument& d) { return d.vibration; },
            [](CaseDocument& d, py::handle v) { d.vibration = vibrationFrom(v, "vibration"); },
            "The VibrationInput of the vibration screening (a copy; None assigns the "
            "defaults).")
        .def_property_readonly(
            "given", [](const CaseDocument& d) { return givenList(d.given); },
            "The quantities the document gave in units other than SI: dicts of field, value, "
            "unit, si, si_unit.")
        .def(
            "__iter__",
            [](const CaseDocument& d) {
                py::module_::import("warnings")
                    .attr("warn")(
                        "unpacking a CaseDocument as (case, extensions) is deprecated: "
                        "use document.case and document.extensions",
                        py::module_::import("builtins").attr("DeprecationWarning"), 1);
                return py::iter(py::make_tuple(d.input, extensionsDict(d.extensions)));
            },
            "The old (case, extensions) pair of read_case_document(); deprecated.")
        .def(
            "__getitem__",
            [](const CaseDocument& d, int i) -> py::object {
                py::module_::import("warnings")
                    .attr("warn")(
                        "indexing a CaseDocument as (case, extensions) is deprecated: "
                        "use document.case and document.extensions",
                        py::module_::import("builtins").attr("DeprecationWarning"), 1);
                if (i == 0 || i == -2) return py::cast(d.input);
                if (i == 1 || i == -1) return extensionsDict(d.extensions);
                throw py::index_error("a CaseDocument reads as (case, extensions)");
            },
            "The old (case, extensions) pair by index; deprecated.")
        .def("__repr__",
             [](const CaseDocument& d) {
                 std::string vibration;
                 if (!(d.vibration == hxrate::VibrationInput{}))
                     vibration = ", vibration=" + std::string(py::repr(py::cast(d.vibration)));
                 return "CaseDocument(" + std::string(py::repr(py::cast(d.input))) + ", " +
                        std::string(py::repr(extensionsDict(d.extensions))) + vibration + ")";
             })
        .def(py::pickle(
            [](const CaseDocument& d) {
                py::list given;
                for (const hxrate::GivenQuantity& g : d.given)
                    given.append(py::make_tuple(g.field, g.value, g.unit, g.si, g.siUnit));
                return py::make_tuple(d.input, extensionsDict(d.extensions), given,
                                      modelDict(d.tubeProperties), modelDict(d.shellProperties),
                                      std::string(propertiesAtName(d.propertiesAt)), d.vibration);
            },
            [](const py::tuple& t) {
                // 3 values before the property models, 6 before the vibration input.
                if (t.size() != 3 && t.size() != 6 && t.size() != 7)
                    throw py::value_error("a CaseDocument pickles as 7 values");
                CaseDocument d =
                    t.size() == 3
                        ? CaseDocument{t[0].cast<hxrate::Case>(), extensionsFrom(t[1]), {}}
                        : documentFrom(t[0].cast<hxrate::Case>(), extensionsFrom(t[1]), t[3], t[4],
                                       t[5].cast<std::string>(),
                                       t.size() == 7 ? py::handle(t[6]) : py::handle());
                for (py::handle g : t[2].cast<py::list>()) {
                    auto q = g.cast<py::tuple>();
                    if (q.size() != 5)
                        throw py::value_error("a given quantity pickles as 5 values");
                    d.given.push_back({q[0].cast<std::string>(), q[1].cast<double>(),
                                       q[2].cast<std::string>(), q[3].cast<double>(),
                                       q[4].cast<std::string>()});
                }
                return d;
            }));

    py::class_<PropertyProfileView>(
        m, "PropertyProfile",
        "The streams' properties along the tubes at the rating's profile nodes "
        "(rating.profile.location), as read-only float64 numpy arrays sharing memory with the "
        "ExchangerRating.")
        .def_readonly("tube_viscosity", &PropertyProfileView::tubeViscosity,
                      "The tube fluid's viscosity at each node, Pa s.")
        .def_readonly("shell_viscosity", &PropertyProfileView::shellViscosity,
                      "The shell fluid's viscosity at each node, Pa s.")
        .def_readonly("wall_temperature", &PropertyProfileView::wallTemperature,
                      "The shell-side wall temperature at each node, degC, from the resistances "
                      "in series between the node's two temperatures.")
        .def_readonly("overall_coefficient", &PropertyProfileView::overallCoefficient,
                      "U at each node, W/(m2 K): the rating's own in the inlet and mean modes, "
                      "the node's from its local properties in the incremental mode.")
        .def("__len__", [](const PropertyProfileView& p) { return p.tubeViscosity.size(); })
        .def("__repr__", [](const PropertyProfileView& p) {
            return "PropertyProfile(" + std::to_string(p.tubeViscosity.size()) + " nodes)";
        });

    py::class_<ExchangerRatingObject>(
        m, "ExchangerRating",
        "The one result of rating a CaseDocument: the Rating, what the arrangement adds, the "
        "assessment and every warning.")
        .def_property_readonly(
            "solved", [](const ExchangerRatingObject& x) { return x.result->solved(); },
            "Whether the case was rated to its end (False: a check rejected it).")
        .def_property_readonly(
            "rejected_by",
            [](const ExchangerRatingObject& x) {
                return x.result->rejectedBy
                           ? py::object(
                                 py::str(std::string(hxrate::checkName(*x.result->rejectedBy))))
                           : py::object(py::none());
            },
            "The name of the check that rejected the case, as CaseRejected.check; None.")
        .def_property_readonly(
            "rejection_message",
            [](const ExchangerRatingObject& x) {
                return x.result->rejectedBy
                           ? py::object(
                                 py::str(std::string(hxrate::checkMessage(*x.result->rejectedBy))))
                           : py::object(py::none());
            },
            "The message of the check that rejected the case, as CaseRejected.message; None.")
        .def_property_readonly("rating", &ratingOf,
                               "The Rating: whole, or what was formed before the rejection.")
        .def_property_readonly(
            "extended",
            [](const ExchangerRatingObject& x) {
                return x.result->extended ? py::object(extendedDict(*x.result->extended))
                                          : py::object(py::none());
            },
            "What the arrangement adds (dict: clean and service U, fouling allowed, the tube "
            "side of one pass with its returns, P1, R1, NTU1, F, bell_delaware); None for a "
            "rejected case.")
        .def_property_readonly(
            "assessment",
            [](const ExchangerRatingObject& x) {
                return x.result->assessment ? py::cast(*x.result->assessment)
                                            : py::object(py::none());
            },
            "The Assessment of the arrangement rated (its drops over every pass and shell); "
            "None when not asked.")
        .def_property_readonly(
            "warnings", [](const ExchangerRatingObject& x) { return x.result->warnings; },
            "Every warning once, the assessment's and the arrangement's: errors first.")
        .def_property_readonly(
            "properties_at",
            [](const ExchangerRatingObject& x) {
                return std::string(hxrate::propertiesAtName(x.result->propertiesAt));
            },
            "Where the property models were evaluated: the document's mode, 'mean' for several "
            "passes or shells (P-NTU).")
        .def_property_readonly(
            "tube_property_temperature",
            [](const ExchangerRatingObject& x) {
                return optionalValue(x.result->tubePropertyTemperature);
            },
            "The temperature the tube stream's properties were taken at, degC; None for a "
            "constant model.")
        .def_property_readonly(
            "shell_property_temperature",
            [](const ExchangerRatingObject& x) {
                return optionalValue(x.result->shellPropertyTemperature);
            },
            "The temperature the shell stream's properties were taken at, degC; None for a "
            "constant model.")
        .def_property_readonly(
            "mean_iterations",
            [](const ExchangerRatingObject& x) { return x.result->meanIterations; },
            "Re-ratings the mean mode made (0 for the inlet mode).")
        .def_property_readonly(
            "wall_temperature",
            [](const ExchangerRatingObject& x) { return optionalValue(x.result->wallTemperature); },
            "The shell-side wall temperature, degC, from the resistances in series at the "
            "streams' mean temperatures; None where no model is used or the case was rejected.")
        .def_property_readonly(
            "rated_case",
            [](const ExchangerRatingObject& x) -> py::object {
                if (!x.result->ratedCase) return py::none();
                return py::cast(*x.result->ratedCase);
            },
            "The Case as rated where a model is not constant: its fluids with the properties "
            "at the temperatures they were taken at and the flow that keeps the inlet's mass "
            "flow; None where the document's own case was rated.")
        .def_property_readonly(
            "property_profile",
            [](py::object self) -> py::object {
                const auto& p = self.cast<const ExchangerRatingObject&>().result->propertyProfile;
                if (!p) return py::none();
                return py::cast(PropertyProfileView{readOnlyView(p->tubeViscosity, self),
                                                    readOnlyView(p->shellViscosity, self),
                                                    readOnlyView(p->wallTemperature, self),
                                                    readOnlyView(p->overallCoefficient, self)});
            },
            "The viscosities, wall temperature and U along the tubes (PropertyProfile), where a "
            "model is not constant and one tube pass in one shell was marched to its end; None "
            "otherwise.")
        .def_property_readonly(
            "shell_wall_viscosity",
            [](const ExchangerRatingObject& x) {
                return optionalValue(x.result->shellWallViscosity);
            },
            "The shell fluid's wall viscosity the (mu/mu_w)^0.14 corrections used, Pa s: the "
            "document's, or the shell model's at the wall temperature; None.")
        .def_property_readonly(
            "vibration",
            [](const ExchangerRatingObject& x) -> py::object {
                if (!x.result->vibration) return py::none();
                return py::cast(*x.result->vibration);
            },
            "The VibrationScreening of a solved cross-flow case, as rated (its warnings are "
            "among `warnings`); None for the other types, a rejected case, or a bundle the "
            "screening cannot describe (a note 'vibration-not-screened' says why).")
        .def("__repr__", [](const ExchangerRatingObject& x) {
            std::string codes;
            for (const hxrate::Warning& w : x.result->warnings)
                codes += (codes.empty() ? "'" : ", '") + w.code + "'";
            return std::string("ExchangerRating(solved=") +
                   (x.result->solved() ? "True" : "False") + ", warnings=[" + codes + "])";
        });

    py::options signatures;
    signatures.disable_function_signatures();

    m.def(
        "rate",
        [](const CaseDocument& d, const std::string& shooting, py::handle passLimit, bool assess,
           int grids, const std::string& analysis) {
            return rateDocument(d, exchangerOptions(shooting, passLimit, assess, grids, analysis));
        },
        "document"_a, py::kw_only(), "shooting"_a = "case",
        "pass_limit"_a = hxrate::defaultPassLimit, "assess"_a = true, "grids"_a = 2,
        "shooting_analysis"_a = "when-slow", rateDocumentDoc);
    m.def(
        "rate",
        [](const hxrate::Case& c, py::handle foulingInside, py::handle foulingOutside,
           py::handle passes, py::handle shells, const std::string& shellSide, py::handle baffles,
           py::handle wallViscosity, py::handle tube, py::handle shell,
           const std::string& propertiesAt, py::handle vibration, const std::string& shooting,
           py::handle passLimit, bool assess, int grids, const std::string& analysis) {
            const CaseDocument d =
                documentFrom(c,
                             extensionsFrom(foulingInside, foulingOutside, passes, shells,
                                            shellSide, baffles, wallViscosity),
                             tube, shell, propertiesAt, vibration);
            return rateDocument(d, exchangerOptions(shooting, passLimit, assess, grids, analysis));
        },
        "case"_a, py::kw_only(), "fouling_inside"_a = 0.0, "fouling_outside"_a = 0.0,
        "tube_passes"_a = 1, "shells"_a = 1, "shell_side"_a = "program", "baffles"_a = py::none(),
        "shell_wall_viscosity"_a = py::none(), "tube_properties"_a = py::none(),
        "shell_properties"_a = py::none(), "properties_at"_a = "inlet", "vibration"_a = py::none(),
        "shooting"_a = "case", "pass_limit"_a = hxrate::defaultPassLimit, "assess"_a = true,
        "grids"_a = 2, "shooting_analysis"_a = "when-slow",
        "The same for a Case with extension keywords.");

    m.def(
        "rate_many",
        [](const std::vector<CaseDocument>& documents, const std::string& shooting,
           py::handle passLimit, bool assess, int grids, const std::string& analysis) {
            const hxrate::ExchangerOptions options =
                exchangerOptions(shooting, passLimit, assess, grids, analysis);
            std::vector<std::shared_ptr<const ExchangerRating>> results(documents.size());
            std::vector<std::exception_ptr> errors(documents.size());
            double work = 0;
            for (const CaseDocument& d : documents) work += documentWork(d, options);
            // One release of the GIL for the whole list.
            runInterruptibly(work, [&](const std::atomic<bool>* cancel) {
                hxrate::ExchangerOptions own = options;
                own.rating.cancel = cancel;
                for (std::size_t i = 0; i < documents.size() && !cancel->load(); ++i) {
                    keepItemError(errors[i], "the rating", [&] {
                        results[i] = std::make_shared<const ExchangerRating>(
                            hxrate::rate(documents[i], own));
                    });
                }
            });
            py::list out;
            for (std::size_t i = 0; i < documents.size(); ++i) {
                if (errors[i])
                    out.append(errorObject(errors[i], documents[i].input));
                else
                    out.append(ExchangerRatingObject{
                        results[i]->ratedCase ? *results[i]->ratedCase : documents[i].input,
                        results[i]});
            }
            return out;
        },
        "documents"_a, py::kw_only(), "shooting"_a = "case",
        "pass_limit"_a = hxrate::defaultPassLimit, "assess"_a = true, "grids"_a = 2,
        "shooting_analysis"_a = "when-slow",
        "rate_many(documents: list[CaseDocument], *, shooting='case', pass_limit=10000, "
        "assess=True, grids=2, shooting_analysis='when-slow') -> list[ExchangerRating | Error]\n\n"
        "Rates every document of a list as rate(document) does, releasing the GIL once; an "
        "item that ends in an error gives the exception object in its place.");

    py::class_<hxrate::FluidProperties>(m, "FluidProperties",
                                        "A fluid's four properties at one state, SI.")
        .def_readonly("density", &hxrate::FluidProperties::density, "kg/m3")
        .def_readonly("viscosity", &hxrate::FluidProperties::viscosity, "dynamic, Pa s")
        .def_readonly("conductivity", &hxrate::FluidProperties::conductivity, "W/(m K)")
        .def_readonly("heat_capacity", &hxrate::FluidProperties::heatCapacity, "isobaric, J/(kg K)")
        .def("__eq__", [](const hxrate::FluidProperties& a,
                          const hxrate::FluidProperties& b) { return a == b; })
        .def(py::pickle(
            [](const hxrate::FluidProperties& p) {
                return py::make_tuple(p.density, p.viscosity, p.conductivity, p.heatCapacity);
            },
            [](const py::tuple& t) {
                if (t.size() != 4) throw py::value_error("FluidProperties pickles as 4 values");
                return hxrate::FluidProperties{t[0].cast<double>(), t[1].cast<double>(),
                                               t[2].cast<double>(), t[3].cast<double>()};
            }))
        .def("__repr__", [](const hxrate::FluidProperties& p) {
            return "FluidProperties(density=" + std::string(py::repr(py::float_(p.density))) +
                   ", viscosity=" + std::string(py::repr(py::float_(p.viscosity))) +
                   ", conductivity=" + std::string(py::repr(py::float_(p.conductivity))) +
                   ", heat_capacity=" + std::string(py::repr(py::float_(p.heatCapacity))) + ")";
        });
    m.def("water_properties", &hxrate::waterProperties, "temperature"_a, "pressure"_a,
          "water_properties(temperature: float, pressure: float) -> FluidProperties\n\n"
          "Liquid water at temperature (degC) and absolute pressure (Pa): IAPWS-IF97 region 1, "
          "viscosity by IAPWS R12-08, conductivity by R15-11. Raises InvalidArgument for a "
          "pressure not above 611.2 Pa or above 100 MPa, and for water that is not liquid "
          "there (steam, ice, above 350 degC), with argument 'temperature' and the fields "
          "stream, temperature, pressure, low and high.");

    m.def("read_case_document", &readDocument, "path_or_text"_a,
          "read_case_document(path_or_text: str | os.PathLike) -> CaseDocument\n\n"
          "Reads a case document (docs/case-document.schema.json): JSON text (a str starting with "
          "'{') or the path of a file. Quantities may carry any unit of their field's dimension "
          "(mm, bar, cP, t/h, degF, ...); they are converted to SI and listed in `given`. Raises "
          "InputError naming the field for a unit of the wrong dimension, a required field left "
          "out, a wrong type, a number beyond a double, text that is not JSON or not UTF-8, or a "
          "document beyond the limits of docs/case-document.md (16 MiB, 100 levels, 10000 "
          "values); ResourceError when memory runs out.");
    m.def(
        "case_document_json",
        [](py::handle what, py::handle extensions) {
            if (py::isinstance<CaseDocument>(what)) {
                if (!extensions.is_none())
                    throw py::type_error("a CaseDocument carries its own extensions");
                return hxrate::caseDocumentJson(what.cast<const CaseDocument&>());
            }
            return hxrate::caseDocumentJson(what.cast<hxrate::Case>(), extensionsFrom(extensions));
        },
        "case"_a, "extensions"_a = py::none(),
        "case_document_json(case: CaseDocument | Case, extensions: dict | None = None) -> str\n\n"
        "The case document (SI) of a CaseDocument, or of a Case and a dict of extension "
        "keywords; read_case_document() gives it back exactly. Raises InvalidArgument for a "
        "value JSON cannot carry (an infinity or NaN, a name that is not UTF-8).");
}

}  // namespace hxrate_python
