// A host's road through the exported surface alone: a space, values of every
// simple kind stored and found again, names listed, an image, everything
// released, and a second space that outlives the first.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "TransValue.h"

// The program starts in the "C" locale, so numbers read and write with a point.
TEST(SpaceApi, StoresFindsListsAndReleases) {
    auto space = std::make_unique<TransSpace>();
    TransStatus st;
    EXPECT_TRUE(space->add(TransString(" Weight "), TransValue(2.5), st));
    EXPECT_TRUE(space->add(TransString("label"), TransValue(TransString("12.5")), st));
    EXPECT_TRUE(space->add(TransString("none"), TransValue(), st));

    TransString* s = space->find(TransString("weight")).asString(st);
    EXPECT_STREQ(s->asMBCS(), "2.5");
    TransSpace::releaseString(s, st);
    EXPECT_EQ(space->find(TransString("LABEL")).asDouble(st), 12.5);
    EXPECT_FALSE(st.failure() || st.warning());
    space->find(TransString("none")).asDouble(st);
    EXPECT_TRUE(st.failure() && st.warning());

    TransStringList* names = space->list(st);
    ASSERT_EQ(names->size(), 3u);
    EXPECT_STREQ(names->asMBCS(2), "Weight");
    TransValue::releaseStringList(names, st);

    TransImage image;
    image.name = TransString("chart");
    image.data = std::string("\x89PNG\0", 5);
    EXPECT_TRUE(space->addImage(TransString("Weight"), image, st));
    EXPECT_EQ(space->findImage(TransString("weight"), TransString("chart"), st).data.size(), 5u);
    EXPECT_TRUE(space->removeAll(TransString("label "), st));

    auto second = std::make_unique<TransSpace>();
    space.reset();
    EXPECT_FALSE(second->exists(TransString("Weight")));
}
