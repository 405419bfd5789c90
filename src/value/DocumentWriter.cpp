#include "value/DocumentWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>

#include <unicode/utf16.h>

#include "value/CodePageTable.h"
#include "value/DocumentTree.h"
#include "value/store/DocumentStore.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// Thrown inside the walk where the serializer is left to write the document,
// and where the document is too deep for either.
struct Declined {};
struct TooDeep {};
// Thrown where the text ends with a failure of the write; the output holds
// what the serializer wrote until then.
struct Failed {};

using documenttree::view;

// The serializer's string equality: a null string equals an empty one.
bool sameUri(const char16_t* a, const char16_t* b) { return view(a) == view(b); }

bool isLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isTrail(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
char32_t pairOf(char16_t lead, char16_t trail) {
    return 0x10000 + ((char32_t(lead) - 0xD800) << 10) + (char32_t(trail) - 0xDC00);
}

// A character XML 1.0 allows, given as one unit of the BMP.
bool isXmlUnit(char16_t c) {
    if (c >= 0x20) return c < 0xD800 || (c >= 0xE000 && c <= 0xFFFD);
    return c == 0x9 || c == 0xA || c == 0xD;
}

// Whether s holds only characters XML allows, surrogates in pairs: what the
// serializer checks in text, attribute values, comments and instructions.
bool validXml(std::u16string_view s) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (isXmlUnit(c)) continue;
        if (isLead(c) && i + 1 < n && isTrail(s[i + 1])) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

// Where the serializer checks a string (text, attribute values, comments,
// instructions) it fails on a bad one, having written what came before.
// Names and namespace URIs it writes unchecked, and so do the sinks.
void valid(std::u16string_view s) {
    if (!validXml(s)) throw Failed();
}

// ---- Escapes ----

// Which characters a string's escapes replace: none; those of character data
// ("&", "<", ">", CR); those of an attribute value ("&", "<", '"', LF, CR,
// tab). All are below 0x40, so a mask of 64 bits tells them.
enum class Escapes { none, character, attribute };

template <Escapes E>
constexpr std::uint64_t escapeMask() {
    constexpr std::uint64_t one = 1;
    if (E == Escapes::character) return (one << '&') | (one << '<') | (one << '>') | (one << '\r');
    if (E == Escapes::attribute)
        return (one << '&') | (one << '<') | (one << '"') | (one << '\n') | (one << '\r') |
               (one << '\t');
    return 0;
}

template <Escapes E>
bool escaped(char16_t c) {
    return c < 64 && ((escapeMask<E>() >> c) & 1) != 0;
}

std::string_view escapeOf(char16_t c) {
    switch (c) {
        case u'&':
            return "&amp;";
        case u'<':
            return "&lt;";
        case u'>':
            return "&gt;";
        case u'"':
            return "&quot;";
        case u'\n':
            return "&#xA;";
        case u'\r':
            return "&#xD;";
        default:
            return "&#x9;";
    }
}

// "&#x" and the hexadecimal digits of c (upper case, as the serializer
// writes them) and ";".
std::size_t referenceOf(char32_t c, char* out) {
    static const char digits[] = "0123456789ABCDEF";
    char hex[8];
    int n = 0;
    do {
        hex[n++] = digits[c & 0xF];
        c >>= 4;
    } while (c != 0);
    std::size_t length = 0;
    out[length++] = '&';
    out[length++] = '#';
    out[length++] = 'x';
    while (n > 0) out[length++] = hex[--n];
    out[length++] = ';';
    return length;
}

// ---- Output ----

// The text being written: units appended through a cursor, the string grown
// as ensure says. A sink keeps the cursor in a local while it loops and hands
// it back before it calls out or throws.
template <class Text>
class Buffer {
public:
    using Char = typename Text::value_type;

    explicit Buffer(Text& text) : text(text) {
        text.clear();
        base = cursor = limit = nullptr;
    }
    // A cursor with room for n more units after p.
    Char* ensure(Char* p, std::size_t n) {
        if (static_cast<std::size_t>(limit - p) >= n) return p;
        const std::size_t used = static_cast<std::size_t>(p - base);
        // Growing the size writes zeros over the new room, so within the
        // room reserved it grows by an eighth; past it, where the string
        // moves anyway, by doubling.
        std::size_t size = std::max(used + n + 4096, text.size() + text.size() / 8);
        if (size > text.capacity()) size = std::max(size, text.size() * 2);
        text.resize(size);
        base = &text[0];
        limit = base + text.size();
        return base + used;
    }
    std::size_t offset(const Char* p) const { return static_cast<std::size_t>(p - base); }
    Char* at(std::size_t offset) const { return base + offset; }
    void finish() { text.resize(base != nullptr ? static_cast<std::size_t>(cursor - base) : 0); }

    Char* cursor;

private:
    Text& text;
    Char* base;
    Char* limit;
};

// ---- UTF-16 ----

// The units as they are: the serializer's UTF-16 transcoder holds every
// unit, a surrogate without its pair in a CDATA section included.
class Utf16Sink {
public:
    explicit Utf16Sink(std::u16string& text) : out(text) {}
    void finish() { out.finish(); }
    bool unfit() const { return false; }

    void ascii(std::string_view s) {
        char16_t* p = out.ensure(out.cursor, s.size());
        for (const char c : s) *p++ = static_cast<char16_t>(c);
        out.cursor = p;
    }
    void markup(std::u16string_view s) { units(s); }
    template <Escapes E>
    void text(std::u16string_view s) {
        const std::size_t n = s.size();
        char16_t* p = out.ensure(out.cursor, n * 6);
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = s[i];
            if (!escaped<E>(c)) {
                *p++ = c;
                continue;
            }
            for (const char e : escapeOf(c)) *p++ = static_cast<char16_t>(e);
        }
        out.cursor = p;
    }
    void attributeName(std::u16string_view s) { units(s); }
    void cdataPart(std::u16string_view s) {
        ascii("<![CDATA[");
        units(s);
        ascii("]]>");
    }

private:
    void units(std::u16string_view s) {
        char16_t* p = out.ensure(out.cursor, s.size());
        std::memcpy(p, s.data(), s.size() * sizeof(char16_t));
        out.cursor = p + s.size();
    }

    Buffer<std::u16string> out;
};

// ---- UTF-8 ----

// The serializer's formatter hands each stretch of text between escapes to
// its transcoder in calls of at most 16,384 units, into a buffer of 16 KiB.
constexpr std::size_t formatterUnits = 16 * 1024;
constexpr std::size_t formatterBytes = 16 * 1024;

// The serializer's UTF-8 transcoder holds every character. What it writes
// for surrogates without their pair (which reach it in CDATA sections and
// in the strings the serializer does not check: names, namespace URIs) is
// modelled too: a lone second unit as three bytes; a first unit with
// whatever follows it as one code point, computed as for a pair (four bytes
// or fewer, or a failure of the transcoder's call for a value beyond
// U+10FFFF, which drops what that call wrote); a first unit that ends the
// stretch makes it wait for ever for its pair: the text ends there, with
// what was written until then, as a failed write.
class Utf8Sink {
public:
    explicit Utf8Sink(std::string& text) : out(text) {}
    void finish() { out.finish(); }
    bool unfit() const { return false; }

    void ascii(std::string_view s) {
        char* p = out.ensure(out.cursor, s.size());
        std::memcpy(p, s.data(), s.size());
        out.cursor = p + s.size();
    }
    // Markup of a known length, copied without a call.
    template <std::size_t N>
    void ascii(const char (&s)[N]) {
        char* p = out.ensure(out.cursor, N - 1);
        std::memcpy(p, s, N - 1);
        out.cursor = p + N - 1;
    }
    void markup(std::u16string_view s) { text<Escapes::none>(s); }
    template <Escapes E>
    void text(std::u16string_view s) {
        const std::size_t n = s.size();
        char* p = out.ensure(out.cursor, n * 6);
        std::size_t piece = 0;
        std::size_t pieceOut = out.offset(p);
        for (std::size_t i = 0; i < n; ++i) {
            char32_t c = s[i];
            if (c < 0x80) {
                if (!escaped<E>(static_cast<char16_t>(c))) {
                    *p++ = static_cast<char>(c);
                    continue;
                }
                const std::string_view e = escapeOf(static_cast<char16_t>(c));
                std::memcpy(p, e.data(), e.size());
                p += e.size();
                piece = i + 1;
                pieceOut = out.offset(p);
                continue;
            }
            if (c < 0x800) {
                p[0] = static_cast<char>(0xC0 | (c >> 6));
                p[1] = static_cast<char>(0x80 | (c & 0x3F));
                p += 2;
                continue;
            }
            if (isLead(static_cast<char16_t>(c))) {
                // The stretch ends at the next escape.
                if (i + 1 == n || escaped<E>(s[i + 1])) {
                    out.cursor = p;
                    throw Failed();
                }
                c = combined(static_cast<char16_t>(c), s[i + 1]);
                if (c >= 0x110000) {
                    std::size_t end = i + 1;
                    while (end < n && !escaped<E>(s[end])) ++end;
                    out.cursor =
                        out.at(pieceOut + callStart(s.substr(piece, end - piece), i - piece));
                    throw Failed();
                }
                ++i;
            }
            p = encode(p, c);
        }
        out.cursor = p;
    }
    void attributeName(std::u16string_view s) { text<Escapes::none>(s); }
    void cdataPart(std::u16string_view s) {
        ascii("<![CDATA[");
        text<Escapes::none>(s);
        ascii("]]>");
    }

private:
    // The transcoder's value for a first surrogate and the unit after it,
    // in its unsigned arithmetic.
    static char32_t combined(char16_t lead, char16_t next) {
        return ((std::uint32_t(lead) - 0xD800) << 10) + (std::uint32_t(next) - 0xDC00) + 0x10000;
    }
    static std::size_t lengthOf(char32_t c) {
        return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }
    static char* encode(char* p, char32_t c) {
        if (c < 0x80) {
            *p = static_cast<char>(c);
            return p + 1;
        }
        if (c < 0x800) {
            p[0] = static_cast<char>(0xC0 | (c >> 6));
            p[1] = static_cast<char>(0x80 | (c & 0x3F));
            return p + 2;
        }
        if (c < 0x10000) {
            p[0] = static_cast<char>(0xE0 | (c >> 12));
            p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            p[2] = static_cast<char>(0x80 | (c & 0x3F));
            return p + 3;
        }
        p[0] = static_cast<char>(0xF0 | (c >> 18));
        p[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        p[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        p[3] = static_cast<char>(0x80 | (c & 0x3F));
        return p + 4;
    }

    // Where the transcoder's call that meets unit failing of the stretch s
    // begins, in bytes written from the stretch's start: a call takes at
    // most formatterUnits units, stops before a character its buffer cannot
    // take whole, and before a first surrogate that ends its units (one that
    // ends the stretch has stalled before this is asked).
    static std::size_t callStart(std::u16string_view s, std::size_t failing) {
        std::size_t begin = 0, limit = std::min(s.size(), formatterUnits);
        std::size_t bytes = 0, callBytes = 0, callOut = 0;
        std::size_t i = 0;
        const auto newCall = [&](std::size_t at) {
            begin = at;
            limit = std::min(s.size() - at, formatterUnits);
            callBytes = 0;
            callOut = bytes;
        };
        for (;;) {
            if (i == begin + limit) newCall(i);
            const bool lead = isLead(s[i]);
            if (lead && i + 1 >= begin + limit) {
                newCall(i);
                continue;
            }
            if (i == failing) return callOut;
            const char32_t c = lead ? combined(s[i], s[i + 1]) : char32_t(s[i]);
            const std::size_t length = lengthOf(c);
            if (callBytes + length > formatterBytes) {
                newCall(i);
                continue;
            }
            callBytes += length;
            bytes += length;
            i += lead ? 2 : 1;
        }
    }

    Buffer<std::string> out;
};

// ---- Code pages ----

// A code page as the serializer writes it through its transcoder, from the
// table of what that transcoder writes for each unit. Character data and
// attribute values (and attribute names and namespace declarations, written
// the same way) get a character the page cannot hold as a character
// reference; a CDATA section is split around such characters with the
// references between the parts; markup it cannot hold (an element name, a
// comment, an instruction) fails the write, which keeps what was written
// before the formatter's failing call. Characters beyond the BMP follow the
// transcoder's family (CodePageTable::Family): the library's own tables
// never hold a surrogate, so such a character becomes one reference; ICU
// asked about the first surrogate keeps it, so the pair is written if held;
// if not, the first unit is lost and the second becomes a reference (in
// text), or the write fails at the end of the CDATA part (the kept unit
// meets "]]>"); right after a reference, where ICU is asked about the first
// surrogate twice, the pair becomes a reference too (two in a CDATA section,
// one per unit).
class CodePageSink {
public:
    CodePageSink(std::string& text, const CodePageTable& table)
        : out(text),
          table(table),
          family(table.family()),
          identity(table.asciiIdentity()),
          unfitMarkup(false) {}
    void finish() { out.finish(); }
    bool unfit() const { return unfitMarkup; }

    void ascii(std::string_view s) { out.cursor = putAscii(out.cursor, s); }

    // Markup: every character must be held, or the write fails.
    void markup(std::u16string_view s) {
        const std::size_t n = s.size();
        const std::size_t start = out.offset(out.cursor);
        char* p = out.ensure(out.cursor, n * 4);
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = s[i];
            if (printable(c)) {
                *p++ = static_cast<char>(c);
                continue;
            }
            const std::uint64_t e = table.entry(c);
            if (e != CodePageTable::missing) {
                p = put(p, e);
                continue;
            }
            if (family == CodePageTable::Family::pending && isLead(c) && i + 1 < n &&
                isTrail(s[i + 1])) {
                const CodePageTable::Astral a = table.astral(pairOf(c, s[i + 1]));
                ++i;
                if (a.held) {
                    if (a.length == CodePageTable::unknownLength) throw Declined();
                    p = putAstral(p, a);
                    continue;
                }
            } else if (isLead(c) || isTrail(c)) {
                if (family == CodePageTable::Family::pending) throw Declined();
            }
            // The formatter's call holding unit i fails: what it would have
            // written is dropped.
            out.cursor = out.at(start + bytesBefore(s, i - i % formatterUnits));
            throw Failed();
        }
        out.cursor = p;
        if (family == CodePageTable::Family::pending) overflow(s, start);
    }

    // Character data, attribute values and the rest written with character
    // references.
    template <Escapes E>
    void text(std::u16string_view s) {
        const std::size_t n = s.size();
        char* p = out.ensure(out.cursor, n * 4 + 16);
        std::size_t piece = 0;
        std::size_t pieceOut = out.offset(p);
        bool afterReference = false;
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = s[i];
            if (printable(c) && !escaped<E>(c)) {
                *p++ = static_cast<char>(c);
                afterReference = false;
                continue;
            }
            const std::uint64_t e = table.entry(c);
            if (e != CodePageTable::missing) {
                afterReference = false;
                if (!escaped<E>(c)) {
                    p = put(p, e);
                    continue;
                }
                endPiece(s, piece, i, pieceOut, p);
                p = putAscii(p, escapeOf(c));
            } else if (isLead(c) && i + 1 < n && isTrail(s[i + 1])) {
                const char32_t pair = pairOf(c, s[i + 1]);
                if (family == CodePageTable::Family::pending && !afterReference) {
                    const CodePageTable::Astral a = table.astral(pair);
                    if (a.held) {
                        if (a.length == CodePageTable::unknownLength) throw Declined();
                        p = putAstral(p, a);
                        ++i;
                        continue;
                    }
                    // ICU keeps the lead from the question about it and
                    // drops it when asked about the pair's second unit,
                    // which becomes a reference of its own.
                    endPiece(s, piece, i + 1, pieceOut, p);
                    p = putReference(p, s[i + 1]);
                } else {
                    endPiece(s, piece, i, pieceOut, p);
                    p = putReference(p, pair);
                }
                afterReference = true;
                ++i;
            } else if (isLead(c) || isTrail(c)) {
                throw Declined();
            } else {
                endPiece(s, piece, i, pieceOut, p);
                p = putReference(p, c);
                afterReference = true;
            }
            p = out.ensure(p, (n - i) * 4 + 16);
            piece = i + 1;
            pieceOut = out.offset(p);
        }
        endPiece(s, piece, n, pieceOut, p);
        out.cursor = p;
    }

    // An attribute name: written as text, and checked as a value checks its
    // markup (each character from U+0080 on).
    void attributeName(std::u16string_view s) {
        text<Escapes::none>(s);
        if (unfitMarkup) return;
        const std::size_t n = s.size();
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = s[i];
            if (c < 0x80) continue;
            if (isLead(c) && i + 1 < n && isTrail(s[i + 1])) {
                if (!table.astral(pairOf(c, s[i + 1])).fits) unfitMarkup = true;
                ++i;
            } else if (table.entry(c) == CodePageTable::missing) {
                unfitMarkup = true;
            }
        }
    }

    void cdataPart(std::u16string_view s) {
        const std::size_t n = s.size();
        if (n == 0) {
            ascii("<![CDATA[]]>");
            return;
        }
        char* p = out.ensure(out.cursor, n * 4 + 16);
        bool open = false;
        bool afterReference = false;
        std::size_t piece = 0;
        std::size_t pieceOut = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = s[i];
            const std::uint64_t e = table.entry(c);
            if (e != CodePageTable::missing) {
                if (!open) {
                    p = putAscii(p, "<![CDATA[");
                    p = out.ensure(p, (n - i) * 4 + 16);
                    open = true;
                    piece = i;
                    pieceOut = out.offset(p);
                }
                p = put(p, e);
                afterReference = false;
                continue;
            }
            const bool pair = isLead(c) && i + 1 < n && isTrail(s[i + 1]);
            // The value's check of markup: a character beyond the BMP the
            // transcoder cannot hold.
            if (pair && !table.astral(pairOf(c, s[i + 1])).fits) unfitMarkup = true;
            if (family == CodePageTable::Family::pending) {
                if (!pair && (isLead(c) || isTrail(c))) throw Declined();
                if (pair && !afterReference) {
                    const CodePageTable::Astral a = table.astral(pairOf(c, s[i + 1]));
                    if (!a.held) {
                        // ICU keeps the lead; the section's end then fails.
                        if (!open) p = putAscii(p, "<![CDATA[");
                        out.cursor = p;
                        throw Failed();
                    }
                    if (a.length == CodePageTable::unknownLength) throw Declined();
                    if (!open) {
                        p = putAscii(p, "<![CDATA[");
                        p = out.ensure(p, (n - i) * 4 + 16);
                        open = true;
                        piece = i;
                        pieceOut = out.offset(p);
                    }
                    p = putAstral(p, a);
                    ++i;
                    continue;
                }
            }
            // A reference per unit between the parts.
            if (open) {
                endPiece(s, piece, i, pieceOut, p);
                p = putAscii(p, "]]>");
                open = false;
            }
            p = putReference(p, c);
            if (pair && family == CodePageTable::Family::pending) p = putReference(p, s[++i]);
            afterReference = true;
            p = out.ensure(p, (n - i) * 4 + 16);
        }
        if (open) {
            endPiece(s, piece, n, pieceOut, p);
            p = putAscii(p, "]]>");
        }
        out.cursor = p;
    }

private:
    // A printable ASCII character of a table that writes it as its own byte.
    bool printable(char16_t c) const { return identity && unsigned(c) - 0x20u < 0x5Fu; }
    static char* put(char* p, std::uint64_t e) {
        const std::uint32_t bytes = static_cast<std::uint32_t>(e);
        std::memcpy(p, &bytes, 4);
        return p + CodePageTable::length(e);
    }
    static char* putAstral(char* p, const CodePageTable::Astral& a) {
        std::memcpy(p, &a.bytes, 4);
        return p + a.length;
    }
    char* putAscii(char* p, std::string_view s) {
        p = out.ensure(p, s.size() * 4 + 4);
        if (identity) {
            std::memcpy(p, s.data(), s.size());
            return p + s.size();
        }
        for (const char c : s) p = put(p, table.entry(static_cast<char16_t>(c)));
        return p;
    }
    char* putReference(char* p, char32_t c) {
        char reference[16];
        return putAscii(p, std::string_view(reference, referenceOf(c, reference)));
    }

    // What the units of s before end write, each pair counted at its second
    // unit, as ICU writes it.
    std::size_t bytesBefore(std::u16string_view s, std::size_t end) const {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < end; ++i) bytes += unitLength(s, i);
        return bytes;
    }
    std::size_t unitLength(std::u16string_view s, std::size_t i) const {
        const std::uint64_t e = table.entry(s[i]);
        if (e != CodePageTable::missing) return CodePageTable::length(e);
        if (i > 0 && isTrail(s[i]) && isLead(s[i - 1])) {
            const CodePageTable::Astral a = table.astral(pairOf(s[i - 1], s[i]));
            return a.held && a.length != CodePageTable::unknownLength ? a.length : 0;
        }
        return 0;
    }

    // The stretch s[from, to) went to the transcoder as one string and was
    // written from byte pieceOut to p. ICU converters hold back the bytes
    // that overflow the formatter's buffer for their next call, which may
    // be a question that drops them: such a stretch is left to the
    // serializer.
    void endPiece(std::u16string_view s, std::size_t from, std::size_t to, std::size_t pieceOut,
                  const char* p) {
        if (family != CodePageTable::Family::pending || out.offset(p) - pieceOut <= formatterBytes)
            return;
        overflowIn(s.substr(from, to - from));
    }
    void overflow(std::u16string_view s, std::size_t start) {
        if (out.offset(out.cursor) - start > formatterBytes) overflowIn(s);
    }
    void overflowIn(std::u16string_view s) const {
        for (std::size_t call = 0; call < s.size(); call += formatterUnits) {
            std::size_t bytes = 0;
            const std::size_t end = std::min(s.size(), call + formatterUnits);
            for (std::size_t i = call; i < end; ++i) bytes += unitLength(s, i);
            if (bytes > formatterBytes) throw Declined();
        }
    }

    Buffer<std::string> out;
    const CodePageTable& table;
    const CodePageTable::Family family;
    const bool identity;
    bool unfitMarkup;
};

// ---- The walk ----

// One binding of the serializer's namespace stack. It keeps a table per
// element that declares anything; a null uri is stored (xmlns="" undoing a
// default) but reads as absent, while the key still counts as present in its
// own element's table.
struct Binding {
    std::u16string_view prefix;
    const char16_t* uri;
    std::size_t level;
};

template <class Tree, class Sink>
class Writer {
public:
    Writer(const Tree& tree, Sink& sink, std::size_t maxDepth)
        : tree(tree), sink(sink), maxDepth(maxDepth) {}

    void document(std::string_view encoding) {
        using Kind = typename Tree::Kind;
        using Node = typename Tree::Node;
        const std::u16string_view version = view(tree.xmlVersion());
        if (!version.empty() && version != u"1.0") throw Declined();
        sink.ascii("<?xml version=\"1.0\" encoding=\"");
        sink.ascii(encoding);
        sink.ascii(tree.standalone() ? "\" standalone=\"yes\" ?>" : "\" standalone=\"no\" ?>");
        Node node = tree.firstChild(tree.top());
        std::size_t level = 0;
        while (!Tree::isNull(node)) {
            if (tree.kind(node) == Kind::Element) {
                if (++level > maxDepth) throw TooDeep();
                const std::u16string_view name = startTag(node, level);
                const Node child = tree.firstChild(node);
                if (!Tree::isNull(child)) {
                    sink.ascii(">");
                    names.push_back(name);
                    node = child;
                    continue;
                }
                sink.ascii("/>");
                popBindings(level--);
            } else {
                leaf(node, level);
            }
            // Close the finished elements on the way to the next node.
            while (Tree::isNull(tree.nextSibling(node))) {
                node = tree.parent(node);
                if (Tree::isNull(node) || level == 0) return;
                sink.ascii("</");
                sink.markup(names.back());
                names.pop_back();
                sink.ascii(">");
                popBindings(level--);
            }
            node = tree.nextSibling(node);
        }
    }

private:
    using Node = typename Tree::Node;
    using Attr = typename Tree::Attr;
    using Kind = typename Tree::Kind;

    void leaf(Node node, std::size_t level) {
        switch (tree.kind(node)) {
            case Kind::Text: {
                if (level == 0) throw Declined();
                const std::u16string_view data = tree.value(node);
                valid(data);
                sink.template text<Escapes::character>(data);
                break;
            }
            case Kind::CDATA:
                if (level == 0) throw Declined();
                cdata(tree.value(node));
                break;
            case Kind::EntityReference: {
                // Written as the reference; what it expands to is not written.
                if (level == 0) throw Declined();
                const std::u16string_view name = tree.name(node).qname;
                sink.ascii("&");
                sink.markup(name);
                sink.ascii(";");
                break;
            }
            case Kind::Comment: {
                const std::u16string_view data = tree.value(node);
                valid(data);
                sink.ascii("<!--");
                sink.markup(data);
                sink.ascii("-->");
                break;
            }
            case Kind::Instruction: {
                const std::u16string_view target = tree.name(node).qname;
                const std::u16string_view data = tree.value(node);
                valid(target);
                valid(data);
                sink.ascii("<?");
                sink.markup(target);
                if (!data.empty()) {
                    sink.ascii(" ");
                    sink.markup(data);
                }
                sink.ascii("?>");
                break;
            }
            default:
                throw Declined();
        }
    }

    std::u16string_view startTag(Node e, std::size_t level) {
        const typename Tree::Name name = tree.name(e);
        sink.ascii("<");
        sink.markup(name.qname);

        // The element's own namespace, declared where no ancestor binds it.
        const std::u16string_view prefix = view(name.prefix);
        if (!view(name.uri).empty() || (prefix.empty() && defaultDeclared())) {
            if (!bound(prefix, name.uri)) {
                bind(prefix, name.uri, level);
                declare(prefix, name.uri);
            }
        }

        for (Attr a = tree.firstAttribute(e); !Tree::isEnd(a); a = tree.nextAttribute(a)) {
            const typename Tree::Name an = tree.attributeName(a);
            if (an.uri != nullptr) {
                const std::u16string_view space(an.uri);
                if (space == u"http://www.w3.org/2000/xmlns/") {
                    const std::u16string_view local = view(an.localName);
                    const std::u16string_view key =
                        an.qname == u"xmlns" ? std::u16string_view() : local;
                    // A declaration the element's own name made already.
                    if (declaredHere(key, level)) continue;
                    // Kept under its local name, which for a default
                    // declaration is "xmlns": later elements do not see it
                    // as the default.
                    bind(local, tree.attributeValueZ(a), level);
                } else if (space != u"http://www.w3.org/XML/1998/namespace") {
                    const std::u16string_view attributePrefix = view(an.prefix);
                    if (!attributePrefix.empty() && !bound(attributePrefix, an.uri)) {
                        bind(attributePrefix, an.uri, level);
                        declare(attributePrefix, an.uri);
                    }
                }
            }
            sink.ascii(" ");
            sink.attributeName(an.qname);
            sink.ascii("=\"");
            tree.attributeParts(a, [this](bool reference, std::u16string_view part) {
                if (reference) {
                    sink.ascii("&");
                    sink.template text<Escapes::none>(part);
                    sink.ascii(";");
                } else {
                    valid(part);
                    sink.template text<Escapes::attribute>(part);
                }
            });
            sink.ascii("\"");
        }
        return name.qname;
    }

    void declare(std::u16string_view prefix, const char16_t* uri) {
        sink.ascii(" xmlns");
        if (!prefix.empty()) {
            sink.ascii(":");
            sink.template text<Escapes::none>(prefix);
        }
        sink.ascii("=\"");
        sink.template text<Escapes::attribute>(view(uri));
        sink.ascii("\"");
    }

    bool defaultDeclared() const {
        for (const Binding& b : bindings)
            if (b.prefix.empty() && b.uri != nullptr) return true;
        return false;
    }
    // Whether the nearest table binding prefix to a uri binds it to uri.
    bool bound(std::u16string_view prefix, const char16_t* uri) const {
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
    void bind(std::u16string_view prefix, const char16_t* uri, std::size_t level) {
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

    // A section per stretch between occurrences of "]]>", which itself is
    // dropped: each stretch, even an empty one, is a section of its own.
    void cdata(std::u16string_view s) {
        for (;;) {
            const std::size_t end = s.find(u"]]>");
            sink.cdataPart(s.substr(0, end));
            if (end == std::u16string_view::npos) return;
            s.remove_prefix(end + 3);
        }
    }

    const Tree& tree;
    Sink& sink;
    const std::size_t maxDepth;
    std::vector<Binding> bindings;
    // The names of the open elements, for their end tags.
    std::vector<std::u16string_view> names;
};

template <class Tree, class Sink, class Text, class... Extra>
Written write(const Tree& tree, Text& out, std::string_view encoding, std::size_t maxDepth,
              const Extra&... extra) {
    Sink sink(out, extra...);
    try {
        Writer<Tree, Sink>(tree, sink, maxDepth).document(encoding);
        sink.finish();
        return sink.unfit() ? Written::unreadable : Written::whole;
    } catch (const Declined&) {
        out.clear();
        return Written::declined;
    } catch (const TooDeep&) {
        out.clear();
        return Written::tooDeep;
    } catch (const Failed&) {
        sink.finish();
        return Written::failed;
    }
}

// Whether the first of two surrogates may end a stretch the serializer
// hands its transcoder without checking it: a CDATA part, or a name or
// namespace URI holding it without its pair.
template <class Tree>
bool uncheckedUnpaired(const Tree& tree) {
    using Kind = typename Tree::Kind;
    using Node = typename Tree::Node;
    const auto unpaired = [](std::u16string_view s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (isLead(s[i]) && i + 1 < s.size() && isTrail(s[i + 1]))
                ++i;
            else if (isLead(s[i]))
                return true;
        }
        return false;
    };
    const auto endsCdataPart = [](std::u16string_view s) {
        for (;;) {
            const std::size_t end = s.find(u"]]>");
            const std::u16string_view part = s.substr(0, end);
            if (!part.empty() && isLead(part.back()) &&
                (part.size() < 2 || !isLead(part[part.size() - 2])))
                return true;
            if (end == std::u16string_view::npos) return false;
            s.remove_prefix(end + 3);
        }
    };
    const auto badName = [&unpaired](const typename Tree::Name& n) {
        return unpaired(n.qname) || unpaired(view(n.uri));
    };
    return anyNode(tree, [&](Node node) {
        const Kind kind = tree.kind(node);
        if (kind == Kind::CDATA && endsCdataPart(tree.value(node))) return true;
        if (kind == Kind::EntityReference && badName(tree.name(node))) return true;
        if (kind != Kind::Element) return false;
        if (badName(tree.name(node))) return true;
        for (auto a = tree.firstAttribute(node); !Tree::isEnd(a); a = tree.nextAttribute(a)) {
            if (badName(tree.attributeName(a))) return true;
            bool bad = false;
            tree.attributeParts(a, [&](bool reference, std::u16string_view part) {
                if (reference && unpaired(part)) bad = true;
            });
            if (bad) return true;
        }
        return false;
    });
}

template <class Tree>
Written writeCodePage(const Tree& tree, const std::string& encoding, std::size_t maxDepth,
                      std::string& out) {
    out.clear();
    for (const char c : encoding)
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '&' || c == '<') return Written::declined;
    if (encoding == "UTF-8") return write<Tree, Utf8Sink>(tree, out, encoding, maxDepth);
    CodePageTable::Availability availability;
    const CodePageTable* table = CodePageTable::find(encoding, availability);
    switch (availability) {
        case CodePageTable::Availability::none:
            // Without a transcoder the serializer writes nothing and fails.
            return Written::failed;
        case CodePageTable::Availability::unmodelledStalling:
            // The serializer would never return: the write fails, with
            // nothing written.
            return uncheckedUnpaired(tree) ? Written::failed : Written::declined;
        case CodePageTable::Availability::unmodelled:
            return Written::declined;
        default:
            break;
    }
    if (table->family() == CodePageTable::Family::utf8)
        return write<Tree, Utf8Sink>(tree, out, encoding, maxDepth);
    return write<Tree, CodePageSink>(tree, out, encoding, maxDepth, *table);
}

// lowest: the first code point that needs the check.
bool fits(std::u16string_view s, XMLTranscoder& transcoder, UChar32 lowest) {
    const int32_t length = static_cast<int32_t>(s.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(s.data(), i, length, c);
        // The ASCII characters of a name (letters, digits, "-._:") are in
        // every code page; most names hold nothing else.
        if (c >= lowest && !transcoder.canTranscodeTo(static_cast<unsigned int>(c))) return false;
    }
    return true;
}

template <class Tree>
bool holdsMarkup(const Tree& tree, const char16_t* encoding) {
    XMLTransService::Codes code;
    std::unique_ptr<XMLTranscoder> transcoder(
        XMLPlatformUtils::fgTransService->makeNewTranscoderFor(encoding, code, 64,
                                                               XMLPlatformUtils::fgMemoryManager));
    if (!transcoder) return false;
    using Kind = typename Tree::Kind;
    using Node = typename Tree::Node;
    return !anyNode(tree, [&](Node node) {
        const Kind kind = tree.kind(node);
        // A CDATA section is split around a character the encoding cannot
        // hold, which goes between the parts as a reference; beyond the BMP
        // that reference names the two surrogates, which XML forbids.
        if (kind == Kind::CDATA) return !fits(tree.value(node), *transcoder, 0x10000);
        if (kind != Kind::Element) return false;
        for (auto a = tree.firstAttribute(node); !Tree::isEnd(a); a = tree.nextAttribute(a))
            if (!fits(tree.attributeName(a).qname, *transcoder, 0x80)) return true;
        return false;
    });
}

}  // namespace

Written writeDocumentUTF16(const DocumentStore& document, std::size_t maxDepth,
                           std::u16string& out) {
    return write<StoreTree, Utf16Sink>(StoreTree(document), out, "UTF-16", maxDepth);
}

Written writeDocumentUTF16(const DOMDocument& document, std::size_t maxDepth, std::u16string& out) {
    return write<DomTree, Utf16Sink>(DomTree(document), out, "UTF-16", maxDepth);
}

Written writeDocumentUTF8(const DocumentStore& document, std::size_t maxDepth, std::string& out) {
    return write<StoreTree, Utf8Sink>(StoreTree(document), out, "UTF-8", maxDepth);
}

Written writeDocumentUTF8(const DOMDocument& document, std::size_t maxDepth, std::string& out) {
    return write<DomTree, Utf8Sink>(DomTree(document), out, "UTF-8", maxDepth);
}

Written writeDocumentCodePage(const DocumentStore& document, const std::string& encoding,
                              std::size_t maxDepth, std::string& out) {
    return writeCodePage(StoreTree(document), encoding, maxDepth, out);
}

Written writeDocumentCodePage(const DOMDocument& document, const std::string& encoding,
                              std::size_t maxDepth, std::string& out) {
    return writeCodePage(DomTree(document), encoding, maxDepth, out);
}

bool encodingHoldsMarkup(const DocumentStore& document, const char16_t* encoding) {
    return holdsMarkup(StoreTree(document), encoding);
}

bool encodingHoldsMarkup(const DOMDocument& document, const char16_t* encoding) {
    return holdsMarkup(DomTree(document), encoding);
}
