// Xerces' own DOM parser, scanner and settings unchanged, with the DOM
// building replaced: the document's events go straight into a DocumentStore
// standing for the copy a document value makes of the DOM that the parser
// would have built (its document element and everything under it, defaulted
// attributes left out, entity references without their expansion). Errors,
// their positions and the exceptions that end a parse are those of the DOM
// parser with the same settings; where the copy would refuse a name, the
// store is empty, as the copy was. Only the document type goes into the
// parser's own (otherwise empty) DOM document. One parse at a time, on one
// thread; XInclude is not done.
#ifndef TRANSSPACE_VALUE_STORE_STOREPARSER_H
#define TRANSSPACE_VALUE_STORE_STOREPARSER_H

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <xercesc/parsers/XercesDOMParser.hpp>

#include "value/store/AttributeMap.h"
#include "value/store/DocumentStore.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocumentFragment;
XERCES_CPP_NAMESPACE_END

class StoreParser : public XERCES_CPP_NAMESPACE::XercesDOMParser {
public:
    using XMLElementDecl = XERCES_CPP_NAMESPACE::XMLElementDecl;
    using XMLEntityDecl = XERCES_CPP_NAMESPACE::XMLEntityDecl;
    using XMLAttr = XERCES_CPP_NAMESPACE::XMLAttr;
    template <class T>
    using RefVectorOf = XERCES_CPP_NAMESPACE::RefVectorOf<T>;

    StoreParser();
    ~StoreParser() override;

    // The store of the last parse, taken over; an empty store where the
    // copy would have refused a name, or when nothing was parsed. Call
    // after parse returned (a parse that threw leaves part of a document).
    std::unique_ptr<DocumentStore> takeStore();

    // The document handler's events, in place of the DOM parser's.
    void startDocument() override;
    void endDocument() override;
    void startElement(const XMLElementDecl& elemDecl, unsigned int urlId, const XMLCh* elemPrefix,
                      const RefVectorOf<XMLAttr>& attrList, XMLSize_t attrCount, bool isEmpty,
                      bool isRoot) override;
    void endElement(const XMLElementDecl& elemDecl, unsigned int urlId, bool isRoot,
                    const XMLCh* elemPrefix) override;
    void docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void docComment(const XMLCh* comment) override;
    void docPI(const XMLCh* target, const XMLCh* data) override;
    void startEntityReference(const XMLEntityDecl& entDecl) override;
    void endEntityReference(const XMLEntityDecl& entDecl) override;

private:
    using Id = DocumentStore::Id;

    // An attribute as the DOM's attribute map holds it while an element's
    // attributes go in: the map's order and the keys it finds them by.
    struct Slot {
        const XMLCh* qname;
        const XMLCh* uri;    // null for none
        const XMLCh* local;  // the qualified name where there is no prefix
        const XMLCh* value;
        bool namespaced;
        bool specified;  // false for a default, which the copy drops
    };

    // The key of an interned name: what it is used for, its namespace URI as
    // the scanner hands it (a pointer into the parser's pools, or a marker
    // for none and for a name without namespaces) and the qualified name.
    struct NameKey {
        std::u16string_view qname;
        const void* uri;
        DocumentStore::NameUse use;
        bool operator==(const NameKey& o) const {
            return use == o.use && uri == o.uri && qname == o.qname;
        }
    };
    struct NameKeyHash {
        std::size_t operator()(const NameKey& k) const;
    };

    bool building() const { return store != nullptr && !refused && skipped == 0; }
    // The store's id of a name, interned once; none when the DOM refuses it
    // (the store is then refused as a whole).
    Id intern(DocumentStore::NameUse use, const XMLCh* uri, const XMLCh* qname, bool namespaced);
    // The pending text, as the text node the DOM parser was appending to.
    void flushText();
    void addText(const XMLCh* chars, XMLSize_t length);
    void append(Id node);
    void closeElement();
    // An element whose attributes the document type has a say in (declared
    // attributes, defaults): made as the DOM parser makes it, on a scratch
    // node of the parser's own document, read and released.
    void startDeclaredElement(const XMLElementDecl& elemDecl, unsigned int urlId,
                              const XMLCh* elemPrefix, const RefVectorOf<XMLAttr>& attrList,
                              XMLSize_t attrCount, bool isRoot);
    // slots: the attributes given, set one after another as the DOM's
    // attribute map sets them.
    void orderSlots();

    std::unique_ptr<DocumentStore> store;
    bool refused = false;     // a name the copy would refuse was met
    Id parentNode = 0;        // where new nodes go
    std::size_t depth = 0;    // open elements that the store holds
    std::size_t skipped = 0;  // open nodes inside an entity reference node
    bool textOpen = false;    // the last node is a text that grows
    std::u16string text;      // its characters, until the next node
    std::vector<Slot> given;  // an element's attributes in the order given
    std::vector<AttributeKey> keys;
    AttributeMap attributeOrder{keys};
    std::vector<Slot> slots;  // an element's attributes in the map's order
    std::unordered_map<NameKey, Id, NameKeyHash> names;
    // Names found lately, their texts in the store.
    struct Recent {
        std::u16string_view qname;
        const void* uri = nullptr;
        DocumentStore::NameUse use = DocumentStore::NameUse::Element;
        Id id = DocumentStore::none;
    };
    std::array<Recent, 64> recent;
    std::u16string qnameBuffer;  // an element's prefix:local
    XERCES_CPP_NAMESPACE::DOMDocumentFragment* scratch = nullptr;
};

#endif
