// The names the dictionary document is made of, and the DOM tree the builder
// can write them into. The sections are written once, over a tree: DomTree
// (here) makes a Xerces DOM document, StoreTree (DictionaryStore.h) the
// compact store a document value holds. A tree supplies
//   Element, none                      its element handle and the null one
//   element(tag)                       a new element, not yet in the tree
//   append(parent, child)              child as parent's last child
//   insertAfter(parent, child, after)  directly after after; first for none
//   insertAfterLast(parent, child, tag, deep)
//                                      after the last child (deep: descendant)
//                                      named tag; false, inserting nothing,
//                                      when there is none
//   literal()                          whether every placement is such a lookup
//   setWord(e, attr, utf16)            a zero-terminated UTF-16 value
//   setText(e, attr, mbcs)             host text up to its first NUL; null: ""
//   setInteger / setDecimal(e, attr, n)
//                                      number text; false, leaving the
//                                      attribute out, when none can be made
// and create, discard and take for the document itself.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYTREE_H
#define TRANSSPACE_DICTIONARY_DICTIONARYTREE_H

#include <cstdint>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "dictionary/DictionaryText.h"

// Every element name of the document.
enum class Tag : std::uint8_t {
    dictionary,
    variable,
    variableFormat,
    variableWriteFormat,
    missingValue,
    attributeSet,
    attribute,
    attributeValue,
    weightVariable,
    valueLabelSet,
    valueLabel,
    valueLabelVariable,
    variableSet,
    variableSetVariable,
    multipleResponseSet,
    multipleResponseSetCategoryLabels,
    multipleResponseSetDichotomy,
    multipleResponseSetLabelSource,
    multipleResponseSetLabel,
    multipleResponseSetVariable,
    extension,
    count
};

// Every attribute name of the document.
enum class Attr : std::uint8_t {
    xmlns,
    xmlnsXsi,
    schemaLocation,
    locale,
    creationDateTime,
    rowCount,
    name,
    label,
    type,
    alignment,
    measurementLevel,
    displayWidth,
    width,
    decimals,
    data,
    value,
    version,
    elementSize,
    length,
    count
};

constexpr std::size_t tagCount = static_cast<std::size_t>(Tag::count);
constexpr std::size_t attrCount = static_cast<std::size_t>(Attr::count);

const char16_t* tagText(Tag tag);
const char16_t* attrText(Attr attr);

// Inserts newChild into parent directly after the last descendant element
// named tagName and returns what insertBefore returns; null, inserting
// nothing, when parent has no such descendant.
XERCES_CPP_NAMESPACE::DOMNode* insertAfterLastNamed(XERCES_CPP_NAMESPACE::DOMElement* parent,
                                                    XERCES_CPP_NAMESPACE::DOMNode* newChild,
                                                    const XMLCh* tagName);

// The DOM document of the builder as it always was: texts converted and
// numbers formatted one by one through the library's own string and number
// values, each call of the DOM made as before.
class DomTree {
public:
    using Element = XERCES_CPP_NAMESPACE::DOMElement*;
    using Result = XERCES_CPP_NAMESPACE::DOMDocument*;
    static constexpr Element none = nullptr;

    // The document with its properties and its root, the root returned.
    // Exceptions of the DOM pass; discard then frees what was made.
    Element create();
    void discard();
    // The document, which the tree forgets: it belongs to the caller.
    Result take();

    bool literal() const { return literalPlacement; }
    Element element(Tag tag) { return document->createElement(tagText(tag)); }
    void append(Element parent, Element child) { parent->appendChild(child); }
    void insertAfter(Element parent, Element child, Element after) {
        parent->insertBefore(child,
                             after != nullptr ? after->getNextSibling() : parent->getFirstChild());
    }
    bool insertAfterLast(Element parent, Element child, Tag tag, bool deep);

    void setWord(Element e, Attr attr, const char16_t* value) {
        e->setAttribute(attrText(attr), value);
    }
    void setText(Element e, Attr attr, const char* mbcs) {
        setTextAttribute(e, attrText(attr), mbcs);
    }
    bool setInteger(Element e, Attr attr, std::int64_t n);
    bool setDecimal(Element e, Attr attr, double d);

    bool literalPlacement = false;

private:
    XERCES_CPP_NAMESPACE::DOMDocument* document = nullptr;
    NumberTexts numbers;
};

#endif
