// What the parts of the extension module share: the XML runtime that document
// values need, the failures that become the package's exceptions, and text
// conversion. The module runs the host in UTF-8 mode, so every multibyte text
// of the library and the host is UTF-8 and converts to and from str whole.
#ifndef TRANSSPACE_PYTHON_BINDINGS_H
#define TRANSSPACE_PYTHON_BINDINGS_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "TransSpace.h"

namespace py = pybind11;

// A space that keeps the XML runtime up. Every object that holds a document
// value holds the runtime too, so the runtime goes down only after the last
// of them, whatever order the interpreter collects them in.
struct Runtime {
    Runtime();
    ~Runtime();
    std::unique_ptr<TransSpace> space;
};
using RuntimeRef = std::shared_ptr<Runtime>;

// The module's runtime; made when the module is imported.
RuntimeRef runtime();

// A file or text that does not load: line is the loader's one line
// ("name:3:17: message"), name the file's name as given. Raised in Python as
// transspace.LoadError.
struct LoadFailure {
    std::string line;
    std::string name;
};

// A query that failed; raised as transspace.QueryError.
struct QueryFailure {
    std::string message;
    bool warning;
    bool failure;
};

// A use of a closed space, and other misuse; raised as transspace.Error.
struct UsageFailure {
    std::string message;
};

// UTF-8 (from the host in UTF-8 mode) as str; bytes that are not UTF-8 come
// through as lone surrogates, as the file system's names do.
py::str toStr(const char* text, std::size_t size);
inline py::str toStr(const std::string& text) { return toStr(text.data(), text.size()); }
inline py::str toStr(const char* text) { return toStr(text, std::char_traits<char>::length(text)); }

// A str (or bytes) as UTF-8, lone surrogates back as the bytes they stand for.
std::string fromStr(const py::handle& text);

// A str argument as UTF-8, without a copy where Python keeps the UTF-8 form
// already (it does for ASCII). Valid while the str lives; made with the GIL.
class Utf8Arg {
public:
    explicit Utf8Arg(const py::str& text);
    Utf8Arg(const Utf8Arg&) = delete;
    Utf8Arg& operator=(const Utf8Arg&) = delete;
    const char* c_str() const { return data; }

private:
    std::string owned;  // when the text needed converting
    const char* data;
};

// Issues text as a transspace.QueryWarning through warnings.warn. Needs the GIL.
void warnQuery(const std::string& text);

// Called from the module's init, one per part.
void bindDataSource(py::module_& m);
void bindDocument(py::module_& m);
void bindSpace(py::module_& m);
void bindDiff(py::module_& m);

#endif
