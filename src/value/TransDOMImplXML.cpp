// XML text of document values, written from the value's compact store; the
// Load and Save serializer of the XML library writes what that walk
// declines, into a memory buffer per call.
#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <memory>
#include <string>

#include "text/CodePage.h"
#include "text/TransText.h"
#include "value/DocumentWriter.h"
#include "value/TransDOMImpl.h"
#include "value/store/DocumentStore.h"
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

struct DocumentReleased {
    DOMDocument* document;
    ~DocumentReleased() {
        if (document != nullptr) document->release();
    }
};

}  // namespace

// Allocations of this size are always mapped from the system, whatever the
// allocator's adaptive threshold has grown to.
constexpr std::size_t largeDocument = std::size_t(32) << 20;

TransString* TransDOMImpl::serialize(bool utf16, TransStatus& st) const {
    st.reset();
    // The text is written from the store in one walk; the serializer writes
    // only what the walk declines, from a DOM made for the call. The
    // serializer recurses once per element level: a document deeper than the
    // host's stack allows is refused as a failed write, by the walk too,
    // which does not recurse.
    const DocumentStore& store = core->store();
    const std::string codePage = utf16 ? std::string() : codePageName();
    std::u16string units;
    std::string bytes;
    // A large document's text is rarely longer than its store in units.
    // Room of that size comes straight from the system, where what is never
    // written costs no memory, and spares the writer the moves of growing
    // by doubling, which hold the old and the new text at once.
    if (store.memory() >= largeDocument) {
        if (utf16)
            units.reserve(store.memory());
        else
            bytes.reserve(store.memory());
    }
    const Written written = utf16
                                ? writeDocumentUTF16(store, maxSerializedDepth, units)
                                : writeDocumentCodePage(store, codePage, maxSerializedDepth, bytes);
    if (written == Written::whole || written == Written::unreadable ||
        (written == Written::failed && core->depth() <= maxSerializedDepth)) {
        // A failed write keeps what was written up to the failure (nothing,
        // where the code page has no transcoder), as the serializer's would.
        if (written != Written::whole) st.failure(true);
        if (written == Written::failed && (utf16 ? units.empty() : bytes.empty())) st.warning(true);
        if (utf16)
            return TransStringAccess::newFromUTF16(
                icu::UnicodeString(false, units.data(), static_cast<int32_t>(units.size())));
        return TransStringAccess::newFromMBCS(std::move(bytes));
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
              : icu::UnicodeString::fromUTF8(codePage).getTerminatedBuffer();
    output.object->setEncoding(encoding.c_str());

    MemBufFormatTarget buffer(1023, XMLPlatformUtils::fgMemoryManager);
    output.object->setByteStream(&buffer);
    try {
        // A DOM for this call alone: the value keeps only its store.
        DocumentReleased dom{store.makeDom()};
        // Character references serve only in text and attribute values. An
        // element name, comment or processing instruction that the encoding
        // cannot hold stops the writing part way, which only the result of
        // write tells; an attribute name (or a CDATA character beyond the
        // BMP) is written as references without a word, so it is checked
        // here.
        if (!serializer.object->write(dom.document, output.object) ||
            (!utf16 && encoding != u"UTF-8" && !encodingHoldsMarkup(store, encoding.c_str())))
            st.failure(true);
    } catch (...) {
        st.failure(true);
    }

    const XMLByte* raw = buffer.getRawBuffer();
    const XMLSize_t length = buffer.getLen();
    TransString* result;
    if (utf16) {
        // Native byte order is the serializer's order for "UTF-16"; the text
        // ends at its first zero unit.
        icu::UnicodeString text(reinterpret_cast<const UChar*>(raw),
                                static_cast<int32_t>(length / 2));
        if (text.isEmpty()) st.warning(true);
        result = TransStringAccess::newFromUTF16(text);
    } else {
        // The buffer ends with a zero byte of its own, so the text is read
        // in place.
        if (length == 0) st.warning(true);
        result = TransStringAccess::newFromMBCS(reinterpret_cast<const char*>(raw));
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
