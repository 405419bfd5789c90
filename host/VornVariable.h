// A variable (column) of a data source: its name, label, type, formats,
// missing values, value labels and custom attributes. Every text it hands
// over is multibyte text in the host's code page. Variables are plain values:
// copying one copies its labels lazily (copy on write), and a const variable
// may be read from several threads at once; a VORN_ValueLabelMap over its
// labels belongs to one thread.
#ifndef VORN_VARIABLE_H
#define VORN_VARIABLE_H

#include <memory>
#include <string>
#include <vector>

#include "VornAttributes.h"

// An 8-byte observation: a double of a numeric variable, or up to 8 bytes of
// text of a string variable, blank-padded and not NUL-terminated.
union OBS {
    double number;
    char text[8];
};
static_assert(sizeof(OBS) == 8, "OBS is an 8-byte value");

// An OBS holding the number value.
OBS NumericOBS(double value);
// An OBS holding the first 8 bytes of text, padded with blanks.
OBS StringOBS(const std::string& text);

// The open ends of a missing-value range, recognised by their exact bit
// patterns: "lowest" is the double just above the most negative finite one
// (0xFFEFFFFFFFFFFFFE), "highest" the largest finite double (0x7FEFFFFFFFFFFFFF).
double VORNLowestValue();
double VORNHighestValue();

// Both enumerations may hold any int: codes outside the named ones are kept.
struct VORN_Variable_Enumerations {
    enum Alignment : int { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };
    enum MeasurementLevel : int {
        MeasureUnknown = 0,
        MeasureNominal = 1,
        MeasureOrdinal = 2,
        MeasureScale = 3
    };
};

// The value labels of one variable, shared between a variable and the maps
// read over it; immutable once shared (the variable copies before changing).
class VORN_VLImpl;
typedef std::shared_ptr<const VORN_VLImpl> VORN_VLImplPointer;

// A reader over a variable's value labels, in the order they were added. It
// keeps the labels alive, so the label pointers it hands out stay valid for
// the map's lifetime. The cursor is advanced by the const GetNextPair, so one
// map serves one thread.
class VORN_ValueLabelMap {
public:
    explicit VORN_ValueLabelMap(const VORN_VLImplPointer& labels);
    ~VORN_ValueLabelMap();

    // The number of label pairs.
    unsigned Size() const;
    // Makes the next pair delivered the first one.
    void Reset();
    // Delivers the next pair of a string variable's labels: nonzero while it
    // delivered one, 0 after the last (and for numeric labels).
    int GetNextPair(std::string& value, const char*& label) const;
    // Delivers the next pair of a numeric variable's labels: nonzero while it
    // delivered one, 0 after the last (and for string labels).
    int GetNextPair(double& value, const char*& label) const;

private:
    VORN_VLImplPointer labels;
    mutable unsigned cursor;
};

class VORN_Variable : public VORN_Variable_Enumerations {
public:
    // Format codes; a FormatType may hold any int, also codes without a name.
    enum FormatType : int {
        FormatA = 1,
        FormatAHEX = 2,
        FormatCOMMA = 3,
        FormatDOLLAR = 4,
        FormatF = 5,
        FormatIB = 6,
        FormatIBHEX = 7,
        FormatP = 8,
        FormatPIB = 9,
        FormatPK = 10,
        FormatRB = 11,
        FormatRBHEX = 12,
        FormatZ = 15,
        FormatN = 16,
        FormatE = 17,
        FormatDATE = 20,
        FormatTIME = 21,
        FormatDATETIME = 22,
        FormatADATE = 23,
        FormatJDATE = 24,
        FormatDTIME = 25,
        FormatWKDAY = 26,
        FormatMONTH = 27,
        FormatMOYR = 28,
        FormatQYR = 29,
        FormatWKYR = 30,
        FormatPERCENT = 31,
        FormatDOT = 32,
        FormatCCA = 33,
        FormatCCB = 34,
        FormatCCC = 35,
        FormatCCD = 36,
        FormatCCE = 37,
        FormatEDATE = 38,
        FormatSDATE = 39,
        FormatG = 40,
        FormatLNUMBER = 41,
        FormatLDATE = 42,
        FormatLTIME = 43,
        FormatLCA = 44,
        FormatLCB = 45,
        FormatLCC = 46,
        FormatLCD = 47,
        FormatLCE = 48,
        FormatLCF = 49,
        FormatLCG = 50,
        FormatLCH = 51,
        FormatLCI = 52,
        FormatLCJ = 53,
        FormatMTIME = 85,
        FormatYMDHMS = 86
    };
    // The name of a format code ("F" for FormatF), or null for a code without one.
    static const char* GetFormatName(FormatType code);
    // The code of a format name, matched ignoring ASCII case; false when unknown.
    static bool FindFormatType(const char* name, FormatType& code);

    // A variable named name; type 0 makes it numeric, a positive type a string
    // variable of that many bytes. Numeric variables start right-aligned with
    // formats F8.2 and display width 8, string variables left-aligned with
    // formats A<type> and display width type (at most 32767); both start with
    // measurement level unknown, no label, no missing values, no value labels
    // and no custom attributes.
    explicit VORN_Variable(const std::string& name, int type = 0);

    // The name; never null.
    const char* GetName() const;
    // The label, or null when the variable has none ("" is an empty label).
    const char* GetLabel() const;
    // 0 for a numeric variable, otherwise the string width in bytes.
    int GetType() const;
    Alignment GetAlignment() const;
    MeasurementLevel GetMeasurementLevel() const;
    short GetDisplayWidth() const;
    // The print format.
    void GetFormatEx(FormatType& code, int& width, int& decimals) const;
    // The write format.
    void GetWriteFormatEx(FormatType& code, int& width, int& decimals) const;
    // Points first, second and third at the missing values (null past the
    // count) and returns their count, negated when the first two are the low
    // and high ends of a range: 0 to 3 discrete values, -2 for a range, -3 for
    // a range and one discrete value. The pointers stay valid until the
    // variable is changed or destroyed.
    int GetMissingValues(const OBS*& first, const OBS*& second, const OBS*& third) const;
    // A handle to the value labels, for VORN_ValueLabelMap.
    VORN_VLImplPointer GetValueLabels() const;
    // The custom attributes.
    DatasourceAttributes GetAttributes() const;
    // The same without a copy, valid until the variable is changed or destroyed.
    const DatasourceAttributes& Attributes() const;

    void SetName(const std::string& name);
    void SetLabel(const std::string& label);
    // Removes the label, so that GetLabel gives null.
    void RemoveLabel();
    void SetAlignment(Alignment alignment);
    void SetMeasurementLevel(MeasurementLevel level);
    void SetDisplayWidth(short width);
    void SetFormat(FormatType code, int width, int decimals);
    void SetWriteFormat(FormatType code, int width, int decimals);
    // Sets the missing values in the form GetMissingValues gives them: count
    // values from values, a negative count meaning that the first two form a
    // range. False, changing nothing, for a count outside -3..3 or of -1.
    bool SetMissingValues(int count, const OBS* values);
    void RemoveMissingValues();
    // Adds a label for a numeric value, or replaces the label of a value that
    // has one (keeping its place). False, changing nothing, on a string variable.
    bool AddValueLabel(double value, const std::string& label);
    // The same for a string value, held as given. False on a numeric variable.
    bool AddValueLabel(const std::string& value, const std::string& label);
    void RemoveValueLabels();
    void SetAttributes(const DatasourceAttributes& attributes);
    void AddAttribute(const std::string& name, const std::vector<std::string>& values);

private:
    std::string name;
    bool hasLabel;
    std::string label;
    int type;
    Alignment alignment;
    MeasurementLevel measurementLevel;
    short displayWidth;
    FormatType formatCode;
    int formatWidth;
    int formatDecimals;
    FormatType writeCode;
    int writeWidth;
    int writeDecimals;
    int missingCount;
    OBS missing[3];
    std::shared_ptr<VORN_VLImpl> valueLabels;  // null when none; shared by copies
    DatasourceAttributes attributes;

    VORN_VLImpl& MutableValueLabels();
};

#endif
