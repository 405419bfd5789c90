// Arbitrary bytes through the XML parser; a document that parses, perhaps
// with a node of raw UTF-16 added (control characters, unpaired surrogates,
// "]]>"), becomes a document value. Its UTF-16 text, its UTF-8 mode text
// and its windows-1252 and ISO-8859-5 texts must be, byte for byte and flag
// for flag, what the XML library's serializer writes for the value's copy;
// the library's writer, asked directly, writes the same bytes or declines,
// and declines no parsed document that the serializer writes whole in a
// Unicode encoding.
// The first byte picks the added node.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include <xercesc/dom/DOM.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/LiteralSerialiser.h"
#include "support/XmlDocuments.h"
#include "text/TransText.h"
#include "value/DocumentWriter.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// No depth limit: the serializer writes these documents whole.
constexpr std::size_t deep = 1000000;

TransSpace* space = nullptr;

std::string valueText(const LiteralXml& literal, bool utf16) {
    if (!utf16) return std::string(literal.bytes.c_str());
    std::u16string units(literal.bytes.size() / 2, u'\0');
    if (!units.empty()) std::memcpy(&units[0], literal.bytes.data(), units.size() * 2);
    units.resize(std::char_traits<char16_t>::length(units.c_str()));
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

// The raw node: the input's last units, added under the document element.
void addNode(DOMDocument* d, unsigned kind, const uint8_t* data, size_t size) {
    DOMElement* root = d->getDocumentElement();
    if (root == nullptr || kind == 0) return;
    std::u16string units;
    for (size_t i = size > 16 ? size - 16 : 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    units.erase(std::remove(units.begin(), units.end(), u'\0'), units.end());
    switch (kind) {
        case 1:
            root->appendChild(d->createTextNode(units.c_str()));
            break;
        case 2:
            root->setAttribute(u"raw", units.c_str());
            break;
        case 3:
            root->appendChild(d->createCDATASection(units.c_str()));
            break;
        default:
            root->appendChild(d->createComment(units.c_str()));
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    space = new TransSpace;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned kind = data[0] % 5;
    DocumentPtr source = parseXmlBytes(data + 1, size - 1, nullptr);
    if (!source) return 0;
    try {
        addNode(source.get(), kind, data + 1, size - 1);
    } catch (const DOMException&) {
        return 0;
    }
    const TransValue value(source.get());
    const DocumentPtr copy = valueCopy(source.get());
    source.reset();

    // UTF-16, UTF-8 mode, and code pages of one byte per character: one of
    // the XML library's own transcoders and one of ICU's.
    for (const char* codePage : {"UTF-16", "UTF-8", "windows-1252", "ISO-8859-5"}) {
        const bool utf16 = codePage == std::string("UTF-16");
        const bool utf8 = codePage == std::string("UTF-8");
        HostTextMode mode(utf16 || utf8 ? nullptr : codePage);
        const std::u16string encoding(codePage, codePage + std::strlen(codePage));
        std::u16string units;
        std::string bytes;
        const Written result = utf16  ? writeDocumentUTF16(*copy, deep, units)
                               : utf8 ? writeDocumentUTF8(*copy, deep, bytes)
                                      : writeDocumentBytes(*copy, codePage, deep, bytes);
        if (utf16) bytes.assign(reinterpret_cast<const char*>(units.data()), units.size() * 2);
        const bool taken = result == Written::whole;
        // Where the serializer would never return (UTF-8, a CDATA part
        // ending with the first of two surrogates) the value fails with the
        // text up to there.
        if (result == Written::failed) {
            FUZZ_CHECK(utf8);
            TransStatus st = fuzz::dirty();
            TransString* written = value.asMBCSXML(st);
            TransStatus ignored;
            const std::string text = written->asMBCS(ignored);
            TransValue::releaseString(written);
            TransString* partial = TransStringAccess::newFromMBCS(bytes.c_str());
            FUZZ_CHECK(st.failure() && !st.warning() && text == partial->asMBCS(ignored));
            TransValue::releaseString(partial);
            continue;
        }
        const LiteralXml literal = literalXml(copy.get(), encoding.c_str());
        const bool fits = utf16 || utf8 || markupFits(copy.get(), encoding.c_str());
        TransStatus st = fuzz::dirty();
        TransString* written = utf16 ? value.asUTF16XML(st) : value.asMBCSXML(st);
        std::string text;
        std::string expected = valueText(literal, utf16);
        if (utf16) {
            const std::u16string written16 = fuzz::take(written);
            text.assign(reinterpret_cast<const char*>(written16.data()), written16.size() * 2);
        } else {
            // Both read back through a string of the code page.
            TransStatus ignored;
            text = written->asMBCS(ignored);
            TransValue::releaseString(written);
            TransString* literalText = TransStringAccess::newFromMBCS(expected.c_str());
            expected = literalText->asMBCS(ignored);
            TransValue::releaseString(literalText);
        }
        FUZZ_CHECK(text == expected);
        FUZZ_CHECK(st.failure() == (!literal.written || !fits));
        FUZZ_CHECK(st.warning() == expected.empty());

        FUZZ_CHECK(!taken || (literal.written && fits && bytes == literal.bytes));
        // Only raw nodes, and characters beyond the BMP in a code page, are
        // left to the serializer when it writes them whole.
        FUZZ_CHECK(taken || !literal.written || !fits || kind != 0 || (!utf16 && !utf8));
    }
    return 0;
}
