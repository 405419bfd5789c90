#include "value/xpath/DocumentCore.h"

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>

#include "value/xpath/DocumentDepth.h"

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

DocumentCore::DocumentCore(DOMDocument* document) : document(document) {}

DocumentCore::~DocumentCore() {
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
