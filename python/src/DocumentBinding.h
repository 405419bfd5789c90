// A document value as the package holds it, and the one way the package reads
// XML files and texts into documents.
#ifndef TRANSSPACE_PYTHON_DOCUMENTBINDING_H
#define TRANSSPACE_PYTHON_DOCUMENTBINDING_H

#include <memory>
#include <mutex>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "Bindings.h"
#include "TransValue.h"
#include "VornDataSource.h"

// A value of any kind with the runtime it needs. The runtime is the first
// member, so it goes after the value.
struct ValueHandle {
    enum Kind { Null, Text, Number, Document };

    ValueHandle(TransValue v, Kind k) : rt(runtime()), value(std::move(v)), kind(k) {}

    RuntimeRef rt;
    TransValue value;
    Kind kind;
    // The data source a dictionary was built from; the diff reads its facts
    // there instead of from the document.
    std::shared_ptr<const VORN_DataSource> origin;
    std::shared_ptr<std::mutex> originLock;  // the source's own lock
    // A value has one XPath evaluator: one query at a time.
    mutable std::mutex lock;
};

// What parse_xml, read_xml and DataSource.dictionary make.
struct DocumentHandle : ValueHandle {
    using ValueHandle::ValueHandle;
};

// The package's one parser setup, for the diff's DOM: no validation, no DTD
// or entity from outside the document. namespaces false reads a dictionary
// as the library wrote it. Throws LoadFailure ("name:line:column: message")
// when the text is not well-formed XML. The caller releases the document.
// parse_xml and read_xml parse with the same setup straight into document
// values (TransValue::parseXML), with the same messages.
xercesc::DOMDocument* parseXMLFile(const std::string& path, const std::string& name,
                                   bool namespaces);
// forceUTF8: the bytes are UTF-8 whatever their declaration says (a str
// encoded for the parser).
xercesc::DOMDocument* parseXMLText(const std::string& text, const std::string& name, bool forceUTF8,
                                   bool namespaces);

// The dictionary document of a data source. Call without the GIL.
std::unique_ptr<DocumentHandle> dictionaryOf(const std::shared_ptr<const VORN_DataSource>& source,
                                             const std::shared_ptr<std::mutex>& sourceLock);

// What Document and Value answer, each with the GIL released while the
// library works. A failure raises QueryError (Error for xml); a warning alone
// goes to warnings.warn as a QueryWarning.
py::str queryText(const ValueHandle& v, const py::str& expression, const py::str& context);
py::list queryList(const ValueHandle& v, const py::str& expression, const py::str& context);
double queryNumber(const ValueHandle& v, const py::str& expression, const py::str& context);
py::str valueText(const ValueHandle& v);
double valueNumber(const ValueHandle& v);
py::str xmlText(const ValueHandle& v, bool indent);

// Binds xml and the three queries on a class of values.
template <class Handle>
void bindQueries(py::class_<Handle>& cls) {
    cls.def(
           "xml", [](const Handle& v, bool indent) { return xmlText(v, indent); }, py::kw_only(),
           py::arg("indent") = false)
        .def(
            "query",
            [](const Handle& v, const py::str& expression, const py::str& context) {
                return queryText(v, expression, context);
            },
            py::arg("expression"), py::arg("context") = "/")
        .def(
            "query_list",
            [](const Handle& v, const py::str& expression, const py::str& context) {
                return queryList(v, expression, context);
            },
            py::arg("expression"), py::arg("context") = "/")
        .def(
            "query_number",
            [](const Handle& v, const py::str& expression, const py::str& context) {
                return queryNumber(v, expression, context);
            },
            py::arg("expression"), py::arg("context") = "/");
}

#endif
