// The order in which the DOM keeps an element's attributes, for the store
// and the parser that fill it: what the DOM's attribute map does, without a
// DOM.
#ifndef TRANSSPACE_VALUE_STORE_ATTRIBUTEMAP_H
#define TRANSSPACE_VALUE_STORE_ATTRIBUTEMAP_H

#include <cstddef>
#include <string_view>
#include <vector>

// An attribute as the DOM's attribute map tells it from another: its name,
// and for one made with namespaces its namespace URI and local name. A null
// URI and an empty one compare equal, as the DOM compares them.
struct AttributeKey {
    std::u16string_view name, uri, local;
    bool plain;  // made without namespaces
};

// An element's attributes in the DOM's attribute map: a vector kept in order
// of name, in which a name is found by binary search and a namespace URI
// with a local name by a walk from the start. set puts an attribute exactly
// where the map's setNamedItem (for one made without namespaces) or
// setNamedItemNS puts it: in place of the one it finds, or else before the
// equal name its binary search meets, or where the name belongs. So equal
// names (one qualified name in several namespaces) end in an order that
// depends on the order they were set in, and setting one without namespaces
// replaces whichever equal name the search meets.
class AttributeMap {
public:
    static constexpr std::size_t nothing = ~std::size_t(0);

    explicit AttributeMap(const std::vector<AttributeKey>& keys) : keys(keys) {}

    // The index of an attribute of that name, or -1 minus where it belongs.
    int findName(std::u16string_view name) const {
        int i = 0;
        int first = 0;
        int last = static_cast<int>(placed.size()) - 1;
        while (first <= last) {
            i = (first + last) / 2;
            const int test = name.compare(keys[placed[i]].name);
            if (test == 0) return i;
            if (test < 0)
                last = i - 1;
            else
                first = i + 1;
        }
        if (first > i) i = first;
        return -1 - i;
    }
    // The index of the first attribute in uri with that local name (its
    // whole name, for one made without namespaces), or -1.
    int findNS(std::u16string_view uri, std::u16string_view local) const {
        for (std::size_t i = 0; i < placed.size(); ++i) {
            const AttributeKey& other = keys[placed[i]];
            if (other.uri == uri && (other.plain ? other.name : other.local) == local)
                return static_cast<int>(i);
        }
        return -1;
    }
    // Sets keys[k]; returns the key it replaced, or nothing.
    std::size_t set(std::size_t k) {
        const AttributeKey& key = keys[k];
        int at = key.plain ? findName(key.name) : findNS(key.uri, key.local);
        if (at >= 0) {
            const std::size_t replaced = placed[at];
            placed[at] = k;
            return replaced;
        }
        if (!key.plain) {
            at = findName(key.name);
            if (at < 0) at = -1 - at;
        } else {
            at = -1 - at;
        }
        placed.insert(placed.begin() + at, k);
        return nothing;
    }

    void clear() { placed.clear(); }

    std::vector<std::size_t> placed;  // indices into keys

private:
    const std::vector<AttributeKey>& keys;
};

#endif
