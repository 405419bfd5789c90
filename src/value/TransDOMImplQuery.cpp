// XPath queries of document values: a context path picks one node, an
// expression is evaluated there, and its result becomes a text, a list of
// texts or a number.
#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>

#include "text/TransText.h"
#include "value/NumberText.h"
#include "value/TransDOMImpl.h"
#include "value/XPathLimits.h"
#include "value/XPathResult.h"

using namespace XALAN_CPP_NAMESPACE;

namespace {

// The UTF-16 text of a string, and whether it can go to the processor at all.
struct QueryText {
    const char16_t* text;
    bool usable;
};

QueryText queryText(const TransString& s) {
    TransStatus local;
    const char16_t* text = reinterpret_cast<const char16_t*>(s.asUTF16(local));
    const icu::UnicodeString& view = TransStringAccess::utf16(s);
    return {text, withinXPathLimits(text, static_cast<std::size_t>(view.length()))};
}

// The argument check that opens every query: false, with the failure flag,
// when a text is empty or only blanks, or when it is beyond what the
// processor survives.
bool acceptArguments(const TransString& contextPath, const TransString& expression,
                     TransStatus& st) {
    for (const TransString* s : {&contextPath, &expression}) {
        TransStatus local;
        TransString trimmed(*s);
        if (s->empty() || trimmed.trim(local).empty()) {
            st.failure(true);
            return false;
        }
    }
    return true;
}

}  // namespace

XPathAnswer TransDOMImpl::evaluate(const char16_t* contextPath, const char16_t* expression,
                                   TransStatus& st) const {
    XPathAnswer answer;
    try {
        XalanDocumentPrefixResolver resolver(xalanDocument, XalanDOMString(),
                                             XalanMemMgrs::getDefaultXercesMemMgr());
        XalanSourceTreeDOMSupport domSupport;
        XalanNode* contextNode = nullptr;
        try {
            const CompiledXPath path(contextPath, resolver);
            contextNode = evaluator->selectSingleNode(domSupport, queryRoot(), path.xpath(), resolver);
        } catch (...) {
            // A context path the processor rejects selects nothing.
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

TransString* TransDOMImpl::asString(const TransString& contextPath, const TransString& expression,
                                    TransStatus& st) const {
    st.reset();
    TransString* text = nullptr;
    if (acceptArguments(contextPath, expression, st)) {
        const QueryText e = queryText(expression);
        const QueryText c = queryText(contextPath);
        if (e.usable && c.usable) {
            try {
                text = resultAsString(evaluate(c.text, e.text, st).result, st);
            } catch (...) {
                st.failure(true);
                delete text;
                text = nullptr;
            }
        } else {
            st.failure(true);
        }
    }
    if (text == nullptr) text = new TransString;
    if (text->empty()) st.warning(true);
    return text;
}

TransStringList* TransDOMImpl::asStringList(const TransString& contextPath,
                                            const TransString& expression,
                                            TransStatus& st) const {
    st.reset();
    TransStringList* list = new TransStringList;
    if (acceptArguments(contextPath, expression, st)) {
        const QueryText e = queryText(expression);
        const QueryText c = queryText(contextPath);
        if (e.usable && c.usable) {
            try {
                resultAsStringList(evaluate(c.text, e.text, st).result, *list, st);
            } catch (...) {
                st.failure(true);
                *list = TransStringList();
            }
        } else {
            st.failure(true);
        }
    }
    if (list->empty()) st.warning(true);
    return list;
}

double TransDOMImpl::asDouble(const TransString& contextPath, const TransString& expression,
                              TransStatus& st) const {
    st.reset();
    double number = missingNumber;
    if (acceptArguments(contextPath, expression, st)) {
        const QueryText e = queryText(expression);
        const QueryText c = queryText(contextPath);
        if (e.usable && c.usable) {
            try {
                number = resultAsDouble(evaluate(c.text, e.text, st).result, st);
            } catch (...) {
                st.failure(true);
                number = missingNumber;
            }
        } else {
            st.failure(true);
        }
    }
    if (number == missingNumber) st.warning(true);
    return number;
}
