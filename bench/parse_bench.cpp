// A saved dictionary's text made into what a value holds, three ways in one
// run: Xerces' DOM parser set up as the tool reads a saved dictionary (the
// guard, no namespaces) followed by the value's copy of its document, the
// path before the store; the same scanner and settings filling the store
// directly (StoreParser); and libxml2's xmlReadMemory of the same text, the
// baseline the store's parse must not be slower than. The counters give the
// bytes per variable of what each holds afterwards (the store's own count;
// the heap's growth for libxml2 is not measured here).
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "BenchSources.h"
#include "VornXmlReader.h"
#include "value/store/DocumentStore.h"
#include "value/store/StoreParser.h"

using XERCES_CPP_NAMESPACE::MemBufInputSource;
using XERCES_CPP_NAMESPACE::XercesDOMParser;

namespace {

int sizeOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// Parses xml with parser as the tool sets it up for a saved dictionary;
// false on an error.
bool parseAsTheTool(XercesDOMParser& parser, const std::string& xml) {
    VornXmlFirstError errors;
    VornXmlReaderGuard guard;
    guard.Apply(parser, &errors);
    parser.setDoNamespaces(false);
    const MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                   "dictionary.xml");
    parser.parse(source);
    guard.Release(parser);
    return errors.message.empty();
}

void BM_ParseDomCopy(benchmark::State& state) {
    runSpace();
    const std::string& xml = dictionaryUTF8(sizeOf(state));
    for (auto _ : state) {
        std::unique_ptr<TransValue> value;
        {
            XercesDOMParser parser;
            if (!parseAsTheTool(parser, xml)) {
                state.SkipWithError("the text did not parse");
                return;
            }
            value.reset(new TransValue(parser.getDocument()));
        }
        state.PauseTiming();
        value.reset();
        state.ResumeTiming();
    }
}

void BM_ParseStore(benchmark::State& state) {
    runSpace();
    const int n = sizeOf(state);
    const std::string& xml = dictionaryUTF8(n);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<DocumentStore> store;
        {
            StoreParser parser;
            if (!parseAsTheTool(parser, xml)) {
                state.SkipWithError("the text did not parse");
                return;
            }
            store = parser.takeStore();
        }
        state.PauseTiming();
        bytes = store->memory();
        store.reset();
        state.ResumeTiming();
    }
    state.counters["store_B_per_var"] = static_cast<double>(bytes) / n;
}

void BM_ParseLibxml2(benchmark::State& state) {
    static const bool initialised = (xmlInitParser(), true);
    keep(initialised);
    const std::string& xml = dictionaryUTF8(sizeOf(state));
    for (auto _ : state) {
        xmlDocPtr document =
            xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "dictionary.xml", nullptr,
                          XML_PARSE_NONET | XML_PARSE_HUGE);
        if (document == nullptr) {
            state.SkipWithError("libxml2 did not parse the text");
            return;
        }
        state.PauseTiming();
        xmlFreeDoc(document);
        state.ResumeTiming();
    }
}

void registerParses() {
    for (int n : {1000, 10000, 100000}) {
        for (auto* b : {benchmark::RegisterBenchmark("BM_ParseDomCopy", BM_ParseDomCopy),
                        benchmark::RegisterBenchmark("BM_ParseStore", BM_ParseStore),
                        benchmark::RegisterBenchmark("BM_ParseLibxml2", BM_ParseLibxml2)}) {
            b->Arg(n)->Unit(benchmark::kMillisecond);
            if (n >= 100000) b->Iterations(1)->Repetitions(3);
        }
    }
}

const bool registered = (registerParses(), true);

}  // namespace
