#include "VornJsonSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "support/HostTextMode.h"

namespace {

std::unique_ptr<VORN_DataSource> Load(const std::string& text) {
    std::string error;
    std::unique_ptr<VORN_DataSource> ds = LoadDataSourceJSONText(text, "t.json", error);
    EXPECT_TRUE(ds) << error;
    EXPECT_EQ(error, "");
    return ds;
}

std::string Error(const std::string& text) {
    std::string error;
    EXPECT_FALSE(LoadDataSourceJSONText(text, "t.json", error));
    return error;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, out.empty() ? "%02X" : " %02X", c);
        out += b;
    }
    return out;
}

TEST(VornJsonSource, VariableSection) {
    auto ds = Load(R"({"variables": [
        {"name": "a", "label": "L", "width": 0, "alignment": "center", "measurementLevel": 3,
         "displayWidth": -1, "format": "comma10.3", "writeFormat": {"type": 13, "width": 4}},
        {"name": "s", "width": 3, "alignment": 7, "format": "A3",
         "attributes": [{"name": "$x", "values": ["1", "2"]}], "attributesVersion": 4294967295}]})");
    ASSERT_TRUE(ds);
    const VORN_Variable& a = ds->GetVariable(0);
    EXPECT_STREQ(a.GetLabel(), "L");
    EXPECT_EQ(a.GetAlignment(), VORN_Variable::AlignCenter);
    EXPECT_EQ(a.GetMeasurementLevel(), VORN_Variable::MeasureScale);
    EXPECT_EQ(a.GetDisplayWidth(), -1);
    VORN_Variable::FormatType code;
    int w, d;
    a.GetFormatEx(code, w, d);
    EXPECT_EQ(code, VORN_Variable::FormatCOMMA);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(d, 3);
    a.GetWriteFormatEx(code, w, d);
    EXPECT_EQ(code, 13);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(d, 0);
    const VORN_Variable& s = ds->GetVariable(1);
    EXPECT_EQ(s.GetType(), 3);
    EXPECT_EQ(s.GetAlignment(), 7);
    s.GetWriteFormatEx(code, w, d);  // follows the print format
    EXPECT_EQ(code, VORN_Variable::FormatA);
    EXPECT_EQ(s.GetAttributes().version, 4294967295u);
    EXPECT_EQ(s.GetAttributes().Values(0), (std::vector<std::string>{"1", "2"}));
}

TEST(VornJsonSource, MissingValueAndLabelSections) {
    auto ds = Load(R"({"variables": [
        {"name": "n", "missingValues": {"low": 1, "high": "highest", "value": -2.5},
         "valueLabels": [[2, "two"], [1.5, "one and a half"], ["lowest", "bottom"]]},
        {"name": "s", "width": 4, "missingValues": ["NA", ""],
         "valueLabels": [["ABCD", "four"], ["N", "new"]]}]})");
    ASSERT_TRUE(ds);
    const OBS* p[3];
    ASSERT_EQ(ds->GetVariable(0).GetMissingValues(p[0], p[1], p[2]), -3);
    EXPECT_EQ(p[1]->number, VORNHighestValue());
    EXPECT_EQ(p[2]->number, -2.5);
    VORN_ValueLabelMap numeric(ds->GetVariable(0).GetValueLabels());
    double value;
    const char* label;
    std::vector<double> values;
    while (numeric.GetNextPair(value, label)) values.push_back(value);
    EXPECT_EQ(values, (std::vector<double>{2, 1.5, VORNLowestValue()}));
    ASSERT_EQ(ds->GetVariable(1).GetMissingValues(p[0], p[1], p[2]), 2);
    EXPECT_EQ(std::string(p[1]->text, 8), "        ");
    VORN_ValueLabelMap text(ds->GetVariable(1).GetValueLabels());
    std::string s;
    ASSERT_NE(text.GetNextPair(s, label), 0);
    EXPECT_EQ(s, "ABCD");
    EXPECT_STREQ(label, "four");
}

TEST(VornJsonSource, FileSections) {
    auto ds = Load(R"({"variables": [{"name": "Age"}, {"name": "w"}],
        "rowCount": 3000000000, "timestamp": 1.5e9, "weight": "W",
        "variableSets": [{"name": "demo", "variables": ["AGE", "nosuch"]}],
        "multipleResponseSets": [{"name": "m", "type": 5, "countedValue": "yes",
            "categoryLabels": "variableLabels", "label": "Label", "labelFromVariable": false,
            "variables": []}],
        "attributes": [{"name": "Origin", "values": []}], "attributesVersion": 0,
        "extensions": [{"type": 9, "data": "0aFf"}, {"type": 2, "elementSize": 2, "data": ""}]})");
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetRowCount(), 3000000000LL);
    EXPECT_EQ(ds->GetTimestamp(), 1.5e9);
    EXPECT_EQ(ds->GetWeightVarIndex(), 1);
    std::vector<VariableSet> plain = VariableSets(*ds, PlainVariableSets);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].GetVariableNames(VariableSet::KeepCase),
              (std::vector<std::string>{"AGE", "nosuch"}));
    std::vector<VariableSet> mr = VariableSets(*ds, MultipleResponseSets);
    ASSERT_EQ(mr.size(), 1u);
    EXPECT_EQ(mr[0].GetType(), 5);
    EXPECT_EQ(mr[0].GetValue(), "yes");
    EXPECT_EQ(mr[0].GetLabel(), "Label");
    EXPECT_FALSE(mr[0].qUseVariableCategoryLabels());
    EXPECT_EQ(ds->GetAttributes().version, 0u);
    EXPECT_TRUE(ds->GetAttributes().Values(0).empty());
    VORN_DataSource::Extension x(*ds, 9);
    ASSERT_EQ(x.Length(), 2);
    unsigned char b[2];
    x.GetNext(b, 2);
    EXPECT_EQ(b[0], 0x0A);
    EXPECT_EQ(b[1], 0xFF);
    EXPECT_EQ(VORN_DataSource::Extension(*ds, 2).ElementSize(), 2);
}

TEST(VornJsonSource, EveryErrorNamesItsPlace) {
    struct Row {
        const char* what;
        const char* json;
        const char* message;  // a fragment of the error line
    };
    const Row rows[] = {
        {"syntax error", "{\"variables\": [}", "t.json:1:16: syntax error"},
        {"top level", "[]", "t.json: the top level must be an object"},
        {"missing variables", "{}", "t.json: the key \"variables\" is required"},
        {"unknown top key", R"({"variables": [], "rowcount": 1})", "t.json: rowcount: unknown key"},
        {"duplicate key", R"({"variables": [{"name": "a"}, {"name": "b", "name": "c"}]})",
         "variables[1].name: the key \"name\" occurs twice"},
        {"wrong type", R"({"variables": [{"name": 5}]})", "variables[0].name: expected a string"},
        {"width range", R"({"variables": [{"name": "a", "width": -1}]})",
         "variables[0].width: expected an integer from 0 to 32767, got -1"},
        {"duplicate name", R"({"variables": [{"name": "age"}, {"name": "AGE"}]})",
         "variables[1].name: the name \"AGE\" is taken, ignoring letter case, by variables[0]"},
        {"weight unknown", R"({"variables": [{"name": "a"}], "weight": "b"})",
         "t.json: weight: no variable is named \"b\""},
        {"weight string", R"({"variables": [{"name": "a", "width": 2}], "weight": "a"})",
         "weight: \"a\" is a string variable"},
        {"numeric value of the wrong kind",
         R"({"variables": [{"name": "a"}, {"name": "b", "missingValues": [1, "x"]}]})",
         "variables[1].missingValues[1]: expected a number, \"lowest\" or \"highest\""},
        {"string missing value over 8 bytes",
         R"({"variables": [{"name": "s", "width": 20, "missingValues": ["123456789"]}]})",
         "missingValues[0]: \"123456789\" is 9 bytes long; a string missing value holds at most 8"},
        {"string value over the width",
         R"({"variables": [{"name": "s", "width": 2, "valueLabels": [["abc", "x"]]}]})",
         "valueLabels[0][0]: \"abc\" is 3 bytes long, longer than the variable's width of 2"},
        {"four discrete values", R"({"variables": [{"name": "a", "missingValues": [1, 2, 3, 4]}]})",
         "missingValues: at most three"},
        {"reversed range", R"({"variables": [{"name": "a", "missingValues": {"low": 5, "high": 1}}]})",
         "missingValues: the low end 5 is above the high end 1"},
        {"duplicate label value", R"({"variables": [{"name": "a", "valueLabels": [[1, "x"], [1.0, "y"]]}]})",
         "valueLabels[1][0]: the value 1 is labelled already, in variables[0].valueLabels[0]"},
        {"bad format", R"({"variables": [{"name": "a", "format": "F8.x"}]})",
         "format: \"F8.x\" is not a format"},
        {"unknown format", R"({"variables": [{"name": "a", "writeFormat": "Q8"}]})",
         "writeFormat: unknown format type \"Q\""},
        {"alignment word", R"({"variables": [{"name": "a", "alignment": "middle"}]})",
         "alignment: \"middle\" is not one of \"left\", \"right\", \"center\""},
        {"negative rows", R"({"variables": [], "rowCount": -5})", "rowCount: expected an integer of 0 or more, got -5"},
        {"bad timestamp", R"({"variables": [], "timestamp": "2026-02-30T00:00:00Z"})",
         "timestamp: expected seconds since"},
        {"version range", R"({"variables": [], "attributesVersion": 4294967296})",
         "attributesVersion: expected an integer from 0 to 4294967295"},
        {"duplicate attribute", R"({"variables": [], "attributes": [{"name": "a", "values": []}, {"name": "a", "values": []}]})",
         "attributes[1].name: the name \"a\" is taken by attributes[0]"},
        {"set type", R"({"variables": [], "multipleResponseSets": [{"name": "m", "type": "both", "variables": []}]})",
         "multipleResponseSets[0].type: expected \"category\", \"dichotomy\" or a code"},
        {"duplicate set", R"({"variables": [], "variableSets": [{"name": "s", "variables": []}, {"name": "S", "variables": []}]})",
         "variableSets[1].name: another set is named \"S\""},
        {"odd hex", R"({"variables": [], "extensions": [{"type": 3, "data": "ABC"}]})",
         "extensions[0].data: the hex text has an odd number of digits (3)"},
        {"partial element", R"({"variables": [], "extensions": [{"type": 3, "elementSize": 4, "data": "0000"}]})",
         "extensions[0]: 2 bytes are not a whole number of 4-byte elements"},
        {"NUL in a text", R"({"variables": [{"name": "a\u0000b"}]})", "a text cannot hold a NUL"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string error = Error(row.json);
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(error.compare(0, 6, "t.json"), 0) << error;
    }
}

TEST(VornJsonSource, FilesThatCannotBeRead) {
    std::string error;
    EXPECT_FALSE(LoadDataSourceJSON("/nonexistent/x.json", error));
    EXPECT_EQ(error, "/nonexistent/x.json: cannot be opened: No such file or directory");
    EXPECT_FALSE(LoadDataSourceJSON(TRANSSPACE_SOURCE_DIR, error));
    EXPECT_NE(error.find(": cannot be read"), std::string::npos) << error;
}

TEST(VornJsonSource, TextsArriveInTheHostCodePage) {
    const std::string json = R"({"variables": [{"name": "h", "label": "Gr\u00f6\u00dfe"}]})";
    {
        HostTextMode mode("windows-1252");
        auto ds = Load(json);
        ASSERT_TRUE(ds);
        EXPECT_EQ(Hex(ds->GetVariable(0).GetLabel()), "47 72 F6 DF 65");
    }
    {
        HostTextMode mode(nullptr);
        auto ds = Load(json);
        ASSERT_TRUE(ds);
        EXPECT_STREQ(ds->GetVariable(0).GetLabel(), "Gr\xC3\xB6\xC3\x9F" "e");
    }
    {
        HostTextMode mode("US-ASCII");
        EXPECT_EQ(Error(json), "t.json: variables[0].label: the character U+00F6 cannot be held "
                               "in the code page \"US-ASCII\"");
    }
    {
        HostTextMode mode("no-such-code-page");
        EXPECT_EQ(Error(json), "t.json: the host code page \"no-such-code-page\" cannot be opened");
    }
}

}  // namespace
