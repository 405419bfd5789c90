// Arbitrary bytes through the XML parser; a document that parses becomes a
// document value, is cloned, written in both encodings and queried. The first
// byte picks the host's text mode (UTF-8 or windows-1252). Checks: value and
// clone agree; the UTF-16 text parses back to a document that writes the same
// text; in UTF-8 mode the multibyte text is the UTF-16 text with the other
// encoding name, in windows-1252 it parses back to the same document (up to
// where CDATA sections end); queries follow their outcome rules.
#include <cstdint>
#include <string>

#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/XmlDocuments.h"

XERCES_CPP_NAMESPACE_USE

namespace {

TransSpace* space = nullptr;

struct Written {
    std::u16string text;
    fuzz::Flags flags;
};

Written utf16(const TransValue& v) {
    TransStatus st = fuzz::dirty();
    Written w;
    w.text = fuzz::take(v.asUTF16XML(st));
    w.flags = fuzz::flagsOf(st);
    // A failed write keeps what reached the buffer; warning marks an empty one.
    FUZZ_CHECK(w.flags.warning == w.text.empty());
    return w;
}

// The document with every CDATA section turned into text and adjacent texts
// merged, written as UTF-16. The serializer splits a CDATA section around a
// character the code page cannot hold and writes the character as a
// reference between the parts: the same characters in more nodes.
std::u16string withoutCdata(DOMDocument* document) {
    document->getDOMConfig()->setParameter(XMLUni::fgDOMCDATASections, false);
    document->normalizeDocument();
    return serialiseXml(document);
}

const char* const kQueries[][2] = {
    {"/", "count(//node())"},
    {"/", "string(.)"},
    {"/*", "@*"},
    {"//*", "text()"},
    {"/*", "namespace::*"},
    {"/", "//comment()|//processing-instruction()"},
    {"//*[last()]", "name()"},
    {"/", "sum(//@*)"},
    {"/", "//@*"},
    {"(//*)[last()]", "count(preceding::node() | ancestor::*/@*)"},
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    space = new TransSpace;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool utf8Mode = (data[0] & 1) == 0;
    HostTextMode mode(utf8Mode ? nullptr : "windows-1252");
    DocumentPtr source = parseXmlBytes(data + 1, size - 1, nullptr);
    if (!source) return 0;

    TransValue value(source.get());
    source.reset();  // the value holds its own copy
    TransValue clone(value);
    TransValue assigned;
    assigned = clone;

    const Written text = utf16(value);
    FUZZ_CHECK(utf16(clone).text == text.text && utf16(assigned).text == text.text);
    FUZZ_CHECK(fuzz::take(value.asXML()) == text.text);
    TransStatus st = fuzz::dirty();
    FUZZ_CHECK(fuzz::take(value.asString(st)) == text.text);
    FUZZ_CHECK(st.warning() && st.failure() == text.flags.failure);

    // A document the DOM refused to copy became an empty one, whose text is
    // the XML declaration alone and does not parse back.
    const bool copied = value.asDouble(fuzz::fromUTF8("/"), fuzz::fromUTF8("count(/*)")) == 1;
    if (!text.flags.failure && copied) {
        FUZZ_CHECK(!text.flags.warning);
        DocumentPtr back = parseXmlBytes(text.text.data(), text.text.size() * 2, u"UTF-16LE");
        FUZZ_CHECK(back != nullptr);
        FUZZ_CHECK(utf16(TransValue(back.get())).text == text.text);
    }

    st = fuzz::dirty();
    TransString* mbcs = value.asMBCSXML(st);
    const fuzz::Flags mbcsFlags = fuzz::flagsOf(st);
    const std::string bytes = mbcs->asMBCS(st);
    TransValue::releaseString(mbcs);
    FUZZ_CHECK(mbcsFlags.warning == bytes.empty());
    if (!text.flags.failure && !mbcsFlags.failure && copied) {
        if (utf8Mode) {
            std::u16string expected = text.text;
            const size_t at = expected.find(u"\"UTF-16\"");
            FUZZ_CHECK(at != std::u16string::npos);
            expected.replace(at, 8, u"\"UTF-8\"");
            FUZZ_CHECK(fuzz::textOf(fuzz::fromUTF8(bytes)) == expected);
        } else {
            DocumentPtr back = parseXmlBytes(bytes.data(), bytes.size(), nullptr);
            FUZZ_CHECK(back != nullptr);
            if (utf16(TransValue(back.get())).text != text.text) {
                DocumentPtr written = parseXml(text.text);
                FUZZ_CHECK(written != nullptr &&
                           withoutCdata(back.get()) == withoutCdata(written.get()));
            }
        }
    }

    for (const auto& q : kQueries) {
        const TransString context = fuzz::fromUTF8(q[0]);
        const TransString expression = fuzz::fromUTF8(q[1]);
        const fuzz::QueryOutcome a = fuzz::checkQueries(value, context, expression);
        const fuzz::QueryOutcome b = fuzz::checkQueries(clone, context, expression);
        FUZZ_CHECK(a.text == b.text && a.textFlags == b.textFlags && a.list == b.list);
        FUZZ_CHECK(fuzz::sameNumber(a.number, b.number) && a.numberFlags == b.numberFlags);
    }
    return 0;
}
