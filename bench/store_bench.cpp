// The compact document store against libxml2 on the same dictionary
// documents (data sources of 1,000, 10,000 and 100,000 variables), and what a
// held dictionary value costs.
//
// Build: the dictionary's tree is recorded once per size, outside the timing,
// as a flat list of build events (open element, attribute, close), in UTF-8
// for libxml2 and in UTF-16 for the store. libxml2 replays it through its tree
// API (xmlNewDocNode, xmlNewChild, xmlNewProp), writes the text with
// xmlDocDumpMemory and frees the tree; the store replays it through its
// building members and is freed. Until the store writes its own text, its row
// times the build alone (storeWriteUTF8 below is the one place to add it).
//
// Parse: the saved dictionary's text, read by libxml2's xmlReadMemory and by
// the library's path of today (Xerces' DOM parser, set up as the tool reads a
// saved dictionary, then the value's copy); the parse straight into the store
// joins through storeParse below.
//
// Memory: counters in bytes per variable, taken in one untimed pass before
// the timed runs: libxml2's own heap (its allocation functions counted
// through xmlMemSetup), the store's memory(), and for both the heap in use
// before and after (mallinfo2: bytes in use plus mmapped blocks), which also
// counts the allocator's overhead. Built without libxml2, only the store's
// and the library's rows remain.
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#ifdef TRANSSPACE_BENCH_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>
#endif
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include <unicode/unistr.h>

#include "BenchSources.h"
#include "TransSpace.h"
#include "TransValue.h"
#include "VornPlatform.h"
#include "VornXmlReader.h"
#include "dictionary/DictionaryBuilder.h"
#include "value/DocumentWriter.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/DocumentDepth.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// ---- Where the store's own writer and parser join ----

// The store's text in UTF-8 for the build-and-write row, by the writer a
// value's asMBCSXML uses in UTF-8 mode.
using StoreWriter = bool (*)(const DocumentStore& store, std::string& out);
StoreWriter storeWriteUTF8 = [](const DocumentStore& s, std::string& out) {
    return writeDocumentUTF8(s, maxSerializedDepth, out) == Written::whole;
};

// The saved dictionary's text parsed straight into a store: null until that
// parse exists. Null from the function means the parse failed.
using StoreParser = std::unique_ptr<DocumentStore> (*)(const std::string& xml);
constexpr StoreParser storeParse = nullptr;

// ---- Measuring ----

// Heap in use: bytes in allocated chunks plus mmapped blocks.
double heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

void perVariableTime(benchmark::State& state, int variables) {
    state.counters["per_variable"] = benchmark::Counter(
        static_cast<double>(variables),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

int sizeOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// ---- The recorded tree ----

enum class Event : std::uint8_t { open, attribute, close };

// Build events with their names and values as offsets into one buffer of
// zero-terminated strings.
template <class Char>
struct Recording {
    struct Step {
        Event event;
        std::uint32_t name, nameLength;
        std::uint32_t value, valueLength;
    };
    std::vector<Step> steps;
    std::basic_string<Char> text;

    std::uint32_t add(std::basic_string_view<Char> s) {
        const auto at = static_cast<std::uint32_t>(text.size());
        text.append(s);
        text.push_back(Char(0));
        return at;
    }
    const Char* at(std::uint32_t offset) const { return text.data() + offset; }
    std::basic_string_view<Char> view(std::uint32_t offset, std::uint32_t length) const {
        return std::basic_string_view<Char>(text.data() + offset, length);
    }
};

// What the benchmarks of one size share, made once per size from one build
// of the dictionary: the recordings, the saved text and the tree's counts.
struct Dictionary {
    Recording<char> utf8;
    Recording<char16_t> utf16;
    std::string saved;  // as writeDocumentUTF8 writes the value's document
    std::size_t elements = 0, attributes = 0;
    bool complete = true;  // false: the tree held a node that is no element
};

std::string toUTF8(std::u16string_view s) {
    std::string out;
    icu::UnicodeString(false, s.data(), static_cast<int32_t>(s.size())).toUTF8String(out);
    return out;
}

void record(const DOMElement* e, Dictionary& d) {
    const std::u16string_view tag(e->getTagName());
    const std::string tag8 = toUTF8(tag);
    d.utf16.steps.push_back({Event::open, d.utf16.add(tag), std::uint32_t(tag.size()), 0, 0});
    d.utf8.steps.push_back({Event::open, d.utf8.add(tag8), std::uint32_t(tag8.size()), 0, 0});
    ++d.elements;
    const DOMNamedNodeMap* attributes = e->getAttributes();
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        const DOMNode* a = attributes->item(i);
        const std::u16string_view name(a->getNodeName()), value(a->getNodeValue());
        const std::string name8 = toUTF8(name), value8 = toUTF8(value);
        d.utf16.steps.push_back({Event::attribute, d.utf16.add(name), std::uint32_t(name.size()),
                                 d.utf16.add(value), std::uint32_t(value.size())});
        d.utf8.steps.push_back({Event::attribute, d.utf8.add(name8), std::uint32_t(name8.size()),
                                d.utf8.add(value8), std::uint32_t(value8.size())});
        ++d.attributes;
    }
    for (const DOMNode* c = e->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
        if (c->getNodeType() == DOMNode::ELEMENT_NODE)
            record(static_cast<const DOMElement*>(c), d);
        else
            d.complete = false;
    }
    d.utf16.steps.push_back({Event::close, 0, 0, 0, 0});
    d.utf8.steps.push_back({Event::close, 0, 0, 0, 0});
}

const Dictionary& dictionary(int variables) {
    static std::map<int, std::unique_ptr<Dictionary>> kept;
    std::unique_ptr<Dictionary>& d = kept[variables];
    if (d) return *d;
    runSpace();
    d.reset(new Dictionary);
    SetUTF8Mode(1);
    DictionaryBuilder builder;
    DOMDocument* document = builder.build(sourceOf(variables));
    SetUTF8Mode(-1);
    if (document == nullptr) {
        d->complete = false;
        return *d;
    }
    record(document->getDocumentElement(), *d);
    if (writeDocumentUTF8(*document, maxSerializedDepth, d->saved) != Written::whole)
        d->complete = false;
    document->release();
    return *d;
}

// False, with the benchmark marked failed, unless the dictionary was recorded
// whole.
bool recorded(benchmark::State& state, const Dictionary& d) {
    if (!d.complete || d.utf8.steps.empty() || d.saved.empty()) {
        state.SkipWithError("the dictionary was not recorded whole");
        return false;
    }
    return true;
}

// ---- The store ----

std::unique_ptr<DocumentStore> storeReplay(const Recording<char16_t>& r) {
    using Use = DocumentStore::NameUse;
    std::unique_ptr<DocumentStore> store(new DocumentStore);
    std::vector<DocumentStore::Id> open;
    open.push_back(DocumentStore::documentNode);
    for (const auto& step : r.steps) {
        switch (step.event) {
            case Event::open: {
                const DocumentStore::Id e =
                    store->element(store->name(Use::Element, r.view(step.name, step.nameLength)));
                store->append(open.back(), e);
                open.push_back(e);
                break;
            }
            case Event::attribute:
                store->setAttribute(open.back(),
                                    store->name(Use::Attribute, r.view(step.name, step.nameLength)),
                                    r.view(step.value, step.valueLength));
                break;
            case Event::close:
                open.pop_back();
                break;
        }
    }
    return store;
}

// The replay's counters, and its text checked against the saved one where
// the store writes; false, with the benchmark marked failed, where the store
// does not hold the recorded tree.
bool storeCounters(benchmark::State& state, const Dictionary& d, int variables) {
    const double before = heapInUse();
    std::unique_ptr<DocumentStore> store = storeReplay(d.utf16);
    const double heap = heapInUse() - before;
    if (store->nodeCount() != d.elements + 1 || store->attributeCount() != d.attributes) {
        state.SkipWithError("the store does not hold the recorded tree");
        return false;
    }
    if (storeWriteUTF8 != nullptr) {
        std::string text;
        if (!storeWriteUTF8(*store, text) || text != d.saved) {
            state.SkipWithError("the store's text is not the saved dictionary");
            return false;
        }
        state.counters["text_B_per_var"] = static_cast<double>(text.size()) / variables;
    }
    const double bytes = static_cast<double>(store->memory());
    state.counters["held_B_per_var"] = bytes / variables;
    state.counters["heap_B_per_var"] = heap / variables;
    // The whole store divided by its nodes, and by its attributes.
    state.counters["B_per_node"] = bytes / store->nodeCount();
    state.counters["B_per_attribute"] = bytes / store->attributeCount();
    state.counters["nodes_per_var"] = static_cast<double>(store->nodeCount()) / variables;
    state.counters["attributes_per_var"] = static_cast<double>(store->attributeCount()) / variables;
    return true;
}

// The build alone while the store has no writer of its own; build and
// write once it has.
void BM_StoreReplayBuild(benchmark::State& state) {
    const int n = sizeOf(state);
    const Dictionary& d = dictionary(n);
    if (!recorded(state, d) || !storeCounters(state, d, n)) return;
    for (auto _ : state) {
        std::unique_ptr<DocumentStore> store = storeReplay(d.utf16);
        keep(store);
        if (storeWriteUTF8 != nullptr) {
            std::string text;
            storeWriteUTF8(*store, text);
            keep(text);
        }
    }
    perVariableTime(state, n);
}

// Today's path from a saved dictionary to a value: Xerces' DOM parser set up
// as the tool reads a saved dictionary (no namespaces), then the value's
// copy of the parsed document. Null where the parse failed.
std::unique_ptr<TransValue> domParseValue(const std::string& xml, double* parsedHeap = nullptr,
                                          double* bothHeap = nullptr) {
    const double before = parsedHeap != nullptr ? heapInUse() : 0;
    VornXmlReaderGuard guard;
    XercesDOMParser parser;
    guard.Apply(parser, nullptr);
    parser.setDoNamespaces(false);
    const MemBufInputSource bytes(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                  "dictionary");
    try {
        parser.parse(bytes);
    } catch (...) {
        return nullptr;
    }
    if (parser.getErrorCount() != 0 || parser.getDocument() == nullptr) return nullptr;
    if (parsedHeap != nullptr) *parsedHeap = heapInUse() - before;
    std::unique_ptr<TransValue> value(new TransValue(parser.getDocument()));
    if (bothHeap != nullptr) *bothHeap = heapInUse() - before;
    guard.Release(parser);
    return value;
}

void BM_DomParseValue(benchmark::State& state) {
    const int n = sizeOf(state);
    const Dictionary& d = dictionary(n);
    if (!recorded(state, d)) return;
    {
        double parsed = 0, both = 0;
        std::unique_ptr<TransValue> value = domParseValue(d.saved, &parsed, &both);
        if (!value || value->asDouble(TransString("/"), TransString("count(//variable)")) != n) {
            state.SkipWithError("the saved dictionary did not read back");
            return;
        }
        // The parser's DOM alone, and with the value's copy beside it: the
        // peak of the path.
        state.counters["parsed_B_per_var"] = parsed / n;
        state.counters["peak_B_per_var"] = both / n;
    }
    for (auto _ : state) {
        std::unique_ptr<TransValue> value = domParseValue(d.saved);
        keep(value);
    }
    perVariableTime(state, n);
}

void BM_StoreParse(benchmark::State& state) {
    const int n = sizeOf(state);
    const Dictionary& d = dictionary(n);
    if (!recorded(state, d)) return;
    {
        const double before = heapInUse();
        std::unique_ptr<DocumentStore> store = storeParse(d.saved);
        const double heap = heapInUse() - before;
        if (!store || store->nodeCount() != d.elements + 1 ||
            store->attributeCount() != d.attributes) {
            state.SkipWithError("the store does not hold the saved dictionary");
            return;
        }
        state.counters["held_B_per_var"] = static_cast<double>(store->memory()) / n;
        state.counters["heap_B_per_var"] = heap / n;
    }
    for (auto _ : state) {
        std::unique_ptr<DocumentStore> store = storeParse(d.saved);
        keep(store);
    }
    perVariableTime(state, n);
}

// What a held dictionary value costs: the heap in use before the value is
// made from the data source and after, and after its first by-name query
// (the query view and its attribute index, kept with the value). The time
// is the value's construction.
void BM_HeldDictionaryValue(benchmark::State& state) {
    runSpace();
    SetUTF8Mode(1);
    const int n = sizeOf(state);
    const VORN_DataSource& source = sourceOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString label("@label");
    double held = 0, queried = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double before = heapInUse();
        state.ResumeTiming();
        std::unique_ptr<TransValue> value(new TransValue(source));
        state.PauseTiming();
        held = heapInUse() - before;
        TransStatus st;
        TransString* answer = value->asString(path, label, st);
        TransValue::releaseString(answer);
        queried = heapInUse() - before;
        if (st.failure()) state.SkipWithError("the by-name query failed");
        value.reset();
        state.ResumeTiming();
    }
    state.counters["held_B_per_var"] = held / n;
    state.counters["queried_B_per_var"] = queried / n;
    SetUTF8Mode(-1);
}

#ifdef TRANSSPACE_BENCH_LIBXML2
// ---- libxml2 ----

// libxml2's heap, counted while a Libxml2Count is alive: what its allocation
// functions hold (usable sizes) and the most they held at once.
struct Libxml2Heap {
    static std::int64_t now, peak;
};
std::int64_t Libxml2Heap::now = 0, Libxml2Heap::peak = 0;

void counted(std::int64_t change) {
    Libxml2Heap::now += change;
    Libxml2Heap::peak = std::max(Libxml2Heap::peak, Libxml2Heap::now);
}

void* countedMalloc(std::size_t size) {
    void* p = std::malloc(size);
    if (p != nullptr) counted(static_cast<std::int64_t>(malloc_usable_size(p)));
    return p;
}

void* countedRealloc(void* p, std::size_t size) {
    const auto before = static_cast<std::int64_t>(p != nullptr ? malloc_usable_size(p) : 0);
    void* q = std::realloc(p, size);
    if (q != nullptr) counted(static_cast<std::int64_t>(malloc_usable_size(q)) - before);
    return q;
}

void countedFree(void* p) {
    if (p != nullptr) counted(-static_cast<std::int64_t>(malloc_usable_size(p)));
    std::free(p);
}

char* countedStrdup(const char* s) {
    const std::size_t size = std::strlen(s) + 1;
    char* p = static_cast<char*>(countedMalloc(size));
    if (p != nullptr) std::memcpy(p, s, size);
    return p;
}

// Counts from zero for its lifetime; the functions it replaces come back
// after. Every counted block is malloc's, so either set may free it.
class Libxml2Count {
public:
    Libxml2Count() {
        xmlMemGet(&freeBefore, &mallocBefore, &reallocBefore, &strdupBefore);
        Libxml2Heap::now = Libxml2Heap::peak = 0;
        xmlMemSetup(countedFree, countedMalloc, countedRealloc, countedStrdup);
    }
    ~Libxml2Count() { xmlMemSetup(freeBefore, mallocBefore, reallocBefore, strdupBefore); }
    Libxml2Count(const Libxml2Count&) = delete;
    Libxml2Count& operator=(const Libxml2Count&) = delete;
    double now() const { return static_cast<double>(Libxml2Heap::now); }
    double peak() const { return static_cast<double>(Libxml2Heap::peak); }

private:
    xmlFreeFunc freeBefore = nullptr;
    xmlMallocFunc mallocBefore = nullptr;
    xmlReallocFunc reallocBefore = nullptr;
    xmlStrdupFunc strdupBefore = nullptr;
};

void libxml2Up() {
    static const bool up = (xmlInitParser(), true);
    keep(up);
}

xmlDocPtr libxml2Replay(const Recording<char>& r) {
    const auto x = [&r](std::uint32_t offset) {
        return reinterpret_cast<const xmlChar*>(r.at(offset));
    };
    xmlDocPtr document = xmlNewDoc(BAD_CAST "1.0");
    std::vector<xmlNodePtr> open;
    for (const auto& step : r.steps) {
        switch (step.event) {
            case Event::open:
                if (open.empty()) {
                    xmlNodePtr root = xmlNewDocNode(document, nullptr, x(step.name), nullptr);
                    xmlDocSetRootElement(document, root);
                    open.push_back(root);
                } else {
                    open.push_back(xmlNewChild(open.back(), nullptr, x(step.name), nullptr));
                }
                break;
            case Event::attribute:
                xmlNewProp(open.back(), x(step.name), x(step.value));
                break;
            case Event::close:
                open.pop_back();
                break;
        }
    }
    return document;
}

// The text after the XML declaration and its line end, without the final
// line end: what two writers with different declarations share.
std::string_view body(std::string_view text) {
    if (text.compare(0, 5, "<?xml") == 0) {
        const std::size_t end = text.find("?>");
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
    }
    if (!text.empty() && text.front() == '\n') text.remove_prefix(1);
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

// libxml2's counters for the replay (with the text's where the row writes
// it); false, with the benchmark marked failed, unless its text is the saved
// dictionary's after the declaration.
bool libxml2Counters(benchmark::State& state, const Dictionary& d, int variables, bool dump) {
    libxml2Up();
    Libxml2Count count;
    const double before = heapInUse();
    xmlDocPtr document = libxml2Replay(d.utf8);
    const double tree = count.now(), heap = heapInUse() - before;
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemory(document, &text, &size);
    const double peak = count.peak();
    const bool same =
        text != nullptr && body(std::string_view(reinterpret_cast<const char*>(text),
                                                 static_cast<std::size_t>(size))) == body(d.saved);
    xmlFree(text);
    xmlFreeDoc(document);
    if (!same) {
        state.SkipWithError("libxml2's text is not the saved dictionary's");
        return false;
    }
    state.counters["held_B_per_var"] = tree / variables;
    state.counters["heap_B_per_var"] = heap / variables;
    if (dump) {
        // The tree and its text at once, the most the build and write hold.
        state.counters["peak_B_per_var"] = peak / variables;
        state.counters["text_B_per_var"] = static_cast<double>(size) / variables;
    }
    return true;
}

void BM_Libxml2TreeBuildDump(benchmark::State& state) {
    const int n = sizeOf(state);
    const Dictionary& d = dictionary(n);
    if (!recorded(state, d) || !libxml2Counters(state, d, n, true)) return;
    for (auto _ : state) {
        xmlDocPtr document = libxml2Replay(d.utf8);
        xmlChar* text = nullptr;
        int size = 0;
        xmlDocDumpMemory(document, &text, &size);
        keep(text);
        xmlFree(text);
        xmlFreeDoc(document);
    }
    perVariableTime(state, n);
}

// The tree alone, beside the store's build while that has no writer.
void BM_Libxml2TreeBuild(benchmark::State& state) {
    const int n = sizeOf(state);
    const Dictionary& d = dictionary(n);
    if (!recorded(state, d) || !libxml2Counters(state, d, n, false)) return;
    for (auto _ : state) {
        xmlDocPtr document = libxml2Replay(d.utf8);
        keep(document);
        xmlFreeDoc(document);
    }
    perVariableTime(state, n);
}

xmlDocPtr libxml2Parse(const std::string& xml) {
    return xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "dictionary.xml", nullptr,
                         XML_PARSE_NONET | XML_PARSE_HUGE);
}

void BM_Libxml2Parse(benchmark::State& state) {
    const int n = sizeOf(state);
    const Dictionary& d = dictionary(n);
    if (!recorded(state, d)) return;
    libxml2Up();
    {
        Libxml2Count count;
        const double before = heapInUse();
        xmlDocPtr document = libxml2Parse(d.saved);
        const double held = count.now(), heap = heapInUse() - before, peak = count.peak();
        const bool read =
            document != nullptr && xmlDocGetRootElement(document) != nullptr &&
            xmlChildElementCount(xmlDocGetRootElement(document)) >= static_cast<unsigned long>(n);
        xmlFreeDoc(document);
        if (!read) {
            state.SkipWithError("libxml2 did not read the saved dictionary");
            return;
        }
        state.counters["held_B_per_var"] = held / n;
        state.counters["heap_B_per_var"] = heap / n;
        state.counters["peak_B_per_var"] = peak / n;
    }
    for (auto _ : state) {
        xmlDocPtr document = libxml2Parse(d.saved);
        keep(document);
        xmlFreeDoc(document);
    }
    perVariableTime(state, n);
}
#endif

// The large sizes take seconds a run: once per repetition, three
// repetitions whatever the command line asks.
void large(benchmark::internal::Benchmark* b) { b->Iterations(1)->Repetitions(3); }

// Side by side at each size, so that the pairs share the machine's state.
void registerStore() {
    for (int n : {1000, 10000, 100000}) {
        const bool big = n >= 10000;
        const auto add = [big](const char* name, void (*f)(benchmark::State&), int size) {
            auto* b =
                benchmark::RegisterBenchmark(name, f)->Arg(size)->Unit(benchmark::kMillisecond);
            if (big) b->Apply(large);
        };
#ifdef TRANSSPACE_BENCH_LIBXML2
        add("BM_Libxml2TreeBuildDump", BM_Libxml2TreeBuildDump, n);
        add("BM_Libxml2TreeBuild", BM_Libxml2TreeBuild, n);
#endif
        add(storeWriteUTF8 != nullptr ? "BM_StoreReplayBuildWrite" : "BM_StoreReplayBuild",
            BM_StoreReplayBuild, n);
#ifdef TRANSSPACE_BENCH_LIBXML2
        add("BM_Libxml2Parse", BM_Libxml2Parse, n);
#endif
        add("BM_DomParseValue", BM_DomParseValue, n);
        if (storeParse != nullptr) add("BM_StoreParse", BM_StoreParse, n);
    }
    // The counters are the figures, not the time: one value at each large
    // size; 1,000 as the other small cases, for the smoke run.
    for (int n : {1000, 10000, 100000}) {
        auto* b = benchmark::RegisterBenchmark("BM_HeldDictionaryValue", BM_HeldDictionaryValue)
                      ->Arg(n)
                      ->Unit(benchmark::kMillisecond);
        if (n >= 10000) b->Iterations(1)->Repetitions(1);
    }
}

const bool registered = (registerStore(), true);

}  // namespace
