#include "VornDdiWriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include <unicode/unistr.h>

#include "TransSpace.h"
#include "VornCodePage.h"
#include "VornDdiSource.h"
#include "VornSourceFile.h"
#include "support/HostTextMode.h"
#include "support/SchemaValidator.h"

namespace {

std::string sourceDir() {
    const char* dir = std::getenv("TRANSSPACE_SOURCE_DIR");
    return dir != nullptr ? dir : TRANSSPACE_SOURCE_DIR;
}

// The official schema, kept in the source tree beside the code that writes it.
std::string ddiSchemaPath() {
    return sourceDir() + "/third_party/ddi-codebook-2.5/schemas/codebook.xsd";
}

std::string host(const std::string& utf8) {
    std::string text, error;
    EXPECT_TRUE(ConvertUTF8ToHost(utf8, text, error)) << error;
    return text;
}

std::string exact(double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%a", number);
    return text;
}

// The non-empty values of an attribute, one line.
std::string values(const DatasourceAttributes& a, const char* name) {
    std::string out;
    const int at = a.FindAttribute(name);
    for (const std::string& value : at < 0 ? std::vector<std::string>() : a.Values(at))
        if (!value.empty()) out += std::string(" ") + name + "=" + value;
    return out;
}

// Every fact the codebook carries, in a form both sides share: no label and
// the empty label alike, the print format only, missing values as a set, set
// members by their variables' spelling, the first Title or else the name.
std::string facts(const VORN_DataSource& ds, const std::string& sourceName) {
    const DatasourceAttributes file = ds.GetAttributes();
    std::string title = values(file, "Title"), id = values(file, "IDNo");
    std::string out =
        std::to_string(ds.GetRowCount()) + " rows, weight " +
        std::to_string(ds.GetWeightVarIndex()) +
        (title.empty() ? " Title=" + sourceName : title.substr(0, title.find(" Title=", 1))) +
        id.substr(0, id.find(" IDNo=", 1)) + "\n";
    for (unsigned i = 0; i < ds.ColumnCount(); ++i) {
        const VORN_Variable& v = ds.GetVariable(static_cast<int>(i));
        VORN_Variable::FormatType code;
        int width, decimals;
        v.GetFormatEx(code, width, decimals);
        out += std::string(v.GetName()) + " [" + (v.GetLabel() ? v.GetLabel() : "") + "] " +
               std::to_string(v.GetType()) + " " + std::to_string(code) + "/" +
               std::to_string(width) + "." + std::to_string(decimals) + " level " +
               std::to_string(v.GetMeasurementLevel());
        const OBS* m[3];
        const int n = v.GetMissingValues(m[0], m[1], m[2]);
        if (n < 0) out += " range " + exact(m[0]->number) + " " + exact(m[1]->number);
        std::set<std::string> missing;
        for (int k = n < 0 ? 2 : 0; k < std::abs(n); ++k)
            missing.insert(v.GetType() ? std::string(m[k]->text, std::min(v.GetType(), 8))
                                       : exact(m[k]->number));
        for (const std::string& value : missing) out += " missing " + value;
        VORN_ValueLabelMap map(v.GetValueLabels());
        const char* label;
        std::string text;
        double number;
        while (v.GetType() ? map.GetNextPair(text, label) : map.GetNextPair(number, label))
            if (*label) out += " " + (v.GetType() ? text : exact(number)) + "=" + label;
        for (const char* name : {"Question", "Universe", "Concept", "Description", "Notes"})
            out += values(v.GetAttributes(), name);
        out += "\n";
    }
    for (int which = 0; which < 2; ++which)
        for (const VariableSet& s : ds.GetVariableSets(static_cast<VarSetsType>(which))) {
            out += "set " + s.GetName(VariableSet::KeepCase) + " " + std::to_string(s.GetType()) +
                   " " + s.GetValue() + " " + (s.qLabelSetByVariable() ? "" : s.GetLabel()) + ":";
            for (const std::string& member : s.GetVariableNames(VariableSet::KeepCase)) {
                const int column = ds.FindVarIndex(member.c_str(), 0);
                if (column >= 0) out += std::string(" ") + ds.GetVariable(column).GetName();
            }
            out += "\n";
        }
    return out;
}

// Sources of every kind the mapping carries whole, texts given in UTF-8.
std::unique_ptr<VORN_DataSource> generated(unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* texts[] = {"Fish & <Chips>", "Dominican Republic", "Größe \"cm\" 'x'",
                           "€ 5 > 3",        "tab\tand\nline",     "plain"};
    const double numbers[] = {0.1 + 0.2, 1.0 / 3, -2.5, 1e20, 123456789012345678.0, 5e-324, 0, 97};
    const char* formats[] = {"F", "DATE", "DOLLAR", "COMMA", "E"};
    const char* strings[] = {"Dominican Republic", "NA", "Dom", "x y"};
    std::unique_ptr<VORN_DataSource> ds(new VORN_DataSource);
    ds->SetRowCount(seed % 3 == 0 ? -1 : seed * 1000);
    ds->AddAttribute("Title", {host(texts[pick(6)])});
    ds->AddAttribute("IDNo", {"S-" + std::to_string(seed)});
    // Numbers that need 17 digits, string values with blanks, a text to escape.
    VORN_Variable x("x"), city("city", 20);
    x.AddValueLabel(0.1 + 0.2, host("Müller & <Co> €"));
    city.AddValueLabel("Dominican Republic", "DR");
    ds->AddVariable(x);
    ds->AddVariable(city);
    const int columns = 3 + pick(12);
    for (int i = 0; i < columns; ++i) {
        const bool string = pick(4) == 0;
        VORN_Variable v("v" + std::to_string(i) + (i % 3 ? "" : "_ä"), string ? 1 + pick(30) : 0);
        if (pick(3)) v.SetLabel(host(texts[pick(6)]));
        v.SetMeasurementLevel(static_cast<VORN_Variable::MeasurementLevel>(pick(4)));
        VORN_Variable::FormatType code = VORN_Variable::FormatA;
        if (!string) VORN_Variable::FindFormatType(formats[pick(5)], code);
        const int width = string ? v.GetType() : 5 + pick(10), decimals = string ? 0 : pick(3);
        v.SetFormat(code, width, decimals);
        for (int k = pick(4); k > 0; --k) {
            const std::string value = strings[pick(4)];
            if (!string)
                v.AddValueLabel(numbers[pick(8)], host(texts[pick(6)]));
            else if (static_cast<int>(value.size()) <= v.GetType())
                v.AddValueLabel(value, host(texts[pick(6)]));
        }
        const int shape = pick(4);  // none, three values, a range, a range and a value
        const OBS texts2[2] = {StringOBS("Dom"), StringOBS("NA")};
        const OBS numeric[3] = {NumericOBS(shape == 1   ? numbers[pick(8)]
                                           : shape == 2 ? VORNLowestValue()
                                                        : -1),
                                NumericOBS(99), NumericOBS(-1e-7)};
        if (string)
            v.SetMissingValues(shape ? 2 : 0, texts2);
        else
            v.SetMissingValues(shape == 1 ? 3 : -shape, numeric);
        if (pick(2)) v.AddAttribute("Question", {host(texts[pick(6)]), "Why?"});
        if (pick(2)) v.AddAttribute("Notes", {host("€ noted")});
        v.AddAttribute("Concept", {});
        ds->AddVariable(v);
    }
    ds->SetWeightVarIndex(pick(columns + 2));
    VariableSet plain(host("All & some"));
    plain.SetVariableNames({"V1", "nosuch", "v2"});
    ds->AddVariableSet(plain);
    VariableSet dichotomy("shops", VariableSet::DichotomySet);
    dichotomy.SetValue("1");
    dichotomy.SetLabel(host("Shops <visited>"));
    for (int k = 0; k < 2; ++k) {
        VORN_Variable shop("shop" + std::to_string(k));
        shop.AddValueLabel(0, "No");
        shop.AddValueLabel(1, "Yes");
        ds->AddVariable(shop);
        dichotomy.AddVariableName(shop.GetName());
    }
    ds->AddMultipleResponseSet(dichotomy);
    VariableSet categories("brands", VariableSet::CategorySet);
    categories.SetLabelSetByVariable(true);
    // Members that share two labelled values would read back as a dichotomy.
    categories.SetVariableNames({"v0_ä", "shop0"});
    ds->AddMultipleResponseSet(categories);
    return ds;
}

class DdiWriterTest : public ::testing::Test {
protected:
    // Writes source, which must succeed and validate, and reads it back,
    // which must give the same facts.
    std::string roundTrip(const VORN_DataSource& source, const std::string& name) {
        std::string text, error;
        if (!WriteDataSourceDDI(source, name, text, error)) {
            ADD_FAILURE() << error;
            return text;
        }
        const icu::UnicodeString utf16 = icu::UnicodeString::fromUTF8(text);
        EXPECT_EQ(joinLines(validator.validate(std::u16string(utf16.getBuffer(), utf16.length()))),
                  joinLines(validator.loadErrors()));
        std::vector<std::string> notes;
        std::unique_ptr<VORN_DataSource> back = LoadDataSourceDDIText(text, name, error, notes);
        EXPECT_EQ(error + joinLines(notes), "");
        if (back) {
            EXPECT_EQ(facts(*back, name), facts(source, name));
        }
        return text;
    }

    TransSpace space;
    SchemaValidator validator{ddiSchemaPath(), false};
};

TEST_F(DdiWriterTest, ExamplesAndGeneratedSourcesValidateAndReadBack) {
    HostTextMode utf8(nullptr);
    for (const auto& entry : std::filesystem::directory_iterator(sourceDir() + "/examples")) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string head(std::istreambuf_iterator<char>(file), {});
        const SourceFormat format = DetectSourceFormat(head);
        if (format != SourceFormat::JSON && format != SourceFormat::DDI) continue;
        SCOPED_TRACE(entry.path().string());
        std::string error;
        std::vector<std::string> notes;
        std::unique_ptr<VORN_DataSource> source = LoadDataSource(entry.path(), error, notes);
        ASSERT_TRUE(source) << error;
        roundTrip(*source, entry.path().filename());
    }
    for (const char* codePage : {static_cast<const char*>(nullptr), "windows-1252"}) {
        HostTextMode mode(codePage);
        for (unsigned seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(seed);
            const std::string text = roundTrip(*generated(seed), "generated €");
            for (const char* whole : {"<catValu>0.30000000000000004</catValu>",
                                      "<labl>M\xC3\xBCller &amp; &lt;Co&gt; \xE2\x82\xAC</labl>",
                                      "<catValu>Dominican Republic</catValu>"})
                EXPECT_NE(text.find(whole), std::string::npos) << whole;
        }
    }
}

// A codebook's group of groups is a set like any other: written with its
// members listed, it reads back as the same set.
TEST_F(DdiWriterTest, GroupsOfGroupsAreWrittenFlat) {
    HostTextMode utf8(nullptr);
    const std::string codebook =
        "<codeBook><dataDscr><varGrp ID='H' name='Holder' varGrp='I C'/>"
        "<varGrp ID='I' name='Ident' var='A'/><varGrp ID='C' name='Class' var='B' varGrp='I'/>"
        "<var ID='A' name='a'/><var ID='B' name='b'/></dataDscr></codeBook>";
    std::string error;
    std::vector<std::string> notes;
    std::unique_ptr<VORN_DataSource> source =
        LoadDataSourceDDIText(codebook, "h.xml", error, notes);
    ASSERT_TRUE(source) << error;
    const std::string text = roundTrip(*source, "h.xml");
    EXPECT_NE(text.find("<varGrp ID=\"G1\" var=\"V1 V2\" name=\"Holder\"/>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<varGrp ID=\"G3\" var=\"V2 V1\" name=\"Class\"/>"), std::string::npos);
    EXPECT_EQ(text.find("varGrp=\""), std::string::npos);
}

// ISO-2022-JP texts hold escape sequences of ASCII bytes.
TEST_F(DdiWriterTest, StatefulCodePageTextsComeOutAsUTF8) {
    HostTextMode mode("ISO-2022-JP");
    VORN_DataSource ds;
    VORN_Variable v("v");
    v.SetLabel(host("日本 & <x>"));
    ds.AddVariable(v);
    EXPECT_NE(roundTrip(ds, "t").find("<labl>日本 &amp; &lt;x&gt;</labl>"), std::string::npos);
}

TEST_F(DdiWriterTest, TextsXmlOrTheCodePageCannotHoldFailOnOneLine) {
    struct Row {
        const char* codePage;  // null: UTF-8 mode
        const char* label;
        const char* message;
    };
    const Row rows[] = {
        {nullptr, "a\x01z",
         "t: variables[0].label: the character U+0001 cannot be held in XML 1.0"},
        {nullptr, "\xEF\xBF\xBF", "variables[0].label: the character U+FFFF cannot be held"},
        {nullptr, "a\xC3(", "variables[0].label: the byte 0xC3 at offset 1 is not valid UTF-8"},
        {"US-ASCII", "caf\xE9", "the byte 0xE9 is not a character of the code page"},
        {"x-no-such-page", "a", "t: the host code page \"x-no-such-page\" cannot be opened"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        HostTextMode mode(row.codePage);
        VORN_DataSource ds;
        VORN_Variable v("v");
        v.SetLabel(row.label);
        ds.AddVariable(v);
        std::string text = "stale", error;
        EXPECT_FALSE(WriteDataSourceDDI(ds, "t", text, error));
        EXPECT_EQ(text, "");
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

}  // namespace
