// The store tree of the dictionary sections, and the store's build.
#include "dictionary/DictionaryStore.h"

#include "dictionary/DictionarySections.h"

StoreTree::Element StoreTree::create() {
    store.reset(new DocumentStore);
    store->setStrictErrorChecking(true);
    store->setStandalone(false);
    store->setXmlVersion(u"1.0");
    // Every name is the builder's own and one the DOM accepts, so none is
    // checked; each is made once, as createElement and setAttribute make it.
    for (std::size_t i = 0; i < tagCount; ++i)
        tagIds[i] = store->name(DocumentStore::NameUse::Element, tagText(static_cast<Tag>(i)));
    for (std::size_t i = 0; i < attrCount; ++i)
        attrIds[i] = store->name(DocumentStore::NameUse::Attribute, attrText(static_cast<Attr>(i)));
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

std::unique_ptr<DocumentStore> buildDictionaryStore(const VORN_DataSource& source) {
    DictionarySections<StoreTree> sections;
    return sections.build(source);
}
