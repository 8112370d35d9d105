// Case and Fluid: the table of case fields (hxrate/case_fields.h) drives
// keywords, attributes, repr, replace() and pickling, and is CASE_FIELDS;
// parse_case() and read_case().
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <hxrate/case_fields.h>
#include <hxrate/case_files.h>

#include "binding.h"

namespace hxrate_python {

using namespace pybind11::literals;
using hxrate::Case;
using hxrate::CaseField;
using hxrate::CaseFieldKind;
using hxrate::Fluid;

namespace {

// ---- Case and Fluid: one table of fields drives keywords, attributes,
// ---- repr, replace() and pickling -------------------------------------------

// A name as read from a case file is blank-filled to its field's width, as is
// the default; Python shows it without the trailing blanks and fills a
// shorter name it is given, so that a case built in Python equals the one
// read from its file.
constexpr std::size_t nameWidth = 10;

std::string blankFilled(std::string text) {
    if (text.size() < nameWidth) text.resize(nameWidth, ' ');
    return text;
}

std::string_view withoutPadding(const std::string& text) {
    std::string_view view = text;
    while (!view.empty() && view.back() == ' ') view.remove_suffix(1);
    return view;
}

template <class Record>
struct Field {
    std::string name;       // the Python keyword and attribute
    std::string qualified;  // "Case.tube_count", for messages
    std::string doc;
    std::function<py::object(const Record&)> get;
    std::function<void(Record&, py::handle)> set;
    Fluid Case::*fluid = nullptr;  // a nested Fluid: its attribute is bound by reference
    // The value as held, for pickling; empty: as `get` shows it.
    std::function<py::object(const Record&)> held = {};
};

// The docstring of a field: "Case line 2: tube inner diameter Di, m."
std::string fieldDoc(std::string words, std::string_view symbol, std::string_view unit,
                     CaseFieldKind kind) {
    if (!symbol.empty()) words += " " + std::string(symbol);
    if (!unit.empty()) words += ", " + std::string(unit);
    if (kind == CaseFieldKind::text) words += " (without the trailing blanks of a case file)";
    return words + ".";
}

// What the codes of a coded field mean, where the table's words name only
// the field: ": 0 co-current, ...". The words stay the table's, as a table
// of inputs shows them; the meanings are for the docstring alone.
std::string codeMeanings(std::string_view name) {
    if (name != "exchanger_type") return {};
    namespace type = hxrate::ExchangerType;
    return ": " + std::to_string(type::CoCurrent) + " co-current, " +
           std::to_string(type::CounterCurrent) + " counter-current, " +
           std::to_string(type::CrossFlowCoCurrent) + " cross flow co-current, " +
           std::to_string(type::CrossFlowCounterCurrent) + " cross flow counter-current";
}

// The attribute of `Record` (Case or Fluid) for a row of the table;
// `python` is the attribute's name, `owner` the class's.
template <class Record>
Field<Record> tableField(const CaseField& f, const char* owner, std::string_view python,
                         std::string doc) {
    std::string name(python);
    std::string what = std::string(owner) + "." + name;
    switch (f.kind) {
        case CaseFieldKind::integer:
            return {name, what, doc,
                    [&f](const Record& r) { return py::object(py::int_(f.integer(r))); },
                    [&f, what](Record& r, py::handle v) { f.integer(r) = toInt32(v, what); }};
        case CaseFieldKind::text:
            return {name,
                    what,
                    doc,
                    [&f](const Record& r) {
                        return py::object(toPythonText(withoutPadding(f.text(r))));
                    },
                    [&f, what](Record& r, py::handle v) {
                        f.text(r) = blankFilled(fromPythonText(v, what));
                    },
                    nullptr,
                    [&f](const Record& r) { return py::object(toPythonText(f.text(r))); }};
        default:
            return {name, what, doc,
                    [&f](const Record& r) { return py::object(py::float_(f.real(r))); },
                    [&f, what](Record& r, py::handle v) { f.real(r) = toReal(v, what); }};
    }
}

Field<Case> fluidField(std::string_view record, int caseLine, Fluid Case::*member) {
    std::string name(record);
    std::string what = "Case." + name;
    std::string words = name;
    std::replace(words.begin(), words.end(), '_', ' ');
    return {name,
            what,
            "Case line " + std::to_string(caseLine) + ": the " + words + ", a Fluid.",
            [member](const Case& c) { return py::cast(c.*member); },
            [member, what](Case& c, py::handle v) {
                if (!py::isinstance<Fluid>(v))
                    throw py::type_error(what + " must be a hxrate.Fluid, not " + typeName(v));
                c.*member = v.cast<const Fluid&>();
            },
            member};
}

// A Fluid's attributes: the fields of the tube fluid, named within it.
const std::vector<Field<Fluid>>& fluidFields() {
    static const std::vector<Field<Fluid>> fields = [] {
        std::vector<Field<Fluid>> out;
        for (const CaseField& f : hxrate::caseFields) {
            if (f.record() != "tube_fluid") continue;
            std::string words(f.description.substr(f.description.find("fluid")));
            words[0] = 'F';
            std::string_view symbol = f.symbol.substr(0, f.symbol.rfind('_'));
            out.push_back(
                tableField<Fluid>(f, "Fluid", f.member(), fieldDoc(words, symbol, f.unit, f.kind)));
        }
        return out;
    }();
    return fields;
}

// A Case's attributes: its own fields, and each fluid where its first field
// stands.
const std::vector<Field<Case>>& caseFields() {
    static const std::vector<Field<Case>> fields = [] {
        std::vector<Field<Case>> out;
        for (const CaseField& f : hxrate::caseFields) {
            if (f.fluid) {
                if (out.empty() || out.back().fluid != f.fluid)
                    out.push_back(fluidField(f.record(), f.caseLine, f.fluid));
                continue;
            }
            std::string words = "Case line " + std::to_string(f.caseLine) + ": " +
                                std::string(f.description) + codeMeanings(f.name);
            out.push_back(
                tableField<Case>(f, "Case", f.name, fieldDoc(words, f.symbol, f.unit, f.kind)));
        }
        return out;
    }();
    return fields;
}

// CASE_FIELDS: the table as a tuple of named tuples.
void bindCaseFields(py::module_& m) {
    py::object type = py::module_::import("collections")
                          .attr("namedtuple")(
                              "CaseField", py::make_tuple("case_line", "name", "label",
                                                          "description", "unit", "symbol", "kind"));
    type.attr("__module__") = m.attr("__name__");
    type.attr("__doc__") =
        "One value of the case file: the case line that carries it, its name (a fluid's "
        "'tube_fluid.density'), the words errors name it by, the words a table of inputs "
        "shows, its SI unit ('' for plain numbers, codes, counts and names), its symbol, and "
        "its kind ('quantity', 'number', 'integer' or 'text').";
    const char* docs[][2] = {
        {"case_line", "The case line that carries the value, 1..21."},
        {"name", "The Case keyword; a fluid's is 'tube_fluid.<Fluid keyword>'."},
        {"label", "The words a read error names the value by."},
        {"description", "The words a table of inputs shows."},
        {"unit",
         "The SI unit ('degC' for temperatures); '' for plain numbers, codes, counts and names."},
        {"symbol", "The symbol, e.g. 'Di'; '' where the value has none."},
        {"kind",
         "'quantity' (a real with its unit), 'number' (a real a case document gives "
         "without a unit), 'integer' or 'text'."},
    };
    for (const auto& [field, doc] : docs) type.attr(field).attr("__doc__") = doc;
    static constexpr const char* kinds[] = {"quantity", "number", "integer", "text"};
    py::list rows;
    for (const CaseField& f : hxrate::caseFields) {
        auto text = [](std::string_view s) { return py::str(s.data(), s.size()); };
        rows.append(type(f.caseLine, text(f.name), text(f.label), text(f.description), text(f.unit),
                         text(f.symbol), kinds[static_cast<int>(f.kind)]));
    }
    m.attr("CaseField") = type;
    m.attr("CASE_FIELDS") = py::tuple(rows);
}

template <class Record>
void assignFields(Record& record, const py::dict& changes, const std::vector<Field<Record>>& fields,
                  const char* call) {
    for (auto [key, value] : changes) {
        std::string name = py::str(key);
        const Field<Record>* field = nullptr;
        for (const auto& f : fields)
            if (f.name == name) field = &f;
        if (!field)
            throw py::type_error(std::string(call) + "() got an unexpected keyword argument '" +
                                 name + "'");
        field->set(record, value);
    }
}

template <class Record>
py::dict fieldState(const Record& record, const std::vector<Field<Record>>& fields,
                    bool asHeld = false) {
    py::dict state;
    for (const auto& f : fields)
        state[py::str(f.name)] = asHeld && f.held ? f.held(record) : f.get(record);
    return state;
}

template <class Record>
std::string fieldRepr(const char* owner, const Record& record,
                      const std::vector<Field<Record>>& fields) {
    std::string text = std::string(owner) + "(";
    bool first = true;
    for (const auto& f : fields) {
        if (!first) text += ", ";
        first = false;
        text += f.name + "=" + std::string(py::repr(f.get(record)));
    }
    return text + ")";
}

template <class Record>
void bindRecord(py::module_& m, py::class_<Record>& cls, const char* owner,
                const std::vector<Field<Record>>& fields) {
    std::string replaceCall = std::string(owner) + ".replace";
    cls.def(py::init([owner, &fields](const py::kwargs& values) {
                Record record;
                assignFields(record, values, fields, owner);
                return record;
            }),
            (std::string("Builds a ") + owner +
             " from keywords; a field not given keeps its default (0, or blanks for a name).\n"
             "Raises TypeError for an unknown keyword or a value of the wrong type and "
             "ValueError for an impossible one (a non-integer count, a non-finite real).")
                .c_str());
    cls.def(
        "replace",
        [replaceCall, &fields](const Record& record, const py::kwargs& changes) {
            Record copy = record;
            assignFields(copy, changes, fields, replaceCall.c_str());
            return copy;
        },
        (std::string("Returns a copy of this ") + owner +
         " with the given fields changed; the original is unchanged. Raises as the constructor "
         "does.")
            .c_str());
    cls.def("__repr__",
            [owner, &fields](const Record& record) { return fieldRepr(owner, record, fields); });
    cls.def(
        "__eq__",
        [](const Record& record, py::object other) -> py::object {
            if (!py::isinstance<Record>(other))
                return py::reinterpret_borrow<py::object>(Py_NotImplemented);
            return py::bool_(record == other.cast<const Record&>());
        },
        py::is_operator());
    cls.attr("__hash__") = py::none();
    cls.def(
        "to_dict", [&fields](const Record& record) { return fieldState(record, fields); },
        "The fields as a dict of keyword to value (a nested Fluid stays a Fluid).");
    cls.def(py::pickle([&fields](const Record& record) { return fieldState(record, fields, true); },
                       [owner, &fields](const py::dict& state) {
                           Record record;
                           assignFields(record, state, fields, owner);
                           return record;
                       }));
    // Every pickle protocol (0 and 1 included, which would otherwise build the
    // object without its C++ record) and copy.copy reduce to the module's
    // restore function and the fields as held.
    std::string restore = std::string(owner == std::string("Case") ? "case" : "fluid");
    auto reduce = [restore, &fields](py::object self) {
        auto module = py::module_::import(
            py::str(py::type::of(self).attr("__module__")).cast<std::string>().c_str());
        return py::make_tuple(
            module.attr("_restore"),
            py::make_tuple(restore, fieldState(self.cast<const Record&>(), fields, true)));
    };
    cls.def("__reduce__", reduce, "Pickling support: the restore function and the fields.");
    cls.def(
        "__reduce_ex__", [reduce](py::object self, py::handle) { return reduce(self); },
        "Pickling support, the same for every protocol.");
    m.def(("_restore_" + restore).c_str(),
          [owner, &fields](const py::dict& state) {
              Record record;
              assignFields(record, state, fields, owner);
              return record;
          },
          "Rebuilds a pickled record from its fields.");
    for (const auto& f : fields) {
        if (f.fluid) continue;
        cls.def_property(
            f.name.c_str(), [get = f.get](const Record& r) { return get(r); },
            [set = f.set](Record& r, py::handle v) { set(r, v); }, f.doc.c_str());
    }
}

}  // namespace

void bindCase(py::module_& m) {
    py::class_<Fluid> fluid(m, "Fluid",
                            "One fluid stream, in the case's consistent units (SI in practice).\n"
                            "Fluid(name=..., density=..., viscosity=..., conductivity=..., "
                            "heat_capacity=..., volumetric_flow=...)");
    bindRecord(m, fluid, "Fluid", fluidFields());

    py::class_<Case> caseClass(m, "Case",
                               "Every value of the case file, in case-line order; keyword "
                               "construction, e.g. Case(exchanger_type=1, tube_count=40, ...).\n"
                               "Use replace(**changes) for a modified copy in sweeps.");
    bindRecord(m, caseClass, "Case", caseFields());
    bindCaseFields(m);
    for (const auto& f : caseFields()) {
        if (!f.fluid) continue;
        Fluid Case::*member = f.fluid;
        caseClass.def_property(
            f.name.c_str(), [member](Case& c) -> Fluid& { return c.*member; },
            [set = f.set](Case& c, py::handle v) { set(c, v); },
            py::return_value_policy::reference_internal, f.doc.c_str());
    }

    // The docstrings' first lines give the signatures with their Python types.
    py::options options;
    options.disable_function_signatures();

    m.def(
        "parse_case",
        [](py::handle text, const std::string& sourceName) {
            std::string bytes;
            if (PyBytes_Check(text.ptr()) || PyByteArray_Check(text.ptr()))
                bytes = std::string(py::bytes(py::reinterpret_borrow<py::object>(text)));
            else
                bytes = fromPythonText(text, "parse_case() text");
            return hxrate::parseCase(bytes, sourceName);
        },
        "text"_a, "source_name"_a = "case",
        "parse_case(text: str | bytes, source_name: str = \"case\") -> Case\n\n"
        "Reads a case from the text of a case file (str or bytes) with the program's free-form "
        "rules; source_name names the text in errors. Raises InputError (with the case line, "
        "line, column and text) for text that is not a case, TypeError for text of another "
        "type.");

    m.def(
        "read_case",
        [](py::handle path) {
            std::string name = fromPythonText(py::module_::import("os").attr("fsdecode")(path),
                                              "read_case() path");
            py::gil_scoped_release release;
            return hxrate::readCase(std::filesystem::path(name));
        },
        "path"_a,
        "read_case(path: str | os.PathLike) -> Case\n\n"
        "Reads the case file at path (str or os.PathLike). Raises InputError, also for a file "
        "that is missing or cannot be read (code 10).");

    // For bench/python_bench.py: the same rate() called in a C++ loop, so
}

}  // namespace hxrate_python
