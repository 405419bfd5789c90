// What a document's queries rest on, and what they cost a host over a whole
// dictionary: the query view made over the document's store (Xalan's
// interfaces and the resolver) beside Xalan's own tree that queries ran on
// before (SourceTree, made from the DOM), the attribute index made on the view
// for by-name paths (with the bytes each holds as counters), queries the index
// leaves to the processor on both views, the by-name query on the same
// dictionary holding one CDATA section, and a host reading every variable's
// label by name from a value it has just made, first query and view included.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>
#include <xercesc/dom/DOM.hpp>

#include "BenchSources.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/SourceTree.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/CompiledXPath.h"
#include "value/xpath/DocumentCore.h"
#include "value/xpath/XPathEngine.h"

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

namespace {

int sizeOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// The builder's dictionary of n variables, made once per size; with cdata,
// the middle variable also holds a CDATA section.
const DOMDocument* dictionaryDOM(int n, bool cdata) {
    runSpace();
    struct Kept {
        std::map<std::pair<int, bool>, DOMDocument*> documents;
        ~Kept() {
            for (auto& entry : documents) entry.second->release();
        }
    };
    static Kept kept;
    DOMDocument*& document = kept.documents[{n, cdata}];
    if (document == nullptr) {
        const HostTextMode utf8(nullptr);
        DictionaryBuilder builder;
        document = builder.build(sourceOf(n));
        if (cdata) {
            DOMNode* middle = document->getElementsByTagName(u"variable")->item(n / 2);
            middle->appendChild(document->createCDATASection(u"a note <kept> as written"));
        }
    }
    return document;
}

// The view of a document as DocumentCore made it before the store: Xalan's
// own tree, made from the DOM.
struct SourceTreeView {
    std::unique_ptr<SourceTree> tree;
    std::unique_ptr<xalan::XalanDocumentPrefixResolver> resolver;
    explicit SourceTreeView(const DOMDocument* document)
        : tree(SourceTree::build(*DocumentStore::fromDom(document))) {
        resolver.reset(
            new xalan::XalanDocumentPrefixResolver(&tree->document(), xalan::XalanDOMString(),
                                                   xalan::XalanMemMgrs::getDefaultXercesMemMgr()));
    }
};

// The view of a document as DocumentCore makes it: over the document's store.
struct View {
    std::unique_ptr<DocumentStore> store;
    DocumentCore::QueryView view;
    explicit View(const DOMDocument* document) : store(DocumentStore::fromDom(document)) { make(); }
    void make() {
        view.tree = StoreView::build(*store);
        view.root = &view.tree->document();
        view.resolver.reset(
            new xalan::XalanDocumentPrefixResolver(&view.tree->document(), xalan::XalanDOMString(),
                                                   xalan::XalanMemMgrs::getDefaultXercesMemMgr()));
    }
};

// Asks every node of a tree for its value, as a query over all of them would.
void touchValues(xalan::XalanNode* node) {
    while (node != nullptr) {
        keep(&node->getNodeValue());
        if (const xalan::XalanNamedNodeMap* attributes = node->getAttributes())
            for (xalan::XalanSize_t i = 0; i < attributes->getLength(); ++i)
                keep(&attributes->item(i)->getNodeValue());
        if (node->getFirstChild() != nullptr) {
            node = node->getFirstChild();
            continue;
        }
        while (node != nullptr && node->getNextSibling() == nullptr) node = node->getParentNode();
        if (node != nullptr) node = node->getNextSibling();
    }
}

// The old view: Xalan's tree made from the DOM.
void BM_SourceTreeMake(benchmark::State& state, bool cdata) {
    const DOMDocument* document = dictionaryDOM(sizeOf(state), cdata);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<SourceTreeView> made(new SourceTreeView(document));
        keep(made->resolver.get());
        state.PauseTiming();
        bytes = made->tree->memory();
        made.reset();
        state.ResumeTiming();
    }
    state.counters["view_bytes"] = static_cast<double>(bytes);
}

// The view over the store the value holds (made once, outside the timing);
// view_bytes as built, all_values_bytes once every value has been asked for.
void BM_QueryViewMake(benchmark::State& state, bool cdata) {
    const DOMDocument* document = dictionaryDOM(sizeOf(state), cdata);
    std::unique_ptr<View> made(new View(document));
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        made->view = DocumentCore::QueryView();
        state.ResumeTiming();
        made->make();
        keep(made->view.root);
        state.PauseTiming();
        bytes = made->view.tree->memory();
        state.ResumeTiming();
    }
    touchValues(made->view.root);
    state.counters["view_bytes"] = static_cast<double>(bytes);
    state.counters["all_values_bytes"] = static_cast<double>(made->view.tree->memory());
    state.counters["store_bytes"] = static_cast<double>(made->store->memory());
    state.counters["nodes"] = made->store->nodeCount();
    state.counters["attributes"] = made->store->attributeCount();
}

void BM_AttributeIndexMake(benchmark::State& state) {
    const int n = sizeOf(state);
    const View made(dictionaryDOM(n, false));
    XPathEngine engine;
    const IndexedPath path{u"/dictionary/variable", u"@name", u""};
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<const AttributeIndex> index =
            DocumentCore::makeIndex(made.view, path, engine);
        keep(index.get());
        state.PauseTiming();
        const bool right = index && index->find(u"v0").count == 1;
        bytes = right ? index->memory() : 0;
        index.reset();
        state.ResumeTiming();
        if (!right) {
            state.SkipWithError("the index does not hold the variables");
            return;
        }
    }
    state.counters["index_bytes"] = static_cast<double>(bytes);
    state.counters["view_bytes"] = static_cast<double>(made.view.tree->memory());
}

// The by-name query of BM_QueryString on the dictionary with a CDATA section.
void BM_QueryStringCDATA(benchmark::State& state) {
    const int n = sizeOf(state);
    static std::map<int, std::unique_ptr<TransValue>> kept;
    std::unique_ptr<TransValue>& value = kept[n];
    if (!value) value.reset(new TransValue(dictionaryDOM(n, true)));
    const TransString path = mbcsString(byNamePath(n));
    const TransString label("@label");
    if (takeUTF8(value->asString(path, label)) !=
        "Question " + std::to_string(n - 1) + " of the survey") {
        state.SkipWithError("the value's answer is not the data source's");
        return;
    }
    for (auto _ : state) {
        TransStatus st;
        TransString* answer = value->asString(path, label, st);
        keep(answer);
        TransValue::releaseString(answer);
    }
}

// Queries the index leaves to the processor, on the old view and on the
// store's: every variable counted, and the last one's label found by name.
void BM_WholeDocument(benchmark::State& state, bool overStore, bool byName) {
    const int n = sizeOf(state);
    const DOMDocument* document = dictionaryDOM(n, false);
    std::unique_ptr<SourceTreeView> old;
    std::unique_ptr<View> made;
    xalan::XalanNode* root;
    const xalan::PrefixResolver* resolver;
    if (overStore) {
        made.reset(new View(document));
        root = made->view.root;
        resolver = made->view.resolver.get();
    } else {
        old.reset(new SourceTreeView(document));
        root = &old->tree->document();
        resolver = old->resolver.get();
    }
    const std::string last = std::to_string(n - 1);
    const std::string text =
        byName ? "//variable[@name='v" + last + "']/@label" : std::string("count(//variable)");
    XPathEngine engine;
    xalan::XalanSourceTreeDOMSupport domSupport;
    const CompiledXPath xpath(std::u16string(text.begin(), text.end()).c_str(), *resolver);
    {
        const xalan::XObjectPtr first = engine.evaluate(domSupport, root, xpath.xpath(), *resolver);
        const xalan::XalanDOMString& answer = first->str();
        const std::string expected =
            byName ? "Question " + last + " of the survey" : std::to_string(n);
        if (std::u16string(answer.c_str(), answer.length()) !=
            std::u16string(expected.begin(), expected.end())) {
            state.SkipWithError("the view's answer is not the data source's");
            return;
        }
    }
    for (auto _ : state) {
        const xalan::XObjectPtr answer =
            engine.evaluate(domSupport, root, xpath.xpath(), *resolver);
        keep(answer.get());
    }
}

// Every label by name from a value just made from the document: the first
// query makes the view and the index.
void BM_ReadAllLabels(benchmark::State& state) {
    const int n = sizeOf(state);
    const DOMDocument* document = dictionaryDOM(n, false);
    std::vector<TransString> paths;
    for (int i = 0; i < n; ++i)
        paths.push_back(mbcsString("/dictionary/variable[@name='v" + std::to_string(i) + "']"));
    const TransString label("@label");
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TransValue> value(new TransValue(document));
        state.ResumeTiming();
        int empty = 0;
        for (const TransString& path : paths) {
            TransStatus st;
            TransString* answer = value->asString(path, label, st);
            empty += answer->empty() ? 1 : 0;
            TransValue::releaseString(answer);
        }
        state.PauseTiming();
        value.reset();
        state.ResumeTiming();
        if (empty != 0) {
            state.SkipWithError("labels missing");
            return;
        }
    }
}

void registerQueryViews() {
    const auto ms = benchmark::kMillisecond;
    const auto us = benchmark::kMicrosecond;
    for (int n : {1000, 10000, 100000}) {
        const bool big = n >= 100000;
        for (auto* b :
             {benchmark::RegisterBenchmark("BM_QueryViewMake", BM_QueryViewMake, false),
              benchmark::RegisterBenchmark("BM_QueryViewMakeCDATA", BM_QueryViewMake, true),
              benchmark::RegisterBenchmark("BM_SourceTreeMake", BM_SourceTreeMake, false),
              benchmark::RegisterBenchmark("BM_SourceTreeMakeCDATA", BM_SourceTreeMake, true),
              benchmark::RegisterBenchmark("BM_AttributeIndexMake", BM_AttributeIndexMake)}) {
            b->Arg(n)->Unit(ms);
            if (big) b->Iterations(1)->Repetitions(3);
        }
        benchmark::RegisterBenchmark("BM_QueryStringCDATA", BM_QueryStringCDATA)->Arg(n)->Unit(us);
        if (n >= 10000) {
            for (auto* b : {
                     benchmark::RegisterBenchmark("BM_WholeDocumentCount/old", BM_WholeDocument,
                                                  false, false),
                     benchmark::RegisterBenchmark("BM_WholeDocumentCount/store", BM_WholeDocument,
                                                  true, false),
                     benchmark::RegisterBenchmark("BM_WholeDocumentByName/old", BM_WholeDocument,
                                                  false, true),
                     benchmark::RegisterBenchmark("BM_WholeDocumentByName/store", BM_WholeDocument,
                                                  true, true),
                 }) {
                b->Arg(n)->Unit(ms);
                if (big) b->Iterations(5)->Repetitions(3);
            }
        }
        auto* all =
            benchmark::RegisterBenchmark("BM_ReadAllLabels", BM_ReadAllLabels)->Arg(n)->Unit(ms);
        if (n >= 10000) all->Iterations(1)->Repetitions(big ? 1 : 3);
    }
}

const bool registered = (registerQueryViews(), true);

}  // namespace
