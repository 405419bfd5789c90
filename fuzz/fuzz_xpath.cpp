// A context path and an expression (the input up to its first newline, and
// the rest; without a newline the whole input is the expression, at the root)
// through the three queries of a dictionary document, its clone and two host
// documents with CDATA sections, entity references and namespaces, every
// answer checked against the literal query on the wrapper view. Input starting with
// 0xFF is UTF-16LE after that byte, so lone surrogates reach the processor;
// otherwise it is UTF-8.
#include <cstdint>
#include <memory>
#include <string>

#include <xercesc/dom/DOM.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "VornJsonSource.h"
#include "support/HostTextMode.h"
#include "support/XmlDocuments.h"

namespace {

// Documents with CDATA sections and namespaces.
const char kHostDocument[] =
    "<?xml version=\"1.0\"?><!-- lead --><r xmlns=\"urn:d\" xmlns:p=\"urn:p\" p:a=\"1\" b=\"2\">"
    "<p:item id=\"x\" p:v=\"3.5\">text<![CDATA[ & <raw> ]]>tail</p:item>"
    "<item v=\"-2\"><?pi data?>more</item><empty/></r>";

// Entity references come only from the DOM: the parser here expands them.
DocumentPtr builtDocument() {
    using namespace XERCES_CPP_NAMESPACE;
    DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
    DOMElement* root = d->createElementNS(u"urn:d", u"d:r");
    d->appendChild(root);
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:d", u"urn:d");
    root->setAttribute(u"name", u"a");
    for (const char16_t* name : {u"a", u"b", u"a"}) {
        DOMElement* item = d->createElementNS(u"urn:d", u"d:item");
        item->setAttribute(u"name", name);
        item->appendChild(d->createTextNode(u"t"));
        item->appendChild(d->createEntityReference(u"e"));
        item->appendChild(d->createCDATASection(name));
        item->appendChild(d->createCDATASection(u""));
        root->appendChild(item);
    }
    return d;
}

struct Fixture {
    TransSpace space;
    HostTextMode mode{nullptr};
    std::unique_ptr<TransValue> dictionary;
    std::unique_ptr<TransValue> clone;
    std::unique_ptr<TransValue> host;
    std::unique_ptr<TransValue> built;
    double variables = 0;

    Fixture() {
        std::string error;
        std::unique_ptr<VORN_DataSource> source =
            LoadDataSourceJSON(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/survey.json", error);
        FUZZ_CHECK(source != nullptr);
        dictionary.reset(new TransValue(*source));
        clone.reset(new TransValue(*dictionary));
        DocumentPtr parsed = parseXml(std::string(kHostDocument));
        FUZZ_CHECK(parsed != nullptr);
        host.reset(new TransValue(parsed.get()));
        built.reset(new TransValue(builtDocument().get()));
        variables = probe();
        FUZZ_CHECK(variables > 1);
    }

    // A query whose answer is known: the value still works.
    double probe() const {
        TransStatus st;
        return dictionary->asDouble(fuzz::fromUTF8("/"), fuzz::fromUTF8("count(//variable)"), st);
    }
};

Fixture* fixture = nullptr;

TransString decode(const uint8_t* data, size_t size, bool utf16) {
    if (!utf16) return fuzz::fromUTF8(std::string(reinterpret_cast<const char*>(data), size));
    icu::UnicodeString text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.append(static_cast<UChar>(data[i] | (data[i + 1] << 8)));
    return TransStringAccess::fromUTF16(text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool utf16 = size > 0 && data[0] == 0xFF;
    if (utf16) {
        ++data;
        --size;
    }
    size_t split = size;
    const size_t step = utf16 ? 2 : 1;
    for (size_t i = 0; i + step <= size; i += step) {
        if (data[i] == '\n' && (!utf16 || data[i + 1] == 0)) {
            split = i;
            break;
        }
    }
    TransString contextPath = fuzz::fromUTF8("/");
    TransString expression;
    if (split == size) {
        expression = decode(data, size, utf16);
    } else {
        contextPath = decode(data, split, utf16);
        expression = decode(data + split + step, size - split - step, utf16);
    }

    const fuzz::QueryOutcome a = fuzz::checkQueries(*fixture->dictionary, contextPath, expression);
    const fuzz::QueryOutcome b = fuzz::checkQueries(*fixture->clone, contextPath, expression);
    // A clone answers as its original does.
    FUZZ_CHECK(a.text == b.text && a.textFlags == b.textFlags);
    FUZZ_CHECK(a.list == b.list && a.listFlags == b.listFlags);
    FUZZ_CHECK(fuzz::sameNumber(a.number, b.number) && a.numberFlags == b.numberFlags);
    fuzz::checkQueries(*fixture->host, contextPath, expression);
    fuzz::checkQueries(*fixture->built, contextPath, expression);

    FUZZ_CHECK(fixture->probe() == fixture->variables);
    return 0;
}
