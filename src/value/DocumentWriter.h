// XML text of a document value written in one walk over the document,
// without the Load and Save serializer and its formatter. The text is byte
// for byte what that serializer writes with the settings of a document value
// (no pretty printing, no byte order mark, an XML declaration naming the
// encoding, CDATA sections split where they hold "]]>", namespace
// declarations added where a name needs one), in the two encodings where
// every character can be written, UTF-16 and UTF-8, and in the code pages
// of one byte per character. The serializer stays the writer of everything
// else, and of every document the walk declines.
#ifndef TRANSSPACE_VALUE_DOCUMENTWRITER_H
#define TRANSSPACE_VALUE_DOCUMENTWRITER_H

#include <cstddef>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

// What a write gave: the whole text; the text up to where the write fails
// (where the serializer would never return); nothing, the document being
// left to the serializer; or nothing, the document nesting elements deeper
// than maxDepth, which the serializer is not given either.
enum class Written { whole, failed, declined, tooDeep };

// The document's text in UTF-16 (native byte order, declared "UTF-16") or
// UTF-8 (declared "UTF-8"). Declined where the serializer would fail or
// write what the walk does not model: a character XML does not allow, a
// surrogate without its pair, a document type, a version other than 1.0, a
// node of another kind. Any depth below maxDepth: the walk does not recurse.
Written writeDocumentUTF16(const XERCES_CPP_NAMESPACE::DOMDocument& document, std::size_t maxDepth,
                           std::u16string& out);
Written writeDocumentUTF8(const XERCES_CPP_NAMESPACE::DOMDocument& document, std::size_t maxDepth,
                          std::string& out);

// The text in encoding (declared by that name) where the serializer's
// transcoder for it writes one byte per character: character data it cannot
// hold as character references, CDATA sections split around it. Also
// declined for another encoding, and where the serializer's text would fail
// or carry the value's failure flag: markup (a name, comment or instruction,
// a character beyond the BMP in a CDATA section) that the encoding cannot
// hold. The encoding's table is made on first use, once per process.
Written writeDocumentBytes(const XERCES_CPP_NAMESPACE::DOMDocument& document,
                           const std::string& encoding, std::size_t maxDepth, std::string& out);

#endif
