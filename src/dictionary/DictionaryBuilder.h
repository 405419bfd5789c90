// Builds the XML dictionary document of a data source as a DOM document: one
// document whose root `dictionary` holds the variables, the weight variable,
// the value-label sets, the variable sets, the multiple-response sets, the
// data source's own custom attributes and its extension records, in that
// order. A document value holds the same document as a compact store
// (buildDictionaryStore in DictionaryStore.h), written by the same sections;
// this builder is the one the tests hold that store against. What build
// returns belongs to the caller; the builder never frees it. One builder
// serves one build on one thread, and only while the XML runtime is up.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYBUILDER_H
#define TRANSSPACE_DICTIONARY_DICTIONARYBUILDER_H

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "dictionary/DictionarySections.h"
#include "dictionary/DictionaryTree.h"

// build, createDictionaryDocument and the sections come from
// DictionarySections (see there), over DOM elements.
class DictionaryBuilder : public DictionarySections<DomTree> {
public:
    using DOMDocument = XERCES_CPP_NAMESPACE::DOMDocument;
    using DOMElement = XERCES_CPP_NAMESPACE::DOMElement;
    using DOMNode = XERCES_CPP_NAMESPACE::DOMNode;

    // How section elements find their place. Both give the same document.
    // remembered keeps the last element of each kind placed under the root
    // and under the unfinished variable or value-label set, so a build is
    // linear in the size of the dictionary. literal runs every lookup
    // through insertAfterLast over the whole tree, which rescans the
    // document at each insertion (quadratic and worse); it exists to check
    // the remembered placement against.
    enum class Placement { remembered, literal };

    DictionaryBuilder();
    explicit DictionaryBuilder(Placement placement);
    ~DictionaryBuilder() = default;  // the document belongs to whoever build gave it to

    // Inserts newChild into parent directly after the last descendant element
    // named tagName and returns what insertBefore returns; null, inserting
    // nothing, when parent has no such descendant. Meant for tags of parent's
    // own children, the only ones the sections name: after a deeper element
    // the node goes to parent's end, or insertBefore throws (NOT_FOUND_ERR)
    // when that element has a following sibling.
    DOMNode* insertAfterLast(DOMElement* parent, DOMNode* newChild, const XMLCh* tagName);
};

#endif
