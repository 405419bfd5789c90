// Xalan's source tree of a document store, made in one linear walk: what
// queries ran on before StoreView, kept as the tests' and benchmarks' oracle
// for it.
//
// The tree document's own factory functions pool every attribute value in a
// hash table of fixed size and place attribute arrays by a best-fit search
// over all earlier blocks; both grow with the document, so a dictionary of
// 100,000 variables took seconds there. The nodes here are the same classes,
// numbered in the same order, made from storage that costs the same at any
// size; the tree document only links them.
#ifndef TRANSSPACE_TESTS_SOURCETREE_H
#define TRANSSPACE_TESTS_SOURCETREE_H

#include <cstddef>
#include <memory>

#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>

class DocumentStore;

class SourceTree {
public:
    // One node per node of the DOM document the store stands for, in
    // document order, with the same names, namespace URIs, attributes,
    // values and node types (CDATA sections and entity references included);
    // adjacent texts stay separate nodes. The tree keeps no reference to the
    // store. Exceptions are those of allocation.
    static std::unique_ptr<SourceTree> build(const DocumentStore& store);

    ~SourceTree();
    SourceTree(const SourceTree&) = delete;
    SourceTree& operator=(const SourceTree&) = delete;

    XALAN_CPP_NAMESPACE::XalanSourceTreeDocument& document() { return *tree; }

    // Bytes held by the nodes and their strings, for the benchmarks.
    std::size_t memory() const;

    struct Storage;

private:
    SourceTree();

    std::unique_ptr<Storage> storage;  // the nodes and their strings
    std::unique_ptr<XALAN_CPP_NAMESPACE::XalanSourceTreeDocument> tree;
};

#endif
