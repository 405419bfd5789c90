// Copies and XML text of document values against the bare libraries on the
// same document. add stores a clone, which shares the immutable document: the
// twin is what a copying add costs, a deep importNode into a new document,
// alone and with the Xalan wrapper view a copying value built for it.
// asUTF16XML and asMBCSXML against one DOMLSSerializer write with the same
// settings (no pretty printing, the same encoding) into a memory buffer,
// with the value's steps around the write measured apart: the writer alone
// on the document's compact store, and the copy of the text into the
// returned string.
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <unicode/unistr.h>

#include "BenchSources.h"
#include "VornPlatform.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "text/TransText.h"
#include "value/DocumentWriter.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/DocumentDepth.h"

XERCES_CPP_NAMESPACE_USE
using XALAN_CPP_NAMESPACE::XalanMemMgrs;
using XALAN_CPP_NAMESPACE::XercesParserLiaison;

namespace {

int sizeOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// The dictionary document the value holds, built again by the same builder
// from the same data source, once per size: the source of the bare copies
// and writes.
const DOMDocument* builtDictionary(int variables) {
    runSpace();
    struct Kept {
        std::map<int, DOMDocument*> documents;
        ~Kept() {
            for (auto& entry : documents) entry.second->release();
        }
    };
    static Kept kept;
    DOMDocument*& document = kept.documents[variables];
    if (document == nullptr) {
        const VORN_DataSource& source = sourceOf(variables);
        const HostTextMode utf8(nullptr);
        DictionaryBuilder builder;
        document = builder.build(source);
    }
    return document;
}

bool sameSize(benchmark::State& state, const DOMDocument* document, int variables) {
    const DOMElement* root = document != nullptr ? document->getDocumentElement() : nullptr;
    // One variable and one value label set per variable.
    const bool right = root != nullptr && root->getChildElementCount() == 2u * variables;
    if (!right) state.SkipWithError("the built dictionary is not the value's");
    return right;
}

void BM_SpaceAdd(benchmark::State& state) {
    const int n = sizeOf(state);
    const TransValue& value = dictionaryOf(n);
    TransSpace& space = runSpace();
    const TransString name("Dictionary");
    for (auto _ : state) {
        TransStatus st;
        if (!space.add(name, value, st)) {
            state.SkipWithError("add failed");
            break;
        }
        state.PauseTiming();
        space.remove(name, st);
        state.ResumeTiming();
    }
}

DOMDocument* importCopy(const DOMDocument* source) {
    DOMDocument* copy =
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager);
    copy->appendChild(copy->importNode(source->getDocumentElement(), true));
    return copy;
}

void BM_BareImportNode(benchmark::State& state) {
    const int n = sizeOf(state);
    const DOMDocument* source = builtDictionary(n);
    if (!sameSize(state, source, n)) return;
    for (auto _ : state) {
        std::unique_ptr<DOMDocument> copy(importCopy(source));
        keep(copy.get());
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}

void BM_BareImportNodeWrapper(benchmark::State& state) {
    const int n = sizeOf(state);
    const DOMDocument* source = builtDictionary(n);
    if (!sameSize(state, source, n)) return;
    for (auto _ : state) {
        std::unique_ptr<DOMDocument> copy(importCopy(source));
        // The settings of a value's wrapper view.
        std::unique_ptr<XercesParserLiaison> liaison(
            new XercesParserLiaison(XalanMemMgrs::getDefaultXercesMemMgr()));
        liaison->setBuildWrapperNodes(true);
        liaison->setThreadSafe(true);
        keep(liaison->createDocument(copy.get(), liaison->getThreadSafe(),
                                     liaison->getBuildWrapperNodes(), liaison->getBuildMaps()));
        state.PauseTiming();
        liaison.reset();
        copy.reset();
        state.ResumeTiming();
    }
}

// The bare serializer: one write of the document into a memory buffer; the
// bytes written are given to keep when kept is not null.
XMLSize_t bareWrite(const DOMDocument* document, const char16_t* encoding,
                    std::string* kept = nullptr) {
    static const XMLCh ls[] = u"LS";
    DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(ls);
    DOMLSSerializer* serializer = implementation->createLSSerializer();
    DOMLSOutput* output = implementation->createLSOutput();
    DOMConfiguration* config = serializer->getDomConfig();
    if (config->canSetParameter(XMLUni::fgDOMWRTFormatPrettyPrint, false))
        config->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, false);
    output->setEncoding(encoding);
    MemBufFormatTarget buffer(1023);
    output->setByteStream(&buffer);
    serializer->write(document, output);
    const XMLSize_t length = buffer.getLen();
    if (kept != nullptr) kept->assign(reinterpret_cast<const char*>(buffer.getRawBuffer()), length);
    output->release();
    serializer->release();
    return length;
}

// codePage: null for UTF-16 text; otherwise the multibyte text in that code
// page ("UTF-8" meaning UTF-8 mode).
struct Serialisation {
    const char* codePage;
    const char16_t* encoding;
};

// Shift_JIS: a code page of several bytes per character, which the
// serializer writes asking its transcoder about every character.
const Serialisation serialisations[] = {{nullptr, u"UTF-16"},
                                        {"UTF-8", u"UTF-8"},
                                        {"windows-1252", u"windows-1252"},
                                        {"Shift_JIS", u"Shift_JIS"}};

const char* modeOf(const char* codePage) {
    return codePage != nullptr && std::string(codePage) == "UTF-8" ? nullptr : codePage;
}

void BM_ValueXML(benchmark::State& state, Serialisation how) {
    const int n = sizeOf(state);
    const TransValue& value = dictionaryOf(n);
    const HostTextMode mode(modeOf(how.codePage));
    TransStatus first;
    TransString* text = how.codePage == nullptr ? value.asUTF16XML(first) : value.asMBCSXML(first);
    const bool empty = text->empty();
    TransValue::releaseString(text);
    if (first.failure() || empty) {
        state.SkipWithError("the value wrote no XML");
        return;
    }
    for (auto _ : state) {
        TransStatus st;
        TransString* xml = how.codePage == nullptr ? value.asUTF16XML(st) : value.asMBCSXML(st);
        keep(xml);
        TransValue::releaseString(xml);
    }
}

void BM_BareSerializer(benchmark::State& state, Serialisation how) {
    const int n = sizeOf(state);
    const DOMDocument* document = builtDictionary(n);
    if (!sameSize(state, document, n)) return;
    if (bareWrite(document, how.encoding) == 0) {
        state.SkipWithError("the serializer wrote nothing");
        return;
    }
    for (auto _ : state) keep(bareWrite(document, how.encoding));
}

// The store of the built dictionary, made once per size.
const DocumentStore& storeOf(int variables) {
    static std::map<int, std::unique_ptr<DocumentStore>> stores;
    std::unique_ptr<DocumentStore>& store = stores[variables];
    if (!store) store = DocumentStore::fromDom(builtDictionary(variables));
    return *store;
}

// The writer alone on the compact store of the same document.
void BM_StoreWriter(benchmark::State& state, Serialisation how) {
    const int n = sizeOf(state);
    if (!sameSize(state, builtDictionary(n), n)) return;
    const DocumentStore& store = storeOf(n);
    std::u16string units;
    std::string bytes;
    const auto write = [&] {
        return how.codePage == nullptr
                   ? writeDocumentUTF16(store, maxSerializedDepth, units)
                   : writeDocumentCodePage(store, how.codePage, maxSerializedDepth, bytes);
    };
    if (write() != Written::whole) {
        state.SkipWithError("the writer did not write the whole document");
        return;
    }
    for (auto _ : state) {
        keep(write());
        keep(units.data());
        keep(bytes.data());
    }
}

// What a value does around the serializer's write, to explain the gap: the
// depth check before it, and the copy of the written text into the string
// it returns.
void BM_DocumentDepth(benchmark::State& state) {
    const DOMDocument* document = builtDictionary(sizeOf(state));
    if (documentDepth(document) == 0) {
        state.SkipWithError("no depth");
        return;
    }
    for (auto _ : state) keep(documentDepth(document));
}

void BM_XMLResultCopy(benchmark::State& state, Serialisation how) {
    const DOMDocument* document = builtDictionary(sizeOf(state));
    const HostTextMode mode(modeOf(how.codePage));
    std::string bytes;
    if (bareWrite(document, how.encoding, &bytes) == 0) {
        state.SkipWithError("the serializer wrote nothing");
        return;
    }
    for (auto _ : state) {
        TransString* result;
        if (how.codePage == nullptr) {
            const icu::UnicodeString text(reinterpret_cast<const UChar*>(bytes.data()),
                                          static_cast<int32_t>(bytes.size() / 2));
            result = TransStringAccess::newFromUTF16(text);
        } else {
            const std::string text(bytes);
            result = TransStringAccess::newFromMBCS(text.c_str());
        }
        keep(result);
        delete result;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// What takes a second or more runs once per repetition, and is repeated as
// often as given here whatever the command line asks.
void once(benchmark::internal::Benchmark* b, int repetitions) {
    b->Iterations(1)->Repetitions(repetitions);
}

void registerValues() {
    const auto ms = benchmark::kMillisecond;
    const auto us = benchmark::kMicrosecond;
    for (int n : {1000, 100000}) {
        const bool big = n >= 100000;
        benchmark::RegisterBenchmark("BM_SpaceAdd", BM_SpaceAdd)->Arg(n)->Unit(us);
        auto* copy =
            benchmark::RegisterBenchmark("BM_BareImportNode", BM_BareImportNode)->Arg(n)->Unit(ms);
        // Half a minute and more at 100,000 variables: one is enough.
        auto* wrapped =
            benchmark::RegisterBenchmark("BM_BareImportNodeWrapper", BM_BareImportNodeWrapper)
                ->Arg(n)
                ->Unit(ms);
        if (big) {
            once(copy, 1);
            once(wrapped, 1);
        }
    }
    for (int n : {1000, 100000}) {
        const bool big = n >= 100000;
        for (const Serialisation& how : serialisations) {
            const std::string suffix = how.codePage == nullptr ? "UTF16" : how.codePage;
            for (auto* b :
                 {benchmark::RegisterBenchmark(("BM_ValueXML/" + suffix).c_str(), BM_ValueXML, how),
                  benchmark::RegisterBenchmark(("BM_StoreWriter/" + suffix).c_str(), BM_StoreWriter,
                                               how),
                  benchmark::RegisterBenchmark(("BM_BareSerializer/" + suffix).c_str(),
                                               BM_BareSerializer, how)}) {
                b->Arg(n)->Unit(ms);
                if (big) once(b, 3);
            }
            auto* copy = benchmark::RegisterBenchmark(("BM_XMLResultCopy/" + suffix).c_str(),
                                                      BM_XMLResultCopy, how)
                             ->Arg(n)
                             ->Unit(ms);
            if (big) once(copy, 3);
        }
        auto* depth =
            benchmark::RegisterBenchmark("BM_DocumentDepth", BM_DocumentDepth)->Arg(n)->Unit(ms);
        if (big) once(depth, 3);
    }
}

const bool registered = (registerValues(), true);

}  // namespace
