// XML text parsed the two ways: by Xerces' DOM parser with the settings the
// tool and the Python package used before the store (VornXmlReaderGuard, no
// validation, namespaces as asked), the oracle, and by StoreParser with the
// same settings; and where the two results differ. Needs the XML runtime.
#ifndef TRANSSPACE_TESTS_PARSECOMPARE_H
#define TRANSSPACE_TESTS_PARSECOMPARE_H

#include <memory>
#include <string>

#include "support/XmlDocuments.h"
#include "value/store/DocumentStore.h"

struct ParseSettings {
    bool namespaces = true;
    // The DOM parser's other setting: a node for each entity reference
    // (the guard turns it off).
    bool referenceNodes = false;
    unsigned int expansionLimit = 100000;
};

// What one parse gave: the first error or fatal error as the tool shows it
// after the input's name ("LINE:COLUMN: message"), "the parser stopped" for
// a parse that threw without one, empty when there was none; and the
// document (the DOM parser) or the store (StoreParser), when there was none.
struct ParseOutcome {
    std::string error;
    DocumentPtr dom;
    std::unique_ptr<DocumentStore> store;
};

ParseOutcome parseToDom(const std::string& bytes, const ParseSettings& settings);
ParseOutcome parseToStore(const std::string& bytes, const ParseSettings& settings);

// Where the two parses of bytes differ: their errors, or the store against
// the literal copy of the DOM (storeDifference) and, node by node with the
// attributes' order, against the store of that copy (DocumentStore::fromDom);
// empty when they agree.
std::string parseDifference(const std::string& bytes, const ParseSettings& settings);

#endif
