// Lookups by attribute value. A host reads a dictionary one variable at a
// time through paths such as /dictionary/variable[@name='age']; the
// processor answers each by walking every variable, so reading them all
// costs the square of the document. A path of exactly that shape, P[@a='v'],
// is answered from an index instead: the processor evaluates P once, and @a
// at each of its elements, and the index maps each value of those
// attributes to the elements that own it. The elements of P[@a='v'] are
// exactly those of P with an attribute among @a whose value is v, and both
// sets come from the processor, so the index answers what it would. (The
// processor merges P/@a in one go at a cost that grows with the square of
// the attributes, hence @a element by element.)
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
class XalanNode;
}  // namespace XALAN_CPP_NAMESPACE

// A path P[@a='v'] split into what the index needs.
struct IndexedPath {
    std::u16string elementPath;  // P
    std::u16string attribute;    // @a
    std::u16string value;        // v
    // What names the index of a document: P/@a.
    std::u16string key() const { return elementPath + u"/" + attribute; }
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

    struct Entry {
        std::u16string_view value;  // must outlive the index
        Node* element;
    };
    // entries: the attribute values of P's elements, element by element in
    // document order.
    explicit AttributeIndex(const std::vector<Entry>& entries);
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
