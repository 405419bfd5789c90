// What queries run on: Xalan's DOM interfaces implemented directly over a
// document's compact store. Each node of the store that the query tree shows
// has one small object (its vtables, the view and its store id, its number in
// document order), made when the view is built; structure, names and values
// are read from the store. The tree it presents is node for node the one
// Xalan's own source tree holds for the equivalent DOM (the same node types,
// names, namespace parts, attribute order, values and numbers; the tests
// compare the two), at a fraction of its memory.
//
// A node's value (an attribute's, a text's, a comment's or an instruction's)
// is handed out as a string that lives as long as the view; it is made on its
// first request and kept, so that a view never holds strings no query asked
// for. Built once; read afterwards from any number of threads (the first
// request of a value takes a lock).
#ifndef TRANSSPACE_VALUE_XPATH_STOREVIEW_H
#define TRANSSPACE_VALUE_XPATH_STOREVIEW_H

#include <cstddef>
#include <memory>

#include <xalanc/XalanDOM/XalanDocument.hpp>

class DocumentStore;

class StoreView {
public:
    // The view of store, which must outlive it and not change. Null for an
    // entity reference with children, whose text belongs to its parent's
    // string value. Throws what Xalan's source tree throws for a document
    // with two elements at its top.
    static std::unique_ptr<StoreView> build(const DocumentStore& store);

    ~StoreView();
    StoreView(const StoreView&) = delete;
    StoreView& operator=(const StoreView&) = delete;

    XALAN_CPP_NAMESPACE::XalanDocument& document();

    // Bytes held by the nodes, the names and the values made so far, for the
    // benchmarks.
    std::size_t memory() const;

    struct Data;

private:
    StoreView();

    std::unique_ptr<Data> data;
};

#endif
