// The store tree of the dictionary sections, and the store's build.
#include "dictionary/DictionaryStore.h"

#include <algorithm>

#include "dictionary/DictionarySections.h"

StoreTree::Element StoreTree::create() {
    store.reset(new DocumentStore);
    texts.emplace();
    numbers.emplace();
    store->setStrictErrorChecking(true);
    store->setStandalone(false);
    store->setXmlVersion(u"1.0");
    // Every name is the builder's own and one the DOM accepts, so none is
    // checked; each is made once, as createElement and setAttribute make it.
    for (std::size_t i = 0; i < tagCount; ++i)
        tagIds[i] = store->name(DocumentStore::NameUse::Element, tagText(static_cast<Tag>(i)));
    for (std::size_t i = 0; i < attrCount; ++i)
        attrIds[i] = store->name(DocumentStore::NameUse::Attribute, attrText(static_cast<Attr>(i)));
    Attr order[attrCount];
    for (std::size_t i = 0; i < attrCount; ++i) order[i] = static_cast<Attr>(i);
    // As the DOM orders an element's attributes: by their names' UTF-16 units.
    std::sort(order, order + attrCount, [](Attr a, Attr b) {
        return std::u16string_view(attrText(a)) < std::u16string_view(attrText(b));
    });
    for (std::size_t i = 0; i < attrCount; ++i)
        attrRanks[static_cast<std::size_t>(order[i])] = static_cast<std::uint8_t>(i);
    lastElement = none;
    const Element root = element(Tag::dictionary);
    store->append(DocumentStore::documentNode, root);
    return root;
}

bool StoreTree::insertAfterLast(Element parent, Element child, Tag tag, bool) {
    const DocumentStore::Id name = tagIds[static_cast<std::size_t>(tag)];
    Element last = none;
    for (Element c = store->firstChild(parent); c != none; c = store->nextSibling(c))
        if (store->type(c) == DocumentStore::Element && store->nameIdOf(c) == name) last = c;
    if (last == none) return false;
    store->insertAfter(parent, child, last);
    return true;
}

void StoreTree::set(Element e, Attr attr, std::u16string_view value) {
    const DocumentStore::Id name = attrIds[static_cast<std::size_t>(attr)];
    const std::uint8_t rank = attrRanks[static_cast<std::size_t>(attr)];
    if (e == lastElement ? rank > lastRank : store->firstAttribute(e) == none) {
        store->appendAttribute(e, name, value);
        lastElement = e;
        lastRank = rank;
        return;
    }
    store->setAttribute(e, name, value);
    if (e != lastElement) lastElement = none;
}

std::unique_ptr<DocumentStore> buildDictionaryStore(const VORN_DataSource& source) {
    DictionarySections<StoreTree> sections;
    return sections.build(source);
}
