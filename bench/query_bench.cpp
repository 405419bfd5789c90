// The three queries of a dictionary value against the bare libraries on the
// same document in the same run: Xalan on its own source tree (parsed from
// the serialised dictionary) with one prefix resolver and one evaluator kept
// for the run, and libxml2's xmlXPathEval (where the bench was built with
// libxml2). Every twin's answer is checked
// against the value's before timing. At 1,000 and 10,000 variables also the
// literal query (a resolver per query over the Xerces-wrapper view), for
// scale; setting TRANSSPACE_BENCH_LITERAL_100K adds it at 100,000 variables
// (the wrapper alone takes about half a minute to build there). The by-name
// path is answered from the attribute index; the same path with blanks
// around "=" shows the processor's walk for comparison.
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#ifdef TRANSSPACE_BENCH_LIBXML2
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#endif
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/PlatformSupport/XalanSimplePrefixResolver.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeParserLiaison.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>

#include <unicode/unistr.h>

#include "BenchSources.h"
#include "VornPlatform.h"
#include "dictionary/DictionaryNamespace.h"
#include "support/LiteralQuery.h"
#include "value/xpath/CompiledXPath.h"

using namespace XALAN_CPP_NAMESPACE;

namespace {

std::u16string utf16Of(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string copyOf(const XalanDOMString& s) { return std::u16string(s.c_str(), s.length()); }

// Bare Xalan: the serialised dictionary parsed into Xalan's source tree, one
// resolver and one evaluator for every query. Parsed with namespaces, the
// elements are in the dictionary namespace, so the paths name it through a
// prefix, as libxml2's do.
struct BareXalan {
    XalanSourceTreeParserLiaison liaison{XalanMemMgrs::getDefaultXercesMemMgr()};
    XalanSourceTreeDOMSupport domSupport{liaison};
    XalanDocument* document = nullptr;
    // The resolver keeps references to its strings.
    XalanDOMString prefix{u"d", XalanMemMgrs::getDefaultXercesMemMgr()};
    XalanDOMString uri{XalanMemMgrs::getDefaultXercesMemMgr()};
    XalanDOMString base{XalanMemMgrs::getDefaultXercesMemMgr()};
    std::unique_ptr<XalanSimplePrefixResolver> resolver;
    XPathEvaluator evaluator{XalanMemMgrs::getDefaultXercesMemMgr()};

    explicit BareXalan(int variables) {
        liaison.setDoNamespaces(true);
        const std::string& xml = dictionaryUTF8(variables);
        const XERCES_CPP_NAMESPACE::MemBufInputSource input(
            reinterpret_cast<const XMLByte*>(xml.data()), xml.size(), "dictionary");
        document = liaison.parseXMLStream(input);
        uri = dictionaryNamespaceURI().c_str();
        resolver.reset(new XalanSimplePrefixResolver(prefix, uri, base));
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

#ifdef TRANSSPACE_BENCH_LIBXML2
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
#endif

int sizeOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// What every twin must answer, taken from the value once per size: the
// label, the missing values and the display width of the last variable.
struct Expected {
    std::u16string label;
    std::vector<std::u16string> missing;
    double width = 0;
};

std::u16string utf16Text(const unsigned short* text) {
    return text == nullptr ? std::u16string()
                           : std::u16string(reinterpret_cast<const char16_t*>(text));
}

const Expected& expectedOf(int n) {
    static std::map<int, Expected> kept;
    auto found = kept.find(n);
    if (found != kept.end()) return found->second;
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    Expected e;
    TransString* label = value.asString(path, TransString("@label"));
    if (label != nullptr) e.label = utf16Text(label->asUTF16());
    TransValue::releaseString(label);
    TransStringList* list = value.asStringList(path, TransString("missingValue/@data"));
    if (list != nullptr)
        for (unsigned i = 0; i < list->size(); ++i)
            e.missing.push_back(utf16Text(list->asUTF16(i)));
    TransValue::releaseStringList(list);
    e.width = value.asDouble(path, TransString("number(@displayWidth)"));
    return kept.emplace(n, e).first->second;
}

// False, with the benchmark marked failed, unless the value answers what the
// data source holds; twins are then compared with the value's answers.
bool valueAnswers(benchmark::State& state, int n) {
    const Expected& e = expectedOf(n);
    const std::u16string want = utf16Of("Question " + std::to_string(n - 1) + " of the survey");
    if (e.label != want || e.missing.size() != 3 || !(e.width > 0)) {
        state.SkipWithError("the value's answers are not the data source's");
        return false;
    }
    return true;
}

bool same(benchmark::State& state, bool equal, const char* what) {
    if (!equal) state.SkipWithError((std::string("the twin answers differently: ") + what).c_str());
    return equal;
}

// Bare Xalan's three answers.
std::u16string xalanString(BareXalan& bare, const std::u16string& path) {
    XalanNode* node = bare.select(path);
    if (node == nullptr) return std::u16string();
    const XObjectPtr result = bare.at(node, u"@label");
    const NodeRefListBase& nodes = result->nodeset();
    return nodes.getLength() == 0 ? std::u16string() : copyOf(nodes.item(0)->getNodeValue());
}

std::vector<std::u16string> xalanStringList(BareXalan& bare, const std::u16string& path) {
    std::vector<std::u16string> answer;
    XalanNode* node = bare.select(path);
    if (node == nullptr) return answer;
    const XObjectPtr result = bare.at(node, u"d:missingValue/@data");
    const NodeRefListBase& nodes = result->nodeset();
    for (NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i)
        answer.push_back(copyOf(nodes.item(i)->getNodeValue()));
    return answer;
}

double xalanDouble(BareXalan& bare, const std::u16string& path) {
    XalanNode* node = bare.select(path);
    if (node == nullptr) return -1;
    return bare.at(node, u"number(@displayWidth)")->num();
}

#ifdef TRANSSPACE_BENCH_LIBXML2
// libxml2's: the context path, then the expression at the node it selects.
std::u16string utf16OfUTF8(const xmlChar* text) {
    std::u16string out;
    if (text == nullptr) return out;
    const icu::UnicodeString u = icu::UnicodeString::fromUTF8(reinterpret_cast<const char*>(text));
    return std::u16string(u.getBuffer(), static_cast<std::size_t>(u.length()));
}

xmlXPathObjectPtr libxml2At(BareLibxml2& bare, const std::string& path, const char* expression) {
    bare.context->node = reinterpret_cast<xmlNodePtr>(bare.document);
    xmlXPathObjectPtr selected = xmlXPathEval(BAD_CAST path.c_str(), bare.context);
    if (selected == nullptr || selected->nodesetval == nullptr ||
        selected->nodesetval->nodeNr == 0) {
        xmlXPathFreeObject(selected);
        return nullptr;
    }
    bare.context->node = selected->nodesetval->nodeTab[0];
    xmlXPathFreeObject(selected);
    return xmlXPathEval(BAD_CAST expression, bare.context);
}

std::vector<std::u16string> libxml2Texts(BareLibxml2& bare, const std::string& path,
                                         const char* expression) {
    std::vector<std::u16string> answer;
    xmlXPathObjectPtr result = libxml2At(bare, path, expression);
    if (result != nullptr && result->nodesetval != nullptr) {
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlChar* text = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
            answer.push_back(utf16OfUTF8(text));
            xmlFree(text);
        }
    }
    xmlXPathFreeObject(result);
    return answer;
}

double libxml2Double(BareLibxml2& bare, const std::string& path) {
    xmlXPathObjectPtr result = libxml2At(bare, path, "number(@displayWidth)");
    const double number = result != nullptr ? result->floatval : -1;
    xmlXPathFreeObject(result);
    return number;
}
#endif

// The by-name path with the dictionary namespace behind the prefix d.
std::string prefixedPath(int n) {
    return "/d:dictionary/d:variable[@name='v" + std::to_string(n - 1) + "']";
}

void BM_QueryString(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString label("@label");
    for (auto _ : state) {
        TransStatus st;
        TransString* answer = value.asString(path, label, st);
        keep(answer);
        TransValue::releaseString(answer);
    }
}

// The same query written with blanks around "=", which the index leaves to
// the processor: the by-name query as it ran before the index.
void BM_QueryStringUnindexed(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    const TransValue& value = dictionaryOf(n);
    const TransString path =
        mbcsString("/dictionary/variable[@name = 'v" + std::to_string(n - 1) + "']");
    const TransString label("@label");
    if (!same(state,
              utf16Text(TransString(takeUTF8(value.asString(path, label)).c_str()).asUTF16()) ==
                  expectedOf(n).label,
              "label"))
        return;
    for (auto _ : state) {
        TransStatus st;
        TransString* answer = value.asString(path, label, st);
        keep(answer);
        TransValue::releaseString(answer);
    }
}

void BM_BareXalanString(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    BareXalan& bare = bareXalan(n);
    const std::u16string path = utf16Of(prefixedPath(n));
    if (!same(state, xalanString(bare, path) == expectedOf(n).label, "label")) return;
    for (auto _ : state) {
        std::u16string answer = xalanString(bare, path);
        keep(answer);
    }
}

#ifdef TRANSSPACE_BENCH_LIBXML2
void BM_Libxml2String(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    BareLibxml2& bare = bareLibxml2(n);
    const std::string path = prefixedPath(n);
    const std::vector<std::u16string> first = libxml2Texts(bare, path, "@label");
    if (!same(state, first.size() == 1 && first[0] == expectedOf(n).label, "label")) return;
    for (auto _ : state) {
        std::vector<std::u16string> answer = libxml2Texts(bare, path, "@label");
        keep(answer);
    }
}
#endif

void BM_LiteralQueryString(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    const TransValue& value = dictionaryOf(n);
    value.asXalanDocument();  // the wrapper is made once per value, not per query
    const TransString path = mbcsString(byNamePath(n));
    const TransString label("@label");
    TransStatus first;
    TransString* answer = literalAsString(value, path, label, first);
    const bool right = answer != nullptr && utf16Text(answer->asUTF16()) == expectedOf(n).label;
    TransValue::releaseString(answer);
    if (!same(state, right, "label")) return;
    for (auto _ : state) {
        TransStatus st;
        TransString* text = literalAsString(value, path, label, st);
        keep(text);
        TransValue::releaseString(text);
    }
}

void BM_QueryStringList(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString data("missingValue/@data");
    for (auto _ : state) {
        TransStatus st;
        TransStringList* answer = value.asStringList(path, data, st);
        keep(answer);
        TransValue::releaseStringList(answer);
    }
}

void BM_BareXalanStringList(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    BareXalan& bare = bareXalan(n);
    const std::u16string path = utf16Of(prefixedPath(n));
    if (!same(state, xalanStringList(bare, path) == expectedOf(n).missing, "missing values"))
        return;
    for (auto _ : state) {
        std::vector<std::u16string> answer = xalanStringList(bare, path);
        keep(answer);
    }
}

#ifdef TRANSSPACE_BENCH_LIBXML2
void BM_Libxml2StringList(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    BareLibxml2& bare = bareLibxml2(n);
    const std::string path = prefixedPath(n);
    const char* expression = "d:missingValue/@data";
    if (!same(state, libxml2Texts(bare, path, expression) == expectedOf(n).missing,
              "missing values"))
        return;
    for (auto _ : state) {
        std::vector<std::u16string> answer = libxml2Texts(bare, path, expression);
        keep(answer);
    }
}
#endif

void BM_QueryDouble(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    const TransValue& value = dictionaryOf(n);
    const TransString path = mbcsString(byNamePath(n));
    const TransString width("number(@displayWidth)");
    for (auto _ : state) {
        TransStatus st;
        keep(value.asDouble(path, width, st));
    }
}

void BM_BareXalanDouble(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    BareXalan& bare = bareXalan(n);
    const std::u16string path = utf16Of(prefixedPath(n));
    if (!same(state, xalanDouble(bare, path) == expectedOf(n).width, "display width")) return;
    for (auto _ : state) keep(xalanDouble(bare, path));
}

#ifdef TRANSSPACE_BENCH_LIBXML2
void BM_Libxml2Double(benchmark::State& state) {
    const int n = sizeOf(state);
    if (!valueAnswers(state, n)) return;
    BareLibxml2& bare = bareLibxml2(n);
    const std::string path = prefixedPath(n);
    if (!same(state, libxml2Double(bare, path) == expectedOf(n).width, "display width")) return;
    for (auto _ : state) keep(libxml2Double(bare, path));
}
#endif

void registerQueries() {
    const auto ms = benchmark::kMillisecond;
    const auto us = benchmark::kMicrosecond;
    for (int n : {1000, 10000, 100000}) {
        const auto unit = n >= 100000 ? ms : us;
        const bool big = n >= 100000;
        benchmark::RegisterBenchmark("BM_QueryString", BM_QueryString)->Arg(n)->Unit(unit);
        if (!big)
            benchmark::RegisterBenchmark("BM_QueryStringUnindexed", BM_QueryStringUnindexed)
                ->Arg(n)
                ->Unit(unit);
        benchmark::RegisterBenchmark("BM_BareXalanString", BM_BareXalanString)->Arg(n)->Unit(unit);
#ifdef TRANSSPACE_BENCH_LIBXML2
        benchmark::RegisterBenchmark("BM_Libxml2String", BM_Libxml2String)->Arg(n)->Unit(unit);
#endif
        benchmark::RegisterBenchmark("BM_QueryStringList", BM_QueryStringList)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_BareXalanStringList", BM_BareXalanStringList)
            ->Arg(n)
            ->Unit(unit);
#ifdef TRANSSPACE_BENCH_LIBXML2
        benchmark::RegisterBenchmark("BM_Libxml2StringList", BM_Libxml2StringList)
            ->Arg(n)
            ->Unit(unit);
#endif
        benchmark::RegisterBenchmark("BM_QueryDouble", BM_QueryDouble)->Arg(n)->Unit(unit);
        benchmark::RegisterBenchmark("BM_BareXalanDouble", BM_BareXalanDouble)->Arg(n)->Unit(unit);
#ifdef TRANSSPACE_BENCH_LIBXML2
        benchmark::RegisterBenchmark("BM_Libxml2Double", BM_Libxml2Double)->Arg(n)->Unit(unit);
#endif
        // The literal query, for scale: about half a minute per query at
        // 100,000 variables, so only on request there.
        if (!big || std::getenv("TRANSSPACE_BENCH_LITERAL_100K") != nullptr) {
            auto* b = benchmark::RegisterBenchmark("BM_LiteralQueryString", BM_LiteralQueryString)
                          ->Arg(n)
                          ->Unit(ms);
            if (big) b->Iterations(1);
        }
    }
}

const bool registered = (registerQueries(), true);

}  // namespace
