// The compact form in which a document value holds its document: nodes as
// small records in numbered order, names interned once, texts in one arena of
// UTF-16 units, attributes as a chain of records per element. It stands for
// exactly the DOM document that the value would hold (node types, names and
// their namespace parts, which nodes were made without namespaces, attribute
// order, entity references in attribute values), so that the DOM can be made
// from it on demand and its text written without one.
//
// Built once, by one thread, through the building members; read afterwards
// from any number of threads (the reading members change nothing).
#ifndef TRANSSPACE_VALUE_STORE_DOCUMENTSTORE_H
#define TRANSSPACE_VALUE_STORE_DOCUMENTSTORE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

// Storage handed out in fixed chunks that never move, so that growing never
// copies what is held and wastes at most one chunk.
template <class T, unsigned ChunkBits = 16>
class ChunkedVector {
public:
    std::uint32_t size() const { return count; }
    T& operator[](std::uint32_t i) { return chunks[i >> ChunkBits][i & mask]; }
    const T& operator[](std::uint32_t i) const { return chunks[i >> ChunkBits][i & mask]; }
    std::uint32_t push(const T& item) {
        if ((count & mask) == 0) chunks.emplace_back(new T[std::size_t(1) << ChunkBits]);
        chunks.back()[count & mask] = item;
        return count++;
    }
    std::size_t memory() const { return chunks.size() * (sizeof(T) << ChunkBits); }

private:
    static constexpr std::uint32_t mask = (std::uint32_t(1) << ChunkBits) - 1;
    std::vector<std::unique_ptr<T[]>> chunks;
    std::uint32_t count = 0;
};

class DocumentStore {
public:
    using Id = std::uint32_t;  // a node, an attribute, a name or a text
    static constexpr Id none = 0xFFFFFFFFu;
    static constexpr Id documentNode = 0;  // the store's first node

    // The DOM's node type codes, for the kinds a value's document holds.
    enum Type : std::uint8_t {
        Element = 1,
        Text = 3,
        CDATA = 4,
        EntityReference = 5,
        ProcessingInstruction = 7,
        Comment = 8,
        Document = 9,
    };

    // A name as the DOM node made with it reports it. Level-one names (made
    // without namespaces: createElement, createAttribute, and every entity
    // reference and instruction target) have null prefix, localName and
    // namespaceURI; a namespace-aware name has its localName, and its prefix
    // and namespaceURI where it has them. Strings are zero-terminated and
    // live as long as the store.
    struct Name {
        const char16_t* qname;
        const char16_t* prefix;
        const char16_t* localName;
        const char16_t* namespaceURI;
        bool namespaced;
    };

    // What a name is used for: the DOM checks each kind by its own rules.
    enum class NameUse : std::uint8_t { Element, Attribute, EntityReference, Target };

    DocumentStore();
    ~DocumentStore();
    DocumentStore(const DocumentStore&) = delete;
    DocumentStore& operator=(const DocumentStore&) = delete;

    // ---- Building (one thread, before the store is shared) ----

    // When on, every new name is made once on a scratch DOM document by the
    // call the copy of a document would use (createElement, createElementNS,
    // ...), and an exception of that call passes to the caller of the
    // interning member: a store then holds only names the DOM accepts.
    // Turning it off frees the scratch document.
    void checkNames(bool on);

    // The id of a name without namespaces.
    Id name(NameUse use, std::u16string_view qname);
    // The id of a namespace-aware name; uri null or empty for none (the DOM
    // reports an empty one as none). The prefix is what precedes the first
    // colon.
    Id nameNS(NameUse use, const char16_t* uri, std::u16string_view qname);

    // New nodes, not yet in the tree. data is the node's value (the text of
    // a text, CDATA section or comment; an instruction's data).
    Id element(Id name);
    Id text(Type type, std::u16string_view data);  // Text, CDATA or Comment
    Id entityReference(Id name);
    Id instruction(Id target, std::u16string_view data);

    // Links child (a new node) into parent: as its last child; directly
    // after the child after, or first when after is none.
    void append(Id parent, Id child);
    void insertAfter(Id parent, Id child, Id after);

    // Adds an attribute as the element's last, for a caller that adds them
    // in the DOM's order.
    Id appendAttribute(Id element, Id name, std::u16string_view value);
    // Sets an attribute as the DOM's setAttribute (a name without
    // namespaces) or setAttributeNS does: the value goes to the attribute of
    // that name, or of that namespace URI with the whole name as its local
    // name, which keeps its own name; or else a new attribute goes where the
    // DOM's attribute map puts it, replacing one of the same name (without
    // namespaces) or of the same namespace URI and local name. The map keeps
    // attributes in order of name, a new one before the equal name its
    // binary search meets. Returns the attribute that holds the value.
    // Replacing one by a name of another prefix may leave the attributes out
    // of order of name, which makeDom does not reproduce; no copy of a DOM
    // holds such an order.
    Id setAttribute(Id element, Id name, std::u16string_view value);
    // An attribute whose value the DOM holds as texts and entity references:
    // value is what the attribute's value reads as (the texts joined), parts
    // the sequence to write, each a text (isReference false) or the name of
    // a reference.
    struct Part {
        bool isReference;
        std::u16string text;
    };
    Id appendAttributeParts(Id element, Id name, std::u16string_view value,
                            const std::vector<Part>& parts);

    // Properties of the document itself.
    void setXmlVersion(const char16_t* version);  // null: none set
    void setStandalone(bool standalone) { standaloneFlag = standalone; }
    void setStrictErrorChecking(bool strict) { strictFlag = strict; }

    // ---- Reading ----

    Type type(Id node) const { return static_cast<Type>(nodes[node].nameType >> typeShift); }
    Id parent(Id node) const { return nodes[node].parent; }
    Id firstChild(Id node) const { return nodes[node].first; }
    Id nextSibling(Id node) const { return nodes[node].next; }
    // The first element child of the document node, or none.
    Id documentElement() const;
    // An element's, entity reference's or instruction's name.
    const Name& nameOf(Id node) const { return names[nodes[node].nameType & nodeNameMask]; }
    Id nameIdOf(Id node) const { return nodes[node].nameType & nodeNameMask; }
    const Name& name(Id nameId) const { return names[nameId]; }
    // A text's, CDATA section's, comment's or instruction's data.
    std::u16string_view value(Id node) const { return texts.view(nodes[node].data); }
    const char16_t* valueZ(Id node) const { return texts.at(nodes[node].data); }

    Id firstAttribute(Id element) const { return nodes[element].data; }
    Id nextAttribute(Id attribute) const { return attributes[attribute].next; }
    const Name& attributeName(Id attribute) const {
        return names[attributes[attribute].name & nameMask];
    }
    Id attributeNameId(Id attribute) const { return attributes[attribute].name & nameMask; }
    std::u16string_view attributeValue(Id attribute) const {
        return texts.view(attributes[attribute].value);
    }
    const char16_t* attributeValueZ(Id attribute) const {
        return texts.at(attributes[attribute].value);
    }
    // The parts of an attribute added with appendAttributeParts; null for a
    // plain one.
    const std::vector<Part>* attributeParts(Id attribute) const;

    const char16_t* xmlVersion() const { return version.empty() ? nullptr : version.c_str(); }
    bool standalone() const { return standaloneFlag; }
    bool strictErrorChecking() const { return strictFlag; }

    std::uint32_t nodeCount() const { return nodes.size(); }
    std::uint32_t attributeCount() const { return attributes.size(); }
    // The number of element levels (0 for no element).
    std::size_t depth() const;
    // Bytes held, names and texts included.
    std::size_t memory() const;

    // A new DOM document holding exactly the nodes the store stands for,
    // with the document's properties and the attributes in the store's
    // order where that is in order of name, equal names (one name in several
    // namespaces) in any order the DOM's setting of them can leave. The
    // caller owns it. Exceptions of the DOM pass through.
    XERCES_CPP_NAMESPACE::DOMDocument* makeDom() const;

    // A store standing for the copy a document value makes of source: its
    // document element and everything under it, nothing else of source (a
    // fresh document's properties). Empty for null, for a document without
    // an element and for a source holding a name the DOM's checks refuse.
    static std::unique_ptr<DocumentStore> fromDom(const XERCES_CPP_NAMESPACE::DOMDocument* source);

private:
    // Texts, each zero-terminated and preceded by its length in one unit
    // (below 0x8000) or two (the last with its top bit set), in chunks that
    // never move; a long text has a chunk of its own. A text's id is its
    // chunk and its offset there.
    class TextArena {
    public:
        Id add(std::u16string_view text);
        const char16_t* at(Id id) const {
            return chunks[id >> offsetBits].get() + (id & offsetMask);
        }
        std::u16string_view view(Id id) const;
        std::size_t memory() const { return bytes; }

    private:
        static constexpr unsigned offsetBits = 20;
        static constexpr Id offsetMask = (Id(1) << offsetBits) - 1;
        static constexpr std::size_t chunkUnits = std::size_t(1) << offsetBits;
        static constexpr std::size_t noChunk = ~std::size_t(0);
        std::size_t newChunk(std::size_t units);
        std::vector<std::unique_ptr<char16_t[]>> chunks;
        std::size_t open = noChunk;  // the chunk short texts go to
        std::size_t used = 0;        // units taken in it
        std::size_t bytes = 0;
    };

    struct Node {
        Id parent, next, first, last;
        Id nameType;  // the type in the top bits; the name of elements, references, instructions
        Id data;      // elements: first attribute; others: their text
    };
    static constexpr unsigned typeShift = 28;
    static constexpr Id nodeNameMask = (Id(1) << typeShift) - 1;
    struct Attribute {
        Id name;  // the top bit marks parts
        Id value;
        Id next;
    };
    static constexpr Id partsBit = 0x80000000u;
    static constexpr Id nameMask = 0x7FFFFFFFu;

    Id newNode(Type type, Id name, Id data);
    Id newAttribute(Id element, Id name, std::u16string_view value);
    Id intern(NameUse use, bool namespaced, const char16_t* uri, std::u16string_view qname);
    void check(NameUse use, const Name& name);
    const char16_t* keep(std::u16string_view text);

    ChunkedVector<Node> nodes;
    ChunkedVector<Attribute> attributes;
    TextArena texts;
    std::deque<Name> names;
    std::deque<std::u16string> nameTexts;
    std::unordered_map<std::u16string, Id> nameIds;
    std::map<Id, std::vector<Part>> parts;
    // The last attribute added and its element, so that adding a run of
    // attributes to one element does not walk its chain.
    Id lastElement = none, lastAttribute = none;
    std::u16string version;
    bool standaloneFlag = false;
    bool strictFlag = true;
    bool checking = false;
    XERCES_CPP_NAMESPACE::DOMDocument* scratch = nullptr;
};

#endif
