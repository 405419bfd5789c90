// Variables with their formats and missing values, value-label sets and the
// weight variable.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "dictionary/DictionarySections.h"
#include "dictionary/DictionaryStore.h"
#include "dictionary/DictionaryTree.h"

namespace {

const char16_t* alignmentWord(int alignment) {
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

const char16_t* measurementLevelWord(int level) {
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
const char16_t* const formatNames[] = {
    nullptr,  u"A",    u"AHEX",  u"COMMA", u"DOLLAR",   u"F",       u"IB",    u"IBHEX", u"P",
    u"PIB",   u"PK",   u"RB",    u"RBHEX", nullptr,     nullptr,    u"Z",     u"N",     u"E",
    nullptr,  nullptr, u"DATE",  u"TIME",  u"DATETIME", u"ADATE",   u"JDATE", u"DTIME", u"WKDAY",
    u"MONTH", u"MOYR", u"QYR",   u"WKYR",  u"PERCENT",  u"DOT",     u"CCA",   u"CCB",   u"CCC",
    u"CCD",   u"CCE",  u"EDATE", u"SDATE", u"G",        u"LNUMBER", u"LDATE", u"LTIME", u"LCA",
    u"LCB",   u"LCC",  u"LCD",   u"LCE",   u"LCF",      u"LCG",     u"LCH",   u"LCI",   u"LCJ"};
constexpr int namedFormatCount = sizeof(formatNames) / sizeof(formatNames[0]);

const char16_t* formatName(int code) {
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

template <class Tree>
unsigned DictionarySections<Tree>::addVariables(const VORN_DataSource& source, Element root) {
    if (source.ColumnCount() == 0) return 0;
    unsigned passes = 0;
    for (unsigned i = 0; i < source.ColumnCount(); ++i, ++passes) {
        const VORN_Variable& v = source.GetVariable(static_cast<int>(i));
        const Element e = tree.element(Tag::variable);
        inside.reset(e);
        tree.setWord(e, Attr::alignment, alignmentWord(v.GetAlignment()));
        tree.setInteger(e, Attr::displayWidth, v.GetDisplayWidth());
        if (const char* label = v.GetLabel()) tree.setText(e, Attr::label, label);
        tree.setWord(e, Attr::measurementLevel, measurementLevelWord(v.GetMeasurementLevel()));
        tree.setText(e, Attr::name, v.GetName());
        tree.setInteger(e, Attr::type, v.GetType());

        const Element f = tree.element(Tag::variableFormat);
        VORN_Variable::FormatType code = VORN_Variable::FormatType(0);
        int width = 0;
        int decimals = 0;
        v.GetFormatEx(code, width, decimals);
        addFormatAttributes(f, code, width, decimals);
        placeInside(e, f, Tag::variableFormat, {});
        addWriteFormat(v, e);
        addMissingValues(v, e);
        addVariableAttributes(v, e);

        placeUnderRoot(root, e, Tag::variable, {Tag::variable});
        addValueLabels(v, root);
    }
    return passes;
}

template <class Tree>
bool DictionarySections<Tree>::addFormatAttributes(Element e, VORN_Variable::FormatType code,
                                                   int width, int decimals) {
    tree.setInteger(e, Attr::decimals, decimals);
    tree.setWord(e, Attr::type, formatName(code));
    tree.setInteger(e, Attr::width, width);
    return true;
}

template <class Tree>
bool DictionarySections<Tree>::addWriteFormat(const VORN_Variable& v, Element variableElement) {
    const Element w = tree.element(Tag::variableWriteFormat);
    VORN_Variable::FormatType code = VORN_Variable::FormatType(0);
    int width = 0;
    int decimals = 0;
    v.GetWriteFormatEx(code, width, decimals);
    const bool written = addFormatAttributes(w, code, width, decimals);
    placeInside(variableElement, w, Tag::variableWriteFormat, {Tag::variableFormat});
    return written;
}

template <class Tree>
int DictionarySections<Tree>::addMissingValues(const VORN_Variable& v, Element variableElement) {
    const int type = v.GetType();
    const OBS* values[3] = {nullptr, nullptr, nullptr};
    const int n = v.GetMissingValues(values[0], values[1], values[2]);
    // Three out-pointers bound the values, whatever count the source reports.
    const int count = std::min(n < 0 ? -n : n, 3);
    for (int i = 0; i < count; ++i) {
        const OBS* value = values[i];
        if (value == nullptr) continue;
        const Element m = tree.element(Tag::missingValue);
        if (type != 0) {
            const std::size_t limit =
                type > 0 ? std::min<std::size_t>(type, sizeof value->text) : 0;
            tree.setText(m, Attr::data, cutAtBlank(value->text, limit).c_str());
        } else {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value->number, sizeof bits);
            if (bits == lowestBits)
                tree.setWord(m, Attr::data, u"lowest");
            else if (bits == highestBits)
                tree.setWord(m, Attr::data, u"highest");
            else
                tree.setDecimal(m, Attr::data, value->number);
        }
        if (n < 0 && i == 0) tree.setWord(m, Attr::type, u"lowerBound");
        if (n < 0 && i == 1) tree.setWord(m, Attr::type, u"upperBound");
        placeInside(variableElement, m, Tag::missingValue,
                    {Tag::missingValue, Tag::variableWriteFormat, Tag::variableFormat});
    }
    return n;
}

template <class Tree>
bool DictionarySections<Tree>::addValueLabels(const VORN_Variable& v, Element root) {
    VORN_ValueLabelMap labels(v.GetValueLabels());
    if (labels.Size() == 0) return false;
    const Element set = tree.element(Tag::valueLabelSet);
    inside.reset(set);
    const int type = v.GetType();
    labels.Reset();
    const char* label = nullptr;
    if (type != 0) {
        std::string value;
        while (labels.GetNextPair(value, label) != 0) {
            const Element l = tree.element(Tag::valueLabel);
            tree.setText(l, Attr::label, label);
            tree.setText(l, Attr::value, cutAtBlank(value.c_str(), value.size()).c_str());
            placeInside(set, l, Tag::valueLabel, {Tag::valueLabel});
        }
    } else {
        double value = 0;
        while (labels.GetNextPair(value, label) != 0) {
            const Element l = tree.element(Tag::valueLabel);
            tree.setText(l, Attr::label, label);
            tree.setDecimal(l, Attr::value, value);
            placeInside(set, l, Tag::valueLabel, {Tag::valueLabel});
        }
    }
    const Element owner = tree.element(Tag::valueLabelVariable);
    tree.setText(owner, Attr::name, v.GetName());
    // With no valueLabel the set is empty, so its first child is its end.
    placeInside(set, owner, Tag::valueLabelVariable, {Tag::valueLabel});
    placeUnderRoot(root, set, Tag::valueLabelSet,
                   {Tag::valueLabelSet, Tag::weightVariable, Tag::variable});
    return true;
}

template <class Tree>
bool DictionarySections<Tree>::addWeightVariable(const VORN_DataSource& source, Element root) {
    const int k = source.GetWeightVarIndex();
    if (k < 0) return true;
    const Element w = tree.element(Tag::weightVariable);
    tree.setText(w, Attr::name, source.GetVariable(k).GetName());
    placeUnderRoot(root, w, Tag::weightVariable, {Tag::variable});
    return true;
}

#define TRANSSPACE_VARIABLE_SECTIONS(Tree)                                                        \
    template unsigned DictionarySections<Tree>::addVariables(const VORN_DataSource&,              \
                                                             Tree::Element);                      \
    template bool DictionarySections<Tree>::addFormatAttributes(                                  \
        Tree::Element, VORN_Variable::FormatType, int, int);                                      \
    template bool DictionarySections<Tree>::addWriteFormat(const VORN_Variable&, Tree::Element);  \
    template int DictionarySections<Tree>::addMissingValues(const VORN_Variable&, Tree::Element); \
    template bool DictionarySections<Tree>::addValueLabels(const VORN_Variable&, Tree::Element);  \
    template bool DictionarySections<Tree>::addWeightVariable(const VORN_DataSource&,             \
                                                              Tree::Element);
TRANSSPACE_VARIABLE_SECTIONS(DomTree)
TRANSSPACE_VARIABLE_SECTIONS(StoreTree)
