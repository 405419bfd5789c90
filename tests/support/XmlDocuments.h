// Host-side XML for tests: documents parsed from text, and the text of
// library strings in UTF-8. Needs the XML runtime (a live TransSpace).
#ifndef TRANSSPACE_TESTS_XMLDOCUMENTS_H
#define TRANSSPACE_TESTS_XMLDOCUMENTS_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>

#include "TransString.h"
#include "TransStringList.h"
#include "TransValue.h"

struct DocumentRelease {
    void operator()(XERCES_CPP_NAMESPACE::DOMDocument* d) const {
        if (d != nullptr) d->release();
    }
};
using DocumentPtr = std::unique_ptr<XERCES_CPP_NAMESPACE::DOMDocument, DocumentRelease>;

// The document of UTF-8 XML text, parsed with namespaces; null when it does
// not parse.
DocumentPtr parseXml(const std::string& utf8Text);
// The document of UTF-16 XML text (as the library serialises it).
DocumentPtr parseXml(const std::u16string& utf16Text);
// The document of XML bytes in the given encoding (null: as they declare).
// Never reads a file or the network (VornXmlReaderGuard): a document that
// refers to an external entity does not parse. Bounds entity expansion.
DocumentPtr parseXmlBytes(const void* bytes, std::size_t length, const XMLCh* encoding);

// A document, or any node of one, as the XML library's serializer writes it
// by default; empty when the serializer raises.
std::u16string serialiseXml(const XERCES_CPP_NAMESPACE::DOMNode* node);

// Where two DOM trees first differ (node kind, name, namespace URI, local
// name and prefix with their absence, value, attributes in order with the
// same and whether specified, children), as a path and what differs; empty
// when they hold the same nodes. Walked without recursion.
std::string domDifference(const XERCES_CPP_NAMESPACE::DOMNode* expected,
                          const XERCES_CPP_NAMESPACE::DOMNode* actual);

// A library string's UTF-16 text, then released.
std::u16string take(TransString* s);
// A library string's text in UTF-8, then released.
std::string takeUtf8(TransString* s);
// The entries of a list in UTF-8, then released.
std::vector<std::string> takeUtf8(TransStringList* list);

// A TransString from UTF-8 text.
TransString ts(const std::string& utf8Text);

#endif
