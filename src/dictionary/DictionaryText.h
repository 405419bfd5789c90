// The attribute texts that every section of the dictionary writes: texts from
// the data source (multibyte text in the host's code page), integer text under
// the process's numeric locale and decimal text under the English locale.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYTEXT_H
#define TRANSSPACE_DICTIONARY_DICTIONARYTEXT_H

#include <cstdint>
#include <string>
#include <unordered_map>

#include <xercesc/dom/DOMElement.hpp>

// Sets name to the multibyte text up to its first NUL; null sets an empty value.
void setTextAttribute(XERCES_CPP_NAMESPACE::DOMElement* e, const XMLCh* name, const char* mbcs);
inline void setTextAttribute(XERCES_CPP_NAMESPACE::DOMElement* e, const XMLCh* name,
                             const std::string& mbcs) {
    setTextAttribute(e, name, mbcs.c_str());
}

// Number attributes of one build. Each text comes from an integer or double
// value's own formatting; a number seen before in the same build reuses the
// text made for it. A formatter costs several microseconds to make, a
// dictionary repeats the same few widths, codes and label values many times,
// and the numeric locale cannot change while one build runs on its thread.
class NumberTexts {
public:
    // Sets name to the "#0.###" text of the integer under the LC_NUMERIC
    // locale; false, leaving the attribute out, when no text could be made.
    bool setInteger(XERCES_CPP_NAMESPACE::DOMElement* e, const XMLCh* name, std::int64_t n);
    // Sets name to the "#0.###" text of the number under the English locale;
    // false, leaving the attribute out, when no text could be made.
    bool setDecimal(XERCES_CPP_NAMESPACE::DOMElement* e, const XMLCh* name, double d);

private:
    // Bounded, so that a dictionary of all-different numbers keeps a small cache.
    static constexpr std::size_t capacity = 4096;
    std::unordered_map<std::int64_t, std::u16string> integers;
    std::unordered_map<std::uint64_t, std::u16string> decimals;  // by bit pattern
};

#endif
