// Internal access to the UTF-16 side of strings and lists, so that the other
// subsystems hand ICU text in and out without a round trip through
// zero-terminated buffers.
#ifndef TRANSSPACE_TEXT_TRANSTEXT_H
#define TRANSSPACE_TEXT_TRANSTEXT_H

#include <string>

#include <unicode/unistr.h>

#include "TransString.h"
#include "TransStringList.h"

class TransStringAccess {
public:
    // The string's UTF-16 view (made from the multibyte text when needed).
    static const icu::UnicodeString& utf16(const TransString& s);
    // A string built from UTF-16 text, ending at its first zero unit, exactly
    // as TransString(const unsigned short*) would build it.
    static TransString fromUTF16(const icu::UnicodeString& text);
    static TransString* newFromUTF16(const icu::UnicodeString& text);
    // A string built from multibyte bytes, ending at the first zero byte.
    static TransString* newFromMBCS(const char* bytes);
    // The same, taking the bytes over instead of copying them.
    static TransString* newFromMBCS(std::string&& bytes);
};

class TransStringListAccess {
public:
    // Appends an entry, ending at its first zero unit, as push_back does.
    static void append(TransStringList& list, const icu::UnicodeString& text);
};

// The UTF-16 units of a zero-terminated buffer as ICU text, without copying.
inline icu::UnicodeString aliasUTF16(const unsigned short* text) {
    return icu::UnicodeString(true, reinterpret_cast<const UChar*>(text), -1);
}

#endif
