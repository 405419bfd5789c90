// Where a compact store and a DOM document first differ, node by node.
#ifndef TRANSSPACE_TESTS_STORECOMPARE_H
#define TRANSSPACE_TESTS_STORECOMPARE_H

#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "value/store/DocumentStore.h"

// The first difference between the nodes the store stands for and those of
// the DOM document (through makeDom: node kinds, names with their namespace
// parts and absence, values, attributes in order, entity references in
// attribute values, children), as a path and what differs; empty when the
// store holds exactly that document.
std::string storeDifference(const DocumentStore& store,
                            const XERCES_CPP_NAMESPACE::DOMDocument* document);

// The copy a document value made of source before the store: a new document
// holding source's document element imported node by node.
XERCES_CPP_NAMESPACE::DOMDocument* literalCopy(const XERCES_CPP_NAMESPACE::DOMDocument* source);

#endif
