#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "VornDateTime.h"
#include "VornLocale.h"

namespace {

TEST(ToISODateTime, WritesXmlSchemaDateTimes) {
    struct Row {
        double time;
        int parts;
        bool extended;
        const char* text;
    };
    const Row rows[] = {
        {0, VornDateAndTime, true, "1970-01-01T00:00:00Z"},
        {1796557554.75, VornDateAndTime, true, "2026-12-06T11:45:54Z"},
        {-0.5, VornDateAndTime, true, "1969-12-31T23:59:59Z"},
        {951782400, VornDateAndTime, true, "2000-02-29T00:00:00Z"},
        {-62135596800.0, VornDateAndTime, true, "0001-01-01T00:00:00Z"},
        {253402300799.0, VornDateAndTime, true, "9999-12-31T23:59:59Z"},
        {1796557554, VornDateOnly, true, "2026-12-06"},
        {1796557554, VornTimeOnly, false, "114554Z"},
        {1796557554, VornDateAndTime, false, "20261206T114554Z"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::string out = "stale";
        EXPECT_EQ(ToISODateTime(out, row.time, row.parts, row.extended, true), 0);
        EXPECT_EQ(out, row.text);
        double back = -1;
        if (row.parts == VornDateAndTime && row.extended) {
            ASSERT_TRUE(ParseISODateTime(out, back));
            EXPECT_EQ(back, std::floor(row.time));
        }
    }
    const double refused[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                              253402300800.0, -62135596801.0};
    for (double t : refused) {
        std::string out = "stale";
        EXPECT_EQ(ToISODateTime(out, t, VornDateAndTime, true, true), -1);
        EXPECT_EQ(out, "");
    }
    std::string out;
    EXPECT_EQ(ToISODateTime(out, 0, 3, true, true), -1);
}

TEST(ParseISODateTime, ReadsZonesAndFractions) {
    double s = 0;
    ASSERT_TRUE(ParseISODateTime("2026-12-06T12:45:54.25+01:00", s));
    EXPECT_EQ(s, 1796557554.25);
    ASSERT_TRUE(ParseISODateTime("2026-12-06", s));
    EXPECT_EQ(s, 1796515200);
    for (const char* bad : {"2026-12-06T11:45", "2025-02-29", "2026-12-06T24:00:00Z",
                            "2026-12-06T11:45:54+1", "2026-12-06 11:45:54", "x"}) {
        SCOPED_TRACE(bad);
        s = 7;
        EXPECT_FALSE(ParseISODateTime(bad, s));
        EXPECT_EQ(s, 7);
    }
}

TEST(GetServerLocaleList, GivesTheICUNameOfTheCLocale) {
    struct Row {
        const char* name;
        const char* locale;  // null: no entry
    };
    const Row rows[] = {
        {"de_DE.UTF-8", "de_DE"},       {"de_DE@euro", "de_DE"},
        {"sr_RS.UTF-8@latin", "sr_Latn_RS"}, {"C", "en_US_POSIX"},
        {"POSIX", "en_US_POSIX"},       {"C.UTF-8", "en_US_POSIX"},
        {"ja_JP.eucJP", "ja_JP"},       {".UTF-8", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string name = row.name;
        std::vector<std::string> list = {"stale"};
        int n = GetServerLocaleList(name, list);
        EXPECT_EQ(name, row.name);
        if (row.locale == nullptr) {
            EXPECT_EQ(n, 0);
            EXPECT_TRUE(list.empty());
        } else {
            ASSERT_EQ(n, 1);
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(list[0], row.locale);
        }
    }
    // An empty name asks for the current LC_CTYPE locale: "C" in a test process.
    std::string empty;
    std::vector<std::string> list;
    if (std::string(std::setlocale(LC_CTYPE, nullptr)) == "C") {
        ASSERT_EQ(GetServerLocaleList(empty, list), 1);
        EXPECT_EQ(list[0], "en_US_POSIX");
    }
}

}  // namespace
