// The only passage between UTF-16 and the host's multibyte code page. The host
// is asked for its mode and code page at every call, so a change takes effect
// at the next conversion.
#ifndef TRANSSPACE_TEXT_CODEPAGE_H
#define TRANSSPACE_TEXT_CODEPAGE_H

#include <string>

#include <unicode/unistr.h>

// The ICU converter name of the host's multibyte text: "UTF-8" in UTF-8 mode,
// otherwise the host's default code page.
std::string codePageName();

// The bytes (zero bytes included) as UTF-16; empty on any failure. Unmappable
// or illegal input becomes the converter's substitution character.
icu::UnicodeString mbcsToUTF16(const std::string& bytes);

// The text as multibyte bytes; empty on any failure.
std::string utf16ToMBCS(const icu::UnicodeString& text);

#endif
