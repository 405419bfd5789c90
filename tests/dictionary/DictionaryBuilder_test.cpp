// The document as a whole: root and header, the order of the sections, the
// placement chains when earlier sections are missing, the remembered
// placement against the literal one, and the schema.
#include <clocale>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/unistr.h>

#include "VornLocale.h"
#include "dictionary/DictionaryFixture.h"
#include "dictionary/DictionaryNamespace.h"

XERCES_CPP_NAMESPACE_USE

namespace {

using Placement = DictionaryBuilder::Placement;

std::string utf8(const std::u16string& s) {
    std::string out;
    icu::UnicodeString(s.data(), static_cast<int32_t>(s.size())).toUTF8String(out);
    return out;
}

// Consecutive equal names folded into one, so an order reads at a glance.
std::vector<std::string> kinds(const DOMNode* parent) {
    std::vector<std::string> out;
    for (const std::string& name : childNames(parent))
        if (out.empty() || out.back() != name) out.push_back(name);
    return out;
}

// A small data source of random shape: any section may be missing, set
// members may be unknown, labels and missing values vary by kind.
VORN_DataSource randomSource(std::mt19937& rng) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    VORN_DataSource source;
    source.SetRowCount(pick(3) == 0 ? -1 : pick(1000));
    const int variables = pick(7);
    for (int i = 0; i < variables; ++i) {
        const bool text = pick(3) == 0;
        VORN_Variable v("v" + std::to_string(i), text ? 1 + pick(12) : 0);
        if (pick(2) == 0) v.SetLabel("label " + std::to_string(i));
        const int labels = pick(4);
        for (int k = 0; k < labels; ++k) {
            if (text)
                v.AddValueLabel("c" + std::to_string(k) + (pick(2) ? " x" : ""),
                                "L" + std::to_string(k));
            else
                v.AddValueLabel(k + 0.25 * pick(4), "L" + std::to_string(k));
        }
        const OBS numbers[3] = {NumericOBS(pick(10)), NumericOBS(10 + pick(10)), NumericOBS(99)};
        const OBS texts[3] = {StringOBS("NA"), StringOBS("N A"), StringOBS("ABCDEFGH")};
        const int counts[] = {0, 1, 2, 3, -2, -3};
        const int count = counts[pick(6)];
        if (!(text && count < 0)) v.SetMissingValues(count, text ? texts : numbers);
        for (int a = pick(3); a > 0; --a) v.AddAttribute(a == 1 ? "$sys" : "user", {"x", "y"});
        source.AddVariable(v);
    }
    if (variables > 0 && pick(2) == 0) source.SetWeightVarIndex(pick(variables));
    for (int s = pick(3); s > 0; --s) {
        VariableSet set("set" + std::to_string(s));
        set.SetVariableNames({"v0", "nosuch", "V1"});
        source.AddVariableSet(set);
    }
    for (int s = pick(3); s > 0; --s) {
        VariableSet set("mr" + std::to_string(s), 1 + pick(2));
        set.SetValue(pick(2) ? "1" : "");
        set.SetLabel(pick(2) ? "a label" : "");
        set.SetLabelSetByVariable(pick(2) == 0);
        set.SetUseVariableCategoryLabels(pick(2) == 0);
        set.SetVariableNames({"v1", "v0"});
        source.AddMultipleResponseSet(set);
    }
    if (pick(2) == 0) source.AddAttribute("$Kind", {"survey"});
    for (int t = 1; t <= 16; ++t)
        if (pick(4) == 0) source.SetExtension(t, 2, {0x00, 0x7F, 0x80, 0xFF});
    return source;
}

TEST_F(DictionaryTest, TwoVariableSourceHasHeaderAndTwoVariables) {
    DocumentPtr d = build(*loadExample("minimal.json"));
    DOMElement* root = d->getDocumentElement();
    EXPECT_EQ(utf8(root->getTagName()), "dictionary");
    EXPECT_EQ(root->getNamespaceURI(), nullptr);  // the namespace lives only in xmlns
    EXPECT_EQ(attr(root, "xmlns"), utf8(dictionaryNamespaceURI()));
    EXPECT_EQ(attr(root, "xmlns"), "http://www.transspace.org/vorn/data");
    EXPECT_EQ(attr(root, "xmlns:xsi"), "http://www.w3.org/2001/XMLSchema-instance");
    EXPECT_EQ(attr(root, "xsi:schemaLocation"),
              "http://www.transspace.org/vorn/data "
              "http://www.transspace.org/vorn/data/dictionary-1.0.xsd");
    EXPECT_EQ(attr(root, "rowCount"), "250");
    EXPECT_EQ(attr(root, "creationDateTime"), "1970-01-01T00:00:00Z");
    EXPECT_EQ(root->getAttributes()->getLength(), 6u);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"variable", "variable"}));
    EXPECT_EQ(attr(childElements(root)[0], "name"), "x");
    EXPECT_EQ(attr(childElements(root)[1], "name"), "y");
    EXPECT_EQ(utf8(d->getXmlVersion()), "1.0");
    EXPECT_FALSE(d->getXmlStandalone());
}

TEST_F(DictionaryTest, HeaderRowCountAndLocale) {
    struct Row {
        std::int64_t rows;
        const char* text;  // null: no rowCount
    };
    const Row rows[] = {
        {-1, nullptr}, {0, "0"}, {3000000000LL, "3000000000"}, {INT64_MAX, "9223372036854775807"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rows);
        VORN_DataSource source;
        source.SetRowCount(row.rows);
        source.SetTimestamp(1796557554.75);
        DocumentPtr d = build(source);
        DOMElement* root = d->getDocumentElement();
        EXPECT_EQ(hasAttr(root, "rowCount"), row.text != nullptr);
        if (row.text != nullptr) {
            EXPECT_EQ(attr(root, "rowCount"), row.text);
        }
        EXPECT_EQ(attr(root, "creationDateTime"), "2026-12-06T11:45:54Z");
        std::string name = std::setlocale(LC_CTYPE, nullptr);
        std::vector<std::string> list;
        ASSERT_GE(GetServerLocaleList(name, list), 1);
        EXPECT_EQ(attr(root, "locale"), list.front());
        EXPECT_TRUE(childElements(root).empty());
    }
}

TEST_F(DictionaryTest, EverySectionInItsOrder) {
    DocumentPtr d = build(*loadExample("survey.json"));
    EXPECT_EQ(
        kinds(d->getDocumentElement()),
        (std::vector<std::string>{"variable", "weightVariable", "valueLabelSet", "variableSet",
                                  "multipleResponseSet", "attributeSet", "extension"}));
    // The section elements live only under the root.
    for (const char16_t* tag : {u"variable", u"weightVariable", u"valueLabelSet", u"variableSet",
                                u"multipleResponseSet"}) {
        DOMNodeList* all = d->getElementsByTagName(tag);
        for (XMLSize_t i = 0; i < all->getLength(); ++i)
            EXPECT_EQ(all->item(i)->getParentNode(), d->getDocumentElement());
    }
    // Value-label sets follow the column order of their variables.
    std::vector<std::string> owners;
    for (DOMElement* set : children(d->getDocumentElement(), "valueLabelSet"))
        owners.push_back(attr(children(set, "valueLabelVariable").at(0), "name"));
    EXPECT_EQ(owners, (std::vector<std::string>{"sex", "satisfaction", "city", "shop1", "shop2",
                                                "shop3", "brand1", "brand2"}));
}

TEST_F(DictionaryTest, PlacementChainsWhenEarlierSectionsAreMissing) {
    struct Row {
        const char* what;
        std::string json;
        std::vector<std::string> order;
    };
    const std::string sets =
        R"("variableSets": [{"name": "s", "variables": ["a", "nosuch"]}],
           "multipleResponseSets": [{"name": "m", "type": "category", "variables": ["a"]}],
           "attributes": [{"name": "k", "values": ["v"]}],
           "extensions": [{"type": 15, "data": "01"}, {"type": 2, "data": "02"}])";
    const Row rows[] = {
        {"no variables",
         R"({"variables": [],)" + sets + "}",
         {"variableSet", "multipleResponseSet", "attributeSet", "extension"}},
        {"no weight",
         R"({"variables": [{"name": "a", "valueLabels": [[1, "one"]]}, {"name": "b"}],)" + sets +
             "}",
         {"variable", "valueLabelSet", "variableSet", "multipleResponseSet", "attributeSet",
          "extension"}},
        {"no value labels",
         R"({"variables": [{"name": "a"}, {"name": "w"}], "weight": "w",)" + sets + "}",
         {"variable", "weightVariable", "variableSet", "multipleResponseSet", "attributeSet",
          "extension"}},
        {"attributes only",
         R"({"variables": [], "attributes": [{"name": "k", "values": []}]})",
         {"attributeSet"}},
        {"multiple-response set after labels",
         R"({"variables": [{"name": "a", "valueLabels": [[1, "one"]]}],
             "multipleResponseSets": [{"name": "m", "type": 1, "variables": ["a"]}],
             "extensions": [{"type": 1, "data": ""}]})",
         {"variable", "valueLabelSet", "multipleResponseSet", "extension"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<VORN_DataSource> source = load(row.json);
        DocumentPtr fast = build(*source);
        DocumentPtr literal = build(*source, Placement::literal);
        EXPECT_EQ(kinds(fast->getDocumentElement()), row.order);
        EXPECT_EQ(serialise(fast.get()), serialise(literal.get()));
    }
}

TEST_F(DictionaryTest, RememberedPlacementEqualsLiteralPlacement) {
    std::mt19937 rng(20261206);
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE("source " + std::to_string(i));
        const VORN_DataSource source = randomSource(rng);
        DocumentPtr fast = build(source);
        DocumentPtr literal = build(source, Placement::literal);
        ASSERT_TRUE(fast && literal);
        EXPECT_EQ(utf8(serialise(fast.get())), utf8(serialise(literal.get())));
    }
    // The examples too, where every section is filled.
    std::unique_ptr<VORN_DataSource> survey = loadExample("survey.json");
    EXPECT_EQ(serialise(build(*survey).get()), serialise(build(*survey, Placement::literal).get()));
}

TEST_F(DictionaryTest, InsertAfterLastFollowsTheLastDescendant) {
    DictionaryBuilder builder;
    DocumentPtr d(builder.build(VORN_DataSource()));
    ASSERT_NE(d, nullptr);
    DOMElement* root = d->getDocumentElement();
    DOMElement* a = d->createElement(u"a");
    DOMElement* b = d->createElement(u"b");
    root->appendChild(a);
    root->appendChild(b);
    EXPECT_EQ(builder.insertAfterLast(root, d->createElement(u"c"), u"nosuch"), nullptr);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"a", "b"}));
    DOMNode* placed = builder.insertAfterLast(root, d->createElement(u"c"), u"a");
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"a", "c", "b"}));
    builder.insertAfterLast(root, d->createElement(u"d"), u"b");
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"a", "c", "b", "d"}));
}

TEST_F(DictionaryTest, SchemaRejectsBrokenDocuments) {
    ASSERT_TRUE(validator.loaded()) << joinLines(validator.loadErrors());
    struct Row {
        const char* what;
        void (*breakIt)(DOMDocument*);
    };
    const Row rows[] = {
        {"unknown alignment word",
         [](DOMDocument* d) {
             static_cast<DOMElement*>(d->getElementsByTagName(u"variable")->item(0))
                 ->setAttribute(u"alignment", u"middle");
         }},
        {"weight before the variables",
         [](DOMDocument* d) {
             DOMElement* root = d->getDocumentElement();
             root->insertBefore(d->getElementsByTagName(u"weightVariable")->item(0),
                                root->getFirstChild());
         }},
        {"value-label set without its variable",
         [](DOMDocument* d) {
             DOMNode* owner = d->getElementsByTagName(u"valueLabelVariable")->item(0);
             owner->getParentNode()->removeChild(owner)->release();
         }},
        {"missing name",
         [](DOMDocument* d) {
             static_cast<DOMElement*>(d->getElementsByTagName(u"variableSetVariable")->item(0))
                 ->removeAttribute(u"name");
         }},
        {"lower-case hex",
         [](DOMDocument* d) {
             static_cast<DOMElement*>(d->getElementsByTagName(u"extension")->item(0))
                 ->setAttribute(u"data", u"ff");
         }},
        {"another namespace",
         [](DOMDocument* d) {
             d->getDocumentElement()->setAttribute(u"xmlns", u"http://elsewhere.invalid/data");
         }},
    };
    std::unique_ptr<VORN_DataSource> survey = loadExample("survey.json");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DocumentPtr d = build(*survey);
        row.breakIt(d.get());
        EXPECT_FALSE(validator.validate(d.get()).empty());
    }
}

}  // namespace

// Texts no code page should hand over: bytes the host's code page does not
// define, a NUL inside a text, control characters XML 1.0 cannot hold, and an
// unpaired surrogate in the three-byte form a UTF-8 host can carry. The build
// always completes; the serializer either writes text that parses back or
// reports the failure flag. Undefined bytes become U+FFFD, except that a
// double-byte code page substitutes U+001A (a control character) for a
// broken lead byte.
TEST_F(DictionaryTest, BadTextsBuildAndOnlyTheSerializerFails) {
    struct Row {
        const char* codePage;
        std::string text;
        bool writable;
        const char* label;  // the label read back, when checked
    };
    const std::vector<Row> rows = {
        {nullptr, "caf\xC3\xA9 \xFF\xFE \xC3", true, "caf\u00E9 \uFFFD\uFFFD \uFFFD"},
        {nullptr, std::string("before\0after", 12), true, "before"},
        {nullptr, "tab\tnew\nline", true, "tab\tnew\nline"},
        {nullptr, "bell\x07", false, nullptr},
        {nullptr, "esc\x1B[0m", false, nullptr},
        {nullptr, "lone \xED\xA0\x80 high", true, nullptr},
        {nullptr, "lone \xED\xBF\xBF low", true, nullptr},
        {"windows-1252", "undefined \x81\x8D\x8F\x90\x9D", true, nullptr},
        {"windows-1252", "control \x01", false, nullptr},
        {"Shift_JIS", "half \x82", false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        HostTextMode mode(row.codePage);
        VORN_Variable v("v");
        v.SetLabel(row.text);
        v.AddValueLabel(1, row.text);
        v.AddAttribute("note", {row.text});
        VORN_DataSource source;
        source.AddVariable(v);
        source.AddAttribute("origin", {row.text});
        VariableSet set(row.text);
        set.SetVariableNames({"v"});
        source.AddVariableSet(set);
        const TransValue value(source);
        TransStatus st;
        EXPECT_EQ(value.asDouble(ts("/"), ts("count(//*[@label])"), st), 2);
        if (row.label != nullptr) {
            EXPECT_EQ(takeUtf8(value.asString(ts("/*/*[1]"), ts("@label"))), row.label);
        }
        for (int form = 0; form < 2; ++form) {
            const std::u16string text = take(form == 0 ? value.asUTF16XML(st) : value.asMBCSXML(st));
            EXPECT_EQ(st.failure(), !row.writable) << form;
            EXPECT_FALSE(text.empty()) << form;
            if (row.writable) {
                EXPECT_NE(parseXml(text), nullptr) << form;
            }
        }
    }
}
