// The dictionary document of a data source: root and header, the order of the
// sections when earlier ones are missing, the schema, each section with its
// words and its number and text rules, and texts a host should not hand over.
#include <clocale>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "VornJsonSource.h"
#include "VornLocale.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/LocaleGuard.h"
#include "support/SchemaValidator.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// A space (so the XML runtime is up) and the dictionary schema.
class DictionaryTest : public ::testing::Test {
protected:
    DictionaryTest() : validator(SchemaValidator::dictionarySchemaPath()) {}

    // The builder's document with the remembered placement; fails the test
    // when it does not validate or the literal placement, which runs every
    // lookup through insertAfterLast, gives another one.
    DocumentPtr build(const VORN_DataSource& source) {
        DocumentPtr document(DictionaryBuilder().build(source));
        DocumentPtr literal(DictionaryBuilder(DictionaryBuilder::Placement::literal).build(source));
        EXPECT_TRUE(document && literal);
        if (document && literal) {
            EXPECT_EQ(serialiseXml(document.get()), serialiseXml(literal.get()));
            const std::vector<std::string> errors = validator.validate(document.get());
            EXPECT_TRUE(errors.empty()) << joinLines(errors);
        }
        return document;
    }

    // A data source loaded from JSON text; fails the test on a load error.
    static std::unique_ptr<VORN_DataSource> load(const std::string& json) {
        std::string error;
        std::unique_ptr<VORN_DataSource> source = LoadDataSourceJSONText(json, "test", error);
        EXPECT_NE(source, nullptr) << error;
        if (!source) source.reset(new VORN_DataSource);
        return source;
    }

    // The text of one of examples/*.json.
    static std::string example(const std::string& file) {
        std::ifstream in(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/" + file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TransSpace space;                // first member: the runtime outlives everything below
    HostTextMode textMode{nullptr};  // UTF-8 unless a test pins another code page
    SchemaValidator validator;
};

// The UTF-8 XML text of every element named tag (with deep false, of its own tag
// only), in document order. The serializer writes attributes sorted by name.
std::string xmlOf(const DOMDocument* d, const char16_t* tag, bool deep = true) {
    std::string out;
    const DOMNodeList* all = d->getElementsByTagName(tag);
    for (XMLSize_t i = 0; i < all->getLength(); ++i) {
        DOMNode* node = deep ? all->item(i) : all->item(i)->cloneNode(false);
        out += utf8(units(serialiseXml(node)));
        if (!deep) node->release();
    }
    return out;
}

// The names of parent's children, a run of one name folded into one.
std::vector<std::u16string> kinds(const DOMNode* parent) {
    std::vector<std::u16string> out;
    for (DOMNode* n = parent->getFirstChild(); n != nullptr; n = n->getNextSibling())
        if (out.empty() || out.back() != n->getNodeName()) out.push_back(n->getNodeName());
    return out;
}

TEST_F(DictionaryTest, HeaderRowCountAndLocale) {
    std::string name = std::setlocale(LC_CTYPE, nullptr);
    std::vector<std::string> locales;
    ASSERT_GE(GetServerLocaleList(name, locales), 1);
    const std::string head = R"(<?xml version="1.0" encoding="UTF-16" standalone="no" ?>)"
                             R"(<dictionary creationDateTime="2026-12-06T11:45:54Z" locale=")" +
                             locales.front() + "\"";
    const std::string tail = R"( xmlns="http://www.transspace.org/vorn/data" )"
                             R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" )"
                             R"(xsi:schemaLocation="http://www.transspace.org/vorn/data )"
                             R"(http://www.transspace.org/vorn/data/dictionary-1.0.xsd"/>)";
    for (std::int64_t rows : {INT64_C(-1), INT64_C(0), INT64_MAX}) {
        SCOPED_TRACE(rows);
        const std::string count = rows < 0 ? "" : R"( rowCount=")" + std::to_string(rows) + "\"";
        VORN_DataSource source;
        source.SetRowCount(rows);
        source.SetTimestamp(1796557554.75);
        DocumentPtr d = build(source);
        EXPECT_EQ(serialiseXml(d.get()), u16((head + count + tail).c_str()));
        EXPECT_EQ(d->getDocumentElement()->getNamespaceURI(), nullptr);  // only in xmlns
    }
}

TEST_F(DictionaryTest, EverySectionInItsOrderAlsoWhenEarlierOnesAreMissing) {
    struct Row {
        const char* what;
        std::string json;
        std::vector<std::u16string> order;
    };
    const std::string sets =
        R"("variableSets": [{"name": "s", "variables": ["a", "nosuch"]}],
           "multipleResponseSets": [{"name": "m", "type": "category", "variables": ["a"]}],
           "attributes": [{"name": "k", "values": ["v"]}],
           "extensions": [{"type": 15, "data": "01"}, {"type": 2, "data": "02"}])";
    const Row rows[] = {
        {"every section",
         example("survey.json"),
         {u"variable", u"weightVariable", u"valueLabelSet", u"variableSet", u"multipleResponseSet",
          u"attributeSet", u"extension"}},
        {"no variables",
         R"({"variables": [],)" + sets + "}",
         {u"variableSet", u"multipleResponseSet", u"attributeSet", u"extension"}},
        {"no value labels",
         R"({"variables": [{"name": "a"}, {"name": "w"}], "weight": "w",)" + sets + "}",
         {u"variable", u"weightVariable", u"variableSet", u"multipleResponseSet", u"attributeSet",
          u"extension"}},
        {"attributes only",
         R"({"variables": [], "attributes": [{"name": "k", "values": []}]})",
         {u"attributeSet"}},
        {"multiple-response set after labels",
         R"({"variables": [{"name": "a", "valueLabels": [[1, "one"]]}],
             "multipleResponseSets": [{"name": "m", "type": 1, "variables": ["a"]}],
             "extensions": [{"type": 1, "data": ""}]})",
         {u"variable", u"valueLabelSet", u"multipleResponseSet", u"extension"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DocumentPtr d = build(*load(row.json));
        EXPECT_EQ(kinds(d->getDocumentElement()), row.order);
    }
}

TEST_F(DictionaryTest, SchemaRejectsBrokenDocuments) {
    struct Row {
        const char* what;
        const char16_t *tag, *attribute, *value;  // no attribute: the element goes first
    };
    // build() has shown that the schema loaded and accepts the unbroken document.
    const Row rows[] = {
        {"an unknown word", u"variable", u"alignment", u"middle"},
        {"lower-case hex", u"extension", u"data", u"ff"},
        {"an undeclared attribute", u"weightVariable", u"label", u"w"},
        {"another namespace", u"dictionary", u"xmlns", u"http://elsewhere.invalid/data"},
        {"weight before the variables", u"weightVariable", nullptr, nullptr},
    };
    const std::unique_ptr<VORN_DataSource> survey = load(example("survey.json"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DocumentPtr d = build(*survey);
        DOMElement* e = static_cast<DOMElement*>(d->getElementsByTagName(row.tag)->item(0));
        if (row.attribute != nullptr)
            e->setAttribute(row.attribute, row.value);
        else
            d->getDocumentElement()->insertBefore(e, d->getDocumentElement()->getFirstChild());
        EXPECT_FALSE(validator.validate(d.get()).empty());
    }
}

// Codes outside the words keep their number in the source and get no word.
TEST_F(DictionaryTest, VariableAttributesAndWords) {
    DocumentPtr d = build(*load(R"({"variables": [
        {"name": "a", "alignment": 0, "measurementLevel": 0},
        {"name": "b", "label": "", "alignment": 1, "measurementLevel": 1, "displayWidth": -1},
        {"name": "c", "width": 255, "label": "x", "alignment": 2, "measurementLevel": 2,
         "displayWidth": 32767},
        {"name": "d", "alignment": 3, "measurementLevel": 3, "displayWidth": -32768},
        {"name": "e", "alignment": -1, "measurementLevel": 4, "displayWidth": 0}]})"));
    EXPECT_EQ(xmlOf(d.get(), u"variable", false),
              R"(<variable alignment="left" displayWidth="8" measurementLevel="unknown" )"
              R"(name="a" type="0"/>)"
              R"(<variable alignment="right" displayWidth="-1" label="" )"
              R"(measurementLevel="nominal" name="b" type="0"/>)"
              R"(<variable alignment="center" displayWidth="32767" label="x" )"
              R"(measurementLevel="ordinal" name="c" type="255"/>)"
              R"(<variable alignment="" displayWidth="-32768" measurementLevel="scale" )"
              R"(name="d" type="0"/>)"
              R"(<variable alignment="" displayWidth="0" measurementLevel="" name="e" type="0"/>)");
}

// The builder keeps its own table of format names; it must agree with the
// host library's for every code, named or not.
TEST_F(DictionaryTest, FormatNamesAreTheHostLibrarys) {
    VORN_DataSource source;
    std::string formats, writeFormats;
    for (int code = -2; code <= 90; ++code) {
        const auto type = static_cast<VORN_Variable::FormatType>(code);
        VORN_Variable var("v" + std::to_string(code + 2));
        var.SetFormat(type, 12, 3);
        var.SetWriteFormat(VORN_Variable::FormatF, -4, 0);
        source.AddVariable(var);
        const char* name = VORN_Variable::GetFormatName(type);
        formats += R"(<variableFormat decimals="3" type=")" +
                   std::string(name != nullptr ? name : "") + R"(" width="12"/>)";
        writeFormats += R"(<variableWriteFormat decimals="0" type="F" width="-4"/>)";
    }
    DocumentPtr d = build(source);
    EXPECT_EQ(xmlOf(d.get(), u"variableFormat"), formats);
    EXPECT_EQ(xmlOf(d.get(), u"variableWriteFormat"), writeFormats);
}

// Decimal text ignores the numeric locale; integer text follows it, which groups no digits under
// "#0.###". Where that locale is not installed the rows run in the C locale.
TEST_F(DictionaryTest, SectionsOfSmallSources) {
    const LocaleGuard numeric(LC_NUMERIC, "de_DE.UTF-8");
    const std::string zeros(288, '0');
    struct Row {
        const char* what;
        std::string json;  // the variables, and whatever follows them
        const char16_t* tag;
        std::string xml;
    };
    const Row rows[] = {
        {"open ends and a value",
         R"([{"name": "v", "missingValues": {"low": "lowest", "high": "highest", "value": 99}}])",
         u"missingValue",
         R"(<missingValue data="lowest" type="lowerBound"/>)"
         R"(<missingValue data="highest" type="upperBound"/><missingValue data="99"/>)"},
        {"three decimals, halves to even",
         R"([{"name": "v", "missingValues": [0.0625, -0.0004, 1000000]}])", u"missingValue",
         R"(<missingValue data="0.062"/><missingValue data="-0"/><missingValue data="1000000"/>)"},
        // The neighbours of the open ends, and -DBL_MAX one step below "lowest".
        {"the words only by exact bits",
         R"([{"name": "v", "missingValues": [-1.7976931348623153e308, 1.7976931348623155e308,
                                             -1.7976931348623157e308]}])",
         u"missingValue",
         R"(<missingValue data="-179769313486231530000)" + zeros +
             R"("/><missingValue data="179769313486231550000)" + zeros +
             R"("/><missingValue data="-179769313486231570000)" + zeros + "\"/>"},
        {"numeric value labels in the order given",
         R"([{"name": "v", "valueLabels": [[1.5, "one and a half"], [2.0, "two"],
                                           [0.3333, "a third"], [1234567.25, "big"]]}])",
         u"valueLabelSet",
         R"(<valueLabelSet><valueLabel label="one and a half" value="1.5"/>)"
         R"(<valueLabel label="two" value="2"/><valueLabel label="a third" value="0.333"/>)"
         R"(<valueLabel label="big" value="1234567.25"/><valueLabelVariable name="v"/>)"
         R"(</valueLabelSet>)"},
        {"weight in the source's spelling", R"([{"name": "a"}, {"name": "wgt"}], "weight": "WGT")",
         u"weightVariable", R"(<weightVariable name="wgt"/>)"},
        {"plain sets skip unknown members",
         R"([{"name": "age"}, {"name": "sex"}], "variableSets": [
             {"name": "demo", "variables": ["age", "SEX", "nosuch"]},
             {"name": "nothing known", "variables": ["nosuch"]}])",
         u"variableSet",
         R"(<variableSet name="demo"><variableSetVariable name="age"/>)"
         R"(<variableSetVariable name="sex"/></variableSet><variableSet name="nothing known"/>)"},
        // A label from a variable replaces the set's own; only a dichotomy counts a value.
        {"multiple-response sets",
         R"([{"name": "shop1"}, {"name": "shop2"}], "multipleResponseSets": [
             {"name": "shops", "type": "dichotomy", "countedValue": 1,
              "categoryLabels": "countedValues", "label": "Shops visited",
              "variables": ["shop1", "SHOP2"]},
             {"name": "brands", "type": "category", "labelFromVariable": true,
              "label": "ignored", "countedValue": "ignored", "variables": ["shop2"]},
             {"name": "uncounted", "type": "dichotomy", "variables": []}])",
         u"multipleResponseSet",
         R"(<multipleResponseSet name="shops">)"
         R"(<multipleResponseSetCategoryLabels value="countedValues"/>)"
         R"(<multipleResponseSetDichotomy value="1"/>)"
         R"(<multipleResponseSetLabel value="Shops visited"/>)"
         R"(<multipleResponseSetVariable name="shop1"/><multipleResponseSetVariable name="shop2"/>)"
         R"(</multipleResponseSet><multipleResponseSet name="brands">)"
         R"(<multipleResponseSetLabelSource value="variableLabel"/>)"
         R"(<multipleResponseSetVariable name="shop2"/></multipleResponseSet>)"
         R"(<multipleResponseSet name="uncounted">)"
         R"(<multipleResponseSetCategoryLabels value="variableLabels"/></multipleResponseSet>)"},
        {"custom attributes of a variable, then of the source",
         R"([{"name": "v", "attributesVersion": 4294967295, "attributes": [
             {"name": "$Kind", "values": ["x1"]}, {"name": "Origin", "values": ["A", "B"]}]}],
             "attributes": [{"name": "$", "values": [""]}])",
         u"attributeSet",
         R"(<attributeSet version="4294967295"><attribute name="$Kind" type="system">)"
         R"(<attributeValue value="x1"/></attribute><attribute name="Origin" type="user">)"
         R"(<attributeValue value="A"/><attributeValue value="B"/></attribute></attributeSet>)"
         R"(<attributeSet version="1"><attribute name="$" type="system">)"
         R"(<attributeValue value=""/></attribute></attributeSet>)"},
        // Types the dictionary has no use for are left out.
        {"extension records by type",
         R"([], "extensions": [{"type": 15, "elementSize": 2, "data": "000F"},
             {"type": 12, "elementSize": 8, "data": "0123456789abcdef"},
             {"type": 3, "elementSize": 4, "data": "01000000FF000000"},
             {"type": 2, "data": ""}, {"type": 5, "data": "55"}, {"type": 16, "data": "55"}])",
         u"extension",
         R"(<extension data="" elementSize="1" length="0" type="2"/>)"
         R"(<extension data="01000000FF000000" elementSize="4" length="2" type="3"/>)"
         R"(<extension data="0123456789ABCDEF" elementSize="8" length="1" type="12"/>)"
         R"(<extension data="000F" elementSize="2" length="1" type="15"/>)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DocumentPtr d = build(*load(R"({"variables": )" + row.json + "}"));
        EXPECT_EQ(xmlOf(d.get(), row.tag), row.xml);
    }
}

// String values end at their first blank; missing values also at the width and at 8 bytes, label
// values never. The loader refuses values over the width, so these come from host calls.
TEST_F(DictionaryTest, StringMissingValuesAndLabelValuesAreCut) {
    VORN_Variable narrow("narrow", 3);
    const OBS cutByWidth[] = {StringOBS("ABCDEFGH"), StringOBS(" X")};
    ASSERT_TRUE(narrow.SetMissingValues(2, cutByWidth));
    narrow.AddValueLabel("N   ", "blank padded");
    narrow.AddValueLabel("New York", "two words");
    narrow.AddValueLabel("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "long");
    VORN_Variable wide("wide", 20);
    const OBS full[] = {StringOBS("ABCDEFGH"), StringOBS("NA      "), StringOBS("N A")};
    ASSERT_TRUE(wide.SetMissingValues(3, full));
    VORN_DataSource source;
    source.AddVariable(narrow);
    source.AddVariable(wide);
    DocumentPtr d = build(source);
    EXPECT_EQ(xmlOf(d.get(), u"missingValue"),
              R"(<missingValue data="ABC"/><missingValue data=""/><missingValue data="ABCDEFGH"/>)"
              R"(<missingValue data="NA"/><missingValue data="N"/>)");
    EXPECT_EQ(xmlOf(d.get(), u"valueLabel"),
              R"(<valueLabel label="blank padded" value="N"/>)"
              R"(<valueLabel label="two words" value="New"/>)"
              R"(<valueLabel label="long" value="ABCDEFGHIJKLMNOPQRSTUVWXYZ"/>)");
}

// Texts no code page should hand over: bytes the host's code page does not define, a NUL inside
// a text, control characters XML 1.0 cannot hold, and an unpaired surrogate in the three-byte form
// a UTF-8 host can carry. The build always completes; the serializer either writes text that
// parses back or reports the failure flag. Undefined bytes become U+FFFD, except that a double-byte
// code page substitutes U+001A (a control character) for a broken lead byte. The first row is good
// text, from a windows-1252 host.
TEST_F(DictionaryTest, BadTextsBuildAndOnlyTheSerializerFails) {
    struct Row {
        const char* codePage;
        std::string text;
        bool writable;
        const char* label;  // the label read back, when checked
    };
    const std::vector<Row> rows = {
        {"windows-1252", "\x80 \x96 \xF6\xDF", true, "\u20AC \u2013 \u00F6\u00DF"},
        {nullptr, "caf\xC3\xA9 \xFF\xFE \xC3", true, "caf\u00E9 \uFFFD\uFFFD \uFFFD"},
        {nullptr, std::string("before\0after", 12), true, "before"},
        {nullptr, "tab\tnew\nline", true, "tab\tnew\nline"},
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
        VORN_DataSource source;
        source.AddVariable(v);
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
            const std::u16string xml = take(form == 0 ? value.asUTF16XML(st) : value.asMBCSXML(st));
            EXPECT_EQ(st.failure(), !row.writable) << form;
            EXPECT_FALSE(xml.empty()) << form;
            EXPECT_TRUE(!row.writable || parseXml(xml) != nullptr) << form;
        }
    }
}

}  // namespace
