#include "value/xpath/CompiledXPath.h"

#include <string>
#include <vector>

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/XPathParserException.hpp>
#include <xalanc/XPath/XPathProcessorImpl.hpp>

#include "value/xpath/XPathLimits.h"

using namespace XALAN_CPP_NAMESPACE;

QuietConstructionContext::QuietConstructionContext()
    : XPathConstructionContextDefault(XalanMemMgrs::getDefaultXercesMemMgr()) {}

void QuietConstructionContext::problem(eSource, eClassification classification,
                                       const XalanDOMString& msg, const Locator* locator,
                                       const XalanNode*) {
    if (classification == eError) throw XPathParserException(msg, getMemoryManager(), locator);
}

void QuietConstructionContext::problem(eSource, eClassification classification,
                                       const XalanDOMString& msg, const XalanNode*) {
    if (classification == eError) throw XPathParserException(msg, getMemoryManager());
}

namespace {

bool blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

std::u16string withStringLengthOfStrings(const char16_t* text) {
    static const std::u16string stringLength = u"string-length";
    std::u16string out;
    std::vector<std::size_t> wrapped;  // depths whose ")" also closes an inserted "string("
    std::size_t depth = 0;
    char16_t quote = 0;
    std::size_t i = 0;
    while (text[i] != 0) {
        const char16_t c = text[i];
        if (quote != 0 || c == u'\'' || c == u'"') {
            if (quote == 0)
                quote = c;
            else if (c == quote)
                quote = 0;
            out += c;
            ++i;
            continue;
        }
        if (xpathNameStart(c)) {
            std::size_t end = i;
            while (xpathNameChar(text[end])) ++end;
            std::size_t open = end;
            while (blank(text[open])) ++open;
            out.append(text + i, end - i);
            // A prefixed name ("p:string-length") is someone else's function.
            const bool call = text[open] == u'(' && (i == 0 || text[i - 1] != u':') &&
                              stringLength.compare(0, std::u16string::npos, text + i, end - i) == 0;
            if (call) {
                out.append(text + end, open - end);
                out += u"(string(";
                wrapped.push_back(++depth);
                i = open + 1;
            } else {
                i = end;
            }
            continue;
        }
        if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (!wrapped.empty() && wrapped.back() == depth) {
                out += u')';
                wrapped.pop_back();
            }
            if (depth > 0) --depth;
        }
        out += c;
        ++i;
    }
    return out;
}

CompiledXPath::CompiledXPath(const XalanDOMChar* text, const PrefixResolver& resolver)
    : compiled(XalanMemMgrs::getDefaultXercesMemMgr()) {
    XPathProcessorImpl processor(XalanMemMgrs::getDefaultXercesMemMgr());
    const std::u16string guarded = withStringLengthOfStrings(text);
    const XalanDOMString expression(guarded.c_str(), XalanMemMgrs::getDefaultXercesMemMgr());
    processor.initXPath(compiled, context, expression, resolver);
}
