// The handle and the simple kinds: refusals slot by slot, copies, assignment,
// swap and the release functions.
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

// The forms without a status give the same refusal results.
TEST(TransValue, NullValueRefusesWithoutAStatusToo) {
    const TransValue value;
    const TransString path = text("/");
    for (TransString* s : {value.asString(), value.asString(path, path), value.asMBCSXML(),
                           value.asUTF16XML(), value.asXML()})
        EXPECT_EQ(read(s), "");
    EXPECT_EQ(value.asDouble(), missingNumber);
    EXPECT_EQ(value.asDouble(path, path), missingNumber);
    EXPECT_EQ(value.asXalanDocument(), nullptr);
    TransStringList* list = value.asStringList(path, path);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());
    TransValue::releaseStringList(list);
    EXPECT_EQ(list, nullptr);
}

// Releasing null warns; releasing a string or list clears the pointer. Flags
// are reset on entry either way.
TEST(TransValue, ReleaseFunctions) {
    for (bool null : {true, false}) {
        SCOPED_TRACE(null ? "null" : "held");
        TransStatus st;
        st.failure(true);
        st.warning(!null);
        TransString* s = null ? nullptr : TransValue(text("x")).asString();
        TransValue::releaseString(s, st);
        EXPECT_EQ(s, nullptr);
        EXPECT_EQ(st.warning(), null);
        EXPECT_FALSE(st.failure());
        st.failure(true);
        TransStringList* list = null ? nullptr : TransValue(2.5).asStringList(text("/"), text("."));
        TransValue::releaseStringList(list, st);
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(st.warning(), null);
        EXPECT_FALSE(st.failure());
    }
}

TEST(TransTextImpl, AsStringCopiesTheTextAndWarnsWhenEmpty) {
    for (const char* t : {"", " a b "}) {  // not trimmed: the blanks are part of the value
        TransStatus st;
        st.failure(true);
        EXPECT_EQ(read(TransValue(text(t)).asString(st)), t);
        EXPECT_EQ(st.warning(), *t == 0);
        EXPECT_FALSE(st.failure());
    }
}
