// How deep a document nests its elements, measured without recursion so that
// any depth the DOM can hold is safe to measure.
#ifndef TRANSSPACE_VALUE_XPATH_DOCUMENTDEPTH_H
#define TRANSSPACE_VALUE_XPATH_DOCUMENTDEPTH_H

#include <cstddef>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

// The deepest element level the serializer is given. The XML library's
// serializer recurses per level and overflowed an 8 MiB stack at about
// 100,000 levels; hosts may serialise on threads with 256 KiB stacks and
// sanitizers enlarge each frame, so the limit keeps a factor of about 50.
constexpr std::size_t maxSerializedDepth = 2000;

// The number of element levels below node: 0 for a node without element
// children, 1 for a document holding only its root element.
std::size_t documentDepth(const XERCES_CPP_NAMESPACE::DOMNode* node);

#endif
