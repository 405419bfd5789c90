// What the Load and Save serializer's transcoder for one encoding writes for
// each UTF-16 unit, taken from that transcoder once per encoding and process,
// so that a document's text in that encoding is written without a call per
// character. Tables are made on first use and kept; a table is read by any
// number of threads (its cache of characters beyond the BMP has a lock), and
// outlives the XML runtime it was made in: it holds no object of it.
#ifndef TRANSSPACE_VALUE_CODEPAGETABLE_H
#define TRANSSPACE_VALUE_CODEPAGETABLE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class CodePageTable {
public:
    // How the transcoder treats surrogates, which decides how the serializer
    // writes characters beyond the BMP.
    enum class Family : std::uint8_t {
        // The library's UTF-8 transcoder: every character, nothing to table.
        utf8,
        // The library's UTF-16 transcoders: each unit as it is, surrogates
        // included.
        units,
        // The library's tables of one byte per character: a surrogate is never
        // held, so a character beyond the BMP becomes one reference.
        refusing,
        // ICU's stateless converters: asked about the first of two surrogates
        // it keeps that unit for the next call and answers yes; the pair is
        // then held or not as a whole.
        pending,
    };

    // What the serializer's transcoding service has for an encoding: no
    // transcoder; one whose writing the table cannot stand for (a stateful
    // or signed encoding, one that joins characters, one that cannot hold
    // ASCII markup); the same for UCS-4, whose transcoder waits for ever for
    // the pair of a surrogate that ends a call; or a table.
    enum class Availability : std::uint8_t { none, unmodelled, unmodelledStalling, table };

    // The table for encoding, null unless availability is table.
    static const CodePageTable* find(const std::string& encoding, Availability& availability);

    Family family() const { return kind; }
    // Whether each ASCII character of markup is written as its own byte.
    bool asciiIdentity() const { return identity; }
    // The most bytes one unit is written in.
    unsigned maxLength() const { return longest; }

    // A unit's bytes: the low 32 bits hold them in order, bits 32 to 39
    // their number; missing for a unit the transcoder cannot hold (and for
    // surrogates outside the units family).
    static constexpr std::uint64_t missing = std::uint64_t(0xFF) << 32;
    std::uint64_t entry(char16_t unit) const { return table[unit]; }
    static unsigned length(std::uint64_t entry) { return unsigned(entry >> 32) & 0xFF; }

    // A character beyond the BMP: whether the transcoder says it can hold
    // it when asked with the code point (as the value's check of markup
    // asks; ICU's transcoder then looks at the character 0x10000 above), and
    // in the pending family whether it writes the pair and its bytes
    // (unknownLength where they could not be had). Asked of a transcoder of
    // our own, once per character and process, under a lock.
    static constexpr std::uint8_t unknownLength = 0xFF;
    struct Astral {
        bool fits;
        bool held;
        std::uint8_t length;
        std::uint32_t bytes;
    };
    Astral astral(char32_t c) const;

private:
    CodePageTable() = default;
    static std::unique_ptr<CodePageTable> make(const std::string& encoding,
                                               Availability& availability);

    Family kind = Family::utf8;
    bool identity = false;
    unsigned longest = 1;
    std::vector<std::uint64_t> table;
    std::u16string name;
    mutable std::mutex astralLock;
    mutable std::unordered_map<char32_t, Astral> astrals;
};

#endif
