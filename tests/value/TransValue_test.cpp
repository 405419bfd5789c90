// The handle and the simple kinds: refusals slot by slot, copies, assignment,
// swap and the release functions.
#include <cstdint>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "TransValue.h"
#include "support/TextHelpers.h"
#include "value/TransDoubleImpl.h"
#include "value/TransIntegerImpl.h"
#include "value/TransNullImpl.h"
#include "value/TransTextImpl.h"

namespace {

TransString text(const char* utf8) { return TransString(units(u16(utf8))); }

std::string read(TransString* s) {
    std::string out = s == nullptr ? "<null>" : utf8(s->asUTF16());
    delete s;
    return out;
}

void expectBothFlags(const TransStatus& st) {
    EXPECT_TRUE(st.failure());
    EXPECT_TRUE(st.warning());
}

// Every slot from 2 to 9 that the kind does not answer, each with a status
// that carries no flag on entry.
void expectRefused(const TransValueImpl& impl, bool refusesAsString, bool refusesAsDouble) {
    const TransString path = text("/a");
    const TransString expression = text("string(.)");
    TransStatus st;
    auto expectEmptyString = [&](const char* slot, TransString* s) {
        SCOPED_TRACE(slot);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->empty());
        delete s;
        expectBothFlags(st);
    };
    if (refusesAsString) expectEmptyString("slot 2", impl.asString(st));
    expectEmptyString("slot 3", impl.asString(path, expression, st));
    {
        std::unique_ptr<TransStringList> list(impl.asStringList(path, expression, st));
        SCOPED_TRACE("slot 4");
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->size(), 0u);
        expectBothFlags(st);
    }
    expectEmptyString("slot 5", impl.asMBCSXML(st));
    expectEmptyString("slot 6", impl.asUTF16XML(st));
    if (refusesAsDouble) {
        SCOPED_TRACE("slot 7");
        EXPECT_EQ(impl.asDouble(st), missingNumber);
        expectBothFlags(st);
    }
    {
        SCOPED_TRACE("slot 8");
        EXPECT_EQ(impl.asDouble(path, expression, st), missingNumber);
        expectBothFlags(st);
    }
    {
        SCOPED_TRACE("slot 9");
        EXPECT_EQ(impl.asXalanDocument(st), nullptr);
        expectBothFlags(st);
    }
}

}  // namespace

TEST(TransValueImpl, MissingNumberIsTheLowestFiniteDouble) {
    std::uint64_t bits;
    std::memcpy(&bits, &missingNumber, sizeof bits);
    EXPECT_EQ(bits, 0xFFEFFFFFFFFFFFFFull);
}

TEST(TransValueImpl, KindsRefuseTheSlotsTheyDoNotAnswer) {
    struct Row {
        const char* what;
        std::unique_ptr<TransValueImpl> impl;
        bool refusesAsString;
        bool refusesAsDouble;
    };
    Row rows[] = {
        {"null", std::make_unique<TransNullImpl>(), true, true},
        {"text", std::make_unique<TransTextImpl>(text("12")), false, false},
        {"text holding XML", std::make_unique<TransTextImpl>(text("<a>1</a>")), false, false},
        {"double", std::make_unique<TransDoubleImpl>(2.5), false, false},
        {"integer", std::make_unique<TransIntegerImpl>(7), false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        expectRefused(*row.impl, row.refusesAsString, row.refusesAsDouble);
        std::unique_ptr<TransValueImpl> copy(row.impl->clone());
        EXPECT_EQ(typeid(*copy), typeid(*row.impl));
        expectRefused(*copy, row.refusesAsString, row.refusesAsDouble);
    }
}

TEST(TransValue, NullValueRefusesThroughBothForms) {
    const TransValue value;
    const TransString path = text("/");
    TransStatus st;
    EXPECT_EQ(read(value.asString(st)), "");
    expectBothFlags(st);
    EXPECT_EQ(value.asDouble(st), missingNumber);
    expectBothFlags(st);
    EXPECT_EQ(value.asXalanDocument(st), nullptr);
    expectBothFlags(st);

    EXPECT_EQ(read(value.asString()), "");
    EXPECT_EQ(read(value.asString(path, path)), "");
    EXPECT_EQ(read(value.asMBCSXML()), "");
    EXPECT_EQ(read(value.asUTF16XML()), "");
    EXPECT_EQ(read(value.asXML()), "");
    EXPECT_EQ(value.asDouble(), missingNumber);
    EXPECT_EQ(value.asDouble(path, path), missingNumber);
    EXPECT_EQ(value.asXalanDocument(), nullptr);
    TransStringList* list = value.asStringList(path, path);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());
    TransValue::releaseStringList(list);
    EXPECT_EQ(list, nullptr);
}

TEST(TransValue, ReleaseFunctions) {
    TransStatus st;
    st.failure(true);
    TransString* s = nullptr;
    TransValue::releaseString(s, st);
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());
    EXPECT_EQ(s, nullptr);

    s = TransValue(text("x")).asString();
    st.warning(true);
    TransValue::releaseString(s, st);
    EXPECT_FALSE(st.warning());
    EXPECT_FALSE(st.failure());
    EXPECT_EQ(s, nullptr);

    TransStringList* list = nullptr;
    TransValue::releaseStringList(list, st);
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());

    list = TransValue(2.5).asStringList(text("/"), text("."));
    TransValue::releaseStringList(list, st);
    EXPECT_FALSE(st.warning());
    EXPECT_EQ(list, nullptr);
}

TEST(TransTextImpl, AsStringCopiesTheTextAndWarnsWhenEmpty) {
    TransStatus st;
    st.failure(true);
    EXPECT_EQ(read(TransValue(text("")).asString(st)), "");
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());

    // Not trimmed: the blanks are part of the value.
    EXPECT_EQ(read(TransValue(text(" a b ")).asString(st)), " a b ");
    EXPECT_FALSE(st.warning());
    EXPECT_FALSE(st.failure());
}
