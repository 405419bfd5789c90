// The host's data-source library: a data source's dictionary (its variables,
// weight, variable sets, custom attributes and extension records) with the
// operations to make one. Every text it hands over is multibyte text in the
// host's code page. Const reads fill a lookup cache (FindVarIndex) and readers
// keep cursors, so one data source serves one thread at a time. Copies are
// independent.
#ifndef VORN_DATA_SOURCE_H
#define VORN_DATA_SOURCE_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "VornAttributes.h"
#include "VornVariable.h"
#include "VornVariableSet.h"

class VORN_DataSource {
public:
    // A reader over one extension record: Length() elements of ElementSize()
    // bytes each, read in order by GetNext. It keeps the record's bytes alive,
    // so it stays usable when the data source changes or goes. A reader over a
    // type the data source does not hold reads as empty (element size 1,
    // length 0).
    class Extension {
    public:
        Extension(const VORN_DataSource& source, int type);
        ~Extension();

        int Type() const;
        int ElementSize() const;
        long Length() const;
        // Copies up to count elements from the reader's position into buffer
        // (count * ElementSize() bytes) and moves on; returns how many it copied.
        long GetNext(void* buffer, long count);

    private:
        int type;
        int elementSize;
        std::shared_ptr<const std::vector<unsigned char>> bytes;
        long position;
    };

    // An empty data source: no variables, no row count, timestamp 0, no
    // weight, sets, attributes or extension records.
    VORN_DataSource();
    VORN_DataSource(const VORN_DataSource& other);
    VORN_DataSource& operator=(const VORN_DataSource& other);
    virtual ~VORN_DataSource();

    // The number of variables.
    unsigned ColumnCount() const;
    // The variable in column index; throws std::out_of_range for a column
    // that does not exist. The reference is valid until the data source changes.
    const VORN_Variable& GetVariable(int index) const;
    // Seconds since 1970-01-01T00:00:00 UTC.
    double GetTimestamp() const;
    // The number of rows, negative when the data source has no count.
    virtual std::int64_t GetRowCount() const;
    // The column of the weight variable, -1 when the data source is unweighted.
    int GetWeightVarIndex() const;
    // The column of the variable named name, ignoring letter case (through the
    // host's code page), searching from column firstColumn on; -1 when there is
    // none, and for a null name.
    int FindVarIndex(const char* name, int firstColumn) const;
    // The data source's own custom attributes.
    DatasourceAttributes GetAttributes() const;
    // The same without a copy, valid until the data source is changed or destroyed.
    const DatasourceAttributes& Attributes() const;
    // Whether the data source holds an extension record of type.
    bool HasExtension(int type) const;
    // The types of the extension records held, ascending.
    std::vector<int> GetExtensionTypes() const;
    // The plain sets or the multiple-response sets, in order.
    const std::vector<VariableSet>& GetVariableSets(VarSetsType which) const;

    // Appends a copy of variable and returns its column; -1, adding nothing,
    // when its name is empty or another variable has it (ignoring letter case).
    int AddVariable(const VORN_Variable& variable);
    void SetTimestamp(double secondsSinceEpoch);
    // A negative count means none.
    void SetRowCount(std::int64_t rows);
    // -1 makes the data source unweighted. False, changing nothing, for a
    // column that does not exist or holds a string variable.
    bool SetWeightVarIndex(int index);
    void SetAttributes(const DatasourceAttributes& attributes);
    void AddAttribute(const std::string& name, const std::vector<std::string>& values);
    void AddVariableSet(const VariableSet& set);
    void AddMultipleResponseSet(const VariableSet& set);
    // Holds bytes as the record of type (replacing one held), read in elements
    // of elementSize bytes. False, changing nothing, when elementSize is below
    // 1 or does not divide the byte count.
    bool SetExtension(int type, int elementSize, const std::vector<unsigned char>& bytes);
    void RemoveExtension(int type);

private:
    struct Record {
        int elementSize;
        std::shared_ptr<const std::vector<unsigned char>> bytes;
    };

    std::vector<VORN_Variable> variables;
    double timestamp;
    std::int64_t rowCount;
    int weightIndex;
    DatasourceAttributes attributes;
    std::vector<VariableSet> plainSets;
    std::vector<VariableSet> responseSets;
    std::vector<std::pair<int, Record>> extensions;  // ascending by type

    // Folded name -> first column; rebuilt when the code page changes.
    mutable std::unordered_map<std::string, int> nameIndex;
    mutable std::string nameIndexCodePage;
    mutable bool nameIndexValid;

    const Record* FindRecord(int type) const;
    void BuildNameIndex(const std::string& codePage) const;
};

#endif
