#include "support/SchemaValidator.h"

#include <cstdlib>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/common/Grammar.hpp>

#include <unicode/unistr.h>

#include "VornXmlReader.h"
#include "support/XmlDocuments.h"

XERCES_CPP_NAMESPACE_USE

namespace {

std::string utf8(const XMLCh* text) {
    std::string out;
    if (text != nullptr) icu::UnicodeString(text).toUTF8String(out);
    return out;
}

class CollectingHandler : public ErrorHandler {
public:
    explicit CollectingHandler(std::vector<std::string>& errors) : errors(errors) {}
    void warning(const SAXParseException&) override {}
    void error(const SAXParseException& e) override { add(e); }
    void fatalError(const SAXParseException& e) override { add(e); }
    void resetErrors() override {}

private:
    void add(const SAXParseException& e) {
        errors.push_back(std::to_string(e.getLineNumber()) + ":" +
                         std::to_string(e.getColumnNumber()) + ": " + utf8(e.getMessage()));
    }
    std::vector<std::string>& errors;
};

}  // namespace

SchemaValidator::SchemaValidator(const std::string& schemaPath, bool fullChecking)
    : guard(new VornXmlReaderGuard), parser(new XercesDOMParser), grammarLoaded(false) {
    parser->setDoNamespaces(true);
    parser->setDoSchema(true);
    parser->setValidationScheme(XercesDOMParser::Val_Always);
    parser->setValidationSchemaFullChecking(fullChecking);
    parser->setValidationConstraintFatal(false);
    // Only the grammar loaded here counts (the guard never follows the
    // schemaLocation hint, which names a web address a test must not fetch).
    CollectingHandler handler(schemaErrors);
    guard->Apply(*parser, &handler);
    try {
        grammarLoaded = guard->LoadSchema(*parser, schemaPath) != nullptr;
    } catch (...) {
        grammarLoaded = false;
    }
    // Name the file, so that the failure says which one.
    if (!grammarLoaded)
        schemaErrors.insert(schemaErrors.begin(), "the schema could not be loaded: " + schemaPath);
    else if (!schemaErrors.empty())
        schemaErrors.insert(schemaErrors.begin(), "the schema has errors: " + schemaPath);
    if (!schemaErrors.empty()) grammarLoaded = false;
    guard->Apply(*parser, nullptr);
}

SchemaValidator::~SchemaValidator() = default;

std::string SchemaValidator::dictionarySchemaPath() {
    const char* dir = std::getenv("TRANSSPACE_SOURCE_DIR");
#ifdef TRANSSPACE_SOURCE_DIR
    if (dir == nullptr) dir = TRANSSPACE_SOURCE_DIR;
#endif
    return std::string(dir != nullptr ? dir : ".") + "/schema/dictionary-1.0.xsd";
}

std::vector<std::string> SchemaValidator::validate(const std::u16string& xmlText) const {
    std::vector<std::string> errors;
    if (!grammarLoaded) {
        errors.push_back("no schema loaded");
        errors.insert(errors.end(), schemaErrors.begin(), schemaErrors.end());
        return errors;
    }
    CollectingHandler handler(errors);
    guard->Apply(*parser, &handler);
    MemBufInputSource input(reinterpret_cast<const XMLByte*>(xmlText.data()),
                            xmlText.size() * sizeof(char16_t), "dictionary");
    // The bytes are this machine's UTF-16; the declaration may name another
    // encoding for the text it describes.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    input.setEncoding(XMLUni::fgUTF16BEncodingString);
#else
    input.setEncoding(XMLUni::fgUTF16LEncodingString);
#endif
    try {
        parser->parse(input);
    } catch (...) {
        errors.push_back("the parser threw");
    }
    guard->Apply(*parser, nullptr);
    parser->resetDocumentPool();
    return errors;
}

std::vector<std::string> SchemaValidator::validate(const DOMDocument* document) const {
    const std::u16string text = serialiseXml(document);
    if (text.empty()) return {"the document could not be serialised"};
    return validate(text);
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}
