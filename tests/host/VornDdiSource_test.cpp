#include "VornDdiSource.h"

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "TransValue.h"
#include "VornSourceFile.h"
#include "support/HostTextMode.h"
#include "support/SchemaValidator.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

namespace {

std::string Shortest(double d) {
    char b[40];
    std::snprintf(b, sizeof b, "%.15g", d);
    return b;
}

// The facts the reader carries, one compact line per variable.
std::string Summary(const VORN_DataSource& ds) {
    std::string out;
    for (unsigned i = 0; i < ds.ColumnCount(); ++i) {
        const VORN_Variable& v = ds.GetVariable(static_cast<int>(i));
        VORN_Variable::FormatType code, wcode;
        int w, d, ww, wd;
        v.GetFormatEx(code, w, d);
        v.GetWriteFormatEx(wcode, ww, wd);
        out += std::string(i ? "; " : "") + v.GetName() + "[" + v.GetLabel() + "] " +
               VORN_Variable::GetFormatName(code) + std::to_string(w) + "." + std::to_string(d) +
               (code == wcode && w == ww && d == wd ? "" : " write differs") + " L" +
               std::to_string(v.GetMeasurementLevel());
        const OBS* m[3];
        int n = v.GetMissingValues(m[0], m[1], m[2]);
        for (int k = 0; k < (n < 0 ? -n : n); ++k)
            out += (k       ? ","
                    : n < 0 ? " range "
                            : " missing ") +
                   (v.GetType()
                        ? std::string(m[k]->text, 8).substr(0, std::string(m[k]->text, 8).find(' '))
                        : Shortest(m[k]->number));
        VORN_ValueLabelMap map(v.GetValueLabels());
        const char* label;
        std::string text;
        double number;
        while (v.GetType() ? map.GetNextPair(text, label) : map.GetNextPair(number, label))
            out += " " + (v.GetType() ? text : Shortest(number)) + "=" + label;
        DatasourceAttributes a = v.GetAttributes();
        for (unsigned k = 0; k < a.Size(); ++k)
            for (const std::string& value : a.Values(k)) out += " @" + a.Name(k) + "=" + value;
    }
    if (ds.GetWeightVarIndex() >= 0)
        out += std::string(" | weight ") + ds.GetVariable(ds.GetWeightVarIndex()).GetName();
    for (int which = 0; which < 2; ++which)
        for (const VariableSet& s : ds.GetVariableSets(static_cast<VarSetsType>(which))) {
            out +=
                " | set " + s.GetName(VariableSet::KeepCase) + " t" + std::to_string(s.GetType());
            if (!s.GetValue().empty()) out += " v" + s.GetValue();
            for (const std::string& m : s.GetVariableNames(VariableSet::KeepCase)) out += " " + m;
        }
    if (ds.GetRowCount() >= 0) out += " | rows " + std::to_string(ds.GetRowCount());
    DatasourceAttributes a = ds.GetAttributes();
    for (unsigned k = 0; k < a.Size(); ++k) out += " | " + a.Name(k) + "=" + a.Values(k)[0];
    return out;
}

std::string Codebook(const std::string& body, const char* ns = "ddi:codebook:2_5") {
    return std::string("<codeBook xmlns=\"") + ns +
           "\"><stdyDscr><citation><titlStmt><titl>T</titl>"
           "</titlStmt></citation></stdyDscr><dataDscr>" +
           body + "</dataDscr></codeBook>";
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

class DdiSource : public ::testing::Test {
protected:
    DdiSource() : validator(SchemaValidator::dictionarySchemaPath()) {}

    // Loads text; a source that loads must make a dictionary our schema takes.
    std::unique_ptr<VORN_DataSource> Load(const std::string& text, const std::string& fileId = "") {
        DDILoadOptions options;
        options.fileId = fileId;
        std::unique_ptr<VORN_DataSource> ds =
            LoadDataSourceText(text, "c.xml", error, notes, options);
        if (ds) {
            EXPECT_EQ(error, "");
            TransStatus st;
            const std::u16string xml = take(TransValue(*ds).asUTF16XML(st));
            EXPECT_FALSE(st.failure());
            EXPECT_EQ(joinLines(validator.validate(xml)), "");
        } else {
            EXPECT_NE(error, "");
            EXPECT_EQ(error.find('\n'), std::string::npos);
            EXPECT_TRUE(notes.empty());
        }
        return ds;
    }

    TransSpace space;
    SchemaValidator validator;
    std::string error;
    std::vector<std::string> notes;
};

// Each row of the mapping on a small codebook.
TEST_F(DdiSource, Mapping) {
    struct Row {
        const char* what;
        std::string body;
        const char* summary;
        const char* notes;  // a fragment of the notes, "" for none
    };
    const Row rows[] = {
        {"name, label, default formats", R"(<var ID="V1" name="a"><labl>
              Age of  person </labl></var><var ID="V2"/>)",
         "a[Age of  person] F8.0 L0; V2[] F8.0 L0", ""},
        {"variable-level label first",
         R"(<var name="a"><labl level="category">c</labl><labl level="variable">v</labl></var>
              <var name="b"><labl level="x">only</labl></var>)",
         "a[v] F8.0 L0; b[only] F8.0 L0", ""},
        {"no name, repeated name", R"(<var><labl>x</labl></var><var name="a"/><var name="A"/>)",
         "a[] F8.0 L0", "1 variable: no name or ID, skipped (#1)\n1 variable: the name repeats"},
        {"widths, decimals and named formats",
         R"(<var name="a" dcml="2"><location width="12"/></var>
              <var name="d"><varFormat type="numeric" formatname="DATE11"/></var>
              <var name="m" dcml="2"><varFormat type="numeric" formatname="DOLLAR12.2"/></var>
              <var name="f"><varFormat type="numeric" formatname="F"/></var>
              <var name="q"><varFormat type="numeric" formatname="QQ9"/></var>)",
         "a[] F12.2 L0; d[] DATE11.0 L0; m[] DOLLAR12.2 L0; f[] F8.0 L0; q[] F8.0 L0",
         "1 variable: the format \"QQ9\" is not one the dictionary knows"},
        {"string widths", R"(<var name="s"><location width="20"/><varFormat type="character"/></var>
              <var name="t"><catgry><catValu>abc</catValu></catgry><catgry><catValu>abcdef</catValu></catgry><varFormat type="character"/></var>
              <var name="u"><varFormat type="character"/></var>)",
         "s[] A20.0 L0; t[] A6.0 L0; u[] A8.0 L0", ""},
        {"measurement levels", R"(<var name="a" nature="nominal"/><var name="b" nature="ordinal"/>
              <var name="c" nature="interval"/><var name="d" nature="ratio" intrvl="discrete"/>
              <var name="e" intrvl="discrete"/><var name="f" intrvl="contin"/><var name="g"/>)",
         "a[] F8.0 L1; b[] F8.0 L2; c[] F8.0 L3; d[] F8.0 L3; e[] F8.0 L1; f[] F8.0 L3; g[] F8.0 "
         "L0",
         ""},
        {"value labels",
         R"(<var name="a"><catgry><catValu>1</catValu><labl>Yes</labl><labl>Ja</labl></catgry>
              <catgry><catValu>2</catValu><labl> </labl></catgry><catgry><catValu>3</catValu></catgry>
              <catgry><catValu>x</catValu><labl>X</labl></catgry><catgry><catValu>1.0</catValu><labl>Again</labl></catgry>
              <catgry><catValu>.</catValu><labl>Sysmiss</labl></catgry></var>
              <var name="s"><location width="2"/><catgry><catValu>ab</catValu><labl>AB</labl></catgry>
              <catgry><catValu>abc</catValu><labl>long</labl></catgry><varFormat type="character"/></var>)",
         "a[] F8.0 L0 1=Yes; s[] A2.0 L0 ab=AB",
         "1 variable: a value label for a value that is not a number, skipped (a)\n"
         "1 variable: a value label for a repeated value, the later skipped (a)\n"
         "1 variable: a value label for a value longer than the string width, skipped (s)\n"},
        {"missing values",
         R"(<var name="a"><invalrng><range min="990" max="999"/><item VALUE="-1"/><item VALUE="-2"/></invalrng>
              <catgry missing="Y"><catValu>9</catValu><labl>NA</labl></catgry><catgry missing="Y"><catValu>SYSMISS</catValu></catgry></var>
              <var name="b"><invalrng><item VALUE="1"/><item VALUE="1.0"/><item VALUE="2"/><item VALUE="Sysmiss2"/></invalrng></var>
              <var name="c"><invalrng><range max="0"/></invalrng></var>
              <var name="s"><catgry missing="Y"><catValu>NA</catValu></catgry><invalrng><item VALUE="toolongvalue"/></invalrng><varFormat type="character"/></var>)",
         "a[] F8.0 L0 range 990,999,9 9=NA; b[] F8.0 L0 missing 1,2; c[] F8.0 L0 range "
         "-1.79769313486232e+308,0; "
         "s[] A2.0 L0 missing NA",
         "1 variable: more missing values than the data source holds (three values, or a range and "
         "one "
         "value): the later ones are not carried (a)\n"
         "1 variable: missing value \"Sysmiss2\" is not a number (b)\n"
         "1 variable: a missing value longer than 8 bytes or the string width is not carried "
         "(s)\n"},
        {"weight",
         R"(<var name="w" wgt="wgt"/><var name="x" wgt="wgt"/><var name="s" wgt="wgt"><varFormat type="character"/></var>)",
         "w[] F8.0 L0; x[] F8.0 L0; s[] A8.0 L0 | weight w",
         "1 variable: marked as weight after the first weight variable, not the weight (x)\n"
         "1 variable: a string variable cannot be the weight (s)\n"},
        {"variable attributes",
         R"(<var name="a"><qstn><qstnLit> Q1 </qstnLit></qstn><qstn><qstnLit>Q2</qstnLit></qstn>
              <universe>All</universe><txt>D <b>bold</b></txt><concept/><notes>N</notes></var>)",
         "a[] F8.0 L0 @Question=Q1 @Question=Q2 @Universe=All @Description=D bold @Notes=N", ""},
        {"groups",
         R"(<varGrp ID="G1" name="demo" var="V1 V2 V9"/><varGrp ID="G2" var="V1"><labl>Lab</labl></varGrp>
              <varGrp ID="G3" type="multipleResp" var="V3 V4"/><varGrp ID="G4" type="multipleResp" var="V1 V2"/>
              <var ID="V1" name="a"/><var ID="V2" name="b"/>
              <var ID="V3" name="m1"><catgry><catValu>1</catValu><labl>Y</labl></catgry><catgry><catValu>0</catValu><labl>N</labl></catgry></var>
              <var ID="V4" name="m2"><catgry><catValu>0</catValu><labl>N</labl></catgry><catgry><catValu>1</catValu><labl>Y</labl></catgry></var>)",
         "a[] F8.0 L0; b[] F8.0 L0; m1[] F8.0 L0 1=Y 0=N; m2[] F8.0 L0 0=N 1=Y | set demo t0 a b | "
         "set Lab t0 a | set G3 t2 v1 m1 m2 | set G4 t1 a b",
         "1 variable group: members naming a skipped or unknown variable are dropped (demo)"},
        // Holder names groups defined after it, three levels deep; C holds its
        // own variables before those of its groups; V1 and V2 come again.
        {"groups of groups",
         R"(<varGrp ID="H" name="Holder" varGrp="I C"/><varGrp ID="I" name="Ident" var="V1 V2"/>
              <varGrp ID="C" name="Class" var="V2 V3" varGrp="D I"/><varGrp ID="D" var="V4 V1"/>
              <varGrp ID="E" name="Empty"><labl>no members named</labl></varGrp>
              <var ID="V1" name="a"/><var ID="V2" name="b"/><var ID="V3" name="c"/><var ID="V4" name="d"/>)",
         "a[] F8.0 L0; b[] F8.0 L0; c[] F8.0 L0; d[] F8.0 L0 | set Holder t0 a b c d | "
         "set Ident t0 a b | set Class t0 b c d a | set D t0 d a",
         ""},
        // A cycle stops at the group met first; a multiple-response group keeps
        // its own var members, also where a plain group names it.
        {"cycles, unknown groups, multiple-response groups",
         R"(<varGrp ID="A" var="V1" varGrp="B nosuch"/><varGrp ID="B" var="V2" varGrp="A B"/>
              <varGrp ID="M" type="multipleResp" var="V3" varGrp="A"/><varGrp ID="N" type="multipleResp" varGrp="A"/>
              <varGrp ID="P" varGrp="M"/>
              <var ID="V1" name="a"/><var ID="V2" name="b"/><var ID="V3" name="c"/>)",
         "a[] F8.0 L0; b[] F8.0 L0; c[] F8.0 L0 | set A t0 a b | set B t0 b a | set P t0 c | "
         "set M t1 c",
         "1 variable group: a reference to an unknown variable group is ignored (A)\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<VORN_DataSource> ds = Load(Codebook(row.body));
        ASSERT_TRUE(ds) << error;
        EXPECT_EQ(Summary(*ds), std::string(row.summary) + " | Title=T");
        if (*row.notes == '\0') {
            EXPECT_EQ(Joined(notes), "");
        } else {
            EXPECT_NE(Joined(notes).find(row.notes), std::string::npos) << Joined(notes);
        }
    }
}

TEST_F(DdiSource, ExampleAndFileAttributes) {
    std::vector<std::string> exampleNotes;
    std::unique_ptr<VORN_DataSource> ds = LoadDataSource(
        std::string(TRANSSPACE_SOURCE_DIR) + "/examples/codebook.xml", error, exampleNotes);
    ASSERT_TRUE(ds) << error;
    EXPECT_TRUE(exampleNotes.empty()) << Joined(exampleNotes);
    EXPECT_EQ(ds->ColumnCount(), 8u);
    EXPECT_EQ(ds->GetRowCount(), 1250);
    EXPECT_EQ(Summary(*ds),
              "id[Respondent number] F6.0 L1; sex[Sex of respondent] F1.0 L1 missing 9 1=Male "
              "2=Female 9=No answer @Question=Are you male or female? @Universe=All respondents "
              "@Concept=Gender; age[Age in years] F3.0 L3 range 990,999,-1 @Question=How old are "
              "you? @Description=Age at the last birthday. @Notes=Top-coded at 95.; "
              "country[Country of birth] A20.0 L1 missing NA Dominican Republic=Dominican "
              "Republic NA=Not asked; shop1[Visited the bakery] F1.0 L1 0=No 1=Yes; "
              "shop2[Visited the butcher] F1.0 L1 0=No 1=Yes; income[Monthly household income] "
              "DOLLAR12.2 L3; weight[Design weight] F10.4 L3 | weight weight | set demographics "
              "t0 id sex age | set Shops visited t2 v1 shop1 shop2 | rows 1250 | Title=Household "
              "Survey 2024 | IDNo=HS-2024");
    // The document's IDNo stands in when the study has none.
    ds = Load(
        "<codeBook><docDscr><citation><titlStmt><titl>D</titl><IDNo>doc</IDNo></titlStmt></"
        "citation>"
        "</docDscr><stdyDscr><citation><titlStmt><titl>S</titl></titlStmt></citation></stdyDscr></"
        "codeBook>");
    ASSERT_TRUE(ds);
    EXPECT_EQ(Summary(*ds), " | Title=S | IDNo=doc");
}

// One var list across files, the case count of the file asked for.
TEST_F(DdiSource, FilesRule) {
    const std::string text =
        "<codeBook xmlns='ddi:codebook:2_6'><fileDscr "
        "ID='F1'><fileTxt><dimensns><caseQnty>10</caseQnty>"
        "</dimensns></fileTxt></fileDscr><fileDscr "
        "ID='F2'><fileTxt><dimensns><caseQnty>20</caseQnty>"
        "</dimensns></fileTxt></fileDscr><dataDscr><varGrp ID='G' var='A B'/><var ID='A' name='a' "
        "files='F1'/>"
        "<var ID='B' name='b' files='F2'/><var name='c'><location fileid='F2'/></var><var "
        "name='d'/></dataDscr></codeBook>";
    struct Row {
        const char* fileId;
        const char* summary;
    };
    const Row rows[] = {
        {"", "a[] F8.0 L0; b[] F8.0 L0; c[] F8.0 L0; d[] F8.0 L0 | set G t0 a b | rows 10"},
        {"F2", "b[] F8.0 L0; c[] F8.0 L0; d[] F8.0 L0 | set G t0 b | rows 20"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fileId);
        std::unique_ptr<VORN_DataSource> ds = Load(text, row.fileId);
        ASSERT_TRUE(ds) << error;
        EXPECT_EQ(Summary(*ds), row.summary);
        EXPECT_TRUE(notes.empty()) << Joined(notes);
    }
    EXPECT_FALSE(Load(text, "F3"));
    EXPECT_EQ(error, "c.xml: no fileDscr has the ID \"F3\"");
}

TEST_F(DdiSource, VersionsAndEncodings) {
    const std::string var = "<var name='caf\xC3\xA9'><labl>\xC3\xA9t\xC3\xA9</labl></var>";
    const std::string expected = "caf\xC3\xA9[\xC3\xA9t\xC3\xA9] F8.0 L0 | Title=T";
    std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?>" +
                         Codebook("<var name='caf\xE9'><labl>\xE9t\xE9</labl></var>");
    std::string utf16 = "\xFF\xFE";  // little-endian, with its byte-order mark
    for (char16_t unit :
         u16(("<?xml version='1.0' encoding='UTF-16'?>" + Codebook(var, "")).c_str())) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    const std::string texts[] = {Codebook(var, "http://www.icpsr.umich.edu/DDI"),
                                 Codebook(var, "ddi:codebook:2_5"),
                                 Codebook(var, "ddi:codebook:2_6"),
                                 Codebook(var, ""),
                                 "\xEF\xBB\xBF<?xml version='1.0'?><!-- c --><?pi x?><!DOCTYPE "
                                 "codeBook [<!ENTITY e 'x>'>]>" +
                                     Codebook(var),
                                 latin1,
                                 utf16};
    HostTextMode mode(nullptr);
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 60));
        EXPECT_EQ(DetectSourceFormat(text), SourceFormat::DDI);
        std::unique_ptr<VORN_DataSource> ds = Load(text);
        ASSERT_TRUE(ds) << error;
        EXPECT_EQ(Summary(*ds), expected);
    }
    // A label the code page cannot hold is left empty, with a note.
    HostTextMode ascii("US-ASCII");
    std::unique_ptr<VORN_DataSource> ds =
        Load(Codebook("<var name='a'><labl>\xC3\xA9</labl></var>"));
    ASSERT_TRUE(ds);
    EXPECT_EQ(Joined(notes),
              "1 variable: the code page \"US-ASCII\" cannot hold the label, left empty (a)\n");
}

TEST_F(DdiSource, DetectionAndErrors) {
    const std::pair<const char*, SourceFormat> formats[] = {
        {" {\"variables\": []}", SourceFormat::JSON},
        {"<codeBook xmlns='urn:other'/>", SourceFormat::XML},
        {"<d:codeBook xmlns:d='ddi:codebook:2_5'/>", SourceFormat::DDI},
        {"<!-- <codeBook> --><root/>", SourceFormat::XML},
        {"", SourceFormat::Unknown},
        {"  \n", SourceFormat::Unknown},
        {"\x01\x02", SourceFormat::Unknown},
    };
    for (const auto& f : formats) EXPECT_EQ(DetectSourceFormat(f.first), f.second) << f.first;

    const std::pair<const char*, const char*> errors[] = {
        {"<codeBook><dataDscr><var name='a'></dataDscr></codeBook>",
         "c.xml:1:37: expected end of tag"},
        {"<d:codeBook xmlns:d='urn:x'/>", "c.xml: an XML document that is not a DDI codebook"},
        {"<root/>", "c.xml: an XML document that is not a DDI codebook"},
        {"<codeBook>&undefined;</codeBook>", "c.xml:1:22: entity 'undefined' not found"},
        {"<!DOCTYPE codeBook [<!ENTITY x SYSTEM '/etc/hostname'>]><codeBook>&x;</codeBook>",
         "c.xml:1:70: the external entity \"/etc/hostname\" is not read"},
        {"<codeBook><dataDscr><var name='a'/></dataDscr></codeBook><x/>", "c.xml:1:"},
    };
    for (const auto& e : errors) {
        SCOPED_TRACE(e.first);
        EXPECT_FALSE(Load(e.first));
        EXPECT_EQ(error.compare(0, std::strlen(e.second), e.second), 0) << error;
    }
    EXPECT_FALSE(LoadDataSourceDDIText("<other/>", "c.xml", error, notes));
    EXPECT_EQ(error, "c.xml:1:9: the root element is other, not a DDI codeBook");
    EXPECT_FALSE(LoadDataSource("/nonexistent/c.xml", error, notes));
    EXPECT_EQ(error, "/nonexistent/c.xml: cannot be opened: No such file or directory");
    EXPECT_FALSE(LoadDataSourceDDI("/nonexistent/c.xml", error, notes));
    EXPECT_EQ(error, "/nonexistent/c.xml: cannot be opened: No such file or directory");
    for (bool byContent : {true, false}) {
        EXPECT_FALSE(byContent ? LoadDataSource("/", error, notes)
                               : LoadDataSourceDDI("/", error, notes));
        EXPECT_EQ(error, "/: cannot be read: Is a directory");
    }
}

// Many variables losing the same fact make one note with a count.
TEST_F(DdiSource, NotesCountAndName) {
    std::string body;
    for (int i = 1; i <= 1382; ++i)
        body +=
            "<var name='v" + std::to_string(i) + "'><invalrng><item VALUE='NA'/></invalrng></var>";
    ASSERT_TRUE(Load(Codebook(body)));
    EXPECT_EQ(Joined(notes),
              "1,382 variables: missing value \"NA\" is not a number (v1, v2, v3, ...)\n");
}

}  // namespace
