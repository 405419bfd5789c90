#include "support/ParseCompare.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "VornXmlReader.h"
#include "support/StoreCompare.h"
#include "value/store/StoreParser.h"

XERCES_CPP_NAMESPACE_USE

namespace {

std::string utf8(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string nameText(const DocumentStore::Name& n) {
    auto part = [](const char16_t* s) { return s == nullptr ? std::string("(null)") : utf8(s); };
    return part(n.qname) + " {" + part(n.namespaceURI) + "} " + part(n.prefix) + ":" +
           part(n.localName) + (n.namespaced ? "" : " level one");
}

// Where two stores first differ, node by node in document order, attributes
// in their order included (which a DOM made from a store would sort again).
std::string storesDiffer(const DocumentStore& a, const DocumentStore& b) {
    using Id = DocumentStore::Id;
    Id x = DocumentStore::documentNode, y = DocumentStore::documentNode;
    for (;;) {
        const std::string at = "node " + std::to_string(x);
        if (a.type(x) != b.type(y)) return at + ": types differ";
        switch (a.type(x)) {
            case DocumentStore::Element: {
                if (nameText(a.nameOf(x)) != nameText(b.nameOf(y)))
                    return at + ": " + nameText(a.nameOf(x)) + " vs " + nameText(b.nameOf(y));
                Id p = a.firstAttribute(x), q = b.firstAttribute(y);
                for (; p != DocumentStore::none && q != DocumentStore::none;
                     p = a.nextAttribute(p), q = b.nextAttribute(q)) {
                    if (nameText(a.attributeName(p)) != nameText(b.attributeName(q)))
                        return at + ": attribute " + nameText(a.attributeName(p)) + " vs " +
                               nameText(b.attributeName(q));
                    if (a.attributeValue(p) != b.attributeValue(q))
                        return at + ": values of " + nameText(a.attributeName(p));
                }
                if (p != q) return at + ": attribute counts differ";
                break;
            }
            case DocumentStore::EntityReference:
                if (nameText(a.nameOf(x)) != nameText(b.nameOf(y))) return at + ": names differ";
                break;
            case DocumentStore::ProcessingInstruction:
                if (nameText(a.nameOf(x)) != nameText(b.nameOf(y))) return at + ": targets differ";
                [[fallthrough]];
            case DocumentStore::Text:
            case DocumentStore::CDATA:
            case DocumentStore::Comment:
                if (a.value(x) != b.value(y))
                    return at + ": \"" + utf8(a.value(x)) + "\" vs \"" + utf8(b.value(y)) + "\"";
                break;
            default:
                break;
        }
        // The next node in document order, in step.
        if ((a.firstChild(x) == DocumentStore::none) != (b.firstChild(y) == DocumentStore::none))
            return at + ": one has children";
        if (a.firstChild(x) != DocumentStore::none) {
            x = a.firstChild(x);
            y = b.firstChild(y);
            continue;
        }
        for (;;) {
            if (x == DocumentStore::documentNode) return "";
            if ((a.nextSibling(x) == DocumentStore::none) !=
                (b.nextSibling(y) == DocumentStore::none))
                return at + ": one has a next sibling";
            if (a.nextSibling(x) != DocumentStore::none) break;
            x = a.parent(x);
            y = b.parent(y);
        }
        x = a.nextSibling(x);
        y = b.nextSibling(y);
    }
}

// Parses bytes with parser set up as the tool set up its own; the error
// heard, or "the parser stopped".
std::string parseWith(XercesDOMParser& parser, const std::string& bytes,
                      const ParseSettings& settings) {
    VornXmlFirstError errors;
    VornXmlReaderGuard guard(settings.expansionLimit);
    guard.Apply(parser, &errors);
    parser.setValidationScheme(XercesDOMParser::Val_Never);
    parser.setDoNamespaces(settings.namespaces);
    parser.setCreateEntityReferenceNodes(settings.referenceNodes);
    MemBufInputSource input(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                            "input.xml");
    try {
        parser.parse(input);
    } catch (...) {
        if (errors.message.empty()) errors.message = "the parser stopped";
    }
    guard.Release(parser);
    return errors.message;
}

}  // namespace

ParseOutcome parseToDom(const std::string& bytes, const ParseSettings& settings) {
    ParseOutcome outcome;
    XercesDOMParser parser;
    outcome.error = parseWith(parser, bytes, settings);
    if (outcome.error.empty()) outcome.dom.reset(parser.adoptDocument());
    return outcome;
}

ParseOutcome parseToStore(const std::string& bytes, const ParseSettings& settings) {
    ParseOutcome outcome;
    StoreParser parser;
    outcome.error = parseWith(parser, bytes, settings);
    if (outcome.error.empty()) outcome.store = parser.takeStore();
    return outcome;
}

std::string parseDifference(const std::string& bytes, const ParseSettings& settings) {
    const ParseOutcome dom = parseToDom(bytes, settings);
    const ParseOutcome store = parseToStore(bytes, settings);
    if (dom.error != store.error)
        return "errors differ: DOM \"" + dom.error + "\", store \"" + store.error + "\"";
    if (!dom.error.empty()) return "";
    const DocumentPtr copy(literalCopy(dom.dom.get()));
    const std::string difference = storeDifference(*store.store, copy.get());
    if (!difference.empty()) return "documents differ: " + difference;
    const std::unique_ptr<DocumentStore> expected = DocumentStore::fromDom(dom.dom.get());
    const std::string stores = storesDiffer(*expected, *store.store);
    return stores.empty() ? "" : "stores differ: " + stores;
}
