// Several spaces at once: the runtime comes up with the first live space and
// goes down after the last, in whatever order spaces come and go, and the
// survivor keeps working.
#include <memory>

#include <gtest/gtest.h>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeParserLiaison.hpp>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

namespace {

namespace xalan = XALAN_CPP_NAMESPACE;
namespace xerces = XERCES_CPP_NAMESPACE;

TransString text(const char* utf8Text) { return TransString(units(u16(utf8Text))); }

// Each probe needs the runtime of one library, so a space that went down too
// early fails here rather than in a later test.
void expectParserPlatformUp() {
    xerces::DOMImplementation* dom =
        xerces::DOMImplementationRegistry::getDOMImplementation(u"Core");
    ASSERT_NE(dom, nullptr);
    xerces::DOMDocument* document = dom->createDocument(nullptr, u"root", nullptr);
    ASSERT_NE(document, nullptr);
    EXPECT_NE(document->getDocumentElement(), nullptr);
    document->release();
}

void expectXPathUp() {
    xalan::XalanSourceTreeParserLiaison liaison;
    xalan::XalanSourceTreeDOMSupport support(liaison);
    xalan::XalanDocument* document = liaison.createXalanSourceTreeDocument();
    xalan::XPathEvaluator evaluator;
    const xalan::XObjectPtr result = evaluator.evaluate(support, document, u"1 + 2 * 3");
    ASSERT_FALSE(result.null());
    EXPECT_EQ(result->num(), 7.0);
}

// A document value stored in the space, found again and queried.
void expectDocumentValueWorks(TransSpace& space) {
    DocumentPtr document = parseXml(std::string("<probe answer=\"42\"/>"));
    ASSERT_NE(document, nullptr);
    TransStatus st;
    ASSERT_TRUE(space.add(text("document"), TransValue(document.get()), st));
    document.reset();
    const TransValue found = space.find(text("Document"));
    EXPECT_EQ(found.asDouble(text("/probe"), text("@answer"), st), 42.0);
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_TRUE(space.remove(text("document")));
}

void expectSpaceWorks(TransSpace& space, const char* what) {
    SCOPED_TRACE(what);
    TransStatus st;
    ASSERT_TRUE(space.add(text("probe"), TransValue(1.5), st));
    EXPECT_EQ(space.find(text("PROBE")).asDouble(), 1.5);
    EXPECT_TRUE(space.remove(text("probe")));
    expectParserPlatformUp();
    expectXPathUp();
    expectDocumentValueWorks(space);
}

}  // namespace

TEST(TransSpaceRuntime, OneSpaceAfterAnother) {
    for (int round = 0; round < 3; ++round) {
        TransSpace space;
        expectSpaceWorks(space, "fresh space");
    }
}

TEST(TransSpaceRuntime, FirstMadeDestroyedFirst) {
    auto first = std::make_unique<TransSpace>();
    auto second = std::make_unique<TransSpace>();
    first->add(text("kept"), TransValue(text("in first")));
    first.reset();
    expectSpaceWorks(*second, "second after first went");
    second.reset();
}

TEST(TransSpaceRuntime, LastMadeDestroyedFirst) {
    auto first = std::make_unique<TransSpace>();
    {
        TransSpace nested;
        nested.add(text("kept"), TransValue(2.0));
        expectSpaceWorks(nested, "nested");
    }
    expectSpaceWorks(*first, "outer after nested went");
}

TEST(TransSpaceRuntime, OverlappingSpaces) {
    // a and b overlap, then b and c, then c alone: the count never touches
    // zero until c goes.
    auto a = std::make_unique<TransSpace>();
    auto b = std::make_unique<TransSpace>();
    a.reset();
    auto c = std::make_unique<TransSpace>();
    expectSpaceWorks(*b, "b with c");
    b.reset();
    expectSpaceWorks(*c, "c alone");
    c.reset();

    TransSpace again;
    expectSpaceWorks(again, "after the runtime went down and up");
}
