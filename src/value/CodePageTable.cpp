#include "value/CodePageTable.h"

#include <cstring>
#include <map>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XML256TableTranscoder.hpp>
#include <xercesc/util/XML88591Transcoder.hpp>
#include <xercesc/util/XMLASCIITranscoder.hpp>
#include <xercesc/util/XMLUCS4Transcoder.hpp>
#include <xercesc/util/XMLUTF16Transcoder.hpp>
#include <xercesc/util/XMLUTF8Transcoder.hpp>
#if __has_include(<xercesc/util/Transcoders/ICU/ICUTransService.hpp>)
#include <xercesc/util/Transcoders/ICU/ICUTransService.hpp>
#define TRANSSPACE_XERCES_ICU 1
#endif

#include <unicode/ucnv.h>

XERCES_CPP_NAMESPACE_USE

namespace {

std::unique_ptr<XMLTranscoder> transcoderFor(const std::u16string& name) {
    XMLTransService::Codes code;
    return std::unique_ptr<XMLTranscoder>(XMLPlatformUtils::fgTransService->makeNewTranscoderFor(
        name.c_str(), code, 64, XMLPlatformUtils::fgMemoryManager));
}

// The unit's bytes as the serializer's formatter gets them (one call per
// unit, failing for what cannot be held); false where the call eats other
// than the one unit or writes more than four bytes.
bool unitBytes(XMLTranscoder& transcoder, const XMLCh* units, XMLSize_t count,
               std::uint64_t& entry) {
    XMLByte bytes[64];
    XMLSize_t eaten = 0;
    const XMLSize_t length = transcoder.transcodeTo(units, count, bytes, sizeof bytes, eaten,
                                                    XMLTranscoder::UnRep_Throw);
    if (eaten != count || length > 4) return false;
    std::uint32_t packed = 0;
    std::memcpy(&packed, bytes, length);
    entry = (std::uint64_t(length) << 32) | packed;
    return true;
}

bool isSurrogate(unsigned c) { return c >= 0xD800 && c <= 0xDFFF; }

#ifdef TRANSSPACE_XERCES_ICU
// ICU's converters that write each character on its own, without a state
// (shifts, a byte order mark) carried from one call to the next.
bool stateless(const std::u16string& name) {
    if (name.size() >= 4) {
        std::u16string tail = name.substr(name.size() - 4);
        // The transcoding service opens "...s390" names with other options.
        if (tail == u"s390" || tail == u"S390") return false;
    }
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_openU(name.c_str(), &error);
    if (converter == nullptr) return false;
    const UConverterType type = ucnv_getType(converter);
    ucnv_close(converter);
    switch (type) {
        case UCNV_SBCS:
        case UCNV_DBCS:
        case UCNV_MBCS:
        case UCNV_LATIN_1:
        case UCNV_US_ASCII:
        case UCNV_UTF8:
        case UCNV_UTF16_BigEndian:
        case UCNV_UTF16_LittleEndian:
        case UCNV_UTF32_BigEndian:
        case UCNV_UTF32_LittleEndian:
            return true;
        default:
            return false;
    }
}
#endif

}  // namespace

std::unique_ptr<CodePageTable> CodePageTable::make(const std::string& encoding,
                                                   Availability& availability) {
    const std::u16string name(encoding.begin(), encoding.end());
    std::unique_ptr<XMLTranscoder> transcoder = transcoderFor(name);
    availability = Availability::none;
    if (!transcoder) return nullptr;
    availability = dynamic_cast<XMLUCS4Transcoder*>(transcoder.get()) != nullptr
                       ? Availability::unmodelledStalling
                       : Availability::unmodelled;
    std::unique_ptr<CodePageTable> made(new CodePageTable);
    if (dynamic_cast<XMLUTF8Transcoder*>(transcoder.get()) != nullptr) {
        made->kind = Family::utf8;
        availability = Availability::table;
        return made;
    }
    if (dynamic_cast<XMLUTF16Transcoder*>(transcoder.get()) != nullptr) {
        made->kind = Family::units;
    } else if (dynamic_cast<XML256TableTranscoder*>(transcoder.get()) != nullptr ||
               dynamic_cast<XML88591Transcoder*>(transcoder.get()) != nullptr ||
               dynamic_cast<XMLASCIITranscoder*>(transcoder.get()) != nullptr) {
        made->kind = Family::refusing;
#ifdef TRANSSPACE_XERCES_ICU
    } else if (dynamic_cast<ICUTranscoder*>(transcoder.get()) != nullptr && stateless(name)) {
        // The first of two surrogates is kept, and refused with what
        // follows it unless that is its pair.
        if (!transcoder->canTranscodeTo(0xD800) || transcoder->canTranscodeTo(u'A')) return nullptr;
        made->kind = Family::pending;
#endif
    } else {
        return nullptr;
    }

    std::vector<std::uint64_t>& table = made->table;
    table.assign(0x10000, missing);
    try {
        // 'A' first: what a unit written as nothing is checked against.
        const XMLCh a = u'A';
        if (!transcoder->canTranscodeTo(a) || !unitBytes(*transcoder, &a, 1, table[a]))
            return nullptr;
        for (unsigned c = 1; c < 0x10000; ++c) {
            if (c == a || (isSurrogate(c) && made->kind != Family::units)) continue;
            if (!transcoder->canTranscodeTo(c)) continue;
            const XMLCh unit = static_cast<XMLCh>(c);
            if (!unitBytes(*transcoder, &unit, 1, table[c])) return nullptr;
            if (length(table[c]) == 0) {
                // Written as nothing: a character ICU ignores, unless the
                // converter holds it back to join it with what follows.
                std::uint64_t after = 0;
                if (!unitBytes(*transcoder, &a, 1, after) || after != table[a]) return nullptr;
            }
            if (length(table[c]) > made->longest) made->longest = length(table[c]);
        }
    } catch (...) {
        return nullptr;
    }
    // The markup the walk writes: each ASCII character it uses must be held,
    // and written as its own byte for the fast path.
    made->identity = true;
    for (unsigned c = 0x9; c < 0x7F; ++c) {
        if (c != 0x9 && c != 0xA && c != 0xD && c < 0x20) continue;
        const std::uint64_t e = table[c];
        if (e == missing || length(e) == 0) return nullptr;
        if (e != ((std::uint64_t(1) << 32) | c)) made->identity = false;
    }
    made->name = name;
    availability = Availability::table;
    return made;
}

const CodePageTable* CodePageTable::find(const std::string& encoding, Availability& availability) {
    struct Made {
        std::unique_ptr<CodePageTable> table;
        Availability availability;
    };
    static std::mutex lock;
    // Kept for the process: a host uses one or two code pages.
    static std::map<std::string, Made>* tables = new std::map<std::string, Made>;
    const std::lock_guard<std::mutex> guard(lock);
    auto found = tables->find(encoding);
    if (found == tables->end()) {
        Made made;
        made.table = make(encoding, made.availability);
        found = tables->emplace(encoding, std::move(made)).first;
    }
    availability = found->second.availability;
    return found->second.table.get();
}

CodePageTable::Astral CodePageTable::astral(char32_t c) const {
    const std::lock_guard<std::mutex> guard(astralLock);
    const auto found = astrals.find(c);
    if (found != astrals.end()) return found->second;
    Astral a{false, false, 0, 0};
    // A transcoder of its own for each question: the table outlives the XML
    // runtime that made it (a host may end and start it again), the answers
    // do not change.
    const std::unique_ptr<XMLTranscoder> astralTranscoder = transcoderFor(name);
    if (astralTranscoder) {
        try {
            a.fits = astralTranscoder->canTranscodeTo(static_cast<unsigned int>(c));
        } catch (...) {
            a.fits = false;
        }
        if (kind == Family::pending) {
            const XMLCh pair[2] = {static_cast<XMLCh>(0xD800 + ((c - 0x10000) >> 10)),
                                   static_cast<XMLCh>(0xDC00 + ((c - 0x10000) & 0x3FF))};
            std::uint64_t entry = 0;
            try {
                a.held = true;
                if (unitBytes(*astralTranscoder, pair, 2, entry)) {
                    a.length = static_cast<std::uint8_t>(length(entry));
                    a.bytes = static_cast<std::uint32_t>(entry);
                } else {
                    a.length = unknownLength;
                }
            } catch (...) {
                // Refused: ICU's state is clean again after the error.
                a.held = false;
            }
        }
    }
    astrals.emplace(c, a);
    return a;
}
