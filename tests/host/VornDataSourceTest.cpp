#include "VornDataSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "support/HostTextMode.h"

namespace {

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

TEST(VornDataSource, RowCountIsVirtual) {
    struct Counted : VORN_DataSource {
        std::int64_t GetRowCount() const override { return 3000000000LL; }
    } counted;
    const VORN_DataSource& base = counted;
    EXPECT_EQ(base.GetRowCount(), 3000000000LL);
}

}  // namespace
