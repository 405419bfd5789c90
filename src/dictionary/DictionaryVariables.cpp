// Variables with their formats and missing values, value-label sets and the
// weight variable.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "dictionary/DictionaryBuilder.h"
#include "dictionary/DictionaryText.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const XMLCh* alignmentWord(int alignment) {
    switch (alignment) {
        case 0:
            return u"left";
        case 1:
            return u"right";
        case 2:
            return u"center";
        default:
            return u"";
    }
}

const XMLCh* measurementLevelWord(int level) {
    switch (level) {
        case 0:
            return u"unknown";
        case 1:
            return u"nominal";
        case 2:
            return u"ordinal";
        case 3:
            return u"scale";
        default:
            return u"";
    }
}

// Format names by code; the gaps are codes without a name.
const XMLCh* const formatNames[] = {
    nullptr,  u"A",    u"AHEX",  u"COMMA", u"DOLLAR",   u"F",       u"IB",    u"IBHEX", u"P",
    u"PIB",   u"PK",   u"RB",    u"RBHEX", nullptr,     nullptr,    u"Z",     u"N",     u"E",
    nullptr,  nullptr, u"DATE",  u"TIME",  u"DATETIME", u"ADATE",   u"JDATE", u"DTIME", u"WKDAY",
    u"MONTH", u"MOYR", u"QYR",   u"WKYR",  u"PERCENT",  u"DOT",     u"CCA",   u"CCB",   u"CCC",
    u"CCD",   u"CCE",  u"EDATE", u"SDATE", u"G",        u"LNUMBER", u"LDATE", u"LTIME", u"LCA",
    u"LCB",   u"LCC",  u"LCD",   u"LCE",   u"LCF",      u"LCG",     u"LCH",   u"LCI",   u"LCJ"};
constexpr int namedFormatCount = sizeof(formatNames) / sizeof(formatNames[0]);

const XMLCh* formatName(int code) {
    if (code >= 0 && code < namedFormatCount && formatNames[code] != nullptr)
        return formatNames[code];
    if (code == 85) return u"MTIME";
    if (code == 86) return u"YMDHMS";
    return u"";
}

// The open ends of a range are told by their bits: the most negative finite
// double, one step further down than "lowest", is an ordinary number.
constexpr std::uint64_t lowestBits = 0xFFEFFFFFFFFFFFFEull;
constexpr std::uint64_t highestBits = 0x7FEFFFFFFFFFFFFFull;

// text up to its first blank or NUL, and never more than limit bytes.
std::string cutAtBlank(const char* text, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && text[n] != ' ' && text[n] != '\0') ++n;
    return std::string(text, n);
}

}  // namespace

unsigned DictionaryBuilder::addVariables(const VORN_DataSource& source, DOMElement* root) {
    if (source.ColumnCount() == 0) return 0;
    unsigned passes = 0;
    for (unsigned i = 0; i < source.ColumnCount(); ++i, ++passes) {
        const VORN_Variable& v = source.GetVariable(static_cast<int>(i));
        DOMElement* e = element(u"variable");
        setTextAttribute(e, u"name", v.GetName());
        if (const char* label = v.GetLabel()) setTextAttribute(e, u"label", label);
        numbers.setInteger(e, u"type", v.GetType());
        e->setAttribute(u"alignment", alignmentWord(v.GetAlignment()));
        e->setAttribute(u"measurementLevel", measurementLevelWord(v.GetMeasurementLevel()));
        numbers.setInteger(e, u"displayWidth", v.GetDisplayWidth());

        DOMElement* f = element(u"variableFormat");
        VORN_Variable::FormatType code = VORN_Variable::FormatType(0);
        int width = 0;
        int decimals = 0;
        v.GetFormatEx(code, width, decimals);
        addFormatAttributes(f, code, width, decimals);
        e->insertBefore(f, e->getFirstChild());
        addWriteFormat(v, e);
        addMissingValues(v, e);
        addVariableAttributes(v, e);

        placeUnderRoot(root, e, kindVariable, {kindVariable});
        addValueLabels(v, root);
    }
    return passes;
}

bool DictionaryBuilder::addFormatAttributes(DOMElement* e, VORN_Variable::FormatType code,
                                            int width, int decimals) {
    e->setAttribute(u"type", formatName(code));
    numbers.setInteger(e, u"width", width);
    numbers.setInteger(e, u"decimals", decimals);
    return true;
}

bool DictionaryBuilder::addWriteFormat(const VORN_Variable& v, DOMElement* variableElement) {
    DOMElement* w = element(u"variableWriteFormat");
    VORN_Variable::FormatType code = VORN_Variable::FormatType(0);
    int width = 0;
    int decimals = 0;
    v.GetWriteFormatEx(code, width, decimals);
    const bool written = addFormatAttributes(w, code, width, decimals);
    placeInside(variableElement, w, {u"variableFormat"});
    return written;
}

int DictionaryBuilder::addMissingValues(const VORN_Variable& v, DOMElement* variableElement) {
    const int type = v.GetType();
    const OBS* values[3] = {nullptr, nullptr, nullptr};
    const int n = v.GetMissingValues(values[0], values[1], values[2]);
    // Three out-pointers bound the values, whatever count the source reports.
    const int count = std::min(n < 0 ? -n : n, 3);
    for (int i = 0; i < count; ++i) {
        const OBS* value = values[i];
        if (value == nullptr) continue;
        DOMElement* m = element(u"missingValue");
        if (type != 0) {
            const std::size_t limit =
                type > 0 ? std::min<std::size_t>(type, sizeof value->text) : 0;
            setTextAttribute(m, u"data", cutAtBlank(value->text, limit));
        } else {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value->number, sizeof bits);
            if (bits == lowestBits)
                m->setAttribute(u"data", u"lowest");
            else if (bits == highestBits)
                m->setAttribute(u"data", u"highest");
            else
                numbers.setDecimal(m, u"data", value->number);
        }
        if (n < 0 && i == 0) m->setAttribute(u"type", u"lowerBound");
        if (n < 0 && i == 1) m->setAttribute(u"type", u"upperBound");
        placeInside(variableElement, m,
                    {u"missingValue", u"variableWriteFormat", u"variableFormat"});
    }
    return n;
}

bool DictionaryBuilder::addValueLabels(const VORN_Variable& v, DOMElement* root) {
    VORN_ValueLabelMap labels(v.GetValueLabels());
    if (labels.Size() == 0) return false;
    DOMElement* set = element(u"valueLabelSet");
    const int type = v.GetType();
    labels.Reset();
    const char* label = nullptr;
    if (type != 0) {
        std::string value;
        while (labels.GetNextPair(value, label) != 0) {
            DOMElement* l = element(u"valueLabel");
            setTextAttribute(l, u"value", cutAtBlank(value.c_str(), value.size()));
            setTextAttribute(l, u"label", label);
            placeInside(set, l, {u"valueLabel"});
        }
    } else {
        double value = 0;
        while (labels.GetNextPair(value, label) != 0) {
            DOMElement* l = element(u"valueLabel");
            numbers.setDecimal(l, u"value", value);
            setTextAttribute(l, u"label", label);
            placeInside(set, l, {u"valueLabel"});
        }
    }
    DOMElement* owner = element(u"valueLabelVariable");
    setTextAttribute(owner, u"name", v.GetName());
    // With no valueLabel the set is empty, so its first child is its end.
    placeInside(set, owner, {u"valueLabel"});
    placeUnderRoot(root, set, kindValueLabelSet,
                   {kindValueLabelSet, kindWeightVariable, kindVariable});
    return true;
}

bool DictionaryBuilder::addWeightVariable(const VORN_DataSource& source, DOMElement* root) {
    const int k = source.GetWeightVarIndex();
    if (k < 0) return true;
    DOMElement* w = element(u"weightVariable");
    setTextAttribute(w, u"name", source.GetVariable(k).GetName());
    placeUnderRoot(root, w, kindWeightVariable, {kindVariable});
    return true;
}
