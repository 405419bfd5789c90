// Builds the XML dictionary document of a data source: one DOM document whose
// root `dictionary` holds the variables, the weight variable, the value-label
// sets, the variable sets, the multiple-response sets, the data source's own
// custom attributes and its extension records, in that order. What build
// returns belongs to the caller; the builder never frees it. One builder
// serves one build on one thread, and only while the XML runtime is up.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYBUILDER_H
#define TRANSSPACE_DICTIONARY_DICTIONARYBUILDER_H

#include <initializer_list>
#include <string>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "VornAttributes.h"
#include "VornDataSource.h"
#include "VornVariable.h"
#include "VornVariableSet.h"
#include "dictionary/DictionaryText.h"

class DictionaryBuilder {
public:
    using DOMDocument = XERCES_CPP_NAMESPACE::DOMDocument;
    using DOMElement = XERCES_CPP_NAMESPACE::DOMElement;
    using DOMNode = XERCES_CPP_NAMESPACE::DOMNode;

    // How section elements find their place. Both give the same document.
    // remembered keeps the last element of each kind placed under the root,
    // and looks only among the few children of an unfinished variable, so a
    // build is linear in the size of the dictionary. literal runs every
    // lookup through insertAfterLast over the whole tree, which rescans the
    // document at each insertion (quadratic and worse); it exists to check
    // the remembered placement against.
    enum class Placement { remembered, literal };

    DictionaryBuilder();
    explicit DictionaryBuilder(Placement placement);
    DictionaryBuilder(const DictionaryBuilder&) = delete;
    DictionaryBuilder& operator=(const DictionaryBuilder&) = delete;
    ~DictionaryBuilder() = default;  // the document belongs to whoever build gave it to

    // Builds the whole document and returns it; null, without reading the
    // data source, when the document could not be created. Call once.
    // Exceptions of the XML library, the data-source library and allocation
    // after the document exists pass to the caller.
    DOMDocument* build(const VORN_DataSource& source);
    // Creates the document and its root with the namespace attributes; false,
    // leaving no document, when any step throws.
    bool createDictionaryDocument();
    // Inserts newChild into parent directly after the last descendant element
    // named tagName and returns what insertBefore returns; null, inserting
    // nothing, when parent has no such descendant. Meant for tags of parent's
    // own children, the only ones the sections name: after a deeper element
    // the node goes to parent's end, or insertBefore throws (NOT_FOUND_ERR)
    // when that element has a following sibling.
    DOMNode* insertAfterLast(DOMElement* parent, DOMNode* newChild, const XMLCh* tagName);

    // The sections, in the order build runs them. Each takes the root.
    unsigned addVariables(const VORN_DataSource& source, DOMElement* root);
    bool addFormatAttributes(DOMElement* e, VORN_Variable::FormatType code, int width,
                             int decimals);
    bool addWriteFormat(const VORN_Variable& v, DOMElement* variableElement);
    int addMissingValues(const VORN_Variable& v, DOMElement* variableElement);
    bool addValueLabels(const VORN_Variable& v, DOMElement* root);
    bool addWeightVariable(const VORN_DataSource& source, DOMElement* root);
    unsigned addVariableSets(const VORN_DataSource& source, DOMElement* root);
    int addVariableSet(const VariableSet& set, const VORN_DataSource& source, DOMElement* root);
    unsigned addMultipleResponseSets(const VORN_DataSource& source, DOMElement* root);
    int addMultipleResponseSet(const VariableSet& set, const VORN_DataSource& source,
                               DOMElement* root);
    bool addFileAttributes(const VORN_DataSource& source, DOMElement* root);
    bool addVariableAttributes(const VORN_Variable& v, DOMElement* variableElement);
    // The attributeSet element, not yet in the tree; null for an empty collection.
    DOMElement* makeAttributeSet(const DatasourceAttributes& attributes);
    bool addAttribute(const std::string& name, const std::vector<std::string>& values,
                      DOMElement* set);
    unsigned addExtensions(const VORN_DataSource& source, DOMElement* root);

private:
    // The children of `dictionary` that later sections place themselves after,
    // in document order.
    enum RootKind {
        kindVariable,
        kindWeightVariable,
        kindValueLabelSet,
        kindVariableSet,
        kindMultipleResponseSet,
        rootKindCount
    };

    // Places e under root after the last element of the first kind of chain
    // (nearest first) that exists, else as root's first child. e is of kind
    // own (rootKindCount for the data source's attributeSet).
    void placeUnderRoot(DOMElement* root, DOMElement* e, RootKind own,
                        std::initializer_list<RootKind> chain);
    // The same inside an unfinished element (a variable, a value-label set),
    // whose few children are all that the lookup has to see.
    void placeInside(DOMElement* parent, DOMElement* e, std::initializer_list<const XMLCh*> chain);
    DOMElement* element(const XMLCh* tagName);

    DOMDocument* document;
    Placement placement;
    DOMElement* lastUnderRoot[rootKindCount];
    NumberTexts numbers;
};

#endif
