// diff: the facts of two dictionaries (a data source, a dictionary document or
// a file holding either) compared by the library the tool uses.
#include <memory>

#include <pybind11/stl.h>

#include "DocumentBinding.h"
#include "SourceBinding.h"
#include "VornSourceFile.h"
#include "diff/DictionaryDiff.h"
#include "diff/DictionaryFacts.h"

namespace {

using FactsRef = std::shared_ptr<const DictionaryFacts>;

struct DiffHandle {
    FactsRef a, b;
    DictionaryDiff d;
};

// The facts of a saved document: the document as the library writes it, read
// again without namespaces as the tool reads a saved dictionary.
FactsRef factsOfValue(const ValueHandle& v) {
    std::string text;
    {
        std::lock_guard<std::mutex> hold(v.lock);
        TransStatus st;
        TransString* xml = v.value.asMBCSXML(st);
        text = xml->asMBCS();
        TransValue::releaseString(xml);
        if (st.failure()) throw UsageFailure{"the document could not be written for the diff"};
    }
    xercesc::DOMDocument* parsed = parseXMLText(text, "<document>", true, false);
    std::unique_ptr<xercesc::DOMDocument, void (*)(xercesc::DOMDocument*)> owned(
        parsed, [](xercesc::DOMDocument* d) { d->release(); });
    auto facts = std::make_shared<DictionaryFacts>();
    std::string error;
    if (!factsOfDocument(*owned, *facts, error)) throw UsageFailure{"the document: " + error};
    return facts;
}

// What the Python layer hands over: a DataSource, a Document, or the path of
// a file (bytes) with its shown name.
struct Input {
    const SourceHandle* source = nullptr;
    const DocumentHandle* document = nullptr;
    std::string path, name, fileId;
};

FactsRef factsOf(const Input& in, std::vector<std::string>& notes) {
    if (in.source != nullptr) {
        std::lock_guard<std::mutex> hold(*in.source->lock);
        return std::make_shared<DictionaryFacts>(factsOfSource(*in.source->source));
    }
    if (in.document != nullptr) {
        if (in.document->origin) {
            std::lock_guard<std::mutex> hold(*in.document->originLock);
            return std::make_shared<DictionaryFacts>(factsOfSource(*in.document->origin));
        }
        return factsOfValue(*in.document);
    }
    // As the tool's diff: a data source is loaded, any XML is read as a saved
    // dictionary, without namespaces.
    std::string error;
    const SourceFormat format = DetectSourceFileFormat(in.path, error);
    if (!error.empty()) throw LoadFailure{error, in.name};
    if (format == SourceFormat::Dictionary || format == SourceFormat::XML) {
        xercesc::DOMDocument* parsed = parseXMLFile(in.path, in.name, false);
        std::unique_ptr<xercesc::DOMDocument, void (*)(xercesc::DOMDocument*)> owned(
            parsed, [](xercesc::DOMDocument* d) { d->release(); });
        auto facts = std::make_shared<DictionaryFacts>();
        std::string reason;
        if (!factsOfDocument(*owned, *facts, reason))
            throw LoadFailure{in.name + ": " + reason, in.name};
        return facts;
    }
    if (format != SourceFormat::JSON && format != SourceFormat::DDI)
        throw LoadFailure{in.name + ": neither a data source (JSON, DDI) nor a dictionary",
                          in.name};
    DDILoadOptions options;
    options.fileId = in.fileId;
    std::vector<std::string> loaded;
    std::unique_ptr<VORN_DataSource> source =
        LoadDataSource(in.path, format, error, loaded, options);
    if (!source) throw LoadFailure{error, in.name};
    for (const std::string& note : loaded) notes.push_back(in.name + ": " + note);
    return std::make_shared<DictionaryFacts>(factsOfSource(*source));
}

Input inputOf(const py::object& o, const py::str& name, const py::str& fileId) {
    Input in;
    if (py::isinstance<SourceHandle>(o)) {
        in.source = &o.cast<const SourceHandle&>();
    } else if (py::isinstance<DocumentHandle>(o)) {
        in.document = &o.cast<const DocumentHandle&>();
    } else {
        in.path = std::string(o.cast<py::bytes>());
        in.name = fromStr(name);
    }
    in.fileId = fromStr(fileId);
    return in;
}

py::list namesOf(const DictionaryFacts& facts, const std::vector<std::size_t>& indices) {
    py::list out;
    for (std::size_t i : indices) out.append(toStr(facts.variables[i].name));
    return out;
}

template <std::size_t N>
py::list fieldsOf(unsigned bits, const char* const (&names)[N]) {
    py::list out;
    for (std::size_t i = 0; i < N; ++i)
        if (bits & (1u << i)) out.append(names[i]);
    return out;
}

}  // namespace

void bindDiff(py::module_& m) {
    py::class_<DiffHandle>(m, "Diff", "The difference of two dictionaries")
        .def_property_readonly("added",
                               [](const DiffHandle& h) { return namesOf(*h.b, h.d.added); })
        .def_property_readonly("removed",
                               [](const DiffHandle& h) { return namesOf(*h.a, h.d.removed); })
        .def_property_readonly(
            "changed",
            [](const DiffHandle& h) {
                py::list out;
                for (const DictionaryDiff::Changed& c : h.d.changed)
                    out.append(py::make_tuple(toStr(h.a->variables[c.a].name),
                                              fieldsOf(c.fields, kVariableFieldNames)));
                return out;
            })
        .def_property_readonly(
            "file", [](const DiffHandle& h) { return fieldsOf(h.d.file, kFileFieldNames); })
        .def("__bool__", [](const DiffHandle& h) { return !h.d.same(); })
        .def("to_json",
             [](const DiffHandle& h) {
                 std::string out;
                 {
                     py::gil_scoped_release unlocked;
                     out = diffJSON(*h.a, *h.b, h.d);
                 }
                 return toStr(out);
             })
        .def("to_text",
             [](const DiffHandle& h) {
                 std::string out;
                 {
                     py::gil_scoped_release unlocked;
                     out = diffText(*h.a, *h.b, h.d);
                 }
                 return toStr(out);
             })
        .def("__repr__", [](const DiffHandle& h) {
            return py::str("<transspace.Diff: {} added, {} removed, {} changed>")
                .format(h.d.added.size(), h.d.removed.size(), h.d.changed.size());
        });

    // Returns the diff and the notes of the files it loaded.
    m.def("_diff", [](const py::object& a, const py::str& aName, const py::object& b,
                      const py::str& bName, const py::str& fileId) {
        const Input inA = inputOf(a, aName, fileId), inB = inputOf(b, bName, fileId);
        auto h = std::make_unique<DiffHandle>();
        std::vector<std::string> notes;
        {
            py::gil_scoped_release unlocked;
            h->a = factsOf(inA, notes);
            h->b = factsOf(inB, notes);
            h->d = compareFacts(*h->a, *h->b);
        }
        py::list shown;
        for (const std::string& n : notes) shown.append(toStr(n));
        return py::make_tuple(std::move(h), shown);
    });
}
