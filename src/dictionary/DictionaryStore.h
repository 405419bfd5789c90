// The dictionary document of a data source made straight into the compact
// store a document value holds, by the sections that the DOM builder
// (DictionaryBuilder) runs: the store stands for exactly the DOM document
// that builder makes. Texts and numbers take the quick forms of
// DictionaryText.h, which give the same texts.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYSTORE_H
#define TRANSSPACE_DICTIONARY_DICTIONARYSTORE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "VornDataSource.h"
#include "dictionary/DictionaryText.h"
#include "dictionary/DictionaryTree.h"
#include "value/store/DocumentStore.h"

// The store's dictionary; null where DictionaryBuilder::build gives null (the
// document could not be made). Exceptions of the data-source library and
// allocation pass to the caller, as they pass DictionaryBuilder::build.
std::unique_ptr<DocumentStore> buildDictionaryStore(const VORN_DataSource& source);

// The tree of the sections that writes into a store (see DictionaryTree.h).
// The host's code page and the numeric locale are read once, when the
// document is created.
class StoreTree {
public:
    using Element = DocumentStore::Id;
    using Result = std::unique_ptr<DocumentStore>;
    static constexpr Element none = DocumentStore::none;

    Element create();
    void discard() { store.reset(); }
    Result take() { return std::move(store); }

    static constexpr bool literal() { return false; }
    Element element(Tag tag) { return store->element(tagIds[static_cast<std::size_t>(tag)]); }
    void append(Element parent, Element child) { store->append(parent, child); }
    void insertAfter(Element parent, Element child, Element after) {
        store->insertAfter(parent, child, after);
    }
    // Among parent's own children also where deep asks for descendants: the
    // store is looked through only for a parent the builder did not make
    // itself, which its build never hands over.
    bool insertAfterLast(Element parent, Element child, Tag tag, bool deep);

    void setWord(Element e, Attr attr, const char16_t* value) {
        set(e, attr, std::u16string_view(value));
    }
    void setText(Element e, Attr attr, const char* mbcs) { set(e, attr, texts->convert(mbcs)); }
    bool setInteger(Element e, Attr attr, std::int64_t n) {
        std::u16string_view text;
        if (!numbers->integer(n, text)) return false;
        set(e, attr, text);
        return true;
    }
    bool setDecimal(Element e, Attr attr, double d) {
        std::u16string_view text;
        if (!numbers->decimal(d, text)) return false;
        set(e, attr, text);
        return true;
    }

private:
    // The sections set an element's attributes in the DOM's order (by
    // name) where they can, and each then goes in with appendAttribute: the
    // DOM's place for it is the chain's end. Finding the place by comparing
    // names along the chain took a quarter of the build.
    void set(Element e, Attr attr, std::u16string_view value);

    std::unique_ptr<DocumentStore> store;
    DocumentStore::Id tagIds[tagCount] = {};
    DocumentStore::Id attrIds[attrCount] = {};
    std::uint8_t attrRanks[attrCount] = {};  // place in the order by name
    Element lastElement = none;              // the element of the last attribute, and its rank
    std::uint8_t lastRank = 0;
    // Made with the document, so that what they allocate fails its creation.
    std::optional<HostTexts> texts;
    std::optional<QuickNumberTexts> numbers;
};

#endif
