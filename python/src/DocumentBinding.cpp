// Document: XML read into a document value, its text and its queries.
#include "DocumentBinding.h"

#include <pybind11/stl.h>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLString.hpp>

#include <chrono>

#include "VornSourceFile.h"
#include "VornXmlReader.h"
#include "XmlIndent.h"

namespace {

using xercesc::DOMDocument;

// The host's reader setup: nothing a document names is opened (no external
// DTD or entity, no schema hint); no validation.
DOMDocument* parseOnce(const xercesc::InputSource& source, const std::string& name,
                       bool namespaces) {
    VornXmlFirstError errors;
    VornXmlReaderGuard guard;  // outlives the parser, as it must
    xercesc::XercesDOMParser parser;
    guard.Apply(parser, &errors);
    parser.setValidationScheme(xercesc::XercesDOMParser::Val_Never);
    parser.setDoNamespaces(namespaces);
    try {
        parser.parse(source);
    } catch (...) {
        if (errors.message.empty()) errors.message = "the parser stopped";
    }
    if (!errors.message.empty()) throw LoadFailure{name + ":" + errors.message, name};
    return parser.adoptDocument();
}

// A warning alone goes to warnings.warn, a failure raises.
void check(const TransStatus& st, const char* what, const char* expression = nullptr,
           const char* context = nullptr) {
    if (!st.failure() && !st.warning()) return;
    std::string message = what;
    if (expression != nullptr)
        message += " of \"" + std::string(expression) + "\" at \"" + context + "\"";
    if (st.failure()) throw QueryFailure{message + ": failed", st.warning(), st.failure()};
    warnQuery(message + ": an empty, absent or partial answer (the warning flag)");
}

// The same setup, the text parsed straight into a document value (no DOM).
std::unique_ptr<DocumentHandle> documentOf(const xercesc::InputSource& source,
                                           const std::string& name, bool namespaces) {
    VornXmlFirstError errors;
    TransStatus st;
    TransValue value;
    try {
        value = TransValue::parseXML(source, namespaces, &errors, st);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        if (errors.message.empty()) errors.message = "the parser stopped";
    }
    if (st.failure() && errors.message.empty()) errors.message = "the parser stopped";
    if (!errors.message.empty()) throw LoadFailure{name + ":" + errors.message, name};
    return std::make_unique<DocumentHandle>(std::move(value), ValueHandle::Document);
}

// A local file by its path, never a URL, whatever the name looks like.
std::unique_ptr<xercesc::LocalFileInputSource> fileSource(const std::string& path,
                                                          const std::string& name) {
    XMLCh* units = xercesc::XMLString::transcode(path.c_str());
    std::unique_ptr<xercesc::LocalFileInputSource> source;
    try {
        source = std::make_unique<xercesc::LocalFileInputSource>(units);
    } catch (...) {
        xercesc::XMLString::release(&units);
        throw LoadFailure{name + ": cannot be opened", name};
    }
    xercesc::XMLString::release(&units);
    return source;
}

// A text's bytes; forceUTF8 as for parseXMLText. Lives no longer than text.
std::unique_ptr<xercesc::MemBufInputSource> textSource(const std::string& text,
                                                       const std::string& name, bool forceUTF8) {
    auto bytes = std::make_unique<xercesc::MemBufInputSource>(
        reinterpret_cast<const XMLByte*>(text.data()), text.size(), name.c_str());
    if (forceUTF8) bytes->setEncoding(u"UTF-8");
    return bytes;
}

// Results of the library go back to it.
struct StringResult {
    TransString* p = nullptr;
    ~StringResult() {
        if (p != nullptr) TransValue::releaseString(p);
    }
};
struct ListResult {
    TransStringList* p = nullptr;
    ~ListResult() {
        if (p != nullptr) TransValue::releaseStringList(p);
    }
};

}  // namespace

DOMDocument* parseXMLFile(const std::string& path, const std::string& name, bool namespaces) {
    return parseOnce(*fileSource(path, name), name, namespaces);
}

DOMDocument* parseXMLText(const std::string& text, const std::string& name, bool forceUTF8,
                          bool namespaces) {
    return parseOnce(*textSource(text, name, forceUTF8), name, namespaces);
}

std::unique_ptr<DocumentHandle> dictionaryOf(const std::shared_ptr<const VORN_DataSource>& source,
                                             const std::shared_ptr<std::mutex>& sourceLock) {
    std::lock_guard<std::mutex> hold(*sourceLock);
    std::unique_ptr<DocumentHandle> d;
    try {
        d = std::make_unique<DocumentHandle>(TransValue(*source), ValueHandle::Document);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        throw UsageFailure{"the dictionary document could not be built"};
    }
    d->origin = source;
    d->originLock = sourceLock;
    return d;
}

py::str queryText(const ValueHandle& v, const py::str& expressionText, const py::str& contextText) {
    const Utf8Arg expression(expressionText), context(contextText);
    TransStatus st;
    StringResult result;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(v.lock);
        result.p =
            v.value.asString(TransString(context.c_str()), TransString(expression.c_str()), st);
    }
    check(st, "the query", expression.c_str(), context.c_str());
    return toStr(result.p->asMBCS());
}

py::list queryList(const ValueHandle& v, const py::str& expressionText,
                   const py::str& contextText) {
    const Utf8Arg expression(expressionText), context(contextText);
    TransStatus st;
    ListResult result;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(v.lock);
        result.p =
            v.value.asStringList(TransString(context.c_str()), TransString(expression.c_str()), st);
    }
    check(st, "the query", expression.c_str(), context.c_str());
    py::list out(result.p->size());
    for (unsigned i = 0; i < result.p->size(); ++i) out[i] = toStr(result.p->asMBCS(i));
    return out;
}

double queryNumber(const ValueHandle& v, const py::str& expressionText,
                   const py::str& contextText) {
    const Utf8Arg expression(expressionText), context(contextText);
    TransStatus st;
    double result = 0;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(v.lock);
        result =
            v.value.asDouble(TransString(context.c_str()), TransString(expression.c_str()), st);
    }
    check(st, "the query", expression.c_str(), context.c_str());
    return result;
}

py::str valueText(const ValueHandle& v) {
    TransStatus st;
    StringResult result;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(v.lock);
        result.p = v.value.asString(st);
    }
    check(st, "as_string");
    return toStr(result.p->asMBCS());
}

double valueNumber(const ValueHandle& v) {
    TransStatus st;
    double result = 0;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(v.lock);
        result = v.value.asDouble(st);
    }
    check(st, "as_double");
    return result;
}

py::str xmlText(const ValueHandle& v, bool indent) {
    TransStatus st;
    std::string text;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(v.lock);
        TransString* result = v.value.asMBCSXML(st);
        text = result->asMBCS();
        TransValue::releaseString(result);
        if (indent && !st.failure()) text = indentXML(text);
    }
    if (st.failure()) throw UsageFailure{"the document could not be written as XML"};
    return toStr(text);
}

void bindDocument(py::module_& m) {
    py::class_<DocumentHandle> document(m, "Document", "An XML document value; read-only");
    bindQueries(document);
    document.def("__repr__", [](const DocumentHandle& d) {
        return d.origin ? "<transspace.Document: a dictionary>" : "<transspace.Document>";
    });

    // The benchmark's baseline (scripts/python-bench): the queries that
    // Document.query makes, in a C++ loop; seconds for all of them.
    m.def("_bench_query", [](const DocumentHandle& d, const std::string& expression,
                             const std::vector<std::string>& contexts) {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(d.lock);
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& c : contexts) {
            TransStatus st;
            TransString* result =
                d.value.asString(TransString(c.c_str()), TransString(expression.c_str()), st);
            TransValue::releaseString(result);
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    m.def("_parse_xml", [](const py::object& text, const py::str& name) {
        const bool isStr = PyUnicode_Check(text.ptr());
        const std::string bytes = fromStr(text);
        const std::string shown = fromStr(name);
        py::gil_scoped_release unlocked;
        // A dictionary is read as the library wrote it, without namespaces.
        const bool namespaces = DetectSourceFormat(bytes) != SourceFormat::Dictionary;
        return documentOf(*textSource(bytes, shown, isStr), shown, namespaces);
    });
    m.def("_read_xml", [](const py::bytes& path, const py::str& name) {
        const std::string file(path);
        const std::string shown = fromStr(name);
        py::gil_scoped_release unlocked;
        std::string error;
        const SourceFormat format = DetectSourceFileFormat(file, error);
        if (!error.empty()) throw LoadFailure{error, shown};
        return documentOf(*fileSource(file, shown), shown, format != SourceFormat::Dictionary);
    });
}
