// The query view over a store against Xalan's own tree made from the same
// document (SourceTree, what queries ran on before the store): node for node
// in document order, every accessor the processor can call answers alike
// (types, names and their namespace parts, values, numbers, relatives,
// attributes in order and by name), and so does the prefix resolver over
// each. Documents mix namespace-aware and level-one nodes, namespace
// declarations between other attributes, CDATA sections, entity references,
// comments and instructions, texts of white space, and nest 100,000 deep.
#include "value/xpath/StoreView.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanProcessingInstruction.hpp>
#include <xalanc/XalanDOM/XalanText.hpp>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "VornJsonSource.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/SourceTree.h"
#include "support/StoreCompare.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"
#include "value/store/DocumentStore.h"

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

namespace {

std::u16string text(const xalan::XalanDOMString& s) {
    return std::u16string(s.c_str(), s.length());
}

std::u16string digits(unsigned long n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

std::u16string number(const xalan::XalanNode* node) {
    return node == nullptr ? u"-" : digits(node->getIndex());
}

// Everything the processor can ask of one node, its relatives by number.
std::u16string describe(const xalan::XalanNode* node) {
    using N = xalan::XalanNode;
    std::u16string d = u"type " + digits(node->getNodeType());
    d += u" name " + text(node->getNodeName()) + u" value " + text(node->getNodeValue());
    d += u" uri " + text(node->getNamespaceURI()) + u" prefix " + text(node->getPrefix());
    d += u" local " + text(node->getLocalName()) + u" #" + number(node);
    d += node->isIndexed() ? u" indexed" : u"";
    d += u" parent " + number(node->getParentNode()) + u" first " + number(node->getFirstChild());
    d += u" last " + number(node->getLastChild()) + u" previous " +
         number(node->getPreviousSibling()) + u" next " + number(node->getNextSibling());
    d += node->getOwnerDocument() != nullptr ? u" owned" : u" unowned";
    try {
        d += node->getChildNodes() == nullptr ? u" no list" : u" list";
    } catch (const xalan::XalanDOMException& e) {
        d += u" list refused " + digits(e.getExceptionCode());
    }
    switch (node->getNodeType()) {
        case N::TEXT_NODE:
        case N::CDATA_SECTION_NODE: {
            const auto* t = static_cast<const xalan::XalanText*>(node);
            d += u" data " + text(t->getData()) + (t->isWhitespace() ? u" blank" : u"");
            break;
        }
        case N::PROCESSING_INSTRUCTION_NODE: {
            const auto* pi = static_cast<const xalan::XalanProcessingInstruction*>(node);
            d += u" target " + text(pi->getTarget()) + u" data " + text(pi->getData());
            break;
        }
        case N::ELEMENT_NODE:
            d += u" tag " + text(static_cast<const xalan::XalanElement*>(node)->getTagName());
            break;
        case N::DOCUMENT_NODE: {
            const auto* document = static_cast<const xalan::XalanDocument*>(node);
            d += u" element " + number(document->getDocumentElement());
            d += u" by id " + number(document->getElementById(xalan::XalanDOMString("x")));
            break;
        }
        default:
            break;
    }
    const xalan::XalanNamedNodeMap* attributes = node->getAttributes();
    if (attributes == nullptr) return d + u" no attributes";
    for (xalan::XalanSize_t i = 0; i < attributes->getLength(); ++i) {
        const auto* a = static_cast<const xalan::XalanAttr*>(attributes->item(i));
        d += u"\n  @" + describe(a) + u" named " + text(a->getName()) + u"=" + text(a->getValue());
        d += u" of " + number(a->getOwnerElement());
        d += u" found " + number(attributes->getNamedItem(a->getNodeName())) + u" " +
             number(attributes->getNamedItemNS(a->getNamespaceURI(), a->getLocalName()));
    }
    d += u" beyond " + number(attributes->item(attributes->getLength()));
    return d + u" unnamed " + number(attributes->getNamedItem(xalan::XalanDOMString("none")));
}

// The first node, in document order, at which the two trees differ, or "".
std::string firstDifference(xalan::XalanDocument& expected, xalan::XalanDocument& actual) {
    const xalan::XalanNode* e = &expected;
    const xalan::XalanNode* a = &actual;
    std::size_t nodes = 0;
    while (e != nullptr || a != nullptr) {
        if (e == nullptr || a == nullptr)
            return "tree ends early after " + std::to_string(nodes) + " nodes";
        const std::u16string de = describe(e), da = describe(a);
        if (de != da)
            return "node " + std::to_string(nodes) + ":\n" + utf8(units(de)) + "\nvs\n" +
                   utf8(units(da));
        ++nodes;
        if (e->getFirstChild() != nullptr) {
            e = e->getFirstChild();
            a = a->getFirstChild();
            continue;
        }
        while (e != nullptr && e->getNextSibling() == nullptr) {
            e = e->getParentNode();
            a = a->getParentNode();
        }
        if (e != nullptr) {
            e = e->getNextSibling();
            a = a->getNextSibling();
        }
    }
    return "";
}

// What each resolver makes of every prefix the document declares, and of
// some it does not.
std::string resolverDifference(xalan::XalanDocument& expected, xalan::XalanDocument& actual,
                               const std::set<std::u16string>& prefixes) {
    xalan::MemoryManager& memory = xalan::XalanMemMgrs::getDefaultXercesMemMgr();
    const xalan::XalanDocumentPrefixResolver e(&expected, xalan::XalanDOMString(), memory);
    const xalan::XalanDocumentPrefixResolver a(&actual, xalan::XalanDOMString(), memory);
    for (const std::u16string& prefix : prefixes) {
        const xalan::XalanDOMString p(prefix.c_str(), memory);
        const xalan::XalanDOMString* ue = e.getNamespaceForPrefix(p);
        const xalan::XalanDOMString* ua = a.getNamespaceForPrefix(p);
        if ((ue == nullptr) != (ua == nullptr) || (ue != nullptr && *ue != *ua))
            return "prefix " + utf8(units(prefix));
    }
    return "";
}

class StoreViewTest : public ::testing::Test {
protected:
    // The view of store against Xalan's tree of dom, the DOM store stands for.
    void expectSameTree(const DocumentStore& store, const DOMDocument* dom) {
        std::unique_ptr<SourceTree> expected = SourceTree::build(store);
        static_cast<void>(dom);
        std::unique_ptr<StoreView> actual = StoreView::build(store);
        ASSERT_TRUE(expected && actual);
        EXPECT_EQ(firstDifference(expected->document(), actual->document()), "");
        std::set<std::u16string> prefixes = {u"", u"xml", u"xmlns", u"none"};
        for (DocumentStore::Id n = 0; n < store.nodeCount(); ++n)
            if (store.type(n) == DocumentStore::Element)
                for (DocumentStore::Id a = store.firstAttribute(n); a != DocumentStore::none;
                     a = store.nextAttribute(a)) {
                    const std::u16string_view name(store.attributeName(a).qname);
                    if (name.substr(0, 6) == u"xmlns:") prefixes.emplace(name.substr(6));
                }
        EXPECT_EQ(resolverDifference(expected->document(), actual->document(), prefixes), "");
    }
    // A document value's store of source against the tree of its literal copy.
    void expectSameTree(const DOMDocument* source) {
        const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(source);
        DocumentPtr copy(literalCopy(source));
        expectSameTree(*store, copy.get());
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
};

TEST_F(StoreViewTest, NodeForNodeAsXalansTree) {
    const char* const documents[] = {
        "<a/>",
        "<r xmlns=\"urn:default\" xmlns:p=\"urn:p\" p:a=\"1\" b=\"zwei\" xml:lang=\"de\">"
        "<p:item id=\"x\" p:v=\"3.5\">Größe<![CDATA[ & <raw> ]]>tail</p:item>"
        "<item v=\"-2\"><!--c--><?target data here?>€ text</item>"
        "<empty/><p:empty xmlns:q=\"urn:q\" q:z=\"\"/></r>",
        // Declarations sorting between other attributes; a default
        // namespace undeclared below.
        "<r zz='1' A='2' xmlns:b='urn:b' b:c='3' xmlns='urn:d' a='4'><x xmlns='' y='5'>"
        "<b:x xmlns:b='urn:other'/></x>\n  \t<y>  </y></r>",
        "<!DOCTYPE r [<!ENTITY e 'ex'><!ATTLIST r d CDATA 'def'>]><r a='&e;x'>&e;<![CDATA[]]>"
        "&e;t&e;<![CDATA[  ]]></r>",
    };
    for (const char* xml : documents) {
        SCOPED_TRACE(xml);
        DocumentPtr source = parseXml(std::string(xml));
        ASSERT_NE(source, nullptr);
        expectSameTree(source.get());
    }

    // Built through the DOM: level-one nodes beside namespace-aware ones,
    // declarations of both kinds, a URI without a prefix, adjacent and
    // empty texts.
    DocumentPtr built(DOMImplementation::getImplementation()->createDocument());
    DOMElement* root = built->createElement(u"p:root");
    built->appendChild(root);
    root->setAttribute(u"xmlns:p", u"urn:level-one");
    root->setAttribute(u"xsi:type", u"t");
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:q", u"urn:q");
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns", u"urn:d");
    root->setAttributeNS(u"urn:u", u"plain", u"u");
    root->setAttributeNS(u"urn:q", u"q:a", u"qa");
    root->setAttribute(u"Z", u"z");
    DOMElement* child = built->createElementNS(u"urn:q", u"q:child");
    root->appendChild(child);
    child->appendChild(built->createTextNode(u"one"));
    child->appendChild(built->createTextNode(u""));
    child->appendChild(built->createTextNode(u" "));
    child->appendChild(built->createEntityReference(u"ent"));
    child->appendChild(built->createCDATASection(u"c"));
    root->appendChild(built->createElementNS(nullptr, u"none"));
    root->appendChild(built->createElementNS(u"urn:d", u"d"));
    root->appendChild(built->createProcessingInstruction(u"pi", u""));
    root->appendChild(built->createComment(u""));
    expectSameTree(built.get());

    std::string error;
    const std::unique_ptr<VORN_DataSource> survey =
        LoadDataSourceJSON(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/survey.json", error);
    ASSERT_NE(survey, nullptr) << error;
    DictionaryBuilder builder;
    DocumentPtr dictionary(builder.build(*survey));
    expectSameTree(dictionary.get());
}

// Stores made through their own members: comments and instructions beside
// the document element (a value's copy never has them), and 100,000 levels.
TEST_F(StoreViewTest, StoresBuiltDirectly) {
    DocumentStore store;
    const auto element = [&store](DocumentStore::Id parent) {
        const DocumentStore::Id e =
            store.element(store.name(DocumentStore::NameUse::Element, u"e"));
        store.append(parent, e);
        return e;
    };
    store.append(DocumentStore::documentNode, store.text(DocumentStore::Comment, u"lead"));
    store.append(DocumentStore::documentNode,
                 store.instruction(store.name(DocumentStore::NameUse::Target, u"t"), u"d"));
    DocumentStore::Id parent = element(DocumentStore::documentNode);
    store.append(DocumentStore::documentNode, store.text(DocumentStore::Comment, u"trail"));
    for (int level = 1; level < 100000; ++level) {
        parent = element(parent);
        store.appendAttribute(parent, store.name(DocumentStore::NameUse::Attribute, u"n"), u"v");
    }
    DocumentPtr dom(store.makeDom());
    expectSameTree(store, dom.get());

    // An entity reference with children leaves no view, as it left no tree;
    // a second element at the top is refused as Xalan's tree refuses it.
    DocumentStore referencing;
    const DocumentStore::Id r =
        referencing.element(referencing.name(DocumentStore::NameUse::Element, u"r"));
    referencing.append(DocumentStore::documentNode, r);
    const DocumentStore::Id reference = referencing.entityReference(
        referencing.name(DocumentStore::NameUse::EntityReference, u"e"));
    referencing.append(r, reference);
    referencing.append(reference, referencing.text(DocumentStore::Text, u"x"));
    EXPECT_EQ(StoreView::build(referencing), nullptr);
    DocumentStore twoTops;
    for (const char16_t* top : {u"r", u"s"})
        twoTops.append(DocumentStore::documentNode,
                       twoTops.element(twoTops.name(DocumentStore::NameUse::Element, top)));
    EXPECT_THROW(StoreView::build(twoTops), xalan::XalanDOMException);
}

// Values are made on their first request: threads asking at once get one
// string, which stays where it is.
TEST_F(StoreViewTest, ValuesMadeOnceAcrossThreads) {
    DocumentStore store;
    const DocumentStore::Id root = store.element(store.name(DocumentStore::NameUse::Element, u"r"));
    store.append(DocumentStore::documentNode, root);
    const DocumentStore::Id name = store.name(DocumentStore::NameUse::Attribute, u"a");
    for (int i = 0; i < 2000; ++i) {
        const DocumentStore::Id e =
            store.element(store.name(DocumentStore::NameUse::Element, u"e"));
        store.append(root, e);
        store.appendAttribute(e, name, u"value " + std::u16string(1, char16_t(u'a' + i % 26)));
        store.append(e, store.text(DocumentStore::Text, u"text"));
    }
    std::unique_ptr<StoreView> view = StoreView::build(store);
    ASSERT_NE(view, nullptr);
    const auto collect = [&view](std::vector<const xalan::XalanDOMString*>& seen) {
        for (xalan::XalanNode* e = view->document().getDocumentElement()->getFirstChild();
             e != nullptr; e = e->getNextSibling()) {
            seen.push_back(&e->getAttributes()->item(0)->getNodeValue());
            seen.push_back(&e->getFirstChild()->getNodeValue());
        }
    };
    std::vector<const xalan::XalanDOMString*> first, second;
    std::thread other(collect, std::ref(second));
    collect(first);
    other.join();
    EXPECT_EQ(first, second);
    std::vector<const xalan::XalanDOMString*> again;
    collect(again);
    EXPECT_EQ(first, again);
    EXPECT_EQ(text(*first[2]), u"value b");
}

}  // namespace
