// The dictionary document's sections, written once over a tree (see
// DictionaryTree.h): DictionaryBuilder builds a DOM document with them, and
// buildDictionaryStore the compact store. Each section sets an element's
// attributes in the order the DOM keeps them (by name), so that the store
// appends every one; the DOM orders them itself either way. One object
// serves one build on one thread, and only while the XML runtime is up.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYSECTIONS_H
#define TRANSSPACE_DICTIONARY_DICTIONARYSECTIONS_H

#include <initializer_list>
#include <string>
#include <vector>

#include "VornAttributes.h"
#include "VornDataSource.h"
#include "VornVariable.h"
#include "VornVariableSet.h"
#include "dictionary/DictionaryTree.h"

template <class Tree>
class DictionarySections {
public:
    using Element = typename Tree::Element;

    DictionarySections() = default;
    DictionarySections(const DictionarySections&) = delete;
    DictionarySections& operator=(const DictionarySections&) = delete;

    // Builds the whole document and returns it; null, without reading the
    // data source, when the document could not be created. Call once.
    // Exceptions of the XML library, the data-source library and allocation
    // after the document exists pass to the caller.
    typename Tree::Result build(const VORN_DataSource& source);
    // Creates the document and its root with the namespace attributes; false,
    // leaving no document, when any step throws.
    bool createDictionaryDocument();

    // The sections, in the order build runs them. Each takes the root.
    unsigned addVariables(const VORN_DataSource& source, Element root);
    bool addFormatAttributes(Element e, VORN_Variable::FormatType code, int width, int decimals);
    bool addWriteFormat(const VORN_Variable& v, Element variableElement);
    int addMissingValues(const VORN_Variable& v, Element variableElement);
    bool addValueLabels(const VORN_Variable& v, Element root);
    bool addWeightVariable(const VORN_DataSource& source, Element root);
    unsigned addVariableSets(const VORN_DataSource& source, Element root);
    int addVariableSet(const VariableSet& set, const VORN_DataSource& source, Element root);
    unsigned addMultipleResponseSets(const VORN_DataSource& source, Element root);
    int addMultipleResponseSet(const VariableSet& set, const VORN_DataSource& source, Element root);
    bool addFileAttributes(const VORN_DataSource& source, Element root);
    bool addVariableAttributes(const VORN_Variable& v, Element variableElement);
    // The attributeSet element, not yet in the tree; none for an empty collection.
    Element makeAttributeSet(const DatasourceAttributes& attributes);
    bool addAttribute(const std::string& name, const std::vector<std::string>& values, Element set);
    unsigned addExtensions(const VORN_DataSource& source, Element root);

protected:
    Tree tree;

private:
    // The last element of each kind placed under one parent. Every placement
    // keeps a parent's children sorted by kind, so the newest element of a
    // kind is its last one, unless it was placed by a chain that does not
    // start at its own kind: then the earlier ones stay after it.
    struct Placed {
        Element parent = Tree::none;
        Element last[tagCount];
        void reset(Element p) {
            parent = p;
            for (Element& e : last) e = Tree::none;
        }
    };

    // Places e (of kind own) under root after the last element of the first
    // kind of chain (nearest first) that exists, else as root's first child.
    void placeUnderRoot(Element root, Element e, Tag own, std::initializer_list<Tag> chain);
    // The same inside an unfinished element (a variable, a value-label set):
    // only its own children are looked at.
    void placeInside(Element parent, Element e, Tag own, std::initializer_list<Tag> chain);
    void placeRemembered(Placed& placed, Element e, Tag own, std::initializer_list<Tag> chain);
    void placeByLookup(Element parent, Element e, std::initializer_list<Tag> chain, bool deep);
    // Appends e as parent's last child.
    void appendTo(Element parent, Element e, Tag own);
    // A new element with one attribute, appended to parent.
    void appendWord(Element parent, Tag tag, const char16_t* value);
    void appendText(Element parent, Tag tag, Attr attr, const char* mbcs);
    int addMembers(const VariableSet& set, const VORN_DataSource& source, Element parent, Tag tag);

    Element root = Tree::none;
    Placed underRoot;
    Placed inside;
};

#endif
