// The DOM tree of the dictionary sections, and the DOM builder.
#include "dictionary/DictionaryBuilder.h"

#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

XERCES_CPP_NAMESPACE_USE

DOMNode* insertAfterLastNamed(DOMElement* parent, DOMNode* newChild, const XMLCh* tagName) {
    DOMNodeList* list = parent->getElementsByTagName(tagName);
    const XMLSize_t length = list->getLength();
    if (length == 0) return nullptr;
    DOMNode* ref = list->item(length - 1)->getNextSibling();
    return parent->insertBefore(newChild, ref);
}

DomTree::Element DomTree::create() {
    document =
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager);
    document->setStrictErrorChecking(true);
    document->setXmlStandalone(false);
    document->setXmlVersion(u"1.0");
    DOMElement* root = document->createElement(tagText(Tag::dictionary));
    document->appendChild(root);
    return root;
}

void DomTree::discard() {
    if (document != nullptr) {
        try {
            document->release();
        } catch (...) {
        }
    }
    document = nullptr;
}

DomTree::Result DomTree::take() {
    DOMDocument* made = document;
    document = nullptr;
    return made;
}

bool DomTree::insertAfterLast(Element parent, Element child, Tag tag, bool deep) {
    if (deep) return insertAfterLastNamed(parent, child, tagText(tag)) != nullptr;
    // The elements looked for are direct children without children of their
    // own, and an unfinished element has at most a handful of children: a
    // backward walk stands in for the document-wide lookup, which would also
    // leave one cached node list per element in the document.
    for (DOMNode* c = parent->getLastChild(); c != nullptr; c = c->getPreviousSibling()) {
        if (c->getNodeType() == DOMNode::ELEMENT_NODE &&
            XMLString::equals(c->getNodeName(), tagText(tag))) {
            parent->insertBefore(child, c->getNextSibling());
            return true;
        }
    }
    return false;
}

bool DomTree::setInteger(Element e, Attr attr, std::int64_t n) {
    const char16_t* text = numbers.integer(n);
    if (text == nullptr) return false;
    e->setAttribute(attrText(attr), text);
    return true;
}

bool DomTree::setDecimal(Element e, Attr attr, double d) {
    const char16_t* text = numbers.decimal(d);
    if (text == nullptr) return false;
    e->setAttribute(attrText(attr), text);
    return true;
}

DictionaryBuilder::DictionaryBuilder() : DictionaryBuilder(Placement::remembered) {}

DictionaryBuilder::DictionaryBuilder(Placement placement) {
    tree.literalPlacement = placement == Placement::literal;
}

DictionaryBuilder::DOMNode* DictionaryBuilder::insertAfterLast(DOMElement* parent,
                                                               DOMNode* newChild,
                                                               const XMLCh* tagName) {
    return insertAfterLastNamed(parent, newChild, tagName);
}
