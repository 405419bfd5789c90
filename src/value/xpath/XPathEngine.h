// Evaluation of compiled XPath. Xalan-C writes a number's decimal expansion
// into a fixed 100-character buffer and aborts the process (fortify's
// "buffer overflow detected") when the number is about 1e86 or larger. Such
// numbers are easy to compute ("string(1e60 * 1e60)", number() of a long
// digit text), so this engine evaluates with Xalan's own execution context
// but an object factory whose large numbers write their text themselves.
// What remains is Xalan's string-length() fast path, which converts numeric
// arguments without any object; CompiledXPath hands it strings only.
#ifndef TRANSSPACE_VALUE_XPATHENGINE_H
#define TRANSSPACE_VALUE_XPATHENGINE_H

#include <cstddef>
#include <string>

#include <xalanc/XPath/XObjectFactoryDefault.hpp>
#include <xalanc/XPath/XPathEnvSupportDefault.hpp>
#include <xalanc/XPath/XPathExecutionContextDefault.hpp>

namespace XALAN_CPP_NAMESPACE {
class DOMSupport;
class PrefixResolver;
class XPath;
}  // namespace XALAN_CPP_NAMESPACE

// From this magnitude up, numbers are written as text without Xalan-C.
constexpr double largeNumber = 1e64;

// The XPath string value of a finite number of magnitude largeNumber or more:
// its full decimal expansion, as Xalan-C writes the smaller ones.
std::u16string largeNumberText(double n);

class SafeNumberFactory : public XALAN_CPP_NAMESPACE::XObjectFactoryDefault {
public:
    SafeNumberFactory();
    const XALAN_CPP_NAMESPACE::XObjectPtr createNumber(double value) override;
    using XObjectFactoryDefault::createNumber;
};

class XPathEngine {
public:
    XPathEngine();
    XPathEngine(const XPathEngine&) = delete;
    XPathEngine& operator=(const XPathEngine&) = delete;

    // The result of xpath at contextNode. It lives until the next call.
    XALAN_CPP_NAMESPACE::XObjectPtr evaluate(XALAN_CPP_NAMESPACE::DOMSupport& domSupport,
                                             XALAN_CPP_NAMESPACE::XalanNode* contextNode,
                                             const XALAN_CPP_NAMESPACE::XPath& xpath,
                                             const XALAN_CPP_NAMESPACE::PrefixResolver& resolver);
    // A node-set result holding count nodes, given in document order. It
    // lives until the next call.
    XALAN_CPP_NAMESPACE::XObjectPtr nodeSet(XALAN_CPP_NAMESPACE::XalanNode* const* nodes,
                                            std::size_t count);
    // The first node of a node-set result, or none.
    XALAN_CPP_NAMESPACE::XalanNode* selectSingleNode(
        XALAN_CPP_NAMESPACE::DOMSupport& domSupport, XALAN_CPP_NAMESPACE::XalanNode* contextNode,
        const XALAN_CPP_NAMESPACE::XPath& xpath,
        const XALAN_CPP_NAMESPACE::PrefixResolver& resolver);

private:
    XALAN_CPP_NAMESPACE::XPathEnvSupportDefault envSupport;
    SafeNumberFactory factory;
    XALAN_CPP_NAMESPACE::XPathExecutionContextDefault context;
};

#endif
