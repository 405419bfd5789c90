// Named groups of a data source's variables: plain variable sets and
// multiple-response sets. A set lists its members by name, as the data source
// was given them; names the data source does not know are kept. Texts are
// multibyte text in the host's code page. A plain value type.
#ifndef VORN_VARIABLE_SET_H
#define VORN_VARIABLE_SET_H

#include <string>
#include <vector>

class VORN_DataSource;

// Which sets VariableSets lists.
enum VarSetsType { PlainVariableSets = 0, MultipleResponseSets = 1 };

class VariableSet {
public:
    // What GetName and GetVariableNames do to letter case.
    enum ChangeCase { ToLowerCase = 0, ToUpperCase = 1, KeepCase = 2 };
    // Plain sets are of type PlainSet; a multiple-response set counts either
    // the categories of its members or one counted value of each member. Other
    // codes may be held and are none of these.
    enum VariableSetType { PlainSet = 0, CategorySet = 1, DichotomySet = 2 };

    explicit VariableSet(const std::string& name = std::string(), int type = PlainSet);

    // The name, with its letter case changed as asked (through the host's
    // code page; ToLowerCase and ToUpperCase use the root locale's rules).
    std::string GetName(ChangeCase change) const;
    // The member names in order, with letter case changed as for GetName.
    std::vector<std::string> GetVariableNames(ChangeCase change) const;
    // The set type; DichotomySet (2) for a dichotomy set.
    int GetType() const;
    // The counted value of a dichotomy set as text; empty when none.
    std::string GetValue() const;
    // The set's own label; empty when none.
    std::string GetLabel() const;
    // Whether a dichotomy set's categories are labelled by the value labels
    // of the counted value (true) or by the variables' labels (false).
    bool qUseVariableCategoryLabels() const;
    // Whether the set's label is taken from a member variable's label.
    bool qLabelSetByVariable() const;

    void SetName(const std::string& name);
    void SetType(int type);
    void SetVariableNames(const std::vector<std::string>& names);
    void AddVariableName(const std::string& name);
    void SetValue(const std::string& value);
    void SetLabel(const std::string& label);
    void SetUseVariableCategoryLabels(bool use);
    void SetLabelSetByVariable(bool byVariable);

private:
    std::string name;
    int type;
    std::vector<std::string> variableNames;
    std::string value;
    std::string label;
    bool useVariableCategoryLabels;
    bool labelSetByVariable;
};

// A copy of the data source's plain sets or multiple-response sets, in the
// data source's order.
std::vector<VariableSet> VariableSets(const VORN_DataSource& source, VarSetsType which);

#endif
