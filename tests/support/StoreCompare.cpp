#include "support/StoreCompare.h"

#include <memory>

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "support/XmlDocuments.h"

XERCES_CPP_NAMESPACE_USE

std::string storeDifference(const DocumentStore& store, const DOMDocument* document) {
    DocumentPtr made(store.makeDom());
    return domDifference(document, made.get());
}

DOMDocument* literalCopy(const DOMDocument* source) {
    DOMDocument* document =
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager);
    const DOMElement* root = source != nullptr ? source->getDocumentElement() : nullptr;
    if (root == nullptr) return document;
    try {
        document->setStrictErrorChecking(false);
        DOMNode* copy = document;
        const DOMNode* node = root;
        for (;;) {
            const bool descend =
                node->getNodeType() != DOMNode::ENTITY_REFERENCE_NODE && node->hasChildNodes();
            DOMNode* imported = copy->appendChild(document->importNode(node, !descend));
            if (descend) {
                copy = imported;
                node = node->getFirstChild();
                continue;
            }
            while (node != root && node->getNextSibling() == nullptr) {
                node = node->getParentNode();
                copy = copy->getParentNode();
            }
            if (node == root) break;
            node = node->getNextSibling();
        }
        document->setStrictErrorChecking(true);
    } catch (...) {
        document->release();
        return DOMImplementation::getImplementation()->createDocument(
            XMLPlatformUtils::fgMemoryManager);
    }
    return document;
}
