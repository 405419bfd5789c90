// The dictionary document of a data source made straight into the compact
// store a document value holds, by the sections that the DOM builder
// (DictionaryBuilder) runs: the store stands for exactly the DOM document
// that builder makes. Texts and numbers take the quick forms of
// DictionaryText.h, which give the same texts.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYSTORE_H
#define TRANSSPACE_DICTIONARY_DICTIONARYSTORE_H

#include <cstdint>
#include <memory>
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
// The host's code page and the numeric locale are read once, when the tree
// is made.
class StoreTree {
public:
    using Element = DocumentStore::Id;
    using Result = std::unique_ptr<DocumentStore>;
    static constexpr Element none = DocumentStore::none;

    Element create();
    void discard() {
        pendingElement = none;
        store.reset();
    }
    Result take() {
        if (store) flush();
        return std::move(store);
    }

    static constexpr bool literal() { return false; }
    Element element(Tag tag) {
        flush();
        return store->element(tagIds[static_cast<std::size_t>(tag)]);
    }
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
    void setText(Element e, Attr attr, const char* mbcs) { set(e, attr, texts.convert(mbcs)); }
    bool setInteger(Element e, Attr attr, std::int64_t n) {
        std::u16string_view text;
        if (!numbers.integer(n, text)) return false;
        set(e, attr, text);
        return true;
    }
    bool setDecimal(Element e, Attr attr, double d) {
        std::u16string_view text;
        if (!numbers.decimal(d, text)) return false;
        set(e, attr, text);
        return true;
    }

private:
    // The attributes of the element being made wait here in the DOM's order
    // (by name) until the next element is made, and then go into the store
    // as a run: finding each one's place in the store's chain by comparing
    // names took a quarter of the build.
    struct Pending {
        Attr attr;
        std::uint32_t offset, length;  // in pendingTexts
    };
    void set(Element e, Attr attr, std::u16string_view value);
    void flush();

    std::unique_ptr<DocumentStore> store;
    DocumentStore::Id tagIds[tagCount] = {};
    DocumentStore::Id attrIds[attrCount] = {};
    std::uint8_t attrRanks[attrCount] = {};  // place in the order by name
    Element pendingElement = none;
    Pending pending[attrCount];
    std::size_t pendingCount = 0;
    std::u16string pendingTexts;
    HostTexts texts;
    QuickNumberTexts numbers;
};

#endif
