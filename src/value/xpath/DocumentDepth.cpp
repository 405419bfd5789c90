#include "value/xpath/DocumentDepth.h"

#include <xercesc/dom/DOMNode.hpp>

XERCES_CPP_NAMESPACE_USE

std::size_t documentDepth(const DOMNode* node) {
    if (node == nullptr) return 0;
    std::size_t depth = 0;
    std::size_t deepest = 0;
    // Walk the tree in document order through sibling and parent links.
    const DOMNode* current = node->getFirstChild();
    if (current != nullptr) depth = 1;
    while (current != nullptr) {
        if (current->getNodeType() == DOMNode::ELEMENT_NODE && depth > deepest) deepest = depth;
        if (const DOMNode* child = current->getFirstChild()) {
            current = child;
            ++depth;
            continue;
        }
        while (current != nullptr && current != node && current->getNextSibling() == nullptr) {
            current = current->getParentNode();
            --depth;
        }
        if (current == nullptr || current == node) break;
        current = current->getNextSibling();
    }
    return deepest;
}
