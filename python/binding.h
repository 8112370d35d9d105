// Declarations shared by the files of the Python module _hxrate: values
// crossing the boundary, the rating object, the errors, and one bindX() per
// topic file that the module init calls in order.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/program.h"
#include "hxrate/vibration.h"

namespace hxrate_python {

namespace py = pybind11;

// ---- Values crossing the boundary (values.cpp) -------------------------------

// The Python type name of `value`, for messages.
std::string typeName(py::handle value);
// Library text (bytes of a case file) as str; undecodable bytes as surrogate escapes.
py::str toPythonText(std::string_view text);
// A str back to the library's bytes; TypeError naming `what` for another type.
std::string fromPythonText(py::handle value, const std::string& what);
// A finite real from any number but bool and text.
double toReal(py::handle value, const std::string& what);
// A 32-bit integer from an int or a whole real.
std::int32_t toInt32(py::handle value, const std::string& what);

// ---- Rating (bind_rating.cpp) ---------------------------------------------------

// A rating with the case it rates, so that it can write its own report.
struct RatingObject {
    hxrate::Case ratedCase;
    std::shared_ptr<const hxrate::Rating> rating;
};

// The options of rate() and rate_many() from their keywords; ValueError for
// an unknown shooting or a pass_limit that is not a 32-bit integer.
hxrate::RateOptions rateOptions(const std::string& shooting, py::handle passLimit);

// Runs `work` with the GIL released on a worker thread while the calling
// thread runs Python's signal handlers: Ctrl-C sets the flag `work` is given,
// waits for it to return and raises KeyboardInterrupt. What `work` throws is
// rethrown on the calling thread.
void runInterruptibly(const std::function<void(const std::atomic<bool>* cancel)>& work);
// The same for work of at most `steps` element steps: on the calling thread
// (no thread started) when that is short enough not to need Ctrl-C.
void runInterruptibly(double steps,
                      const std::function<void(const std::atomic<bool>* cancel)>& work);
// An upper bound of the element steps of rate(c, options); infinite for a
// grid that no rating would march.
double workBound(const hxrate::Case& c, const hxrate::RateOptions& options);
// The pass_limit keyword: a 32-bit integer of at least 1 (ValueError else).
std::int32_t toPassLimit(py::handle value);

// A read-only float64 numpy array over `values`, without a copy; `owner`
// keeps the storage alive while the array lives.
py::array readOnlyView(const std::vector<double>& values, py::handle owner);

// ---- Pickling ----------------------------------------------------------------------

// Gives `cls` __reduce__ and __reduce_ex__ (every protocol alike, 0 and 1
// included) returning `reduce(self)`: a callable and its arguments.
template <class Class, class Reduce>
void definePickling(Class& cls, Reduce reduce) {
    cls.def("__reduce__", reduce, "Pickling support: the restore function and the state.");
    cls.def(
        "__reduce_ex__", [reduce](py::object self, py::handle) { return reduce(self); },
        "Pickling support, the same for every protocol.");
}
// What reduce gives for a class rebuilt by the module's _restore(kind, *state).
inline py::tuple restoreCall(py::handle self, const char* kind, const py::tuple& state) {
    auto module = py::module_::import(
        py::str(py::type::of(self).attr("__module__")).cast<std::string>().c_str());
    py::list arguments;
    arguments.append(kind);
    for (auto value : state) arguments.append(value);
    return py::make_tuple(module.attr("_restore"), py::tuple(arguments));
}

// ---- Errors (bind_errors.cpp) ---------------------------------------------------

// The Python exception object for an error of the library; a rejection
// carries its partial rating with the case `c` that was rated.
py::object errorObject(const hxrate::Error& error, const hxrate::Case& c);
// The exception object of an error kept by keepItemError().
py::object errorObject(const std::exception_ptr& error, const hxrate::Case& c);
// Runs the work of one item of a list (without the GIL): an error of the
// library, or memory refused for what `what` makes, is kept in `error` so
// that the item's place in the result holds it instead of the list raising.
template <class Work>
void keepItemError(std::exception_ptr& error, const char* what, Work&& work) {
    try {
        work();
    } catch (const hxrate::Error&) {
        error = std::current_exception();
    } catch (const std::bad_alloc&) {
        error = std::make_exception_ptr(hxrate::ResourceError(
            hxrate::errorNumber::storageRefused,
            std::string(what) + " needs more memory than the machine gives it"));
    }
}
// Sets the Python exception for `error` and throws py::error_already_set.
[[noreturn]] void raise(const hxrate::Error& error, const hxrate::Case& c);

// ---- Assessment (bind_assessment.cpp) -------------------------------------------

// The options of assess() and assess_many() from their keywords; ValueError
// for grids other than 0, 2, 3, an unknown shooting or a wall viscosity not
// above 0.
hxrate::AssessOptions assessOptions(int grids, const std::string& shooting,
                                    std::optional<double> shellWallViscosity);

// ---- Extensions and what they form (bind_design.cpp) ------------------------------
// Extensions from the keywords of rate_extended(), and from a dict of them
// (None: no extensions); TypeError or ValueError naming the keyword.
hxrate::Extensions extensionsFrom(py::handle foulingInside, py::handle foulingOutside,
                                  py::handle passes, py::handle shells,
                                  const std::string& shellSide, py::handle baffles,
                                  py::handle wallViscosity);
hxrate::Extensions extensionsFrom(py::handle value);
// Extensions as a dict of those keywords.
py::dict extensionsDict(const hxrate::Extensions& e);
// A Bell-Delaware result, and what an arrangement adds to its rating, as dicts.
py::dict resultDict(const hxrate::BellDelawareResult& r);
py::dict extendedDict(const hxrate::ExtendedQuantities& x);

// ---- Vibration (bind_vibration.cpp) ---------------------------------------------
// The VibrationInput of a keyword: None (every default) or a
// hxrate.VibrationInput; TypeError naming `keyword` for another type.
hxrate::VibrationInput vibrationFrom(py::handle value, const char* keyword);

// ---- One per topic file, called by the module init in this order ----------------

void bindErrors(py::module_& m);      // Error and its subclasses
void bindCase(py::module_& m);        // Fluid, Case, parse_case, read_case
void bindRating(py::module_& m);      // Geometry, SideResult, Profile, Rating, rate, rate_many, ...
void bindProgram(py::module_& m);     // exchanger_title and other program facts
void bindAssessment(py::module_& m);  // Warning, Assessment, assess
void bindDesign(py::module_& m);      // P-NTU, F and Bell-Delaware closed forms
void bindVariants(py::module_& m);    // rate_variants: many variants of one case as columns
void bindVibration(py::module_& m);   // TubeMaterial, VibrationInput, screen_vibration
void bindExchanger(py::module_& m);   // CaseDocument, ExchangerRating, rate(document)
void bindMonitoring(py::module_& m);  // FoulingEstimate, find_fouling(document, outlets)
void bindDesignSearch(py::module_& m);  // _design_search, _merge_designs (hxrate.design())

}  // namespace hxrate_python
