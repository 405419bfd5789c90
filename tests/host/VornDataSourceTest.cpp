#include "VornDataSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "support/HostTextMode.h"

namespace {

std::uint64_t Bits(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

TEST(VornVariable, MissingValuesComeInTheirThreeShapes) {
    VORN_Variable v("age");
    const OBS* p[3];
    EXPECT_EQ(v.GetMissingValues(p[0], p[1], p[2]), 0);
    EXPECT_EQ(p[0], nullptr);

    const OBS discrete[] = {NumericOBS(9), NumericOBS(99)};
    ASSERT_TRUE(v.SetMissingValues(2, discrete));
    EXPECT_EQ(v.GetMissingValues(p[0], p[1], p[2]), 2);
    EXPECT_EQ(p[0]->number, 9);
    EXPECT_EQ(p[1]->number, 99);
    EXPECT_EQ(p[2], nullptr);

    const OBS range[] = {NumericOBS(VORNLowestValue()), NumericOBS(0), NumericOBS(999)};
    ASSERT_TRUE(v.SetMissingValues(-3, range));
    EXPECT_EQ(v.GetMissingValues(p[0], p[1], p[2]), -3);
    EXPECT_EQ(Bits(p[0]->number), 0xFFEFFFFFFFFFFFFEull);
    EXPECT_EQ(p[1]->number, 0);
    EXPECT_EQ(p[2]->number, 999);

    ASSERT_TRUE(v.SetMissingValues(-2, range));
    EXPECT_EQ(v.GetMissingValues(p[0], p[1], p[2]), -2);
    EXPECT_EQ(p[2], nullptr);
    EXPECT_EQ(Bits(VORNHighestValue()), 0x7FEFFFFFFFFFFFFFull);

    // A one-ended range and counts beyond three do not exist; the old values stay.
    EXPECT_FALSE(v.SetMissingValues(-1, range));
    EXPECT_FALSE(v.SetMissingValues(4, range));
    EXPECT_EQ(v.GetMissingValues(p[0], p[1], p[2]), -2);
}

TEST(VornValueLabelMap, DeliversPairsInOrderAndRestartsOnReset) {
    VORN_Variable sex("sex");
    EXPECT_TRUE(sex.AddValueLabel(1, "Male"));
    EXPECT_TRUE(sex.AddValueLabel(2, "Female"));
    EXPECT_TRUE(sex.AddValueLabel(1, "Man"));  // replaces in place
    EXPECT_FALSE(sex.AddValueLabel(std::string("1"), "text on a numeric variable"));

    VORN_ValueLabelMap map(sex.GetValueLabels());
    ASSERT_EQ(map.Size(), 2u);
    double value = 0;
    const char* label = nullptr;
    ASSERT_NE(map.GetNextPair(value, label), 0);
    EXPECT_EQ(value, 1);
    EXPECT_STREQ(label, "Man");
    ASSERT_NE(map.GetNextPair(value, label), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(map.GetNextPair(value, label), 0);
    std::string text;
    map.Reset();
    EXPECT_EQ(map.GetNextPair(text, label), 0);  // the numeric map has no text pairs
    map.Reset();
    ASSERT_NE(map.GetNextPair(value, label), 0);
    EXPECT_EQ(value, 1);

    // A map reads the labels as they were when it was made.
    sex.RemoveValueLabels();
    EXPECT_EQ(VORN_ValueLabelMap(sex.GetValueLabels()).Size(), 0u);
    ASSERT_NE(map.GetNextPair(value, label), 0);
    EXPECT_STREQ(label, "Female");
}

class VornDataSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ds.AddVariable(VORN_Variable("age"));
        ds.AddVariable(VORN_Variable("city", 20));
        ds.AddVariable(VORN_Variable("wgt"));
    }
    VORN_DataSource ds;
};

TEST_F(VornDataSourceTest, FindVarIndexIgnoresLetterCase) {
    EXPECT_EQ(ds.FindVarIndex("AGE", 0), 0);
    EXPECT_EQ(ds.FindVarIndex("City", 0), 1);
    EXPECT_EQ(ds.FindVarIndex("city", 2), -1);
    EXPECT_EQ(ds.FindVarIndex("nosuch", 0), -1);
    EXPECT_EQ(ds.FindVarIndex(nullptr, 0), -1);
    EXPECT_EQ(ds.AddVariable(VORN_Variable("WGT")), -1);
    EXPECT_EQ(ds.AddVariable(VORN_Variable("")), -1);
    EXPECT_EQ(ds.AddVariable(VORN_Variable("later")), 3);
    EXPECT_EQ(ds.FindVarIndex("LATER", 0), 3);
    EXPECT_THROW(ds.GetVariable(4), std::out_of_range);
}

TEST_F(VornDataSourceTest, FindVarIndexFoldsBeyondASCII) {
    HostTextMode utf8(nullptr);
    EXPECT_EQ(ds.AddVariable(VORN_Variable("gr\xC3\xB6\xC3\x9F" "e")), 3);
    EXPECT_EQ(ds.FindVarIndex("GR\xC3\x96SSE", 0), 3);  // "GRÖSSE" folds like "größe"
}

TEST_F(VornDataSourceTest, ExtensionReaderCopiesTheRecordBytes) {
    const std::vector<unsigned char> bytes = {1, 0, 0, 0, 0xFF, 0, 0, 0};
    EXPECT_FALSE(ds.SetExtension(3, 3, bytes));
    EXPECT_FALSE(ds.SetExtension(3, 0, bytes));
    ASSERT_TRUE(ds.SetExtension(15, 1, {}));
    ASSERT_TRUE(ds.SetExtension(3, 4, bytes));
    EXPECT_EQ(ds.GetExtensionTypes(), (std::vector<int>{3, 15}));
    EXPECT_FALSE(ds.HasExtension(4));

    VORN_DataSource::Extension x(ds, 3);
    ds.RemoveExtension(3);  // the reader keeps its bytes
    EXPECT_FALSE(ds.HasExtension(3));
    EXPECT_EQ(x.Type(), 3);
    EXPECT_EQ(x.ElementSize(), 4);
    ASSERT_EQ(x.Length(), 2);
    unsigned char buffer[8] = {};
    EXPECT_EQ(x.GetNext(buffer, 1), 1);
    EXPECT_EQ(x.GetNext(buffer + 4, 5), 1);
    EXPECT_EQ(x.GetNext(buffer, 1), 0);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 8), bytes);

    VORN_DataSource::Extension empty(ds, 15), absent(ds, 7);
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_EQ(absent.Length(), 0);
    EXPECT_EQ(absent.GetNext(buffer, 1), 0);
}

TEST(VornDataSource, RowCountIsVirtual) {
    struct Counted : VORN_DataSource {
        std::int64_t GetRowCount() const override { return 3000000000LL; }
    } counted;
    const VORN_DataSource& base = counted;
    EXPECT_EQ(base.GetRowCount(), 3000000000LL);
}

}  // namespace
