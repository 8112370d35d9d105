// Facts of the program that a caller may want beside a rating.
#include <pybind11/pybind11.h>

#include "binding.h"

namespace hxrate_python {

using namespace pybind11::literals;

void bindProgram(py::module_& m) {
    m.def(
        "exchanger_title",
        [](py::handle type) { return hxrate::exchangerTitle(toInt32(type, "type")); }, "type"_a,
        "exchanger_title(type) -> str\n\nThe report's title of an exchanger type; '' for a type "
        "outside 0..3.");
}

}  // namespace hxrate_python
