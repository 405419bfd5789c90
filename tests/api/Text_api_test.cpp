// The text vocabulary through the exported surface alone.
#include <gtest/gtest.h>

#include "TransString.h"
#include "TransStringList.h"
#include "VornPlatform.h"

TEST(TextApi, StringsAndListsConvertThroughTheHostCodePage) {
    SetUTF8Mode(0);
    SetMBDefaultCodePage("windows-1252");
    TransString s("\xE9t\xE9");
    const unsigned short* units = s.asUTF16();
    EXPECT_EQ(units[0], 0xE9);
    TransStringList list;
    list.push_back(units);
    TransStatus st;
    EXPECT_STREQ(list.asMBCS(0, st), "\xE9t\xE9");
    EXPECT_FALSE(st.failure() || st.warning());
    SetUTF8Mode(-1);
    SetMBDefaultCodePage(nullptr);
}
