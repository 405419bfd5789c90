#include "support/XmlDocuments.h"

#include <vector>

#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>

#include "VornXmlReader.h"
#include "support/TextHelpers.h"

XERCES_CPP_NAMESPACE_USE

DocumentPtr parseXmlBytes(const void* bytes, std::size_t length, const XMLCh* encoding) {
    // A low expansion limit keeps the fuzzer's inputs quick.
    VornXmlReaderGuard guard(1000);
    XercesDOMParser parser;
    HandlerBase errors;  // throws on fatal errors
    guard.Apply(parser, &errors);
    parser.setDoNamespaces(true);
    MemBufInputSource input(static_cast<const XMLByte*>(bytes), length, "xml");
    if (encoding != nullptr) input.setEncoding(encoding);
    try {
        parser.parse(input);
    } catch (...) {
        return nullptr;
    }
    if (parser.getErrorCount() != 0) return nullptr;
    return DocumentPtr(parser.adoptDocument());
}

std::u16string serialiseXml(const DOMNode* node) {
    DOMLSSerializer* serializer =
        DOMImplementationRegistry::getDOMImplementation(u"LS")->createLSSerializer();
    std::u16string text;
    try {
        XMLCh* written = serializer->writeToString(node);
        if (written != nullptr) text = written;
        XMLString::release(&written);
    } catch (...) {
    }
    serializer->release();
    return text;
}

DocumentPtr parseXml(const std::string& utf8Text) {
    return parseXmlBytes(reinterpret_cast<const XMLByte*>(utf8Text.data()), utf8Text.size(), nullptr);
}

DocumentPtr parseXml(const std::u16string& utf16Text) {
    // Native byte order: "UTF-16" as the library writes it.
    return parseXmlBytes(reinterpret_cast<const XMLByte*>(utf16Text.data()),
                      utf16Text.size() * sizeof(char16_t), u"UTF-16LE");
}

std::u16string take(TransString* s) {
    TransStatus st;
    std::u16string text = u16(s->asUTF16(st));
    TransValue::releaseString(s);
    return text;
}

std::string takeUtf8(TransString* s) {
    TransStatus st;
    std::string text = utf8(s->asUTF16(st));
    TransValue::releaseString(s);
    return text;
}

std::vector<std::string> takeUtf8(TransStringList* list) {
    std::vector<std::string> entries;
    for (unsigned int i = 0; i < list->size(); ++i) entries.push_back(utf8(list->asUTF16(i)));
    TransValue::releaseStringList(list);
    return entries;
}

TransString ts(const std::string& utf8Text) { return TransString(units(u16(utf8Text.c_str()))); }
