#include <gtest/gtest.h>

#include "VornDataSource.h"

TEST(VornDataSource, Placeholder) { EXPECT_EQ(VORN_DataSource().ColumnCount(), 0u); }
