// Arbitrary bytes through the XML parser; a document that parses, perhaps
// with a node of raw UTF-16 added (control characters, unpaired surrogates,
// "]]>"), becomes a document value. The library's writer, from the store of
// the value's copy and from the literal copy itself, writes what the XML
// library's serializer writes for the literal copy, byte for byte and with
// the same outcome, in every encoding of tests/support/WriterCompare (UTF-16,
// UTF-8, the library's own code pages, ICU's of one and of several bytes per
// character), declining only what it does not model. The value's own texts
// (UTF-16, UTF-8 mode, windows-1252, ISO-8859-5, Shift_JIS, GB18030 and the
// stateful ISO-2022-JP, which the serializer writes) carry the serializer's
// bytes and flags.
// The first byte picks the added node.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <xercesc/dom/DOM.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/LiteralSerialiser.h"
#include "support/StoreCompare.h"
#include "support/WriterCompare.h"
#include "support/XmlDocuments.h"
#include "text/CodePage.h"
#include "text/TransText.h"
#include "value/DocumentWriter.h"
#include "value/store/DocumentStore.h"

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
        case 4:
            root->appendChild(d->createComment(units.c_str()));
            break;
        case 5:
            root->appendChild(d->createProcessingInstruction(u"raw", units.c_str()));
            break;
        default:
            // A name of the raw units, where the DOM takes them as one.
            root->setAttribute(units.c_str(), u"v");
            break;
    }
}

std::string bytesOf(TransString* s, bool utf16) {
    TransStatus ignored;
    std::string text;
    if (utf16) {
        const std::u16string units = fuzz::take(s);
        return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
    }
    text = s->asMBCS(ignored);
    TransValue::releaseString(s);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    space = new TransSpace;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned kind = data[0] % 7;
    DocumentPtr source = parseXmlBytes(data + 1, size - 1, nullptr);
    if (!source) return 0;
    try {
        addNode(source.get(), kind, data + 1, size - 1);
    } catch (const DOMException&) {
        return 0;
    }
    const TransValue value(source.get());
    const DocumentPtr copy(literalCopy(source.get()));
    const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(source.get());
    // Where the store does not stand for the copy (the store's own target
    // catches that), only the copy is written.
    const bool standsFor = storeDifference(*store, copy.get()).empty();
    source.reset();

    for (std::size_t i = 0; i < writerEncodingCount; ++i) {
        const std::string difference =
            writerDifference(standsFor ? store.get() : nullptr, *copy, writerEncodings[i]);
        if (!difference.empty())
            std::fprintf(stderr, "%s: %s\n", writerEncodings[i], difference.c_str());
        FUZZ_CHECK(difference.empty());
    }

    for (const char* codePage :
         {"UTF-16", "UTF-8", "windows-1252", "ISO-8859-5", "Shift_JIS", "GB18030", "ISO-2022-JP"}) {
        const bool utf16 = codePage == std::string("UTF-16");
        const bool utf8 = codePage == std::string("UTF-8");
        HostTextMode mode(utf16 || utf8 ? nullptr : codePage);
        const std::u16string encoding(codePage, codePage + std::strlen(codePage));
        TransStatus st = fuzz::dirty();
        const std::string text = bytesOf(utf16 ? value.asUTF16XML(st) : value.asMBCSXML(st), utf16);
        if (utf8 && serializerStallsInUtf8(*copy)) {
            // Where the serializer would never return (a CDATA part ending
            // with the first of two surrogates) the value fails with the
            // writer's text up to there.
            std::string partial;
            FUZZ_CHECK(writeDocumentUTF8(*copy, deep, partial) != Written::whole);
            const std::string cut = bytesOf(TransStringAccess::newFromMBCS(partial.c_str()), false);
            FUZZ_CHECK(st.failure() && text == cut && st.warning() == partial.empty());
            continue;
        }
        const LiteralXml literal = literalXml(copy.get(), encoding.c_str());
        const bool fits = utf16 || utf8 || markupFits(copy.get(), encoding.c_str());
        std::string expected = valueText(literal, utf16);
        if (!utf16) {
            // Both read back through a string of the code page.
            TransString* literalText = TransStringAccess::newFromMBCS(expected.c_str());
            expected = bytesOf(literalText, false);
        }
        FUZZ_CHECK(text == expected);
        FUZZ_CHECK(st.failure() == (!literal.written || !fits));
        FUZZ_CHECK(st.warning() == literal.bytes.empty());
    }
    return 0;
}
