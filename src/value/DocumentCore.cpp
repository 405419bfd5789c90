#include "value/DocumentCore.h"

#include <type_traits>
#include <vector>

#include <xalanc/PlatformSupport/AttributesImpl.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeComment.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElement.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeHelper.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeProcessingInstruction.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeText.hpp>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/util/XMLString.hpp>

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

DocumentCore::DocumentCore(DOMDocument* document) : document(document) {}

DocumentCore::~DocumentCore() {
    view = QueryView();
    delete document;
}

const DocumentCore::QueryView& DocumentCore::queryView() const {
    std::call_once(viewBuilt, [this] {
        QueryView built;
        built.tree = makeSourceTree(document);
        if (!built.tree) {
            view = std::move(built);
            return;
        }
        if (built.tree->getDocumentElement() == nullptr) {
            built.emptyRoot.reset(new EmptyDocumentRoot);
            built.root = &built.emptyRoot->fragment;
        } else {
            built.root = built.tree.get();
        }
        built.resolver.reset(new xalan::XalanDocumentPrefixResolver(
            built.tree.get(), xalan::XalanDOMString(),
            xalan::XalanMemMgrs::getDefaultXercesMemMgr()));
        view = std::move(built);
    });
    return view;
}

namespace {

const XMLCh empty[] = {0};
const XMLCh cdata[] = u"CDATA";

const XMLCh* orEmpty(const XMLCh* s) { return s != nullptr ? s : empty; }

// Appends new nodes in document order, as the tree's own content handler
// does: the first child through its parent, later ones after the last.
class TreeBuilder {
public:
    explicit TreeBuilder(xalan::XalanSourceTreeDocument& tree) : tree(tree) {}

    template <class Node>
    void append(Node* node) {
        Level& level = levels.back();
        if (level.element == nullptr) {
            // Text is never a child of the document; the caller skips it.
            if constexpr (!std::is_same_v<Node, xalan::XalanSourceTreeText>)
                tree.appendChildNode(node);
        } else if (level.lastChild == nullptr)
            level.element->appendChildNode(node);
        else
            xalan::XalanSourceTreeHelper::appendSibling(level.lastChild, node);
        level.lastChild = node;
    }

    void open(xalan::XalanSourceTreeElement* element) {
        append(element);
        levels.push_back({element, nullptr});
    }
    void close() { levels.pop_back(); }

    xalan::XalanSourceTreeElement* parent() const { return levels.back().element; }

private:
    struct Level {
        xalan::XalanSourceTreeElement* element;
        xalan::XalanNode* lastChild;
    };
    xalan::XalanSourceTreeDocument& tree;
    std::vector<Level> levels{Level{nullptr, nullptr}};
};

xalan::XalanSourceTreeElement* makeElement(xalan::XalanSourceTreeDocument& tree,
                                           const DOMElement* e,
                                           xalan::XalanSourceTreeElement* parent,
                                           xalan::AttributesImpl& attributes) {
    attributes.clear();
    const DOMNamedNodeMap* map = e->getAttributes();
    const XMLSize_t count = map != nullptr ? map->getLength() : 0;
    for (XMLSize_t i = 0; i < count; ++i) {
        const DOMNode* a = map->item(i);
        const XMLCh* name = a->getNodeName();
        const XMLCh* local = a->getLocalName();
        attributes.addAttribute(orEmpty(a->getNamespaceURI()), local != nullptr ? local : name,
                                name, cdata, orEmpty(a->getNodeValue()));
    }
    const XMLCh* uri = e->getNamespaceURI();
    // No xml namespace attribute is added: the DOM has none.
    if (uri != nullptr && uri[0] != 0)
        return tree.createElementNode(uri, orEmpty(e->getLocalName()), e->getTagName(),
                                      attributes, parent, nullptr, nullptr, false);
    return tree.createElementNode(e->getTagName(), attributes, parent, nullptr, nullptr, false);
}

}  // namespace

std::unique_ptr<xalan::XalanSourceTreeDocument> makeSourceTree(const DOMDocument* document) {
    xalan::MemoryManager& memory = xalan::XalanMemMgrs::getDefaultXercesMemMgr();
    // Text nodes are not pooled: a dictionary's texts are mostly distinct.
    std::unique_ptr<xalan::XalanSourceTreeDocument> tree(
        new xalan::XalanSourceTreeDocument(memory, false));
    TreeBuilder builder(*tree);
    xalan::AttributesImpl attributes(memory);

    // Iterative: documents may nest deeper than the stack allows recursion.
    const DOMNode* node = document->getFirstChild();
    while (node != nullptr) {
        bool descend = false;
        switch (node->getNodeType()) {
        case DOMNode::ELEMENT_NODE:
            builder.open(makeElement(*tree, static_cast<const DOMElement*>(node),
                                     builder.parent(), attributes));
            descend = true;
            break;
        case DOMNode::CDATA_SECTION_NODE:
        case DOMNode::ENTITY_REFERENCE_NODE:
            // Xalan's tree has neither; the processor treats both apart from
            // plain text on the wrapper view, so such documents stay there.
            return nullptr;
        case DOMNode::TEXT_NODE:
            if (builder.parent() != nullptr) {
                const XMLCh* text = orEmpty(node->getNodeValue());
                builder.append(tree->createTextNode(text, XMLString::stringLen(text),
                                                    builder.parent()));
            }
            break;
        case DOMNode::COMMENT_NODE: {
            const XMLCh* text = orEmpty(node->getNodeValue());
            builder.append(
                tree->createCommentNode(text, XMLString::stringLen(text), builder.parent()));
            break;
        }
        case DOMNode::PROCESSING_INSTRUCTION_NODE: {
            const auto* pi = static_cast<const DOMProcessingInstruction*>(node);
            builder.append(tree->createProcessingInstructionNode(
                pi->getTarget(), orEmpty(pi->getData()), builder.parent()));
            break;
        }
        default:
            break;
        }
        if (descend && node->hasChildNodes()) {
            node = node->getFirstChild();
            continue;
        }
        if (descend && node->getNodeType() == DOMNode::ELEMENT_NODE) builder.close();
        // Climb to the next node in document order, closing finished elements.
        while (node != nullptr && node->getNextSibling() == nullptr) {
            node = node->getParentNode();
            if (node == nullptr || node == document) {
                node = nullptr;
                break;
            }
            if (node->getNodeType() == DOMNode::ELEMENT_NODE) builder.close();
        }
        if (node != nullptr) node = node->getNextSibling();
    }
    return tree;
}
