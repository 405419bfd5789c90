#include "diff/DictionaryFacts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/util/XMLString.hpp>

#include <unicode/decimfmt.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/parsepos.h>
#include <unicode/unistr.h>

#include "VornCodePage.h"
#include "VornDataSource.h"
#include "diff/ByteBuffer.h"

XERCES_CPP_NAMESPACE_USE

const char* const kVariableFieldNames[kVariableFieldCount] = {
    "label",     "type",         "format",        "writeFormat", "measurementLevel",
    "alignment", "displayWidth", "missingValues", "valueLabels", "attributes"};
const char* const kFileFieldNames[kFileFieldCount] = {
    "rowCount",   "weightVariable", "variableOrder", "variableSets", "multipleResponseSets",
    "attributes", "extensions"};

namespace {

// The bytes writeQuoted copies as they are: every label and value of a
// source passes through it.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int c = 0; c < 256; ++c) plain[c] = c >= 0x20 && c != 0x7f && c != '"' && c != '\\';
    }
};
constexpr PlainBytes kPlainBytes;

// The most bytes writeQuoted writes for text: six for an escaped byte, and the quotes.
std::size_t quotedRoom(std::string_view text) { return 6 * text.size() + 2; }

// Writes text as appendQuoted does at p, which has quotedRoom(text) bytes of
// room; returns the end of what it wrote.
char* writeQuoted(char* p, std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    *p++ = '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (kPlainBytes.plain[byte]) {
            *p++ = c;
        } else if (c == '"' || c == '\\') {
            *p++ = '\\';
            *p++ = c;
        } else if (c == '\n') {
            *p++ = '\\';
            *p++ = 'n';
        } else if (c == '\t') {
            *p++ = '\\';
            *p++ = 't';
        } else {
            const char escaped[6] = {'\\', 'u', '0', '0', digits[byte >> 4], digits[byte & 15]};
            std::memcpy(p, escaped, sizeof escaped);
            p += sizeof escaped;
        }
    }
    *p++ = '"';
    return p;
}

void appendQuoted(ByteBuffer& out, std::string_view text) {
    out.commit(writeQuoted(out.room(quotedRoom(text)), text));
}
// The header's, for std::string, which the one above would hide here.
using ::appendQuoted;

// --- attributes packed after the fields -----------------------------------------
// Each attribute is its name, the number of its values and the values; a
// number is 4 bytes as the machine holds them, a text its length and bytes.

template <class Out>
void packNumber(Out& out, std::size_t n) {
    const auto value = static_cast<std::uint32_t>(n);
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out += std::string_view(bytes, sizeof bytes);
}

template <class Out>
void packText(Out& out, std::string_view text) {
    packNumber(out, text.size());
    out += text;
}

// The number at the front of packed; false when it is cut short.
bool unpackNumber(std::string_view& packed, std::size_t& n) {
    std::uint32_t value = 0;
    if (packed.size() < sizeof value) return false;
    std::memcpy(&value, packed.data(), sizeof value);
    packed.remove_prefix(sizeof value);
    n = value;
    return true;
}

bool unpackText(std::string_view& packed, std::string_view& text) {
    std::size_t n = 0;
    if (!unpackNumber(packed, n) || n > packed.size()) return false;
    text = packed.substr(0, n);
    packed.remove_prefix(n);
    return true;
}

template <class Out>
void packAttributes(Out& out, const std::vector<FactsAttribute>& list) {
    for (const FactsAttribute& a : list) {
        packText(out, a.name);
        packNumber(out, a.values.size());
        for (const std::string& value : a.values) packText(out, value);
    }
}

}  // namespace

void VariableFacts::attributeViews(std::vector<FactsAttributeView>& views,
                                   std::size_t& count) const {
    count = 0;
    auto next = [&]() -> FactsAttributeView& {
        if (count == views.size()) views.emplace_back();
        FactsAttributeView& view = views[count++];
        view.values.clear();
        return view;
    };
    for (const FactsAttribute& a : attributes) {
        FactsAttributeView& view = next();
        view.name = a.name;
        for (const std::string& value : a.values) view.values.push_back(value);
    }
    std::string_view packed = text;
    packed.remove_prefix(std::min<std::size_t>(ends.back(), packed.size()));
    std::string_view name, value;
    std::size_t n = 0;
    while (unpackText(packed, name) && unpackNumber(packed, n)) {
        FactsAttributeView& view = next();
        view.name = name;
        for (std::size_t k = 0; k < n && unpackText(packed, value); ++k)
            view.values.push_back(value);
    }
}

void appendQuoted(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.resize(start + quotedRoom(text));
    const char* end = writeQuoted(&out[start], text);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

namespace {

// --- the texts both readers share ---------------------------------------------

void appendType(std::string& out, std::string_view type) {
    if (type == "0") {
        out += "numeric";
    } else {
        out += "string ";
        out += type;
    }
}

void appendFormat(std::string& out, std::string_view name, std::string_view width,
                  std::string_view decimals) {
    out += name;
    out += width;
    if (decimals != "0") {
        out += '.';
        out += decimals;
    }
}

// A word of the dictionary; the empty word of a code without one shows as "".
template <class Out>
void appendWord(Out& out, std::string_view word) {
    if (word.empty())
        out += "\"\"";
    else
        out += word;
}

// A numeric missing value's place in the order they are shown in. The texts
// are English whatever the locale the tool runs in.
double missingOrder(const std::string& text) {
    if (text == "lowest") return -HUGE_VAL;
    if (text == "highest") return HUGE_VAL;
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return std::isnan(value) ? HUGE_VAL : value;
}

// A discrete missing value's text and, for a numeric one, missingOrder of it.
struct MissingText {
    double order = 0;
    std::string text;
};

// Missing values compare as a set: a range, then the discrete values in one
// order (numbers by value), whatever order the source gave them in.
template <class Out>
void appendMissing(Out& out, const std::string* low, const std::string* high, MissingText* discrete,
                   std::size_t count, bool numeric) {
    if (low == nullptr && count == 0) {
        out += "none";
        return;
    }
    std::sort(discrete, discrete + count, [numeric](const MissingText& x, const MissingText& y) {
        if (numeric && x.order != y.order) return x.order < y.order;
        return x.text < y.text;
    });
    bool first = true;
    if (low != nullptr) {
        out += *low;
        out += " thru ";
        out += *high;
        first = false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && discrete[i].text == discrete[i - 1].text) continue;
        if (!first) out += ", ";
        out += discrete[i].text;
        first = false;
    }
}

template <class Out>
void appendNumber(Out& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out += std::string_view(digits, static_cast<std::size_t>(end - digits));
}

template <class Out>
void appendSeparator(Out& out, std::size_t start, const char* separator) {
    if (out.size() > start) out += separator;
}

const char* alignmentWord(int code) {
    static const char* const words[] = {"left", "right", "center"};
    return code >= 0 && code < 3 ? words[code] : "";
}

const char* levelWord(int code) {
    static const char* const words[] = {"unknown", "nominal", "ordinal", "scale"};
    return code >= 0 && code < 4 ? words[code] : "";
}

// A string value as the dictionary writes it: up to its first blank or NUL.
std::string_view cutAtBlank(const char* text, std::size_t length) {
    std::size_t n = 0;
    while (n < length && text[n] != ' ' && text[n] != '\0') ++n;
    return std::string_view(text, n);
}

// Numbers as the dictionary writes them: "#0.###" under the English locale,
// through ICU as the library does, remembered by bit pattern because sources
// repeat the same few values on every variable.
class DecimalText {
public:
    DecimalText() {
        UErrorCode err = U_ZERO_ERROR;
        format.reset(icu::NumberFormat::createInstance(icu::Locale::getEnglish(), err));
        if (auto* decimal = dynamic_cast<icu::DecimalFormat*>(format.get()))
            decimal->applyPattern(icu::UnicodeString(u"#0.###"), err);
    }

    const std::string& text(double value) { return shown(value).text; }

    // The text with missingOrder of it, worked out once per value.
    const MissingText& shown(double value) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        // A few values come back on every variable: a small table in front of
        // the map finds them without hashing into it.
        Recent& recent = recents[(bits * 0x9E3779B97F4A7C15ull) >> 58];
        if (recent.shown != nullptr && recent.bits == bits) return *recent.shown;
        auto found = cache.find(bits);
        if (found != cache.end()) {
            recent = Recent{bits, &found->second};
            return found->second;
        }
        scratch.text.clear();
        if (format) {
            icu::UnicodeString result;
            format->format(value, result);
            result.toUTF8String(scratch.text);
        }
        scratch.order = missingOrder(scratch.text);
        if (cache.size() >= 100000) return scratch;
        // The map's entries stay where they are as it grows.
        const MissingText& kept = cache.emplace(bits, scratch).first->second;
        recent = Recent{bits, &kept};
        return kept;
    }

private:
    struct Recent {
        std::uint64_t bits = 0;
        const MissingText* shown = nullptr;
    };

    std::unique_ptr<icu::NumberFormat> format;
    std::unordered_map<std::uint64_t, MissingText> cache;
    Recent recents[64];
    MissingText scratch;
};

// --- from a data source ---------------------------------------------------------

// The source's names and values are C strings: each is taken up to its first
// NUL. Most are a few bytes, shorter than a call to strlen costs.
std::string_view cString(const std::string& text) {
    std::size_t n = 0;
    while (n < text.size() && text[n] != '\0') ++n;
    return std::string_view(text.data(), n);
}

// The attributes' field text, and the attributes listed when list is not null.
template <class Out>
void appendAttributes(Out& out, const DatasourceAttributes& attributes,
                      std::vector<FactsAttribute>* list) {
    const unsigned n = attributes.Size();
    if (n == 0) {
        out += "none";
        return;
    }
    if (list != nullptr) list->reserve(n);
    for (unsigned i = 0; i < n; ++i) {
        if (i > 0) out += "; ";
        const std::string_view name = cString(attributes.NameAt(i));
        out += name;
        const std::vector<std::string>& values = attributes.ValuesAt(i);
        for (std::size_t k = 0; k < values.size(); ++k) {
            out += k == 0 ? ": " : ", ";
            appendQuoted(out, cString(values[k]));
        }
        if (list == nullptr) continue;
        list->emplace_back();
        list->back().name = name;
        list->back().values.reserve(values.size());
        for (const std::string& value : values) list->back().values.emplace_back(cString(value));
    }
    if (attributes.version != 1) {
        out += " (version ";
        appendNumber(out, attributes.version);
        out += ')';
    }
}

void appendSourceFormat(ByteBuffer& out, VORN_Variable::FormatType code, int width, int decimals) {
    const char* name = VORN_Variable::GetFormatName(code);
    if (name != nullptr) out += name;
    appendNumber(out, width);
    if (decimals != 0) {
        out += '.';
        appendNumber(out, decimals);
    }
}

void setMissingText(MissingText& missing, const OBS& value, int type, DecimalText& decimals) {
    if (type != 0) {
        missing.text.clear();
        appendQuoted(missing.text, cutAtBlank(value.text, std::min(type, 8)));
        return;
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value.number, sizeof bits);
    if (bits == 0xFFEFFFFFFFFFFFFEull) {
        missing.text = "lowest";
        missing.order = -HUGE_VAL;
    } else if (bits == 0x7FEFFFFFFFFFFFFFull) {
        missing.text = "highest";
        missing.order = HUGE_VAL;
    } else {
        missing = decimals.shown(value.number);
    }
}

// What the source reader keeps from variable to variable, so that its
// strings keep their room.
struct SourceScratch {
    ByteBuffer text;
    MissingText missing[3];
    std::string value;
};

void addSourceVariable(const VORN_Variable& v, DecimalText& decimals, SourceScratch& scratch,
                       VariableFacts& facts) {
    // Made in a buffer kept from variable to variable, then copied once: one
    // allocation of the text's size rather than one for each time it doubles.
    ByteBuffer& out = scratch.text;
    out.clear();
    int field = 0;
    auto close = [&] { facts.ends[field++] = static_cast<std::uint32_t>(out.size()); };
    facts.name = v.GetName();
    const int type = v.GetType();

    const char* label = v.GetLabel();
    if (label != nullptr)
        appendQuoted(out, label);
    else
        out += "none";
    close();
    if (type == 0) {
        out += "numeric";
    } else {
        out += "string ";
        appendNumber(out, type);
    }
    close();
    VORN_Variable::FormatType code;
    int width = 0, places = 0;
    v.GetFormatEx(code, width, places);
    appendSourceFormat(out, code, width, places);
    close();
    v.GetWriteFormatEx(code, width, places);
    appendSourceFormat(out, code, width, places);
    close();
    appendWord(out, levelWord(v.GetMeasurementLevel()));
    close();
    appendWord(out, alignmentWord(v.GetAlignment()));
    close();
    appendNumber(out, v.GetDisplayWidth());
    close();

    const OBS* values[3] = {nullptr, nullptr, nullptr};
    const int n = v.GetMissingValues(values[0], values[1], values[2]);
    const int count = std::min(std::abs(n), 3);
    // A range's ends take the first two places; the discrete values follow.
    MissingText* missing = scratch.missing;
    for (int i = 0; i < count; ++i) setMissingText(missing[i], *values[i], type, decimals);
    const std::size_t ends = n < 0 ? std::min(count, 2) : 0;
    appendMissing(out, n < -1 ? &missing[0].text : nullptr, &missing[1].text, missing + ends,
                  static_cast<std::size_t>(count) - ends, type == 0);
    close();

    VORN_ValueLabelMap labels(v.GetValueLabels());
    if (labels.Size() == 0) {
        out += "none";
    } else {
        const std::size_t start = out.size();
        labels.Reset();
        const char* text = nullptr;
        if (type != 0) {
            std::string& value = scratch.value;
            while (labels.GetNextPair(value, text) != 0) {
                appendSeparator(out, start, ", ");
                appendQuoted(out, cutAtBlank(value.c_str(), value.size()));
                out += " = ";
                appendQuoted(out, text);
            }
        } else {
            double value = 0;
            while (labels.GetNextPair(value, text) != 0) {
                appendSeparator(out, start, ", ");
                out += decimals.text(value);
                out += " = ";
                appendQuoted(out, text);
            }
        }
    }
    close();
    const DatasourceAttributes& attributes = v.Attributes();
    appendAttributes(out, attributes, nullptr);
    close();
    for (unsigned i = 0; i < attributes.Size(); ++i) {
        packText(out, cString(attributes.NameAt(i)));
        const std::vector<std::string>& values = attributes.ValuesAt(i);
        packNumber(out, values.size());
        for (const std::string& value : values) packText(out, cString(value));
    }
    facts.text.assign(out.data(), out.size());
}

void appendSourceSets(std::string& out, const VORN_DataSource& source, VarSetsType which,
                      std::vector<FactsSet>& list) {
    const std::vector<VariableSet> sets = VariableSets(source, which);
    if (sets.empty()) {
        out += "none";
        return;
    }
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const VariableSet& set = sets[i];
        if (i > 0) out += "; ";
        list.emplace_back();
        FactsSet& listed = list.back();
        listed.name = set.GetName(VariableSet::KeepCase).c_str();
        listed.multipleResponse = which == MultipleResponseSets;
        out += listed.name;
        if (which == MultipleResponseSets) {
            std::string parts;
            if (set.GetType() == VariableSet::DichotomySet) {
                parts += set.qUseVariableCategoryLabels() ? "categoryLabels countedValues"
                                                          : "categoryLabels variableLabels";
                if (!set.GetValue().empty()) {
                    parts += ", counted ";
                    appendQuoted(parts, set.GetValue().c_str());
                }
            }
            if (set.qLabelSetByVariable()) {
                appendSeparator(parts, 0, ", ");
                parts += "label from variable";
            } else if (!set.GetLabel().empty()) {
                appendSeparator(parts, 0, ", ");
                parts += "label ";
                appendQuoted(parts, set.GetLabel().c_str());
            }
            if (!parts.empty()) out += " [" + parts + "]";
            listed.details = std::move(parts);
        }
        out += ':';
        bool first = true;
        for (const std::string& member : set.GetVariableNames(VariableSet::KeepCase)) {
            const int k = source.FindVarIndex(member.c_str(), 0);
            if (k == -1) continue;
            out += first ? " " : ", ";
            listed.members.emplace_back(source.GetVariable(k).GetName());
            out += listed.members.back();
            first = false;
        }
    }
}

void appendExtension(std::string& out, const std::string& type, const std::string& elementSize,
                     const std::string& length, std::string_view hex) {
    appendSeparator(out, 0, "; ");
    out += type + " (" + length + " x " + elementSize + " bytes): ";
    out += hex;
}

std::string sourceExtensions(const VORN_DataSource& source) {
    static const int types[] = {1, 2, 3, 4, 6, 8, 9, 10, 12, 15};
    std::string out;
    for (int type : types) {
        if (!source.HasExtension(type)) continue;
        VORN_DataSource::Extension record(source, type);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(record.Length()) *
                                         static_cast<std::size_t>(record.ElementSize()));
        if (!bytes.empty()) record.GetNext(bytes.data(), record.Length());
        std::string hex;
        static const char digits[] = "0123456789ABCDEF";
        for (unsigned char byte : bytes) {
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        appendExtension(out, std::to_string(record.Type()), std::to_string(record.ElementSize()),
                        std::to_string(record.Length()), hex);
    }
    return out.empty() ? "none" : out;
}

// --- from a dictionary document ----------------------------------------------

void appendUTF8(std::string& out, const XMLCh* text) {
    if (text != nullptr) AppendUTF16AsUTF8(out, text, std::char_traits<char16_t>::length(text));
}

// The text in ASCII bytes, when it is short and all ASCII.
bool asciiText(const XMLCh* text, char (&buffer)[64], std::size_t& length) {
    length = 0;
    for (; text[length] != 0; ++length) {
        if (length + 1 == sizeof buffer || text[length] >= 0x80) return false;
        buffer[length] = static_cast<char>(text[length]);
    }
    return true;
}

bool wholeInteger(const icu::Formattable& number, std::int64_t& value) {
    switch (number.getType()) {
        case icu::Formattable::kLong:
            value = number.getLong();
            return true;
        case icu::Formattable::kInt64:
            value = number.getInt64();
            return true;
        case icu::Formattable::kDouble: {
            const double d = number.getDouble();
            if (!(std::fabs(d) < 9.2e18) || d != std::trunc(d)) return false;
            value = static_cast<std::int64_t>(d);
            return true;
        }
        default:
            return false;
    }
}

// A saved dictionary's numbers, read back as numbers and shown as a data
// source's facts show them, so a dictionary and its source compare equal
// whatever locale it was saved in. Integer texts (counts, widths, codes) are
// written in the LC_NUMERIC locale of the process that saved them, which may
// use other digits than ASCII (Arabic-Indic ones under ar_EG) and another
// minus sign; the root records the locale the dictionary was made in, so they
// are read in that locale first and in English after. Decimal texts are
// English by the dictionary's rule and are read in the other order. ICU reads
// the digits of every numbering system either way. A text that neither
// reading takes whole stays as it is, and shows as a difference.
class DocumentNumbers {
public:
    explicit DocumentNumbers(std::string localeName) : localeName(std::move(localeName)) {}

    void appendInteger(std::string& out, const XMLCh* text) {
        char bytes[64];
        std::size_t length = 0;
        std::int64_t value = 0;
        if (asciiText(text, bytes, length)) {
            const auto read = std::from_chars(bytes, bytes + length, value);
            if (read.ec == std::errc() && read.ptr == bytes + length) {
                out += std::to_string(value);
                return;
            }
        }
        out += cached(integers, text, [&](std::string& shown) {
            icu::Formattable number;
            if (!(parseWhole(local(), text, number) && wholeInteger(number, value)) &&
                !(parseWhole(english(), text, number) && wholeInteger(number, value)))
                return false;
            shown = std::to_string(value);
            return true;
        });
    }

    std::string integer(const DOMElement* e, const XMLCh* name) {
        std::string out;
        appendInteger(out, e->getAttribute(name));
        return out;
    }

    void appendDecimal(std::string& out, const XMLCh* text) {
        char bytes[64];
        std::size_t length = 0;
        double value = 0;
        if (asciiText(text, bytes, length)) {
            const auto read = std::from_chars(bytes, bytes + length, value);
            if (read.ec == std::errc() && read.ptr == bytes + length) {
                out += decimals.text(value);
                return;
            }
        }
        out += cached(reals, text, [&](std::string& shown) {
            icu::Formattable number;
            if (!parseWhole(english(), text, number) && !parseWhole(local(), text, number))
                return false;
            UErrorCode err = U_ZERO_ERROR;
            value = number.getDouble(err);
            if (U_FAILURE(err)) return false;
            shown = decimals.text(value);
            return true;
        });
    }

private:
    using Cache = std::unordered_map<std::u16string, std::string>;

    // What read makes of text, or text itself when it reads nothing;
    // remembered, as a dictionary repeats the same few numbers.
    template <typename Read>
    const std::string& cached(Cache& cache, const XMLCh* text, Read read) {
        const std::u16string key(text);
        auto found = cache.find(key);
        if (found != cache.end()) return found->second;
        scratch.clear();
        if (key.empty() || !read(scratch)) {
            scratch.clear();
            appendUTF8(scratch, text);
        }
        if (cache.size() < 100000) return cache.emplace(key, scratch).first->second;
        return scratch;
    }

    // The number of the whole text, in format's reading.
    static bool parseWhole(const icu::NumberFormat* format, const XMLCh* text,
                           icu::Formattable& number) {
        if (format == nullptr) return false;
        const icu::UnicodeString unicode(text);
        icu::ParsePosition position(0);
        format->parse(unicode, number, position);
        return position.getErrorIndex() < 0 && position.getIndex() == unicode.length();
    }

    // The readers are made on first use: a dictionary in ASCII digits needs none.
    const icu::NumberFormat* local() {
        if (!localMade) {
            localFormat = makeFormat(icu::Locale(localeName.c_str()));
            localMade = true;
        }
        return localFormat.get();
    }

    const icu::NumberFormat* english() {
        if (!englishMade) {
            englishFormat = makeFormat(icu::Locale::getEnglish());
            englishMade = true;
        }
        return englishFormat.get();
    }

    // The library's pattern, so a grouping separator ends the number.
    static std::unique_ptr<icu::NumberFormat> makeFormat(const icu::Locale& locale) {
        UErrorCode err = U_ZERO_ERROR;
        std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createInstance(locale, err));
        if (auto* decimal = dynamic_cast<icu::DecimalFormat*>(format.get()))
            decimal->applyPattern(icu::UnicodeString(u"#0.###"), err);
        if (U_FAILURE(err)) format.reset();
        return format;
    }

    std::string localeName;
    std::unique_ptr<icu::NumberFormat> localFormat, englishFormat;
    bool localMade = false, englishMade = false;
    DecimalText decimals;
    Cache integers, reals;
    std::string scratch;
};

std::string text(const DOMElement* e, const XMLCh* name) {
    std::string out;
    appendUTF8(out, e->getAttribute(name));
    return out;
}

void appendQuotedAttribute(std::string& out, const DOMElement* e, const XMLCh* name) {
    appendQuoted(out, text(e, name));
}

bool named(const DOMElement* e, const XMLCh* name) {
    const XMLCh* local = e->getLocalName();
    return XMLString::equals(local != nullptr ? local : e->getTagName(), name);
}

void appendDocumentFormat(std::string& out, const DOMElement* e, DocumentNumbers& numbers) {
    appendFormat(out, text(e, u"type"), numbers.integer(e, u"width"),
                 numbers.integer(e, u"decimals"));
}

void appendDocumentAttributes(std::string& out, const DOMElement* set, DocumentNumbers& numbers,
                              std::vector<FactsAttribute>& list) {
    if (set == nullptr) {
        out += "none";
        return;
    }
    const std::size_t start = out.size();
    for (const DOMElement* a = set->getFirstElementChild(); a; a = a->getNextElementSibling()) {
        if (!named(a, u"attribute")) continue;
        appendSeparator(out, start, "; ");
        list.emplace_back();
        appendUTF8(list.back().name, a->getAttribute(u"name"));
        out += list.back().name;
        bool first = true;
        for (const DOMElement* v = a->getFirstElementChild(); v; v = v->getNextElementSibling()) {
            out += first ? ": " : ", ";
            list.back().values.push_back(text(v, u"value"));
            appendQuoted(out, list.back().values.back());
            first = false;
        }
    }
    const std::string version = numbers.integer(set, u"version");
    if (version != "1") out += " (version " + version + ")";
}

void addDocumentVariable(const DOMElement* e, const DOMElement* labelSet, DocumentNumbers& numbers,
                         VariableFacts& facts) {
    std::string& out = facts.text;
    int field = 0;
    auto close = [&] { facts.ends[field++] = static_cast<std::uint32_t>(out.size()); };
    appendUTF8(facts.name, e->getAttribute(u"name"));
    const std::string type = numbers.integer(e, u"type");
    const bool isString = type != "0";

    if (e->getAttributeNode(u"label") != nullptr)
        appendQuotedAttribute(out, e, u"label");
    else
        out += "none";
    close();
    appendType(out, type);
    close();
    const DOMElement *format = nullptr, *writeFormat = nullptr, *attributes = nullptr;
    std::string low, high;
    bool range = false;
    std::vector<MissingText> discrete;
    for (const DOMElement* c = e->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variableFormat")) {
            format = c;
        } else if (named(c, u"variableWriteFormat")) {
            writeFormat = c;
        } else if (named(c, u"attributeSet")) {
            attributes = c;
        } else if (named(c, u"missingValue")) {
            std::string value;
            const XMLCh* data = c->getAttribute(u"data");
            if (isString)
                appendQuotedAttribute(value, c, u"data");
            else if (XMLString::equals(data, u"lowest") || XMLString::equals(data, u"highest"))
                appendUTF8(value, data);
            else
                numbers.appendDecimal(value, data);
            const std::string bound = text(c, u"type");
            if (bound == "lowerBound") {
                low = std::move(value);
                range = true;
            } else if (bound == "upperBound") {
                high = std::move(value);
            } else {
                discrete.emplace_back();
                if (!isString) discrete.back().order = missingOrder(value);
                discrete.back().text = std::move(value);
            }
        }
    }
    if (format != nullptr) appendDocumentFormat(out, format, numbers);
    close();
    if (writeFormat != nullptr) appendDocumentFormat(out, writeFormat, numbers);
    close();
    appendWord(out, text(e, u"measurementLevel"));
    close();
    appendWord(out, text(e, u"alignment"));
    close();
    numbers.appendInteger(out, e->getAttribute(u"displayWidth"));
    close();
    appendMissing(out, range ? &low : nullptr, &high, discrete.data(), discrete.size(), !isString);
    close();
    if (labelSet == nullptr) {
        out += "none";
    } else {
        const std::size_t start = out.size();
        for (const DOMElement* l = labelSet->getFirstElementChild(); l;
             l = l->getNextElementSibling()) {
            if (!named(l, u"valueLabel")) continue;
            appendSeparator(out, start, ", ");
            if (isString)
                appendQuotedAttribute(out, l, u"value");
            else
                numbers.appendDecimal(out, l->getAttribute(u"value"));
            out += " = ";
            appendQuotedAttribute(out, l, u"label");
        }
    }
    close();
    std::vector<FactsAttribute> list;
    appendDocumentAttributes(out, attributes, numbers, list);
    close();
    packAttributes(out, list);
}

void appendDocumentSet(std::string& out, const DOMElement* set, FactsSet& listed) {
    appendSeparator(out, 0, "; ");
    appendUTF8(listed.name, set->getAttribute(u"name"));
    out += listed.name;
    std::string parts;
    std::string members;
    for (const DOMElement* c = set->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variableSetVariable") || named(c, u"multipleResponseSetVariable")) {
            members += members.empty() ? " " : ", ";
            listed.members.push_back(text(c, u"name"));
            members += listed.members.back();
            continue;
        }
        appendSeparator(parts, 0, ", ");
        if (named(c, u"multipleResponseSetCategoryLabels")) {
            parts += "categoryLabels " + text(c, u"value");
        } else if (named(c, u"multipleResponseSetDichotomy")) {
            parts += "counted ";
            appendQuotedAttribute(parts, c, u"value");
        } else if (named(c, u"multipleResponseSetLabelSource")) {
            parts += "label from variable";
        } else if (named(c, u"multipleResponseSetLabel")) {
            parts += "label ";
            appendQuotedAttribute(parts, c, u"value");
        }
    }
    if (!parts.empty()) out += " [" + parts + "]";
    out += ':';
    out += members;
    listed.details = std::move(parts);
}

}  // namespace

DictionaryFacts factsOfSource(const VORN_DataSource& source, const FactsProgress& progress) {
    DictionaryFacts facts;
    DecimalText decimals;
    SourceScratch scratch;
    const unsigned n = source.ColumnCount();
    // Each record is made where it is filled, not cleared ahead in a pass of its own.
    facts.variables.reserve(n);
    for (unsigned i = 0; i < n; ++i) {
        facts.variables.emplace_back();
        addSourceVariable(source.GetVariable(static_cast<int>(i)), decimals, scratch,
                          facts.variables.back());
        if (progress && i % 4096 == 4095) progress(i + 1, n);
    }
    const std::int64_t rows = source.GetRowCount();
    facts.file[kRowCount] = rows < 0 ? "none" : std::to_string(rows);
    const int weight = source.GetWeightVarIndex();
    facts.file[kWeightVariable] = weight < 0 ? "none" : source.GetVariable(weight).GetName();
    appendSourceSets(facts.file[kVariableSets], source, PlainVariableSets, facts.sets);
    appendSourceSets(facts.file[kMultipleResponseSets], source, MultipleResponseSets, facts.sets);
    appendAttributes(facts.file[kFileAttributes], source.Attributes(), &facts.fileAttributes);
    facts.file[kExtensions] = sourceExtensions(source);
    return facts;
}

bool factsOfDocument(const DOMDocument& document, DictionaryFacts& facts, std::string& error,
                     const FactsProgress& progress) {
    const DOMElement* root = document.getDocumentElement();
    if (root == nullptr || !named(root, u"dictionary")) {
        error = "an XML document that is neither a DDI codebook nor a dictionary";
        return false;
    }
    // The value labels stand apart from their variables; find them by name first.
    std::unordered_map<std::u16string_view, const DOMElement*> labelSets;
    std::size_t variables = 0;
    for (const DOMElement* c = root->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variable")) ++variables;
        if (!named(c, u"valueLabelSet")) continue;
        for (const DOMElement* l = c->getFirstElementChild(); l; l = l->getNextElementSibling())
            if (named(l, u"valueLabelVariable")) labelSets.emplace(l->getAttribute(u"name"), c);
    }
    facts = DictionaryFacts();
    facts.variables.reserve(variables);
    DocumentNumbers numbers(text(root, u"locale"));
    facts.file[kRowCount] = root->getAttributeNode(u"rowCount") != nullptr
                                ? numbers.integer(root, u"rowCount")
                                : "none";
    facts.file[kWeightVariable] = "none";
    const DOMElement* fileAttributes = nullptr;
    std::vector<FactsSet> multipleResponse;
    for (const DOMElement* c = root->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variable")) {
            auto found = labelSets.find(c->getAttribute(u"name"));
            facts.variables.emplace_back();
            addDocumentVariable(c, found == labelSets.end() ? nullptr : found->second, numbers,
                                facts.variables.back());
            if (progress && facts.variables.size() % 4096 == 0)
                progress(facts.variables.size(), variables);
        } else if (named(c, u"weightVariable")) {
            facts.file[kWeightVariable] = text(c, u"name");
        } else if (named(c, u"variableSet")) {
            facts.sets.emplace_back();
            appendDocumentSet(facts.file[kVariableSets], c, facts.sets.back());
        } else if (named(c, u"multipleResponseSet")) {
            multipleResponse.emplace_back();
            multipleResponse.back().multipleResponse = true;
            appendDocumentSet(facts.file[kMultipleResponseSets], c, multipleResponse.back());
        } else if (named(c, u"attributeSet")) {
            fileAttributes = c;
        } else if (named(c, u"extension")) {
            std::string hex;
            appendUTF8(hex, c->getAttribute(u"data"));
            appendExtension(facts.file[kExtensions], numbers.integer(c, u"type"),
                            numbers.integer(c, u"elementSize"), numbers.integer(c, u"length"), hex);
        }
    }
    for (int f : {kVariableSets, kMultipleResponseSets, kExtensions})
        if (facts.file[f].empty()) facts.file[f] = "none";
    for (FactsSet& set : multipleResponse) facts.sets.push_back(std::move(set));
    appendDocumentAttributes(facts.file[kFileAttributes], fileAttributes, numbers,
                             facts.fileAttributes);
    return true;
}
