// Lookups by attribute value. A host reads a dictionary one variable at a
// time through paths such as /dictionary/variable[@name='age']; the
// processor answers each by walking every variable, so reading them all
// costs the square of the document. A path of exactly that shape is answered
// from an index instead: the processor evaluates the same path without its
// predicate and with the attribute as a last step (/dictionary/variable/@name)
// once, and the index maps each attribute value to the elements that own it.
// The elements of P[@a='v'] are exactly the owners of the nodes of P/@a whose
// value is v, and both sets come from the processor, so the index answers
// what the processor would.
#ifndef TRANSSPACE_VALUE_XPATH_ATTRIBUTEINDEX_H
#define TRANSSPACE_VALUE_XPATH_ATTRIBUTEINDEX_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>

namespace XALAN_CPP_NAMESPACE {
class NodeRefListBase;
class XalanNode;
}  // namespace XALAN_CPP_NAMESPACE

// A path P[@a='v'] split into what the index needs: the path of the
// attribute nodes (P/@a) and the value compared with.
struct IndexedPath {
    std::u16string attributePath;
    std::u16string value;
};

// True, filling path, when text is exactly an absolute location path of
// named steps ("/" or "//" before each, a name with or without a prefix)
// whose last step carries one predicate comparing one named attribute with a
// string literal: no blanks, no other predicate, axis, wildcard or operator.
// Anything else, however close, is left to the processor.
bool recogniseIndexedPath(const char16_t* text, IndexedPath& path);

class AttributeIndex {
public:
    using Node = XALAN_CPP_NAMESPACE::XalanNode;

    // attributes: the nodes of the attribute path in document order. Their
    // values and owners must outlive the index.
    explicit AttributeIndex(const XALAN_CPP_NAMESPACE::NodeRefListBase& attributes);
    AttributeIndex(const AttributeIndex&) = delete;
    AttributeIndex& operator=(const AttributeIndex&) = delete;

    struct Elements {
        Node* const* begin;
        std::size_t count;
    };
    // The elements whose attribute has the value, in document order.
    Elements find(std::u16string_view value) const;

    // Bytes held, for the benchmarks.
    std::size_t memory() const;

private:
    struct Range {
        std::uint32_t begin;
        std::uint32_t count;
    };
    std::vector<Node*> elements;  // grouped by value, each group in document order
    std::unordered_map<std::u16string_view, Range> byValue;
};

#endif
