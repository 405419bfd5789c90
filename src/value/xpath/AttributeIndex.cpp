#include "value/xpath/AttributeIndex.h"

#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>

using namespace XALAN_CPP_NAMESPACE;

namespace {

// ASCII names only: which other characters the processor's scanner takes
// into a name is its own business, and such paths go to it.
bool nameStart(char16_t c) {
    return c == u'_' || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool nameChar(char16_t c) {
    return nameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

// Past one name without a prefix at i, or i itself when there is none.
std::size_t ncName(const char16_t* text, std::size_t i) {
    if (!nameStart(text[i])) return i;
    while (nameChar(text[i])) ++i;
    return i;
}

// Past a name with or without a prefix at i, or i itself. Names that are
// also operators or node types are refused: whether the scanner reads them as
// names depends on what precedes them.
std::size_t qName(const char16_t* text, std::size_t i) {
    const std::size_t end = ncName(text, i);
    if (end == i) return i;
    if (text[end] == u':') {
        const std::size_t local = ncName(text, end + 1);
        return local == end + 1 ? i : local;
    }
    static const std::u16string_view reserved[] = {
        u"and", u"or", u"div", u"mod", u"node", u"text", u"comment", u"processing-instruction"};
    const std::u16string_view name(text + i, end - i);
    for (std::u16string_view word : reserved)
        if (name == word) return i;
    return end;
}

}  // namespace

bool recogniseIndexedPath(const char16_t* text, IndexedPath& path) {
    std::size_t i = 0;
    for (;;) {
        if (text[i] != u'/') return false;
        ++i;
        if (text[i] == u'/') ++i;
        const std::size_t end = qName(text, i);
        if (end == i) return false;
        i = end;
        if (text[i] == u'[') break;
    }
    const std::size_t predicate = i;
    if (text[++i] != u'@') return false;
    const std::size_t attribute = ++i;
    i = qName(text, i);
    if (i == attribute || text[i] != u'=') return false;
    const std::size_t attributeEnd = i;
    const char16_t quote = text[++i];
    if (quote != u'\'' && quote != u'"') return false;
    const std::size_t literal = ++i;
    while (text[i] != 0 && text[i] != quote) ++i;
    if (text[i] != quote || text[i + 1] != u']' || text[i + 2] != 0) return false;
    path.attributePath.assign(text, predicate);
    path.attributePath += u"/@";
    path.attributePath.append(text + attribute, attributeEnd - attribute);
    path.value.assign(text + literal, i - literal);
    return true;
}

AttributeIndex::AttributeIndex(const NodeRefListBase& attributes) {
    // Attributes come in document order, an element's own ones together, so
    // an element two of whose attributes match with the same value shows as
    // a repeat of the one before.
    struct Entry {
        std::u16string_view value;
        Node* owner;
    };
    std::vector<Entry> entries;
    entries.reserve(attributes.getLength());
    for (NodeRefListBase::size_type i = 0; i < attributes.getLength(); ++i) {
        const XalanNode* node = attributes.item(i);
        if (node->getNodeType() != XalanNode::ATTRIBUTE_NODE) continue;
        const XalanDOMString& value = node->getNodeValue();
        Entry entry{std::u16string_view(value.c_str(), value.length()),
                    static_cast<const XalanAttr*>(node)->getOwnerElement()};
        if (!entries.empty() && entries.back().owner == entry.owner &&
            entries.back().value == entry.value)
            continue;
        entries.push_back(entry);
    }
    byValue.reserve(entries.size());
    for (const Entry& entry : entries) ++byValue[entry.value].count;
    std::uint32_t next = 0;
    for (auto& group : byValue) {
        group.second.begin = next;
        next += group.second.count;
        group.second.count = 0;
    }
    elements.resize(entries.size());
    for (const Entry& entry : entries) {
        Range& range = byValue[entry.value];
        elements[range.begin + range.count++] = entry.owner;
    }
}

AttributeIndex::Elements AttributeIndex::find(std::u16string_view value) const {
    const auto found = byValue.find(value);
    if (found == byValue.end()) return {nullptr, 0};
    return {elements.data() + found->second.begin, found->second.count};
}

std::size_t AttributeIndex::memory() const {
    // A hash node holds its key, value, hash and link; the buckets one
    // pointer each.
    const std::size_t node = sizeof(std::u16string_view) + sizeof(Range) + 2 * sizeof(void*);
    return sizeof(*this) + elements.capacity() * sizeof(Node*) + byValue.size() * node +
           byValue.bucket_count() * sizeof(void*);
}
