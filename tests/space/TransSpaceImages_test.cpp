// The image table: the outcome table of addImage, findImage, existsImage and
// removeImage walked row by row, and removeAll across both tables.
#include <string>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "support/TextHelpers.h"

namespace {

TransString text(const char* utf8Text) { return TransString(units(u16(utf8Text))); }

TransImage image(const char* name, const char* data, int number = 0) {
    TransImage result;
    result.name = text(name);
    result.data = data;
    result.info = text("info");
    result.number = number;
    return result;
}

class TransSpaceImages : public ::testing::Test {
protected:
    void SetUp() override {
        TransStatus st;
        // Charts: " bar " (1), "Pie" (2), "pie" (3), "bar" (4). Empty: its only
        // image removed, so the owner stays with an empty sequence.
        for (const TransImage& i :
             {image(" bar ", "1"), image("Pie", "2"), image("pie", "3"), image("bar", "4")}) {
            ASSERT_TRUE(space.addImage(text("Charts"), i, st));
        }
        ASSERT_TRUE(space.addImage(text("Empty"), image("gone", "0"), st));
        ASSERT_TRUE(space.removeImage(text("Empty"), text("gone"), st));
    }
    const TransImage& nullImage() {
        TransStatus st;
        return space.findImage(text(""), text(""), st);
    }
    TransSpace space;
};

}  // namespace

TEST_F(TransSpaceImages, OutcomeTable) {
    enum Op { Add, Find, Exists, Remove };
    struct Row {
        const char* what;
        Op op;
        const char* owner;
        const char* imageName;
        bool result;       // for find: a stored image came back
        const char* data;  // for find: the data of the image found
        bool failure;
        bool warning;
    };
    // Runs in order on the fixture's space.
    const Row rows[] = {
        {"add, owner empty", Add, "", "", false, "", true, true},
        {"add, owner blanks", Add, "  ", "", false, "", true, true},
        {"find, owner empty", Find, " ", "bar", false, "", true, true},
        {"find, image name empty", Find, "Charts", " ", false, "", true, true},
        {"find, owner absent", Find, "Nobody", "bar", false, "", true, true},
        {"find, no match", Find, "Charts", "line", false, "", false, false},
        {"find, empty sequence", Find, "Empty", "gone", false, "", false, false},
        {"find, match trims both sides", Find, " CHARTS ", " bar", true, "1", false, false},
        {"find, match is case-sensitive", Find, "charts", "pie", true, "3", false, false},
        {"exists, owner empty", Exists, "", "bar", false, "", true, false},
        {"exists, image name empty", Exists, "Charts", "", false, "", true, true},
        {"exists, owner absent", Exists, "Nobody", "bar", false, "", false, true},
        {"exists, no match", Exists, "Charts", "line", false, "", false, true},
        {"exists, empty sequence", Exists, "Empty", "gone", false, "", false, false},
        {"exists, match in third image", Exists, "Charts", "pie", true, "", false, false},
        {"remove, owner empty", Remove, "", "bar", false, "", true, false},
        {"remove, image name empty", Remove, "Charts", "  ", false, "", true, true},
        {"remove, owner absent", Remove, "Nobody", "bar", false, "", false, false},
        {"remove, no match", Remove, "Charts", "line", false, "", false, false},
        {"remove, empty sequence", Remove, "Empty", "gone", false, "", false, false},
        {"remove, first match", Remove, "Charts", "bar", true, "", false, false},
        {"find, the later twin moved up", Find, "Charts", "bar", true, "4", false, false},
        {"add, owner absent", Add, "Nobody", "", true, "", false, false},
        {"add, owner present", Add, " charts", "", true, "", false, false},
        {"add, owner with empty sequence", Add, "EMPTY", "", true, "", false, false},
        {"find, appended after the rest", Find, "Charts", "new", true, "5", false, false},
        {"exists, in the new sequence", Exists, "nobody", "new", true, "", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TransStatus st;
        st.failure(!row.failure);  // flags of an earlier call never survive
        st.warning(!row.warning);
        const TransString owner = text(row.owner);
        const TransString imageName = text(row.imageName);
        bool result = false;
        switch (row.op) {
            case Add:
                result = space.addImage(owner, image("new", "5", 5), st);
                break;
            case Find: {
                const TransImage& found = space.findImage(owner, imageName, st);
                result = &found != &nullImage();
                EXPECT_EQ(found.data, row.data);
                break;
            }
            case Exists:
                result = space.existsImage(owner, imageName, st);
                break;
            case Remove:
                result = space.removeImage(owner, imageName, st);
                break;
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(st.failure(), row.failure);
        EXPECT_EQ(st.warning(), row.warning);
    }
}

TEST_F(TransSpaceImages, StoredImagesAreCopiesWithTheirNameUntrimmed) {
    TransStatus st;
    TransImage mine = image("  spaced  ", "", 42);
    mine.data.assign("bytes\0kept", 10);
    ASSERT_TRUE(space.addImage(text("copies"), mine, st));
    mine.data = "changed";
    mine.name = text("other");
    const TransImage& stored = space.findImage(text("copies"), text("spaced"), st);
    EXPECT_EQ(utf8(stored.name.asUTF16()), "  spaced  ");
    EXPECT_EQ(stored.data, std::string("bytes\0kept", 10));
    EXPECT_EQ(utf8(stored.info.asUTF16()), "info");
    EXPECT_EQ(stored.number, 42);

    TransImage copy(stored);
    TransImage assigned;
    assigned = copy;
    copy.info = text("");
    EXPECT_EQ(utf8(assigned.info.asUTF16()), "info");
    EXPECT_TRUE(nullImage().name.empty());
    EXPECT_TRUE(nullImage().data.empty());
}

TEST_F(TransSpaceImages, RemoveAllSpeaksOfTheValueAndClearsBoth) {
    struct Row {
        const char* what;
        const char* name;
        bool withValue;
        bool withImages;
        bool result;
        bool flags;  // failure and warning together
    };
    const Row rows[] = {
        {"empty name", " ", false, false, false, true},
        {"value and images", "Both", true, true, true, false},
        {"value only", "ValueOnly", true, false, true, false},
        {"images only", "ImagesOnly", false, true, false, true},
        {"neither", "Neither", false, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TransStatus st;
        const TransString name = text(row.name);
        if (row.withValue) {
            ASSERT_TRUE(space.add(name, TransValue(1.0)));
        }
        if (row.withImages) {
            ASSERT_TRUE(space.addImage(name, image("img", "x"), st));
        }
        st.failure(!row.flags);
        st.warning(!row.flags);
        EXPECT_EQ(space.removeAll(text((std::string(" ") + row.name + " ").c_str()), st),
                  row.result);
        EXPECT_EQ(st.failure(), row.flags);
        EXPECT_EQ(st.warning(), row.flags);
        EXPECT_FALSE(space.exists(name));
        // The owner entry is gone too: a lookup now misses the owner itself.
        if (row.name[0] != ' ') {
            EXPECT_FALSE(space.existsImage(name, text("img"), st));
            EXPECT_TRUE(st.warning());
            EXPECT_FALSE(st.failure());
        }
    }
}

TEST_F(TransSpaceImages, RemoveLeavesTheImages) {
    TransStatus st;
    ASSERT_TRUE(space.add(text("Charts"), TransValue(text("v"))));
    EXPECT_TRUE(space.remove(text("charts"), st));
    EXPECT_TRUE(space.existsImage(text("Charts"), text("Pie"), st));
    EXPECT_FALSE(space.exists(text("Charts")));
    ASSERT_TRUE(space.add(text("Charts"), TransValue(text("v"))));
    EXPECT_TRUE(space.removeAll(text("Charts"), st));
    EXPECT_FALSE(space.existsImage(text("Charts"), text("Pie"), st));
    EXPECT_TRUE(st.warning()) << "the owner entry went with removeAll";
}
