// The three queries of a dictionary value against the bare libraries on the
// same document in the same run: Xalan on its own source tree (parsed from
// the serialised dictionary) with one prefix resolver and one evaluator kept
// for the run, and libxml2's xmlXPathEval. At 1,000 and 10,000 variables also
// the literal query (a resolver per query over the Xerces-wrapper view) and
// its three parts on that view and on the bare source tree: resolver
// construction, parsing of both paths, evaluation of the parsed paths.
// Setting TRANSSPACE_BENCH_LITERAL_100K adds the wrapper cases at 100,000
// variables (the wrapper alone takes about half a minute to build there).
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeParserLiaison.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>

#include "BenchSources.h"
#include "VornPlatform.h"
#include "dictionary/DictionaryNamespace.h"
#include "support/LiteralQuery.h"
#include "value/CompiledXPath.h"

using namespace XALAN_CPP_NAMESPACE;

namespace {

std::u16string utf16Of(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string copyOf(const XalanDOMString& s) { return std::u16string(s.c_str(), s.length()); }

// Bare Xalan: the serialised dictionary parsed into Xalan's source tree, one
// resolver and one evaluator for every query.
struct BareXalan {
    XalanSourceTreeParserLiaison liaison{XalanMemMgrs::getDefaultXercesMemMgr()};
    XalanSourceTreeDOMSupport domSupport{liaison};
    XalanDocument* document = nullptr;
    std::unique_ptr<XalanDocumentPrefixResolver> resolver;
    XPathEvaluator evaluator{XalanMemMgrs::getDefaultXercesMemMgr()};

    explicit BareXalan(int variables) {
        liaison.setDoNamespaces(true);
        const std::string& xml = dictionaryUTF8(variables);
        const XERCES_CPP_NAMESPACE::MemBufInputSource input(
            reinterpret_cast<const XMLByte*>(xml.data()), xml.size(), "dictionary");
        document = liaison.parseXMLStream(input);
        resolver.reset(new XalanDocumentPrefixResolver(document, XalanDOMString(),
                                                       XalanMemMgrs::getDefaultXercesMemMgr()));
    }

    XalanNode* select(const std::u16string& path) {
        return evaluator.selectSingleNode(domSupport, document, path.c_str(), *resolver);
    }
    XObjectPtr at(XalanNode* node, const char16_t* expression) {
        return evaluator.evaluate(domSupport, node, expression, *resolver);
    }
};

BareXalan& bareXalan(int variables) {
    runSpace();
    static std::map<int, std::unique_ptr<BareXalan>> kept;
    std::unique_ptr<BareXalan>& bare = kept[variables];
    if (!bare) bare.reset(new BareXalan(variables));
    return *bare;
}

// libxml2 on the same serialised dictionary; its XPath has no default
// namespace, so the paths name the dictionary namespace through a prefix.
struct BareLibxml2 {
    xmlDocPtr document = nullptr;
    xmlXPathContextPtr context = nullptr;

    explicit BareLibxml2(int variables) {
        const std::string& xml = dictionaryUTF8(variables);
        document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "dictionary.xml",
                                 nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
        context = xmlXPathNewContext(document);
        std::string ns;
        for (char16_t c : dictionaryNamespaceURI()) ns += static_cast<char>(c);
        xmlXPathRegisterNs(context, BAD_CAST "d", BAD_CAST ns.c_str());
    }
    ~BareLibxml2() {
        xmlXPathFreeContext(context);
        xmlFreeDoc(document);
    }
    BareLibxml2(const BareLibxml2&) = delete;
    BareLibxml2& operator=(const BareLibxml2&) = delete;
};

BareLibxml2& bareLibxml2(int variables) {
    static std::map<int, std::unique_ptr<BareLibxml2>> kept;
    std::unique_ptr<BareLibxml2>& bare = kept[variables];
    if (!bare) bare.reset(new BareLibxml2(variables));
    return *bare;
}

int sizeOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

void checkAnswer(benchmark::State& state, const std::string& got, int variables) {
    const std::string want = "Question " + std::to_string(variables - 1) + " of the survey";
    if (got != want) state.SkipWithError(("unexpected answer: " + got).c_str());
}

void BM_QueryString(benchmark::State& state) {
    const int n = sizeOf(state);
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString label("@label");
    checkAnswer(state, takeUTF8(value.asString(path, label)), n);
    for (auto _ : state) {
        TransStatus st;
        TransString* answer = value.asString(path, label, st);
        benchmark::DoNotOptimize(answer);
        TransValue::releaseString(answer);
    }
}

void BM_BareXalanString(benchmark::State& state) {
    const int n = sizeOf(state);
    BareXalan& bare = bareXalan(n);
    const std::u16string path = utf16Of(byNamePath(n));
    for (auto _ : state) {
        XalanNode* node = bare.select(path);
        const XObjectPtr result = bare.at(node, u"@label");
        std::u16string answer = copyOf(result->nodeset().item(0)->getNodeValue());
        benchmark::DoNotOptimize(answer);
    }
}

void BM_Libxml2String(benchmark::State& state) {
    const int n = sizeOf(state);
    BareLibxml2& bare = bareLibxml2(n);
    const std::string path =
        "/d:dictionary/d:variable[@name='v" + std::to_string(n - 1) + "']";
    std::string answer;
    for (auto _ : state) {
        bare.context->node = reinterpret_cast<xmlNodePtr>(bare.document);
        xmlXPathObjectPtr selected = xmlXPathEval(BAD_CAST path.c_str(), bare.context);
        bare.context->node = selected->nodesetval->nodeTab[0];
        xmlXPathObjectPtr labels = xmlXPathEval(BAD_CAST "@label", bare.context);
        xmlChar* text = xmlNodeGetContent(labels->nodesetval->nodeTab[0]);
        answer = reinterpret_cast<const char*>(text);
        xmlFree(text);
        xmlXPathFreeObject(labels);
        xmlXPathFreeObject(selected);
        benchmark::DoNotOptimize(answer);
    }
    checkAnswer(state, answer, n);
}

void BM_LiteralQueryString(benchmark::State& state) {
    const int n = sizeOf(state);
    const TransValue& value = dictionaryOf(n);
    value.asXalanDocument();  // the wrapper is made once per value, not per query
    const TransString path = mbcsString(byNamePath(n));
    const TransString label("@label");
    TransStatus first;
    checkAnswer(state, takeUTF8(literalAsString(value, path, label, first)), n);
    for (auto _ : state) {
        TransStatus st;
        TransString* answer = literalAsString(value, path, label, st);
        benchmark::DoNotOptimize(answer);
        TransValue::releaseString(answer);
    }
}

void BM_QueryStringList(benchmark::State& state) {
    const int n = sizeOf(state);
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString data("missingValue/@data");
    for (auto _ : state) {
        TransStatus st;
        TransStringList* answer = value.asStringList(path, data, st);
        benchmark::DoNotOptimize(answer);
        TransValue::releaseStringList(answer);
    }
}

void BM_BareXalanStringList(benchmark::State& state) {
    const int n = sizeOf(state);
    BareXalan& bare = bareXalan(n);
    const std::u16string path = utf16Of(byNamePath(n));
    for (auto _ : state) {
        XalanNode* node = bare.select(path);
        const XObjectPtr result = bare.at(node, u"missingValue/@data");
        const NodeRefListBase& nodes = result->nodeset();
        std::vector<std::u16string> answer;
        for (NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i)
            answer.push_back(copyOf(nodes.item(i)->getNodeValue()));
        benchmark::DoNotOptimize(answer);
    }
}

void BM_QueryDouble(benchmark::State& state) {
    const int n = sizeOf(state);
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString width("number(@displayWidth)");
    for (auto _ : state) {
        TransStatus st;
        benchmark::DoNotOptimize(value.asDouble(path, width, st));
    }
}

void BM_BareXalanDouble(benchmark::State& state) {
    const int n = sizeOf(state);
    BareXalan& bare = bareXalan(n);
    const std::u16string path = utf16Of(byNamePath(n));
    for (auto _ : state) {
        XalanNode* node = bare.select(path);
        const XObjectPtr result = bare.at(node, u"number(@displayWidth)");
        benchmark::DoNotOptimize(result->num());
    }
}

// The literal query's parts. The view is the value's Xerces wrapper
// (wrapper true) or the bare source tree.
struct View {
    XalanDocument* document;
    XalanSourceTreeDOMSupport domSupport;
};

XalanDocument* viewOf(int n, bool wrapper) {
    if (!wrapper) return bareXalan(n).document;
    return const_cast<XalanDocument*>(dictionaryOf(n).asXalanDocument());
}

void BM_PartResolver(benchmark::State& state, bool wrapper) {
    XalanDocument* document = viewOf(sizeOf(state), wrapper);
    for (auto _ : state) {
        XalanDocumentPrefixResolver resolver(document, XalanDOMString(),
                                             XalanMemMgrs::getDefaultXercesMemMgr());
        benchmark::DoNotOptimize(&resolver);
    }
}

void BM_PartParse(benchmark::State& state, bool wrapper) {
    const int n = sizeOf(state);
    XalanDocument* document = viewOf(n, wrapper);
    const XalanDocumentPrefixResolver resolver(document, XalanDOMString(),
                                               XalanMemMgrs::getDefaultXercesMemMgr());
    const std::u16string path = utf16Of(byNamePath(n));
    for (auto _ : state) {
        const CompiledXPath context(path.c_str(), resolver);
        const CompiledXPath expression(u"@label", resolver);
        benchmark::DoNotOptimize(&context);
        benchmark::DoNotOptimize(&expression);
    }
}

void BM_PartEvaluate(benchmark::State& state, bool wrapper) {
    const int n = sizeOf(state);
    XalanDocument* document = viewOf(n, wrapper);
    const XalanDocumentPrefixResolver resolver(document, XalanDOMString(),
                                               XalanMemMgrs::getDefaultXercesMemMgr());
    const std::u16string path = utf16Of(byNamePath(n));
    const CompiledXPath context(path.c_str(), resolver);
    const CompiledXPath expression(u"@label", resolver);
    XPathEvaluator evaluator(XalanMemMgrs::getDefaultXercesMemMgr());
    XalanSourceTreeDOMSupport domSupport;
    for (auto _ : state) {
        XalanNode* node = evaluator.selectSingleNode(domSupport, document, context.xpath(), resolver);
        const XObjectPtr result = evaluator.evaluate(domSupport, node, expression.xpath(), resolver);
        std::u16string answer = copyOf(result->nodeset().item(0)->getNodeValue());
        benchmark::DoNotOptimize(answer);
    }
}

void registerQueries() {
    const auto ms = benchmark::kMillisecond;
    const auto us = benchmark::kMicrosecond;
    for (int n : {1000, 10000, 100000}) {
        const auto unit = n >= 100000 ? ms : us;
        const bool big = n >= 100000;
        benchmark::RegisterBenchmark("BM_QueryString", BM_QueryString)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_BareXalanString", BM_BareXalanString)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_Libxml2String", BM_Libxml2String)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_QueryStringList", BM_QueryStringList)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_BareXalanStringList", BM_BareXalanStringList)
            ->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_QueryDouble", BM_QueryDouble)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_BareXalanDouble", BM_BareXalanDouble)->Arg(n)->Unit(unit);
        for (bool wrapper : {false, true}) {
            if (wrapper && big && std::getenv("TRANSSPACE_BENCH_LITERAL_100K") == nullptr) continue;
            const std::string on = wrapper ? "Wrapper" : "SourceTree";
            const int iterations = big && wrapper ? 1 : 0;
            for (auto* b : {benchmark::RegisterBenchmark(("BM_PartResolver" + on).c_str(),
                                                         BM_PartResolver, wrapper),
                            benchmark::RegisterBenchmark(("BM_PartParse" + on).c_str(),
                                                         BM_PartParse, wrapper),
                            benchmark::RegisterBenchmark(("BM_PartEvaluate" + on).c_str(),
                                                         BM_PartEvaluate, wrapper)}) {
                b->Arg(n)->Unit(wrapper ? ms : unit);
                if (iterations > 0) b->Iterations(iterations);
            }
            if (wrapper) {
                auto* b = benchmark::RegisterBenchmark("BM_LiteralQueryString",
                                                       BM_LiteralQueryString)->Arg(n)->Unit(ms);
                if (iterations > 0) b->Iterations(iterations);
            }
        }
    }
}

const bool registered = (registerQueries(), true);

}  // namespace
