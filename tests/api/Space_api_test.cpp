// A host's road through the exported surface alone: a space, values of every
// simple kind stored and found again, names listed and everything released.
#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "TransValue.h"

namespace {

std::string ascii(const unsigned short* units) {
    std::string out;
    for (; *units != 0; ++units) out.push_back(static_cast<char>(*units));
    return out;
}

}  // namespace

TEST(SpaceApi, StoresFindsListsAndReleases) {
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    const std::string previous = saved != nullptr ? saved : "C";
    std::setlocale(LC_NUMERIC, "C");
    {
        TransSpace space;
        TransStatus st;
        EXPECT_TRUE(space.add(TransString(" Weight "), TransValue(2.5), st));
        EXPECT_TRUE(space.add(TransString("label"), TransValue(TransString("12.5")), st));
        EXPECT_TRUE(space.add(TransString("none"), TransValue(), st));
        EXPECT_FALSE(space.add(TransString("WEIGHT"), TransValue(1.0), st));
        EXPECT_TRUE(st.failure() && st.warning());

        TransString* s = space.find(TransString("weight")).asString(st);
        EXPECT_EQ(ascii(s->asUTF16()), "2.5");
        TransSpace::releaseString(s, st);
        EXPECT_EQ(s, nullptr);
        EXPECT_EQ(space.find(TransString("LABEL")).asDouble(st), 12.5);
        EXPECT_FALSE(st.failure() || st.warning());
        space.find(TransString("none")).asDouble(st);
        EXPECT_TRUE(st.failure() && st.warning());

        TransStringList* names = space.list(st);
        ASSERT_EQ(names->size(), 3u);
        EXPECT_EQ(ascii(names->asUTF16(0)), "label");
        EXPECT_EQ(ascii(names->asUTF16(2)), "Weight");
        TransValue::releaseStringList(names, st);
        EXPECT_EQ(names, nullptr);

        TransImage image;
        image.name = TransString("chart");
        image.data = std::string("\x89PNG\0", 5);
        EXPECT_TRUE(space.addImage(TransString("Weight"), image, st));
        EXPECT_EQ(space.findImage(TransString("weight"), TransString("chart"), st).data.size(), 5u);
        EXPECT_TRUE(space.removeAll(TransString("label "), st));
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(SpaceApi, TwoSpacesInEitherOrder) {
    auto* first = new TransSpace;
    auto* second = new TransSpace;
    delete first;
    EXPECT_TRUE(second->add(TransString("x"), TransValue(1.0)));
    auto* third = new TransSpace;
    delete second;
    EXPECT_FALSE(third->exists(TransString("x")));
    delete third;
}
