// Plain variable sets and multiple-response sets.
#include <string>
#include <vector>

#include "dictionary/DictionarySections.h"
#include "dictionary/DictionaryStore.h"
#include "dictionary/DictionaryTree.h"

// Appends one member element per name the data source knows, spelled as the
// data source spells it; returns how many it wrote.
template <class Tree>
int DictionarySections<Tree>::addMembers(const VariableSet& set, const VORN_DataSource& source,
                                         Element parent, Tag tag) {
    int written = 0;
    for (const std::string& name : set.GetVariableNames(VariableSet::KeepCase)) {
        const int k = source.FindVarIndex(name.c_str(), 0);
        if (k < 0) continue;
        appendText(parent, tag, Attr::name, source.GetVariable(k).GetName());
        ++written;
    }
    return written;
}

template <class Tree>
unsigned DictionarySections<Tree>::addVariableSets(const VORN_DataSource& source, Element root) {
    const std::vector<VariableSet> sets = VariableSets(source, PlainVariableSets);
    for (const VariableSet& set : sets) addVariableSet(set, source, root);
    return static_cast<unsigned>(sets.size());
}

template <class Tree>
int DictionarySections<Tree>::addVariableSet(const VariableSet& set, const VORN_DataSource& source,
                                             Element root) {
    const Element s = tree.element(Tag::variableSet);
    tree.setText(s, Attr::name, set.GetName(VariableSet::KeepCase).c_str());
    placeUnderRoot(root, s, Tag::variableSet,
                   {Tag::variableSet, Tag::valueLabelSet, Tag::weightVariable, Tag::variable});
    return addMembers(set, source, s, Tag::variableSetVariable);
}

template <class Tree>
unsigned DictionarySections<Tree>::addMultipleResponseSets(const VORN_DataSource& source,
                                                           Element root) {
    const std::vector<VariableSet> sets = VariableSets(source, MultipleResponseSets);
    for (const VariableSet& set : sets) addMultipleResponseSet(set, source, root);
    return static_cast<unsigned>(sets.size());
}

template <class Tree>
int DictionarySections<Tree>::addMultipleResponseSet(const VariableSet& set,
                                                     const VORN_DataSource& source, Element root) {
    const Element m = tree.element(Tag::multipleResponseSet);
    tree.setText(m, Attr::name, set.GetName(VariableSet::KeepCase).c_str());
    placeUnderRoot(root, m, Tag::multipleResponseSet,
                   {Tag::multipleResponseSet, Tag::variableSet, Tag::valueLabelSet,
                    Tag::weightVariable, Tag::variable});
    if (set.GetType() == VariableSet::DichotomySet) {
        appendWord(m, Tag::multipleResponseSetCategoryLabels,
                   set.qUseVariableCategoryLabels() ? u"countedValues" : u"variableLabels");
        const std::string counted = set.GetValue();
        if (!counted.empty())
            appendText(m, Tag::multipleResponseSetDichotomy, Attr::value, counted.c_str());
    }
    if (set.qLabelSetByVariable()) {
        appendWord(m, Tag::multipleResponseSetLabelSource, u"variableLabel");
    } else {
        const std::string label = set.GetLabel();
        if (!label.empty())
            appendText(m, Tag::multipleResponseSetLabel, Attr::value, label.c_str());
    }
    return addMembers(set, source, m, Tag::multipleResponseSetVariable);
}

#define TRANSSPACE_SET_SECTIONS(Tree)                                                             \
    template int DictionarySections<Tree>::addMembers(const VariableSet&, const VORN_DataSource&, \
                                                      Tree::Element, Tag);                        \
    template unsigned DictionarySections<Tree>::addVariableSets(const VORN_DataSource&,           \
                                                                Tree::Element);                   \
    template int DictionarySections<Tree>::addVariableSet(const VariableSet&,                     \
                                                          const VORN_DataSource&, Tree::Element); \
    template unsigned DictionarySections<Tree>::addMultipleResponseSets(const VORN_DataSource&,   \
                                                                        Tree::Element);           \
    template int DictionarySections<Tree>::addMultipleResponseSet(                                \
        const VariableSet&, const VORN_DataSource&, Tree::Element);
TRANSSPACE_SET_SECTIONS(DomTree)
TRANSSPACE_SET_SECTIONS(StoreTree)
