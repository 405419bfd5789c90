// The value table: the outcome table of add, find, exists and remove walked row
// by row, the name rule, list order and the ownership of stored values.
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "support/LocaleGuard.h"
#include "support/TextHelpers.h"

namespace {

TransString text(const char* utf8Text) { return TransString(units(u16(utf8Text))); }

std::string take(TransString* s) {
    std::string out = utf8(s->asUTF16());
    delete s;
    return out;
}

std::vector<std::string> names(const TransSpace& space, TransStatus& st) {
    TransStringList* list = space.list(st);
    std::vector<std::string> out;
    for (unsigned int i = 0; i < list->size(); ++i) out.push_back(utf8(list->asUTF16(i)));
    TransSpace::releaseStringList(list);
    return out;
}

class TransSpaceRegistry : public ::testing::Test {
protected:
    TransSpace space;
};

}  // namespace

TEST_F(TransSpaceRegistry, OutcomeTable) {
    enum Op { Add, Find, Exists, Remove };
    struct Row {
        const char* what;
        Op op;
        const char* name;
        bool result;  // for find: the stored value came back
        bool failure;
        bool warning;
    };
    // Runs in order on one space that starts with "Total" stored.
    const Row rows[] = {
        {"add empty", Add, "", false, true, true},
        {"add blanks", Add, " \t ", false, true, true},
        {"add present, other case and blanks", Add, "  tOTAL ", false, true, true},
        {"add absent", Add, "Weight", true, false, false},
        {"find empty", Find, "", false, true, true},
        {"find blanks", Find, "   ", false, true, true},
        {"find present", Find, " TOTAL ", true, false, false},
        {"find absent", Find, "Count", false, true, true},
        {"exists empty", Exists, "", false, true, true},
        {"exists present", Exists, "total", true, false, false},
        {"exists absent", Exists, "Count", false, false, true},
        {"remove empty", Remove, " ", false, true, true},
        {"remove absent", Remove, "Count", false, true, true},
        {"remove present", Remove, "WEIGHT ", true, false, false},
        {"remove again", Remove, "Weight", false, true, true},
        {"exists removed", Exists, "Weight", false, false, true},
    };
    ASSERT_TRUE(space.add(text("Total"), TransValue(1.0)));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TransStatus st;
        st.failure(!row.failure);  // flags of an earlier call never survive
        st.warning(!row.warning);
        const TransString name = text(row.name);
        bool result = false;
        switch (row.op) {
            case Add:
                result = space.add(name, TransValue(2.0), st);
                break;
            case Find: {
                const TransValue& found = space.find(name, st);
                TransStatus read;
                result = found.asDouble(read) == 1.0;
                EXPECT_EQ(read.failure(), !result) << "a miss hands back the null value";
                break;
            }
            case Exists:
                result = space.exists(name, st);
                break;
            case Remove:
                result = space.remove(name, st);
                break;
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(st.failure(), row.failure);
        EXPECT_EQ(st.warning(), row.warning);
        EXPECT_EQ(utf8(name.asUTF16()), row.name) << "the caller's name is never changed";
    }
    EXPECT_EQ(space.find(text("total")).asDouble(), 1.0) << "an entry is never replaced";
}

TEST_F(TransSpaceRegistry, NoStatusFormsGiveTheSameResults) {
    EXPECT_FALSE(space.add(text(" "), TransValue()));
    EXPECT_TRUE(space.add(text("a"), TransValue()));
    EXPECT_FALSE(space.add(text("A"), TransValue()));
    EXPECT_TRUE(space.exists(text("a")));
    EXPECT_FALSE(space.exists(text("b")));
    EXPECT_TRUE(space.remove(text("a")));
    EXPECT_FALSE(space.remove(text("a")));
    TransStringList* list = space.list();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());
    TransValue::releaseStringList(list);
}

TEST_F(TransSpaceRegistry, ListShowsStoredSpellingInCaseInsensitiveOrder) {
    TransStatus st;
    EXPECT_TRUE(names(space, st).empty());
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());

    for (const char* name : {"b", " Total ", "A", "c", "TOTAL"})
        space.add(text(name), TransValue());
    st.warning(true);
    EXPECT_EQ(names(space, st), (std::vector<std::string>{"A", "b", "c", "Total"}));
    EXPECT_FALSE(st.warning());
    EXPECT_FALSE(st.failure());
}

TEST_F(TransSpaceRegistry, FoundValueIsTheStoredCloneAndOutlivesTheCallersValue) {
    auto mine = std::make_unique<TransValue>(text("kept"));
    ASSERT_TRUE(space.add(text("v"), *mine));
    const TransValue& found = space.find(text("V"));
    EXPECT_NE(&found, mine.get());
    *mine = TransValue(3.0);
    mine.reset();
    EXPECT_EQ(take(found.asString()), "kept");
    EXPECT_EQ(&space.find(text(" v ")), &found) << "lookups hand out the same entry";

    TransStatus st;
    const TransValue& missing = space.find(text("w"), st);
    EXPECT_EQ(&missing, &space.find(text("")));
    EXPECT_EQ(missing.asXalanDocument(), nullptr);
}

TEST_F(TransSpaceRegistry, NamesEqualUnderFullCaseMappingAreOneKey) {
    LocaleGuard ctype(LC_CTYPE, "de_DE.UTF-8");
    SKIP_UNLESS_ACTIVE(ctype);
    ASSERT_TRUE(space.add(text("Straße"), TransValue(1.0)));
    TransStatus st;
    EXPECT_FALSE(space.add(text("STRASSE"), TransValue(2.0), st));
    EXPECT_TRUE(st.failure());
    EXPECT_EQ(space.find(text("strasse")).asDouble(), 1.0);
    EXPECT_EQ(names(space, st), std::vector<std::string>{"Straße"});
    EXPECT_TRUE(space.remove(text("STRASSE")));
}

TEST(TransSpaceRelease, EitherClassReleasesWhatTheOtherHandedOut) {
    TransSpace space;
    TransStatus st;
    TransString* s = TransValue(1.5).asString();
    TransSpace::releaseString(s, st);
    EXPECT_EQ(s, nullptr);
    EXPECT_FALSE(st.warning());
    TransSpace::releaseString(s, st);
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());

    TransStringList* list = space.list();
    TransValue::releaseStringList(list, st);
    EXPECT_EQ(list, nullptr);
    EXPECT_FALSE(st.warning());
    TransSpace::releaseStringList(list, st);
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());
}
