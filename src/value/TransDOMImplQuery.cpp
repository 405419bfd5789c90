// XPath queries of document values: a context path picks one node, an
// expression is evaluated there, and its result becomes a text, a list of
// texts or a number.
#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>

#include "value/TransDOMImpl.h"
#include "value/xpath/XPathEngine.h"
#include "value/xpath/XPathQuery.h"

using namespace XALAN_CPP_NAMESPACE;

XPathAnswer TransDOMImpl::evaluate(const char16_t* contextPath, const char16_t* expression,
                                   TransStatus& st) const {
    XPathAnswer answer;
    try {
        // Built once per document and shared by its clones: Xalan's own tree
        // of the document, navigated without the wrapper's node map, and the
        // resolver over its namespace declarations.
        const DocumentCore::QueryView& view = core->queryView();
        XalanNode* root = view.root;
        const PrefixResolver& resolver = *view.resolver;
        XalanSourceTreeDOMSupport domSupport;
        XalanNode* contextNode = nullptr;
        // By-attribute paths on the tree: the first element the index holds
        // for the value, which is the first node the processor would select.
        IndexedPath indexed;
        const AttributeIndex* index = recogniseIndexedPath(contextPath, indexed)
                                          ? core->attributeIndex(indexed, *evaluator)
                                          : nullptr;
        if (index != nullptr) {
            const AttributeIndex::Elements elements = index->find(indexed.value);
            contextNode = elements.count != 0 ? elements.begin[0] : nullptr;
        } else {
            try {
                const CompiledXPath path(contextPath, resolver);
                contextNode = evaluator->selectSingleNode(domSupport, root, path.xpath(), resolver);
            } catch (...) {
                // A context path the processor rejects selects nothing.
                contextNode = nullptr;
            }
        }
        if (contextNode == nullptr) {
            st.failure(true);
            return answer;
        }
        // An expression that is itself such a path starts from the root
        // wherever it is evaluated: all the elements the index holds.
        index = recogniseIndexedPath(expression, indexed)
                    ? core->attributeIndex(indexed, *evaluator)
                    : nullptr;
        if (index != nullptr) {
            const AttributeIndex::Elements elements = index->find(indexed.value);
            answer.result = evaluator->nodeSet(elements.begin, elements.count);
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

TransString* TransDOMImpl::asString(const TransString& contextPath, const TransString& expression,
                                    TransStatus& st) const {
    return queryString(contextPath, expression, st, [this](auto... a) { return evaluate(a...); });
}

TransStringList* TransDOMImpl::asStringList(const TransString& contextPath,
                                            const TransString& expression, TransStatus& st) const {
    return queryStringList(contextPath, expression, st,
                           [this](auto... a) { return evaluate(a...); });
}

double TransDOMImpl::asDouble(const TransString& contextPath, const TransString& expression,
                              TransStatus& st) const {
    return queryDouble(contextPath, expression, st, [this](auto... a) { return evaluate(a...); });
}
