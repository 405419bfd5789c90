// XML text of document values: the Load and Save serializer of the XML
// library writes the whole document into a memory buffer per call.
#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <memory>
#include <string>

#include <unicode/utf16.h>

#include "text/CodePage.h"
#include "text/TransText.h"
#include "value/DocumentWriter.h"
#include "value/TransDOMImpl.h"
#include "value/xpath/DocumentDepth.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// Releases a serializer object however the writing ends.
template <class T>
struct Released {
    T* object;
    ~Released() {
        if (object != nullptr) object->release();
    }
};

// lowest: the first code point that needs the check.
bool fits(const XMLCh* name, XMLTranscoder& transcoder, UChar32 lowest = 0x80) {
    const int32_t length = static_cast<int32_t>(XMLString::stringLen(name));
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(name, i, length, c);
        // The ASCII characters of a name (letters, digits, "-._:") are in
        // every code page; most names hold nothing else.
        if (c >= lowest && !transcoder.canTranscodeTo(static_cast<unsigned int>(c))) return false;
    }
    return true;
}

// Whether every attribute name and CDATA section below node can be written
// in the encoding. The serializer writes what it cannot hold there as
// character references and reports nothing, which leaves text that does not
// parse. Walked without recursion, like the depth.
bool markupFits(const DOMNode* node, const XMLCh* encoding) {
    XMLTransService::Codes code;
    std::unique_ptr<XMLTranscoder> transcoder(
        XMLPlatformUtils::fgTransService->makeNewTranscoderFor(encoding, code, 64,
                                                               XMLPlatformUtils::fgMemoryManager));
    if (!transcoder) return false;
    const DOMNode* const top = node;
    while (node != nullptr) {
        // A CDATA section is split around a character the encoding cannot
        // hold, which goes between the parts as a reference; beyond the BMP
        // that reference names the two surrogates, which XML forbids.
        if (node->getNodeType() == DOMNode::CDATA_SECTION_NODE &&
            !fits(node->getNodeValue(), *transcoder, 0x10000))
            return false;
        if (const DOMNamedNodeMap* attributes = node->getAttributes()) {
            for (XMLSize_t i = 0; i < attributes->getLength(); ++i)
                if (!fits(attributes->item(i)->getNodeName(), *transcoder)) return false;
        }
        if (node->getFirstChild() != nullptr) {
            node = node->getFirstChild();
            continue;
        }
        while (node != top && node->getNextSibling() == nullptr) node = node->getParentNode();
        node = node == top ? nullptr : node->getNextSibling();
    }
    return true;
}

}  // namespace

TransString* TransDOMImpl::serialize(bool utf16, TransStatus& st) const {
    st.reset();
    // In the Unicode encodings and the code pages of one byte per character
    // the document is written in one walk; the serializer writes the rest,
    // and whatever the walk declines. The serializer recurses once per
    // element level: a document deeper than the host's stack allows is
    // refused as a failed write, by the walk too, which does not recurse.
    Written written;
    if (utf16) {
        std::u16string text;
        written = writeDocumentUTF16(*core->dom(), maxSerializedDepth, text);
        if (written == Written::whole)
            return TransStringAccess::newFromUTF16(
                icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size())));
    } else {
        const std::string codePage = codePageName();
        std::string text;
        written = codePage == "UTF-8"
                      ? writeDocumentUTF8(*core->dom(), maxSerializedDepth, text)
                      : writeDocumentBytes(*core->dom(), codePage, maxSerializedDepth, text);
        if (written == Written::whole) return TransStringAccess::newFromMBCS(text.c_str());
        // Where the serializer would hang the walk fails, unless the
        // document is refused whole for its depth, below.
        if (written == Written::failed && core->depth() <= maxSerializedDepth) {
            st.failure(true);
            return TransStringAccess::newFromMBCS(text.c_str());
        }
    }
    // A declined or failed document may still be too deep: the walk stops at
    // the first node it leaves to the serializer.
    if (written != Written::declined || core->depth() > maxSerializedDepth) {
        st.failure(true);
        st.warning(true);
        return utf16 ? TransStringAccess::newFromUTF16(icu::UnicodeString())
                     : TransStringAccess::newFromMBCS("");
    }
    static const XMLCh ls[] = u"LS";
    DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(ls);
    Released<DOMLSSerializer> serializer{
        implementation->createLSSerializer(XMLPlatformUtils::fgMemoryManager)};
    Released<DOMLSOutput> output{implementation->createLSOutput(XMLPlatformUtils::fgMemoryManager)};

    DOMConfiguration* config = serializer.object->getDomConfig();
    if (config->canSetParameter(XMLUni::fgDOMWRTFormatPrettyPrint, false))
        config->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, false);
    const std::u16string encoding =
        utf16 ? std::u16string(u"UTF-16")
              : icu::UnicodeString::fromUTF8(codePageName()).getTerminatedBuffer();
    output.object->setEncoding(encoding.c_str());

    MemBufFormatTarget buffer(1023, XMLPlatformUtils::fgMemoryManager);
    output.object->setByteStream(&buffer);
    try {
        // Character references serve only in text and attribute values. An
        // element name, comment or processing instruction that the encoding
        // cannot hold stops the writing part way, which only the result of
        // write tells; an attribute name (or a CDATA character beyond the
        // BMP) is written as references without a word, so it is checked
        // here.
        if (!serializer.object->write(core->dom(), output.object) ||
            (!utf16 && encoding != u"UTF-8" && !markupFits(core->dom(), encoding.c_str())))
            st.failure(true);
    } catch (...) {
        st.failure(true);
    }

    const XMLByte* bytes = buffer.getRawBuffer();
    const XMLSize_t length = buffer.getLen();
    TransString* result;
    if (utf16) {
        // Native byte order is the serializer's order for "UTF-16"; the text
        // ends at its first zero unit.
        icu::UnicodeString text(reinterpret_cast<const UChar*>(bytes),
                                static_cast<int32_t>(length / 2));
        if (text.isEmpty()) st.warning(true);
        result = TransStringAccess::newFromUTF16(text);
    } else {
        // The buffer ends with a zero byte of its own, so the text is read
        // in place: at 100,000 variables a copy costs a quarter of a second.
        if (length == 0) st.warning(true);
        result = TransStringAccess::newFromMBCS(reinterpret_cast<const char*>(bytes));
    }
    return result;
}

TransString* TransDOMImpl::asMBCSXML(TransStatus& st) const { return serialize(false, st); }

TransString* TransDOMImpl::asUTF16XML(TransStatus& st) const { return serialize(true, st); }

TransString* TransDOMImpl::asString(TransStatus& st) const {
    st.reset();
    TransString* text = asUTF16XML(st);
    st.warning(true);
    return text;
}
