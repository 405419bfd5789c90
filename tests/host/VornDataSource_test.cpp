#include "VornDataSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "support/HostTextMode.h"

namespace {

TEST(VornDataSource, NamesAreFoundIgnoringLetterCase) {
    HostTextMode utf8(nullptr);
    VORN_DataSource ds;
    for (const char* name : {"age", "city", "wgt", "gr\u00F6\u00DFe"})
        ds.AddVariable(VORN_Variable(name));
    EXPECT_EQ(ds.FindVarIndex("AGE", 0), 0);
    EXPECT_EQ(ds.FindVarIndex("city", 2), -1);  // the search starts at the given column
    EXPECT_EQ(ds.FindVarIndex(nullptr, 0), -1);
    EXPECT_EQ(ds.FindVarIndex("GR\u00D6SSE", 0), 3);  // full case folding: ß is SS
    EXPECT_EQ(ds.AddVariable(VORN_Variable("WGT")), -1);
    EXPECT_EQ(ds.AddVariable(VORN_Variable("")), -1);
    EXPECT_EQ(ds.AddVariable(VORN_Variable("later")), 4);
    EXPECT_THROW(ds.GetVariable(5), std::out_of_range);
    // In a single-byte code page, \xE9 and \xC9 are é and É.
    HostTextMode latin("windows-1252");
    EXPECT_EQ(ds.AddVariable(VORN_Variable("caf\xE9")), 5);
    EXPECT_EQ(ds.FindVarIndex("CAF\xC9", 0), 5);
}

TEST(VornDataSource, RowCountIsVirtual) {
    struct Counted : VORN_DataSource {
        std::int64_t GetRowCount() const override { return 3000000000LL; }
    } counted;
    const VORN_DataSource& base = counted;
    EXPECT_EQ(base.GetRowCount(), 3000000000LL);
}

}  // namespace
