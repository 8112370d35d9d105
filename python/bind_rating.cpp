// The Rating with numpy views of its profile and its flat dict, and rate(),
// rate_many(), analyse_shooting() with the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <functional>
#include <initializer_list>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>
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

}  // namespace

py::array readOnlyView(const std::vector<double>& values, py::handle owner) {
    py::array view(py::dtype::of<double>(), {static_cast<py::ssize_t>(values.size())},
                   {static_cast<py::ssize_t>(sizeof(double))}, values.data(), owner);
    py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return view;
}

namespace {

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

// Whether a rating of a case of the given exchanger type formed a quantity.
using Formed = std::function<bool(const Rating&, std::int32_t exchangerType)>;

// Every scalar of a Rating under its flat dict key; the same table writes
// to_dict() and the attributes (None where `formed` says the rating did not
// form the quantity) and reads a pickled rating back (every value as held).
// Which Python object shows a field as an attribute: the Rating itself,
// its Geometry, both sides' SideResult, or the shell's ShellSideResult.
enum class Part { rating, geometry, side, shellSide };

struct RatingField {
    std::string key;
    std::function<py::object(const Rating&)> get;
    std::function<void(Rating&, py::handle)> set;
    Formed formed = [](const Rating&, std::int32_t) { return true; };
    Part part = Part::rating;
    std::string attribute;  // the attribute's name on its part
    std::string doc;        // the attribute's docstring
};

Formed fromStage(hxrate::Stage stage) {
    return [stage](const Rating& r, std::int32_t) { return r.stage >= stage; };
}

// When the rating forms each quantity: the stage that forms it, and for some
// the exchanger type or the correlation used.
Formed formedRule(const std::string& key) {
    using hxrate::Stage;
    static const std::vector<std::pair<std::vector<std::string>, Stage>> byStage{
        {{"outer_diameter", "element_count", "compartment_count", "elements_per_compartment",
          "baffle_spacing", "diagonal_pitch", "bundle_cell_size", "wall_resistance"},
         Stage::geometry},
        {{"tube_reynolds", "tube_prandtl", "tube_nusselt", "tube_film_coefficient",
          "tube_film_resistance"},
         Stage::tubeSide},
        {{"shell_flow_area", "shell_characteristic_length", "shell_reynolds", "shell_prandtl"},
         Stage::shellFlow},
        {{"shell_nusselt", "shell_film_coefficient", "shell_film_resistance"},
         Stage::shellHeatTransfer},
        {{"resistance_per_length", "conductance_per_length", "tube_mass_flow", "shell_mass_flow"},
         Stage::resistance},
        {{"overall_coefficient", "area", "tube_outlet_temperature", "shell_outlet_temperature"},
         Stage::solved},
    };
    for (const auto& [keys, stage] : byStage)
        for (const auto& k : keys)
            if (k == key) return fromStage(stage);
    if (key == "shell_velocity")
        return [](const Rating& r, std::int32_t type) {
            return r.stage >= Stage::shellFlow && hxrate::isCrossFlow(type);
        };
    if (key == "shell_exit_temperature")
        return [](const Rating& r, std::int32_t type) {
            return r.stage == Stage::solved && hxrate::isCrossFlow(type);
        };
    if (key == "tube_bank_row") return [](const Rating&, std::int32_t) { return false; };
    if (key == "shell_bank_row")
        return [](const Rating& r, std::int32_t) {
            return r.shell.correlation == hxrate::Correlation::inlineBank ||
                   r.shell.correlation == hxrate::Correlation::staggeredBank;
        };
    // The stage, the passes, and the optional values (None already when absent).
    return [](const Rating&, std::int32_t) { return true; };
}

// A field shown on `part` as `attribute` (its key without the side's prefix).
template <class Access>
RatingField ratingField(Part part, std::string attribute, std::string key, std::string doc,
                        Access access) {
    return {std::move(key),
            [access](const Rating& r) { return py::cast(access(r)); },
            [access](Rating& r, py::handle v) {
                using T = std::remove_cvref_t<decltype(access(r))>;
                access(r) = v.cast<T>();
            },
            {},
            part,
            std::move(attribute),
            std::move(doc)};
}
template <class Access>
RatingField ratingField(Part part, std::string key, std::string doc, Access access) {
    std::string attribute = key;
    return ratingField(part, std::move(attribute), std::move(key), std::move(doc), access);
}

template <class Access>
RatingField correlationField(std::string attribute, std::string key, std::string doc,
                             Access access) {
    return {std::move(key),
            [access](const Rating& r) { return toPython(access(r)); },
            [access](Rating& r, py::handle v) { access(r) = correlationFrom(v); },
            {},
            Part::side,
            std::move(attribute),
            std::move(doc)};
}

// Both sides' common fields under "tube_" or "shell_"; `side` selects the
// side's record of a Rating (const or not).
template <class Side>
void addSideFields(std::vector<RatingField>& fields, const std::string& prefix, Side side) {
    auto add = [&](const char* name, const char* doc, auto access) {
        fields.push_back(ratingField(Part::side, name, prefix + name, doc, access));
    };
    add(
        "reynolds", "Reynolds number Re (float | None).", [side](auto& r) -> auto& {
            return side(r).reynolds;
        });
    add(
        "prandtl",
        "Prandtl number Pr (float | None).", [side](auto& r) -> auto& { return side(r).prandtl; });
    add(
        "nusselt",
        "Nusselt number Nu (float | None).", [side](auto& r) -> auto& { return side(r).nusselt; });
    add(
        "friction",
        "Darcy friction factor where a duct form used one, else None.", [side](auto& r) -> auto& {
            return side(r).friction;
        });
    add(
        "film_coefficient",
        "Film coefficient h, W/(m2 K) (float | None).", [side](auto& r) -> auto& {
            return side(r).filmCoefficient;
        });
    add(
        "film_resistance", "Film resistance 1/(h r), per unit length x 2 pi (float | None).",
        [side](auto& r) -> auto& { return side(r).filmResistance; });
    fields.push_back(correlationField(
        "correlation", prefix + "correlation",
        "Which correlation gave Nu: 'laminar-duct', 'turbulent-duct', 'single-cylinder', "
        "'inline-bank', 'staggered-bank', 'axial-bundle', 'sparse-laminar', "
        "'sparse-turbulent', or None when not formed.",
        [side](auto& r) -> auto& { return side(r).correlation; }));
    add(
        "bank_row",
        "Tube bank: Reynolds-range row 1..4 of the table; else None.", [side](auto& r) -> auto& {
            return side(r).bankRow;
        });
}

// Every field of a Rating, in the order of its dict: one entry gives the
// key, the attribute, its part and its docstring.
const std::vector<RatingField>& ratingFields() {
    static const std::vector<RatingField> fields = [] {
        std::vector<RatingField> f;
        f.push_back({"stage",
                     [](const Rating& r) { return toPython(r.stage); },
                     [](Rating& r, py::handle v) { r.stage = stageFrom(v); },
                     {},
                     Part::rating,
                     "stage",
                     "How far the rating got: 'started', 'geometry', 'tube-side', 'shell-flow', "
                     "'shell-heat-transfer', 'resistance' or 'solved'."});
        // Geometry keeps its own names: they are unique in the row.
        auto geometry = [&](const char* key, const char* doc, auto access) {
            f.push_back(ratingField(Part::geometry, key, doc, access));
        };
        geometry(
            "outer_diameter", "Tube outer diameter Do = Di + 2 tw, m (float | None).",
            [](auto& r) -> auto& { return r.geometry.outerDiameter; });
        geometry(
            "element_count", "Number of elements Nel = trunc(L/dL) (int | None).",
            [](auto& r) -> auto& { return r.geometry.elementCount; });
        geometry(
            "compartment_count", "Number of compartments between baffles, Nb + 1 (int | None).",
            [](auto& r) -> auto& { return r.geometry.compartmentCount; });
        geometry(
            "elements_per_compartment", "Elements per compartment Npc (int | None).",
            [](auto& r) -> auto& { return r.geometry.elementsPerCompartment; });
        geometry(
            "baffle_spacing", "Baffle spacing B, m (float | None).",
            [](auto& r) -> auto& { return r.geometry.baffleSpacing; });
        geometry(
            "diagonal_pitch", "Diagonal pitch SD, m (float | None).",
            [](auto& r) -> auto& { return r.geometry.diagonalPitch; });
        geometry(
            "bundle_cell_size", "Largest of Do, SL, ST, SD, m (float | None).",
            [](auto& r) -> auto& { return r.geometry.bundleCellSize; });
        geometry(
            "wall_resistance",
            "Wall resistance ln(Do/Di)/kw, per unit length x 2 pi (float | None).",
            [](auto& r) -> auto& { return r.geometry.wallResistance; });
        addSideFields(
            f, "tube_", [](auto& r) -> auto& { return r.tube; });
        addSideFields(
            f, "shell_", [](auto& r) -> auto& { return r.shell; });
        auto shellSide = [&](const char* name, const char* doc, auto access) {
            f.push_back(
                ratingField(Part::shellSide, name, std::string("shell_") + name, doc, access));
        };
        shellSide(
            "flow_area", "Flow area A_o, m2 (float | None).",
            [](auto& r) -> auto& { return r.shell.flowArea; });
        shellSide(
            "characteristic_length",
            "Characteristic length Dh_o, m (Do in cross flow) (float | None).",
            [](auto& r) -> auto& { return r.shell.characteristicLength; });
        shellSide(
            "velocity", "Velocity V_o, m/s: cross flow only, else None.",
            [](auto& r) -> auto& { return r.shell.velocity; });
        auto rating = [&](const char* key, const char* doc, auto access) {
            f.push_back(ratingField(Part::rating, key, doc, access));
        };
        rating(
            "resistance_per_length", "Rp, fluid to fluid, per unit tube length.",
            [](auto& r) -> auto& { return r.resistancePerLength; });
        rating(
            "conductance_per_length", "UAp = 1/Rp, W/(m K).",
            [](auto& r) -> auto& { return r.conductancePerLength; });
        rating(
            "overall_coefficient",
            "Overall heat transfer coefficient U on the outer surface, W/(m2 K).",
            [](auto& r) -> auto& { return r.overallCoefficient; });
        rating(
            "area", "Heat transfer area Nt pi L Do, m2.", [](auto& r) -> auto& { return r.area; });
        rating(
            "tube_mass_flow", "Tube-side mass flow, kg/s.",
            [](auto& r) -> auto& { return r.tubeMassFlow; });
        rating(
            "shell_mass_flow", "Shell-side mass flow, kg/s.",
            [](auto& r) -> auto& { return r.shellMassFlow; });
        rating(
            "shooting_passes", "Marches made (1 for the co-current types).",
            [](auto& r) -> auto& { return r.shootingPasses; });
        rating(
            "shell_exit_temperature",
            "Shell exit temperature as the report prints it (cross flow).",
            [](auto& r) -> auto& { return r.shellExitTemperature; });
        rating(
            "tube_outlet_temperature", "Tube fluid at the last node.",
            [](auto& r) -> auto& { return r.tubeOutletTemperature; });
        rating(
            "shell_outlet_temperature", "Shell fluid where it leaves the exchanger.",
            [](auto& r) -> auto& { return r.shellOutletTemperature; });
        rating(
            "tube_duty",
            "Heat given off by the tube stream, W; None when it does not fit a double.",
            [](auto& r) -> auto& { return r.tubeDuty; });
        rating(
            "shell_duty",
            "Heat taken up by the shell stream, W; None when it does not fit a double.",
            [](auto& r) -> auto& { return r.shellDuty; });
        for (auto& field : f) field.formed = formedRule(field.key);
        return f;
    }();
    return fields;
}

const RatingField& fieldNamed(const std::string& key) {
    for (const auto& f : ratingFields())
        if (f.key == key) return f;
    throw std::logic_error("no rating field " + key);
}

// A quantity as Python shows it: None when the rating did not form it.
py::object shown(const RatingObject& r, const RatingField& f) {
    if (!f.formed(*r.rating, r.ratedCase.exchangerType)) return py::none();
    return f.get(*r.rating);
}

// The getter of a Rating attribute that shows the field `key`.
auto shownBy(const std::string& key) {
    const RatingField* f = &fieldNamed(key);
    return [f](const RatingObject& r) { return shown(r, *f); };
}

// The parts of a rating as Python objects that keep the rating alive and show
// its fields from the same table: Geometry, and SideResult (prefix "tube_" or
// "shell_") with ShellSideResult for the shell side.
struct GeometryView {
    std::shared_ptr<RatingObject> object;
};
struct SideView {
    std::shared_ptr<RatingObject> object;
    std::string prefix;
};
struct ShellSideView : SideView {};

// The attributes of one part of a rating, from the table. Both sides share
// SideResult: its attributes come from the tube side's entries.
template <class View, class... Base>
void addViewFields(py::class_<View, Base...>& cls, Part part) {
    for (const RatingField& f : ratingFields()) {
        if (f.part != part || (part == Part::side && !f.key.starts_with("tube_"))) continue;
        std::string attribute = f.attribute;
        cls.def_property_readonly(
            attribute.c_str(),
            [attribute](const View& v) {
                std::string key = attribute;
                if constexpr (std::is_base_of_v<SideView, View>) key = v.prefix + attribute;
                return shown(*v.object, fieldNamed(key));
            },
            f.doc.c_str());
    }
}

std::string reprOf(py::handle value) {
    return std::string(py::repr(value));
}

// The flat dict of a rating: every value as held (for pickling), or as
// shown, None where not formed, when `shownFor` gives the rating's object.
py::dict ratingDict(const Rating& rating, bool withProfile,
                    const RatingObject* shownFor = nullptr) {
    py::dict row;
    for (const auto& f : ratingFields())
        row[py::str(f.key)] = shownFor ? shown(*shownFor, f) : f.get(rating);
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

}  // namespace

hxrate::RateOptions rateOptions(const std::string& shooting, py::handle passLimit) {
    // The program's memory limit, shared by every rating of the process.
    hxrate::RateOptions options = hxrate::programRateOptions();
    if (shooting == "case")
        options.shooting = hxrate::ShootingMethod::caseFactor;
    else if (shooting == "exact")
        options.shooting = hxrate::ShootingMethod::exact;
    else
        throw py::value_error("shooting must be \"case\" or \"exact\", not \"" + shooting + "\"");
    options.passLimit = toPassLimit(passLimit);
    return options;
}

namespace {

// Element steps (elements times passes at most) beyond which a rating runs on
// a worker thread that Ctrl-C can stop: below it, some 0.05 s of marching at
// most, the calling thread rates and no thread is started.
constexpr double inlineWorkLimit = 2e7;

}  // namespace

double workBound(const Case& c, const hxrate::RateOptions& options) {
    double elements = std::fabs(c.tubeLength / c.elementLength);
    if (!(elements <= inlineWorkLimit)) return std::numeric_limits<double>::infinity();
    double passes = hxrate::isCounterCurrent(c.exchangerType) ? std::max(options.passLimit, 1) : 1;
    return (elements + 1) * passes;
}

namespace {

// How often the calling thread looks for a signal while a worker rates.
constexpr auto signalCheckSlice = std::chrono::milliseconds(50);

// Runs `work(cancel)` without the GIL and returns its result; an exception it
// throws is thrown here, with the GIL held. With `onWorker`, the work runs on
// a worker thread while this thread waits in short slices, taking the GIL to
// run Python's signal handlers: when one raises (KeyboardInterrupt on Ctrl-C)
// the work is cancelled, joined, and that exception raised.
template <class Work>
auto interruptibly(bool onWorker, Work work) {
    using Result = decltype(work(nullptr));
    std::atomic<bool> cancel{false};
    std::optional<Result> result;
    std::exception_ptr failure;
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        auto run = [&] {
            try {
                result.emplace(work(&cancel));
            } catch (...) {
                failure = std::current_exception();
            }
        };
        if (!onWorker) {
            run();
        } else {
            std::mutex mutex;
            std::condition_variable finished;
            bool done = false;
            std::thread worker([&] {
                run();
                std::lock_guard<std::mutex> lock(mutex);
                done = true;
                finished.notify_one();
            });
            std::unique_lock<std::mutex> lock(mutex);
            while (!finished.wait_for(lock, signalCheckSlice, [&] { return done; })) {
                lock.unlock();
                {
                    py::gil_scoped_acquire gil;
                    // A handler that raises leaves its exception set.
                    interrupted = PyErr_CheckSignals() != 0;
                }
                lock.lock();
                if (interrupted) {
                    cancel.store(true);
                    finished.wait(lock, [&] { return done; });
                    break;
                }
            }
            lock.unlock();
            worker.join();
        }
    }
    if (interrupted) throw py::error_already_set();
    if (failure) std::rethrow_exception(failure);
    return std::move(*result);
}

// rate() of one case with the caller's cancellation flag; `c` must be the
// caller's own copy, as other Python threads may change the Case object
// meanwhile. A rejection carries its partial rating with that case.
template <class Work>
auto rateOne(const Case& c, const hxrate::RateOptions& options, Work work) {
    try {
        return interruptibly(workBound(c, options) > inlineWorkLimit,
                             [&](const std::atomic<bool>* cancel) {
                                 hxrate::RateOptions own = options;
                                 own.cancel = cancel;
                                 return work(c, own);
                             });
    } catch (const hxrate::CaseRejected& e) {
        raise(e, c);
    }
}

const char* const rateDoc =
    R"(rate(case: Case, *, shooting: str = "case", pass_limit: int = 10000) -> Rating

Rates `case` with the same checks, formulas and order as the hxrate program,
without holding the GIL (threads rate cases in parallel).

shooting: "case" steers the shooting of the counter-current types (1, 3) with
    the case's correction factor, so the report is byte for byte the
    program's; "exact" finds the shell outlet from the affine pass map in a few
    passes whatever the correction factor (the profile may differ in the last
    printed digit).
pass_limit: shooting passes before the case is rejected (check
    "shooting-limit").

The profile is held within the program's memory limit (half of the smallest
of the machine's memory, its control group's limit and the process's
resource limits), which every rating running in the process shares.
Ctrl-C stops a long rating: KeyboardInterrupt within a second.
Raises CaseRejected (with .partial), ArithmeticFault, ResourceError (a
profile beyond that limit or what is left of it, also when memory runs out);
TypeError for a `case` that is not a Case, ValueError for an unknown
`shooting` or a pass_limit that is not a 32-bit integer of at least 1.)";

}  // namespace

void runInterruptibly(const std::function<void(const std::atomic<bool>* cancel)>& work) {
    interruptibly(true, [&](const std::atomic<bool>* cancel) {
        work(cancel);
        return true;
    });
}

void runInterruptibly(double steps,
                      const std::function<void(const std::atomic<bool>* cancel)>& work) {
    interruptibly(!(steps <= inlineWorkLimit), [&](const std::atomic<bool>* cancel) {
        work(cancel);
        return true;
    });
}

std::int32_t toPassLimit(py::handle value) {
    std::int32_t limit = toInt32(value, "pass_limit");
    if (limit < 1)
        throw py::value_error("pass_limit must be at least 1, got " + std::to_string(limit));
    return limit;
}

void bindRating(py::module_& m) {
    py::class_<GeometryView> geometry(m, "Geometry",
                                      "Geometry derived from the case; None where the rating "
                                      "stopped before forming it.");
    addViewFields(geometry, Part::geometry);
    geometry.def("__repr__", [](const GeometryView& g) {
        return "Geometry(outer_diameter=" + reprOf(shown(*g.object, fieldNamed("outer_diameter"))) +
               ", element_count=" + reprOf(shown(*g.object, fieldNamed("element_count"))) +
               ", compartment_count=" + reprOf(shown(*g.object, fieldNamed("compartment_count"))) +
               ")";
    });

    py::class_<SideView> side(m, "SideResult",
                              "One side's heat transfer; None where the rating stopped before "
                              "forming a quantity.");
    addViewFields(side, Part::side);
    side.def("__repr__", [](const SideView& v) {
        auto value = [&](const char* name) {
            return reprOf(shown(*v.object, fieldNamed(v.prefix + name)));
        };
        return "SideResult(reynolds=" + value("reynolds") + ", nusselt=" + value("nusselt") +
               ", film_coefficient=" + value("film_coefficient") +
               ", correlation=" + value("correlation") + ")";
    });

    // The parts of a rating pickle as getattr(rating, part), the rating
    // pickling itself with its case, for every protocol.
    auto partOf = [](py::object rating, const char* part) {
        return py::make_tuple(py::module_::import("builtins").attr("getattr"),
                              py::make_tuple(std::move(rating), part));
    };
    definePickling(geometry, [partOf](py::object self) {
        return partOf(py::cast(self.cast<const GeometryView&>().object), "geometry");
    });
    definePickling(side, [partOf](py::object self) {
        const auto& v = self.cast<const SideView&>();
        return partOf(py::cast(v.object), v.prefix == "tube_" ? "tube" : "shell");
    });

    py::class_<ShellSideView, SideView> shellSide(
        m, "ShellSideResult", "The shell side's heat transfer and flow quantities.");
    addViewFields(shellSide, Part::shellSide);

    py::class_<ProfileView> profile(
        m, "Profile",
        "Node values as read-only float64 numpy arrays sharing memory with "
        "the Rating (no copy): location from the tube inlet end, tube-fluid "
        "temperature, and shell-fluid temperature (types 0, 1, 2) or "
        "shell-pass inlet temperature (type 3), as the report shows them.");
    profile
        .def_readonly("location", &ProfileView::location, "Node locations from the tube inlet, m.")
        .def_readonly("tube", &ProfileView::tube, "Tube-fluid temperature at each node.")
        .def_readonly("shell", &ProfileView::shell,
                      "Shell-fluid (types 0-2) or shell-pass inlet (type 3) temperature.")
        .def("__len__", [](const ProfileView& p) { return p.location.size(); })
        .def("__repr__", [](const ProfileView& p) {
            return "Profile(" + std::to_string(p.location.size()) + " nodes)";
        });
    // The arrays' base is the Rating whose storage they view.
    definePickling(profile, [partOf](py::object self) {
        py::object owner = self.attr("location").attr("base");
        if (!py::isinstance<RatingObject>(owner))
            throw py::type_error("cannot pickle this 'hxrate.Profile' object");
        return partOf(owner, "profile");
    });

    using RatingPtr = std::shared_ptr<RatingObject>;
    py::class_<RatingObject, RatingPtr> rating(
        m, "Rating",
        "The result of rate(): every quantity the model forms, the temperature profile and "
        "the results report. Immutable.");
    rating
        .def_property_readonly(
            "case", [](const RatingObject& r) { return r.ratedCase; },
            "A copy of the Case this rating rates.")
        .def_property_readonly(
            "geometry", [](const RatingPtr& r) { return GeometryView{r}; },
            "Geometry derived from the case (Geometry).")
        .def_property_readonly(
            "tube",
            [](const RatingPtr& r) {
                return SideView{r, "tube_"};
            },
            "Tube-side heat transfer (SideResult).")
        .def_property_readonly(
            "shell",
            [](const RatingPtr& r) {
                return ShellSideView{{r, "shell_"}};
            },
            "Shell-side heat transfer and flow (ShellSideResult).")
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
            [](const RatingObject& r, bool profile) { return ratingDict(*r.rating, profile, &r); },
            py::kw_only(), "profile"_a = false,
            "Every quantity as plain Python values (float, int, str; None where the rating did "
            "not form it) under flat keys: "
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
    // The Rating's own scalars, from the table.
    for (const RatingField& f : ratingFields())
        if (f.part == Part::rating)
            rating.def_property_readonly(f.attribute.c_str(), shownBy(f.key), f.doc.c_str());
    // Every pickle protocol (0 and 1 included) and copy.copy reduce to the
    // module's restore function with the case and every value as held.
    auto reduce = [](py::object self) {
        const auto& r = self.cast<const RatingObject&>();
        auto module = py::module_::import(
            py::str(py::type::of(self).attr("__module__")).cast<std::string>().c_str());
        return py::make_tuple(module.attr("_restore"),
                              py::make_tuple("rating", r.ratedCase, ratingDict(*r.rating, true)));
    };
    rating.def("__reduce__", reduce, "Pickling support: the restore function and the state.");
    rating.def(
        "__reduce_ex__", [reduce](py::object self, py::handle) { return reduce(self); },
        "Pickling support, the same for every protocol.");
    m.def(
        "_restore_rating",
        [](py::object c, py::object values) { return ratingFromState(py::make_tuple(c, values)); },
        "Rebuilds a pickled Rating from its case and values.");

    py::class_<hxrate::ShootingMap> shootingMap(
        m, "ShootingMap",
        "The shooting of a counter-current case as an affine map: a pass started from the "
        "shell temperature T ends at Ts_in - first_mismatch + slope*(T - Ts_in).");
    shootingMap
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
    definePickling(shootingMap, [](py::object self) {
        const auto& s = self.cast<const hxrate::ShootingMap&>();
        return restoreCall(self, "shooting_map",
                           py::make_tuple(s.firstMismatch, s.slope, s.conductancePerLength));
    });
    m.def(
        "_restore_shooting_map",
        [](double firstMismatch, double slope, double conductancePerLength) {
            return hxrate::ShootingMap{firstMismatch, slope, conductancePerLength};
        },
        "Rebuilds a pickled ShootingMap from its values.");

    // The docstrings' first lines give the signatures with their Python types
    // (pybind11 would name the arguments converted by hand `handle`).
    py::options options;
    options.disable_function_signatures();

    m.def(
        "rate",
        [](const Case& c, const std::string& shooting, py::handle passLimit) {
            auto options = rateOptions(shooting, passLimit);
            auto result = std::make_shared<RatingObject>();
            result->ratedCase = c;
            result->rating = rateOne(
                result->ratedCase, options, [](const Case& input, const hxrate::RateOptions& own) {
                    return std::make_shared<const Rating>(hxrate::rate(input, own));
                });
            return result;
        },
        "case"_a, py::kw_only(), "shooting"_a = "case", "pass_limit"_a = hxrate::defaultPassLimit,
        rateDoc);

    m.def(
        "rate_many",
        [](const std::vector<Case>& cases, const std::string& shooting, py::handle passLimit) {
            auto options = rateOptions(shooting, passLimit);
            // One release of the GIL for the whole list: threads that each
            // rate a list of cases run side by side.
            std::vector<std::shared_ptr<const Rating>> ratings(cases.size());
            std::vector<std::exception_ptr> errors(cases.size());
            double work = 0;
            for (const Case& c : cases) work += workBound(c, options);
            interruptibly(work > inlineWorkLimit, [&](const std::atomic<bool>* cancel) {
                hxrate::RateOptions own = options;
                own.cancel = cancel;
                for (std::size_t i = 0; i < cases.size() && !cancel->load(); ++i) {
                    // Memory for the Rating itself is the item's error too,
                    // as rate() makes of memory refused inside the rating.
                    keepItemError(errors[i], "the rating", [&] {
                        ratings[i] = std::make_shared<const Rating>(hxrate::rate(cases[i], own));
                    });
                }
                return true;
            });
            py::list results;
            for (std::size_t i = 0; i < cases.size(); ++i) {
                if (errors[i]) {
                    results.append(errorObject(errors[i], cases[i]));
                    continue;
                }
                results.append(std::make_shared<RatingObject>(RatingObject{cases[i], ratings[i]}));
            }
            return results;
        },
        "cases"_a, py::kw_only(), "shooting"_a = "case", "pass_limit"_a = hxrate::defaultPassLimit,
        "rate_many(cases: list[Case], *, shooting: str = \"case\", pass_limit: int = 10000) -> "
        "list[Rating | Error]\n\n"
        "Rates every case of a list as rate() does, releasing the GIL once for the whole list, "
        "so that threads each rating a list of cases use every core even for small cases. "
        "A case that ends in an error gives the exception object (CaseRejected, InputError, "
        "ArithmeticFault or ResourceError, also for memory that runs out) in its place instead of "
        "raising; TypeError when an item is not a Case. Ctrl-C stops the list: "
        "KeyboardInterrupt within a second.");

    m.def(
        "analyse_shooting",
        [](const Case& c, py::handle passLimit) {
            auto options = rateOptions("case", passLimit);
            const Case input = c;
            return rateOne(input, options, [](const Case& own, const hxrate::RateOptions& opts) {
                return hxrate::analyseShooting(own, opts);
            });
        },
        "case"_a, py::kw_only(), "pass_limit"_a = hxrate::defaultPassLimit,
        "analyse_shooting(case: Case, *, pass_limit: int = 10000) -> ShootingMap\n\n"
        "Two passes of a counter-current case's march (types 1 and 3), seen as an affine map.\n"
        "Raises as rate() does (CaseRejected for the other types: 'exchanger-selection' or a "
        "check met on the way).");

    // For bench/python_bench.py: the same rate() called in a C++ loop, so
    // that the cost of a call from Python can be set against it.
    m.def(
        "_rate_loop_seconds",
        [](const Case& c, int repeats) {
            if (repeats < 0) throw py::value_error("repeats must not be negative");
            const Case input = c;  // the Python object may change meanwhile
            double seconds = 0;
            hxrate::RateOptions options;
            runInterruptibly(
                repeats * workBound(input, options), [&](const std::atomic<bool>* cancel) {
                    hxrate::RateOptions own = options;
                    own.cancel = cancel;
                    auto start = std::chrono::steady_clock::now();
                    for (int i = 0; i < repeats && !cancel->load(); ++i) {
                        Rating r = hxrate::rate(input, own);
                        if (r.shootingPasses < 0) throw std::logic_error("impossible pass count");
                    }
                    seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count();
                });
            return seconds;
        },
        "case"_a, "repeats"_a,
        "_rate_loop_seconds(case: Case, repeats: int) -> float\n\n"
        "Seconds taken by `repeats` calls of the library's rate() on `case` from C++, without "
        "the GIL (for the benchmark of the call overhead). Ctrl-C stops it.");
}

}  // namespace hxrate_python
