#include "VornVariableSet.h"

#include "VornCodePage.h"
#include "VornDataSource.h"

VariableSet::VariableSet(const std::string& name, int type)
    : name(name), type(type), useVariableCategoryLabels(false), labelSetByVariable(false) {}

std::string VariableSet::GetName(ChangeCase change) const {
    return ChangeHostTextCase(name, change);
}

std::vector<std::string> VariableSet::GetVariableNames(ChangeCase change) const {
    if (change == KeepCase) return variableNames;
    std::vector<std::string> names;
    names.reserve(variableNames.size());
    for (const std::string& n : variableNames) names.push_back(ChangeHostTextCase(n, change));
    return names;
}

int VariableSet::GetType() const { return type; }
std::string VariableSet::GetValue() const { return value; }
std::string VariableSet::GetLabel() const { return label; }
bool VariableSet::qUseVariableCategoryLabels() const { return useVariableCategoryLabels; }
bool VariableSet::qLabelSetByVariable() const { return labelSetByVariable; }

void VariableSet::SetName(const std::string& newName) { name = newName; }
void VariableSet::SetType(int newType) { type = newType; }
void VariableSet::SetVariableNames(const std::vector<std::string>& names) { variableNames = names; }
void VariableSet::AddVariableName(const std::string& n) { variableNames.push_back(n); }
void VariableSet::SetValue(const std::string& newValue) { value = newValue; }
void VariableSet::SetLabel(const std::string& newLabel) { label = newLabel; }
void VariableSet::SetUseVariableCategoryLabels(bool use) { useVariableCategoryLabels = use; }
void VariableSet::SetLabelSetByVariable(bool byVariable) { labelSetByVariable = byVariable; }

std::vector<VariableSet> VariableSets(const VORN_DataSource& source, VarSetsType which) {
    return source.GetVariableSets(which);
}
