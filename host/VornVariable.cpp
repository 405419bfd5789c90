#include "VornVariable.h"

#include <cstdint>
#include <cstring>

// Held by the shared pointer of VORN_VLImplPointer; the kind is fixed by the
// variable's type when the first label is added.
class VORN_VLImpl {
public:
    struct Pair {
        double number;
        std::string text;
        std::string label;
    };
    bool numeric = true;
    std::vector<Pair> pairs;
};

namespace {

double FromBits(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::uint64_t ToBits(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

struct FormatName {
    int code;
    const char* name;
};

const FormatName formatNames[] = {
    {1, "A"},        {2, "AHEX"},   {3, "COMMA"},    {4, "DOLLAR"}, {5, "F"},      {6, "IB"},
    {7, "IBHEX"},    {8, "P"},      {9, "PIB"},      {10, "PK"},    {11, "RB"},    {12, "RBHEX"},
    {15, "Z"},       {16, "N"},     {17, "E"},       {20, "DATE"},  {21, "TIME"},  {22, "DATETIME"},
    {23, "ADATE"},   {24, "JDATE"}, {25, "DTIME"},   {26, "WKDAY"}, {27, "MONTH"}, {28, "MOYR"},
    {29, "QYR"},     {30, "WKYR"},  {31, "PERCENT"}, {32, "DOT"},   {33, "CCA"},   {34, "CCB"},
    {35, "CCC"},     {36, "CCD"},   {37, "CCE"},     {38, "EDATE"}, {39, "SDATE"}, {40, "G"},
    {41, "LNUMBER"}, {42, "LDATE"}, {43, "LTIME"},   {44, "LCA"},   {45, "LCB"},   {46, "LCC"},
    {47, "LCD"},     {48, "LCE"},   {49, "LCF"},     {50, "LCG"},   {51, "LCH"},   {52, "LCI"},
    {53, "LCJ"},     {85, "MTIME"}, {86, "YMDHMS"},
};

bool SameIgnoringASCIICase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 32) : *a;
        if (x != *b) return false;
    }
    return *a == *b;
}

}  // namespace

OBS NumericOBS(double value) {
    OBS o;
    o.number = value;
    return o;
}

OBS StringOBS(const std::string& text) {
    OBS o;
    std::memset(o.text, ' ', sizeof o.text);
    std::memcpy(o.text, text.data(), text.size() < sizeof o.text ? text.size() : sizeof o.text);
    return o;
}

double VORNLowestValue() { return FromBits(0xFFEFFFFFFFFFFFFEull); }
double VORNHighestValue() { return FromBits(0x7FEFFFFFFFFFFFFFull); }

VORN_ValueLabelMap::VORN_ValueLabelMap(const VORN_VLImplPointer& labels)
    : labels(labels), cursor(0) {}

VORN_ValueLabelMap::~VORN_ValueLabelMap() = default;

unsigned VORN_ValueLabelMap::Size() const {
    return labels ? static_cast<unsigned>(labels->pairs.size()) : 0;
}

void VORN_ValueLabelMap::Reset() { cursor = 0; }

int VORN_ValueLabelMap::GetNextPair(std::string& value, const char*& label) const {
    if (!labels || labels->numeric || cursor >= labels->pairs.size()) return 0;
    const VORN_VLImpl::Pair& p = labels->pairs[cursor++];
    value = p.text;
    label = p.label.c_str();
    return 1;
}

int VORN_ValueLabelMap::GetNextPair(double& value, const char*& label) const {
    if (!labels || !labels->numeric || cursor >= labels->pairs.size()) return 0;
    const VORN_VLImpl::Pair& p = labels->pairs[cursor++];
    value = p.number;
    label = p.label.c_str();
    return 1;
}

const char* VORN_Variable::GetFormatName(FormatType code) {
    for (const FormatName& f : formatNames)
        if (f.code == code) return f.name;
    return nullptr;
}

bool VORN_Variable::FindFormatType(const char* name, FormatType& code) {
    if (name == nullptr) return false;
    for (const FormatName& f : formatNames) {
        if (SameIgnoringASCIICase(name, f.name)) {
            code = static_cast<FormatType>(f.code);
            return true;
        }
    }
    return false;
}

VORN_Variable::VORN_Variable(const std::string& name, int type)
    : name(name),
      hasLabel(false),
      type(type < 0 ? 0 : type),
      alignment(this->type == 0 ? AlignRight : AlignLeft),
      measurementLevel(MeasureUnknown),
      displayWidth(
          static_cast<short>(this->type == 0 ? 8 : (this->type > 32767 ? 32767 : this->type))),
      formatCode(this->type == 0 ? FormatF : FormatA),
      formatWidth(this->type == 0 ? 8 : this->type),
      formatDecimals(this->type == 0 ? 2 : 0),
      writeCode(formatCode),
      writeWidth(formatWidth),
      writeDecimals(formatDecimals),
      missingCount(0),
      missing() {}

const char* VORN_Variable::GetName() const { return name.c_str(); }
const char* VORN_Variable::GetLabel() const { return hasLabel ? label.c_str() : nullptr; }
int VORN_Variable::GetType() const { return type; }
VORN_Variable::Alignment VORN_Variable::GetAlignment() const { return alignment; }
VORN_Variable::MeasurementLevel VORN_Variable::GetMeasurementLevel() const {
    return measurementLevel;
}
short VORN_Variable::GetDisplayWidth() const { return displayWidth; }

void VORN_Variable::GetFormatEx(FormatType& code, int& width, int& decimals) const {
    code = formatCode;
    width = formatWidth;
    decimals = formatDecimals;
}

void VORN_Variable::GetWriteFormatEx(FormatType& code, int& width, int& decimals) const {
    code = writeCode;
    width = writeWidth;
    decimals = writeDecimals;
}

int VORN_Variable::GetMissingValues(const OBS*& first, const OBS*& second,
                                    const OBS*& third) const {
    int n = missingCount < 0 ? -missingCount : missingCount;
    first = n > 0 ? &missing[0] : nullptr;
    second = n > 1 ? &missing[1] : nullptr;
    third = n > 2 ? &missing[2] : nullptr;
    return missingCount;
}

VORN_VLImplPointer VORN_Variable::GetValueLabels() const {
    static const VORN_VLImplPointer none = std::make_shared<const VORN_VLImpl>();
    return valueLabels ? VORN_VLImplPointer(valueLabels) : none;
}

DatasourceAttributes VORN_Variable::GetAttributes() const { return attributes; }

const DatasourceAttributes& VORN_Variable::Attributes() const { return attributes; }

void VORN_Variable::SetName(const std::string& newName) { name = newName; }

void VORN_Variable::SetLabel(const std::string& newLabel) {
    label = newLabel;
    hasLabel = true;
}

void VORN_Variable::RemoveLabel() {
    label.clear();
    hasLabel = false;
}

void VORN_Variable::SetAlignment(Alignment a) { alignment = a; }
void VORN_Variable::SetMeasurementLevel(MeasurementLevel level) { measurementLevel = level; }
void VORN_Variable::SetDisplayWidth(short width) { displayWidth = width; }

void VORN_Variable::SetFormat(FormatType code, int width, int decimals) {
    formatCode = code;
    formatWidth = width;
    formatDecimals = decimals;
}

void VORN_Variable::SetWriteFormat(FormatType code, int width, int decimals) {
    writeCode = code;
    writeWidth = width;
    writeDecimals = decimals;
}

bool VORN_Variable::SetMissingValues(int count, const OBS* values) {
    if (count < -3 || count > 3 || count == -1) return false;
    if (count != 0 && values == nullptr) return false;
    int n = count < 0 ? -count : count;
    for (int i = 0; i < 3; ++i) missing[i] = i < n ? values[i] : NumericOBS(0);
    missingCount = count;
    return true;
}

void VORN_Variable::RemoveMissingValues() { SetMissingValues(0, nullptr); }

VORN_VLImpl& VORN_Variable::MutableValueLabels() {
    // Maps already handed out, and copies of this variable, keep reading the
    // labels as they were.
    if (!valueLabels)
        valueLabels = std::make_shared<VORN_VLImpl>();
    else if (valueLabels.use_count() > 1)
        valueLabels = std::make_shared<VORN_VLImpl>(*valueLabels);
    valueLabels->numeric = type == 0;
    return *valueLabels;
}

bool VORN_Variable::AddValueLabel(double value, const std::string& newLabel) {
    if (type != 0) return false;
    VORN_VLImpl& labels = MutableValueLabels();
    for (VORN_VLImpl::Pair& p : labels.pairs) {
        if (ToBits(p.number) == ToBits(value)) {
            p.label = newLabel;
            return true;
        }
    }
    labels.pairs.push_back(VORN_VLImpl::Pair{value, std::string(), newLabel});
    return true;
}

bool VORN_Variable::AddValueLabel(const std::string& value, const std::string& newLabel) {
    if (type == 0) return false;
    VORN_VLImpl& labels = MutableValueLabels();
    for (VORN_VLImpl::Pair& p : labels.pairs) {
        if (p.text == value) {
            p.label = newLabel;
            return true;
        }
    }
    labels.pairs.push_back(VORN_VLImpl::Pair{0, value, newLabel});
    return true;
}

void VORN_Variable::RemoveValueLabels() { valueLabels.reset(); }

void VORN_Variable::SetAttributes(const DatasourceAttributes& newAttributes) {
    attributes = newAttributes;
}

void VORN_Variable::AddAttribute(const std::string& attributeName,
                                 const std::vector<std::string>& values) {
    attributes.AddAttribute(attributeName, values);
}
