// XML text parsed straight into the store against the DOM parser and the
// copy a value made of its document: over hand-made documents, the fuzzing
// seeds, the examples, saved dictionaries and generated texts, with
// namespaces on and off and with the DOM parser's entity reference nodes on
// and off, the same errors at the same positions or the store of exactly the
// literal copy.
#include "value/store/StoreParser.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "VornSourceFile.h"
#include "support/HostTextMode.h"
#include "support/ParseCompare.h"
#include "support/XmlDocuments.h"

namespace {

const char* const documents[] = {
    // Character data merged as the DOM parser merges it: across references
    // and entities, not across CDATA sections, comments and instructions.
    "<r>a<![CDATA[b]]>c&amp;d&#65;&#x1F600;<![CDATA[]]><![CDATA[x]]>e<!--c-->f<?p?>g</r>",
    "<!DOCTYPE r [<!ENTITY t 'text'><!ENTITY m '<i>m</i>tail'><!ENTITY n 'x&t;y'>"
    "<!ENTITY c '<!--in-->'><!ENTITY d '<![CDATA[cd]]>'>]>"
    "<r a='&t;!' b='&n;'>1&t;2&m;3&n;<s>&t;</s>&m;&c;&d;&t;</r>",
    "<?p before?><!--before--><r><!--c--><?t d?>x<!--c2-->y<?t?></r><!--after--><?p after?>",
    "  \n<r>  <a> </a>\n\t<b/>  </r>\n  ",
    "<r></r>",
    // Names and namespaces: default, prefixed, undeclared, rebound, xml:.
    "<r xmlns='urn:d' xmlns:p='urn:p' p:a='1' b='2' xml:lang='de'><p:x xmlns:p='urn:q' p:y='3'/>"
    "<x xmlns=''/><p:z/></r>",
    "<x:a xmlns:x='urn:x' xmlns:y='urn:y' y:b='1' x:c='2'><y:d/><x:e xmlns:x='urn:x'/></x:a>",
    // Attributes in the DOM's order: sorted by name.
    "<r z='1' a='2' m='3' xmlns:b='urn:b' b:c='4' B='5' xmlns='urn:d' é='6' _='7'/>",
    // One namespace and local name under two prefixes, and other trouble
    // the scanner lets by or reports as it goes.
    "<r xmlns:p='urn:a' xmlns:q='urn:a' p:x='1' q:x='2' x='3'/>",
    "<p:r/>",
    "<r p:a='1'/>",
    "<r xmlns:p=''/>",
    "<p:r xmlns:p=''/>",
    "<r xmlns:xml='urn:x'/>",
    "<xml:r/>",
    "<xmlns:r/>",
    "<r xmlns:xmlns='urn:x'/>",
    "<a:b:c xmlns:a='urn:a'/>",
    "<r a:b:c='1' xmlns:a='urn:a'/>",
    "<:r/>",
    "<r :a='1'/>",
    "<r><?xml-stylesheet href='s'?><?a:b c?></r>",
    // The document type: declared attributes, defaults (which the copy
    // drops), IDs, fixed values, a namespace declared by default.
    "<!DOCTYPE r [<!ATTLIST r d CDATA 'def' e CDATA #FIXED 'fix' a CDATA #IMPLIED>]>"
    "<r a='1' z='2'><r d='mine'/></r>",
    "<!DOCTYPE r [<!ATTLIST r xmlns:p CDATA 'urn:p' p:d CDATA 'v'>]><r p:x='1'><p:d/></r>",
    "<!DOCTYPE p:r [<!ATTLIST p:r xml:d CDATA 'v' p:d CDATA 'w'>]>"
    "<p:r xmlns:p='urn:p' xml:d='w'><p:r xmlns:p='urn:q' xmlns:q='urn:q' q:d='1'/></p:r>",
    "<!DOCTYPE r [<!ATTLIST r z:a CDATA 'd'>]><r xmlns:z='urn:z' b='1' xml:a='2'/>",
    "<!DOCTYPE r [<!ATTLIST r z:a CDATA 'd'>]><r xmlns:z='urn:z' xmlns:y='urn:z' y:a='1'/>",
    "<!DOCTYPE r [<!ATTLIST e id ID #IMPLIED n NMTOKEN #IMPLIED>]>"
    "<r><e id='a' n=' x '/><e id='b'/><e/></r>",
    "<!DOCTYPE r [<!ELEMENT r (a*)><!ELEMENT a EMPTY>]><r> <a/> <a/> </r>",
    "<!DOCTYPE r SYSTEM 'http://127.0.0.1:9/r.dtd'><r>&y;t</r>",
    // Other versions and encodings; names of XML 1.1 that a copy refuses.
    "<?xml version='1.1'?><r>&#x1;</r>",
    "<?xml version='1.1'?><r\xe2\x81\xb0 a\xe2\x81\xb0='1'/>",
    "<?xml version='1.1'?><r><e\xf3\xa0\x80\x80/></r>",
    "<?xml version='1.1'?><r a\xf3\xa0\x80\x80='1'/>",
    "<?xml version='1.0' encoding='ISO-8859-1'?><r l='\xe9t\xe9'>gr\xf6\xdf"
    "e</r>",
    "<?xml version='1.0' encoding='windows-1252'?><r>\x80</r>",
    // Broken: at the end of input, inside, in a reference; an external
    // entity or parameter entity, refused.
    "",
    "<r>",
    "<r a='1",
    "<r><a></r>",
    "<r>&undefined;</r>",
    "<r/><s/>",
    "<r a='1' a='2'/>",
    "<r>\xff</r>",
    "<r>]]></r>",
    "<!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><r>&x;</r>",
    "<!DOCTYPE r [<!ENTITY x SYSTEM '/etc/passwd'><!ENTITY i 'i&x;'>]><r>&i;</r>",
    "<!DOCTYPE r [<!ENTITY % p SYSTEM '/etc/hostname'>\n%p;]><r/>",
    "<!DOCTYPE r [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
    "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>"
    "]><r>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</r>",
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A random text with what the two builds must agree on: nested elements in
// and out of namespaces, attributes of every kind, texts next to
// references, entities, CDATA sections, comments and instructions, a
// document type with defaults; now and then cut short.
std::string generated(std::mt19937& random) {
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const char* const elementNames[] = {"e", "p:e", "q:e", "i", "p:i", "x:e"};
    const char* const attributeNames[] = {"a",       "b",       "p:a", "q:a",      "xmlns:p",
                                          "xmlns:q", "xmlns",   "id",  "xml:lang", "d",
                                          "p:d",     "xmlns:x", "A",   "x:a",      "\xc3\xa9"};
    const char* const values[] = {"1", "&amp;",  "urn:p",       "urn:q",
                                  "",  "x&lt;y", "&#x20AC; \t", "urn:p"};
    const char* const pieces[] = {"x",  "&amp;",         "&#65;",        " ",        "\n",
                                  "]]", "<![CDATA[c]]>", "<![CDATA[]]>", "<!--c-->", "<?pi d?>"};
    const bool dtd = pick(3) == 0;
    std::string out;
    if (pick(4) == 0) out += pick(2) == 0 ? "<?xml version='1.0'?>" : "<?xml version='1.1'?>";
    if (pick(3) == 0) out += "<!--c--><?p d?>\n";
    if (dtd)
        out +=
            "<!DOCTYPE r [<!ENTITY t 'text'><!ENTITY m '<i a=\"1\">m</i>&amp;'>"
            "<!ATTLIST e d CDATA 'def' p:d CDATA 'v' id ID #IMPLIED>"
            "<!ATTLIST r xmlns:p CDATA 'urn:p'>]>";
    auto attributes = [&] {
        std::string s;
        std::vector<std::size_t> order(std::size(attributeNames));
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t n = pick(4); n > 0; --n)
            s += std::string(" ") + attributeNames[order[n]] + "='" +
                 values[pick(std::size(values))] + "'";
        return s;
    };
    std::vector<std::string> open;
    out += "<r" + std::string(pick(5) != 0 ? " xmlns:p='urn:p' xmlns:q='urn:q'" : "") +
           attributes() + ">";
    open.push_back("r");
    for (std::size_t steps = 1 + pick(25); steps > 0 && !open.empty(); --steps) {
        switch (pick(6)) {
            case 0:
            case 1: {
                const std::string name = elementNames[pick(std::size(elementNames))];
                out += "<" + name + attributes();
                if (pick(3) == 0 || open.size() > 5) {
                    out += "/>";
                } else {
                    out += ">";
                    open.push_back(name);
                }
                break;
            }
            case 2:
                out += "</" + open.back() + ">";
                open.pop_back();
                break;
            case 3:
                if (dtd) {
                    out += pick(2) == 0 ? "&t;" : "&m;";
                    break;
                }
                [[fallthrough]];
            default:
                out += pieces[pick(std::size(pieces))];
        }
    }
    while (!open.empty()) {
        out += "</" + open.back() + ">";
        open.pop_back();
    }
    if (pick(3) == 0) out += "<!--after--><?p after?> ";
    if (pick(12) == 0) out.resize(pick(out.size() + 1));
    return out;
}

class StoreParserTest : public ::testing::Test {
protected:
    // Both parses agree with every setting; counts those without errors.
    void expectSame(const std::string& bytes) {
        for (const bool namespaces : {true, false}) {
            for (const bool references : {false, true}) {
                SCOPED_TRACE(std::string(namespaces ? "namespaces" : "no namespaces") +
                             (references ? ", reference nodes" : ""));
                ParseSettings settings;
                settings.namespaces = namespaces;
                settings.referenceNodes = references;
                EXPECT_EQ(parseDifference(bytes, settings), "");
                ++compared;
                if (parseToDom(bytes, settings).error.empty()) ++parsed;
            }
        }
    }

    TransSpace space;
    int compared = 0;
    int parsed = 0;
};

}  // namespace

TEST_F(StoreParserTest, HandMadeDocuments) {
    for (const char* text : documents) {
        SCOPED_TRACE(text);
        expectSame(text);
    }
    EXPECT_GT(parsed, 80);
}

TEST_F(StoreParserTest, SeedsAndExamples) {
    const std::filesystem::path root(TRANSSPACE_SOURCE_DIR);
    std::vector<std::filesystem::path> files = {root / "examples/codebook.xml"};
    for (const char* folder : {"fuzz/corpus/documents", "fuzz/corpus/serialise", "fuzz/corpus/ddi",
                               "fuzz/corpus/diff", "fuzz/corpus/parse"})
        for (const auto& entry : std::filesystem::directory_iterator(root / folder))
            files.push_back(entry.path());
    for (const std::filesystem::path& file : files) {
        SCOPED_TRACE(file.string());
        std::string bytes = readFile(file);
        expectSame(bytes);
        // The fuzzing seeds begin with a byte of settings.
        if (file.parent_path().parent_path().filename() == "corpus" && !bytes.empty()) {
            bytes.erase(0, 1);
            expectSame(bytes);
        }
    }
    EXPECT_GT(parsed, 150);
}

// Saved dictionaries, as the tool writes them: what `transspace query` reads
// most.
TEST_F(StoreParserTest, SavedDictionaries) {
    const std::string examples = std::string(TRANSSPACE_SOURCE_DIR) + "/examples/";
    const HostTextMode utf8Mode(nullptr);
    for (const char* file : {"survey.json", "survey-wave2.json", "minimal.json", "codebook.xml"}) {
        SCOPED_TRACE(file);
        std::string error;
        std::vector<std::string> notes;
        std::unique_ptr<VORN_DataSource> source = LoadDataSource(examples + file, error, notes);
        ASSERT_NE(source, nullptr) << error;
        const std::string text = takeUtf8(TransValue(*source).asMBCSXML());
        expectSame(text);
    }
    EXPECT_EQ(parsed, compared);
}

TEST_F(StoreParserTest, GeneratedTexts) {
    std::mt19937 random(25);
    for (int i = 0; i < 400; ++i) {
        const std::string text = generated(random);
        SCOPED_TRACE(text);
        expectSame(text);
    }
    EXPECT_GT(parsed, 600);
}

// The outcomes the comparisons rest on: an error where the DOM parser
// reports one, with its position and the guard's words; the copy's empty
// document for a name the DOM refuses.
TEST_F(StoreParserTest, ErrorsAndRefusals) {
    const ParseSettings settings;
    EXPECT_EQ(parseToStore("<r>", settings).error.substr(0, 4), "1:4:");
    EXPECT_NE(parseToStore("<!DOCTYPE r [<!ENTITY x SYSTEM '/etc/passwd'>]><r>&x;</r>", settings)
                  .error.find("the external entity \"/etc/passwd\" is not read"),
              std::string::npos);

    const std::string refused = "<?xml version='1.1'?><r><e\xf3\xa0\x80\x80/></r>";
    ASSERT_EQ(parseToDom(refused, settings).error, "");
    const ParseOutcome empty = parseToStore(refused, settings);
    ASSERT_EQ(empty.error, "");
    EXPECT_EQ(empty.store->documentElement(), DocumentStore::none);
}
