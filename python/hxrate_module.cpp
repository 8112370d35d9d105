// The Python module _hxrate: a thin layer over include/hxrate, one file per
// topic (bind_errors.cpp, bind_case.cpp, bind_rating.cpp, bind_program.cpp);
// every quantity comes from the library unchanged.
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>

#include "binding.h"

namespace {

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
    // What __reduce__ of Case, Fluid and Rating names: a Python function, as
    // pickle finds a function of this module by its name only when it is one.
    py::exec(R"(
def _restore(kind, *state):
    """Rebuilds a pickled Case, Fluid or Rating from its state."""
    return globals()["_restore_" + kind](*state)
)",
             m.attr("__dict__"));
    bindDesign(m);
    bindVariants(m);
}
