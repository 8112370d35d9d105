// rate_variants(): many variants of one case, named by arrays of the values
// that vary, built, rated and assessed in one release of the GIL, the results
// as columns; a sweep then pays for its ratings, not for an object per variant.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hxrate/case_fields.h>

#include "binding.h"

namespace hxrate_python {

using namespace pybind11::literals;
using hxrate::Case;
using hxrate::CaseField;
using hxrate::CaseFieldKind;

namespace {

// The values one case field takes over the variants, checked as
// Case.replace() checks a value, before the GIL is released.
struct Varied {
    const CaseField* field = nullptr;
    std::vector<double> reals;           // a quantity or a number
    std::vector<std::int32_t> integers;  // an integer field

    std::size_t size() const {
        return field->kind == CaseFieldKind::integer ? integers.size() : reals.size();
    }
    void applyTo(Case& c, std::size_t i) const {
        if (field->kind == CaseFieldKind::integer)
            field->integer(c) = integers[i];
        else
            field->real(c) = reals[i];
    }
};

std::string shownReal(double x) {
    return std::string(py::repr(py::float_(x)));
}

Varied variedField(py::handle key, py::handle values) {
    if (!PyUnicode_Check(key.ptr()))
        throw py::type_error("rate_variants() variants must be keyed by field names (str), not " +
                             typeName(key));
    std::string name = fromPythonText(key, "field name");
    std::string what = "variants['" + name + "']";
    Varied varied;
    varied.field = hxrate::findCaseField(name);
    if (!varied.field)
        throw py::value_error(what + ": no case field has that name (CASE_FIELDS lists them)");
    if (varied.field->kind == CaseFieldKind::text)
        throw py::type_error(what + ": a name does not vary here; give it in the base case");
    // Aligned and contiguous: a column unpickled from a byte buffer may sit at
    // any address, and its elements are read as the type they hold.
    py::array array = py::module_::import("numpy").attr("require")(values, py::none(), "AC");
    if (array.ndim() != 1)
        throw py::value_error(what + " must be one-dimensional, not of " +
                              std::to_string(array.ndim()) + " dimensions");
    // Booleans are refused, as Case.replace() refuses them.
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u' && kind != 'f')
        throw py::type_error(what + " must hold real numbers, not numpy dtype " +
                             std::string(py::str(array.dtype())));
    const auto n = static_cast<std::size_t>(array.shape(0));
    if (varied.field->kind != CaseFieldKind::integer) {
        auto reals = py::array_t<double, py::array::forcecast>(array).unchecked<1>();
        varied.reals.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            double x = reals(static_cast<py::ssize_t>(i));
            if (!std::isfinite(x))
                throw py::value_error(what + "[" + std::to_string(i) + "] must be finite, got " +
                                      shownReal(x));
            varied.reals[i] = x;
        }
        return varied;
    }
    constexpr auto lowest = std::numeric_limits<std::int32_t>::min();
    constexpr auto highest = std::numeric_limits<std::int32_t>::max();
    varied.integers.resize(n);
    auto tooLarge = [&](std::size_t i, const std::string& shown) {
        return py::value_error(what + "[" + std::to_string(i) +
                               "] does not fit a 32-bit integer: " + shown);
    };
    if (kind == 'f') {
        // Whole reals, as a grid built with numpy's floats gives them.
        auto reals = py::array_t<double, py::array::forcecast>(array).unchecked<1>();
        for (std::size_t i = 0; i < n; ++i) {
            double x = reals(static_cast<py::ssize_t>(i));
            if (!std::isfinite(x) || std::trunc(x) != x)
                throw py::value_error(what + "[" + std::to_string(i) +
                                      "] must be a whole number, got " + shownReal(x));
            if (x < lowest || x > highest) throw tooLarge(i, shownReal(x));
            varied.integers[i] = static_cast<std::int32_t>(x);
        }
    } else if (kind == 'u') {
        auto counts = py::array_t<std::uint64_t, py::array::forcecast>(array).unchecked<1>();
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t x = counts(static_cast<py::ssize_t>(i));
            if (x > static_cast<std::uint64_t>(highest)) throw tooLarge(i, std::to_string(x));
            varied.integers[i] = static_cast<std::int32_t>(x);
        }
    } else {
        auto counts = py::array_t<std::int64_t, py::array::forcecast>(array).unchecked<1>();
        for (std::size_t i = 0; i < n; ++i) {
            std::int64_t x = counts(static_cast<py::ssize_t>(i));
            if (x < lowest || x > highest) throw tooLarge(i, std::to_string(x));
            varied.integers[i] = static_cast<std::int32_t>(x);
        }
    }
    return varied;
}

// A numeric column, filled without the GIL, and which of its rows hold no
// value; shown to Python as a numpy masked array (masked: no value).
template <class T>
struct Column {
    py::array_t<T> values;
    py::array_t<bool> missing;
    T* value;
    bool* absent;

    explicit Column(std::size_t n)
        : values(static_cast<py::ssize_t>(n)),
          missing(static_cast<py::ssize_t>(n)),
          value(values.mutable_data()),
          absent(missing.mutable_data()) {
        std::fill(value, value + n, T{});
        std::fill(absent, absent + n, true);
    }
    void set(std::size_t i, T x) {
        value[i] = x;
        absent[i] = false;
    }
    void set(std::size_t i, const std::optional<T>& x) {
        if (x) set(i, *x);
    }
    py::object masked(py::handle maskedArray) const {
        return maskedArray(values, "mask"_a = missing);
    }
};

// A text column with few distinct values, kept as an index into those values
// while the GIL is released; -1: none (None in Python).
struct CodeColumn {
    std::vector<std::int32_t> index;
    std::map<std::string, std::int32_t> codes;

    explicit CodeColumn(std::size_t n) : index(n, -1) {}
    void set(std::size_t i, const std::string& text) {
        auto [at, added] = codes.emplace(text, static_cast<std::int32_t>(codes.size()));
        index[i] = at->second;
    }
    // One str object per distinct value, shared by its rows.
    py::list shown() const {
        std::vector<py::object> texts(codes.size());
        for (const auto& [text, i] : codes) texts[static_cast<std::size_t>(i)] = toPythonText(text);
        py::list out(index.size());
        for (std::size_t i = 0; i < index.size(); ++i) {
            py::object item = py::none();
            if (index[i] >= 0) item = texts[static_cast<std::size_t>(index[i])];
            PyList_SET_ITEM(out.ptr(), static_cast<py::ssize_t>(i), item.release().ptr());
        }
        return out;
    }
};

// The codes of an assessment's warnings, sorted, each once, between blanks.
std::string warningCodes(const hxrate::Assessment& a) {
    std::vector<std::string_view> codes;
    for (const hxrate::Warning& w : a.warnings) codes.push_back(w.code);
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    std::string text;
    for (std::string_view code : codes) {
        if (!text.empty()) text += ' ';
        text += code;
    }
    return text;
}

const char* const rateVariantsDoc =
    R"(rate_variants(base: Case, variants: dict[str, ArrayLike], *, shooting: str = "case", pass_limit: int = 10000, assess: bool = False, grids: int = 2) -> dict[str, list | numpy.ma.MaskedArray]

Rates many variants of `base` and gives the results as columns, one row per
variant. `variants` maps case field names (CASE_FIELDS: 'tube_count',
'tube_fluid.volumetric_flow', ...) to one-dimensional arrays of equal length;
variant i is `base` with each named field set to its array's i-th value.
Each variant is rated as rate_many() rates the list of those cases, and with
`assess` assessed as assess_many(cases, ratings, grids=grids) assesses them,
all with the GIL released once; no Case, Rating or Assessment object is made.

Columns: 'outcome' ('rated', 'rejected', or the name of the exception a
failure raised, e.g. 'ArithmeticFault'), 'check' (the check that rejected the
variant, else '') and 'message' (the rejection's run-log message, or the
error's text, else ''), lists of str; then, as numpy masked arrays masked
where the variant was not rated, 'overall_coefficient', 'area',
'tube_outlet_temperature', 'shell_outlet_temperature' and 'shooting_passes'.
With `assess`, also 'duty', 'tube_pressure_drop' and 'shell_pressure_drop'
(masked where not formed), and 'duty_direction' and 'warnings' (the codes of
its warnings, sorted, each once, separated by blanks), lists of str, None
where the variant has no assessment (an error other than a rejection, or a
rejection before any rating).

ValueError for an unknown field, arrays of unequal length or a value
Case.replace() refuses (naming the field and the index); TypeError for a
name field or an array that does not hold numbers. Ctrl-C stops the work:
KeyboardInterrupt within a second.)";

py::dict rateVariants(const Case& base, const py::dict& variants, const std::string& shooting,
                      py::handle passLimit, bool assess, int grids) {
    const hxrate::RateOptions rateWith = rateOptions(shooting, passLimit);
    const hxrate::AssessOptions assessWith = assessOptions(grids, "when-slow", std::nullopt);
    if (variants.empty()) throw py::value_error("rate_variants() needs at least one varied field");
    std::vector<Varied> fields;
    for (auto [key, values] : variants) fields.push_back(variedField(key, values));
    const std::size_t n = fields.front().size();
    for (const Varied& v : fields)
        if (v.size() != n)
            throw py::value_error("rate_variants() needs arrays of one length: " +
                                  std::string(fields.front().field->name) + " has " +
                                  std::to_string(n) + " values, " + std::string(v.field->name) +
                                  " " + std::to_string(v.size()));
    const Case own = base;  // the Python object may change meanwhile
    auto variant = [&](std::size_t i) {
        Case c = own;
        for (const Varied& v : fields) v.applyTo(c, i);
        return c;
    };

    Column<double> coefficient(n), area(n), tubeOutlet(n), shellOutlet(n);
    Column<std::int32_t> passes(n);
    Column<double> duty(n), tubeDrop(n), shellDrop(n);
    CodeColumn direction(n), warnings(n);
    std::vector<std::exception_ptr> errors(n);
    runInterruptibly([&](const std::atomic<bool>* cancel) {
        for (std::size_t i = 0; i < n && !cancel->load(); ++i) {
            const Case c = variant(i);
            hxrate::RateOptions options = rateWith;
            options.cancel = cancel;
            std::optional<hxrate::Rating> rating;
            keepItemError(errors[i], "the rating",
                          [&] { rating.emplace(hxrate::rate(c, options)); });
            if (rating) {
                coefficient.set(i, rating->overallCoefficient);
                area.set(i, rating->area);
                tubeOutlet.set(i, rating->tubeOutletTemperature);
                shellOutlet.set(i, rating->shellOutletTemperature);
                passes.set(i, rating->shootingPasses);
            }
            if (!assess) continue;
            // A rejection is assessed with its partial rating, as assess_many() does.
            hxrate::AssessOptions with = assessWith;
            with.rating.cancel = cancel;
            const hxrate::Rating* rated = rating ? &*rating : nullptr;
            if (!rated && errors[i]) {
                try {
                    std::rethrow_exception(errors[i]);
                } catch (const hxrate::CaseRejected& e) {
                    rated = e.partial();
                    with.rejectedBy = e.check();
                } catch (...) {
                }
            }
            if (!rated) continue;
            // An assessment that fails leaves the variant without one.
            std::exception_ptr assessmentError;
            keepItemError(assessmentError, "the assessment", [&] {
                hxrate::Assessment a = hxrate::assess(c, *rated, with);
                duty.set(i, a.thermal.duty);
                if (a.tubePressureDrop) tubeDrop.set(i, a.tubePressureDrop->pressureDrop);
                if (a.shellPressureDrop) shellDrop.set(i, a.shellPressureDrop->pressureDrop);
                direction.set(i, std::string(hxrate::dutyDirectionText(a.thermal.dutyDirection)));
                warnings.set(i, warningCodes(a));
            });
        }
    });

    py::str rated("rated"), rejected("rejected"), none("");
    py::list outcome(n), check(n), message(n);
    auto put = [](py::list& list, std::size_t i, py::object item) {
        PyList_SET_ITEM(list.ptr(), static_cast<py::ssize_t>(i), item.release().ptr());
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (!errors[i]) {
            put(outcome, i, rated);
            put(check, i, none);
            put(message, i, none);
            continue;
        }
        try {
            std::rethrow_exception(errors[i]);
        } catch (const hxrate::CaseRejected& e) {
            put(outcome, i, rejected);
            put(check, i, toPythonText(hxrate::checkName(e.check())));
            put(message, i, toPythonText(e.message()));
        } catch (const hxrate::Error& e) {
            // The exception rate_many() would give in the variant's place.
            py::object error = errorObject(e, variant(i));
            put(outcome, i, py::type::of(error).attr("__name__"));
            put(check, i, none);
            put(message, i, py::str(error));
        }
    }
    py::object maskedArray = py::module_::import("numpy.ma").attr("MaskedArray");
    py::dict columns;
    columns["outcome"] = outcome;
    columns["check"] = check;
    columns["message"] = message;
    columns["overall_coefficient"] = coefficient.masked(maskedArray);
    columns["area"] = area.masked(maskedArray);
    columns["tube_outlet_temperature"] = tubeOutlet.masked(maskedArray);
    columns["shell_outlet_temperature"] = shellOutlet.masked(maskedArray);
    columns["shooting_passes"] = passes.masked(maskedArray);
    if (assess) {
        columns["duty"] = duty.masked(maskedArray);
        columns["duty_direction"] = direction.shown();
        columns["tube_pressure_drop"] = tubeDrop.masked(maskedArray);
        columns["shell_pressure_drop"] = shellDrop.masked(maskedArray);
        columns["warnings"] = warnings.shown();
    }
    return columns;
}

}  // namespace

void bindVariants(py::module_& m) {
    // The docstring's first line gives the signature with Python's types.
    py::options signatures;
    signatures.disable_function_signatures();
    m.def("rate_variants", &rateVariants, "base"_a, "variants"_a, py::kw_only(),
          "shooting"_a = "case", "pass_limit"_a = hxrate::defaultPassLimit, "assess"_a = false,
          "grids"_a = 2, rateVariantsDoc);
}

}  // namespace hxrate_python
