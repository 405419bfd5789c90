// Document values: their own copy of the caller's document element, stable
// Xalan views per value, the XML text where it cannot be written whole, and
// XPath queries walked as a table over the outcomes (each row runs all three
// queries). Then the guards around Xalan-C: limits on the text, and numbers
// too large for its text buffer, which used to abort the process.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <xalanc/XercesParserLiaison/XercesDocumentWrapper.hpp>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/StoreCompare.h"
#include "support/XmlDocuments.h"
#include "value/TransDOMImpl.h"
#include "value/TransValueImpl.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/CompiledXPath.h"
#include "value/xpath/DocumentDepth.h"
#include "value/xpath/XPathLimits.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// What surrounds the document element stays out of the value.
const char* const document =
    "<?xml version=\"1.0\"?>\n<!-- before --><?host-note keep me out?>\n"
    "<dictionary locale=\"en_US\">"
    "<variable name=\"age\" label=\"Age in years\" a=\"1\" b=\"2\" c=\"3\"/>"
    "<variable name=\"sex\" label=\"\"/>"
    "<variable name=\"x\" label=\"12.5\"><!--note-->text<?pi data?></variable>"
    "<variable name=\"stadt\" label=\"Gr\xC3\xB6\xC3\x9F"
    "e der Stadt \xE2\x82\xAC\"/>"
    "</dictionary>\n<!-- after -->";

enum Flags { none = 0, W = 1, F = 2, FW = 3 };

Flags flagsOf(const TransStatus& st) {
    return static_cast<Flags>((st.failure() ? F : none) | (st.warning() ? W : none));
}

const double missing = missingNumber;

// The full decimal expansion of a double.
std::string expansion(double n) {
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.0f", n);
    return digits;
}

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

class DocumentValueTest : public ::testing::Test {
protected:
    DocumentValueTest() : source(parseXml(document)), value(source.get()) {}

    // A query that is refused: the refusal result and both flags from all three.
    void expectRefused(const std::string& context, const std::string& expression) {
        expectRow({context, expression, "", FW, {}, FW, missing, FW});
    }

    void expectRow(const Row& r) {
        SCOPED_TRACE("context \"" + r.context.substr(0, 40) + "\" expression \"" +
                     r.expression.substr(0, 40) + "\"");
        TransStatus st;
        EXPECT_EQ(takeUtf8(value.asString(ts(r.context), ts(r.expression), st)), r.text);
        EXPECT_EQ(flagsOf(st), r.textFlags);
        EXPECT_EQ(takeUtf8(value.asStringList(ts(r.context), ts(r.expression), st)), r.list);
        EXPECT_EQ(flagsOf(st), r.listFlags);
        const double n = value.asDouble(ts(r.context), ts(r.expression), st);
        EXPECT_TRUE(n == r.number || (std::isnan(n) && std::isnan(r.number))) << n;
        EXPECT_EQ(flagsOf(st), r.numberFlags);
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
    DocumentPtr source;
    TransValue value;
};

using QueryTest = DocumentValueTest;  // the queries and the engine's guards

const std::string age = "/dictionary/variable[@name='age']";

}  // namespace

TEST_F(DocumentValueTest, HoldsItsOwnCopyOfTheDocumentElementOnly) {
    // The caller's later changes and its destruction reach no value.
    source->getDocumentElement()->setAttribute(u"locale", u"changed");
    source.reset();
    auto* original = new TransValue(value);
    TransStatus st;
    EXPECT_EQ(original->asDouble(st), missingNumber);
    EXPECT_TRUE(st.failure() && st.warning());
    const std::u16string text = take(original->asUTF16XML(st));
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_NE(text.find(u"locale=\"en_US\""), std::u16string::npos);
    EXPECT_EQ(text.find(u"host-note"), std::u16string::npos);
    // Each value keeps one Xalan view; a clone has its own and outlives the original.
    const TransValue clone(*original);
    const auto* view = original->asXalanDocument(st);
    EXPECT_EQ(original->asXalanDocument(st), view);
    EXPECT_NE(clone.asXalanDocument(st), view);

    // Two threads race for the first query, which builds what the clones share.
    std::atomic<int> wrong{0};
    const auto reader = [&wrong](const TransValue* v) {
        for (int i = 0; i < 200; ++i) {
            TransStatus status;
            if (takeUtf8(v->asString(ts(age), ts("@label"), status)) != "Age in years" ||
                status.failure() || status.warning())
                ++wrong;
        }
    };
    std::thread first(reader, original);
    std::thread second(reader, &clone);
    first.join();
    second.join();
    EXPECT_EQ(wrong, 0);
    delete original;
    EXPECT_EQ(takeUtf8(clone.asString(ts(age), ts("@label"), st)), "Age in years");
    EXPECT_EQ(take(clone.asUTF16XML(st)), text);
}

TEST_F(DocumentValueTest, EmptyDocumentsStillAnswer) {
    DocumentPtr noElement(DOMImplementation::getImplementation()->createDocument());
    // The parser takes this name; the DOM's own name check refuses to copy it.
    DocumentPtr uncopyable = parseXml(
        "<a><\xF0\x98\x9F\x80"
        "b/></a>");
    ASSERT_NE(uncopyable, nullptr);
    const DOMDocument* const sources[] = {nullptr, noElement.get(), uncopyable.get()};
    for (const DOMDocument* source : sources) {
        TransValue value(source);
        TransStatus st;
        EXPECT_EQ(take(value.asUTF16XML(st)),
                  u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>");
        EXPECT_FALSE(st.failure() || st.warning());
        EXPECT_EQ(value.asDouble(ts("/"), ts("count(//*)"), st), 0.0);
        EXPECT_FALSE(st.failure() || st.warning());
        EXPECT_EQ(takeUtf8(value.asString(ts("/dictionary"), ts("@locale"), st)), "");
        EXPECT_TRUE(st.failure() && st.warning());
    }
}

// Characters XML 1.0 cannot carry make the serializer give up; the value
// reports the failure and keeps answering queries.
TEST_F(DocumentValueTest, UnwritableCharactersFailTheSerialisationOnly) {
    for (const char16_t* bad : {u"a\u0001b", u"tab\u000Bbed", u"x\xD800y", u"\uFFFE"}) {
        DOMElement* root = source->getDocumentElement();
        root->setAttribute(u"label", bad);
        root->appendChild(source->createTextNode(bad));
        TransValue value(source.get());
        TransStatus st;
        take(value.asUTF16XML(st));
        EXPECT_TRUE(st.failure());
        take(value.asMBCSXML(st));
        EXPECT_TRUE(st.failure());
        EXPECT_EQ(take(value.asString(ts("/dictionary"), ts("@label"), st)), bad);
        EXPECT_FALSE(st.failure() || st.warning());
    }
}

// Character references serve only in text and attribute values: a name, comment
// or processing instruction the code page cannot hold, or a CDATA character
// beyond the BMP (written as two surrogate references), fails the multibyte text
// only. Other CDATA is split around the character, written between the parts.
TEST_F(DocumentValueTest, MarkupTheCodePageCannotHoldFailsTheMultibyteText) {
    HostTextMode mode("windows-1252");
    for (const char* xml :
         {"<a><b\xE4\xB8\xAD/></a>", "<a b\xE4\xB8\xAD=\"1\"/>", "<a><!--\xE4\xB8\xAD--></a>",
          "<a><?p \xE4\xB8\xAD?></a>", "<a><![CDATA[\xF0\x9F\x98\x80]]></a>"}) {
        SCOPED_TRACE(xml);
        DocumentPtr source = parseXml(std::string(xml));
        TransValue value(source.get());
        TransStatus st;
        EXPECT_NE(parseXml(take(value.asUTF16XML(st))), nullptr);
        EXPECT_FALSE(st.failure());
        const std::u16string text = take(value.asMBCSXML(st));
        EXPECT_TRUE(st.failure());
        EXPECT_FALSE(st.warning());  // the declaration and the start were written
        EXPECT_EQ(parseXml(text), nullptr);
    }
    DocumentPtr cdata = parseXml(std::string("<a><![CDATA[<x>\xE4\xB8\xAD\xE2\x82\xAC]]></a>"));
    TransStatus st;
    EXPECT_NE(take(TransValue(cdata.get()).asMBCSXML(st))
                  .find(u"<![CDATA[<x>]]>&#x4E2D;<![CDATA[\u20AC]]>"),
              std::u16string::npos);
    EXPECT_FALSE(st.failure() || st.warning());
}

// Deeper than a deep importNode or the serializer survive: copies, queries and
// destruction still must, and the text is refused.
TEST_F(DocumentValueTest, DocumentsTooDeepForTheSerializerAreRefused) {
    for (std::size_t depth : {maxSerializedDepth, maxSerializedDepth + 1, std::size_t{100000}}) {
        SCOPED_TRACE(depth);
        DOMDocument* source = DOMImplementation::getImplementation()->createDocument();
        DOMNode* parent = source;
        for (std::size_t i = 0; i < depth; ++i)
            parent = parent->appendChild(source->createElement(u"e"));
        const TransValue value(source);
        source->release();
        const TransValue clone(value);
        TransStatus st;
        const bool refused = depth > maxSerializedDepth;
        EXPECT_EQ(take(clone.asUTF16XML(st)).empty(), refused);
        EXPECT_TRUE(st.failure() == refused && st.warning() == refused);
        // Queries do not recurse per level and still answer.
        EXPECT_EQ(clone.asDouble(ts("/"), ts("count(/descendant::e)"), st),
                  static_cast<double>(depth));
        EXPECT_FALSE(st.failure() || st.warning());
    }
}

TEST_F(QueryTest, OutcomeTable) {
    // Refused arguments, unknown context nodes, bad expressions.
    for (const auto& refused :
         std::vector<std::pair<std::string, std::string>>{{"", "@name"},
                                                          {"  ", "@name"},
                                                          {"/", ""},
                                                          {"/", " \t "},
                                                          {"/nothing", "@name"},
                                                          {"/dictionary/variable[", "@name"},
                                                          {"count(/)", "1"},
                                                          {"/", "@@"},
                                                          {"/", "no-such-function()"}})
        expectRefused(refused.first, refused.second);
    const std::vector<Row> rows = {
        {"/", "count(//variable)", "4", none, {"4"}, none, 4, none},
        {"/", "1 = 1", "true", none, {"true"}, none, 1, none},
        {"/", "1 = 2", "false", none, {"false"}, none, 0, none},
        {"/", "1 div 0", "Infinity", none, {"Infinity"}, none, HUGE_VAL, none},
        {"/", "0 div 0", "NaN", none, {"NaN"}, none, std::nan(""), none},
        {"/", "'abc'", "abc", none, {"abc"}, none, missing, W},
        {"/", "''", "", W, {""}, none, missing, W},
        {"/",
         "'-1.7976931348623157e308'",
         "-1.7976931348623157e308",
         none,
         {"-1.7976931348623157e308"},
         none,
         missing,
         W},
        // Node-sets; untrimmed texts are what the processor evaluates.
        {" " + age + " ", " @label ", "Age in years", none, {"Age in years"}, none, missing, W},
        {age, "@a|@b|@c", "1", W, {"1", "2", "3"}, none, 1, W},
        {age, "@nothing", "", W, {}, W, missing, W},
        {"/dictionary/variable[2]", "@label", "", W, {""}, none, missing, W},
        {"/dictionary/variable[3]", "@label", "12.5", none, {"12.5"}, none, 12.5, none},
        {"/dictionary/variable[3]",
         "node()",
         "note",
         W,
         {"note", "text", "data"},
         none,
         missing,
         W},
        {"/", "//variable", "", W, {"", "", "", ""}, none, missing, W},
        {"/", "/", "", W, {""}, none, missing, W},
    };
    for (const Row& r : rows) expectRow(r);
}

// Nesting, length and number literals just inside the limits are evaluated;
// just beyond them the query is refused before the processor sees it. Far
// beyond them the processor would overflow the stack or abort.
TEST_F(QueryTest, LimitsOnExpressionText) {
    const std::size_t depth = XPathLimits::maxNesting;
    const auto times = [](std::size_t n, const std::string& part) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += part;
        return s;
    };
    const auto nested = [&](std::size_t n) { return times(n, "(") + "1" + times(n, ")"); };
    // -(-(...(1)...)): each level one minus sign and one parenthesis.
    const auto negated = [&](std::size_t n) { return times(n, "-(") + "1" + times(n, ")"); };
    const auto predicates = [&](std::size_t n) {
        return "/dictionary" + times(n, "[self::*") + times(n, "]");
    };
    const auto chain = [&](std::size_t length) { return "1" + times((length - 1) / 2, "+1"); };
    expectRefused(predicates(100000), "@locale");
    for (const std::string& expression :
         {nested(depth + 1), nested(40000), negated(depth / 2 + 1), times(100000, "-") + "1",
          chain(XPathLimits::maxLength + 1) + "+1", "1" + times(XPathLimits::maxNumberLength, "0")})
        expectRefused("/", expression);
    const std::string sum = std::to_string((chain(XPathLimits::maxLength).size() + 1) / 2);
    const std::string digits = expansion(1e63);
    const std::vector<Row> rows = {
        {"/", nested(depth), "1", none, {"1"}, none, 1, none},
        {"/", negated(depth / 2), "1", none, {"1"}, none, 1, none},
        {"/", chain(XPathLimits::maxLength), sum, none, {sum}, none, std::stod(sum), none},
        {predicates(depth - 1), "@locale", "en_US", none, {"en_US"}, none, missing, W},
        {"/",
         "1" + std::string(XPathLimits::maxNumberLength - 1, '0'),
         digits,
         none,
         {digits},
         none,
         1e63,
         none},
        // Digits in names are no number; brackets inside string literals do not nest.
        {"/", "count(x" + std::string(100, '9') + ")", "0", none, {"0"}, none, 0, none},
        {"/",
         "string-length('" + std::string(1000, '(') + "')",
         "1000",
         none,
         {"1000"},
         none,
         1000,
         none},
    };
    for (const Row& r : rows) expectRow(r);
}

// A context path that the processor rejects while it runs (it compiles but is
// no node-set) used to leave the evaluator pointing at the dead support objects
// of that call; the next query of the value called through them.
TEST_F(QueryTest, ValueWorksAfterContextPathRaises) {
    // Overwrites the stack below this frame, where the frames of the last query were.
    const auto scribbleStack = [] {
        volatile unsigned char frames[32768];
        for (std::size_t i = 0; i < sizeof frames; ++i) frames[i] = 0;
    };
    for (const char* context : {"-", "count(/)", "'a'", "1 = 1"}) {
        TransStatus st;
        takeUtf8(value.asString(ts(context), ts("1"), st));
        EXPECT_TRUE(st.failure()) << context;
        scribbleStack();
        EXPECT_EQ(value.asDouble(ts("/"), ts("count(//variable)"), st), 4) << context;
    }
}

TEST(StringLengthOfStringsTest, WrapsOnlyTheArgumentsOfTheBuiltInFunction) {
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"string-length()", u"string-length(string())"},
        {u"string-length(1 + 2) * 2", u"string-length(string(1 + 2)) * 2"},
        {u"string-length (v[(1)])", u"string-length (string(v[(1)]))"},
        {u"string-length(string-length(.))", u"string-length(string(string-length(string(.))))"},
        {u"string-length(')') + string-length(\"(\")",
         u"string-length(string(')')) + string-length(string(\"(\"))"},
        {u"1-string-length(v)", u"1-string-length(string(v))"},
        // Names that only contain it, prefixed names, literals, element names.
        {u"my-string-length(v)", u"my-string-length(v)"},
        {u"string-length-of(v)", u"string-length-of(v)"},
        {u"p:string-length(v)", u"p:string-length(v)"},
        {u"'string-length(v)'", u"'string-length(v)'"},
        {u"string-length/v", u"string-length/v"},
        // Unbalanced text stays unbalanced, so it still fails to parse.
        {u"string-length(v", u"string-length(string(v"},
        {u"string-length(v))", u"string-length(string(v)))"},
    };
    for (const auto& c : cases) EXPECT_EQ(withStringLengthOfStrings(c.first.c_str()), c.second);
}

// Each large number here aborted the process inside Xalan-C; the wrapped
// string-length() arguments answer as unwrapped ones do.
TEST_F(QueryTest, StringFunctionsOfLargeNumbers) {
    const std::string big = "1" + std::string(60, '0') + " * 1" + std::string(60, '0');
    const std::string product = expansion(1e60 * 1e60);
    const std::vector<std::pair<std::string, std::string>> rows = {
        {big, product},
        {"string(" + big + ")", product},
        {"concat(" + big + ", 'x')", product + "x"},
        {"string(-" + big + ")", "-" + product},
        {"string-length(" + big + ")", std::to_string(product.size())},
        {"substring(" + big + ", 1, 3)", product.substr(0, 3)},
        {"string(number('" + std::string(100, '9') + "'))", expansion(1e100 - 1)},
        {"string-length(//variable[3]/@label * 3)", "4"},
        {"count(//variable[string-length(@name) = 3])", "2"},
    };
    for (const auto& row : rows) {
        TransStatus st;
        EXPECT_EQ(takeUtf8(value.asString(ts("/"), ts(row.first), st)), row.second) << row.first;
        EXPECT_FALSE(st.failure() || st.warning()) << row.first;
    }
}

// The Xerces-wrapper view of a value made from a store: made on first call
// over the DOM the store stands for, which holds the literal copy's nodes;
// the same view on every call and for two threads asking at once; a clone
// has a view of its own over the one DOM the two share.
TEST_F(DocumentValueTest, WrapperViewsOverTheStoresDom) {
    DocumentPtr built(DOMImplementation::getImplementation()->createDocument());
    DOMElement* root = built->createElementNS(u"urn:r", u"r:root");
    built->appendChild(root);
    root->setAttributeNS(u"urn:a", u"p:b", u"1");
    root->setAttributeNS(u"urn:b", u"p:b", u"2");
    root->setAttribute(u"p:b", u"plain");
    DOMAttr* parts = built->createAttribute(u"parts");
    parts->appendChild(built->createTextNode(u"x"));
    parts->appendChild(built->createEntityReference(u"e"));
    root->setAttributeNode(parts);
    for (int i = 0; i < 2000; ++i) {
        DOMElement* item = built->createElement(u"item");
        item->setAttribute(u"n", u"\U0001F600");
        item->appendChild(built->createCDATASection(u"c"));
        root->appendChild(item);
    }
    const DOMDocument* const sources[] = {source.get(), built.get()};
    for (const DOMDocument* from : sources) {
        const DocumentPtr copy(literalCopy(from));
        const TransDOMImpl value(DocumentStore::fromDom(from));
        TransStatus st;
        const auto* view = value.asXalanDocument(st);
        ASSERT_NE(view, nullptr);
        EXPECT_FALSE(st.failure() || st.warning());
        const auto* wrapper = dynamic_cast<const XALAN_CPP_NAMESPACE::XercesDocumentWrapper*>(view);
        ASSERT_NE(wrapper, nullptr);
        EXPECT_EQ(domDifference(copy.get(), wrapper->getXercesDocument()), "");
        EXPECT_EQ(value.asXalanDocument(st), view);
        const TransDOMImpl clone(value);
        const auto* cloneView = clone.asXalanDocument(st);
        EXPECT_NE(cloneView, view);
        EXPECT_EQ(dynamic_cast<const XALAN_CPP_NAMESPACE::XercesDocumentWrapper*>(cloneView)
                      ->getXercesDocument(),
                  wrapper->getXercesDocument());
    }
    for (int round = 0; round < 20; ++round) {
        const TransDOMImpl value(DocumentStore::fromDom(built.get()));
        std::atomic<bool> go{false};
        const void* seen[2] = {nullptr, nullptr};
        const auto ask = [&](int i) {
            while (!go) std::this_thread::yield();
            TransStatus st;
            seen[i] = value.asXalanDocument(st);
        };
        std::thread first(ask, 0);
        std::thread second(ask, 1);
        go = true;
        first.join();
        second.join();
        ASSERT_NE(seen[0], nullptr);
        EXPECT_EQ(seen[0], seen[1]) << round;
    }
}
