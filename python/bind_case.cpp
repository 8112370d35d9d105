// Case and Fluid: one table of fields drives keywords, attributes, repr,
// replace() and pickling; parse_case() and read_case().
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "binding.h"

namespace hxrate_python {

using namespace pybind11::literals;
using hxrate::Case;
using hxrate::Fluid;

namespace {

// ---- Case and Fluid: one table of fields drives keywords, attributes,
// ---- repr, replace() and pickling -------------------------------------------

template <class Record>
struct Field {
    std::string name;       // the Python keyword and attribute
    std::string qualified;  // "Case.tube_count", for messages
    std::string doc;
    std::function<py::object(const Record&)> get;
    std::function<void(Record&, py::handle)> set;
    bool isRecord = false;  // a nested Fluid: its attribute is bound by reference
};

template <class Record>
Field<Record> realField(const char* owner, const char* name, double Record::*member,
                        const char* doc) {
    std::string what = std::string(owner) + "." + name;
    return {name, what, doc,
            [member](const Record& r) { return py::object(py::float_(r.*member)); },
            [member, what](Record& r, py::handle v) { r.*member = toReal(v, what); }};
}

template <class Record>
Field<Record> integerField(const char* owner, const char* name, std::int32_t Record::*member,
                           const char* doc) {
    std::string what = std::string(owner) + "." + name;
    return {name, what, doc, [member](const Record& r) { return py::object(py::int_(r.*member)); },
            [member, what](Record& r, py::handle v) { r.*member = toInt32(v, what); }};
}

template <class Record>
Field<Record> textField(const char* owner, const char* name, std::string Record::*member,
                        const char* doc) {
    std::string what = std::string(owner) + "." + name;
    return {name, what, doc,
            [member](const Record& r) { return py::object(toPythonText(r.*member)); },
            [member, what](Record& r, py::handle v) { r.*member = fromPythonText(v, what); }};
}

Field<Case> fluidField(const char* name, Fluid Case::*member, const char* doc) {
    std::string what = std::string("Case.") + name;
    Field<Case> field{
        name, what, doc, [member](const Case& c) { return py::cast(c.*member); },
        [member, what](Case& c, py::handle v) {
            if (!py::isinstance<Fluid>(v))
                throw py::type_error(what + " must be a hxrate.Fluid, not " + typeName(v));
            c.*member = v.cast<const Fluid&>();
        }};
    field.isRecord = true;
    return field;
}

const std::vector<Field<Fluid>>& fluidFields() {
    static const std::vector<Field<Fluid>> fields{
        textField("Fluid", "name", &Fluid::name,
                  "Name as read from the case file (ten characters, blank-filled)."),
        realField("Fluid", "density", &Fluid::density, "Density rho, kg/m3."),
        realField("Fluid", "viscosity", &Fluid::viscosity, "Dynamic viscosity mu, Pa s."),
        realField("Fluid", "conductivity", &Fluid::conductivity,
                  "Thermal conductivity k, W/(m K)."),
        realField("Fluid", "heat_capacity", &Fluid::heatCapacity, "Heat capacity cp, J/(kg K)."),
        realField("Fluid", "volumetric_flow", &Fluid::volumetricFlow,
                  "Volumetric flow Q of the whole stream, m3/s."),
    };
    return fields;
}

const std::vector<Field<Case>>& caseFields() {
    static const std::vector<Field<Case>> fields{
        integerField("Case", "exchanger_type", &Case::exchangerType,
                     "Case line 1: 0 co-current, 1 counter-current, 2 cross flow co-current, "
                     "3 cross flow counter-current."),
        realField("Case", "tube_inner_diameter", &Case::tubeInnerDiameter,
                  "Case line 2: tube inner diameter Di, m."),
        realField("Case", "inner_roughness", &Case::innerRoughness,
                  "Case line 3: tube inner roughness eps, m."),
        realField("Case", "tube_length", &Case::tubeLength, "Case line 4: tube length L, m."),
        realField("Case", "element_length", &Case::elementLength,
                  "Case line 5: element length dL of the march, m."),
        realField("Case", "shell_inner_diameter", &Case::shellInnerDiameter,
                  "Case line 6: shell inner diameter Ds, m."),
        integerField("Case", "bundle_arrangement", &Case::bundleArrangement,
                     "Case line 7: 0 inline, 1 staggered."),
        integerField("Case", "tube_count", &Case::tubeCount, "Case line 8: number of tubes Nt."),
        realField("Case", "longitudinal_pitch", &Case::longitudinalPitch,
                  "Case line 9: longitudinal pitch SL, m."),
        realField("Case", "transverse_pitch", &Case::transversePitch,
                  "Case line 10: transverse pitch ST, m."),
        integerField("Case", "baffle_count", &Case::baffleCount,
                     "Case line 11: number of baffles Nb."),
        textField("Case", "wall_material", &Case::wallMaterial,
                  "Case line 13: wall material name (ten characters, blank-filled when read)."),
        realField("Case", "wall_conductivity", &Case::wallConductivity,
                  "Case line 13: wall conductivity kw, W/(m K)."),
        realField("Case", "wall_thickness", &Case::wallThickness,
                  "Case line 13: wall thickness tw, m."),
        fluidField("tube_fluid", &Case::tubeFluid, "Case line 15: the tube-side Fluid."),
        fluidField("shell_fluid", &Case::shellFluid, "Case line 16: the shell-side Fluid."),
        realField("Case", "tube_inlet_temperature", &Case::tubeInletTemperature,
                  "Case line 18: tube-fluid inlet temperature."),
        realField("Case", "shell_inlet_temperature", &Case::shellInletTemperature,
                  "Case line 19: shell-fluid inlet temperature."),
        realField("Case", "correction_factor", &Case::correctionFactor,
                  "Case line 21: correction factor of the shooting (types 1 and 3)."),
    };
    return fields;
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
py::dict fieldState(const Record& record, const std::vector<Field<Record>>& fields) {
    py::dict state;
    for (const auto& f : fields) state[py::str(f.name)] = f.get(record);
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
void bindRecord(py::class_<Record>& cls, const char* owner,
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
    cls.def(py::pickle([&fields](const Record& record) { return fieldState(record, fields); },
                       [owner, &fields](const py::dict& state) {
                           Record record;
                           assignFields(record, state, fields, owner);
                           return record;
                       }));
    for (const auto& f : fields) {
        if (f.isRecord) continue;
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
    bindRecord(fluid, "Fluid", fluidFields());

    py::class_<Case> caseClass(m, "Case",
                               "Every value of the case file, in case-line order; keyword "
                               "construction, e.g. Case(exchanger_type=1, tube_count=40, ...).\n"
                               "Use replace(**changes) for a modified copy in sweeps.");
    bindRecord(caseClass, "Case", caseFields());
    for (const auto& f : caseFields()) {
        if (!f.isRecord) continue;
        Fluid Case::*member = f.name == "tube_fluid" ? &Case::tubeFluid : &Case::shellFluid;
        caseClass.def_property(
            f.name.c_str(), [member](Case& c) -> Fluid& { return c.*member; },
            [set = f.set](Case& c, py::handle v) { set(c, v); },
            py::return_value_policy::reference_internal, f.doc.c_str());
    }

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
        "parse_case(text, source_name=\"case\") -> Case\n\n"
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
        "read_case(path) -> Case\n\n"
        "Reads the case file at path (str or os.PathLike). Raises InputError, also for a file "
        "that is missing or cannot be read (code 10).");

    // For bench/python_bench.py: the same rate() called in a C++ loop, so
}

}  // namespace hxrate_python
