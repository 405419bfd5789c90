// The document, its root and header, the build order and the placement of
// section elements, over either tree. The sections live in
// DictionaryVariables.cpp, DictionarySets.cpp and DictionaryAttributes.cpp;
// the trees in DictionaryBuilder.cpp and DictionaryStore.cpp.
#include "dictionary/DictionarySections.h"

#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

#include <unicode/unistr.h>

#include "VornDateTime.h"
#include "VornLocale.h"
#include "dictionary/DictionaryNamespace.h"
#include "dictionary/DictionaryStore.h"
#include "dictionary/DictionaryTree.h"
#include "text/CodePage.h"

namespace {

const char16_t* const tagTexts[] = {u"dictionary",
                                    u"variable",
                                    u"variableFormat",
                                    u"variableWriteFormat",
                                    u"missingValue",
                                    u"attributeSet",
                                    u"attribute",
                                    u"attributeValue",
                                    u"weightVariable",
                                    u"valueLabelSet",
                                    u"valueLabel",
                                    u"valueLabelVariable",
                                    u"variableSet",
                                    u"variableSetVariable",
                                    u"multipleResponseSet",
                                    u"multipleResponseSetCategoryLabels",
                                    u"multipleResponseSetDichotomy",
                                    u"multipleResponseSetLabelSource",
                                    u"multipleResponseSetLabel",
                                    u"multipleResponseSetVariable",
                                    u"extension"};
static_assert(sizeof tagTexts / sizeof tagTexts[0] == tagCount, "one text per tag");

const char16_t* const attrTexts[] = {u"xmlns",
                                     u"xmlns:xsi",
                                     u"xsi:schemaLocation",
                                     u"locale",
                                     u"creationDateTime",
                                     u"rowCount",
                                     u"name",
                                     u"label",
                                     u"type",
                                     u"alignment",
                                     u"measurementLevel",
                                     u"displayWidth",
                                     u"width",
                                     u"decimals",
                                     u"data",
                                     u"value",
                                     u"version",
                                     u"elementSize",
                                     u"length"};
static_assert(sizeof attrTexts / sizeof attrTexts[0] == attrCount, "one text per attribute");

// A converted text as a zero-terminated value holds it.
const char16_t* terminated(icu::UnicodeString& text) {
    return reinterpret_cast<const char16_t*>(text.getTerminatedBuffer());
}

}  // namespace

const char16_t* tagText(Tag tag) { return tagTexts[static_cast<std::size_t>(tag)]; }
const char16_t* attrText(Attr attr) { return attrTexts[static_cast<std::size_t>(attr)]; }

template <class Tree>
typename Tree::Result DictionarySections<Tree>::build(const VORN_DataSource& source) {
    if (!createDictionaryDocument()) return tree.take();

    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    std::string localeName = ctype != nullptr ? ctype : "";
    std::vector<std::string> locales;
    const std::string& localeText =
        GetServerLocaleList(localeName, locales) >= 1 && !locales.empty() ? locales.front()
                                                                          : localeName;
    icu::UnicodeString locale = mbcsToUTF16(localeText);
    tree.setWord(root, Attr::locale, terminated(locale));

    std::string created;
    ToISODateTime(created, source.GetTimestamp(), 2, true, true);
    icu::UnicodeString creation = mbcsToUTF16(created);
    tree.setWord(root, Attr::creationDateTime, terminated(creation));

    const std::int64_t rows = source.GetRowCount();
    if (rows >= 0) tree.setInteger(root, Attr::rowCount, rows);

    addVariables(source, root);
    addWeightVariable(source, root);
    addVariableSets(source, root);
    addMultipleResponseSets(source, root);
    addFileAttributes(source, root);
    addExtensions(source, root);
    return tree.take();
}

template <class Tree>
bool DictionarySections<Tree>::createDictionaryDocument() {
    root = Tree::none;
    underRoot.reset(Tree::none);
    inside.reset(Tree::none);
    try {
        root = tree.create();
        const std::u16string ns = dictionaryNamespaceURI();
        tree.setWord(root, Attr::xmlns, ns.c_str());
        tree.setWord(root, Attr::xmlnsXsi, schemaInstanceURI);
        tree.setWord(root, Attr::schemaLocation, (ns + u" " + dictionarySchemaURI()).c_str());
        underRoot.reset(root);
        return true;
    } catch (...) {
        // Nobody else will ever see a half-made document, so it goes here.
        tree.discard();
        root = Tree::none;
        return false;
    }
}

template <class Tree>
void DictionarySections<Tree>::placeUnderRoot(Element parent, Element e, Tag own,
                                              std::initializer_list<Tag> chain) {
    // The remembered elements describe this builder's own root only.
    if (tree.literal() || parent == Tree::none || parent != underRoot.parent)
        placeByLookup(parent, e, chain, true);
    else
        placeRemembered(underRoot, e, own, chain);
}

template <class Tree>
void DictionarySections<Tree>::placeInside(Element parent, Element e, Tag own,
                                           std::initializer_list<Tag> chain) {
    if (tree.literal())
        placeByLookup(parent, e, chain, true);
    else if (parent == Tree::none || parent != inside.parent)
        placeByLookup(parent, e, chain, false);
    else
        placeRemembered(inside, e, own, chain);
}

template <class Tree>
void DictionarySections<Tree>::placeRemembered(Placed& placed, Element e, Tag own,
                                               std::initializer_list<Tag> chain) {
    Element& ownLast = placed.last[static_cast<std::size_t>(own)];
    const bool nowLast = ownLast == Tree::none || (chain.size() > 0 && *chain.begin() == own);
    Element after = Tree::none;
    for (Tag kind : chain) {
        after = placed.last[static_cast<std::size_t>(kind)];
        if (after != Tree::none) break;
    }
    tree.insertAfter(placed.parent, e, after);
    if (nowLast) ownLast = e;
}

template <class Tree>
void DictionarySections<Tree>::placeByLookup(Element parent, Element e,
                                             std::initializer_list<Tag> chain, bool deep) {
    for (Tag kind : chain)
        if (tree.insertAfterLast(parent, e, kind, deep)) return;
    tree.insertAfter(parent, e, Tree::none);
}

template <class Tree>
void DictionarySections<Tree>::appendTo(Element parent, Element e, Tag own) {
    tree.append(parent, e);
    if (parent == inside.parent) inside.last[static_cast<std::size_t>(own)] = e;
    if (parent == underRoot.parent) underRoot.last[static_cast<std::size_t>(own)] = e;
}

template <class Tree>
void DictionarySections<Tree>::appendWord(Element parent, Tag tag, const char16_t* value) {
    const Element e = tree.element(tag);
    tree.setWord(e, Attr::value, value);
    appendTo(parent, e, tag);
}

template <class Tree>
void DictionarySections<Tree>::appendText(Element parent, Tag tag, Attr attr, const char* mbcs) {
    const Element e = tree.element(tag);
    tree.setText(e, attr, mbcs);
    appendTo(parent, e, tag);
}

template class DictionarySections<DomTree>;
template class DictionarySections<StoreTree>;
