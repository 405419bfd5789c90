// The compact store against the literal copy a value made before it: over
// host documents, the fuzzing seeds, the example codebook and dictionaries,
// generated trees and a document 100,000 levels deep, the store fromDom makes
// stands node for node (attribute order, namespaces and their absence,
// entity references in attribute values included) for the copy; and the
// store's setAttribute puts attributes where the DOM's setAttribute and
// setAttributeNS do.
#include "value/store/DocumentStore.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "VornSourceFile.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/StoreCompare.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

XERCES_CPP_NAMESPACE_USE

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A random tree built through the DOM with what the copy must keep: names
// with and without namespaces (equal names in several namespaces, and one
// without beside them), null and empty namespace URIs, attributes whose
// values hold entity references, attributes renamed after they were set
// (which leaves the map out of order), texts beyond the BMP, CDATA sections,
// comments, instructions and entity references.
DocumentPtr generated(std::mt19937& random) {
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const char16_t* const uris[] = {u"urn:a", u"urn:b", u"urn:c", u""};
    const char16_t* const attributeNames[] = {u"b", u"p:b", u"q:b", u"a", u"xmlns:p"};
    const char16_t* const texts[] = {u"", u"t", u"\U0001F600 x", u"a&b", u"\U00010000"};
    DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
    std::vector<DOMElement*> open;
    for (std::size_t count = 1 + pick(25); count > 0; --count) {
        DOMElement* e;
        switch (pick(4)) {
            case 0:
                e = d->createElement(pick(2) == 0 ? u"e" : u"p:e");
                break;
            case 1:
                e = d->createElementNS(nullptr, u"e");
                break;
            default:
                e = d->createElementNS(uris[pick(3)], pick(2) == 0 ? u"e" : u"p:e");
                break;
        }
        for (std::size_t n = pick(7); n > 0; --n) {
            const char16_t* name = attributeNames[pick(4)];
            const char16_t* value = texts[pick(std::size(texts))];
            try {
                switch (pick(7)) {
                    case 0:
                        e->setAttribute(name, value);
                        break;
                    case 1: {
                        // Parts: a text, a reference, a text.
                        DOMAttr* a = pick(2) == 0 ? d->createAttribute(name)
                                                  : d->createAttributeNS(uris[pick(3)], name);
                        a->appendChild(d->createTextNode(value));
                        a->appendChild(d->createEntityReference(u"ent"));
                        a->appendChild(d->createTextNode(u"z"));
                        if (a->getLocalName() == nullptr)
                            e->setAttributeNode(a);
                        else
                            e->setAttributeNodeNS(a);
                        break;
                    }
                    case 2:
                        e->setAttributeNS(uris[3], u"b", value);
                        break;
                    case 3:
                        e->setAttributeNS(nullptr, u"b", value);
                        break;
                    case 4:
                        e->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:p",
                                          uris[pick(3)]);
                        break;
                    case 5:
                        if (DOMAttr* a = e->getAttributeNodeNS(uris[pick(3)], u"b"))
                            a->setPrefix(pick(2) == 0 ? u"z" : u"a");
                        break;
                    default:
                        e->setAttributeNS(uris[pick(3)], name, value);
                        break;
                }
            } catch (const DOMException&) {
                // A combination the DOM refuses (a prefix without a URI).
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
                parent->appendChild(d->createTextNode(texts[pick(std::size(texts))]));
                break;
            case 1:
                parent->appendChild(d->createCDATASection(u"c\U0001F600]]>"));
                break;
            case 2:
                parent->appendChild(d->createComment(u"\U0001F600"));
                break;
            case 3:
                parent->appendChild(d->createProcessingInstruction(u"pi", u"\U00010000"));
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

class DocumentStoreTest : public ::testing::Test {
protected:
    // The store of source stands for the copy.
    void expectCopy(const DOMDocument* source, const std::string& name) {
        SCOPED_TRACE(name);
        const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(source);
        const DocumentPtr copy(literalCopy(source));
        EXPECT_EQ(storeDifference(*store, copy.get()), "");
        ++compared;
    }

    TransSpace space;  // the XML runtime
    int compared = 0;
};

}  // namespace

TEST_F(DocumentStoreTest, HostDocumentsAndSeeds) {
    const char* const documents[] = {
        "<a/>",
        "<?pi x?><!--before--><a b='1' a='2'>t<![CDATA[c]]>&amp;<!--c--><?t d?><e/></a>",
        "<r xmlns='urn:d' xmlns:p='urn:p'><p:x p:y='1' z='2' xmlns:q='urn:q'/><x xmlns=''/></r>",
        "<!DOCTYPE r [<!ENTITY e 'ex'><!ATTLIST r d CDATA 'def'>]><r a='&e;x'>&e;</r>",
        "<r>\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80</r>",
    };
    for (const char* text : documents) {
        DocumentPtr source = parseXml(std::string(text));
        ASSERT_NE(source, nullptr) << text;
        expectCopy(source.get(), text);
    }
    expectCopy(nullptr, "no document");
    // The seeds of the targets whose first byte is a mode, and the example
    // codebook as a host document.
    const std::filesystem::path root(TRANSSPACE_SOURCE_DIR);
    std::vector<std::filesystem::path> files = {root / "examples/codebook.xml"};
    for (const char* folder : {"fuzz/corpus/documents", "fuzz/corpus/serialise"})
        for (const auto& entry : std::filesystem::directory_iterator(root / folder))
            files.push_back(entry.path());
    for (const std::filesystem::path& file : files) {
        std::string bytes = readFile(file);
        if (file.filename() != "codebook.xml" && !bytes.empty()) bytes.erase(0, 1);
        DocumentPtr source = parseXmlBytes(bytes.data(), bytes.size(), nullptr);
        if (source) expectCopy(source.get(), file.string());
    }
    EXPECT_GT(compared, 30);
}

TEST_F(DocumentStoreTest, Dictionaries) {
    const std::string examples = std::string(TRANSSPACE_SOURCE_DIR) + "/examples/";
    for (const char* file : {"survey.json", "survey-wave2.json", "minimal.json", "codebook.xml"}) {
        std::string error;
        std::vector<std::string> notes;
        const HostTextMode utf8Mode(nullptr);
        const std::unique_ptr<VORN_DataSource> source =
            LoadDataSource(examples + file, error, notes);
        ASSERT_NE(source, nullptr) << error;
        const DocumentPtr built(DictionaryBuilder().build(*source));
        ASSERT_NE(built, nullptr);
        expectCopy(built.get(), file);
    }
}

TEST_F(DocumentStoreTest, GeneratedAndDeepDocuments) {
    std::mt19937 random(25);
    for (int i = 0; i < 500; ++i) {
        const DocumentPtr d = generated(random);
        expectCopy(d.get(), "generated " + std::to_string(i));
    }
    // Deeper than any recursion could walk.
    DocumentPtr deep(DOMImplementation::getImplementation()->createDocument());
    DOMNode* parent = deep.get();
    for (int level = 0; level < 100000; ++level) {
        DOMElement* e = deep->createElementNS(u"urn:d", level % 2 == 0 ? u"d:e" : u"e");
        e->setAttribute(u"n", u"\U0001F600");
        parent = parent->appendChild(e);
    }
    parent->appendChild(deep->createTextNode(u"bottom"));
    expectCopy(deep.get(), "deep");
    EXPECT_EQ(DocumentStore::fromDom(deep.get())->depth(), 100000u);
}

// The same calls of setAttribute, on the store and on a DOM element, leave
// the same attributes in the same order: equal names in several namespaces,
// names without namespaces beside them, values given to an attribute found
// by the whole name, empty namespace URIs taken as none. Where that order
// is in order of name, the store's DOM holds it too.
TEST_F(DocumentStoreTest, SetAttributeAsTheDom) {
    const char16_t* const uris[] = {u"urn:a", u"urn:b", u"", nullptr};
    const char16_t* const names[] = {u"b", u"p:b", u"q:b", u"a", u"z"};
    const auto text = [](const char16_t* s) {
        return s != nullptr ? "\"" + utf8(reinterpret_cast<const unsigned short*>(s)) + "\""
                            : std::string("none");
    };
    std::mt19937 random(7);
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    int ordered = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
        DOMElement* e = d->createElement(u"r");
        d->appendChild(e);
        DocumentStore store;
        const DocumentStore::Id element =
            store.element(store.name(DocumentStore::NameUse::Element, u"r"));
        store.append(DocumentStore::documentNode, element);
        for (std::size_t n = 1 + pick(8); n > 0; --n) {
            const char16_t* name = names[pick(std::size(names))];
            const std::u16string value = u"v" + std::u16string(1, char16_t(u'0' + n));
            if (pick(3) == 0) {
                e->setAttribute(name, value.c_str());
                store.setAttribute(element, store.name(DocumentStore::NameUse::Attribute, name),
                                   value);
                continue;
            }
            const char16_t* uri = uris[pick(std::size(uris))];
            try {
                e->setAttributeNS(uri, name, value.c_str());
            } catch (const DOMException&) {
                continue;  // a prefix without a URI
            }
            store.setAttribute(element, store.nameNS(DocumentStore::NameUse::Attribute, uri, name),
                               value);
        }
        std::string held, wanted;
        bool inOrder = true;
        const DOMNamedNodeMap* map = e->getAttributes();
        for (XMLSize_t i = 0; i < map->getLength(); ++i) {
            const DOMNode* a = map->item(i);
            wanted += text(a->getNodeName()) + text(a->getNamespaceURI()) +
                      text(a->getLocalName()) + text(a->getNodeValue()) + " ";
            if (i > 0 &&
                XMLString::compareString(map->item(i - 1)->getNodeName(), a->getNodeName()) > 0)
                inOrder = false;
        }
        for (DocumentStore::Id a = store.firstAttribute(element); a != DocumentStore::none;
             a = store.nextAttribute(a)) {
            const DocumentStore::Name& n = store.attributeName(a);
            held += text(n.qname) + text(n.namespaceURI) + text(n.localName) +
                    text(store.attributeValueZ(a)) + " ";
        }
        EXPECT_EQ(held, wanted);
        if (inOrder) {
            EXPECT_EQ(storeDifference(store, d.get()), "");
            ++ordered;
        }
    }
    EXPECT_GT(ordered, 300);
}
