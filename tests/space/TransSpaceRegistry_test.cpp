// The value and image tables: one row per outcome of the ten operations, walked
// in order on one space whose entries were made from temporaries, so every hit
// is the space's own copy. Long random sequences are the registry fuzz target's.
#include <string>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

namespace {

TransImage image(const char* name, const std::string& data) {
    TransImage result;
    result.name = ts(name);
    result.data = data;
    return result;
}

class TransSpaceRegistry : public ::testing::Test {
protected:
    // Values "Total" ("t"), "Straße" ("s"); images "img" of "Total", " bar " (1), "Pie" (2),
    // "pie" (3), "bar" (4) of "Charts", and "Empty", an owner left with an empty sequence.
    void SetUp() override {
        TransStatus st;
        ASSERT_TRUE(space.add(ts("Total"), TransValue(ts("t"))));
        ASSERT_TRUE(space.add(ts("Straße"), TransValue(ts("s"))));
        ASSERT_TRUE(space.addImage(ts("Total"), image("img", "0"), st));
        const char* const charts[] = {" bar ", "Pie", "pie", "bar"};
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(space.addImage(ts("Charts"), image(charts[i], std::to_string(i + 1)), st));
        ASSERT_TRUE(space.addImage(ts("Empty"), image("gone", "0"), st));
        ASSERT_TRUE(space.removeImage(ts("Empty"), ts("gone"), st));
    }
    TransSpace space;
};

}  // namespace

TEST_F(TransSpaceRegistry, OutcomeTable) {
    enum Op { Add, Find, Exists, Remove, List, AddImg, FindImg, ExistsImg, RemoveImg, RemoveAll };
    struct Row {
        const char* what;
        Op op;
        const char* name;
        const char* imageName;
        bool result;        // find, findImage: not the null object; list: not empty
        const char* found;  // find: the value's text; findImage: the data; list: the names
        bool failure;
        bool warning;
    };
    const Row rows[] = {
        {"add blanks", Add, " \t ", "", false, "", true, true},
        {"add present, other case and blanks", Add, "  tOTAL ", "", false, "", true, true},
        {"add absent", Add, "  apple ", "", true, "", false, false},
        {"list, case-insensitive order", List, "", "", true, "apple,Straße,Total,", false, false},
        {"find present: never replaced", Find, " TOTAL ", "", true, "t", false, false},
        {"find absent", Find, "Count", "", false, "", true, true},
        {"exists blanks", Exists, "  ", "", false, "", true, true},
        {"exists present", Exists, "strasse", "", true, "", false, false},
        {"exists absent", Exists, "Count", "", false, "", false, true},
        {"remove present", Remove, "APPLE", "", true, "", false, false},
        {"remove absent: the one just removed", Remove, "apple", "", false, "", true, true},
        {"addImage, owner blanks", AddImg, "  ", "", false, "", true, true},
        {"findImage, image name blanks", FindImg, "Charts", " ", false, "", true, true},
        {"findImage, owner absent", FindImg, "Nobody", "bar", false, "", true, true},
        {"findImage, no match", FindImg, "Charts", "line", false, "", false, false},
        {"findImage, match trims both", FindImg, " CHARTS ", " bar", true, "1", false, false},
        {"findImage, case-sensitive", FindImg, "charts", "pie", true, "3", false, false},
        {"existsImage, owner empty", ExistsImg, "", "bar", false, "", true, false},
        {"existsImage, image name empty", ExistsImg, "Charts", "", false, "", true, true},
        {"existsImage, no match", ExistsImg, "Charts", "line", false, "", false, true},
        {"existsImage, empty sequence", ExistsImg, "Empty", "gone", false, "", false, false},
        {"existsImage, match", ExistsImg, "Charts", "pie", true, "", false, false},
        {"removeImage, owner empty", RemoveImg, "", "bar", false, "", true, false},
        {"removeImage, image name empty", RemoveImg, "Charts", "  ", false, "", true, true},
        {"removeImage, owner absent", RemoveImg, "Nobody", "bar", false, "", false, false},
        {"removeImage, no match", RemoveImg, "Charts", "line", false, "", false, false},
        {"removeImage, first match", RemoveImg, "Charts", "bar", true, "", false, false},
        {"findImage, the later twin moved up", FindImg, "Charts", "bar", true, "4", false, false},
        {"addImage, owner absent", AddImg, "STRASSE", "", true, "", false, false},
        {"addImage, owner present", AddImg, " charts", "", true, "", false, false},
        {"findImage, appended last", FindImg, "Charts", "new", true, "5", false, false},
        {"existsImage, in a new sequence", ExistsImg, "strasse", "new", true, "", false, false},
        {"remove keeps the images", Remove, "total", "", true, "", false, false},
        {"existsImage after remove", ExistsImg, "Total", "img", true, "", false, false},
        {"removeAll, images only", RemoveAll, "TOTAL", "", false, "", true, true},
        {"existsImage, owner gone", ExistsImg, "Total", "img", false, "", false, true},
        {"removeAll, value and images", RemoveAll, " Straße ", "", true, "", false, false},
        {"list, nothing stored", List, "", "", false, "", false, true},
    };
    const TransValue* nullValue = &space.find(ts(""));
    TransStatus scratch;
    const TransImage* nullImage = &space.findImage(ts(""), ts(""), scratch);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TransStatus st;
        st.failure(!row.failure);  // flags of an earlier call never survive
        st.warning(!row.warning);
        const TransString name = ts(row.name);
        const TransString imageName = ts(row.imageName);
        bool result = false;
        std::string found;
        switch (row.op) {
            case Add:
                result = space.add(name, TransValue(ts("new")), st);
                break;
            case Find: {
                const TransValue& value = space.find(name, st);
                result = &value != nullValue;
                found = takeUtf8(value.asString());
                EXPECT_EQ(&space.find(name), &value) << "every lookup hands out the one entry";
                break;
            }
            case Exists:
                result = space.exists(name, st);
                break;
            case Remove:
                result = space.remove(name, st);
                break;
            case List:
                for (const std::string& entry : takeUtf8(space.list(st))) found += entry + ",";
                result = !found.empty();
                break;
            case AddImg:
                result = space.addImage(name, image("new", "5"), st);
                break;
            case FindImg: {
                const TransImage& stored = space.findImage(name, imageName, st);
                result = &stored != nullImage;
                found = stored.data;
                break;
            }
            case ExistsImg:
                result = space.existsImage(name, imageName, st);
                break;
            case RemoveImg:
                result = space.removeImage(name, imageName, st);
                break;
            case RemoveAll:
                result = space.removeAll(name, st);
                break;
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(found, row.found);
        EXPECT_EQ(st.failure(), row.failure);
        EXPECT_EQ(st.warning(), row.warning);
        EXPECT_EQ(utf8(name.asUTF16()), row.name) << "the caller's name is never changed";
    }
}

// An image is kept as the caller gave it: name untrimmed, data byte for byte.
TEST_F(TransSpaceRegistry, ImagesAreKeptAsGiven) {
    TransStatus st;
    ASSERT_TRUE(space.addImage(ts("v"), image("  spaced  ", std::string("a\0b", 3)), st));
    const TransImage& stored = space.findImage(ts("v"), ts("spaced"), st);
    EXPECT_EQ(utf8(stored.name.asUTF16()), "  spaced  ");
    EXPECT_EQ(stored.data, std::string("a\0b", 3));
}
