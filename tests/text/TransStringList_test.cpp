#include "TransStringList.h"

#include <gtest/gtest.h>

#include "support/HostTextMode.h"
#include "support/TextHelpers.h"

namespace {

TransStringList listOf(std::initializer_list<const char16_t*> entries) {
    TransStringList list;
    for (const char16_t* e : entries) list.push_back(units(e));
    return list;
}

TEST(TransStringList, EmptyListAndBadIndexesAreRefused) {
    const TransStringList empty;
    const TransStringList three = listOf({u"a", u"b", u"c"});
    TransStatus st;
    // The argument, and with it the call's flags, is evaluated before the check.
    const auto refused = [&st](const void* result) {
        return result == nullptr && st.failure() && st.warning();
    };
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(refused(empty.asUTF16Array(st)));
    EXPECT_TRUE(refused(empty.asMBCSArray(st)));
    EXPECT_TRUE(refused(empty.asUTF16(0, st)));
    EXPECT_TRUE(refused(empty.asMBCS(0, st)));
    EXPECT_TRUE(refused(three.asUTF16(3, st)));
    EXPECT_TRUE(refused(three.asMBCS(99, st)));
    EXPECT_EQ(u16(three.asUTF16(2, st)), u"c");
    EXPECT_FALSE(st.failure() || st.warning());
}

TEST(TransStringList, EmptyEntriesWarn) {
    HostTextMode mode(nullptr);
    TransStringList list = listOf({u"x"});
    TransStatus st;
    st.failure(true);
    list.push_back(nullptr, st);
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(u16(list.asUTF16(1, st)), u"");
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());
    list.asUTF16Array(st);
    EXPECT_TRUE(st.warning());
    EXPECT_STREQ(list.asMBCS(1, st), "");
    EXPECT_TRUE(st.warning());
    EXPECT_STREQ(list.asMBCS(0, st), "x");
    EXPECT_FALSE(st.warning());  // warnings of the rebuild are not reported
}

TEST(TransStringList, CachesAreReusedUntilAnAppend) {
    HostTextMode mode("windows-1252");
    TransStringList list = listOf({u"\u00E9t\u00E9", u"b"});
    TransStatus st;
    const char* const* first = list.asMBCSArray(st);
    EXPECT_FALSE(st.warning());
    EXPECT_EQ(list.asMBCSArray(st), first);
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_EQ(hex(first[0]), "E9 74 E9");

    // An entry appended from the list's own buffer is copied before the list grows.
    list.push_back(list.asUTF16(0));
    const unsigned short* const* utf16 = list.asUTF16Array(st);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(u16(utf16[0]), u"\u00E9t\u00E9");
    EXPECT_EQ(u16(utf16[2]), u"\u00E9t\u00E9");
    const char* const* again = list.asMBCSArray(st);
    EXPECT_EQ(hex(again[2]), "E9 74 E9");
    EXPECT_STREQ(again[1], "b");
}

TEST(TransStringList, UnconvertibleEntriesOnlyWarn) {
    HostTextMode mode("no-such-code-page");
    TransStringList list = listOf({u"a"});
    TransStatus st;
    const char* const* bytes = list.asMBCSArray(st);
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());
    EXPECT_STREQ(bytes[0], "");
}

TEST(TransStringList, OrderIsLexicographicAndCaseSensitive) {
    struct Row {
        TransStringList a, b;
        bool less, greater;
    };
    const Row rows[] = {
        {listOf({u"a", u"b"}), listOf({u"a", u"b", u"c"}), true, false},
        {listOf({u"a", u"b"}), listOf({u"a", u"c"}), true, false},
        {listOf({u"B"}), listOf({u"a"}), true, false},
        {listOf({u"a"}), listOf({u"a"}), false, false},
        {TransStringList(), listOf({u""}), true, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.a < r.b, r.less);
        EXPECT_EQ(r.b < r.a, r.greater);
    }
}

}  // namespace
