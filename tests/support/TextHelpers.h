// Small conversions for assertions: UTF-8 literals to UTF-16 and back.
#ifndef TRANSSPACE_TESTS_TEXTHELPERS_H
#define TRANSSPACE_TESTS_TEXTHELPERS_H

#include <string>

#include <unicode/unistr.h>

inline std::u16string u16(const char* utf8) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(utf8);
    return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

inline std::u16string u16(const unsigned short* units) {
    std::u16string s;
    if (units != nullptr)
        for (; *units != 0; ++units) s.push_back(static_cast<char16_t>(*units));
    return s;
}

inline const unsigned short* units(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

inline std::string utf8(const unsigned short* units) {
    std::string out;
    if (units != nullptr)
        icu::UnicodeString(reinterpret_cast<const UChar*>(units)).toUTF8String(out);
    return out;
}

inline std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

#endif
