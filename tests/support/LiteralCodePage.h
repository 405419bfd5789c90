// The conversions done the plain way, a converter opened and closed per call:
// the oracle that the library's conversions are checked against.
#ifndef TRANSSPACE_TESTS_LITERALCODEPAGE_H
#define TRANSSPACE_TESTS_LITERALCODEPAGE_H

#include <string>

#include <unicode/unistr.h>

icu::UnicodeString literalMBCSToUTF16(const std::string& bytes);
std::string literalUTF16ToMBCS(const icu::UnicodeString& text);

#endif
