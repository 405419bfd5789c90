// The simple kinds slot by slot and their clones, number text under the
// process's numeric locale (switched per row), and the release functions.
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "TransValue.h"
#include "support/LocaleGuard.h"
#include "support/XmlDocuments.h"
#include "value/NumberText.h"
#include "value/TransDoubleImpl.h"
#include "value/TransIntegerImpl.h"
#include "value/TransNullImpl.h"
#include "value/TransTextImpl.h"

namespace {

std::string number(double n) {
    char digits[40];
    std::snprintf(digits, sizeof digits, "%.17g", n);
    return digits;
}

// Slots 2 to 9, each as "result|flags", every one read from a status that
// held both flags or neither on entry.
std::vector<std::string> slots(const TransValueImpl& impl, bool dirty) {
    const TransString path = ts("/a");
    const TransString expression = ts("string(.)");
    std::vector<std::string> out;
    TransStatus st;
    const auto slot = [&](const std::function<std::string()>& answer) {
        st.failure(dirty);
        st.warning(dirty);
        const std::string result = answer();
        out.push_back(result + "|" + (st.failure() ? "F" : "") + (st.warning() ? "W" : ""));
    };
    slot([&] { return takeUtf8(impl.asString(st)); });
    slot([&] { return takeUtf8(impl.asString(path, expression, st)); });
    slot([&] {
        std::unique_ptr<TransStringList> list(impl.asStringList(path, expression, st));
        return std::to_string(list->size()) + " entries";
    });
    slot([&] { return takeUtf8(impl.asMBCSXML(st)); });
    slot([&] { return takeUtf8(impl.asUTF16XML(st)); });
    slot([&] { return number(impl.asDouble(st)); });
    slot([&] { return number(impl.asDouble(path, expression, st)); });
    slot([&] { return impl.asXalanDocument(st) == nullptr ? "<null>" : "document"; });
    return out;
}

}  // namespace

// Every slot a kind does not answer gives the refusal result with both flags.
TEST(TransValueImpl, KindsAnswerTheirSlotsAndRefuseTheOthers) {
    LocaleGuard numeric(LC_NUMERIC, "C");
    const std::string refusedNumber = number(missingNumber) + "|FW";
    struct Row {
        const char* what;
        std::unique_ptr<TransValueImpl> impl;
        std::string asString;  // slot 2
        std::string asDouble;  // slot 7
    };
    Row rows[] = {
        {"null", std::make_unique<TransNullImpl>(), "|FW", refusedNumber},
        {"text", std::make_unique<TransTextImpl>(ts("12")), "12|", "12|"},
        {"empty text", std::make_unique<TransTextImpl>(ts("")), "|W", refusedNumber},
        // Not trimmed: the blanks are part of the value.
        {"blanks", std::make_unique<TransTextImpl>(ts(" a b ")), " a b |", refusedNumber},
        {"double", std::make_unique<TransDoubleImpl>(2.5), "2.5|", "2.5|"},
        {"missing number", std::make_unique<TransDoubleImpl>(missingNumber),
         "-17976931348623157" + std::string(292, '0') + "|", number(missingNumber) + "|W"},
        // 2^53 + 1 reads as the nearest double.
        {"integer", std::make_unique<TransIntegerImpl>(9007199254740993), "9007199254740993|",
         "9007199254740992|"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<std::string> expected = {row.asString,  "|FW",      "0 entries|FW",
                                                   "|FW",         "|FW",      row.asDouble,
                                                   refusedNumber, "<null>|FW"};
        const std::unique_ptr<TransValueImpl> copy(row.impl->clone());
        EXPECT_EQ(typeid(*copy), typeid(*row.impl));
        for (bool dirty : {false, true}) {
            EXPECT_EQ(slots(*row.impl, dirty), expected);
            EXPECT_EQ(slots(*copy, dirty), expected);
        }
    }
}

// No grouping, at most three places; rows alternate locales, so a formatter
// kept from an earlier call would show.
TEST(NumberText, FormatsUnderTheNumericLocaleOfTheCall) {
    struct Row {
        const char* locale;
        double value;
        const char* text;
    };
    const Row rows[] = {
        {"C", 3.14159, "3.142"},
        {"C", 2.5, "2.5"},
        {"C", 7.0, "7"},
        {"C", -0.25, "-0.25"},
        {"C", 1.0005, "1"},
        {"C", 1.0015, "1.002"},
        {"C", 1e15, "1000000000000000"},
        {"en_US.UTF-8", 1234567, "1234567"},
        {"de_DE.UTF-8", 1234567.125, "1234567,125"},
        {"C", 0.5, "0.5"},
        {"de_DE.UTF-8", -0.5, "-0,5"},
        {"en_US.UTF-8", 0.5, "0.5"},
    };
    for (const Row& row : rows) {
        LocaleGuard numeric(LC_NUMERIC, row.locale);
        if (!numeric.active()) continue;
        TransStatus st;
        EXPECT_EQ(takeUtf8(TransDoubleImpl(row.value).asString(st)), row.text) << row.locale;
        EXPECT_FALSE(st.failure() || st.warning());
    }
    LocaleGuard numeric(LC_NUMERIC, "de_DE.UTF-8");
    SKIP_UNLESS_ACTIVE(numeric);
    TransStatus st;
    EXPECT_EQ(takeUtf8(TransIntegerImpl(4294967296).asString(st)), "4294967296");
    // The English form and an explicit locale ignore the numeric locale.
    st.failure(true);
    EXPECT_EQ(takeUtf8(TransDoubleImpl(1234567.125).asEnglishString(st)), "1234567.125");
    EXPECT_FALSE(st.failure());
    LocaleGuard point(LC_NUMERIC, "C");
    EXPECT_EQ(takeUtf8(TransDoubleImpl(2.5).formatWithLocale(icu::Locale::getGerman(), st)), "2,5");
}

TEST(NumberText, TextReadsAsANumberOfTheNumericLocale) {
    struct Row {
        const char* locale;
        std::string text;
        double number;  // missingNumber: refused with failure and warning
    };
    const Row rows[] = {
        {"C", "3.25", 3.25},
        {"C", "-42", -42},
        {"C", "4294967296", 4294967296.0},
        {"C", "-17976931348623157" + std::string(292, '0'), missingNumber},
        {"en_US.UTF-8", "1,234.5", 1234.5},
        {"de_DE.UTF-8", "2,5", 2.5},
        {"de_DE.UTF-8", "1.234,5", 1234.5},
        {"de_DE.UTF-8", "abc", missingNumber},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.locale) + " \"" + row.text + "\"");
        LocaleGuard numeric(LC_NUMERIC, row.locale);
        if (!numeric.active()) continue;
        TransStatus st;
        EXPECT_EQ(TransValue(ts(row.text)).asDouble(st), row.number);
        const bool refused = row.number == missingNumber;
        EXPECT_EQ(st.failure(), refused);
        EXPECT_EQ(st.warning(), refused);
        EXPECT_EQ(parseNumber(icu::UnicodeString::fromUTF8(row.text)), row.number);
    }
}

// Releasing clears the pointer and resets the flags; releasing null warns.
TEST(TransValue, ReleaseFunctions) {
    TransString* s = TransValue(ts("x")).asString();
    TransStringList* list = TransValue(2.5).asStringList(ts("/"), ts("."));
    for (bool null : {false, true}) {
        TransStatus st;
        st.failure(true);
        TransValue::releaseString(s, st);
        EXPECT_TRUE(s == nullptr && !st.failure() && st.warning() == null);
        st.failure(true);
        TransValue::releaseStringList(list, st);
        EXPECT_TRUE(list == nullptr && !st.failure() && st.warning() == null);
    }
}
