// Construction, sharing and destruction of document values, and the slots
// that need neither XML text nor XPath.
#include "value/TransDOMImpl.h"

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "dictionary/DictionaryStore.h"
#include "value/Refusal.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/XPathEngine.h"

XERCES_CPP_NAMESPACE_USE
using XALAN_CPP_NAMESPACE::XalanMemMgrs;
using XALAN_CPP_NAMESPACE::XercesParserLiaison;

namespace {

std::shared_ptr<const DocumentCore> adopt(DOMDocument* document) {
    try {
        return std::make_shared<const DocumentCore>(document);
    } catch (...) {
        delete document;
        throw;
    }
}

}  // namespace

TransDOMImpl::TransDOMImpl(const DOMDocument* source)
    : core(adopt(copyDocument(source))),
      liaison(nullptr),
      xalanDocument(nullptr),
      evaluator(new XPathEngine) {}

// Queries and serialisation need a document; one that could not be created
// reads as an empty one.
TransDOMImpl::TransDOMImpl(const VORN_DataSource& source)
    : TransDOMImpl([&source] {
          std::unique_ptr<DocumentStore> store = buildDictionaryStore(source);
          if (!store) store.reset(new DocumentStore);
          return store;
      }()) {}

TransDOMImpl::TransDOMImpl(std::unique_ptr<DocumentStore> store)
    : core(adopt(store->makeDom())),
      liaison(nullptr),
      xalanDocument(nullptr),
      evaluator(new XPathEngine) {}

TransDOMImpl::TransDOMImpl(const TransDOMImpl& other)
    : TransValueImpl(other),
      core(other.core),
      liaison(nullptr),
      xalanDocument(nullptr),
      evaluator(new XPathEngine) {}

TransDOMImpl::~TransDOMImpl() {
    // The liaison takes its Xalan view with it, and the view must go before
    // the DOM document it wraps, which the core frees with its last owner.
    delete liaison;
    delete evaluator;
}

DOMDocument* TransDOMImpl::copyDocument(const DOMDocument* source) {
    DOMDocument* document =
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager);
    const DOMElement* root = source != nullptr ? source->getDocumentElement() : nullptr;
    if (root == nullptr) return document;
    try {
        // A deep importNode recurses once per level and overflows the stack
        // on documents some tens of thousands of elements deep, which the
        // parser accepts; node by node the copy is the same at any depth. The
        // checks that each append runs climb to the root, so they are off
        // meanwhile.
        document->setStrictErrorChecking(false);
        DOMNode* copy = document;
        const DOMNode* node = root;
        for (;;) {
            const bool descend =
                node->getNodeType() != DOMNode::ENTITY_REFERENCE_NODE && node->hasChildNodes();
            DOMNode* imported = copy->appendChild(document->importNode(node, !descend));
            if (descend) {
                copy = imported;
                node = node->getFirstChild();
                continue;
            }
            while (node != root && node->getNextSibling() == nullptr) {
                node = node->getParentNode();
                copy = copy->getParentNode();
            }
            if (node == root) break;
            node = node->getNextSibling();
        }
        document->setStrictErrorChecking(true);
    } catch (...) {
        // A node the DOM refuses to create, such as a name whose characters
        // the parser accepted but the DOM's own name check does not: the
        // value holds an empty document, as for a null source, rather than
        // throw into the host.
        delete document;
        return copyDocument(nullptr);
    }
    return document;
}

TransValueImpl* TransDOMImpl::clone() const { return new TransDOMImpl(*this); }

double TransDOMImpl::asDouble(TransStatus& st) const { return refuseDouble(st); }

const XALAN_CPP_NAMESPACE::XalanDocument* TransDOMImpl::asXalanDocument(TransStatus& st) const {
    st.reset();
    if (xalanDocument != nullptr) return xalanDocument;
    try {
        // Made with the settings every value's view has: wrapper nodes and
        // thread safety on, node maps as the liaison defaults them.
        liaison = new XercesParserLiaison(XalanMemMgrs::getDefaultXercesMemMgr());
        liaison->setBuildWrapperNodes(true);
        liaison->setThreadSafe(true);
        xalanDocument =
            liaison->createDocument(core->dom(), liaison->getThreadSafe(),
                                    liaison->getBuildWrapperNodes(), liaison->getBuildMaps());
    } catch (...) {
        // Out of memory, in practice: no view, and the next call tries again.
        delete liaison;
        liaison = nullptr;
        xalanDocument = nullptr;
        return refuseDocument(st);
    }
    return xalanDocument;
}
