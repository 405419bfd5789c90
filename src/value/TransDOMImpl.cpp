// Construction, sharing and destruction of document values, and the slots
// that need neither XML text nor XPath.
#include "value/TransDOMImpl.h"

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/dom/DOMDocument.hpp>

#include "dictionary/DictionaryStore.h"
#include "value/Refusal.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/XPathEngine.h"

XERCES_CPP_NAMESPACE_USE
using XALAN_CPP_NAMESPACE::XalanMemMgrs;
using XALAN_CPP_NAMESPACE::XercesParserLiaison;

TransDOMImpl::TransDOMImpl(const DOMDocument* source)
    : core(std::make_shared<const DocumentCore>(DocumentStore::fromDom(source))),
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
    : core(std::make_shared<const DocumentCore>(std::move(store))),
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

TransValueImpl* TransDOMImpl::clone() const { return new TransDOMImpl(*this); }

double TransDOMImpl::asDouble(TransStatus& st) const { return refuseDouble(st); }

const XALAN_CPP_NAMESPACE::XalanDocument* TransDOMImpl::asXalanDocument(TransStatus& st) const {
    st.reset();
    XALAN_CPP_NAMESPACE::XalanDocument* view = xalanDocument.load(std::memory_order_acquire);
    if (view != nullptr) return view;
    // Two threads asking at once get one view: the second waits for the first.
    const std::lock_guard<std::mutex> lock(viewLock);
    view = xalanDocument.load(std::memory_order_relaxed);
    if (view != nullptr) return view;
    try {
        DOMDocument* document = core->dom();
        // Made with the settings every value's view has: wrapper nodes and
        // thread safety on, node maps as the liaison defaults them.
        liaison = new XercesParserLiaison(XalanMemMgrs::getDefaultXercesMemMgr());
        liaison->setBuildWrapperNodes(true);
        liaison->setThreadSafe(true);
        view = liaison->createDocument(document, liaison->getThreadSafe(),
                                       liaison->getBuildWrapperNodes(), liaison->getBuildMaps());
    } catch (...) {
        // Out of memory, in practice: no view, and the next call tries again.
        delete liaison;
        liaison = nullptr;
        return refuseDocument(st);
    }
    xalanDocument.store(view, std::memory_order_release);
    return view;
}
