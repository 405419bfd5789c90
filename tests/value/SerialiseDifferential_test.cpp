// The library's own writer of document values against the XML library's
// serializer, the literal path: over host documents, the example and
// codebook dictionaries, the fuzzing seeds and generated documents, the text
// and flags of asUTF16XML and asMBCSXML (UTF-16, UTF-8 mode, code pages of
// one and of several bytes per character, and a stateful one left to the
// serializer) are those the serializer gives for the value's literal copy,
// and the writer, from the copy's store and from the copy itself, writes
// the serializer's bytes with its outcome in every encoding it models.
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "VornJsonSource.h"
#include "VornSourceFile.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/LiteralSerialiser.h"
#include "support/StoreCompare.h"
#include "support/WriterCompare.h"
#include "support/XmlDocuments.h"
#include "text/CodePage.h"
#include "text/TransText.h"
#include "value/DocumentWriter.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/DocumentDepth.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const char* const hostDocuments[] = {
    "<?xml version=\"1.0\"?><!-- lead --><?lead pi?>"
    "<r xmlns=\"urn:default\" xmlns:p=\"urn:p\" p:a=\"1\" b=\"zwei\" xml:lang=\"de\">"
    "<p:item id=\"x\" p:v=\"3.5\">Größe<![CDATA[ & <raw> ]]>tail</p:item>"
    "<item v=\"-2\"><!--c--><?target data here?><?bare?>€ text</item>"
    "<empty/><p:empty xmlns:q=\"urn:q\" q:z=\"\"/></r><!-- trailer -->",
    // Escapes in text and attributes, character references for line ends
    // and tabs, both quotes, a character beyond the BMP.
    "<a q='say \"hi\"' s=\"it's\" t=\"a&#9;b&#10;c&#13;d&lt;e&gt;f&amp;g\">x &amp; y &lt; z &gt; w"
    "&#13;\r\n\t\xF0\x9F\x98\x80 \xEF\xBF\xBD</a>",
    // CDATA sections holding "]]>" at the start, the end, twice, alone.
    "<r><a><![CDATA[]]></a><b><![CDATA[x]]]]><![CDATA[>y]]></b><c><![CDATA[]]]]><![CDATA[>]]></c>"
    "<d><![CDATA[a]]]]><![CDATA[>]]]]><![CDATA[>b]]></d><e><![CDATA[\xF0\x9F\x98\x80]]></e></r>",
    // Default namespaces undeclared and declared again, prefixes rebound.
    "<a xmlns=\"urn:1\"><b xmlns=\"\"><c/><d xmlns=\"urn:2\"><e/></d></b>"
    "<p:f xmlns:p=\"urn:p\"><p:g xmlns:p=\"urn:q\" p:h=\"1\"/></p:f></a>",
    "<x:a xmlns:x=\"urn:x\" xmlns:y=\"urn:y\" y:b=\"1\" x:c=\"2\"><y:d/><x:e "
    "xmlns:x=\"urn:x\"/></x:a>",
    // Entity references, kept by name once copied; in an attribute value,
    // expanded.
    "<!DOCTYPE r [<!ENTITY e \"text\"><!ENTITY m \"<i>mark</i>\">]>"
    "<r a=\"&e;!\">one &e; two &m;<s>&e;&e;</s></r>",
    "<empty/>",
    "<r>   <a> </a>\n<b/></r>",
};

// The bytes of a multibyte library string, then released.
std::string mbcsBytes(TransString* s) {
    TransStatus st;
    std::string bytes = s->asMBCS(st);
    TransValue::releaseString(s);
    return bytes;
}

// What the value writes, read as the literal bytes are.
std::string utf16Bytes(TransString* s) {
    const std::u16string text = take(s);
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// The literal text as the value hands it back: up to its first zero unit.
std::string asValueText(const LiteralXml& literal, bool utf16) {
    if (!utf16) return std::string(literal.bytes.c_str());
    std::u16string units(literal.bytes.size() / 2, u'\0');
    std::memcpy(&units[0], literal.bytes.data(), units.size() * 2);
    units.resize(std::char_traits<char16_t>::length(units.c_str()));
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A random tree with what the writer must get right: names with and without
// namespaces, undeclared and rebound prefixes, attributes in every flavour
// (entity references in values, names beyond ASCII), texts full of escapes,
// CDATA with "]]>", comments and instructions, and characters each code page
// holds or not (Latin, Cyrillic, CJK, a soft hyphen ICU writes as nothing,
// characters beyond the BMP that only some multibyte pages hold). Now and
// then markup a code page cannot hold fails the write.
DocumentPtr generated(std::mt19937& random) {
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const char16_t* const uris[] = {u"", u"urn:a", u"urn:b", u"urn:a&\"<\t"};
    const char16_t* const prefixes[] = {u"", u"p", u"q"};
    const char16_t* const pieces[] = {u"a",  u"&",  u"<",   u">",  u"\"",     u"'",          u"\r",
                                      u"\n", u"\t", u"]]>", u"]",  u"é",      u"€",          u"😀",
                                      u"--", u" ",  u"Ж",   u"中", u"\u00AD", u"\U00020021", u"ｱ"};
    auto text = [&] {
        std::u16string s;
        for (std::size_t n = pick(6); n > 0; --n) s += pieces[pick(std::size(pieces))];
        return s;
    };
    // Markup beyond ASCII, rarely: it fails most code pages' writes early.
    const bool wide = pick(8) == 0;
    const char16_t* const local[] = {u"e", u"e", u"e", wide ? u"é" : u"e", wide ? u"中" : u"e"};
    DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
    std::vector<DOMElement*> open;
    for (std::size_t count = 1 + pick(30); count > 0; --count) {
        const std::u16string uri = uris[pick(std::size(uris))];
        const std::u16string prefix = uri.empty() ? u"" : prefixes[pick(std::size(prefixes))];
        const std::u16string name =
            (prefix.empty() ? u"" : prefix + u":") + local[pick(std::size(local))];
        DOMElement* e = pick(3) == 0 && uri.empty() ? d->createElement(name.c_str())
                                                    : d->createElementNS(uri.c_str(), name.c_str());
        for (std::size_t n = pick(4); n > 0; --n) {
            switch (pick(6)) {
                case 0:
                    e->setAttribute((u"a" + std::u16string(1, u'0' + pick(3))).c_str(),
                                    text().c_str());
                    break;
                case 1: {
                    const std::u16string p = prefixes[1 + pick(2)];
                    e->setAttributeNS(uris[1 + pick(3)], (p + u":b").c_str(), text().c_str());
                    break;
                }
                case 2:
                    e->setAttributeNS(u"http://www.w3.org/2000/xmlns/",
                                      pick(2) == 0 ? u"xmlns" : u"xmlns:p", uris[pick(3)]);
                    break;
                case 3: {
                    // Texts and entity references, as a parser keeps them.
                    DOMAttr* a = d->createAttribute(pick(3) == 0 ? u"r\u00E4" : u"r");
                    a->appendChild(d->createTextNode(text().c_str()));
                    a->appendChild(d->createEntityReference(pick(2) == 0 ? u"amp" : u"ent"));
                    a->appendChild(d->createTextNode(text().c_str()));
                    e->setAttributeNode(a);
                    break;
                }
                case 4:
                    e->setAttribute(pick(2) == 0 ? u"\u00F6" : u"\u4E2D", text().c_str());
                    break;
                default:
                    e->setAttributeNS(u"http://www.w3.org/XML/1998/namespace", u"xml:lang", u"de");
            }
        }
        if (open.empty())
            d->appendChild(e);
        else
            open[pick(open.size())]->appendChild(e);
        open.push_back(e);
        DOMElement* parent = open[pick(open.size())];
        switch (pick(6)) {
            case 0:
                parent->appendChild(d->createTextNode(text().c_str()));
                break;
            case 1:
                parent->appendChild(d->createCDATASection(text().c_str()));
                break;
            case 2:
                parent->appendChild(d->createComment(wide ? text().c_str() : u"c"));
                break;
            case 3:
                parent->appendChild(d->createProcessingInstruction(u"pi", pick(2) ? u"" : u"d"));
                break;
            case 4:
                parent->appendChild(d->createEntityReference(u"ent"));
                break;
            default:
                break;
        }
    }
    return d;
}

class SerialiseDifferentialTest : public ::testing::Test {
protected:
    // The value of source against the literal write of its literal copy, and
    // the writer on the copy's store.
    void compare(const DOMDocument* source, const std::string& name) {
        SCOPED_TRACE(name);
        const DocumentPtr copy(literalCopy(source));
        const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(source);
        // The writer is held to the literal copy from the store, where the
        // store stands for the copy, and from the copy itself. (Where it does
        // not, which the store's own tests catch, one qualified name in
        // several namespaces on an element, whose order the copy changes,
        // only the copy is written.)
        const bool standsFor = storeDifference(*store, copy.get()).empty();
        compareWriter(*copy, standsFor ? store.get() : nullptr);
        compareValue(*copy, TransValue(source));
    }

    void compareWriter(const DOMDocument& document, const DocumentStore* store) {
        for (std::size_t i = 0; i < writerEncodingCount; ++i) {
            SCOPED_TRACE(writerEncodings[i]);
            Written written = Written::declined;
            EXPECT_EQ(writerDifference(store, document, writerEncodings[i], &written), "");
            ++outcomes[writerEncodings[i]][static_cast<int>(written)];
        }
    }

    void compareValue(const DOMDocument& document, const TransValue& value) {
        // The value's texts: UTF-16, UTF-8 mode, code pages of the library's
        // own tables, of ICU's of one and of several bytes, and a stateful
        // one (the serializer's, on a DOM made for the call).
        const char* const codePages[] = {"UTF-16",     "UTF-8",     "windows-1252", "ISO-8859-1",
                                         "ISO-8859-5", "Shift_JIS", "GB18030",      "ISO-2022-JP"};
        for (const char* codePage : codePages) {
            const bool utf16 = std::string(codePage) == "UTF-16";
            const bool utf8 = std::string(codePage) == "UTF-8";
            SCOPED_TRACE(utf8 ? "UTF-8 mode" : codePage);
            HostTextMode mode(utf16 || utf8 ? nullptr : codePage);
            const std::string name = utf16 ? "UTF-16" : codePageName();
            const std::u16string encoding(name.begin(), name.end());
            const LiteralXml literal = literalXml(&document, encoding.c_str());
            const bool fits = utf16 || name == "UTF-8" || markupFits(&document, encoding.c_str());
            TransStatus st;
            const std::string text =
                utf16 ? utf16Bytes(value.asUTF16XML(st)) : mbcsBytes(value.asMBCSXML(st));
            // In a code page both texts are read back through a string.
            std::string expected = asValueText(literal, utf16);
            if (!utf16) expected = mbcsBytes(TransStringAccess::newFromMBCS(expected.c_str()));
            EXPECT_EQ(text, expected);
            EXPECT_EQ(st.failure(), !literal.written || !fits);
            EXPECT_EQ(st.warning(), literal.bytes.empty());
            ++compared;
        }
    }

    TransSpace space;
    int compared = 0;
    // The writer's outcomes per encoding, by Written.
    std::map<std::string, std::array<int, 5>> outcomes;
};

}  // namespace

TEST_F(SerialiseDifferentialTest, HostDocumentsAndSeeds) {
    for (const char* text : hostDocuments) {
        DocumentPtr source = parseXml(std::string(text));
        ASSERT_NE(source, nullptr) << text;
        compare(source.get(), text);
    }
    compare(nullptr, "no document");
    // The fuzzing seeds (the documents target's first byte is its mode) and
    // the example codebook as a host document.
    const std::filesystem::path root(TRANSSPACE_SOURCE_DIR);
    std::vector<std::filesystem::path> files = {root / "examples/codebook.xml"};
    for (const char* folder :
         {"fuzz/corpus/documents", "fuzz/corpus/diff", "fuzz/corpus/serialise"})
        for (const auto& entry : std::filesystem::directory_iterator(root / folder))
            files.push_back(entry.path());
    for (const std::filesystem::path& file : files) {
        std::string bytes = readFile(file);
        const bool moded = file.parent_path().filename() != "diff" &&
                           file.filename() != "codebook.xml" && !bytes.empty();
        if (moded) bytes.erase(0, 1);
        DocumentPtr source = parseXmlBytes(bytes.data(), bytes.size(), nullptr);
        if (source) compare(source.get(), file.string());
    }
    EXPECT_GT(compared, 40);
}

// Documents no parser makes: control characters (the serializer fails part
// way), unpaired surrogates, adjacent and empty texts, namespaces that only
// the writer declares, and random trees.
TEST_F(SerialiseDifferentialTest, BuiltAndGeneratedDocuments) {
    const char16_t* const texts[] = {u"a\u0001b", u"x\xD800y", u"\xDC00", u"\xFFFE", u"ok"};
    for (const char16_t* t : texts) {
        for (int where = 0; where < 4; ++where) {
            DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
            DOMElement* root = d->createElementNS(u"urn:r", u"r:root");
            d->appendChild(root);
            root->appendChild(d->createTextNode(u"before"));
            root->appendChild(d->createTextNode(u""));
            switch (where) {
                case 0:
                    root->appendChild(d->createTextNode(t));
                    break;
                case 1:
                    root->setAttribute(u"a", t);
                    break;
                case 2:
                    root->appendChild(d->createComment(t));
                    break;
                default:
                    root->appendChild(d->createProcessingInstruction(u"pi", t));
                    break;
            }
            root->appendChild(d->createElement(u"after"));
            compare(d.get(), "built " + std::to_string(where));
        }
    }
    std::mt19937 random(25);
    for (int i = 0; i < 300; ++i) {
        DocumentPtr d = generated(random);
        compare(d.get(), "generated " + std::to_string(i));
    }
    // Every outcome the writer models is met in each code page family: the
    // library's own tables, ICU's of one byte and of several.
    for (const char* encoding : {"windows-1252", "ISO-8859-5", "Shift_JIS"}) {
        SCOPED_TRACE(encoding);
        const std::array<int, 5>& seen = outcomes[encoding];
        EXPECT_GT(seen[static_cast<int>(Written::whole)], 0);
        EXPECT_GT(seen[static_cast<int>(Written::unreadable)], 0);
        EXPECT_GT(seen[static_cast<int>(Written::failed)], 0);
        EXPECT_EQ(seen[static_cast<int>(Written::declined)], 0);
    }
}

TEST_F(SerialiseDifferentialTest, Dictionaries) {
    const std::string examples = std::string(TRANSSPACE_SOURCE_DIR) + "/examples/";
    for (const char* file : {"survey.json", "survey-wave2.json", "minimal.json", "codebook.xml"}) {
        SCOPED_TRACE(file);
        std::string error;
        std::vector<std::string> notes;
        std::unique_ptr<VORN_DataSource> source;
        {
            const HostTextMode utf8Mode(nullptr);
            source = LoadDataSource(examples + file, error, notes);
        }
        ASSERT_NE(source, nullptr) << error;
        DocumentPtr built(DictionaryBuilder().build(*source));
        ASSERT_NE(built, nullptr);
        const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(built.get());
        ASSERT_EQ(storeDifference(*store, built.get()), "");
        compareWriter(*built, store.get());
        compareValue(*built, TransValue(*source));
    }
}

// A CDATA part ending with the first of two surrogates, which the
// serializer's UTF-8 formatter waits on for ever: in UTF-8 mode the value
// fails with the text up to there; in UTF-16 the serializer writes the unit.
TEST_F(SerialiseDifferentialTest, CdataEndingInHalfAPair) {
    for (const char16_t* data : {u"ab\xD83D", u"ab\xD83D]]>cd"}) {
        DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
        DOMElement* root = d->createElement(u"r");
        d->appendChild(root);
        root->appendChild(d->createTextNode(u"t"));
        root->appendChild(d->createCDATASection(data));
        const TransValue value(d.get());
        {
            const HostTextMode utf8Mode(nullptr);
            TransStatus st;
            EXPECT_EQ(
                mbcsBytes(value.asMBCSXML(st)),
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?><r>t<![CDATA[ab");
            EXPECT_TRUE(st.failure());
            EXPECT_FALSE(st.warning());
        }
        // Below it, elements deeper than the serializer is given: refused
        // whole, as before any write.
        DOMElement* deepest = root;
        for (std::size_t i = 0; i < maxSerializedDepth; ++i)
            deepest = static_cast<DOMElement*>(deepest->appendChild(d->createElement(u"d")));
        {
            const HostTextMode utf8Mode(nullptr);
            TransStatus st;
            EXPECT_EQ(mbcsBytes(TransValue(d.get()).asMBCSXML(st)), "");
            EXPECT_TRUE(st.failure() && st.warning());
        }
        root->removeChild(root->getLastChild())->release();
        TransStatus st;
        const LiteralXml literal = literalXml(d.get(), u"UTF-16");
        EXPECT_EQ(utf16Bytes(value.asUTF16XML(st)), asValueText(literal, true));
        EXPECT_EQ(st.failure(), !literal.written);
    }
}

// Stretches longer than one call of the serializer's formatter (16,384 units
// into 16 KiB): written alike in every encoding, a failing call of markup
// keeping what the calls before it wrote; in ICU's multibyte converters a
// call that would write more than 16 KiB, where ICU holds bytes back, is
// left to the serializer, and only such a call.
TEST_F(SerialiseDifferentialTest, LongStretches) {
    const auto repeat = [](std::u16string_view unit, std::size_t n) {
        std::u16string s;
        for (std::size_t i = 0; i < n; ++i) s += unit;
        return s;
    };
    struct Row {
        const char* what;
        int node;  // 0 text, 1 attribute, 2 CDATA, 3 comment
        std::u16string data;
        bool sjisDeclined;
    };
    const Row rows[] = {
        {"ASCII with an escape", 0, repeat(u"a", 20000) + u"&" + repeat(u"b", 20000), false},
        {"Latin in an attribute", 1, repeat(u"é", 20000), false},
        {"CJK in one call", 0, repeat(u"中", 8000), false},
        {"CJK over one call", 0, repeat(u"中", 9000), true},
        {"CJK in CDATA", 2, repeat(u"中", 20000), true},
        {"a comment failing in its second call", 3, repeat(u"x", 17000) + u"中", false},
        // Surrogates without their pair in CDATA: ICU's converters are left
        // to the serializer.
        {"UTF-8 garbage in the second call", 2, repeat(u"a", 17000) + u"\xDBFF\xE000", true},
        {"UTF-8 garbage pair", 2,
         repeat(u"a", 17000) + u"\xDBFF"
                               u"A",
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
        DOMElement* root = d->createElement(u"r");
        d->appendChild(root);
        switch (row.node) {
            case 0:
                root->appendChild(d->createTextNode(row.data.c_str()));
                break;
            case 1:
                root->setAttribute(u"a", row.data.c_str());
                break;
            case 2:
                root->appendChild(d->createCDATASection(row.data.c_str()));
                break;
            default:
                root->appendChild(d->createComment(row.data.c_str()));
                break;
        }
        compare(d.get(), row.what);
        const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(d.get());
        std::string bytes;
        EXPECT_EQ(writeDocumentCodePage(*store, "Shift_JIS", 100, bytes) == Written::declined,
                  row.sjisDeclined);
    }
}

// UCS-4, which the writer leaves to the serializer, but where the
// serializer's transcoder would wait for ever for a surrogate's pair: the
// value fails with nothing written, and returns.
TEST_F(SerialiseDifferentialTest, Ucs4StallFails) {
    DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
    DOMElement* root = d->createElement(u"r");
    d->appendChild(root);
    root->appendChild(d->createCDATASection(u"ab\xD83D"));
    const TransValue value(d.get());
    const HostTextMode mode("UCS-4");
    ASSERT_EQ(codePageName(), "UCS-4");
    TransStatus st;
    EXPECT_EQ(mbcsBytes(value.asMBCSXML(st)), "");
    EXPECT_TRUE(st.failure() && st.warning());
}
