#include "text/CodePage.h"

#include <gtest/gtest.h>

#include "support/HostTextMode.h"
#include "support/LiteralCodePage.h"
#include "support/TextHelpers.h"

namespace {

icu::UnicodeString fromUTF8(const char* s) { return icu::UnicodeString::fromUTF8(s); }

struct Conversion {
    const char* what;
    const char* codePage;  // null: UTF-8 mode
    const char* text;      // UTF-8 literal
    const char* bytes;     // expected multibyte bytes, hex
    const char* back;      // expected text after the round trip, UTF-8
};

TEST(CodePage, ConvertsBothWaysInEachCodePage) {
    const Conversion rows[] = {
        {"e-acute in UTF-8 mode", nullptr, "\xC3\xA9", "C3 A9", "\xC3\xA9"},
        {"supplementary character", nullptr, "\xF0\x9F\x98\x80", "F0 9F 98 80", "\xF0\x9F\x98\x80"},
        {"windows-1252 umlauts", "windows-1252",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         "47 72 F6 DF 65",
         "Gr\xC3\xB6\xC3\x9F"
         "e"},
        {"unmappable becomes SUB, the rest stays", "windows-1252",
         "a\xE6\x97\xA5"
         "b",
         "61 1A 62",
         "a\x1A"
         "b"},
        {"Shift_JIS", "Shift_JIS", "\xE6\x97\xA5\xE6\x9C\xAC", "93 FA 96 7B",
         "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"supplementary in windows-1252", "windows-1252", "\xF0\x9F\x98\x80", "1A", "\x1A"},
    };
    for (const Conversion& row : rows) {
        SCOPED_TRACE(row.what);
        HostTextMode mode(row.codePage);
        std::string bytes = utf16ToMBCS(fromUTF8(row.text));
        EXPECT_EQ(hex(bytes), row.bytes);
        std::string back;
        mbcsToUTF16(bytes).toUTF8String(back);
        EXPECT_EQ(back, row.back);
    }
}

// The host's setting is read at every call; an unknown code page gives empty
// text, never an error.
TEST(CodePage, NameFollowsTheHostAtEveryCall) {
    HostTextMode mode("Shift_JIS");
    EXPECT_EQ(codePageName(), "Shift_JIS");
    SetMBDefaultCodePage("windows-1252");
    EXPECT_EQ(hex(utf16ToMBCS(fromUTF8("\xC3\xA9"))), "E9");
    SetMBDefaultCodePage("no-such-code-page");
    EXPECT_TRUE(utf16ToMBCS(fromUTF8("abc")).empty());
    EXPECT_TRUE(mbcsToUTF16("abc").isEmpty());
    HostTextMode utf8(nullptr);
    EXPECT_EQ(codePageName(), "UTF-8");
}

// A zero byte is a character like any other here; an invalid byte is
// substituted, not an error.
TEST(CodePage, ZeroBytesAndIllegalInputAreConverted) {
    HostTextMode mode(nullptr);
    EXPECT_EQ(mbcsToUTF16(std::string("a\0b", 3)), icu::UnicodeString(u"a\0b", 3));
    icu::UnicodeString bad = mbcsToUTF16(
        "a\xFF"
        "b");
    EXPECT_EQ(bad, icu::UnicodeString(u"a\uFFFDb"));
}

}  // namespace

namespace {

// The kept converter must give exactly what a fresh converter per call gives,
// also when the host switches code pages between calls and after inputs that
// leave a stateful converter mid-sequence.
TEST(CodePage, KeptConverterMatchesAFreshOnePerCall) {
    const char* pages[] = {nullptr,    "windows-1252", "Shift_JIS",  "GB18030",
                           "UTF-16BE", "ISO-2022-JP",  "no-such-cp", "windows-1252"};
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 400; ++round) {
        const char* page = pages[next() % (sizeof pages / sizeof pages[0])];
        HostTextMode mode(page);
        std::string bytes;
        icu::UnicodeString text;
        int length = static_cast<int>(next() % 24);
        for (int i = 0; i < length; ++i) {
            bytes.push_back(static_cast<char>(next() >> 16));
            uint32_t pick = next() >> 8;
            // Mostly real characters, some surrogate halves, zeros and escapes.
            UChar unit = static_cast<UChar>(pick % 7 == 0    ? 0xD800 + pick % 0x800
                                            : pick % 11 == 0 ? 0x1B
                                                             : pick % 0x3000);
            text.append(unit);
        }
        SCOPED_TRACE(testing::Message() << (page ? page : "UTF-8 mode") << " round " << round);
        EXPECT_EQ(mbcsToUTF16(bytes), literalMBCSToUTF16(bytes));
        EXPECT_EQ(utf16ToMBCS(text), literalUTF16ToMBCS(text));
    }
}

}  // namespace
