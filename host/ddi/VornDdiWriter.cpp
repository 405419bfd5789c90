#include "VornDdiWriter.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "VornCodePage.h"

namespace {

const char kNamespace[] = "ddi:codebook:2_5";
// The one file the codebook describes; every var names it in files="F1".
const char kFileId[] = "F1";

// Thrown inside the writer only, caught by WriteDataSourceDDI.
struct WriteError {
    std::string message;
};

bool IsXmlChar(UChar32 c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The reference for a character that XML text (or an attribute value, whose
// white space the parser would fold) cannot hold as it is; null for others.
const char* Escape(UChar32 c, bool attribute) {
    if (c == '&') return "&amp;";
    if (c == '<') return "&lt;";
    if (c == '>') return attribute ? nullptr : "&gt;";
    if (c == '"') return attribute ? "&quot;" : nullptr;
    if (c == '\r') return "&#13;";
    if (!attribute) return nullptr;
    return c == '\t' ? "&#9;" : c == '\n' ? "&#10;" : nullptr;
}

std::string CodePointName(UChar32 c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

std::string ByteName(unsigned char b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

// Where in the data source the text being written comes from, in the key
// paths of the JSON form ("variables[3].valueLabels[1][1]"); made into
// text only for the error line.
struct Place {
    const char* list = nullptr;  // "variables", or null for the data source itself
    std::size_t item = 0;
    const char* field = "";
    const char* key = nullptr;  // the attribute's name under "attributes"
    long sub = -1;              // index within the field, -1 for none
    const char* tail = "";

    std::string Text() const {
        std::string text;
        if (list != nullptr) text = std::string(list) + "[" + std::to_string(item) + "].";
        text += field;
        if (key != nullptr) text = text + "." + key;
        if (sub >= 0) text += "[" + std::to_string(sub) + "]";
        return text + tail;
    }
};

class Writer {
public:
    Writer(const VORN_DataSource& source, const std::string& sourceName, std::string& out)
        : source(source),
          sourceName(sourceName),
          out(out),
          converter(nullptr),
          utf8Host(true),
          asciiSafe(true) {}
    ~Writer() {
        if (converter != nullptr) ucnv_close(converter);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void Write();

private:
    const VORN_DataSource& source;
    const std::string& sourceName;
    std::string& out;
    UConverter* converter;
    bool utf8Host;
    bool asciiSafe;            // ASCII bytes stand for themselves in the host code page
    std::vector<UChar> units;  // reused by every conversion from the code page
    Place where;               // the text being written, for the error line

    void OpenHostConverter();
    [[noreturn]] void Fail(const std::string& what) const;

    // Host text (or UTF-8 when utf8 is set) as escaped UTF-8 text; attribute
    // values also escape quotes and the white space that attribute
    // normalisation would fold.
    void Text(const char* data, std::size_t size, bool attribute, bool utf8 = false);
    void Text(const std::string& text, bool attribute) {
        Text(text.data(), text.size(), attribute);
    }
    void CodePoint(UChar32 c, bool attribute);
    void Raw(const char* text) { out.append(text); }
    void Number(double value);
    void Integer(std::int64_t value);
    void Indent(int depth) { out.append(static_cast<std::size_t>(depth) * 2, ' '); }
    // <name>host text</name> on a line of its own.
    void Element(int depth, const char* name, const std::string& text);

    void StudyDescription();
    void FileDescription();
    void VariableGroups();
    void Group(const VariableSet& set, bool multipleResponse, std::size_t index, std::size_t item);
    void Variable(int column);
    // The values of the variable attribute name, one element each.
    void Attribute(const DatasourceAttributes& attributes, const char* name, const char* element,
                   const char* inner);
    void Format(int code, int width, int decimals);
};

void Writer::Fail(const std::string& what) const {
    throw WriteError{sourceName + ": " + where.Text() + ": " + what};
}

void Writer::OpenHostConverter() {
    const std::string name = GetHostCodePageName();
    UErrorCode status = U_ZERO_ERROR;
    converter = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status)) {
        if (converter != nullptr) ucnv_close(converter);
        converter = nullptr;
        throw WriteError{sourceName + ": the host code page \"" + name + "\" cannot be opened"};
    }
    utf8Host = ucnv_getType(converter) == UCNV_UTF8;
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    // Stateful code pages (ISO-2022, HZ, UTF-7) give some ASCII bytes other
    // meanings; their texts all go through the converter.
    char ascii[127];
    UChar units127[128];
    for (int k = 0; k < 127; ++k) ascii[k] = static_cast<char>(k + 1);
    status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, units127, 128, ascii, 127, &status);
    asciiSafe = utf8Host || (U_SUCCESS(status) && n == 127);
    for (int k = 0; asciiSafe && k < 127; ++k) asciiSafe = units127[k] == k + 1;
}

void Writer::CodePoint(UChar32 c, bool attribute) {
    if (!IsXmlChar(c)) Fail("the character " + CodePointName(c) + " cannot be held in XML 1.0");
    if (const char* escape = Escape(c, attribute)) {
        Raw(escape);
        return;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    char bytes[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(bytes, n, c);  // c is a valid code point here
    out.append(bytes, static_cast<std::size_t>(n));
}

void Writer::Text(const char* data, std::size_t size, bool attribute, bool utf8) {
    // Most texts are short and ASCII, the same bytes in UTF-8 and in the
    // other ASCII-safe code pages; only the others go through a converter.
    std::size_t i = 0;
    while (i < size && (asciiSafe || utf8)) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (b >= 0x80) break;
        if (b >= 0x20 && b != '&' && b != '<' && b != '>' && b != '"')
            out.push_back(static_cast<char>(b));
        else
            CodePoint(b, attribute);
        ++i;
    }
    if (i == size) return;
    if (utf8 || utf8Host) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data);
        const int32_t length = static_cast<int32_t>(size);
        for (int32_t at = static_cast<int32_t>(i); at < length;) {
            const int32_t start = at;
            UChar32 c;
            U8_NEXT(bytes, at, length, c);
            if (c < 0)
                Fail("the byte " + ByteName(bytes[start]) + " at offset " + std::to_string(start) +
                     " is not valid UTF-8");
            CodePoint(c, attribute);
        }
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    units.resize(size + 1);
    ucnv_reset(converter);
    int32_t n = ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()), data + i,
                              static_cast<int32_t>(size - i), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        units.resize(static_cast<std::size_t>(n) + 1);
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        n = ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()), data + i,
                          static_cast<int32_t>(size - i), &status);
    }
    if (U_FAILURE(status)) {
        char bad[8];
        int8_t length = sizeof bad;
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidChars(converter, bad, &length, &ignored);
        const std::string name = ucnv_getName(converter, &ignored);
        Fail(length > 0 ? "the byte " + ByteName(static_cast<unsigned char>(bad[0])) +
                              " is not a character of the code page \"" + name + "\""
                        : "the text cannot be read in the code page \"" + name + "\"");
    }
    for (int32_t at = 0; at < n;) {
        UChar32 c;
        U16_NEXT(units.data(), at, n, c);
        CodePoint(c, attribute);
    }
}

void Writer::Number(double value) {
    // The shortest text that reads back as the same double; plain decimals
    // over the range people read them in ("100000", not "1e+05").
    char text[32];
    const double size = value < 0 ? -value : value;
    const std::to_chars_result r =
        size >= 1e-4 && size < 1e15
            ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed)
            : std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

void Writer::Integer(std::int64_t value) {
    char text[24];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

void Writer::Element(int depth, const char* name, const std::string& text) {
    Indent(depth);
    out.push_back('<');
    Raw(name);
    out.push_back('>');
    Text(text, false);
    Raw("</");
    Raw(name);
    Raw(">\n");
}

void Writer::Write() {
    OpenHostConverter();
    // Untouched capacity costs no memory; most variables need less than this.
    out.reserve(4096 + static_cast<std::size_t>(source.ColumnCount()) * 1024);
    Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<codeBook xmlns=\"");
    Raw(kNamespace);
    Raw("\" version=\"2.5\">\n");
    StudyDescription();
    FileDescription();
    Raw("  <dataDscr>\n");
    VariableGroups();
    const int columns = static_cast<int>(source.ColumnCount());
    for (int i = 0; i < columns; ++i) Variable(i);
    Raw("  </dataDscr>\n</codeBook>\n");
}

void Writer::StudyDescription() {
    const DatasourceAttributes attributes = source.GetAttributes();
    Raw("  <stdyDscr>\n    <citation>\n      <titlStmt>\n        <titl>");
    const int title = attributes.FindAttribute("Title");
    std::vector<std::string> titles;
    if (title >= 0) titles = attributes.Values(static_cast<unsigned>(title));
    where = Place();
    if (!titles.empty() && !titles[0].empty()) {
        where.field = "attributes.Title";
        where.sub = 0;
        Text(titles[0], false);
    } else {
        where.field = "the source name";
        Text(sourceName.data(), sourceName.size(), false, true);
    }
    Raw("</titl>\n");
    const int id = attributes.FindAttribute("IDNo");
    if (id >= 0) {
        const std::vector<std::string> values = attributes.Values(static_cast<unsigned>(id));
        where.field = "attributes.IDNo";
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (values[k].empty()) continue;
            where.sub = static_cast<long>(k);
            Element(4, "IDNo", values[k]);
        }
    }
    Raw("      </titlStmt>\n    </citation>\n  </stdyDscr>\n");
}

void Writer::FileDescription() {
    Raw("  <fileDscr ID=\"");
    Raw(kFileId);
    Raw("\">\n    <fileTxt>\n      <fileName>");
    where = Place();
    where.field = "the source name";
    Text(sourceName.data(), sourceName.size(), false, true);
    Raw("</fileName>\n      <dimensns>\n");
    const std::int64_t rows = source.GetRowCount();
    if (rows >= 0) {
        Raw("        <caseQnty>");
        Integer(rows);
        Raw("</caseQnty>\n");
    }
    Raw("        <varQnty>");
    Integer(source.ColumnCount());
    Raw("</varQnty>\n      </dimensns>\n    </fileTxt>\n  </fileDscr>\n");
}

void Writer::VariableGroups() {
    const std::vector<VariableSet>& plain = source.GetVariableSets(PlainVariableSets);
    for (std::size_t k = 0; k < plain.size(); ++k) Group(plain[k], false, k + 1, k);
    const std::vector<VariableSet>& response = source.GetVariableSets(MultipleResponseSets);
    for (std::size_t k = 0; k < response.size(); ++k)
        Group(response[k], true, plain.size() + k + 1, k);
}

void Writer::Group(const VariableSet& set, bool multipleResponse, std::size_t index,
                   std::size_t item) {
    where = Place();
    where.list = multipleResponse ? "multipleResponseSets" : "variableSets";
    where.item = item;
    Raw("    <varGrp ID=\"G");
    Integer(static_cast<std::int64_t>(index));
    Raw("\"");
    if (multipleResponse) Raw(" type=\"multipleResp\"");
    // IDREFS may not be empty: a set none of whose members the data source
    // knows is written without the attribute. Members are found as the
    // dictionary finds them, ignoring letter case.
    bool first = true;
    for (const std::string& member : set.GetVariableNames(VariableSet::KeepCase)) {
        const int column = source.FindVarIndex(member.c_str(), 0);
        if (column < 0) continue;
        Raw(first ? " var=\"V" : " V");
        Integer(column + 1);
        first = false;
    }
    if (!first) Raw("\"");
    Raw(" name=\"");
    where.field = "name";
    Text(set.GetName(VariableSet::KeepCase), true);
    const std::string label = set.GetLabel();
    if (!multipleResponse || set.qLabelSetByVariable() || label.empty()) {
        Raw("\"/>\n");
        return;
    }
    Raw("\">\n");
    where.field = "label";
    Element(3, "labl", label);
    Raw("    </varGrp>\n");
}

void Writer::Format(int code, int width, int decimals) {
    const char* name = VORN_Variable::GetFormatName(static_cast<VORN_Variable::FormatType>(code));
    if (name == nullptr) return;
    Raw(" formatname=\"");
    Raw(name);
    Integer(width);
    if (decimals != 0) {
        out.push_back('.');
        Integer(decimals);
    }
    out.push_back('"');
}

void Writer::Attribute(const DatasourceAttributes& attributes, const char* name,
                       const char* element, const char* inner) {
    const int at = attributes.FindAttribute(name);
    if (at < 0) return;
    const std::vector<std::string> values = attributes.Values(static_cast<unsigned>(at));
    where.field = "attributes";
    where.key = name;
    where.tail = "";
    for (std::size_t k = 0; k < values.size(); ++k) {
        // An empty element would read back as no value at all.
        if (values[k].empty()) continue;
        where.sub = static_cast<long>(k);
        Indent(3);
        out.push_back('<');
        Raw(element);
        out.push_back('>');
        if (inner != nullptr) {
            out.push_back('<');
            Raw(inner);
            out.push_back('>');
        }
        Text(values[k], false);
        if (inner != nullptr) {
            Raw("</");
            Raw(inner);
            out.push_back('>');
        }
        Raw("</");
        Raw(element);
        Raw(">\n");
    }
    where.key = nullptr;
    where.sub = -1;
}

// A string missing value: the bytes of the 8-byte value that the variable's
// width covers, without the blanks that pad it.
std::string MissingText(const OBS& value, int width) {
    std::size_t n = width < 8 ? static_cast<std::size_t>(width) : 8;
    const void* nul = std::memchr(value.text, 0, n);
    if (nul != nullptr) n = static_cast<std::size_t>(static_cast<const char*>(nul) - value.text);
    while (n > 0 && value.text[n - 1] == ' ') --n;
    return std::string(value.text, n);
}

// A string value as a missing value holds it: at most 8 bytes, blank-padded.
std::string AsMissingText(const std::string& value, int width) {
    return value.size() > 8 ? std::string() : MissingText(StringOBS(value), width);
}

void Writer::Variable(int column) {
    const VORN_Variable& v = source.GetVariable(column);
    where = Place();
    where.list = "variables";
    where.item = static_cast<std::size_t>(column);
    const int type = v.GetType();
    const bool numeric = type == 0;
    VORN_Variable::FormatType code;
    int width, decimals;
    v.GetFormatEx(code, width, decimals);

    Raw("    <var ID=\"V");
    Integer(column + 1);
    Raw("\" name=\"");
    where.field = "name";
    Text(v.GetName(), std::strlen(v.GetName()), true);
    Raw("\" files=\"");
    Raw(kFileId);
    out.push_back('"');
    if (source.GetWeightVarIndex() == column) Raw(" wgt=\"wgt\"");
    switch (v.GetMeasurementLevel()) {
        case VORN_Variable::MeasureNominal:
            Raw(" intrvl=\"discrete\" nature=\"nominal\"");
            break;
        case VORN_Variable::MeasureOrdinal:
            Raw(" intrvl=\"discrete\" nature=\"ordinal\"");
            break;
        case VORN_Variable::MeasureScale:
            Raw(" intrvl=\"contin\" nature=\"interval\"");
            break;
        default:
            break;
    }
    if (numeric) {
        Raw(" dcml=\"");
        Integer(decimals);
        out.push_back('"');
    }
    Raw(">\n      <location width=\"");
    Integer(numeric ? width : type);
    Raw("\"/>\n");
    const char* label = v.GetLabel();
    if (label != nullptr && *label != '\0') {
        where.field = "label";
        Element(3, "labl", label);
    }
    const DatasourceAttributes attributes = v.GetAttributes();
    Attribute(attributes, "Question", "qstn", "qstnLit");

    // A discrete missing value that has a value label is written as that
    // label's category, marked missing; the range and the other discrete
    // values go to invalrng. Labelled values that merely fall inside the range
    // stay unmarked, so that reading back gives the same missing values.
    const OBS* slots[3];
    const int count = v.GetMissingValues(slots[0], slots[1], slots[2]);
    const bool range = count < 0;
    const int total = range ? -count : count;
    const int firstDiscrete = range ? 2 : 0;
    std::string missingText[3];
    if (!numeric)
        for (int k = firstDiscrete; k < total; ++k) missingText[k] = MissingText(*slots[k], type);
    VORN_ValueLabelMap labels(v.GetValueLabels());
    double number = 0;
    std::string text;
    const char* valueLabel = nullptr;
    auto next = [&]() {
        return numeric ? labels.GetNextPair(number, valueLabel) != 0
                       : labels.GetNextPair(text, valueLabel) != 0;
    };
    auto missingIndex = [&]() {
        if (total == firstDiscrete) return -1;
        const std::string held = numeric ? std::string() : AsMissingText(text, type);
        for (int k = firstDiscrete; k < total; ++k)
            if (numeric ? slots[k]->number == number : held == missingText[k] && !held.empty())
                return k;
        return -1;
    };
    bool labelled[3] = {false, false, false};
    if (total > firstDiscrete && labels.Size() > 0) {
        labels.Reset();
        while (next()) {
            const int k = missingIndex();
            if (k >= 0) labelled[k] = true;
        }
    }

    bool invalid = range;
    for (int k = firstDiscrete; k < total; ++k) invalid = invalid || !labelled[k];
    if (invalid) {
        Raw("      <invalrng>\n");
        if (range) {
            Raw("        <range UNITS=\"REAL\" min=\"");
            Number(slots[0]->number);
            Raw("\" max=\"");
            Number(slots[1]->number);
            Raw("\"/>\n");
        }
        where.field = "missingValues";
        for (int k = firstDiscrete; k < total; ++k) {
            if (labelled[k]) continue;
            Raw(numeric ? "        <item UNITS=\"REAL\" VALUE=\"" : "        <item VALUE=\"");
            if (numeric) {
                Number(slots[k]->number);
            } else {
                where.sub = k;
                Text(missingText[k], true);
            }
            Raw("\"/>\n");
        }
        Raw("      </invalrng>\n");
    }
    where.sub = -1;
    Attribute(attributes, "Universe", "universe", nullptr);
    Attribute(attributes, "Description", "txt", nullptr);

    labels.Reset();
    where.field = "valueLabels";
    for (long k = 0; next(); ++k) {
        Raw(missingIndex() >= 0 ? "      <catgry missing=\"Y\">\n        <catValu>"
                                : "      <catgry>\n        <catValu>");
        where.sub = k;
        if (numeric) {
            Number(number);
        } else {
            where.tail = "[0]";
            Text(text, false);
        }
        Raw("</catValu>\n");
        if (*valueLabel != '\0') {
            where.tail = "[1]";
            Element(4, "labl", valueLabel);
        }
        Raw("      </catgry>\n");
    }
    where.sub = -1;
    where.tail = "";
    Attribute(attributes, "Concept", "concept", nullptr);
    Raw(numeric ? "      <varFormat type=\"numeric\"" : "      <varFormat type=\"character\"");
    Format(code, width, decimals);
    Raw("/>\n");
    Attribute(attributes, "Notes", "notes", nullptr);
    Raw("    </var>\n");
}

}  // namespace

bool WriteDataSourceDDI(const VORN_DataSource& source, const std::string& sourceName,
                        std::string& out, std::string& error) {
    out.clear();
    error.clear();
    try {
        Writer(source, sourceName, out).Write();
        return true;
    } catch (const WriteError& e) {
        out.clear();
        out.shrink_to_fit();
        // The line names places, not texts of the source; only the source
        // name could bring a control character.
        for (char c : e.message) error.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
        return false;
    }
}
