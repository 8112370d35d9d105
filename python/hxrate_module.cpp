// The Python module _hxrate: a thin layer over include/hxrate, one file per
// topic (bind_errors.cpp, bind_case.cpp, bind_rating.cpp, bind_program.cpp);
// every quantity comes from the library unchanged.
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>

#include <algorithm>

#include "binding.h"

namespace {

namespace py = pybind11;
using py::handle;

// Every class of the module that does not reduce itself reduces with every
// protocol as with protocol 2: pickled through its __getstate__ and
// __setstate__ where it has them, else TypeError. Protocols 0 and 1 would
// otherwise build an instance with no C++ object behind it, which ends the
// interpreter.
void reduceEveryProtocolAsTwo(py::module_& m) {
    py::object objectReduceEx =
        py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyBaseObject_Type))
            .attr("__reduce_ex__");
    for (auto item : py::reinterpret_borrow<py::dict>(m.attr("__dict__"))) {
        handle value = item.second;
        if (!PyType_Check(value.ptr()) ||
            !py::detail::get_type_info(reinterpret_cast<PyTypeObject*>(value.ptr())))
            continue;
        auto type = py::reinterpret_borrow<py::object>(value);
        // A class that reduces itself, or inherits that from a class of the module.
        py::object reduceEx = type.attr("__reduce_ex__");
        if (!reduceEx.is(objectReduceEx)) continue;
        type.attr("__reduce_ex__") = py::cpp_function(
            [objectReduceEx](handle self, int protocol) {
                return objectReduceEx(self, std::max(protocol, 2));
            },
            py::name("__reduce_ex__"), py::is_method(type),
            "Pickling support: every protocol as protocol 2 (TypeError for a class that cannot "
            "be pickled).");
        // No __reduce__ of its own: object.__reduce_ex__ would call it.
    }
}

const char* const moduleDoc = R"(Rating of single-pass shell-and-tube heat exchangers.

Read a case with read_case() or parse_case(), or build one with Case(...);
rate() it to get a Rating with the film coefficients, the conductance, the
temperature profile (numpy views) and the results report. A case that a check
rejects raises CaseRejected; every error derives from hxrate.Error.)";

}  // namespace

PYBIND11_MODULE(_hxrate, m) {
    using namespace hxrate_python;
    m.doc() = moduleDoc;
    m.attr("__version__") = hxrate::version();
    bindErrors(m);
    bindCase(m);
    bindRating(m);
    bindProgram(m);
    bindAssessment(m);
    // What __reduce__ of a picklable class names: a Python function, as
    // pickle finds a function of this module by its name only when it is one.
    py::exec(R"(
def _restore(kind, *state):
    """Rebuilds a pickled object of this module from its state."""
    return globals()["_restore_" + kind](*state)
)",
             m.attr("__dict__"));
    bindDesign(m);
    bindVariants(m);
    bindVibration(m);
    bindExchanger(m);
    bindMonitoring(m);
    bindDesignSearch(m);
    reduceEveryProtocolAsTwo(m);
}
