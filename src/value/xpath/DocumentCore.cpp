#include "value/xpath/DocumentCore.h"

#include <vector>

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>

#include "value/store/DocumentStore.h"
#include "value/xpath/CompiledXPath.h"
#include "value/xpath/XPathEngine.h"

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

DocumentCore::DocumentCore(std::unique_ptr<DocumentStore> store)
    : compact(store ? std::move(store) : std::unique_ptr<DocumentStore>(new DocumentStore)) {}

DocumentCore::~DocumentCore() {
    indexes.clear();  // points into the view
    view = QueryView();
    delete document.load();
}

DOMDocument* DocumentCore::dom() const {
    DOMDocument* made = document.load(std::memory_order_acquire);
    if (made != nullptr) return made;
    const std::lock_guard<std::mutex> lock(domLock);
    made = document.load(std::memory_order_relaxed);
    if (made == nullptr) {
        made = compact->makeDom();
        document.store(made, std::memory_order_release);
    }
    return made;
}

const DocumentCore::QueryView& DocumentCore::queryView() const {
    std::call_once(viewBuilt, [this] {
        QueryView built;
        built.tree = StoreView::build(store());
        if (!built.tree) {
            view = std::move(built);
            return;
        }
        xalan::XalanDocument& tree = built.tree->document();
        if (tree.getDocumentElement() == nullptr) {
            built.emptyRoot.reset(new EmptyDocumentRoot);
            built.root = &built.emptyRoot->fragment;
        } else {
            built.root = &tree;
        }
        built.resolver.reset(new xalan::XalanDocumentPrefixResolver(
            &tree, xalan::XalanDOMString(), xalan::XalanMemMgrs::getDefaultXercesMemMgr()));
        view = std::move(built);
    });
    return view;
}

std::size_t DocumentCore::depth() const {
    std::call_once(depthCounted, [this] { elementDepth = compact->depth(); });
    return elementDepth;
}

std::unique_ptr<const AttributeIndex> DocumentCore::makeIndex(const QueryView& view,
                                                              const IndexedPath& path,
                                                              XPathEngine& engine) {
    if (!view.tree || view.root != &view.tree->document()) return nullptr;
    xalan::XalanSourceTreeDOMSupport domSupport;
    const CompiledXPath elementPath(path.elementPath.c_str(), *view.resolver);
    const CompiledXPath attribute(path.attribute.c_str(), *view.resolver);
    std::vector<xalan::XalanNode*> elements;
    {
        const xalan::XObjectPtr nodes =
            engine.evaluate(domSupport, view.root, elementPath.xpath(), *view.resolver);
        if (nodes.get() == nullptr || nodes->getType() != xalan::XObject::eTypeNodeSet)
            return nullptr;
        const xalan::NodeRefListBase& list = nodes->nodeset();
        elements.reserve(list.getLength());
        for (xalan::NodeRefListBase::size_type i = 0; i < list.getLength(); ++i)
            elements.push_back(list.item(i));
    }
    std::vector<AttributeIndex::Entry> entries;
    entries.reserve(elements.size());
    for (xalan::XalanNode* element : elements) {
        const xalan::XObjectPtr nodes =
            engine.evaluate(domSupport, element, attribute.xpath(), *view.resolver);
        const xalan::NodeRefListBase& list = nodes->nodeset();
        for (xalan::NodeRefListBase::size_type i = 0; i < list.getLength(); ++i) {
            // Attribute values live in the tree, as long as the index.
            const xalan::XalanDOMString& value = list.item(i)->getNodeValue();
            entries.push_back({std::u16string_view(value.c_str(), value.length()), element});
        }
    }
    return std::unique_ptr<const AttributeIndex>(new AttributeIndex(entries));
}

const AttributeIndex* DocumentCore::attributeIndex(const IndexedPath& path,
                                                   XPathEngine& engine) const {
    const QueryView& built = queryView();
    if (!built.tree || built.root != &built.tree->document()) return nullptr;
    const std::u16string key = path.key();
    const std::lock_guard<std::mutex> lock(indexLock);
    const auto found = indexes.find(key);
    if (found != indexes.end()) return found->second.get();
    if (indexes.size() >= maxIndexes) return nullptr;
    std::unique_ptr<const AttributeIndex> index;
    try {
        index = makeIndex(built, path, engine);
    } catch (...) {
        // A prefix the document does not declare, in practice: the
        // processor gives the query its answer. Remembered as not indexed.
        index.reset();
    }
    return indexes.emplace(key, std::move(index)).first->second.get();
}
