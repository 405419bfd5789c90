// Bytes and UTF-16 text in a code page drawn from a list, through strings and
// lists both ways, checked against invariants and against a converter opened
// afresh per call.
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "TransString.h"
#include "TransStringList.h"
#include "VornPlatform.h"
#include "support/LiteralCodePage.h"
#include "text/CodePage.h"
#include "text/TransText.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

const char* const kPages[] = {nullptr,    "windows-1252", "Shift_JIS",   "GB18030",
                              "UTF-16BE", "ISO-2022-JP",  "no-such-page"};

bool validUTF8(const std::string& bytes) {
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, bytes.data(), static_cast<int32_t>(bytes.size()), &error);
    return error == U_BUFFER_OVERFLOW_ERROR || error == U_ZERO_ERROR ||
           error == U_STRING_NOT_TERMINATED_WARNING;
}

void checkTrim(const TransString& s) {
    TransString t(s);
    TransStatus st;
    t.trim(st);
    const icu::UnicodeString& text = TransStringAccess::utf16(t);
    check(st.warning() == text.isEmpty());
    if (!text.isEmpty()) {
        check(!u_isWhitespace(text.char32At(0)));
        check(!u_isWhitespace(text.char32At(text.length() - 1)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* page = kPages[data[0] % (sizeof kPages / sizeof kPages[0])];
    if (page == nullptr) {
        SetUTF8Mode(1);
    } else {
        SetUTF8Mode(0);
        SetMBDefaultCodePage(page);
    }
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string cBytes = bytes.substr(0, bytes.find('\0'));

    // Multibyte side.
    TransString fromBytes(cBytes.c_str());
    check(fromBytes.empty() == cBytes.empty());
    TransStatus st;
    const unsigned short* units = fromBytes.asUTF16(st);
    check(units != nullptr && st.warning() == cBytes.empty() && !st.failure());
    check(mbcsToUTF16(bytes) == literalMBCSToUTF16(bytes));
    if (page == nullptr && validUTF8(cBytes)) {
        TransString back(units);
        check(std::string(back.asMBCS()) == cBytes);
    }

    // UTF-16 side: the bytes taken as code units, surrogate halves and all.
    icu::UnicodeString text;
    for (size_t i = 1; i + 1 < size; i += 2)
        text.append(static_cast<UChar>(data[i] | (data[i + 1] << 8)));
    check(utf16ToMBCS(text) == literalUTF16ToMBCS(text));
    TransString fromUnits = TransStringAccess::fromUTF16(text);
    const char* mbcs = fromUnits.asMBCS(st);
    check(mbcs != nullptr && st.warning() == fromUnits.empty());

    checkTrim(fromBytes);
    checkTrim(fromUnits);
    check(!(fromBytes < fromBytes) && !(fromUnits < fromUnits));
    check(!(fromBytes < fromUnits && fromUnits < fromBytes));

    TransStringList list;
    list.push_back(units);
    list.push_back(fromUnits.asUTF16());
    list.push_back(list.asUTF16(0));
    check(list.size() == 3);
    const char* const* array = list.asMBCSArray(st);
    check(array != nullptr && !st.failure());
    check(std::string(array[0]) == std::string(list.asMBCS(2)));
    check(list.asUTF16(3, st) == nullptr && st.failure() && st.warning());
    check(!(list < list));
    return 0;
}
