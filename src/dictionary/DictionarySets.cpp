// Plain variable sets and multiple-response sets.
#include <string>
#include <vector>

#include "dictionary/DictionaryBuilder.h"
#include "dictionary/DictionaryText.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// Appends one member element per name the data source knows, spelled as the
// data source spells it; returns how many it wrote.
int addMembers(DOMDocument* document, const VariableSet& set, const VORN_DataSource& source,
               DOMElement* parent, const XMLCh* tagName) {
    int written = 0;
    for (const std::string& name : set.GetVariableNames(VariableSet::KeepCase)) {
        const int k = source.FindVarIndex(name.c_str(), 0);
        if (k < 0) continue;
        DOMElement* member = document->createElement(tagName);
        setTextAttribute(member, u"name", source.GetVariable(k).GetName());
        parent->appendChild(member);
        ++written;
    }
    return written;
}

void appendValueElement(DOMDocument* document, DOMElement* parent, const XMLCh* tagName,
                        const XMLCh* value) {
    DOMElement* e = document->createElement(tagName);
    e->setAttribute(u"value", value);
    parent->appendChild(e);
}

void appendTextValueElement(DOMDocument* document, DOMElement* parent, const XMLCh* tagName,
                            const std::string& value) {
    DOMElement* e = document->createElement(tagName);
    setTextAttribute(e, u"value", value);
    parent->appendChild(e);
}

}  // namespace

unsigned DictionaryBuilder::addVariableSets(const VORN_DataSource& source, DOMElement* root) {
    const std::vector<VariableSet> sets = VariableSets(source, PlainVariableSets);
    for (const VariableSet& set : sets) addVariableSet(set, source, root);
    return static_cast<unsigned>(sets.size());
}

int DictionaryBuilder::addVariableSet(const VariableSet& set, const VORN_DataSource& source,
                                      DOMElement* root) {
    DOMElement* s = element(u"variableSet");
    setTextAttribute(s, u"name", set.GetName(VariableSet::KeepCase));
    placeUnderRoot(root, s, kindVariableSet,
                   {kindVariableSet, kindValueLabelSet, kindWeightVariable, kindVariable});
    return addMembers(document, set, source, s, u"variableSetVariable");
}

unsigned DictionaryBuilder::addMultipleResponseSets(const VORN_DataSource& source,
                                                    DOMElement* root) {
    const std::vector<VariableSet> sets = VariableSets(source, MultipleResponseSets);
    for (const VariableSet& set : sets) addMultipleResponseSet(set, source, root);
    return static_cast<unsigned>(sets.size());
}

int DictionaryBuilder::addMultipleResponseSet(const VariableSet& set, const VORN_DataSource& source,
                                              DOMElement* root) {
    DOMElement* m = element(u"multipleResponseSet");
    setTextAttribute(m, u"name", set.GetName(VariableSet::KeepCase));
    placeUnderRoot(root, m, kindMultipleResponseSet,
                   {kindMultipleResponseSet, kindVariableSet, kindValueLabelSet, kindWeightVariable,
                    kindVariable});
    if (set.GetType() == VariableSet::DichotomySet) {
        appendValueElement(document, m, u"multipleResponseSetCategoryLabels",
                           set.qUseVariableCategoryLabels() ? u"countedValues" : u"variableLabels");
        const std::string counted = set.GetValue();
        if (!counted.empty())
            appendTextValueElement(document, m, u"multipleResponseSetDichotomy", counted);
    }
    if (set.qLabelSetByVariable()) {
        appendValueElement(document, m, u"multipleResponseSetLabelSource", u"variableLabel");
    } else {
        const std::string label = set.GetLabel();
        if (!label.empty()) appendTextValueElement(document, m, u"multipleResponseSetLabel", label);
    }
    return addMembers(document, set, source, m, u"multipleResponseSetVariable");
}
