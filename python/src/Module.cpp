// The extension module transspace._core. Its exceptions and warnings are
// classes of the pure Python layer (transspace._errors), imported once here.
#include <pybind11/pybind11.h>

#include "Bindings.h"
#include "VornPlatform.h"

namespace {

// Held for the life of the process: the classes outlive every call, and the
// module is never unloaded.
PyObject* errorClass = nullptr;
PyObject* loadErrorClass = nullptr;
PyObject* queryErrorClass = nullptr;
PyObject* queryWarningClass = nullptr;

RuntimeRef moduleRuntime;

PyObject* classOf(const py::module_& errors, const char* name) {
    return py::object(errors.attr(name)).release().ptr();
}

void raise(PyObject* type, const py::object& instance) { PyErr_SetObject(type, instance.ptr()); }

}  // namespace

Runtime::Runtime() : space(std::make_unique<TransSpace>()) {}

Runtime::~Runtime() = default;

RuntimeRef runtime() { return moduleRuntime; }

py::str toStr(const char* text, std::size_t size) {
    PyObject* s = PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(size), "surrogateescape");
    if (s == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

std::string fromStr(const py::handle& text) {
    if (PyBytes_Check(text.ptr())) return std::string(py::reinterpret_borrow<py::bytes>(text));
    if (!PyUnicode_Check(text.ptr())) throw py::type_error("expected str");
    Py_ssize_t size = 0;
    // The fast path: a str without lone surrogates has its UTF-8 cached.
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size))
        return std::string(utf8, static_cast<std::size_t>(size));
    PyErr_Clear();
    PyObject* bytes = PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
    if (bytes == nullptr) throw py::error_already_set();
    std::string out(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
    Py_DECREF(bytes);
    return out;
}

Utf8Arg::Utf8Arg(const py::str& text) : data(nullptr) {
    Py_ssize_t size = 0;
    data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (data == nullptr) {
        PyErr_Clear();
        owned = fromStr(text);
        data = owned.c_str();
    }
}

void warnQuery(const std::string& text) {
    if (PyErr_WarnEx(queryWarningClass, text.c_str(), 1) != 0) throw py::error_already_set();
}

PYBIND11_MODULE(_core, m) {
    m.doc() = "The transspace library, its host's loaders and the diff";
    // Python's texts are Unicode: the host's multibyte texts are UTF-8,
    // whatever the process's locale says.
    SetUTF8Mode(1);
    moduleRuntime = std::make_shared<Runtime>();
    // The runtime goes when the module's dictionary is cleared at exit, after
    // the documents that hold it too.
    m.add_object("_runtime", py::capsule(new RuntimeRef(moduleRuntime), [](void* p) {
                     moduleRuntime.reset();
                     delete static_cast<RuntimeRef*>(p);
                 }));

    py::module_ errors = py::module_::import("transspace._errors");
    errorClass = classOf(errors, "Error");
    loadErrorClass = classOf(errors, "LoadError");
    queryErrorClass = classOf(errors, "QueryError");
    queryWarningClass = classOf(errors, "QueryWarning");
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const LoadFailure& e) {
            raise(loadErrorClass,
                  py::reinterpret_borrow<py::object>(loadErrorClass)(toStr(e.line), toStr(e.name)));
        } catch (const QueryFailure& e) {
            raise(queryErrorClass, py::reinterpret_borrow<py::object>(queryErrorClass)(
                                       toStr(e.message), py::arg("warning") = e.warning,
                                       py::arg("failure") = e.failure));
        } catch (const UsageFailure& e) {
            PyErr_SetString(errorClass, e.message.c_str());
        }
    });

    bindDataSource(m);
    bindDocument(m);
    bindSpace(m);
    bindDiff(m);
}
