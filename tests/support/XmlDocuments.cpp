#include "support/XmlDocuments.h"

#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
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
    return parseXmlBytes(reinterpret_cast<const XMLByte*>(utf8Text.data()), utf8Text.size(),
                         nullptr);
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

namespace {

std::string text8(const XMLCh* s) {
    std::string out;
    icu::UnicodeString(s).toUTF8String(out);
    return out;
}

// A possibly null string, told apart from an empty one.
std::string shown(const XMLCh* s) {
    if (s == nullptr) return "<null>";
    return "\"" + text8(s) + "\"";
}

// The first property in which two nodes differ, without their children.
std::string nodeDifference(const DOMNode* e, const DOMNode* a) {
    if (e->getNodeType() != a->getNodeType())
        return "type " + std::to_string(e->getNodeType()) + " vs " +
               std::to_string(a->getNodeType());
    const std::pair<const char*, const XMLCh* (DOMNode::*)() const> properties[] = {
        {"name", &DOMNode::getNodeName},   {"uri", &DOMNode::getNamespaceURI},
        {"local", &DOMNode::getLocalName}, {"prefix", &DOMNode::getPrefix},
        {"value", &DOMNode::getNodeValue},
    };
    for (const auto& [what, get] : properties) {
        const XMLCh* x = (e->*get)();
        const XMLCh* y = (a->*get)();
        if ((x == nullptr) != (y == nullptr) || (x != nullptr && !XMLString::equals(x, y)))
            return std::string(what) + " " + shown(x) + " vs " + shown(y);
    }
    const DOMNamedNodeMap* ea = e->getAttributes();
    const DOMNamedNodeMap* aa = a->getAttributes();
    const XMLSize_t count = ea != nullptr ? ea->getLength() : 0;
    if (count != (aa != nullptr ? aa->getLength() : 0)) return "attribute count";
    for (XMLSize_t i = 0; i < count; ++i) {
        const std::string d = nodeDifference(ea->item(i), aa->item(i));
        if (!d.empty()) return "attribute " + std::to_string(i) + ": " + d;
        if (static_cast<const DOMAttr*>(ea->item(i))->getSpecified() !=
            static_cast<const DOMAttr*>(aa->item(i))->getSpecified())
            return "attribute " + std::to_string(i) + ": specified";
        const std::string parts = domDifference(ea->item(i), aa->item(i));
        if (!parts.empty()) return "attribute " + std::to_string(i) + ": " + parts;
    }
    return std::string();
}

}  // namespace

std::string domDifference(const DOMNode* expected, const DOMNode* actual) {
    if ((expected == nullptr) != (actual == nullptr)) return "one is null";
    if (expected == nullptr) return std::string();
    const DOMNode* const top = expected;
    std::string path;
    const DOMNode* e = expected;
    const DOMNode* a = actual;
    for (;;) {
        if (e != top) {
            const std::string d = nodeDifference(e, a);
            if (!d.empty()) return path + ": " + d;
        }
        const DOMNode* ec = e->getFirstChild();
        const DOMNode* ac = a->getFirstChild();
        if ((ec == nullptr) != (ac == nullptr)) return path + ": children";
        if (ec != nullptr) {
            e = ec;
            a = ac;
            path += "/" + text8(ec->getNodeName());
            continue;
        }
        for (;;) {
            if (e == top) return std::string();
            const DOMNode* en = e->getNextSibling();
            const DOMNode* an = a->getNextSibling();
            if ((en == nullptr) != (an == nullptr)) return path + ": siblings";
            path.erase(path.rfind('/'));
            if (en != nullptr) {
                e = en;
                a = an;
                path += "/" + text8(en->getNodeName());
                break;
            }
            e = e->getParentNode();
            a = a->getParentNode();
        }
    }
}
