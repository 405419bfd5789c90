// Two read-only views of a document for the walks that write and check its
// text: one over a Xerces DOM, one over the compact store. Both give what
// the Load and Save serializer reads from the DOM the store stands for
// (node kinds, names with their namespace parts and absence, values,
// attributes in order with their entity-reference parts), so that one walk
// written against either gives the same text. A view is made per walk and
// used by one thread.
#ifndef TRANSSPACE_VALUE_DOCUMENTTREE_H
#define TRANSSPACE_VALUE_DOCUMENTTREE_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "value/store/DocumentStore.h"

namespace documenttree {

enum class Kind : std::uint8_t {
    Element,
    Text,
    CDATA,
    EntityReference,
    Instruction,
    Comment,
    Other
};

// A name as the DOM node reports it: the qualified name, and the prefix,
// local name and namespace URI, each null where the node has none.
struct Name {
    std::u16string_view qname;
    const char16_t* prefix;
    const char16_t* localName;
    const char16_t* uri;
};

inline std::u16string_view view(const char16_t* s) {
    return s != nullptr ? std::u16string_view(s) : std::u16string_view();
}

}  // namespace documenttree

// The view over a DOM document. Attributes the DOM defaulted (not
// specified) are skipped, as the serializer discards them.
class DomTree {
public:
    using Node = const XERCES_CPP_NAMESPACE::DOMNode*;
    struct Attr {
        const XERCES_CPP_NAMESPACE::DOMNamedNodeMap* map;
        XMLSize_t index;
        XMLSize_t count;
        const XERCES_CPP_NAMESPACE::DOMAttr* node() const {
            return static_cast<const XERCES_CPP_NAMESPACE::DOMAttr*>(map->item(index));
        }
    };
    using Kind = documenttree::Kind;
    using Name = documenttree::Name;

    explicit DomTree(const XERCES_CPP_NAMESPACE::DOMDocument& document) : document(document) {}

    Node top() const { return &document; }
    static bool isNull(Node n) { return n == nullptr; }
    static Node firstChild(Node n) { return n->getFirstChild(); }
    static Node nextSibling(Node n) { return n->getNextSibling(); }
    // The parent, null at the document node.
    Node parent(Node n) const { return n == &document ? nullptr : n->getParentNode(); }
    static Kind kind(Node n) {
        using XERCES_CPP_NAMESPACE::DOMNode;
        switch (n->getNodeType()) {
            case DOMNode::ELEMENT_NODE:
                return Kind::Element;
            case DOMNode::TEXT_NODE:
                return Kind::Text;
            case DOMNode::CDATA_SECTION_NODE:
                return Kind::CDATA;
            case DOMNode::ENTITY_REFERENCE_NODE:
                return Kind::EntityReference;
            case DOMNode::PROCESSING_INSTRUCTION_NODE:
                return Kind::Instruction;
            case DOMNode::COMMENT_NODE:
                return Kind::Comment;
            default:
                return Kind::Other;
        }
    }
    // An element's, entity reference's or instruction target's name.
    static Name name(Node n) {
        return {documenttree::view(n->getNodeName()), n->getPrefix(), n->getLocalName(),
                n->getNamespaceURI()};
    }
    static std::u16string_view value(Node n) { return documenttree::view(n->getNodeValue()); }

    static Attr firstAttribute(Node element) {
        const XERCES_CPP_NAMESPACE::DOMNamedNodeMap* map = element->getAttributes();
        Attr a{map, 0, map != nullptr ? map->getLength() : 0};
        skipDefaulted(a);
        return a;
    }
    static bool isEnd(const Attr& a) { return a.index >= a.count; }
    static Attr nextAttribute(Attr a) {
        ++a.index;
        skipDefaulted(a);
        return a;
    }
    static Name attributeName(const Attr& a) { return name(a.node()); }
    // The value as a zero-terminated string (what a namespace declaration
    // binds).
    static const char16_t* attributeValueZ(const Attr& a) { return a.node()->getNodeValue(); }
    // Calls part(isReference, text) for each text and entity reference of
    // the value, in order.
    template <class Part>
    static void attributeParts(const Attr& a, Part&& part) {
        using XERCES_CPP_NAMESPACE::DOMNode;
        for (const DOMNode* c = a.node()->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
            if (c->getNodeType() == DOMNode::TEXT_NODE)
                part(false, documenttree::view(c->getNodeValue()));
            else if (c->getNodeType() == DOMNode::ENTITY_REFERENCE_NODE)
                part(true, documenttree::view(c->getNodeName()));
        }
    }

    const char16_t* xmlVersion() const { return document.getXmlVersion(); }
    bool standalone() const { return document.getXmlStandalone(); }

private:
    static void skipDefaulted(Attr& a) {
        while (a.index < a.count && !a.node()->getSpecified()) ++a.index;
    }

    const XERCES_CPP_NAMESPACE::DOMDocument& document;
};

// The view over a store. Names are looked up and measured once per walk.
class StoreTree {
public:
    using Id = DocumentStore::Id;
    using Node = Id;
    using Attr = Id;
    using Kind = documenttree::Kind;
    using Name = documenttree::Name;

    explicit StoreTree(const DocumentStore& store) : store(store) {}

    Node top() const { return DocumentStore::documentNode; }
    static bool isNull(Node n) { return n == DocumentStore::none; }
    Node firstChild(Node n) const { return store.firstChild(n); }
    Node nextSibling(Node n) const { return store.nextSibling(n); }
    Node parent(Node n) const { return store.parent(n); }
    Kind kind(Node n) const {
        switch (store.type(n)) {
            case DocumentStore::Element:
                return Kind::Element;
            case DocumentStore::Text:
                return Kind::Text;
            case DocumentStore::CDATA:
                return Kind::CDATA;
            case DocumentStore::EntityReference:
                return Kind::EntityReference;
            case DocumentStore::ProcessingInstruction:
                return Kind::Instruction;
            case DocumentStore::Comment:
                return Kind::Comment;
            default:
                return Kind::Other;
        }
    }
    const Name& name(Node n) const { return nameOf(store.nameIdOf(n)); }
    std::u16string_view value(Node n) const { return store.value(n); }

    Attr firstAttribute(Node element) const { return store.firstAttribute(element); }
    static bool isEnd(Attr a) { return a == DocumentStore::none; }
    Attr nextAttribute(Attr a) const { return store.nextAttribute(a); }
    const Name& attributeName(Attr a) const { return nameOf(store.attributeNameId(a)); }
    const char16_t* attributeValueZ(Attr a) const { return store.attributeValueZ(a); }
    template <class Part>
    void attributeParts(Attr a, Part&& part) const {
        if (const std::vector<DocumentStore::Part>* parts = store.attributeParts(a)) {
            for (const DocumentStore::Part& p : *parts)
                part(p.isReference, std::u16string_view(p.text));
        } else {
            part(false, store.attributeValue(a));
        }
    }

    const char16_t* xmlVersion() const { return store.xmlVersion(); }
    bool standalone() const { return store.standalone(); }

private:
    const Name& nameOf(Id id) const {
        if (id < names.size() && names[id].qname.data() != nullptr) return names[id];
        return meet(id);
    }
    const Name& meet(Id id) const {
        if (id >= names.size()) names.resize(id + 1, Name{{}, nullptr, nullptr, nullptr});
        const DocumentStore::Name& n = store.name(id);
        names[id] = {std::u16string_view(n.qname), n.prefix, n.localName, n.namespaceURI};
        return names[id];
    }

    const DocumentStore& store;
    // The names met so far, by id; a null qname marks one not yet met.
    mutable std::vector<Name> names;
};

// Whether found holds for any node below the document, visited in document
// order; only elements are entered, as the serializer enters only them. No
// recursion: any depth is walked.
template <class Tree, class Found>
bool anyNode(const Tree& tree, Found found) {
    using Node = typename Tree::Node;
    Node node = tree.firstChild(tree.top());
    while (!Tree::isNull(node)) {
        if (found(node)) return true;
        if (tree.kind(node) == Tree::Kind::Element) {
            const Node child = tree.firstChild(node);
            if (!Tree::isNull(child)) {
                node = child;
                continue;
            }
        }
        while (!Tree::isNull(node) && Tree::isNull(tree.nextSibling(node))) {
            node = tree.parent(node);
            if (!Tree::isNull(node) && node == tree.top()) return false;
        }
        if (!Tree::isNull(node)) node = tree.nextSibling(node);
    }
    return false;
}

#endif
