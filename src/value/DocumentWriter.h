// XML text of a document value written in one walk over its compact store
// (or over a DOM document, for the tests' comparisons), without the Load and
// Save serializer. The text is byte for byte, and flag for flag, what that
// serializer writes for the same document with the settings of a document
// value (no pretty printing, no byte order mark, an XML declaration naming
// the encoding, CDATA sections split where they hold "]]>" and around what
// the encoding cannot hold, character references for what text and
// attribute values cannot hold, namespace declarations added where a name
// needs one), in UTF-16, UTF-8 and the code pages the serializer's
// transcoding service writes without a state: those of the XML library's
// own tables and ICU's stateless converters, of one or several bytes per
// character. The walk does not recurse. What it declines is left to the
// serializer (see writeDocumentCodePage).
#ifndef TRANSSPACE_VALUE_DOCUMENTWRITER_H
#define TRANSSPACE_VALUE_DOCUMENTWRITER_H

#include <cstddef>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

class DocumentStore;

// What a write gave:
//  whole       the whole text;
//  unreadable  the whole text, with markup the encoding cannot hold (an
//              attribute name, a character beyond the BMP in a CDATA
//              section) written as character references, which no parser
//              takes back: the value reports a failure;
//  failed      the text up to where the serializer stops with a failure
//              (a character XML does not allow in text, a comment or an
//              instruction; markup the encoding cannot hold; no transcoder
//              for the encoding, which leaves the text empty), or, where
//              the serializer would never return, up to there;
//  declined    nothing: the document is left to the serializer;
//  tooDeep     nothing: the document nests elements deeper than maxDepth,
//              which the serializer is not given either.
enum class Written { whole, unreadable, failed, declined, tooDeep };

// The document's text in UTF-16 (native byte order, declared "UTF-16").
Written writeDocumentUTF16(const DocumentStore& document, std::size_t maxDepth,
                           std::u16string& out);
Written writeDocumentUTF16(const XERCES_CPP_NAMESPACE::DOMDocument& document, std::size_t maxDepth,
                           std::u16string& out);

// The document's text in encoding, declared by that name ("UTF-8" for the
// UTF-8 mode's text). Declined, beside what no encoding models (a version
// other than 1.0; in a DOM, a node of another kind or content beside the
// document element):
//  - encodings whose transcoder keeps a state or joins characters (ISO-2022,
//    UTF-7, EBCDIC with shifts, UTF-16 and UTF-32 with a byte order mark),
//    UCS-4 (failed instead, with nothing written, where its transcoder would
//    wait for ever for a surrogate's pair), and those that cannot hold ASCII
//    markup;
//  - a surrogate without its pair where the serializer does not check for
//    one (a CDATA section, a name, a namespace URI) in ICU's converters, and
//    in a name or namespace URI in the library's one-byte tables;
//  - in ICU's multibyte converters, a stretch of text that one call of the
//    serializer's formatter would write in more than 16 KiB, where ICU holds
//    bytes back for a later call.
// The encoding's table is made on its first use, once per process.
Written writeDocumentCodePage(const DocumentStore& document, const std::string& encoding,
                              std::size_t maxDepth, std::string& out);
Written writeDocumentCodePage(const XERCES_CPP_NAMESPACE::DOMDocument& document,
                              const std::string& encoding, std::size_t maxDepth, std::string& out);

// The same in UTF-8, declared "UTF-8".
Written writeDocumentUTF8(const DocumentStore& document, std::size_t maxDepth, std::string& out);
Written writeDocumentUTF8(const XERCES_CPP_NAMESPACE::DOMDocument& document, std::size_t maxDepth,
                          std::string& out);

// Whether encoding's transcoder holds every attribute name and every
// character beyond the BMP in a CDATA section of the document. The
// serializer writes the others as character references without a word,
// which leaves text that does not parse: a value reports a failure when
// this is false (false, too, for an encoding without a transcoder). Walked
// without recursion.
bool encodingHoldsMarkup(const DocumentStore& document, const char16_t* encoding);
bool encodingHoldsMarkup(const XERCES_CPP_NAMESPACE::DOMDocument& document,
                         const char16_t* encoding);

#endif
