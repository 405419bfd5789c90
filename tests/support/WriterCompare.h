// The library's document writer against the XML library's serializer (the
// literal path): the same bytes and the same outcome, written from the
// compact store and from the DOM, in one encoding.
#ifndef TRANSSPACE_TESTS_WRITERCOMPARE_H
#define TRANSSPACE_TESTS_WRITERCOMPARE_H

#include <cstddef>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "value/DocumentWriter.h"
#include "value/store/DocumentStore.h"

// The encodings the writer is compared in: "UTF-16" (the value's UTF-16
// text), UTF-8, the library's own code pages (windows-1252, ISO-8859-1,
// US-ASCII, UTF-16LE under its own name), ICU's of one byte (ISO-8859-5)
// and of several (Shift_JIS, GB18030, EUC-KR, Big5-HKSCS), and a stateful
// one the writer leaves to the serializer (ISO-2022-JP).
extern const char* const writerEncodings[];
extern const std::size_t writerEncodingCount;

// Where the writer's text of store (if not null), and of document (the DOM
// store stands for), differs from the serializer's text of document in encoding: bytes
// and outcome (whole, unreadable where the value's check of markup fails,
// failed where the serializer reports failure), and the value's check of
// markup on the store and the DOM. Empty when they agree. The writer may
// decline only what it does not model (a surrogate without its pair in a
// CDATA section in UTF-8 and ICU's converters, long stretches in ICU's
// multibyte converters, stateful encodings). Where the serializer would
// never return (UTF-8, a CDATA part ending with the first of two
// surrogates) it is not run: both writes must fail alike.
// written, if not null, receives the writer's outcome.
std::string writerDifference(const DocumentStore* store,
                             const XERCES_CPP_NAMESPACE::DOMDocument& document,
                             const std::string& encoding, Written* written = nullptr);

// Whether a CDATA part of document ends with the first of two surrogates,
// where the serializer's UTF-8 transcoder waits for ever.
bool serializerStallsInUtf8(const XERCES_CPP_NAMESPACE::DOMDocument& document);

#endif
