// The facts of a saved dictionary against those of its source, whatever digits
// the locale it was saved in wrote its numbers with; and how each number text
// is read back, including texts that must stay as they are; and a variable's
// attributes one by one.
#include <clocale>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "VornJsonSource.h"
#include "dictionary/DictionaryBuilder.h"
#include "diff/DictionaryDiff.h"
#include "diff/DictionaryFacts.h"
#include "support/HostTextMode.h"
#include "support/LocaleGuard.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

namespace {

class DictionaryFactsTest : public ::testing::Test {
protected:
    // The facts of a saved dictionary's text; fails the test when it is not one.
    static DictionaryFacts factsOfText(const std::u16string& text) {
        DictionaryFacts facts;
        std::string error;
        DocumentPtr document = parseXml(text);
        EXPECT_NE(document, nullptr);
        if (document == nullptr) return facts;
        EXPECT_TRUE(factsOfDocument(*document, facts, error)) << error;
        return facts;
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
};

// examples/survey.json saved under each locale, then read back by a diff that
// runs in the C locale. The root names the LC_CTYPE locale and the integer
// texts follow LC_NUMERIC, so the last row leaves only the fallback reading.
TEST_F(DictionaryFactsTest, SavedUnderAnyLocaleEqualsItsSource) {
    std::string error;
    std::unique_ptr<VORN_DataSource> source =
        LoadDataSourceJSON(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/survey.json", error);
    ASSERT_NE(source, nullptr) << error;
    const DictionaryFacts expected = factsOfSource(*source);
    struct Row {
        const char* ctype;
        const char* numeric;
        const char* rowCount;  // as saved: proves which digits the row tried
    };
    const Row rows[] = {
        {"C", "C", "1500"},
        {"de_DE.UTF-8", "de_DE.UTF-8", "1500"},
        {"ar_EG.UTF-8", "ar_EG.UTF-8", "\u0661\u0665\u0660\u0660"},
        {"C", "ar_EG.UTF-8", "\u0661\u0665\u0660\u0660"},
    };
    std::vector<std::string> missing;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.ctype) + " / " + row.numeric);
        std::u16string saved;
        {
            LocaleGuard ctype(LC_CTYPE, row.ctype), numeric(LC_NUMERIC, row.numeric);
            if (!ctype.active() || !numeric.active()) {
                missing.push_back(row.numeric);
                continue;
            }
            DocumentPtr built(DictionaryBuilder().build(*source));
            ASSERT_NE(built, nullptr);
            EXPECT_EQ(utf8(units(built->getDocumentElement()->getAttribute(u"rowCount"))),
                      row.rowCount);
            saved = serialiseXml(built.get());
        }
        const DictionaryFacts facts = factsOfText(saved);
        const DictionaryDiff d = compareFacts(expected, facts);
        EXPECT_TRUE(d.same()) << diffText(expected, facts, d);
    }
    if (!missing.empty()) GTEST_SKIP() << missing.front() << " not installed; run scripts/setup";
}

// One numeric variable whose number texts each row writes, under the root
// locale it names; the facts are the variable's format, display width, missing
// values and value labels.
TEST_F(DictionaryFactsTest, NumberTexts) {
    struct Row {
        const char* what;
        const char* locale;
        const char* width;  // of the format; decimals are "2"
        const char* displayWidth;
        const char* missing[2];  // a discrete value and the upper bound of "lowest thru"
        const char* labelValue;
        const char* facts;
    };
    const char* const same = "F8.2|10|lowest thru -2, 1.5|1000000 = \"a\"";
    const Row rows[] = {
        {"ASCII", "en_US_POSIX", "8", "10", {"1.5", "-2"}, "1000000", same},
        {"English decimals in a locale with a decimal comma",
         "de_DE",
         "8",
         "10",
         {"1.5", "-2"},
         "1000000",
         same},
        {"Arabic-Indic integers, English decimals",
         "ar_EG",
         "\u0668",
         "\u0661\u0660",
         {"1.5", "-2"},
         "1000000",
         same},
        {"the locale's own minus sign and decimal separator",
         "ar_EG",
         "8",
         "10",
         {"\u0661\u066b\u0665", "\u061c-\u0662"},
         "\u0661\u0660\u0660\u0660\u0660\u0660\u0660",
         same},
        {"Persian digits under a root that names English",
         "en_US_POSIX",
         "\u06f8",
         "\u06f1\u06f0",
         {"1.5", "\u200e\u2212\u06f2"},
         "1000000",
         same},
        {"leading zeros and a fraction that shows three places",
         "en_US_POSIX",
         "008",
         "10.0",
         {"1.50", "-2.0004"},
         "1e6",
         "F8.2|10|lowest thru -2, 1.5|1000000 = \"a\""},
        {"a grouping separator ends a number",
         "en_US_POSIX",
         "8",
         "1,0",
         {"1,000", "-2"},
         "1,000,000",
         "F8.2|1,0|lowest thru -2, 1,000|1,000,000 = \"a\""},
        {"texts that are no number stay as they are",
         "ar_EG",
         "8x",
         "1O",
         {"1.5.6", "-"},
         "--2",
         "F8x.2|1O|lowest thru -, 1.5.6|--2 = \"a\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string text =
            std::string("<dictionary locale=\"") + row.locale +
            "\"><variable name=\"v\" type=\"0\" displayWidth=\"" + row.displayWidth +
            "\"><variableFormat type=\"F\" width=\"" + row.width +
            "\" decimals=\"2\"/><missingValue data=\"lowest\" type=\"lowerBound\"/>"
            "<missingValue data=\"" +
            row.missing[1] + "\" type=\"upperBound\"/><missingValue data=\"" + row.missing[0] +
            "\"/></variable><valueLabelSet><valueLabelVariable name=\"v\"/>"
            "<valueLabel value=\"" +
            row.labelValue + "\" label=\"a\"/></valueLabelSet></dictionary>";
        const DictionaryFacts facts = factsOfText(u16(text.c_str()));
        ASSERT_EQ(facts.variables.size(), 1u);
        const VariableFacts& v = facts.variables[0];
        std::string shown;
        for (int field : {kFormat, kDisplayWidth, kMissingValues, kValueLabels}) {
            if (!shown.empty()) shown += '|';
            shown += v.field(field);
        }
        EXPECT_EQ(shown, row.facts);
    }
}

// A variable's attributes one by one, as the codebook page shows them: the
// field text cannot tell a name holding "; " or ": " from two attributes, so
// they travel packed after the fields, read back alike from a source and from
// its saved dictionary; a source's names and values end at their first NUL.
TEST_F(DictionaryFactsTest, AttributesOneByOne) {
    using Attributes = std::vector<std::pair<std::string, std::vector<std::string>>>;
    const Attributes plain = {{"a; b: c", {"x\", y", ""}}, {"$Role", {"input", "target"}}};
    VORN_DataSource source;
    VORN_Variable v("v1");
    for (const auto& [name, values] : plain) v.AddAttribute(name, values);
    source.AddVariable(v);
    source.AddVariable(VORN_Variable("v2"));
    VORN_Variable cut("v3");
    cut.AddAttribute(std::string("cut\0here", 8), {std::string("v\0w", 3)});
    source.AddVariable(cut);

    const DictionaryFacts fromSource = factsOfSource(source);
    DocumentPtr built(DictionaryBuilder().build(source));
    ASSERT_NE(built, nullptr);
    const DictionaryFacts fromDocument = factsOfText(serialiseXml(built.get()));
    std::vector<FactsAttributeView> views;  // one for all, as the page keeps it
    auto attributesOf = [&](const VariableFacts& facts) {
        std::size_t count = 0;
        facts.attributeViews(views, count);
        Attributes shown;
        for (std::size_t i = 0; i < count; ++i) {
            shown.emplace_back(std::string(views[i].name), std::vector<std::string>());
            for (std::string_view value : views[i].values) shown.back().second.emplace_back(value);
        }
        return shown;
    };
    for (const DictionaryFacts* facts : {&fromSource, &fromDocument}) {
        SCOPED_TRACE(facts == &fromSource ? "source" : "saved dictionary");
        ASSERT_EQ(facts->variables.size(), 3u);
        EXPECT_EQ(attributesOf(facts->variables[0]), plain);
        EXPECT_EQ(attributesOf(facts->variables[1]), Attributes());
        EXPECT_EQ(facts->variables[0].field(kVariableAttributes),
                  "a; b: c: \"x\\\", y\", \"\"; $Role: \"input\", \"target\"");
    }
    EXPECT_EQ(attributesOf(fromSource.variables[2]), Attributes({{"cut", {"v"}}}));
}

}  // namespace
