#include "value/xpath/AttributeIndex.h"

#include "value/xpath/XPathLimits.h"

namespace {

// ASCII names only: which other characters the processor's scanner takes
// into a name is its own business, and such paths go to it.
bool nameStart(char16_t c) { return c < 0x80 && xpathNameStart(c); }
bool nameChar(char16_t c) { return c < 0x80 && xpathNameChar(c); }

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
    path.elementPath.assign(text, predicate);
    path.attribute.assign(text + attribute - 1, attributeEnd - attribute + 1);
    path.value.assign(text + literal, i - literal);
    return true;
}

AttributeIndex::AttributeIndex(const std::vector<Entry>& entries) {
    // An element two of whose attributes match with the same value shows as
    // a repeat of the entry before.
    auto repeat = [&entries](std::size_t i) {
        return i > 0 && entries[i - 1].element == entries[i].element &&
               entries[i - 1].value == entries[i].value;
    };
    byValue.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!repeat(i)) ++byValue[entries[i].value].count;
    std::uint32_t next = 0;
    for (auto& group : byValue) {
        group.second.begin = next;
        next += group.second.count;
        group.second.count = 0;
    }
    elements.resize(next);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (repeat(i)) continue;
        Range& range = byValue[entries[i].value];
        elements[range.begin + range.count++] = entries[i].element;
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
