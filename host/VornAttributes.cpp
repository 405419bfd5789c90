#include "VornAttributes.h"

#include <stdexcept>

DatasourceAttributes::DatasourceAttributes() : version(1) {}

unsigned DatasourceAttributes::Size() const { return static_cast<unsigned>(entries.size()); }

std::string DatasourceAttributes::Name(unsigned i) const { return entries.at(i).name; }

std::vector<std::string> DatasourceAttributes::Values(unsigned i) const {
    return entries.at(i).values;
}

const std::string& DatasourceAttributes::NameAt(unsigned i) const { return entries.at(i).name; }

const std::vector<std::string>& DatasourceAttributes::ValuesAt(unsigned i) const {
    return entries.at(i).values;
}

int DatasourceAttributes::FindAttribute(const std::string& name) const {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name == name) return static_cast<int>(i);
    return -1;
}

void DatasourceAttributes::AddAttribute(const std::string& name,
                                        const std::vector<std::string>& values) {
    int i = FindAttribute(name);
    if (i >= 0)
        entries[static_cast<size_t>(i)].values = values;
    else
        entries.push_back(Entry{name, values});
}

void DatasourceAttributes::Clear() { entries.clear(); }
