#include "VornJsonSource.h"

#include <gtest/gtest.h>

#include "support/HostTextMode.h"
#include "support/TextHelpers.h"

namespace {

// Each refusal is one line that starts with the file name and names the place.
TEST(VornJsonSource, EveryErrorNamesItsPlace) {
    struct Row {
        const char* json;
        const char* message;  // a fragment of the error line
    };
    const Row rows[] = {
        {"{\"variables\": [}", "t.json:1:16: syntax error"},
        {"{}", "t.json: the key \"variables\" is required"},
        {R"({"variables": [{"name": "a"}, {"name": "b", "name": "c"}]})",
         "variables[1].name: the key \"name\" occurs twice"},
        {R"({"variables": [{"name": 5}]})", "variables[0].name: expected a string"},
        {R"({"variables": [{"name": "a", "width": -1}]})",
         "variables[0].width: expected an integer from 0 to 32767, got -1"},
        {R"({"variables": [{"name": "age"}, {"name": "AGE"}]})",
         "variables[1].name: the name \"AGE\" is taken, ignoring letter case, by variables[0]"},
        {R"({"variables": [{"name": "a"}], "weight": "b"})",
         "t.json: weight: no variable is named \"b\""},
        {R"({"variables": [{"name": "a", "width": 2}], "weight": "a"})",
         "weight: \"a\" is a string variable"},
        {R"({"variables": [{"name": "a"}, {"name": "b", "missingValues": [1, "x"]}]})",
         "variables[1].missingValues[1]: expected a number, \"lowest\" or \"highest\""},
        {R"({"variables": [{"name": "s", "width": 20, "missingValues": ["123456789"]}]})",
         "missingValues[0]: \"123456789\" is 9 bytes long; a string missing value holds at most 8"},
        {R"({"variables": [{"name": "s", "width": 2, "valueLabels": [["abc", "x"]]}]})",
         "valueLabels[0][0]: \"abc\" is 3 bytes long, longer than the variable's width of 2"},
        {R"({"variables": [{"name": "a", "missingValues": {"low": 5, "high": 1}}]})",
         "missingValues: the low end 5 is above the high end 1"},
        {R"({"variables": [{"name": "a", "valueLabels": [[1, "x"], [1.0, "y"]]}]})",
         "valueLabels[1][0]: the value 1 is labelled already, in variables[0].valueLabels[0]"},
        {R"({"variables": [{"name": "a", "format": "F8.x"}]})", "format: \"F8.x\" is not a format"},
        {R"({"variables": [{"name": "a", "writeFormat": "Q8"}]})",
         "writeFormat: unknown format type \"Q\""},
        {R"({"variables": [{"name": "a", "alignment": "middle"}]})",
         "alignment: \"middle\" is not one of \"left\", \"right\", \"center\""},
        {R"({"variables": [], "timestamp": "2026-02-30T00:00:00Z"})",
         "timestamp: expected seconds since"},
        {R"({"variables": [], "extensions": [{"type": 3, "elementSize": 4, "data": "0000"}]})",
         "extensions[0]: 2 bytes are not a whole number of 4-byte elements"},
        {R"({"variables": [{"name": "a\u0000b"}]})", "a text cannot hold a NUL"},
        // Control characters in a key used to break the error line.
        {R"({"variables": [], "row\ncount\u007f": 1})",
         "t.json: row\\u000Acount\\u007F: unknown key"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.json);
        std::string error;
        EXPECT_FALSE(LoadDataSourceJSONText(row.json, "t.json", error));
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
    struct Row {
        const char* codePage;  // null: UTF-8 mode
        const char* result;    // the label's bytes in hex, or the error
    };
    const Row rows[] = {
        {"windows-1252", "47 72 F6 DF 65"},
        {nullptr, "47 72 C3 B6 C3 9F 65"},
        {"US-ASCII",
         "t.json: variables[0].label: the character U+00F6 cannot be held in the code "
         "page \"US-ASCII\""},
        {"no-such-code-page", "t.json: the host code page \"no-such-code-page\" cannot be opened"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.result);
        HostTextMode mode(row.codePage);
        std::string error;
        const std::unique_ptr<VORN_DataSource> ds = LoadDataSourceJSONText(json, "t.json", error);
        // A source that loads leaves the error empty.
        EXPECT_EQ(ds ? hex(ds->GetVariable(0).GetLabel()) + error : error, row.result);
    }
}

}  // namespace
