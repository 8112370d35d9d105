// The Rating with numpy views of its profile and its flat dict, and rate(),
// rate_many(), analyse_shooting() with the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding.h"

namespace hxrate_python {

using namespace pybind11::literals;
using hxrate::Case;
using hxrate::Rating;

namespace {

// The node values as read-only numpy arrays over the rating's own storage.
struct ProfileView {
    py::array location, tube, shell;
};

py::array readOnlyView(const std::vector<double>& values, py::handle owner) {
    py::array view(py::dtype::of<double>(), {static_cast<py::ssize_t>(values.size())},
                   {static_cast<py::ssize_t>(sizeof(double))}, values.data(), owner);
    py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return view;
}

constexpr hxrate::Correlation allCorrelations[] = {
    hxrate::Correlation::laminarDuct,    hxrate::Correlation::turbulentDuct,
    hxrate::Correlation::singleCylinder, hxrate::Correlation::inlineBank,
    hxrate::Correlation::staggeredBank,  hxrate::Correlation::axialBundle,
    hxrate::Correlation::sparseLaminar,  hxrate::Correlation::sparseTurbulent};

py::object toPython(hxrate::Correlation c) {
    if (c == hxrate::Correlation::none) return py::none();
    return py::str(std::string(hxrate::correlationName(c)));
}

hxrate::Correlation correlationFrom(py::handle value) {
    if (value.is_none()) return hxrate::Correlation::none;
    std::string name = py::str(value);
    for (auto c : allCorrelations)
        if (name == hxrate::correlationName(c)) return c;
    throw py::value_error("unknown correlation '" + name + "'");
}

py::object toPython(hxrate::Stage stage) {
    return py::str(std::string(hxrate::stageName(stage)));
}

hxrate::Stage stageFrom(py::handle value) {
    std::string name = py::str(value);
    for (int i = 0; i <= static_cast<int>(hxrate::Stage::solved); ++i) {
        auto stage = static_cast<hxrate::Stage>(i);
        if (name == hxrate::stageName(stage)) return stage;
    }
    throw py::value_error("unknown stage '" + name + "'");
}

// Every scalar of a Rating under its flat dict key; the same table writes
// to_dict() and reads a pickled rating back.
struct RatingField {
    std::string key;
    std::function<py::object(const Rating&)> get;
    std::function<void(Rating&, py::handle)> set;
};

template <class Access>
RatingField ratingField(std::string key, Access access) {
    return {key, [access](const Rating& r) { return py::cast(access(r)); },
            [access](Rating& r, py::handle v) {
                using T = std::remove_cvref_t<decltype(access(r))>;
                access(r) = v.cast<T>();
            }};
}

template <class Access>
RatingField correlationField(std::string key, Access access) {
    return {key, [access](const Rating& r) { return toPython(access(r)); },
            [access](Rating& r, py::handle v) { access(r) = correlationFrom(v); }};
}

// Both sides' common fields under "tube_" or "shell_"; `side` selects the
// side's record of a Rating (const or not).
template <class Side>
void addSideFields(std::vector<RatingField>& fields, const std::string& prefix, Side side) {
    fields.push_back(ratingField(
        prefix + "reynolds", [side](auto& r) -> auto& { return side(r).reynolds; }));
    fields.push_back(ratingField(
        prefix + "prandtl", [side](auto& r) -> auto& { return side(r).prandtl; }));
    fields.push_back(ratingField(
        prefix + "nusselt", [side](auto& r) -> auto& { return side(r).nusselt; }));
    fields.push_back(ratingField(
        prefix + "friction", [side](auto& r) -> auto& { return side(r).friction; }));
    fields.push_back(ratingField(
        prefix + "film_coefficient", [side](auto& r) -> auto& { return side(r).filmCoefficient; }));
    fields.push_back(ratingField(
        prefix + "film_resistance", [side](auto& r) -> auto& { return side(r).filmResistance; }));
    fields.push_back(correlationField(
        prefix + "correlation", [side](auto& r) -> auto& { return side(r).correlation; }));
    fields.push_back(ratingField(
        prefix + "bank_row", [side](auto& r) -> auto& { return side(r).bankRow; }));
}

const std::vector<RatingField>& ratingFields() {
    static const std::vector<RatingField> fields = [] {
        std::vector<RatingField> f;
        f.push_back({"stage", [](const Rating& r) { return toPython(r.stage); },
                     [](Rating& r, py::handle v) { r.stage = stageFrom(v); }});
        // Geometry keeps its own names: they are unique in the row.
        f.push_back(ratingField(
            "outer_diameter", [](auto& r) -> auto& { return r.geometry.outerDiameter; }));
        f.push_back(ratingField(
            "element_count", [](auto& r) -> auto& { return r.geometry.elementCount; }));
        f.push_back(ratingField(
            "compartment_count", [](auto& r) -> auto& { return r.geometry.compartmentCount; }));
        f.push_back(ratingField(
            "elements_per_compartment",
            [](auto& r) -> auto& { return r.geometry.elementsPerCompartment; }));
        f.push_back(ratingField(
            "baffle_spacing", [](auto& r) -> auto& { return r.geometry.baffleSpacing; }));
        f.push_back(ratingField(
            "diagonal_pitch", [](auto& r) -> auto& { return r.geometry.diagonalPitch; }));
        f.push_back(ratingField(
            "bundle_cell_size", [](auto& r) -> auto& { return r.geometry.bundleCellSize; }));
        f.push_back(ratingField(
            "wall_resistance", [](auto& r) -> auto& { return r.geometry.wallResistance; }));
        addSideFields(
            f, "tube_", [](auto& r) -> auto& { return r.tube; });
        addSideFields(
            f, "shell_", [](auto& r) -> auto& { return r.shell; });
        f.push_back(ratingField(
            "shell_flow_area", [](auto& r) -> auto& { return r.shell.flowArea; }));
        f.push_back(ratingField(
            "shell_characteristic_length",
            [](auto& r) -> auto& { return r.shell.characteristicLength; }));
        f.push_back(ratingField(
            "shell_velocity", [](auto& r) -> auto& { return r.shell.velocity; }));
        f.push_back(ratingField(
            "resistance_per_length", [](auto& r) -> auto& { return r.resistancePerLength; }));
        f.push_back(ratingField(
            "conductance_per_length", [](auto& r) -> auto& { return r.conductancePerLength; }));
        f.push_back(ratingField(
            "overall_coefficient", [](auto& r) -> auto& { return r.overallCoefficient; }));
        f.push_back(ratingField(
            "area", [](auto& r) -> auto& { return r.area; }));
        f.push_back(ratingField(
            "tube_mass_flow", [](auto& r) -> auto& { return r.tubeMassFlow; }));
        f.push_back(ratingField(
            "shell_mass_flow", [](auto& r) -> auto& { return r.shellMassFlow; }));
        f.push_back(ratingField(
            "shooting_passes", [](auto& r) -> auto& { return r.shootingPasses; }));
        f.push_back(ratingField(
            "shell_exit_temperature", [](auto& r) -> auto& { return r.shellExitTemperature; }));
        f.push_back(ratingField(
            "tube_outlet_temperature", [](auto& r) -> auto& { return r.tubeOutletTemperature; }));
        f.push_back(ratingField(
            "shell_outlet_temperature", [](auto& r) -> auto& { return r.shellOutletTemperature; }));
        f.push_back(ratingField(
            "tube_duty", [](auto& r) -> auto& { return r.tubeDuty; }));
        f.push_back(ratingField(
            "shell_duty", [](auto& r) -> auto& { return r.shellDuty; }));
        return f;
    }();
    return fields;
}

py::dict ratingDict(const Rating& rating, bool withProfile) {
    py::dict row;
    for (const auto& f : ratingFields()) row[py::str(f.key)] = f.get(rating);
    if (withProfile) {
        row["location"] = py::cast(rating.profile.location);
        row["tube"] = py::cast(rating.profile.tube);
        row["shell"] = py::cast(rating.profile.shell);
    }
    return row;
}

std::shared_ptr<RatingObject> ratingFromState(const py::tuple& state) {
    if (state.size() != 2) throw py::value_error("not a pickled hxrate.Rating");
    auto object = std::make_shared<RatingObject>();
    object->ratedCase = state[0].cast<const Case&>();
    auto values = state[1].cast<py::dict>();
    auto rating = std::make_shared<Rating>();
    for (const auto& f : ratingFields()) f.set(*rating, values[py::str(f.key)]);
    rating->profile.location = values["location"].cast<std::vector<double>>();
    rating->profile.tube = values["tube"].cast<std::vector<double>>();
    rating->profile.shell = values["shell"].cast<std::vector<double>>();
    object->rating = std::move(rating);
    return object;
}

// ---- rate() and its relatives -----------------------------------------------

hxrate::RateOptions rateOptions(const std::string& shooting, py::handle passLimit) {
    hxrate::RateOptions options;
    if (shooting == "case")
        options.shooting = hxrate::ShootingMethod::caseFactor;
    else if (shooting == "exact")
        options.shooting = hxrate::ShootingMethod::exact;
    else
        throw py::value_error("shooting must be \"case\" or \"exact\", not \"" + shooting + "\"");
    options.passLimit = toInt32(passLimit, "pass_limit");
    return options;
}

// Runs `work` on `c` without the GIL; `c` must be the caller's own copy, as
// other Python threads may change the Case object meanwhile. A rejection
// carries its partial rating with that case.
template <class Work>
auto withoutGil(const Case& c, Work work) {
    std::optional<hxrate::CaseRejected> rejected;
    decltype(work(c)) result{};
    {
        py::gil_scoped_release release;
        try {
            result = work(c);
        } catch (const hxrate::CaseRejected& e) {
            rejected.emplace(e);
        }
    }
    if (rejected) raise(*rejected, c);
    return result;
}

const char* const rateDoc = R"(rate(case, *, shooting="case", pass_limit=10000) -> Rating

Rates `case` with the same checks, formulas and order as the hxrate program,
without holding the GIL (threads rate cases in parallel).

shooting: "case" steers the shooting of the counter-current types (1, 3) with
    the case's correction factor, so the report is byte for byte the
    program's; "exact" finds the shell outlet from the affine pass map in a few
    passes whatever the correction factor (the profile may differ in the last
    printed digit).
pass_limit: shooting passes before the case is rejected (check
    "shooting-limit").

Raises CaseRejected (with .partial), ArithmeticFault, ResourceError;
TypeError for a `case` that is not a Case, ValueError for an unknown
`shooting` or a pass_limit that is not a 32-bit integer.)";

}  // namespace

void bindRating(py::module_& m) {
    py::class_<hxrate::Geometry>(m, "Geometry", "Geometry derived from the case.")
        .def_readonly("outer_diameter", &hxrate::Geometry::outerDiameter,
                      "Tube outer diameter Do = Di + 2 tw, m.")
        .def_readonly("element_count", &hxrate::Geometry::elementCount,
                      "Number of elements Nel = trunc(L/dL).")
        .def_readonly("compartment_count", &hxrate::Geometry::compartmentCount,
                      "Number of compartments between baffles, Nb + 1.")
        .def_readonly("elements_per_compartment", &hxrate::Geometry::elementsPerCompartment,
                      "Elements per compartment Npc.")
        .def_readonly("baffle_spacing", &hxrate::Geometry::baffleSpacing, "Baffle spacing B, m.")
        .def_readonly("diagonal_pitch", &hxrate::Geometry::diagonalPitch, "Diagonal pitch SD, m.")
        .def_readonly("bundle_cell_size", &hxrate::Geometry::bundleCellSize,
                      "Largest of Do, SL, ST, SD, m.")
        .def_readonly("wall_resistance", &hxrate::Geometry::wallResistance,
                      "Wall resistance ln(Do/Di)/kw, per unit length x 2 pi.")
        .def("__repr__", [](const hxrate::Geometry& g) {
            return "Geometry(outer_diameter=" + std::string(py::repr(py::float_(g.outerDiameter))) +
                   ", element_count=" + std::to_string(g.elementCount) +
                   ", compartment_count=" + std::to_string(g.compartmentCount) + ")";
        });

    py::class_<hxrate::SideResult>(m, "SideResult", "One side's heat transfer.")
        .def_readonly("reynolds", &hxrate::SideResult::reynolds, "Reynolds number Re.")
        .def_readonly("prandtl", &hxrate::SideResult::prandtl, "Prandtl number Pr.")
        .def_readonly("nusselt", &hxrate::SideResult::nusselt, "Nusselt number Nu.")
        .def_readonly("friction", &hxrate::SideResult::friction,
                      "Darcy friction factor where a duct form used one, else None.")
        .def_readonly("film_coefficient", &hxrate::SideResult::filmCoefficient,
                      "Film coefficient h, W/(m2 K).")
        .def_readonly("film_resistance", &hxrate::SideResult::filmResistance,
                      "Film resistance 1/(h r), per unit length x 2 pi.")
        .def_property_readonly(
            "correlation", [](const hxrate::SideResult& s) { return toPython(s.correlation); },
            "Which correlation gave Nu: 'laminar-duct', 'turbulent-duct', 'single-cylinder', "
            "'inline-bank', 'staggered-bank', 'axial-bundle', 'sparse-laminar', "
            "'sparse-turbulent', or None when not formed.")
        .def_readonly("bank_row", &hxrate::SideResult::bankRow,
                      "Tube bank: Reynolds-range row 1..4 of the table; else 0.")
        .def("__repr__", [](const hxrate::SideResult& s) {
            return "SideResult(reynolds=" + std::string(py::repr(py::float_(s.reynolds))) +
                   ", nusselt=" + std::string(py::repr(py::float_(s.nusselt))) +
                   ", film_coefficient=" + std::string(py::repr(py::float_(s.filmCoefficient))) +
                   ", correlation=" + std::string(py::repr(toPython(s.correlation))) + ")";
        });

    py::class_<hxrate::ShellSideResult, hxrate::SideResult>(
        m, "ShellSideResult", "The shell side's heat transfer and flow quantities.")
        .def_readonly("flow_area", &hxrate::ShellSideResult::flowArea, "Flow area A_o, m2.")
        .def_readonly("characteristic_length", &hxrate::ShellSideResult::characteristicLength,
                      "Characteristic length Dh_o, m (Do in cross flow).")
        .def_readonly("velocity", &hxrate::ShellSideResult::velocity,
                      "Velocity V_o, m/s (cross flow only).");

    py::class_<ProfileView>(m, "Profile",
                            "Node values as read-only float64 numpy arrays sharing memory with "
                            "the Rating (no copy): location from the tube inlet end, tube-fluid "
                            "temperature, and shell-fluid temperature (types 0, 1, 2) or "
                            "shell-pass inlet temperature (type 3), as the report shows them.")
        .def_readonly("location", &ProfileView::location, "Node locations from the tube inlet, m.")
        .def_readonly("tube", &ProfileView::tube, "Tube-fluid temperature at each node.")
        .def_readonly("shell", &ProfileView::shell,
                      "Shell-fluid (types 0-2) or shell-pass inlet (type 3) temperature.")
        .def("__len__", [](const ProfileView& p) { return p.location.size(); })
        .def("__repr__", [](const ProfileView& p) {
            return "Profile(" + std::to_string(p.location.size()) + " nodes)";
        });

    using RatingPtr = std::shared_ptr<RatingObject>;
    py::class_<RatingObject, RatingPtr> rating(
        m, "Rating",
        "The result of rate(): every quantity the model forms, the temperature profile and "
        "the results report. Immutable.");
    rating
        .def_property_readonly(
            "stage", [](const RatingObject& r) { return toPython(r.rating->stage); },
            "How far the rating got: 'started', 'geometry', 'tube-side', 'shell-flow', "
            "'shell-heat-transfer', 'resistance' or 'solved'.")
        .def_property_readonly(
            "case", [](const RatingObject& r) { return r.ratedCase; },
            "A copy of the Case this rating rates.")
        .def_property_readonly(
            "geometry",
            [](const RatingObject& r) -> const hxrate::Geometry& { return r.rating->geometry; },
            py::return_value_policy::reference_internal, "Geometry derived from the case.")
        .def_property_readonly(
            "tube",
            [](const RatingObject& r) -> const hxrate::SideResult& { return r.rating->tube; },
            py::return_value_policy::reference_internal, "Tube-side heat transfer (SideResult).")
        .def_property_readonly(
            "shell",
            [](const RatingObject& r) -> const hxrate::ShellSideResult& { return r.rating->shell; },
            py::return_value_policy::reference_internal,
            "Shell-side heat transfer and flow (ShellSideResult).")
        .def_property_readonly(
            "resistance_per_length",
            [](const RatingObject& r) { return r.rating->resistancePerLength; },
            "Rp, fluid to fluid, per unit tube length.")
        .def_property_readonly(
            "conductance_per_length",
            [](const RatingObject& r) { return r.rating->conductancePerLength; },
            "UAp = 1/Rp, W/(m K).")
        .def_property_readonly(
            "overall_coefficient",
            [](const RatingObject& r) { return r.rating->overallCoefficient; },
            "Overall heat transfer coefficient U on the outer surface, W/(m2 K).")
        .def_property_readonly(
            "area", [](const RatingObject& r) { return r.rating->area; },
            "Heat transfer area Nt pi L Do, m2.")
        .def_property_readonly(
            "tube_mass_flow", [](const RatingObject& r) { return r.rating->tubeMassFlow; },
            "Tube-side mass flow, kg/s.")
        .def_property_readonly(
            "shell_mass_flow", [](const RatingObject& r) { return r.rating->shellMassFlow; },
            "Shell-side mass flow, kg/s.")
        .def_property_readonly(
            "shooting_passes", [](const RatingObject& r) { return r.rating->shootingPasses; },
            "Marches made (1 for the co-current types).")
        .def_property_readonly(
            "shell_exit_temperature",
            [](const RatingObject& r) { return r.rating->shellExitTemperature; },
            "Shell exit temperature as the report prints it (cross flow).")
        .def_property_readonly(
            "tube_outlet_temperature",
            [](const RatingObject& r) { return r.rating->tubeOutletTemperature; },
            "Tube fluid at the last node.")
        .def_property_readonly(
            "shell_outlet_temperature",
            [](const RatingObject& r) { return r.rating->shellOutletTemperature; },
            "Shell fluid where it leaves the exchanger.")
        .def_property_readonly(
            "tube_duty", [](const RatingObject& r) { return r.rating->tubeDuty; },
            "Heat given off by the tube stream, W; None when it does not fit a double.")
        .def_property_readonly(
            "shell_duty", [](const RatingObject& r) { return r.rating->shellDuty; },
            "Heat taken up by the shell stream, W; None when it does not fit a double.")
        .def_property_readonly(
            "profile",
            [](py::object self) {
                const hxrate::Profile& p = self.cast<const RatingObject&>().rating->profile;
                return ProfileView{readOnlyView(p.location, self), readOnlyView(p.tube, self),
                                   readOnlyView(p.shell, self)};
            },
            "The node values (Profile): read-only numpy views of this rating's storage.")
        .def(
            "to_dict",
            [](const RatingObject& r, bool profile) { return ratingDict(*r.rating, profile); },
            py::kw_only(), "profile"_a = false,
            "Every quantity as plain Python values (float, int, str, None) under flat keys: "
            "geometry names as they are, side quantities as 'tube_...' and 'shell_...'. Ready "
            "for json.dumps or a pandas row. profile=True adds the lists 'location', 'tube' and "
            "'shell'.")
        .def(
            "results_report",
            [](const RatingObject& r) {
                if (r.rating->stage != hxrate::Stage::solved)
                    throw py::value_error(
                        "results_report() needs a solved rating; this one "
                        "stopped at stage '" +
                        std::string(py::str(toPython(r.rating->stage))) + "'");
                return toPythonText(hxrate::resultsReportText(r.ratedCase, *r.rating));
            },
            "The results file's text exactly as the hxrate program writes it (lines end in "
            "CR LF). Raises ValueError for a partial rating.")
        .def("__repr__",
             [](const RatingObject& r) {
                 return "<hxrate.Rating stage=" + std::string(py::str(toPython(r.rating->stage))) +
                        " U=" + std::string(py::repr(py::float_(r.rating->overallCoefficient))) +
                        " passes=" + std::to_string(r.rating->shootingPasses) + ">";
             })
        .def(py::pickle(
            [](const RatingObject& r) {
                return py::make_tuple(r.ratedCase, ratingDict(*r.rating, true));
            },
            [](const py::tuple& state) { return ratingFromState(state); }));

    py::class_<hxrate::ShootingMap>(
        m, "ShootingMap",
        "The shooting of a counter-current case as an affine map: a pass started from the "
        "shell temperature T ends at Ts_in - first_mismatch + slope*(T - Ts_in).")
        .def_readonly("first_mismatch", &hxrate::ShootingMap::firstMismatch,
                      "Ts_in minus where a pass from Ts_in ends.")
        .def_readonly("slope", &hxrate::ShootingMap::slope,
                      "Change of the far-end temperature per unit of start.")
        .def_readonly("conductance_per_length", &hxrate::ShootingMap::conductancePerLength,
                      "UAp, the divisor of the case's correction, W/(m K).")
        .def("__repr__", [](const hxrate::ShootingMap& s) {
            return "ShootingMap(first_mismatch=" +
                   std::string(py::repr(py::float_(s.firstMismatch))) +
                   ", slope=" + std::string(py::repr(py::float_(s.slope))) +
                   ", conductance_per_length=" +
                   std::string(py::repr(py::float_(s.conductancePerLength))) + ")";
        });

    m.def(
        "rate",
        [](const Case& c, const std::string& shooting, py::handle passLimit) {
            auto options = rateOptions(shooting, passLimit);
            auto result = std::make_shared<RatingObject>();
            result->ratedCase = c;
            result->rating = withoutGil(result->ratedCase, [&](const Case& input) {
                return std::make_shared<const Rating>(hxrate::rate(input, options));
            });
            return result;
        },
        "case"_a, py::kw_only(), "shooting"_a = "case", "pass_limit"_a = 10000, rateDoc);

    m.def(
        "rate_many",
        [](const std::vector<Case>& cases, const std::string& shooting, py::handle passLimit) {
            auto options = rateOptions(shooting, passLimit);
            // One release of the GIL for the whole list: threads that each
            // rate a list of cases run side by side.
            std::vector<std::shared_ptr<const Rating>> ratings(cases.size());
            std::vector<std::exception_ptr> errors(cases.size());
            {
                py::gil_scoped_release release;
                for (std::size_t i = 0; i < cases.size(); ++i) {
                    try {
                        ratings[i] =
                            std::make_shared<const Rating>(hxrate::rate(cases[i], options));
                    } catch (const hxrate::Error&) {
                        errors[i] = std::current_exception();
                    }
                }
            }
            py::list results;
            for (std::size_t i = 0; i < cases.size(); ++i) {
                if (errors[i]) {
                    try {
                        std::rethrow_exception(errors[i]);
                    } catch (const hxrate::Error& e) {
                        results.append(errorObject(e, cases[i]));
                    }
                    continue;
                }
                results.append(std::make_shared<RatingObject>(RatingObject{cases[i], ratings[i]}));
            }
            return results;
        },
        "cases"_a, py::kw_only(), "shooting"_a = "case", "pass_limit"_a = 10000,
        "rate_many(cases, *, shooting=\"case\", pass_limit=10000) -> list[Rating | Error]\n\n"
        "Rates every case of a list as rate() does, releasing the GIL once for the whole list, "
        "so that threads each rating a list of cases use every core even for small cases. "
        "A case that ends in an error gives the exception object (CaseRejected, InputError, "
        "ArithmeticFault or ResourceError) in its place instead of raising; TypeError when an "
        "item is not a Case.");

    m.def(
        "analyse_shooting",
        [](const Case& c, py::handle passLimit) {
            auto options = rateOptions("case", passLimit);
            const Case input = c;
            return withoutGil(
                input, [&](const Case& own) { return hxrate::analyseShooting(own, options); });
        },
        "case"_a, py::kw_only(), "pass_limit"_a = 10000,
        "analyse_shooting(case, *, pass_limit=10000) -> ShootingMap\n\n"
        "Two passes of a counter-current case's march (types 1 and 3), seen as an affine map.\n"
        "Raises as rate() does (CaseRejected for the other types: 'exchanger-selection' or a "
        "check met on the way).");

    // For bench/python_bench.py: the same rate() called in a C++ loop, so
    // that the cost of a call from Python can be set against it.
    m.def(
        "_rate_loop_seconds",
        [](const Case& c, int repeats) {
            py::gil_scoped_release release;
            auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < repeats; ++i) {
                Rating r = hxrate::rate(c);
                if (r.shootingPasses < 0) throw std::logic_error("impossible pass count");
            }
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        },
        "case"_a, "repeats"_a,
        "Seconds taken by `repeats` calls of the library's rate() on `case` from C++, without "
        "the GIL (for the benchmark of the call overhead).");
}

}  // namespace hxrate_python
