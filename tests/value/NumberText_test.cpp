// Number text under the process's numeric locale, switched per test: the
// "#0.###" formatting of doubles and integers and the reading of text values.
#include <clocale>
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "TransValue.h"
#include "support/LocaleGuard.h"
#include "support/TextHelpers.h"
#include "value/NumberText.h"
#include "value/TransDoubleImpl.h"
#include "value/TransIntegerImpl.h"
#include "value/TransTextImpl.h"

namespace {

std::string take(TransString* s) {
    std::string out = utf8(s->asUTF16());
    delete s;
    return out;
}

std::string formatted(double value) {
    TransStatus st;
    std::string out = take(TransDoubleImpl(value).asString(st));
    EXPECT_FALSE(st.failure());
    EXPECT_FALSE(st.warning());
    return out;
}

std::string formatted(std::int64_t value) {
    TransStatus st;
    std::string out = take(TransIntegerImpl(value).asString(st));
    EXPECT_FALSE(st.failure());
    EXPECT_FALSE(st.warning());
    return out;
}

double textAsDouble(const char* utf8Text, TransStatus& st) {
    return TransValue(TransString(units(u16(utf8Text)))).asDouble(st);
}

// The full digit string of missingNumber, as a double value holding it
// formats under a point-decimal locale.
const char* const missingDigits =
    "-179769313486231570000000000000000000000000000000000000000000000000000000000000000"
    "000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "000000000000000000000000000000000000000000000000000000000000000000";

}  // namespace

TEST(NumberText, FormatsWithoutGroupingAndRoundsToThreePlaces) {
    for (const char* name : {"C", "en_US.UTF-8"}) {
        SCOPED_TRACE(name);
        LocaleGuard numeric(LC_NUMERIC, name);
        SKIP_UNLESS_ACTIVE(numeric);
        struct Row {
            double value;
            const char* text;
        };
        const Row rows[] = {
            {3.14159, "3.142"}, {2.5, "2.5"},      {1234567, "1234567"},
            {7.0, "7"},         {0.5, "0.5"},      {-0.25, "-0.25"},
            {1.0005, "1"},      {1.0015, "1.002"}, {1e15, "1000000000000000"},
        };
        for (const Row& row : rows) EXPECT_EQ(formatted(row.value), row.text) << row.text;
        EXPECT_EQ(formatted(missingNumber), missingDigits);
        EXPECT_EQ(formatted(std::int64_t{-42}), "-42");
        EXPECT_EQ(formatted(INT64_MAX), "9223372036854775807");
        EXPECT_EQ(formatted(INT64_MIN), "-9223372036854775808");
    }
}

// The numeric locale is read at each call; the English form ignores it.
TEST(NumberText, CommaLocaleFormatsWithCommaButEnglishStringDoesNot) {
    const TransValue text(TransString(units(u16("2,5"))));
    {
        LocaleGuard numeric(LC_NUMERIC, "de_DE.UTF-8");
        SKIP_UNLESS_ACTIVE(numeric);
        EXPECT_EQ(formatted(1234567.125), "1234567,125");
        EXPECT_EQ(formatted(std::int64_t{4294967296}), "4294967296");
        EXPECT_EQ(take(TransValue(2.5).asString()), "2,5");
        EXPECT_EQ(text.asDouble(), 2.5);
        TransStatus st;
        st.failure(true);
        EXPECT_EQ(take(TransDoubleImpl(1234567.125).asEnglishString(st)), "1234567.125");
        EXPECT_FALSE(st.failure());
        EXPECT_EQ(take(TransDoubleImpl(2.5).formatWithLocale(icu::Locale::getGerman(), st)), "2,5");
    }
    LocaleGuard numeric(LC_NUMERIC, "C");
    EXPECT_EQ(take(TransValue(2.5).asString()), "2.5");
    EXPECT_NE(text.asDouble(), 2.5);
}

TEST(NumberText, AsDoubleFlags) {
    struct Row {
        std::unique_ptr<TransValueImpl> impl;
        double number;
        bool warning;
    };
    // 2^53 + 1 reads as the nearest double.
    const Row rows[] = {
        {std::make_unique<TransDoubleImpl>(missingNumber), missingNumber, true},
        {std::make_unique<TransDoubleImpl>(-0.5), -0.5, false},
        {std::make_unique<TransIntegerImpl>(9007199254740993), 9007199254740992.0, false},
        {std::make_unique<TransIntegerImpl>(INT64_MIN), -9223372036854775808.0, false}};
    for (const Row& row : rows) {
        TransStatus st;
        st.failure(true);
        EXPECT_EQ(row.impl->asDouble(st), row.number);
        EXPECT_EQ(st.warning(), row.warning);
        EXPECT_FALSE(st.failure());
    }
}

TEST(NumberText, TextReadsAsANumberOfTheNumericLocale) {
    struct Row {
        const char* locale;
        const char* text;
        double number;  // missingNumber: refused with failure and warning
    };
    const Row rows[] = {
        {"C", "3.25", 3.25},
        {"C", "12.5", 12.5},
        {"C", "-42", -42},
        {"C", "4294967296", 4294967296.0},
        {"C", "", missingNumber},
        {"C", "abc", missingNumber},
        {"C", missingDigits, missingNumber},
        {"en_US.UTF-8", "3.25", 3.25},
        {"en_US.UTF-8", "1,234.5", 1234.5},
        {"de_DE.UTF-8", "3,25", 3.25},
        {"de_DE.UTF-8", "1.234,5", 1234.5},
        {"de_DE.UTF-8", "abc", missingNumber},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.locale) + " \"" + row.text + "\"");
        LocaleGuard numeric(LC_NUMERIC, row.locale);
        if (!numeric.active()) continue;
        TransStatus st;
        EXPECT_EQ(textAsDouble(row.text, st), row.number);
        const bool refused = row.number == missingNumber;
        EXPECT_EQ(st.failure(), refused);
        EXPECT_EQ(st.warning(), refused);
        EXPECT_EQ(parseNumber(icu::UnicodeString::fromUTF8(row.text)), row.number);
    }
}
