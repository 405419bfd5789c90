#include "value/xpath/XPathResult.h"

#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>

#include "text/TransText.h"
#include "value/NumberText.h"
#include "value/TransValueImpl.h"

using namespace XALAN_CPP_NAMESPACE;

namespace {

enum class Kind { none, scalar, nodeSet };

Kind kindOf(const XObjectPtr& result) {
    if (result.null()) return Kind::none;
    switch (result->getType()) {
        case XObject::eTypeBoolean:
        case XObject::eTypeNumber:
        case XObject::eTypeString:
            return Kind::scalar;
        case XObject::eTypeNodeSet:
            return Kind::nodeSet;
        default:
            return Kind::none;
    }
}

icu::UnicodeString unicode(const XalanDOMString& s) {
    return icu::UnicodeString(s.c_str(), static_cast<int32_t>(s.length()));
}

// A node's DOM value: the text of attributes, texts, comments and processing
// instructions; empty for elements and the document.
icu::UnicodeString nodeValue(const NodeRefListBase& nodes, NodeRefListBase::size_type i) {
    return unicode(nodes.item(i)->getNodeValue());
}

// A scalar result's XPath string value.
icu::UnicodeString scalarText(const XObjectPtr& result) { return unicode(result->str()); }

}  // namespace

TransString* resultAsString(const XObjectPtr& result, TransStatus& st) {
    switch (kindOf(result)) {
        case Kind::scalar:
            return TransStringAccess::newFromUTF16(scalarText(result));
        case Kind::nodeSet: {
            const NodeRefListBase& nodes = result->nodeset();
            if (nodes.getLength() == 0) return new TransString;
            if (nodes.getLength() > 1) st.warning(true);
            return TransStringAccess::newFromUTF16(nodeValue(nodes, 0));
        }
        case Kind::none:
            break;
    }
    st.failure(true);
    return new TransString;
}

void resultAsStringList(const XObjectPtr& result, TransStringList& list, TransStatus& st) {
    switch (kindOf(result)) {
        case Kind::scalar:
            TransStringListAccess::append(list, scalarText(result));
            return;
        case Kind::nodeSet: {
            const NodeRefListBase& nodes = result->nodeset();
            for (NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i)
                TransStringListAccess::append(list, nodeValue(nodes, i));
            return;
        }
        case Kind::none:
            break;
    }
    st.failure(true);
}

double resultAsDouble(const XObjectPtr& result, TransStatus& st) {
    switch (kindOf(result)) {
        case Kind::scalar:
            if (result->getType() == XObject::eTypeString)
                return parseNumber(unicode(result->str()));
            // A boolean's context-free num() reads its text "true" or "false" as
            // a number and gives NaN; its number is 1 or 0.
            if (result->getType() == XObject::eTypeBoolean) {
                const XalanDOMString& text = result->str();
                return text.length() == 4 && text[0] == u't' ? 1.0 : 0.0;
            }
            return result->num();
        case Kind::nodeSet: {
            const NodeRefListBase& nodes = result->nodeset();
            if (nodes.getLength() == 0) return missingNumber;
            if (nodes.getLength() > 1) st.warning(true);
            return parseNumber(nodeValue(nodes, 0));
        }
        case Kind::none:
            break;
    }
    st.failure(true);
    return missingNumber;
}
