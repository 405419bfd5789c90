#include "value/CompiledXPath.h"

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/XPathParserException.hpp>
#include <xalanc/XPath/XPathProcessorImpl.hpp>

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

CompiledXPath::CompiledXPath(const XalanDOMChar* text, const PrefixResolver& resolver)
    : compiled(XalanMemMgrs::getDefaultXercesMemMgr()) {
    XPathProcessorImpl processor(XalanMemMgrs::getDefaultXercesMemMgr());
    const XalanDOMString expression(text, XalanMemMgrs::getDefaultXercesMemMgr());
    processor.initXPath(compiled, context, expression, resolver);
}
