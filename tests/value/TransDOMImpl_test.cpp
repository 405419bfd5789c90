// Document values: their own copy of the caller's document element, stable
// Xalan views per value, and the XML text in both encodings.
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"
#include "value/DocumentDepth.h"
#include "value/TransValueImpl.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const char* const sample =
    "<?xml version=\"1.0\"?>\n"
    "<!-- before -->\n"
    "<?host-note keep me out?>\n"
    "<dictionary locale=\"de_DE\"><variable name=\"age\" label=\"Alter in Jahren\"/>"
    "<variable name=\"stadt\" label=\"Gr\xC3\xB6\xC3\x9F" "e der Stadt \xE2\x82\xAC\"/></dictionary>\n"
    "<!-- after -->";

class DocumentValueTest : public ::testing::Test {
protected:
    TransSpace space;
    HostTextMode textMode{nullptr};
};

std::u16string utf16Xml(const TransValue& value, TransStatus& st) {
    return take(value.asUTF16XML(st));
}

// A chain of depth nested elements under the document.
DocumentPtr deepDocument(std::size_t depth) {
    DOMImplementation* dom = DOMImplementation::getImplementation();
    DocumentPtr document(dom->createDocument());
    DOMNode* parent = document.get();
    for (std::size_t i = 0; i < depth; ++i) parent = parent->appendChild(document->createElement(u"e"));
    return document;
}

}  // namespace

TEST_F(DocumentValueTest, HoldsItsOwnCopyOfTheDocumentElementOnly) {
    DocumentPtr source = parseXml(sample);
    ASSERT_NE(source, nullptr);
    TransValue value(source.get());
    // The caller's later changes and its destruction reach no value.
    source->getDocumentElement()->setAttribute(u"locale", u"changed");
    source.reset();

    TransStatus st;
    const std::u16string text = utf16Xml(value, st);
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_NE(text.find(u"locale=\"de_DE\""), std::u16string::npos);
    EXPECT_EQ(text.find(u"<!--"), std::u16string::npos);
    EXPECT_EQ(text.find(u"host-note"), std::u16string::npos);

    TransValue* original = new TransValue(value);
    TransValue clone(*original);
    const auto* view = original->asXalanDocument(st);
    EXPECT_EQ(original->asXalanDocument(st), view);
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_NE(clone.asXalanDocument(st), view);
    delete original;
    EXPECT_EQ(takeUtf8(clone.asString(ts("/dictionary/variable[1]"), ts("@label"), st)),
              "Alter in Jahren");
    EXPECT_EQ(utf16Xml(clone, st), text);
}

TEST_F(DocumentValueTest, EmptyDocumentsStillAnswer) {
    DocumentPtr noElement(DOMImplementation::getImplementation()->createDocument());
    // The parser takes this name; the DOM's own name check refuses to copy it.
    DocumentPtr uncopyable = parseXml("<a><\xF0\x98\x9F\x80" "b/></a>");
    ASSERT_NE(uncopyable, nullptr);
    for (const DOMDocument* source : {static_cast<const DOMDocument*>(nullptr),
                                      static_cast<const DOMDocument*>(noElement.get()),
                                      static_cast<const DOMDocument*>(uncopyable.get())}) {
        TransValue value(source);
        TransStatus st;
        EXPECT_EQ(utf16Xml(value, st), u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>");
        EXPECT_FALSE(st.failure() || st.warning());
        EXPECT_EQ(value.asDouble(ts("/"), ts("count(//*)"), st), 0.0);
        EXPECT_FALSE(st.failure() || st.warning());
        EXPECT_EQ(takeUtf8(value.asString(ts("/dictionary"), ts("@locale"), st)), "");
        EXPECT_TRUE(st.failure() && st.warning());
    }
}

TEST_F(DocumentValueTest, NumberAndStringReadsOfTheWholeValue) {
    DocumentPtr source = parseXml(sample);
    TransValue value(source.get());
    TransStatus st;
    EXPECT_EQ(value.asDouble(st), missingNumber);
    EXPECT_TRUE(st.failure() && st.warning());
    const std::u16string xml = utf16Xml(value, st);
    EXPECT_EQ(take(value.asString(st)), xml);
    EXPECT_TRUE(st.warning());
    EXPECT_FALSE(st.failure());
    EXPECT_EQ(take(value.asXML()), xml);
}

// The multibyte text differs from the UTF-16 text only in the encoding it
// names, wherever the code page holds the characters.
TEST_F(DocumentValueTest, BothEncodingsCarryTheSameText) {
    DocumentPtr source = parseXml(sample);
    TransValue value(source.get());
    TransStatus st;
    const std::u16string utf16 = utf16Xml(value, st);
    ASSERT_NE(utf16.find(u"Größe der Stadt €"), std::u16string::npos);

    struct Case {
        const char* codePage;  // null: UTF-8 mode
        const char16_t* declared;
    };
    for (const Case& c : {Case{nullptr, u"UTF-8"}, Case{"windows-1252", u"windows-1252"},
                          Case{"ISO-8859-15", u"ISO-8859-15"}}) {
        SCOPED_TRACE(c.codePage != nullptr ? c.codePage : "UTF-8 mode");
        HostTextMode mode(c.codePage);
        TransString* mbcs = value.asMBCSXML(st);
        EXPECT_FALSE(st.failure() || st.warning());
        std::u16string expected = utf16;
        expected.replace(expected.find(u"UTF-16"), 6, c.declared);
        EXPECT_EQ(take(mbcs), expected);
    }
    {
        // Shift_JIS holds none of "öß€": the serializer writes them as
        // character references, which read back as the same document.
        HostTextMode mode("Shift_JIS");
        const std::u16string text = take(value.asMBCSXML(st));
        EXPECT_FALSE(st.failure());
        EXPECT_NE(text.find(u"&#x"), std::u16string::npos);
    }
    {
        // A CDATA section is split around what the code page cannot hold,
        // and the character goes between the parts as a reference.
        HostTextMode mode("windows-1252");
        DocumentPtr cdata = parseXml(std::string("<a><![CDATA[<x>\xE4\xB8\xAD\xE2\x82\xAC]]></a>"));
        const std::u16string text = take(TransValue(cdata.get()).asMBCSXML(st));
        EXPECT_FALSE(st.failure());
        EXPECT_NE(text.find(u"]]>&#x4E2D;<![CDATA["), std::u16string::npos);
        DocumentPtr back = parseXml(text);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(take(TransValue(back.get()).asString(ts("/a"), ts("string(.)"), st)), u"<x>\u4E2D\u20AC");
    }
    DocumentPtr reparsed = parseXml(utf16);
    ASSERT_NE(reparsed, nullptr);
    EXPECT_EQ(utf16Xml(TransValue(reparsed.get()), st), utf16);
}

// Characters XML 1.0 cannot carry make the serializer give up; the value
// reports the failure and keeps answering queries.
TEST_F(DocumentValueTest, UnwritableCharactersFailTheSerialisationOnly) {
    for (const char16_t* bad : {u"a\u0001b", u"tab\u000Bbed", u"x\xD800y", u"\uFFFE"}) {
        DocumentPtr source(DOMImplementation::getImplementation()->createDocument());
        DOMElement* root = source->createElement(u"root");
        source->appendChild(root);
        root->setAttribute(u"label", bad);
        root->appendChild(source->createTextNode(bad));
        TransValue value(source.get());
        TransStatus st;
        take(value.asUTF16XML(st));
        EXPECT_TRUE(st.failure());
        take(value.asMBCSXML(st));
        EXPECT_TRUE(st.failure());
        EXPECT_EQ(take(value.asString(ts("/root"), ts("@label"), st)), bad);
        EXPECT_FALSE(st.failure() || st.warning());
    }
}

// Character references serve only in text and attribute values: a name, a
// comment or a processing instruction the code page cannot hold cuts the
// multibyte text short, and a CDATA character beyond the BMP becomes a
// reference to two surrogates; the failure flag reports both (the UTF-16 text
// holds everything).
TEST_F(DocumentValueTest, MarkupTheCodePageCannotHoldFailsTheMultibyteText) {
    HostTextMode mode("windows-1252");
    for (const char* xml : {"<a><b\xE4\xB8\xAD/></a>", "<a b\xE4\xB8\xAD=\"1\"/>",
                            "<a><!--\xE4\xB8\xAD--></a>", "<a><?p \xE4\xB8\xAD?></a>",
                            "<a><![CDATA[\xF0\x9F\x98\x80]]></a>"}) {
        SCOPED_TRACE(xml);
        DocumentPtr source = parseXml(std::string(xml));
        ASSERT_NE(source, nullptr);
        TransValue value(source.get());
        TransStatus st;
        EXPECT_NE(parseXml(utf16Xml(value, st)), nullptr);
        EXPECT_FALSE(st.failure());
        const std::u16string text = take(value.asMBCSXML(st));
        EXPECT_TRUE(st.failure());
        EXPECT_FALSE(st.warning());  // the declaration and the start were written
        EXPECT_EQ(parseXml(text), nullptr);
    }
}

TEST_F(DocumentValueTest, DocumentsTooDeepForTheSerializerAreRefused) {
    EXPECT_EQ(documentDepth(deepDocument(0).get()), 0u);
    EXPECT_EQ(documentDepth(deepDocument(3).get()), 3u);
    for (std::size_t depth : {maxSerializedDepth, maxSerializedDepth + 1}) {
        SCOPED_TRACE(depth);
        DocumentPtr source = deepDocument(depth);
        TransValue value(source.get());
        TransStatus st;
        const std::u16string text = take(value.asUTF16XML(st));
        const bool refused = depth > maxSerializedDepth;
        EXPECT_EQ(st.failure(), refused);
        EXPECT_EQ(text.empty(), refused);
        EXPECT_EQ(st.warning(), refused);
        // Queries do not recurse per level and still answer.
        EXPECT_EQ(value.asDouble(ts("/"), ts("count(/descendant::e)"), st), static_cast<double>(depth));
        EXPECT_FALSE(st.failure() || st.warning());
    }
}

// Deeper than a deep importNode or the serializer survive; copies, queries and
// destruction still must.
TEST_F(DocumentValueTest, LargeDepthIsCopiedAndQueried) {
    const std::size_t depth = 100000;
    DocumentPtr source = deepDocument(depth);
    TransValue value(source.get());
    source.reset();
    TransValue clone(value);
    TransStatus st;
    EXPECT_TRUE(take(clone.asUTF16XML(st)).empty());
    EXPECT_TRUE(st.failure());
    EXPECT_EQ(clone.asDouble(ts("/"), ts("count(/descendant::e)"), st), static_cast<double>(depth));
    EXPECT_FALSE(st.failure() || st.warning());
}

TEST_F(DocumentValueTest, ClonesAreQueriedFromTwoThreadsAtOnce) {
    // Both threads race for the first query, which builds what the clones
    // share; each then reads its own Xalan view as well.
    DocumentPtr source = parseXml(sample);
    TransValue value(source.get());
    TransValue clone(value);
    std::vector<std::string> seen[2];
    auto reader = [](const TransValue& v, std::vector<std::string>& out) {
        for (int i = 0; i < 200; ++i) {
            TransStatus st;
            out.push_back(takeUtf8(v.asString(ts("/dictionary/variable[2]"), ts("@label"), st)));
            if (st.failure() || st.warning() || v.asXalanDocument(st) == nullptr)
                out.push_back("flags");
        }
    };
    std::thread first(reader, std::cref(value), std::ref(seen[0]));
    std::thread second(reader, std::cref(clone), std::ref(seen[1]));
    first.join();
    second.join();
    const std::vector<std::string> expected(200, "Gr\xC3\xB6\xC3\x9F" "e der Stadt \xE2\x82\xAC");
    EXPECT_EQ(seen[0], expected);
    EXPECT_EQ(seen[1], expected);
}
