// The library's errors as Python exceptions with the same fields: Error and
// its subclasses CaseRejected, InputError, ArithmeticFault, ResourceError,
// InvalidArgument.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>
#include <initializer_list>
#include <utility>

#include "binding.h"
#include "hxrate/errors.h"

namespace hxrate_python {

using hxrate::Case;

namespace {

// The exception types live as long as the interpreter: references kept on
// purpose, never released at exit.
struct ErrorTypes {
    PyObject* error = nullptr;
    PyObject* caseRejected = nullptr;
    PyObject* inputError = nullptr;
    PyObject* arithmeticFault = nullptr;
    PyObject* resourceError = nullptr;
    PyObject* invalidArgument = nullptr;
};
ErrorTypes errorTypes;

// An instance of one of the exception types with its fields.
py::object makeError(PyObject* type, const std::string& what,
                     std::initializer_list<std::pair<const char*, py::object>> fields) {
    auto message = toPythonText(what);
    auto instance = py::reinterpret_steal<py::object>(PyObject_CallOneArg(type, message.ptr()));
    if (!instance) throw py::error_already_set();
    for (const auto& [name, value] : fields) instance.attr(name) = value;
    return instance;
}

const char* faultName(hxrate::Fault fault) {
    switch (fault) {
        case hxrate::Fault::divisionByZero:
            return "division-by-zero";
        case hxrate::Fault::invalidOperation:
            return "invalid-operation";
        case hxrate::Fault::overflow:
            return "overflow";
        case hxrate::Fault::integerConversion:
            break;
    }
    return "integer-conversion";
}

}  // namespace

py::object errorObject(const hxrate::Error& error, const Case& c) {
    if (auto* e = dynamic_cast<const hxrate::CaseRejected*>(&error)) {
        py::object partial = py::none();
        if (auto shared = e->sharedPartial())
            partial = py::cast(std::make_shared<RatingObject>(RatingObject{c, std::move(shared)}));
        return makeError(errorTypes.caseRejected, e->what(),
                         {{"code", py::int_(0)},
                          {"message", toPythonText(e->message())},
                          {"check", toPythonText(hxrate::checkName(e->check()))},
                          {"partial", partial}});
    }
    if (auto* e = dynamic_cast<const hxrate::InputError*>(&error)) {
        return makeError(errorTypes.inputError, e->what(),
                         {{"code", py::int_(e->code())},
                          {"reason", toPythonText(e->reason())},
                          {"file", toPythonText(e->file())},
                          {"case_line", py::int_(e->caseLine())},
                          {"line", py::int_(e->line())},
                          {"column", py::int_(e->column())},
                          {"text", toPythonText(e->text())}});
    }
    if (auto* e = dynamic_cast<const hxrate::ArithmeticError*>(&error)) {
        return makeError(errorTypes.arithmeticFault, e->what(),
                         {{"code", py::int_(e->code())},
                          {"quantity", toPythonText(e->quantity())},
                          {"fault", py::str(faultName(e->fault()))}});
    }
    if (auto* e = dynamic_cast<const hxrate::PropertyRangeError*>(&error)) {
        return makeError(errorTypes.invalidArgument, e->what(),
                         {{"code", py::int_(0)},
                          {"argument", toPythonText(e->argument())},
                          {"stream", toPythonText(e->stream())},
                          {"temperature", py::float_(e->temperature())},
                          {"pressure", py::float_(e->pressure())},
                          {"low", py::float_(e->low())},
                          {"high", py::float_(e->high())}});
    }
    if (auto* e = dynamic_cast<const hxrate::MeanNotSettled*>(&error)) {
        return makeError(errorTypes.invalidArgument, e->what(),
                         {{"code", py::int_(0)},
                          {"argument", toPythonText(e->argument())},
                          {"iterations", py::int_(e->iterations())},
                          {"last_change", py::float_(e->lastChange())}});
    }
    if (auto* e = dynamic_cast<const hxrate::InvalidArgument*>(&error)) {
        return makeError(errorTypes.invalidArgument, e->what(),
                         {{"code", py::int_(0)}, {"argument", toPythonText(e->argument())}});
    }
    PyObject* type = dynamic_cast<const hxrate::ResourceError*>(&error) ? errorTypes.resourceError
                                                                        : errorTypes.error;
    return makeError(type, error.what(), {{"code", py::int_(error.code())}});
}

py::object errorObject(const std::exception_ptr& error, const Case& c) {
    try {
        std::rethrow_exception(error);
    } catch (const hxrate::Error& e) {
        return errorObject(e, c);
    }
}

[[noreturn]] void raise(const hxrate::Error& error, const Case& c) {
    py::object instance = errorObject(error, c);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(instance.ptr())), instance.ptr());
    throw py::error_already_set();
}

namespace {

void translateError(std::exception_ptr failure) {
    try {
        if (failure) std::rethrow_exception(failure);
    } catch (const hxrate::Error& e) {
        raise(e, Case{});
    }
}

PyObject* addErrorType(py::module_& m, const char* name, const char* doc, PyObject* base) {
    std::string qualified = std::string("hxrate.") + name;
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
    if (!type) throw py::error_already_set();
    m.attr(name) = py::reinterpret_borrow<py::object>(type);
    return type;
}

}  // namespace

void bindErrors(py::module_& m) {
    errorTypes.error =
        addErrorType(m, "Error",
                     "Base of every hxrate error. `.code` is the number the program prints as "
                     "'run-time error N' (0 for a rejected case); str(error) reads well alone.",
                     PyExc_RuntimeError);
    errorTypes.caseRejected = addErrorType(
        m, "CaseRejected",
        "A check rejected the case. `.message` is the run-log text exactly, `.check` the "
        "check's stable name (e.g. 'tube-nusselt-range'), `.partial` the Rating formed before "
        "the check (stage tells how far it got) or None.",
        errorTypes.error);
    errorTypes.inputError = addErrorType(
        m, "InputError",
        "The case text could not be read as a case. `.reason` says what is wrong; `.file`, "
        "`.case_line` (1..21, 0 before any), `.line` and `.column` (from 1, 0 when unknown) say "
        "where; `.text` is the offending text ('' when none).",
        errorTypes.error);
    errorTypes.arithmeticFault = addErrorType(
        m, "ArithmeticFault",
        "A formula raised a floating-point fault. `.quantity` names the formula, `.fault` is "
        "'division-by-zero', 'invalid-operation', 'overflow' or 'integer-conversion'.",
        errorTypes.error);
    // Also a MemoryError, so that code catching the interpreter's own
    // out-of-memory error catches the library's too.
    auto resourceBases =
        py::make_tuple(py::handle(errorTypes.error), py::handle(PyExc_MemoryError));
    errorTypes.resourceError = addErrorType(
        m, "ResourceError",
        "The machine refused what the rating needs (memory for the grid of a huge case); also a "
        "MemoryError. `.code` is 30.",
        resourceBases.release().ptr());
    auto invalidArgumentBases =
        py::make_tuple(py::handle(errorTypes.error), py::handle(PyExc_ValueError));
    errorTypes.invalidArgument = addErrorType(
        m, "InvalidArgument",
        "An argument outside the domain of a library function, or a rating assessed with "
        "another case. `.argument` names it; also a ValueError.",
        invalidArgumentBases.release().ptr());
    py::register_exception_translator(translateError);
}

}  // namespace hxrate_python
