// The XML text of a document as the XML library's Load and Save serializer
// writes it with the settings of a document value: the oracle of the
// library's own writer.
#ifndef TRANSSPACE_TESTS_LITERALSERIALISER_H
#define TRANSSPACE_TESTS_LITERALSERIALISER_H

#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "support/XmlDocuments.h"

struct LiteralXml {
    std::string bytes;  // what reached the output, up to a failure
    bool written;       // the serializer reported success
};

// No pretty printing, the encoding named ("UTF-16": native byte order).
LiteralXml literalXml(const XERCES_CPP_NAMESPACE::DOMDocument* document, const char16_t* encoding);

// Whether every attribute name and CDATA section of document can be held in
// encoding (a CDATA character of the BMP becomes a reference between parts):
// the serializer writes the others as references without failing, which
// leaves text that does not parse, and a value reports the failure.
bool markupFits(const XERCES_CPP_NAMESPACE::DOMDocument* document, const char16_t* encoding);

// What a document value holds of source: a new document with a copy of its
// document element, nothing else (an empty document for none, or for an
// element the DOM refuses to copy).
DocumentPtr valueCopy(const XERCES_CPP_NAMESPACE::DOMDocument* source);

#endif
