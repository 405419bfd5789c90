#include "dictionary/DictionaryFixture.h"

#include <xercesc/dom/DOMLSSerializer.hpp>

#include <unicode/unistr.h>

#include "VornJsonSource.h"

XERCES_CPP_NAMESPACE_USE

namespace {

std::string utf8(const XMLCh* text) {
    std::string out;
    if (text != nullptr) icu::UnicodeString(text).toUTF8String(out);
    return out;
}

std::u16string xmlch(const char* utf8Text) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(utf8Text);
    return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

std::string sourceDir() {
    const char* dir = std::getenv("TRANSSPACE_SOURCE_DIR");
    return dir != nullptr ? dir : TRANSSPACE_SOURCE_DIR;
}

}  // namespace

DocumentPtr DictionaryTest::build(const VORN_DataSource& source,
                                  DictionaryBuilder::Placement placement) {
    DictionaryBuilder builder(placement);
    DocumentPtr document(builder.build(source));
    EXPECT_NE(document, nullptr);
    if (document) {
        const std::vector<std::string> errors = validator.validate(document.get());
        EXPECT_TRUE(errors.empty()) << joinLines(errors);
    }
    return document;
}

std::u16string DictionaryTest::serialise(const DOMDocument* document) {
    return serialiseXml(document);
}

std::unique_ptr<VORN_DataSource> DictionaryTest::load(const std::string& json) {
    std::string error;
    std::unique_ptr<VORN_DataSource> source = LoadDataSourceJSONText(json, "test", error);
    EXPECT_NE(source, nullptr) << error;
    if (!source) source.reset(new VORN_DataSource);
    return source;
}

std::unique_ptr<VORN_DataSource> DictionaryTest::loadExample(const std::string& file) {
    std::string error;
    std::unique_ptr<VORN_DataSource> source =
        LoadDataSourceJSON(sourceDir() + "/examples/" + file, error);
    EXPECT_NE(source, nullptr) << error;
    if (!source) source.reset(new VORN_DataSource);
    return source;
}

std::vector<DOMElement*> childElements(const DOMNode* parent) {
    std::vector<DOMElement*> out;
    for (DOMNode* n = parent->getFirstChild(); n != nullptr; n = n->getNextSibling())
        if (n->getNodeType() == DOMNode::ELEMENT_NODE) out.push_back(static_cast<DOMElement*>(n));
    return out;
}

std::vector<std::string> childNames(const DOMNode* parent) {
    std::vector<std::string> out;
    for (DOMElement* e : childElements(parent)) out.push_back(utf8(e->getTagName()));
    return out;
}

std::string attr(const DOMElement* e, const char* name) {
    return utf8(e->getAttribute(xmlch(name).c_str()));
}

bool hasAttr(const DOMElement* e, const char* name) { return e->hasAttribute(xmlch(name).c_str()); }

std::vector<std::string> attrNames(const DOMElement* e) {
    std::vector<std::string> out;
    const DOMNamedNodeMap* map = e->getAttributes();
    for (XMLSize_t i = 0; i < map->getLength(); ++i)
        out.push_back(utf8(map->item(i)->getNodeName()));
    return out;
}

std::vector<DOMElement*> children(const DOMNode* parent, const char* tag) {
    std::vector<DOMElement*> out;
    const std::u16string name = xmlch(tag);
    for (DOMElement* e : childElements(parent))
        if (name == e->getTagName()) out.push_back(e);
    return out;
}
