// What document values share: the compact store of the document, which never
// changes once a value holds it, the query view derived from it, and the DOM
// made from it when first asked for. Values and their clones hold the core
// through a shared pointer (its count of owners is atomic), so a clone costs
// no copy, and two values sharing one core may be used from two threads at
// once: what is made on demand is made once, under a lock, and never changes
// afterwards.
#ifndef TRANSSPACE_VALUE_DOCUMENTCORE_H
#define TRANSSPACE_VALUE_DOCUMENTCORE_H

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xercesc/dom/DOMDocument.hpp>

#include "value/xpath/AttributeIndex.h"
#include "value/xpath/EmptyDocumentRoot.h"
#include "value/xpath/StoreView.h"

class XPathEngine;
class DocumentStore;

class DocumentCore {
public:
    // Takes store over; null stands for an empty store.
    explicit DocumentCore(std::unique_ptr<DocumentStore> store);
    ~DocumentCore();
    DocumentCore(const DocumentCore&) = delete;
    DocumentCore& operator=(const DocumentCore&) = delete;

    const DocumentStore& store() const { return *compact; }

    // The DOM document the store stands for, made on the first call, once,
    // whichever thread asks first, and kept while the core lives: the same
    // pointer on every call. Exceptions of the DOM pass to the caller and
    // the next call tries again. Nothing may change the document.
    XERCES_CPP_NAMESPACE::DOMDocument* dom() const;

    // What queries run on: Xalan's interfaces over the store, showing
    // exactly the nodes of the DOM, the node queries start from, and a
    // prefix resolver over the document's namespace declarations. Built on
    // first use, once, whichever thread asks first; exceptions of the build
    // pass to the caller. Tree null only where StoreView::build says.
    struct QueryView {
        std::unique_ptr<StoreView> tree;
        std::unique_ptr<EmptyDocumentRoot> emptyRoot;  // for a document without an element
        std::unique_ptr<XALAN_CPP_NAMESPACE::XalanDocumentPrefixResolver> resolver;
        XALAN_CPP_NAMESPACE::XalanNode* root = nullptr;
    };
    const QueryView& queryView() const;

    // The index of path's attribute over path's elements on the query view,
    // built with engine on first need and kept, unchanged, while the core
    // lives. Null when the path is not indexed: the document has no
    // element, the processor refuses the path, or the document already
    // holds maxIndexes; the query then goes to the processor.
    const AttributeIndex* attributeIndex(const IndexedPath& path, XPathEngine& engine) const;

    // The index that attributeIndex keeps, made anew on view; null where
    // attributeIndex gives none. Exceptions of the processor pass through.
    static std::unique_ptr<const AttributeIndex> makeIndex(const QueryView& view,
                                                           const IndexedPath& path,
                                                           XPathEngine& engine);

    // A bound on the indexes of one document, so that a stream of
    // different paths cannot grow it without end.
    static constexpr std::size_t maxIndexes = 64;

    // The number of element levels of the document, counted on first use.
    std::size_t depth() const;

private:
    const std::unique_ptr<const DocumentStore> compact;
    // The DOM: read without the lock once made, made under it.
    mutable std::mutex domLock;
    mutable std::atomic<XERCES_CPP_NAMESPACE::DOMDocument*> document{nullptr};
    mutable std::once_flag viewBuilt;
    mutable QueryView view;
    mutable std::once_flag depthCounted;
    mutable std::size_t elementDepth = 0;
    // Values sharing the core may be queried from two threads at once.
    mutable std::mutex indexLock;
    mutable std::map<std::u16string, std::unique_ptr<const AttributeIndex>> indexes;
};

#endif
