// Construction, copy and destruction of document values, and the slots that
// need neither XML text nor XPath.
#include "value/TransDOMImpl.h"

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "dictionary/DictionaryBuilder.h"
#include "value/EmptyDocumentRoot.h"
#include "value/Refusal.h"

XERCES_CPP_NAMESPACE_USE
using XALAN_CPP_NAMESPACE::XalanMemMgrs;
using XALAN_CPP_NAMESPACE::XercesParserLiaison;
using XALAN_CPP_NAMESPACE::XPathEvaluator;

TransDOMImpl::TransDOMImpl(const DOMDocument* source)
    : document(nullptr), liaison(nullptr), xalanDocument(nullptr), evaluator(nullptr) {
    try {
        createXalanObjects();
        copyDocument(source);
        createXalanView();
    } catch (...) {
        destroy();
        throw;
    }
}

TransDOMImpl::TransDOMImpl(const VORN_DataSource& source)
    : document(nullptr), liaison(nullptr), xalanDocument(nullptr), evaluator(nullptr) {
    try {
        createXalanObjects();
        {
            DictionaryBuilder builder;
            document = builder.build(source);
        }
        // Queries and serialisation need a document; one that could not be
        // created reads as an empty one.
        if (document == nullptr) copyDocument(nullptr);
        createXalanView();
    } catch (...) {
        destroy();
        throw;
    }
}

TransDOMImpl::TransDOMImpl(const TransDOMImpl& other)
    : TransValueImpl(other),
      document(nullptr),
      liaison(nullptr),
      xalanDocument(nullptr),
      evaluator(nullptr) {
    try {
        createXalanObjects();
        copyDocument(other.document);
        createXalanView();
    } catch (...) {
        destroy();
        throw;
    }
}

TransDOMImpl::~TransDOMImpl() { destroy(); }

void TransDOMImpl::destroy() noexcept {
    // The liaison takes its Xalan view with it, and the view must go before
    // the DOM document it wraps; the liaison never frees that document.
    emptyRoot.reset();
    delete liaison;
    liaison = nullptr;
    xalanDocument = nullptr;
    delete evaluator;
    evaluator = nullptr;
    delete document;
    document = nullptr;
}

void TransDOMImpl::createXalanObjects() {
    liaison = new XercesParserLiaison(XalanMemMgrs::getDefaultXercesMemMgr());
    liaison->setBuildWrapperNodes(true);
    liaison->setThreadSafe(true);
    evaluator = new XPathEvaluator(XalanMemMgrs::getDefaultXercesMemMgr());
}

void TransDOMImpl::copyDocument(const DOMDocument* source) {
    document = DOMImplementation::getImplementation()->createDocument(
        XMLPlatformUtils::fgMemoryManager);
    const DOMElement* root = source != nullptr ? source->getDocumentElement() : nullptr;
    if (root == nullptr) return;
    // A deep importNode recurses once per level and overflows the stack on
    // documents some tens of thousands of elements deep, which the parser
    // accepts; node by node the copy is the same at any depth. The checks
    // that each append runs climb to the root, so they are off meanwhile.
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
}

void TransDOMImpl::createXalanView() {
    xalanDocument = liaison->createDocument(document, liaison->getThreadSafe(),
                                            liaison->getBuildWrapperNodes(),
                                            liaison->getBuildMaps());
    if (document->getDocumentElement() == nullptr) emptyRoot.reset(new EmptyDocumentRoot);
}

XALAN_CPP_NAMESPACE::XalanNode* TransDOMImpl::queryRoot() const {
    if (emptyRoot) return &emptyRoot->fragment;
    return xalanDocument;
}

TransValueImpl* TransDOMImpl::clone() const { return new TransDOMImpl(*this); }

double TransDOMImpl::asDouble(TransStatus& st) const { return refuseDouble(st); }

const XALAN_CPP_NAMESPACE::XalanDocument* TransDOMImpl::asXalanDocument(TransStatus& st) const {
    st.reset();
    return xalanDocument;
}
