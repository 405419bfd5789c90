#include "value/DocumentWriter.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

XERCES_CPP_NAMESPACE_USE

namespace {

// Thrown inside the walk where the serializer is left to write the document,
// and where the document is too deep for either.
struct Declined {};
struct TooDeep {};
// Thrown where the text ends with a failure of the write.
struct Failed {};

std::u16string_view view(const XMLCh* s) {
    return s != nullptr ? std::u16string_view(s) : std::u16string_view();
}

// The serializer's string equality: a null string equals an empty one.
bool sameUri(const XMLCh* a, const XMLCh* b) { return view(a) == view(b); }

bool isLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isTrail(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A character XML 1.0 allows, given as one unit of the BMP.
bool isXmlUnit(char16_t c) {
    if (c >= 0x20) return c < 0xD800 || (c >= 0xE000 && c <= 0xFFFD);
    return c == 0x9 || c == 0xA || c == 0xD;
}

// UTF-16 output: the units as they are.
class Utf16Sink {
public:
    explicit Utf16Sink(std::u16string& out) : out(out) {}
    void units(std::u16string_view s) { out.append(s); }
    void chars(std::u16string_view s) { out.append(s); }
    void ascii(std::string_view s) { out.append(s.begin(), s.end()); }
    void unit(char16_t c) { out.push_back(c); }
    void cdataPart(std::u16string_view s) {
        ascii("<![CDATA[");
        units(s);
        ascii("]]>");
    }
    // The units raw, as the serializer copies them: left to it.
    void cdataStall(std::u16string_view) { throw Declined(); }

private:
    std::u16string& out;
};

// UTF-8 output. The text reaching it has its surrogates paired: the walk
// checks every string first or declines.
class Utf8Sink {
public:
    explicit Utf8Sink(std::string& out) : out(out) {}
    void units(std::u16string_view s) {
        const std::size_t n = s.size();
        for (std::size_t i = 0; i < n; ++i) {
            const char32_t c = s[i];
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else if (c < 0x800) {
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            } else if (isLead(static_cast<char16_t>(c)) && i + 1 < n && isTrail(s[i + 1])) {
                const char32_t p = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
                out.push_back(static_cast<char>(0xF0 | (p >> 18)));
                out.push_back(static_cast<char>(0x80 | ((p >> 12) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | ((p >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (p & 0x3F)));
            } else {
                out.push_back(static_cast<char>(0xE0 | (c >> 12)));
                out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
        }
    }
    void chars(std::u16string_view s) { units(s); }
    void ascii(std::string_view s) { out.append(s); }
    void unit(char16_t c) { units(std::u16string_view(&c, 1)); }
    void cdataPart(std::u16string_view s) {
        ascii("<![CDATA[");
        units(s);
        ascii("]]>");
    }
    // The serializer's UTF-8 formatter waits for the pair of a surrogate
    // that ends a CDATA part and never returns: the text ends there, with
    // what it wrote until then, as a failed write.
    void cdataStall(std::u16string_view before) {
        ascii("<![CDATA[");
        units(before);
        throw Failed();
    }

private:
    std::string& out;
};

// A code page of one byte per character: the byte of every unit of the
// BMP the serializer's transcoder can write, -1 for the others (and for
// surrogates), -2 for those it writes as nothing (a combining grapheme
// joiner, say).
struct ByteTable {
    std::vector<int16_t> byteOf = std::vector<int16_t>(0x10000, -1);
};

// Output in a code page of one byte per character, as the serializer's
// formatter writes it: character data gives a unit it cannot hold as a
// character reference, a CDATA section is split around such units with the
// references between the parts; markup it cannot hold is left to the
// serializer, which fails there. So is every character beyond the BMP: the
// transcoder asked about the first of two surrogates keeps it for the next
// call and answers yes, whatever the pair, and what it writes then depends
// on that state.
class ByteSink {
public:
    ByteSink(std::string& out, const ByteTable& table) : out(out), table(table.byteOf) {}
    void units(std::u16string_view s) {
        for (const char16_t c : s) {
            const int16_t b = table[c];
            if (b == -1) throw Declined();
            if (b >= 0) out.push_back(static_cast<char>(b));
        }
    }
    void chars(std::u16string_view s) {
        for (const char16_t c : s) {
            const int16_t b = table[c];
            if (b >= 0)
                out.push_back(static_cast<char>(b));
            else if (isLead(c) || isTrail(c))
                throw Declined();
            else if (b == -1)
                reference(c);
        }
    }
    void ascii(std::string_view s) { out.append(s); }
    void unit(char16_t c) { units(std::u16string_view(&c, 1)); }
    void cdataStall(std::u16string_view) { throw Declined(); }
    void cdataPart(std::u16string_view s) {
        if (s.empty()) {
            ascii("<![CDATA[]]>");
            return;
        }
        bool open = false;
        for (const char16_t c : s) {
            if (isLead(c) || isTrail(c)) throw Declined();
            const int16_t b = table[c];
            if (b != -1 && !open) ascii("<![CDATA[");
            if (b == -1 && open) ascii("]]>");
            open = b != -1;
            if (b >= 0)
                out.push_back(static_cast<char>(b));
            else if (b == -1)
                reference(c);
        }
        if (open) ascii("]]>");
    }

private:
    void reference(char32_t c) {
        static const char digits[] = "0123456789ABCDEF";
        char hex[8];
        int n = 0;
        do {
            hex[n++] = digits[c & 0xF];
            c >>= 4;
        } while (c != 0);
        out.append("&#x");
        while (n > 0) out.push_back(hex[--n]);
        out.push_back(';');
    }

    std::string& out;
    const std::vector<int16_t>& table;
};

// Declines a string that the serializer refuses to write: a character XML
// does not allow, or a surrogate without its pair.
void check(std::u16string_view s) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (isXmlUnit(c)) continue;
        if (isLead(c) && i + 1 < n && isTrail(s[i + 1])) {
            ++i;
            continue;
        }
        throw Declined();
    }
}

// The first surrogate without its pair in s, or npos.
std::size_t unpaired(std::u16string_view s) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (isLead(s[i]) && i + 1 < n && isTrail(s[i + 1]))
            ++i;
        else if (isLead(s[i]) || isTrail(s[i]))
            return i;
    }
    return std::u16string_view::npos;
}

// One binding of the serializer's namespace stack. It keeps a table per
// element that declares anything; a null uri is stored (xmlns="" undoing a
// default) but reads as absent, while the key still counts as present in its
// own element's table.
struct Binding {
    std::u16string_view prefix;
    const XMLCh* uri;
    std::size_t level;
};

template <class Sink>
class Writer {
public:
    Writer(Sink& sink, std::size_t maxDepth) : sink(sink), maxDepth(maxDepth) {}

    void document(const DOMDocument& d, std::string_view encoding) {
        const std::u16string_view version = view(d.getXmlVersion());
        if (!version.empty() && version != u"1.0") throw Declined();
        sink.ascii("<?xml version=\"1.0\" encoding=\"");
        sink.ascii(encoding);
        sink.ascii(d.getXmlStandalone() ? "\" standalone=\"yes\" ?>" : "\" standalone=\"no\" ?>");
        const DOMNode* node = d.getFirstChild();
        std::size_t level = 0;
        while (node != nullptr) {
            const bool opened = node->getNodeType() == DOMNode::ELEMENT_NODE;
            if (opened) {
                if (++level > maxDepth) throw TooDeep();
                startTag(static_cast<const DOMElement*>(node), level);
                if (node->getFirstChild() != nullptr) {
                    sink.unit(u'>');
                    node = node->getFirstChild();
                    continue;
                }
                sink.ascii("/>");
                popBindings(level--);
            } else {
                leaf(node, level);
            }
            // Close the finished elements on the way to the next node.
            while (node->getNextSibling() == nullptr) {
                node = node->getParentNode();
                if (node == nullptr || node->getNodeType() != DOMNode::ELEMENT_NODE) return;
                sink.ascii("</");
                sink.units(view(node->getNodeName()));
                sink.unit(u'>');
                popBindings(level--);
            }
            node = node->getNextSibling();
        }
    }

private:
    void leaf(const DOMNode* node, std::size_t level) {
        switch (node->getNodeType()) {
            case DOMNode::TEXT_NODE:
                if (level == 0) throw Declined();
                text(view(node->getNodeValue()));
                break;
            case DOMNode::CDATA_SECTION_NODE:
                if (level == 0) throw Declined();
                cdata(view(node->getNodeValue()));
                break;
            case DOMNode::ENTITY_REFERENCE_NODE: {
                // Written as the reference; what it expands to is not written.
                if (level == 0) throw Declined();
                const std::u16string_view name = view(node->getNodeName());
                check(name);
                sink.unit(u'&');
                sink.units(name);
                sink.unit(u';');
                break;
            }
            case DOMNode::COMMENT_NODE: {
                const std::u16string_view data = view(node->getNodeValue());
                check(data);
                sink.ascii("<!--");
                sink.units(data);
                sink.ascii("-->");
                break;
            }
            case DOMNode::PROCESSING_INSTRUCTION_NODE: {
                const std::u16string_view target = view(node->getNodeName());
                const std::u16string_view data = view(node->getNodeValue());
                check(target);
                check(data);
                sink.ascii("<?");
                sink.units(target);
                if (!data.empty()) {
                    sink.unit(u' ');
                    sink.units(data);
                }
                sink.ascii("?>");
                break;
            }
            default:
                throw Declined();
        }
    }

    void startTag(const DOMElement* e, std::size_t level) {
        const std::u16string_view name = view(e->getTagName());
        check(name);
        sink.unit(u'<');
        sink.units(name);

        // The element's own namespace, declared where no ancestor binds it.
        const XMLCh* prefix = e->getPrefix();
        const XMLCh* uri = e->getNamespaceURI();
        if (!view(uri).empty() || (view(prefix).empty() && defaultDeclared())) {
            if (!bound(view(prefix), uri)) {
                bind(view(prefix), uri, level);
                declare(view(prefix), uri);
            }
        }

        const DOMNamedNodeMap* attributes = e->getAttributes();
        const XMLSize_t count = attributes != nullptr ? attributes->getLength() : 0;
        for (XMLSize_t i = 0; i < count; ++i) {
            const DOMNode* a = attributes->item(i);
            const XMLCh* ns = a->getNamespaceURI();
            if (ns != nullptr) {
                const std::u16string_view space = view(ns);
                if (space == u"http://www.w3.org/2000/xmlns/") {
                    const std::u16string_view local = view(a->getLocalName());
                    const std::u16string_view key =
                        view(a->getNodeName()) == u"xmlns" ? std::u16string_view() : local;
                    // A declaration the element's own name made already.
                    if (declaredHere(key, level)) continue;
                    // Kept under its local name, which for a default
                    // declaration is "xmlns": later elements do not see it
                    // as the default.
                    bind(local, a->getNodeValue(), level);
                } else if (space != u"http://www.w3.org/XML/1998/namespace") {
                    const std::u16string_view attributePrefix = view(a->getPrefix());
                    if (!attributePrefix.empty() && !bound(attributePrefix, ns)) {
                        bind(attributePrefix, ns, level);
                        declare(attributePrefix, ns);
                    }
                }
            }
            const std::u16string_view attributeName = view(a->getNodeName());
            check(attributeName);
            sink.unit(u' ');
            sink.units(attributeName);
            sink.ascii("=\"");
            for (const DOMNode* part = a->getFirstChild(); part != nullptr;
                 part = part->getNextSibling()) {
                if (part->getNodeType() == DOMNode::TEXT_NODE) {
                    attributeText(view(part->getNodeValue()));
                } else if (part->getNodeType() == DOMNode::ENTITY_REFERENCE_NODE) {
                    const std::u16string_view reference = view(part->getNodeName());
                    check(reference);
                    sink.unit(u'&');
                    sink.units(reference);
                    sink.unit(u';');
                }
            }
            sink.unit(u'"');
        }
    }

    void declare(std::u16string_view prefix, const XMLCh* uri) {
        sink.ascii(" xmlns");
        if (!prefix.empty()) {
            check(prefix);
            sink.unit(u':');
            sink.units(prefix);
        }
        sink.ascii("=\"");
        attributeText(view(uri));
        sink.unit(u'"');
    }

    bool defaultDeclared() const {
        for (const Binding& b : bindings)
            if (b.prefix.empty() && b.uri != nullptr) return true;
        return false;
    }
    // Whether the nearest table binding prefix to a uri binds it to uri.
    bool bound(std::u16string_view prefix, const XMLCh* uri) const {
        for (std::size_t i = bindings.size(); i > 0; --i) {
            const Binding& b = bindings[i - 1];
            if (b.prefix == prefix && b.uri != nullptr) return sameUri(b.uri, uri);
        }
        return false;
    }
    bool declaredHere(std::u16string_view prefix, std::size_t level) const {
        for (std::size_t i = bindings.size(); i > 0 && bindings[i - 1].level == level; --i)
            if (bindings[i - 1].prefix == prefix) return true;
        return false;
    }
    // A later binding of the same prefix in one table replaces the earlier.
    void bind(std::u16string_view prefix, const XMLCh* uri, std::size_t level) {
        for (std::size_t i = bindings.size(); i > 0 && bindings[i - 1].level == level; --i) {
            if (bindings[i - 1].prefix == prefix) {
                bindings[i - 1].uri = uri;
                return;
            }
        }
        bindings.push_back({prefix, uri, level});
    }
    void popBindings(std::size_t level) {
        while (!bindings.empty() && bindings.back().level == level) bindings.pop_back();
    }

    // Character data: "&", "<", ">" and CR escaped.
    void text(std::u16string_view s) {
        check(s);
        std::size_t start = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char* escape;
            switch (s[i]) {
                case u'&':
                    escape = "&amp;";
                    break;
                case u'<':
                    escape = "&lt;";
                    break;
                case u'>':
                    escape = "&gt;";
                    break;
                case u'\r':
                    escape = "&#xD;";
                    break;
                default:
                    continue;
            }
            sink.chars(s.substr(start, i - start));
            sink.ascii(escape);
            start = i + 1;
        }
        sink.chars(s.substr(start));
    }

    // An attribute value: "&", "<", '"', LF, CR and tab escaped.
    void attributeText(std::u16string_view s) {
        check(s);
        std::size_t start = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char* escape;
            switch (s[i]) {
                case u'&':
                    escape = "&amp;";
                    break;
                case u'<':
                    escape = "&lt;";
                    break;
                case u'"':
                    escape = "&quot;";
                    break;
                case u'\n':
                    escape = "&#xA;";
                    break;
                case u'\r':
                    escape = "&#xD;";
                    break;
                case u'\t':
                    escape = "&#x9;";
                    break;
                default:
                    continue;
            }
            sink.chars(s.substr(start, i - start));
            sink.ascii(escape);
            start = i + 1;
        }
        sink.chars(s.substr(start));
    }

    // A section per stretch between occurrences of "]]>", which itself is
    // dropped: each stretch, even an empty one, is a section of its own. It
    // goes to the encoder unchecked, which takes every unit but a surrogate
    // without its pair.
    void cdata(std::u16string_view s) {
        for (;;) {
            const std::size_t end = s.find(u"]]>");
            const std::u16string_view part = s.substr(0, end);
            const std::size_t bad = unpaired(part);
            if (bad != std::u16string_view::npos) {
                if (bad + 1 == part.size() && isLead(part[bad]))
                    sink.cdataStall(part.substr(0, bad));
                throw Declined();
            }
            sink.cdataPart(part);
            if (end == std::u16string_view::npos) return;
            s.remove_prefix(end + 3);
        }
    }

    Sink& sink;
    const std::size_t maxDepth;
    std::vector<Binding> bindings;
};

template <class Sink, class Text, class... Extra>
Written write(const DOMDocument& document, Text& out, std::string_view encoding,
              std::size_t maxDepth, const Extra&... extra) {
    out.clear();
    Sink sink(out, extra...);
    try {
        Writer<Sink>(sink, maxDepth).document(document, encoding);
        return Written::whole;
    } catch (const Declined&) {
        out.clear();
        return Written::declined;
    } catch (const TooDeep&) {
        out.clear();
        return Written::tooDeep;
    } catch (const Failed&) {
        return Written::failed;
    }
}

// The table of encoding as the serializer's transcoder writes it; null when
// that transcoder is missing, writes some character in more than one byte
// or writes ASCII markup as anything but itself.
std::unique_ptr<const ByteTable> makeTable(const std::string& encoding) {
    std::u16string name(encoding.begin(), encoding.end());
    XMLTransService::Codes code;
    std::unique_ptr<XMLTranscoder> transcoder(
        XMLPlatformUtils::fgTransService->makeNewTranscoderFor(name.c_str(), code, 64,
                                                               XMLPlatformUtils::fgMemoryManager));
    if (!transcoder) return nullptr;
    std::unique_ptr<ByteTable> table(new ByteTable);
    try {
        for (char32_t c = 1; c < 0x10000; ++c) {
            const XMLCh unit = static_cast<XMLCh>(c);
            if (isLead(unit) || isTrail(unit)) continue;  // never asked
            if (!transcoder->canTranscodeTo(static_cast<unsigned int>(c))) {
                if (c < 0x80 && (c >= 0x20 || c == 0x9 || c == 0xA || c == 0xD)) return nullptr;
                continue;
            }
            XMLByte bytes[8];
            XMLSize_t eaten = 0;
            const XMLSize_t length = transcoder->transcodeTo(&unit, 1, bytes, sizeof bytes, eaten,
                                                             XMLTranscoder::UnRep_Throw);
            if (length > 1 || eaten != 1) return nullptr;
            if (c < 0x80 && (length != 1 || bytes[0] != c)) return nullptr;
            table->byteOf[c] = length == 1 ? bytes[0] : -2;
        }
    } catch (...) {
        return nullptr;
    }
    return table;
}

// Tables are made once per encoding and process, and kept: a host uses one
// or two code pages.
const ByteTable* byteTable(const std::string& encoding) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<const ByteTable>>* tables =
        new std::map<std::string, std::unique_ptr<const ByteTable>>;
    const std::lock_guard<std::mutex> guard(lock);
    auto found = tables->find(encoding);
    if (found == tables->end()) found = tables->emplace(encoding, makeTable(encoding)).first;
    return found->second.get();
}

}  // namespace

Written writeDocumentUTF16(const DOMDocument& document, std::size_t maxDepth, std::u16string& out) {
    return write<Utf16Sink>(document, out, "UTF-16", maxDepth);
}

Written writeDocumentUTF8(const DOMDocument& document, std::size_t maxDepth, std::string& out) {
    return write<Utf8Sink>(document, out, "UTF-8", maxDepth);
}

Written writeDocumentBytes(const DOMDocument& document, const std::string& encoding,
                           std::size_t maxDepth, std::string& out) {
    out.clear();
    for (const char c : encoding)
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '&' || c == '<') return Written::declined;
    const ByteTable* table = byteTable(encoding);
    if (table == nullptr) return Written::declined;
    return write<ByteSink>(document, out, encoding, maxDepth, *table);
}
