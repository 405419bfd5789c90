// Number text: formatting with the fixed pattern "#0.###" and reading text as
// a number, both through ICU. A formatter is made for every call and never
// kept, so a change of the process's numeric locale shows at the next call.
#ifndef TRANSSPACE_VALUE_NUMBERTEXT_H
#define TRANSSPACE_VALUE_NUMBERTEXT_H

#include <cstdint>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "TransStatus.h"
#include "TransString.h"

// The ICU locale of the C runtime's LC_NUMERIC category, as it is now.
icu::Locale numericLocale();

// The number as "#0.###" text under locale: no grouping, at most three
// fraction digits rounded half-even, no trailing fraction zeros. Resets st;
// failure and warning when no text came out. Never null; owned by the caller.
TransString* formatNumber(double value, const icu::Locale& locale, TransStatus& st);
TransString* formatNumber(std::int64_t value, const icu::Locale& locale, TransStatus& st);

// The text read by the default number parser of the numeric locale;
// missingNumber when it does not read as a number.
double parseNumber(const icu::UnicodeString& text);

#endif
