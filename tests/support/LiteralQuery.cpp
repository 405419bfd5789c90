#include "support/LiteralQuery.h"

#include <memory>

#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>

#include "value/xpath/EmptyDocumentRoot.h"
#include "value/xpath/XPathEngine.h"
#include "value/xpath/XPathQuery.h"

using namespace XALAN_CPP_NAMESPACE;

namespace {

// One evaluator per query: the oracle keeps nothing between calls.
struct LiteralEvaluation {
    const TransValue& value;
    std::shared_ptr<XPathEngine> evaluator;
    std::shared_ptr<EmptyDocumentRoot> emptyRoot;

    XPathAnswer operator()(const char16_t* contextPath, const char16_t* expression,
                           TransStatus& st) {
        XPathAnswer answer;
        evaluator = std::make_shared<XPathEngine>();
        TransStatus local;
        XalanDocument* document = const_cast<XalanDocument*>(value.asXalanDocument(local));
        try {
            XalanDocumentPrefixResolver resolver(document, XalanDOMString(),
                                                 XalanMemMgrs::getDefaultXercesMemMgr());
            XalanSourceTreeDOMSupport domSupport;
            XalanNode* root = document;
            if (document->getDocumentElement() == nullptr) {
                emptyRoot = std::make_shared<EmptyDocumentRoot>();
                root = &emptyRoot->fragment;
            }
            XalanNode* contextNode = nullptr;
            try {
                const CompiledXPath path(contextPath, resolver);
                contextNode = evaluator->selectSingleNode(domSupport, root, path.xpath(), resolver);
            } catch (...) {
                contextNode = nullptr;
            }
            if (contextNode == nullptr) {
                st.failure(true);
                return answer;
            }
            answer.expression.reset(new CompiledXPath(expression, resolver));
            answer.result =
                evaluator->evaluate(domSupport, contextNode, answer.expression->xpath(), resolver);
        } catch (...) {
            st.failure(true);
            answer.result = XObjectPtr();
        }
        return answer;
    }
};

}  // namespace

TransString* literalAsString(const TransValue& value, const TransString& contextPath,
                             const TransString& expression, TransStatus& st) {
    LiteralEvaluation evaluation{value, nullptr, nullptr};
    return queryString(contextPath, expression, st, evaluation);
}

TransStringList* literalAsStringList(const TransValue& value, const TransString& contextPath,
                                     const TransString& expression, TransStatus& st) {
    LiteralEvaluation evaluation{value, nullptr, nullptr};
    return queryStringList(contextPath, expression, st, evaluation);
}

double literalAsDouble(const TransValue& value, const TransString& contextPath,
                       const TransString& expression, TransStatus& st) {
    LiteralEvaluation evaluation{value, nullptr, nullptr};
    return queryDouble(contextPath, expression, st, evaluation);
}
