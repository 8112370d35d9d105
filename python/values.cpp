// Values crossing the boundary between Python and the library: texts as
// bytes, finite reals, 32-bit integers.
#include <cmath>
#include <limits>

#include "binding.h"

namespace hxrate_python {

std::string typeName(py::handle value) {
    return Py_TYPE(value.ptr())->tp_name;
}

// Library texts are bytes as read from a case file; any byte survives the
// round trip through Python (undecodable ones as surrogate escapes).
py::str toPythonText(std::string_view text) {
    PyObject* s =
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

std::string fromPythonText(py::handle value, const std::string& what) {
    if (!PyUnicode_Check(value.ptr()))
        throw py::type_error(what + " must be str, not " + typeName(value));
    PyObject* bytes = PyUnicode_AsEncodedString(value.ptr(), "utf-8", "surrogateescape");
    if (!bytes) throw py::error_already_set();
    return std::string(py::reinterpret_steal<py::bytes>(bytes));
}

static bool isText(py::handle value) {
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
           PyByteArray_Check(value.ptr());
}

// A real value: any number but bool and text; finite, since a case file
// cannot hold an infinity or a NaN either.
double toReal(py::handle value, const std::string& what) {
    if (value.is_none() || PyBool_Check(value.ptr()) || isText(value))
        throw py::type_error(what + " must be a real number, not " + typeName(value));
    double x = PyFloat_AsDouble(value.ptr());
    if (x == -1.0 && PyErr_Occurred()) {
        if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
            PyErr_Clear();
            throw py::value_error(what + " is too large for a double");
        }
        PyErr_Clear();
        throw py::type_error(what + " must be a real number, not " + typeName(value));
    }
    if (!std::isfinite(x))
        throw py::value_error(what + " must be finite, got " + std::to_string(x));
    return x;
}

// A 32-bit integer: an int (or anything with __index__), or a real with no
// fractional part, as a sweep over numpy floats gives.
std::int32_t toInt32(py::handle value, const std::string& what) {
    if (value.is_none() || PyBool_Check(value.ptr()) || isText(value))
        throw py::type_error(what + " must be an integer, not " + typeName(value));
    constexpr long long lowest = std::numeric_limits<std::int32_t>::min();
    constexpr long long highest = std::numeric_limits<std::int32_t>::max();
    if (PyIndex_Check(value.ptr())) {
        auto index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
        if (!index) throw py::error_already_set();
        int overflow = 0;
        long long n = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
        if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
        if (overflow != 0 || n < lowest || n > highest)
            throw py::value_error(what +
                                  " does not fit a 32-bit integer: " + std::string(py::str(value)));
        return static_cast<std::int32_t>(n);
    }
    double x = PyFloat_AsDouble(value.ptr());
    if (x == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        throw py::type_error(what + " must be an integer, not " + typeName(value));
    }
    if (!std::isfinite(x) || std::trunc(x) != x)
        throw py::value_error(what + " must be a whole number, got " +
                              std::string(py::repr(value)));
    if (x < static_cast<double>(lowest) || x > static_cast<double>(highest))
        throw py::value_error(what +
                              " does not fit a 32-bit integer: " + std::string(py::repr(value)));
    return static_cast<std::int32_t>(x);
}

}  // namespace hxrate_python
