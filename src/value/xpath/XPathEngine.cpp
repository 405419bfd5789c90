#include "value/xpath/XPathEngine.h"

#include <cmath>
#include <cstdio>

#include <xalanc/PlatformSupport/FormatterListener.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XNumber.hpp>
#include <xalanc/XPath/XPath.hpp>

using namespace XALAN_CPP_NAMESPACE;

std::u16string largeNumberText(double n) {
    char digits[400];  // the largest double has 309 digits
    const int length = std::snprintf(digits, sizeof digits, "%.0f", n);
    return std::u16string(digits, digits + (length > 0 ? length : 0));
}

namespace {

// A number that writes its own text. It belongs to no factory: the last
// reference deletes it.
class LargeNumber : public XNumber {
public:
    LargeNumber(double value, MemoryManager& manager) : XNumber(value, manager), text(manager) {
        const std::u16string digits = largeNumberText(value);
        text.assign(digits.data(), static_cast<XalanDOMString::size_type>(digits.size()));
    }

    const XalanDOMString& str(XPathExecutionContext&) const override { return text; }
    const XalanDOMString& str() const override { return text; }
    void str(XPathExecutionContext&, FormatterListener& listener,
             MemberFunctionPtr function) const override {
        str(listener, function);
    }
    void str(FormatterListener& listener, MemberFunctionPtr function) const override {
        (listener.*function)(text.c_str(),
                             static_cast<FormatterListener::size_type>(text.length()));
    }
    void str(XPathExecutionContext&, XalanDOMString& buffer) const override { str(buffer); }
    void str(XalanDOMString& buffer) const override { buffer.append(text); }
    double stringLength(XPathExecutionContext&) const override {
        return static_cast<double>(text.length());
    }

protected:
    void dereferenced() override { delete this; }

private:
    XalanDOMString text;
};

// Lets the execution context go of the support objects of one call however
// the call ends: after an exception they would dangle, and the next call's
// reset of the context would reach through them.
class SupportRelease {
public:
    explicit SupportRelease(XPathExecutionContextDefault& context) : context(context) {}
    SupportRelease(const SupportRelease&) = delete;
    SupportRelease& operator=(const SupportRelease&) = delete;
    ~SupportRelease() {
        context.setXPathEnvSupport(nullptr);
        context.setDOMSupport(nullptr);
        context.setXObjectFactory(nullptr);
    }

private:
    XPathExecutionContextDefault& context;
};

}  // namespace

SafeNumberFactory::SafeNumberFactory()
    : XObjectFactoryDefault(XalanMemMgrs::getDefaultXercesMemMgr()) {}

const XObjectPtr SafeNumberFactory::createNumber(double value) {
    if (std::isfinite(value) && std::fabs(value) >= largeNumber)
        return XObjectPtr(new LargeNumber(value, getMemoryManager()));
    return XObjectFactoryDefault::createNumber(value);
}

XPathEngine::XPathEngine()
    : envSupport(XalanMemMgrs::getDefaultXercesMemMgr()),
      context(XalanMemMgrs::getDefaultXercesMemMgr()) {}

XObjectPtr XPathEngine::evaluate(DOMSupport& domSupport, XalanNode* contextNode, const XPath& xpath,
                                 const PrefixResolver& resolver) {
    context.reset();
    factory.reset();
    const SupportRelease release(context);
    context.setXPathEnvSupport(&envSupport);
    context.setXObjectFactory(&factory);
    context.setDOMSupport(&domSupport);
    return xpath.execute(contextNode, resolver, context);
}

XObjectPtr XPathEngine::nodeSet(XalanNode* const* nodes, std::size_t count) {
    context.reset();
    factory.reset();
    const SupportRelease release(context);
    context.setXPathEnvSupport(&envSupport);
    context.setXObjectFactory(&factory);
    XPathExecutionContext::BorrowReturnMutableNodeRefList list(context);
    for (std::size_t i = 0; i < count; ++i) list->addNode(nodes[i]);
    list->setDocumentOrder();
    return factory.createNodeSet(list);
}

XalanNode* XPathEngine::selectSingleNode(DOMSupport& domSupport, XalanNode* contextNode,
                                         const XPath& xpath, const PrefixResolver& resolver) {
    const XObjectPtr result = evaluate(domSupport, contextNode, xpath, resolver);
    const NodeRefListBase& nodes = result->nodeset();
    return nodes.getLength() == 0 ? nullptr : nodes.item(0);
}
