#include "value/xpath/DocumentCore.h"

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>

#include "value/xpath/CompiledXPath.h"
#include "value/xpath/DocumentDepth.h"
#include "value/xpath/XPathEngine.h"

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

DocumentCore::DocumentCore(DOMDocument* document) : document(document) {}

DocumentCore::~DocumentCore() {
    indexes.clear();  // points into the view
    view = QueryView();
    delete document;
}

const DocumentCore::QueryView& DocumentCore::queryView() const {
    std::call_once(viewBuilt, [this] {
        QueryView built;
        built.tree = SourceTree::build(document);
        if (!built.tree) {
            view = std::move(built);
            return;
        }
        xalan::XalanSourceTreeDocument& tree = built.tree->document();
        if (tree.getDocumentElement() == nullptr) {
            built.emptyRoot.reset(new EmptyDocumentRoot);
            built.root = &built.emptyRoot->fragment;
        } else {
            built.root = &tree;
        }
        built.resolver.reset(new xalan::XalanDocumentPrefixResolver(
            &tree, xalan::XalanDOMString(),
            xalan::XalanMemMgrs::getDefaultXercesMemMgr()));
        view = std::move(built);
    });
    return view;
}

std::size_t DocumentCore::depth() const {
    std::call_once(depthCounted, [this] { elementDepth = documentDepth(document); });
    return elementDepth;
}

std::unique_ptr<const AttributeIndex> DocumentCore::makeIndex(const QueryView& view,
                                                             const std::u16string& attributePath,
                                                             XPathEngine& engine) {
    if (!view.tree || view.root != &view.tree->document()) return nullptr;
    const CompiledXPath path(attributePath.c_str(), *view.resolver);
    xalan::XalanSourceTreeDOMSupport domSupport;
    const xalan::XObjectPtr nodes =
        engine.evaluate(domSupport, view.root, path.xpath(), *view.resolver);
    if (nodes.get() == nullptr || nodes->getType() != xalan::XObject::eTypeNodeSet)
        return nullptr;
    return std::unique_ptr<const AttributeIndex>(new AttributeIndex(nodes->nodeset()));
}

const AttributeIndex* DocumentCore::attributeIndex(const std::u16string& attributePath,
                                                   XPathEngine& engine) const {
    const QueryView& built = queryView();
    if (!built.tree || built.root != &built.tree->document()) return nullptr;
    const std::lock_guard<std::mutex> lock(indexLock);
    const auto found = indexes.find(attributePath);
    if (found != indexes.end()) return found->second.get();
    if (indexes.size() >= maxIndexes) return nullptr;
    std::unique_ptr<const AttributeIndex> index;
    try {
        index = makeIndex(built, attributePath, engine);
    } catch (...) {
        // A prefix the document does not declare, in practice: the
        // processor gives the query its answer. Remembered as not indexed.
        index.reset();
    }
    return indexes.emplace(attributePath, std::move(index)).first->second.get();
}
