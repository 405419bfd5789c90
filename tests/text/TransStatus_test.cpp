#include "TransStatus.h"

#include <gtest/gtest.h>

namespace {

TransStatus make(bool warning, bool failure) {
    TransStatus st;
    st.warning(warning);
    st.failure(failure);
    return st;
}

TEST(TransStatus, SettersReturnThePreviousFlag) {
    TransStatus st;
    EXPECT_FALSE(st.warning(true));
    EXPECT_TRUE(st.warning(true));
    EXPECT_FALSE(st.failure(true));
    EXPECT_TRUE(st.failure(false));
    EXPECT_FALSE(st.failure());
    st.reset();
    EXPECT_FALSE(st.warning());
}

TEST(TransStatus, OnlyCleanIsLessThanBothFlags) {
    struct Row {
        bool aw, af, bw, bf, less;
    };
    const Row rows[] = {
        {false, false, true, true, true},   {false, false, true, false, false},
        {false, false, false, true, false}, {true, false, true, true, false},
        {false, true, true, true, false},   {false, false, false, false, false},
        {true, true, true, true, false},    {true, true, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.aw << r.af << " < " << r.bw << r.bf);
        EXPECT_EQ(make(r.aw, r.af) < make(r.bw, r.bf), r.less);
    }
}

}  // namespace
