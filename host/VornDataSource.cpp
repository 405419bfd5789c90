#include "VornDataSource.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "VornCodePage.h"

VORN_DataSource::Extension::Extension(const VORN_DataSource& source, int type)
    : type(type), elementSize(1), position(0) {
    if (const Record* r = source.FindRecord(type)) {
        elementSize = r->elementSize;
        bytes = r->bytes;
    }
}

VORN_DataSource::Extension::~Extension() = default;

int VORN_DataSource::Extension::Type() const { return type; }
int VORN_DataSource::Extension::ElementSize() const { return elementSize; }

long VORN_DataSource::Extension::Length() const {
    return bytes ? static_cast<long>(bytes->size() / static_cast<size_t>(elementSize)) : 0;
}

long VORN_DataSource::Extension::GetNext(void* buffer, long count) {
    long left = Length() - position;
    long n = count < left ? count : left;
    if (n <= 0 || buffer == nullptr) return 0;
    size_t size = static_cast<size_t>(elementSize);
    std::memcpy(buffer, bytes->data() + static_cast<size_t>(position) * size,
                static_cast<size_t>(n) * size);
    position += n;
    return n;
}

VORN_DataSource::VORN_DataSource()
    : timestamp(0), rowCount(-1), weightIndex(-1), nameIndexValid(false) {}

VORN_DataSource::VORN_DataSource(const VORN_DataSource& other) = default;
VORN_DataSource& VORN_DataSource::operator=(const VORN_DataSource& other) = default;
VORN_DataSource::~VORN_DataSource() = default;

unsigned VORN_DataSource::ColumnCount() const { return static_cast<unsigned>(variables.size()); }

const VORN_Variable& VORN_DataSource::GetVariable(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= variables.size())
        throw std::out_of_range("VORN_DataSource::GetVariable: no column " + std::to_string(index));
    return variables[static_cast<size_t>(index)];
}

double VORN_DataSource::GetTimestamp() const { return timestamp; }
std::int64_t VORN_DataSource::GetRowCount() const { return rowCount; }
int VORN_DataSource::GetWeightVarIndex() const { return weightIndex; }

void VORN_DataSource::BuildNameIndex(const std::string& codePage) const {
    nameIndex.clear();
    for (size_t i = 0; i < variables.size(); ++i)
        nameIndex.emplace(FoldHostTextCase(variables[i].GetName()), static_cast<int>(i));
    nameIndexCodePage = codePage;
    nameIndexValid = true;
}

int VORN_DataSource::FindVarIndex(const char* name, int firstColumn) const {
    if (name == nullptr) return -1;
    // Folding non-ASCII names depends on the code page, so a change of it
    // invalidates the index.
    std::string codePage = GetHostCodePageName();
    if (!nameIndexValid || codePage != nameIndexCodePage) BuildNameIndex(codePage);
    auto it = nameIndex.find(FoldHostTextCase(name));
    if (it == nameIndex.end() || it->second < firstColumn) return -1;
    return it->second;
}

DatasourceAttributes VORN_DataSource::GetAttributes() const { return attributes; }

const DatasourceAttributes& VORN_DataSource::Attributes() const { return attributes; }

const VORN_DataSource::Record* VORN_DataSource::FindRecord(int type) const {
    auto it = std::lower_bound(extensions.begin(), extensions.end(), type,
                               [](const std::pair<int, Record>& e, int t) { return e.first < t; });
    return it != extensions.end() && it->first == type ? &it->second : nullptr;
}

bool VORN_DataSource::HasExtension(int type) const { return FindRecord(type) != nullptr; }

std::vector<int> VORN_DataSource::GetExtensionTypes() const {
    std::vector<int> types;
    for (const auto& e : extensions) types.push_back(e.first);
    return types;
}

const std::vector<VariableSet>& VORN_DataSource::GetVariableSets(VarSetsType which) const {
    return which == MultipleResponseSets ? responseSets : plainSets;
}

int VORN_DataSource::AddVariable(const VORN_Variable& variable) {
    if (*variable.GetName() == '\0' || FindVarIndex(variable.GetName(), 0) >= 0) return -1;
    variables.push_back(variable);
    int index = static_cast<int>(variables.size() - 1);
    if (nameIndexValid) nameIndex.emplace(FoldHostTextCase(variable.GetName()), index);
    return index;
}

void VORN_DataSource::SetTimestamp(double secondsSinceEpoch) { timestamp = secondsSinceEpoch; }
void VORN_DataSource::SetRowCount(std::int64_t rows) { rowCount = rows < 0 ? -1 : rows; }

bool VORN_DataSource::SetWeightVarIndex(int index) {
    if (index < 0) {
        weightIndex = -1;
        return true;
    }
    if (static_cast<size_t>(index) >= variables.size() ||
        variables[static_cast<size_t>(index)].GetType() != 0)
        return false;
    weightIndex = index;
    return true;
}

void VORN_DataSource::SetAttributes(const DatasourceAttributes& a) { attributes = a; }

void VORN_DataSource::AddAttribute(const std::string& name,
                                   const std::vector<std::string>& values) {
    attributes.AddAttribute(name, values);
}

void VORN_DataSource::AddVariableSet(const VariableSet& set) { plainSets.push_back(set); }
void VORN_DataSource::AddMultipleResponseSet(const VariableSet& set) {
    responseSets.push_back(set);
}

bool VORN_DataSource::SetExtension(int type, int elementSize,
                                   const std::vector<unsigned char>& bytes) {
    if (elementSize < 1 || bytes.size() % static_cast<size_t>(elementSize) != 0) return false;
    Record r{elementSize, std::make_shared<const std::vector<unsigned char>>(bytes)};
    auto it = std::lower_bound(extensions.begin(), extensions.end(), type,
                               [](const std::pair<int, Record>& e, int t) { return e.first < t; });
    if (it != extensions.end() && it->first == type)
        it->second = r;
    else
        extensions.insert(it, std::make_pair(type, r));
    return true;
}

void VORN_DataSource::RemoveExtension(int type) {
    auto it = std::lower_bound(extensions.begin(), extensions.end(), type,
                               [](const std::pair<int, Record>& e, int t) { return e.first < t; });
    if (it != extensions.end() && it->first == type) extensions.erase(it);
}
