#include "TransString.h"

#include <string>

#include <gtest/gtest.h>

#include "support/HostTextMode.h"
#include "support/LocaleGuard.h"
#include "support/TextHelpers.h"
#include "text/TransText.h"

namespace {

TEST(TransString, BothFormsAgreeAndResetTheStatus) {
    HostTextMode mode(nullptr);
    const TransString strings[] = {TransString(), TransString(static_cast<const char*>(nullptr)),
                                   TransString(static_cast<const unsigned short*>(nullptr)),
                                   TransString("caf\xC3\xA9"), TransString(units(u"caf\u00E9"))};
    for (const TransString& s : strings) {
        SCOPED_TRACE(s.asMBCS());
        TransStatus st;
        st.failure(true);
        st.warning(!s.empty());  // stale flags from an earlier call
        EXPECT_EQ(u16(s.asUTF16(st)), u16(s.asUTF16()));
        EXPECT_FALSE(st.failure());
        EXPECT_EQ(st.warning(), s.empty());
        st.failure(true);
        EXPECT_STREQ(s.asMBCS(st), s.asMBCS());
        EXPECT_FALSE(st.failure());
        EXPECT_EQ(st.warning(), s.empty());
        EXPECT_NE(s.asUTF16(), nullptr);
    }
    EXPECT_EQ(u16(TransString("caf\xC3\xA9").asUTF16()), u"caf\u00E9");
    EXPECT_STREQ(TransString(units(u"caf\u00E9")).asMBCS(), "caf\xC3\xA9");
}

TEST(TransString, ViewsAreConvertedOnceAndPointersStayValid) {
    HostTextMode mode("windows-1252");
    TransString s(
        "Gr\xF6\xDF"
        "e");
    const unsigned short* view = s.asUTF16();
    const char* bytes = s.asMBCS();
    SetMBDefaultCodePage("Shift_JIS");  // a later change does not touch cached views
    TransString other("x");
    EXPECT_FALSE(s < other && other < s);
    EXPECT_EQ(s.asUTF16(), view);
    EXPECT_EQ(s.asMBCS(), bytes);
    EXPECT_EQ(u16(view), u"Gr\u00F6\u00DFe");
}

TEST(TransString, FailedConversionIsRetriedAndNotReported) {
    HostTextMode mode("no-such-code-page");
    TransString s("abc");
    EXPECT_FALSE(s.empty());
    TransStatus st;
    EXPECT_EQ(u16(s.asUTF16(st)), u"");
    EXPECT_FALSE(st.warning());
    SetMBDefaultCodePage("windows-1252");
    EXPECT_EQ(u16(s.asUTF16()), u"abc");
}

TEST(TransString, TrimRemovesUnicodeWhiteSpaceAtBothEnds) {
    HostTextMode mode(nullptr);
    struct Row {
        const char16_t* in;
        const char16_t* out;
    };
    const Row rows[] = {
        {u" \t\r\n abc \v\f", u"abc"},
        {u"\u2028\u3000a b\u2029\u001F\u001C", u"a b"},
        {u"\u00A0x\u2007\u202F", u"\u00A0x\u2007\u202F"},  // no-break spaces stay
        {u"\u1680y\u2000\u200A", u"y"},
        {u"\u0085y\u0085", u"\u0085y\u0085"},  // NEL is a control, not white space
        {u"   ", u""},
        {u"", u""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(utf8(units(r.in)));
        TransString s(units(r.in));
        TransStatus st;
        st.failure(true);
        s.trim(st);
        EXPECT_EQ(u16(s.asUTF16()), r.out);
        EXPECT_FALSE(st.failure());
        EXPECT_EQ(st.warning(), std::u16string(r.out).empty());
    }
    TransString fromBytes("  caf\xC3\xA9\n");
    TransStatus st;
    fromBytes.trim(st);
    EXPECT_STREQ(fromBytes.asMBCS(), "caf\xC3\xA9");
}

TEST(TransString, OrderIgnoresLetterCase) {
    HostTextMode mode(nullptr);
    LocaleGuard ctype(LC_CTYPE, "de_DE.UTF-8");
    struct Row {
        const char* a;
        const char* b;
        bool less;
        bool greater;
    };
    const Row rows[] = {
        {"abc", "ABD", true, false},
        {"abc", "ABC", false, false},
        {"", "a", true, false},
        {"", "", false, false},
        {"Stra\xC3\x9F"
         "e",
         "STRASSE", false, false},  // full case mapping: one key
        {"ab", "abc", true, false},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", false, false},
        {"b", "A", false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.a) + " vs " + r.b);
        TransString a(r.a), b(r.b);
        EXPECT_EQ(a < b, r.less);
        EXPECT_EQ(b < a, r.greater);
    }
}

TEST(TransString, InternalAccessEndsAtTheFirstZeroUnit) {
    icu::UnicodeString text(u"ab");
    text.append(static_cast<UChar>(0)).append(u'c');
    EXPECT_EQ(u16(TransStringAccess::fromUTF16(text).asUTF16()), u"ab");
}

// Each new upper-case copy follows the LC_CTYPE locale of its moment: Turkish
// maps i to dotted capital I, so "i" and "I" are one key only elsewhere.
TEST(TransString, CaseMappingFollowsTheCharacterTypeLocale) {
    LocaleGuard ctype(LC_CTYPE, "tr_TR.UTF-8");
    ASSERT_TRUE(ctype.active());
    TransString cachedI("i");
    EXPECT_TRUE(TransString("I") < cachedI);
    ASSERT_NE(std::setlocale(LC_CTYPE, "en_US.UTF-8"), nullptr);
    EXPECT_FALSE(TransString("I") < TransString("i"));
    EXPECT_TRUE(TransString("I") < cachedI);  // the cached copy keeps its mapping
}

}  // namespace
