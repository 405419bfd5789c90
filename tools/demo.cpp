// A first look at the text vocabulary: one text read in UTF-16 and in three
// code pages of the host.
#include <cstdio>

#include "TransStatus.h"
#include "TransString.h"
#include "VornPlatform.h"

namespace {

void show(const char* codePage, const TransString& text) {
    if (codePage == nullptr) {
        SetUTF8Mode(1);
    } else {
        SetUTF8Mode(0);
        SetMBDefaultCodePage(codePage);
    }
    TransString copy(text);  // a fresh copy converts under the current code page
    TransStatus st;
    const char* bytes = copy.asMBCS(st);
    std::printf("  %-12s", codePage ? codePage : "UTF-8 mode");
    for (const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes); *b; ++b)
        std::printf(" %02X", *b);
    std::printf("%s\n", st.warning() ? "  (warning)" : "");
}

}  // namespace

int main() {
    const unsigned short text[] = {'G', 'r', 0xF6, 0xDF, 'e', ' ', 0x65E5, 0x672C, 0};
    TransString s(text);
    std::printf("UTF-16 units:");
    for (const unsigned short* u = s.asUTF16(); *u; ++u) std::printf(" %04X", *u);
    std::printf("\nmultibyte bytes by host code page:\n");
    show(nullptr, s);
    show("windows-1252", s);
    show("Shift_JIS", s);
    show("no-such-page", s);
    return 0;
}
