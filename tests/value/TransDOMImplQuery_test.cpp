// XPath queries of document values, walked as a table over the outcomes:
// each row runs all three queries and checks results and flags.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/XmlDocuments.h"
#include "value/TransValueImpl.h"
#include "value/XPathLimits.h"

namespace {

const char* const document =
    "<dictionary locale=\"en_US\">"
    "<variable name=\"age\" label=\"Age in years\" a=\"1\" b=\"2\" c=\"3\"/>"
    "<variable name=\"sex\" label=\"\"/>"
    "<variable name=\"x\" label=\"12.5\"><!--note-->text<?pi data?></variable>"
    "</dictionary>";

enum Flags { none = 0, W = 1, FW = 3 };

Flags flagsOf(const TransStatus& st) {
    if (st.failure()) return st.warning() ? FW : static_cast<Flags>(2);
    return st.warning() ? W : none;
}

const double missing = missingNumber;
const double notANumber = std::nan("");

struct Row {
    std::string context;
    std::string expression;
    std::string text;
    Flags textFlags;
    std::vector<std::string> list;
    Flags listFlags;
    double number;
    Flags numberFlags;
};

class QueryTest : public ::testing::Test {
protected:
    QueryTest() : source(parseXml(document)), value(source.get()) {}

    void expectRow(const Row& r) {
        SCOPED_TRACE("context \"" + r.context.substr(0, 40) + "\" expression \"" +
                     r.expression.substr(0, 40) + "\"");
        TransStatus st;
        EXPECT_EQ(takeUtf8(value.asString(ts(r.context), ts(r.expression), st)), r.text);
        EXPECT_EQ(flagsOf(st), r.textFlags);
        EXPECT_EQ(takeUtf8(value.asStringList(ts(r.context), ts(r.expression), st)), r.list);
        EXPECT_EQ(flagsOf(st), r.listFlags);
        const double n = value.asDouble(ts(r.context), ts(r.expression), st);
        if (std::isnan(r.number))
            EXPECT_TRUE(std::isnan(n));
        else
            EXPECT_EQ(n, r.number);
        EXPECT_EQ(flagsOf(st), r.numberFlags);
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
    DocumentPtr source;
    TransValue value;
};

const std::string age = "/dictionary/variable[@name='age']";

}  // namespace

TEST_F(QueryTest, OutcomeTable) {
    const std::vector<Row> rows = {
        // Refused arguments, unknown context nodes, bad expressions.
        {"", "@name", "", FW, {}, FW, missing, FW},
        {"  ", "@name", "", FW, {}, FW, missing, FW},
        {"/", "", "", FW, {}, FW, missing, FW},
        {"/", " \t ", "", FW, {}, FW, missing, FW},
        {"/nothing", "@name", "", FW, {}, FW, missing, FW},
        {"/dictionary/variable[", "@name", "", FW, {}, FW, missing, FW},
        {"count(/)", "1", "", FW, {}, FW, missing, FW},
        {"/", "@@", "", FW, {}, FW, missing, FW},
        {"/", "no-such-function()", "", FW, {}, FW, missing, FW},
        // Scalars.
        {"/", "count(//variable)", "3", none, {"3"}, none, 3, none},
        {"/", "1 = 1", "true", none, {"true"}, none, 1, none},
        {"/", "1 = 2", "false", none, {"false"}, none, 0, none},
        {"/", "1 div 0", "Infinity", none, {"Infinity"}, none, HUGE_VAL, none},
        {"/", "0 div 0", "NaN", none, {"NaN"}, none, notANumber, none},
        {"/", "'abc'", "abc", none, {"abc"}, none, missing, W},
        {"/", "''", "", W, {""}, none, missing, W},
        {"/", "'-1.7976931348623157e308'", "-1.7976931348623157e308", none,
         {"-1.7976931348623157e308"}, none, missing, W},
        // Node-sets.
        {age, "@label", "Age in years", none, {"Age in years"}, none, missing, W},
        {age, "@a|@b|@c", "1", W, {"1", "2", "3"}, none, 1, W},
        {age, "@nothing", "", W, {}, W, missing, W},
        {"/dictionary/variable[2]", "@label", "", W, {""}, none, missing, W},
        {"/dictionary/variable[3]", "@label", "12.5", none, {"12.5"}, none, 12.5, none},
        {"/dictionary/variable[3]", "node()", "note", W, {"note", "text", "data"}, none, missing, W},
        {"/", "//variable", "", W, {"", "", ""}, none, missing, W},
        {"/dictionary", "variable[1]", "", W, {""}, none, missing, W},
        {"/", "/", "", W, {""}, none, missing, W},
    };
    for (const Row& r : rows) expectRow(r);
}

TEST_F(QueryTest, ArgumentsAreLeftAsTheCallerGaveThem) {
    TransString blanks = ts("  ");
    TransString expression = ts(" @label ");
    TransStatus st;
    takeUtf8(value.asString(blanks, expression, st));
    EXPECT_EQ(takeUtf8(new TransString(blanks)), "  ");
    // Untrimmed texts are what the processor evaluates.
    EXPECT_EQ(takeUtf8(value.asString(ts(" " + age + " "), expression, st)), "Age in years");
    EXPECT_EQ(takeUtf8(new TransString(expression)), " @label ");
}

// Nesting and length just inside the limits are evaluated; just beyond them
// the query is refused before the processor sees it. Far beyond them the
// processor would overflow the stack.
TEST_F(QueryTest, LimitsOnExpressionText) {
    const std::size_t depth = XPathLimits::maxNesting;
    const auto nested = [](std::size_t n) {
        return std::string(n, '(') + "1" + std::string(n, ')');
    };
    const auto chain = [](std::size_t length) {
        std::string s = "1";
        while (s.size() + 2 <= length) s += "+1";
        return s;
    };
    // -(-(...(1)...)): each level one minus sign and one parenthesis.
    const auto negated = [](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += "-(";
        return s + "1" + std::string(n, ')');
    };
    const auto predicates = [](std::size_t n) {
        std::string s = "/dictionary";
        for (std::size_t i = 0; i < n; ++i) s += "[self::*";
        return s + std::string(n, ']');
    };
    const std::size_t maxLength = XPathLimits::maxLength;
    const double chainValue = static_cast<double>((chain(maxLength).size() + 1) / 2);
    // Large numbers read as the full decimal expansion of the double.
    const auto expansion = [](double n) {
        char text[400];
        std::snprintf(text, sizeof text, "%.0f", n);
        return std::string(text);
    };
    const std::string product = expansion(1e60 * 1e60);
    const std::vector<Row> rows = {
        {"/", nested(depth), "1", none, {"1"}, none, 1, none},
        {"/", nested(depth + 1), "", FW, {}, FW, missing, FW},
        {"/", nested(40000), "", FW, {}, FW, missing, FW},
        {"/", negated(depth / 2), "1", none, {"1"}, none, 1, none},
        {"/", negated(depth / 2 + 1), "", FW, {}, FW, missing, FW},
        {"/", std::string(100000, '-') + "1", "", FW, {}, FW, missing, FW},
        {"/", chain(maxLength), std::to_string(static_cast<long>(chainValue)), none,
         {std::to_string(static_cast<long>(chainValue))}, none, chainValue, none},
        {"/", chain(maxLength + 1) + "+1", "", FW, {}, FW, missing, FW},
        {"/", chain(120000), "", FW, {}, FW, missing, FW},
        {predicates(depth - 1), "@locale", "en_US", none, {"en_US"}, none, missing, W},
        {predicates(100000), "@locale", "", FW, {}, FW, missing, FW},
        // Long number literals abort the processor; digits in names are no number.
        {"/", "1" + std::string(XPathLimits::maxNumberLength - 1, '0'), expansion(1e63), none,
         {expansion(1e63)}, none, 1e63, none},
        {"/", "1" + std::string(XPathLimits::maxNumberLength, '0'), "", FW, {}, FW, missing, FW},
        {"/", "count(x" + std::string(100, '9') + ")", "0", none, {"0"}, none, 0, none},
        // Numbers too large for the processor's text buffer are written here.
        {"/", "1" + std::string(60, '0') + " * 1" + std::string(60, '0'), product, none,
         {product}, none, 1e60 * 1e60, none},
        // Brackets inside string literals do not nest.
        {"/", "string-length('" + std::string(1000, '(') + "')", "1000", none, {"1000"}, none,
         1000, none},
    };
    for (const Row& r : rows) expectRow(r);
}

namespace {

// Overwrites the stack below the caller, where the frames of the last query were.
void scribbleStack() {
    volatile unsigned char frames[32768];
    for (std::size_t i = 0; i < sizeof frames; ++i) frames[i] = 0;
}

}  // namespace

// A context path that the processor rejects while it runs (it compiles but is
// no node-set) used to leave the evaluator pointing at the dead support objects
// of that call; the next query of the value called through them.
TEST_F(QueryTest, ValueWorksAfterContextPathRaises) {
    for (const char* context : {"-", "count(/)", "'a'", "1 = 1"}) {
        TransStatus st;
        takeUtf8(value.asString(ts(context), ts("1"), st));
        EXPECT_TRUE(st.failure()) << context;
        scribbleStack();
        EXPECT_EQ(value.asDouble(ts("/"), ts("count(//variable)"), st), 3) << context;
    }
}
