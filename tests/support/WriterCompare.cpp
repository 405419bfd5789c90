#include "support/WriterCompare.h"

#include <algorithm>

#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "support/LiteralSerialiser.h"
#include "value/CodePageTable.h"
#include "value/DocumentWriter.h"

XERCES_CPP_NAMESPACE_USE

const char* const writerEncodings[] = {"UTF-16",   "UTF-8",    "windows-1252", "ISO-8859-1",
                                       "US-ASCII", "UTF-16LE", "ISO-8859-5",   "Shift_JIS",
                                       "GB18030",  "EUC-KR",   "Big5-HKSCS",   "ISO-2022-JP"};
const std::size_t writerEncodingCount = sizeof writerEncodings / sizeof writerEncodings[0];

namespace {

// No depth limit: the serializer writes these documents whole.
constexpr std::size_t deep = 1000000;

bool isLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isTrail(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// What the document's CDATA sections and strings hold that the writer's
// models depend on.
struct Shape {
    bool cdataUnpaired = false;  // a surrogate without its pair in a CDATA section
    bool cdataStall = false;     // a CDATA part ends with the first of two surrogates
    std::size_t longest = 0;     // the longest string
};

void cdataShape(std::u16string_view s, Shape& shape) {
    for (;;) {
        const std::size_t end = s.find(u"]]>");
        const std::u16string_view part = s.substr(0, end);
        for (std::size_t i = 0; i < part.size(); ++i) {
            if (isLead(part[i]) && i + 1 < part.size() && isTrail(part[i + 1])) {
                ++i;
            } else if (isLead(part[i]) || isTrail(part[i])) {
                shape.cdataUnpaired = true;
                if (i + 1 == part.size() && isLead(part[i])) shape.cdataStall = true;
            }
        }
        if (end == std::u16string_view::npos) return;
        s.remove_prefix(end + 3);
    }
}

std::u16string_view view(const XMLCh* s) {
    return s != nullptr ? std::u16string_view(s) : std::u16string_view();
}

Shape shapeOf(const DOMDocument& document) {
    Shape shape;
    const DOMNode* node = document.getFirstChild();
    while (node != nullptr) {
        const std::u16string_view value = view(node->getNodeValue());
        shape.longest = std::max(shape.longest, value.size());
        if (node->getNodeType() == DOMNode::CDATA_SECTION_NODE) cdataShape(value, shape);
        if (const DOMNamedNodeMap* attributes = node->getAttributes())
            for (XMLSize_t i = 0; i < attributes->getLength(); ++i)
                shape.longest =
                    std::max(shape.longest, view(attributes->item(i)->getNodeValue()).size());
        if (node->getFirstChild() != nullptr) {
            node = node->getFirstChild();
            continue;
        }
        while (node != nullptr && node->getNextSibling() == nullptr) node = node->getParentNode();
        if (node != nullptr) node = node->getNextSibling();
    }
    return shape;
}

const char* nameOf(Written w) {
    switch (w) {
        case Written::whole:
            return "whole";
        case Written::unreadable:
            return "unreadable";
        case Written::failed:
            return "failed";
        case Written::declined:
            return "declined";
        default:
            return "tooDeep";
    }
}

std::string firstDifference(const std::string& expected, const std::string& actual) {
    const std::size_t n = std::min(expected.size(), actual.size());
    std::size_t at = 0;
    while (at < n && expected[at] == actual[at]) ++at;
    const std::size_t from = at > 24 ? at - 24 : 0;
    return "bytes differ at " + std::to_string(at) + " of " + std::to_string(expected.size()) +
           "/" + std::to_string(actual.size()) + ": expected \"" + expected.substr(from, 48) +
           "\", written \"" + actual.substr(from, 48) + "\"";
}

}  // namespace

bool serializerStallsInUtf8(const DOMDocument& document) { return shapeOf(document).cdataStall; }

std::string writerDifference(const DocumentStore* store, const DOMDocument& document,
                             const std::string& encoding, Written* outcomeOf) {
    const bool utf16 = encoding == "UTF-16";
    const std::u16string encoding16(encoding.begin(), encoding.end());
    CodePageTable::Availability availability = CodePageTable::Availability::table;
    const CodePageTable* table = utf16 ? nullptr : CodePageTable::find(encoding, availability);
    const bool utf8 =
        encoding == "UTF-8" || (table != nullptr && table->family() == CodePageTable::Family::utf8);
    const bool pending = table != nullptr && table->family() == CodePageTable::Family::pending;
    const Shape shape = shapeOf(document);
    // What the writer does not model: encodings without a table, surrogates
    // without their pair in ICU's converters, long stretches in ICU's
    // multibyte converters.
    const bool mayDecline = availability == CodePageTable::Availability::unmodelled ||
                            availability == CodePageTable::Availability::unmodelledStalling ||
                            (pending && (shape.cdataUnpaired || shape.longest >= 4096));

    // Written from the DOM, then from the store.
    std::string written[2];
    Written outcome[2];
    for (int from = 0; from < (store != nullptr ? 2 : 1); ++from) {
        if (utf16) {
            std::u16string units;
            outcome[from] = from == 0 ? writeDocumentUTF16(document, deep, units)
                                      : writeDocumentUTF16(*store, deep, units);
            written[from].assign(reinterpret_cast<const char*>(units.data()), units.size() * 2);
        } else {
            outcome[from] = from == 0
                                ? writeDocumentCodePage(document, encoding, deep, written[from])
                                : writeDocumentCodePage(*store, encoding, deep, written[from]);
        }
    }
    if (outcomeOf != nullptr) *outcomeOf = outcome[0];
    if (store != nullptr && (outcome[0] != outcome[1] || written[0] != written[1]))
        return std::string("the store's text is not the DOM's: ") + nameOf(outcome[1]) + " vs " +
               nameOf(outcome[0]) + ", " + firstDifference(written[0], written[1]);
    if (utf8 && shape.cdataStall) {
        // The serializer would wait for ever; the writer fails, or declines
        // a surrogate it does not model before it.
        if (outcome[0] != Written::failed && outcome[0] != Written::declined)
            return std::string("expected a failed write where the serializer stalls, got ") +
                   nameOf(outcome[0]);
        return "";
    }

    const LiteralXml literal = literalXml(&document, encoding16.c_str());
    const bool fits = utf16 || encoding == "UTF-8" || markupFits(&document, encoding16.c_str());
    if (!utf16 && encoding != "UTF-8") {
        if ((store != nullptr && encodingHoldsMarkup(*store, encoding16.c_str()) != fits) ||
            encodingHoldsMarkup(document, encoding16.c_str()) != fits)
            return "the check of markup differs from the literal one";
    }
    if (outcome[0] == Written::declined) {
        if (!mayDecline) return "declined a document it models";
        return "";
    }
    const Written expected = !literal.written ? Written::failed
                             : !fits          ? Written::unreadable
                                              : Written::whole;
    if (outcome[0] != expected)
        return std::string("expected ") + nameOf(expected) + ", got " + nameOf(outcome[0]) +
               (written[0] != literal.bytes ? "; " + firstDifference(literal.bytes, written[0])
                                            : std::string());
    if (written[0] != literal.bytes) return firstDifference(literal.bytes, written[0]);
    return "";
}
