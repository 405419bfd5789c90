#include "support/LiteralSerialiser.h"

#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <memory>
#include <string_view>

XERCES_CPP_NAMESPACE_USE

LiteralXml literalXml(const DOMDocument* document, const char16_t* encoding) {
    DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(u"LS");
    DOMLSSerializer* serializer = implementation->createLSSerializer();
    DOMLSOutput* output = implementation->createLSOutput();
    serializer->getDomConfig()->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, false);
    output->setEncoding(encoding);
    MemBufFormatTarget buffer;
    output->setByteStream(&buffer);
    LiteralXml result{std::string(), false};
    try {
        result.written = serializer->write(document, output);
    } catch (...) {
        result.written = false;
    }
    result.bytes.assign(reinterpret_cast<const char*>(buffer.getRawBuffer()), buffer.getLen());
    output->release();
    serializer->release();
    return result;
}

bool markupFits(const DOMDocument* document, const char16_t* encoding) {
    XMLTransService::Codes code;
    std::unique_ptr<XMLTranscoder> transcoder(
        XMLPlatformUtils::fgTransService->makeNewTranscoderFor(encoding, code, 64));
    if (!transcoder) return false;
    auto holds = [&](const XMLCh* text, bool beyondOnly) {
        for (const char16_t* c = text; *c != 0; ++c) {
            unsigned int point = *c;
            if (*c >= 0xD800 && *c <= 0xDBFF && (c[1] & 0xFC00) == 0xDC00) {
                point = 0x10000 + ((*c - 0xD800) << 10) + (c[1] - 0xDC00);
                ++c;
            }
            if ((!beyondOnly || point >= 0x10000) && !transcoder->canTranscodeTo(point))
                return false;
        }
        return true;
    };
    DOMNodeList* elements = document->getElementsByTagName(u"*");
    for (XMLSize_t i = 0; i < elements->getLength(); ++i) {
        const DOMNode* e = elements->item(i);
        const DOMNamedNodeMap* attributes = e->getAttributes();
        for (XMLSize_t a = 0; a < attributes->getLength(); ++a)
            if (!holds(attributes->item(a)->getNodeName(), false)) return false;
        for (const DOMNode* c = e->getFirstChild(); c != nullptr; c = c->getNextSibling())
            if (c->getNodeType() == DOMNode::CDATA_SECTION_NODE && !holds(c->getNodeValue(), true))
                return false;
    }
    return true;
}

DocumentPtr valueCopy(const DOMDocument* source) {
    DocumentPtr copy(DOMImplementation::getImplementation()->createDocument());
    const DOMElement* root = source != nullptr ? source->getDocumentElement() : nullptr;
    try {
        if (root != nullptr) copy->appendChild(copy->importNode(root, true));
    } catch (...) {
        // A name the parser took but the DOM refuses: the value holds an
        // empty document then.
        copy.reset(DOMImplementation::getImplementation()->createDocument());
    }
    return copy;
}
