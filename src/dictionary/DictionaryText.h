// The attribute texts that every section of the dictionary writes: texts from
// the data source (multibyte text in the host's code page), integer text under
// the process's numeric locale and decimal text under the English locale.
// The literal forms (setTextAttribute, NumberTexts) make each text through
// the library's string and number values; the quick forms (HostTexts,
// QuickNumberTexts) give the same texts without their cost.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYTEXT_H
#define TRANSSPACE_DICTIONARY_DICTIONARYTEXT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include <xercesc/dom/DOMElement.hpp>

#include <unicode/ucnv.h>

// Sets name to the multibyte text up to its first NUL; null sets an empty value.
void setTextAttribute(XERCES_CPP_NAMESPACE::DOMElement* e, const XMLCh* name, const char* mbcs);
inline void setTextAttribute(XERCES_CPP_NAMESPACE::DOMElement* e, const XMLCh* name,
                             const std::string& mbcs) {
    setTextAttribute(e, name, mbcs.c_str());
}

// Number texts of one build. Each text comes from an integer or double
// value's own formatting; a number seen before in the same build reuses the
// text made for it. A formatter costs several microseconds to make, a
// dictionary repeats the same few widths, codes and label values many times,
// and the numeric locale cannot change while one build runs on its thread.
class NumberTexts {
public:
    // The "#0.###" text of the integer under the LC_NUMERIC locale; null when
    // no text could be made. Valid until the next call.
    const char16_t* integer(std::int64_t n);
    // The "#0.###" text of the number under the English locale; null when no
    // text could be made. Valid until the next call.
    const char16_t* decimal(double d);

private:
    // Bounded, so that a dictionary of all-different numbers keeps a small cache.
    static constexpr std::size_t capacity = 4096;
    std::unordered_map<std::int64_t, std::u16string> integers;
    std::unordered_map<std::uint64_t, std::u16string> decimals;  // by bit pattern
    std::u16string uncached;
};

// Host texts as mbcsToUTF16 converts them (cut at the first NUL byte, and at
// the first NUL unit, as a zero-terminated value would be), for one build:
// the host's code page is asked once, when the object is made. Where the
// code page is one that reads every byte below 0x80 as that character alone,
// which is tried out at that moment, an ASCII text is widened directly;
// anything else goes through one converter kept for the build.
class HostTexts {
public:
    HostTexts();
    ~HostTexts();
    HostTexts(const HostTexts&) = delete;
    HostTexts& operator=(const HostTexts&) = delete;

    // The text of mbcs (null: empty); valid until the next call.
    std::u16string_view convert(const char* mbcs);

private:
    UConverter* converter = nullptr;
    bool asciiAsIs = false;
    std::u16string buffer;
};

// The texts of NumberTexts, for one build: integers written directly where
// the numeric locale writes them with ASCII digits and minus sign (tried out
// when the object is made), finite decimals always directly from their
// shortest round-trip digits, rounded half-even to three places as ICU
// rounds them; the rest through NumberTexts.
class QuickNumberTexts {
public:
    QuickNumberTexts();

    // As NumberTexts::integer and decimal; false when no text could be made.
    bool integer(std::int64_t n, std::u16string_view& text);
    bool decimal(double d, std::u16string_view& text);

private:
    bool plainIntegers = false;
    NumberTexts literal;
    char16_t buffer[320];  // the longest decimal text: "-" and 309 digits
};

#endif
