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
        {"control characters in a key", R"({"variables": [], "row\ncount\u007f": 1})",
         "t.json: row\\u000Acount\\u007F: unknown key"},
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
