// The sections: variables, formats, missing values, value labels, weight,
// sets, custom attributes and extension records, with their words and their
// number and text rules.
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dictionary/DictionaryFixture.h"
#include "support/LocaleGuard.h"

XERCES_CPP_NAMESPACE_USE

namespace {

double fromBits(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The data of each missingValue of the only variable, with its type after a
// slash when it has one.
std::vector<std::string> missingValues(const DOMDocument* d) {
    std::vector<std::string> out;
    const DOMElement* v = children(d->getDocumentElement(), "variable").at(0);
    for (DOMElement* m : children(v, "missingValue")) {
        std::string text = hasAttr(m, "data") ? attr(m, "data") : "(none)";
        if (hasAttr(m, "type")) text += "/" + attr(m, "type");
        out.push_back(text);
    }
    return out;
}

// value=label of every valueLabel of the first value-label set.
std::vector<std::string> valueLabels(const DOMDocument* d) {
    std::vector<std::string> out;
    const DOMElement* set = children(d->getDocumentElement(), "valueLabelSet").at(0);
    for (DOMElement* l : children(set, "valueLabel"))
        out.push_back(attr(l, "value") + "=" + attr(l, "label"));
    return out;
}

VORN_DataSource oneVariable(const VORN_Variable& v) {
    VORN_DataSource source;
    source.AddVariable(v);
    return source;
}

TEST_F(DictionaryTest, VariableAttributesAndWords) {
    struct Row {
        int type, alignment, level, displayWidth;
        bool label;
        const char* labelText;
        const char* typeText;
        const char* alignmentWord;
        const char* levelWord;
        const char* widthText;
    };
    const Row rows[] = {
        {0, 0, 0, 8, false, "", "0", "left", "unknown", "8"},
        {8, 1, 1, -1, true, "", "8", "right", "nominal", "-1"},
        {255, 2, 2, 32767, true, "x", "255", "center", "ordinal", "32767"},
        {0, 3, 3, -32768, true, "y", "0", "", "scale", "-32768"},
        {0, -1, 4, 0, true, "z", "0", "", "", "0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typeText + std::string("/") + row.alignmentWord + "/" + row.levelWord);
        VORN_Variable var("v", row.type);
        var.SetAlignment(static_cast<VORN_Variable::Alignment>(row.alignment));
        var.SetMeasurementLevel(static_cast<VORN_Variable::MeasurementLevel>(row.level));
        var.SetDisplayWidth(static_cast<short>(row.displayWidth));
        if (row.label) var.SetLabel(row.labelText);
        DocumentPtr d = build(oneVariable(var));
        const DOMElement* v = children(d->getDocumentElement(), "variable").at(0);
        EXPECT_EQ(hasAttr(v, "label"), row.label);
        EXPECT_EQ(attr(v, "label"), row.labelText);
        EXPECT_EQ(attr(v, "type"), row.typeText);
        EXPECT_EQ(attr(v, "alignment"), row.alignmentWord);
        EXPECT_TRUE(hasAttr(v, "alignment"));
        EXPECT_EQ(attr(v, "measurementLevel"), row.levelWord);
        EXPECT_EQ(attr(v, "displayWidth"), row.widthText);
    }
}

TEST_F(DictionaryTest, FormatNames) {
    struct Row {
        int code;
        const char* name;
    };
    const Row rows[] = {{1, "A"},        {5, "F"},    {7, "IBHEX"}, {12, "RBHEX"}, {13, ""},
                        {14, ""},        {15, "Z"},   {17, "E"},    {18, ""},      {20, "DATE"},
                        {31, "PERCENT"}, {32, "DOT"}, {33, "CCA"},  {40, "G"},     {41, "LNUMBER"},
                        {53, "LCJ"},     {54, ""},    {84, ""},     {85, "MTIME"}, {86, "YMDHMS"},
                        {87, ""},        {0, ""},     {-5, ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        VORN_Variable var("v");
        var.SetFormat(static_cast<VORN_Variable::FormatType>(row.code), 12, 3);
        var.SetWriteFormat(VORN_Variable::FormatF, -4, 0);
        DocumentPtr d = build(oneVariable(var));
        const DOMElement* v = children(d->getDocumentElement(), "variable").at(0);
        const DOMElement* f = children(v, "variableFormat").at(0);
        EXPECT_TRUE(hasAttr(f, "type"));
        EXPECT_EQ(attr(f, "type"), row.name);
        EXPECT_EQ(attr(f, "width"), "12");
        EXPECT_EQ(attr(f, "decimals"), "3");
        EXPECT_EQ(attr(children(v, "variableWriteFormat").at(0), "width"), "-4");
    }
}

TEST_F(DictionaryTest, NumericMissingValues) {
    const double lowest = fromBits(0xFFEFFFFFFFFFFFFEull);
    const double highest = fromBits(0x7FEFFFFFFFFFFFFFull);
    struct Row {
        const char* what;
        int count;
        std::vector<double> values;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"discrete", 2, {9, 99}, {"9", "99"}},
        {"range and value", -3, {1, 5, 99}, {"1/lowerBound", "5/upperBound", "99"}},
        {"open low end", -2, {lowest, 0}, {"lowest/lowerBound", "0/upperBound"}},
        {"open high end", -2, {100, highest}, {"100/lowerBound", "highest/upperBound"}},
        {"decimal text", 3, {0.12345, -2.5, 1000000}, {"0.123", "-2.5", "1000000"}},
        {"halves round to even", 3, {0.0625, 0.0635, -0.0004}, {"0.062", "0.064", "-0"}},
        {"the words only by exact bits",
         2,
         {fromBits(0xFFEFFFFFFFFFFFFDull), fromBits(0x7FEFFFFFFFFFFFFEull)},
         {"-179769313486231530000" + std::string(288, '0'),
          "179769313486231550000" + std::string(288, '0')}},
        {"none", 0, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<OBS> obs;
        for (double value : row.values) obs.push_back(NumericOBS(value));
        VORN_Variable var("v");
        ASSERT_TRUE(var.SetMissingValues(row.count, obs.data()));
        DocumentPtr d = build(oneVariable(var));
        EXPECT_EQ(missingValues(d.get()), row.expected);
    }
    // The most negative finite double is not "lowest": it is written in
    // full, as ICU gives its digits.
    VORN_Variable var("v");
    const OBS most = NumericOBS(-DBL_MAX);
    var.SetMissingValues(1, &most);
    DocumentPtr d = build(oneVariable(var));
    const std::string text = missingValues(d.get()).at(0);
    EXPECT_EQ(text.size(), 310u);
    EXPECT_EQ(text.rfind("-17976931348623157", 0), 0u) << text;
    EXPECT_EQ(text.find_first_not_of("0123456789", 1), std::string::npos) << text;
}

TEST_F(DictionaryTest, StringMissingValuesAndLabelValuesAreCut) {
    struct Row {
        int width;
        std::vector<std::string> missing;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {8, {"NA      ", "N A", " X"}, {"NA", "N", ""}},
        {3, {"ABC", "ABCDEFGH"}, {"ABC", "ABC"}},
        {20, {"ABCDEFGH"}, {"ABCDEFGH"}},  // never more than the 8 bytes a value holds
        {1, {"YZ"}, {"Y"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.width);
        std::vector<OBS> obs;
        for (const std::string& text : row.missing) obs.push_back(StringOBS(text));
        VORN_Variable var("s", row.width);
        ASSERT_TRUE(var.SetMissingValues(static_cast<int>(obs.size()), obs.data()));
        var.AddValueLabel("N   ", "blank padded");
        var.AddValueLabel("New York", "two words");
        var.AddValueLabel("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "long");
        var.AddValueLabel("", "empty");
        DocumentPtr d = build(oneVariable(var));
        EXPECT_EQ(missingValues(d.get()), row.expected);
        EXPECT_EQ(valueLabels(d.get()),
                  (std::vector<std::string>{"N=blank padded", "New=two words",
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZ=long", "=empty"}));
    }
}

TEST_F(DictionaryTest, NumericValueLabelsAndWeight) {
    VORN_Variable sex("sex");
    sex.AddValueLabel(1, "Male");
    sex.AddValueLabel(2, "Female");
    VORN_Variable scores("scores");
    scores.AddValueLabel(1.5, "one and a half");
    scores.AddValueLabel(2.0, "two");
    scores.AddValueLabel(0.3333, "a third");
    VORN_DataSource source;
    source.AddVariable(VORN_Variable("id"));
    source.AddVariable(sex);
    source.AddVariable(VORN_Variable("wgt"));
    source.AddVariable(scores);
    ASSERT_TRUE(source.SetWeightVarIndex(2));
    DocumentPtr d = build(source);
    const DOMElement* root = d->getDocumentElement();
    EXPECT_EQ(childNames(root),
              (std::vector<std::string>{"variable", "variable", "variable", "variable",
                                        "weightVariable", "valueLabelSet", "valueLabelSet"}));
    EXPECT_EQ(attr(children(root, "weightVariable").at(0), "name"), "wgt");
    const std::vector<DOMElement*> sets = children(root, "valueLabelSet");
    EXPECT_EQ(childNames(sets[0]),
              (std::vector<std::string>{"valueLabel", "valueLabel", "valueLabelVariable"}));
    EXPECT_EQ(valueLabels(d.get()), (std::vector<std::string>{"1=Male", "2=Female"}));
    EXPECT_EQ(attr(children(sets[0], "valueLabelVariable").at(0), "name"), "sex");
    std::vector<std::string> second;
    for (DOMElement* l : children(sets[1], "valueLabel")) second.push_back(attr(l, "value"));
    EXPECT_EQ(second, (std::vector<std::string>{"1.5", "2", "0.333"}));
}

TEST_F(DictionaryTest, DecimalTextIgnoresTheNumericLocale) {
    LocaleGuard numeric(LC_NUMERIC, "de_DE.UTF-8");
    SKIP_UNLESS_ACTIVE(numeric);
    VORN_Variable var("v");
    const OBS half = NumericOBS(2.5);
    var.SetMissingValues(1, &half);
    var.AddValueLabel(1234567.25, "big");
    var.SetDisplayWidth(1234);
    VORN_DataSource source = oneVariable(var);
    source.SetRowCount(1234567);
    DocumentPtr d = build(source);
    EXPECT_EQ(missingValues(d.get()), std::vector<std::string>{"2.5"});
    EXPECT_EQ(valueLabels(d.get()), std::vector<std::string>{"1234567.25=big"});
    // Integer text follows that locale, which groups no digits under "#0.###".
    EXPECT_EQ(attr(d->getDocumentElement(), "rowCount"), "1234567");
    EXPECT_EQ(attr(children(d->getDocumentElement(), "variable").at(0), "displayWidth"), "1234");
}

TEST_F(DictionaryTest, VariableSetsSkipUnknownMembers) {
    VORN_DataSource source;
    for (const char* name : {"age", "sex", "shop1", "shop2"})
        source.AddVariable(VORN_Variable(name));
    VariableSet demo("demo");
    demo.SetVariableNames({"age", "SEX", "nosuch"});
    source.AddVariableSet(demo);
    VariableSet empty("nothing known");
    empty.SetVariableNames({"nosuch"});
    source.AddVariableSet(empty);
    VariableSet shops("shops", VariableSet::DichotomySet);
    shops.SetValue("1");
    shops.SetUseVariableCategoryLabels(true);
    shops.SetLabel("Shops visited");
    shops.SetVariableNames({"shop1", "shop2"});
    source.AddMultipleResponseSet(shops);
    VariableSet brands("brands", VariableSet::CategorySet);
    brands.SetLabelSetByVariable(true);
    brands.SetLabel("ignored: the label comes from a variable");
    brands.SetValue("ignored: not a dichotomy");
    brands.SetVariableNames({"shop2"});
    source.AddMultipleResponseSet(brands);
    VariableSet uncounted("uncounted", VariableSet::DichotomySet);
    source.AddMultipleResponseSet(uncounted);

    DocumentPtr d = build(source);
    const DOMElement* root = d->getDocumentElement();
    const std::vector<DOMElement*> plain = children(root, "variableSet");
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(attr(plain[0], "name"), "demo");
    std::vector<std::string> members;
    for (DOMElement* m : children(plain[0], "variableSetVariable"))
        members.push_back(attr(m, "name"));
    EXPECT_EQ(members, (std::vector<std::string>{"age", "sex"}));  // the source's own spelling
    EXPECT_TRUE(childElements(plain[1]).empty());

    const std::vector<DOMElement*> mr = children(root, "multipleResponseSet");
    ASSERT_EQ(mr.size(), 3u);
    EXPECT_EQ(
        childNames(mr[0]),
        (std::vector<std::string>{"multipleResponseSetCategoryLabels",
                                  "multipleResponseSetDichotomy", "multipleResponseSetLabel",
                                  "multipleResponseSetVariable", "multipleResponseSetVariable"}));
    const std::vector<DOMElement*> shopChildren = childElements(mr[0]);
    EXPECT_EQ(attr(shopChildren[0], "value"), "countedValues");
    EXPECT_EQ(attr(shopChildren[1], "value"), "1");
    EXPECT_EQ(attr(shopChildren[2], "value"), "Shops visited");
    EXPECT_EQ(attr(shopChildren[4], "name"), "shop2");
    EXPECT_EQ(childNames(mr[1]), (std::vector<std::string>{"multipleResponseSetLabelSource",
                                                           "multipleResponseSetVariable"}));
    EXPECT_EQ(attr(childElements(mr[1])[0], "value"), "variableLabel");
    EXPECT_EQ(childNames(mr[2]), std::vector<std::string>{"multipleResponseSetCategoryLabels"});
    EXPECT_EQ(attr(childElements(mr[2])[0], "value"), "variableLabels");
}

TEST_F(DictionaryTest, CustomAttributes) {
    VORN_Variable v("v");
    const OBS nine = NumericOBS(9);
    v.SetMissingValues(1, &nine);
    DatasourceAttributes own;
    own.version = 4294967295u;
    own.AddAttribute("$Kind", {"x1"});
    own.AddAttribute("Origin", {"A", "B"});
    own.AddAttribute("", {});
    v.SetAttributes(own);
    VORN_DataSource source = oneVariable(v);
    source.AddAttribute("$", {""});
    source.SetExtension(1, 1, {0xAB});
    DocumentPtr d = build(source);
    const DOMElement* root = d->getDocumentElement();
    EXPECT_EQ(childNames(root),
              (std::vector<std::string>{"variable", "attributeSet", "extension"}));
    const DOMElement* var = children(root, "variable").at(0);
    EXPECT_EQ(childNames(var), (std::vector<std::string>{"variableFormat", "variableWriteFormat",
                                                         "missingValue", "attributeSet"}));
    const DOMElement* set = children(var, "attributeSet").at(0);
    EXPECT_EQ(attr(set, "version"), "4294967295");
    const std::vector<DOMElement*> attributes = children(set, "attribute");
    ASSERT_EQ(attributes.size(), 3u);
    struct Expected {
        const char* name;
        const char* type;
        std::vector<std::string> values;
    };
    const Expected expected[] = {
        {"$Kind", "system", {"x1"}}, {"Origin", "user", {"A", "B"}}, {"", "user", {}}};
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(attr(attributes[i], "name"), expected[i].name);
        EXPECT_EQ(attr(attributes[i], "type"), expected[i].type);
        std::vector<std::string> values;
        for (DOMElement* value : children(attributes[i], "attributeValue"))
            values.push_back(attr(value, "value"));
        EXPECT_EQ(values, expected[i].values);
    }
    const DOMElement* file = children(root, "attributeSet").at(0);
    EXPECT_EQ(attr(file, "version"), "1");
    EXPECT_EQ(attr(children(file, "attribute").at(0), "type"), "system");
}

TEST_F(DictionaryTest, ExtensionRecords) {
    VORN_DataSource source;
    ASSERT_TRUE(source.SetExtension(15, 2, {0x00, 0x0F}));
    ASSERT_TRUE(source.SetExtension(3, 4, {0x01, 0, 0, 0, 0xFF, 0, 0, 0}));
    ASSERT_TRUE(source.SetExtension(2, 1, {}));
    for (int ignored : {5, 7, 11, 13, 16, 0, -1}) source.SetExtension(ignored, 1, {0x55});
    DocumentPtr d = build(source);
    const std::vector<DOMElement*> x = children(d->getDocumentElement(), "extension");
    ASSERT_EQ(x.size(), 3u);
    struct Expected {
        const char *type, *elementSize, *length, *data;
    };
    const Expected expected[] = {
        {"2", "1", "0", ""}, {"3", "4", "2", "01000000FF000000"}, {"15", "2", "1", "000F"}};
    for (std::size_t i = 0; i < x.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(attr(x[i], "type"), expected[i].type);
        EXPECT_EQ(attr(x[i], "elementSize"), expected[i].elementSize);
        EXPECT_EQ(attr(x[i], "length"), expected[i].length);
        EXPECT_TRUE(hasAttr(x[i], "data"));
        EXPECT_EQ(attr(x[i], "data"), expected[i].data);
    }

    std::vector<unsigned char> all;
    std::string hex;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<unsigned char>(b));
        hex += "0123456789ABCDEF"[b >> 4];
        hex += "0123456789ABCDEF"[b & 15];
    }
    VORN_DataSource bytes;
    bytes.SetExtension(12, 256, all);
    DocumentPtr e = build(bytes);
    EXPECT_EQ(attr(children(e->getDocumentElement(), "extension").at(0), "data"), hex);
}

TEST_F(DictionaryTest, TextsFromAWindowsCodePageArriveIntact) {
    HostTextMode codePage("windows-1252");
    // \xE9 is U+00E9, \x80 the euro sign, \x96 an en dash in windows-1252.
    VORN_Variable v("caf\xE9");
    v.SetLabel(
        "Preis in \x80 \x96 gr\xF6\xDF"
        "e");
    v.AddValueLabel(1, "\xE9t\xE9");
    v.AddAttribute("\xA7note", {"\xBD"});
    VORN_DataSource source = oneVariable(v);
    VariableSet set("S\xE4tze");
    set.SetVariableNames({"CAF\xC9"});
    source.AddVariableSet(set);
    DocumentPtr d = build(source);
    const DOMElement* root = d->getDocumentElement();
    const DOMElement* var = children(root, "variable").at(0);
    EXPECT_EQ(attr(var, "name"), "caf\u00E9");
    EXPECT_EQ(attr(var, "label"), "Preis in \u20AC \u2013 gr\u00F6\u00DFe");
    EXPECT_EQ(valueLabels(d.get()), std::vector<std::string>{"1=\u00E9t\u00E9"});
    const DOMElement* attribute = children(children(var, "attributeSet").at(0), "attribute").at(0);
    EXPECT_EQ(attr(attribute, "name"), "\u00A7note");
    EXPECT_EQ(attr(children(attribute, "attributeValue").at(0), "value"), "\u00BD");
    const DOMElement* plain = children(root, "variableSet").at(0);
    EXPECT_EQ(attr(plain, "name"), "S\u00E4tze");
    EXPECT_EQ(attr(children(plain, "variableSetVariable").at(0), "name"), "caf\u00E9");
}

}  // namespace
