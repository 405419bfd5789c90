// A document value: its own copy of an XML document, held as a compact store,
// with what the XPath processor needs to read it. It never changes after
// construction, so a clone shares the store, its query view and the DOM made
// from it instead of copying them; each value keeps its own evaluator and its
// own Xalan view for asXalanDocument. Every XML object here needs the XML
// runtime, so a document value lives only while a TransSpace exists.
#ifndef TRANSSPACE_VALUE_TRANSDOMIMPL_H
#define TRANSSPACE_VALUE_TRANSDOMIMPL_H

#include <atomic>
#include <memory>
#include <mutex>

#include "value/TransValueImpl.h"
#include "value/xpath/DocumentCore.h"
#include "value/xpath/XPathAnswer.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

namespace XALAN_CPP_NAMESPACE {
class XalanNode;
class XercesParserLiaison;
}  // namespace XALAN_CPP_NAMESPACE

class XPathEngine;
class DocumentStore;

class VORN_DataSource;

class TransDOMImpl : public TransValueImpl {
public:
    using DOMDocument = XERCES_CPP_NAMESPACE::DOMDocument;

    // Holds a copy of the document element of source (nothing else of it);
    // null, a document without an element, or one holding a name the DOM
    // refuses to copy, gives an empty document. The caller keeps source.
    // Exceptions of the XML libraries pass through.
    explicit TransDOMImpl(const DOMDocument* source);
    // Holds the dictionary document of source, with the builder's document
    // properties; an empty document when it could not be built. Exceptions
    // of the build pass through.
    explicit TransDOMImpl(const VORN_DataSource& source);
    // Holds the document that store stands for, taken over; null gives an
    // empty document.
    explicit TransDOMImpl(std::unique_ptr<DocumentStore> store);
    TransDOMImpl(const TransDOMImpl& other);  // shares the immutable core
    TransDOMImpl& operator=(const TransDOMImpl&) = delete;
    ~TransDOMImpl() override;

    TransValueImpl* clone() const override;
    TransString* asString(TransStatus& st) const override;
    TransString* asString(const TransString& contextPath, const TransString& expression,
                          TransStatus& st) const override;
    TransStringList* asStringList(const TransString& contextPath, const TransString& expression,
                                  TransStatus& st) const override;
    TransString* asMBCSXML(TransStatus& st) const override;
    TransString* asUTF16XML(TransStatus& st) const override;
    double asDouble(TransStatus& st) const override;
    double asDouble(const TransString& contextPath, const TransString& expression,
                    TransStatus& st) const override;
    const XALAN_CPP_NAMESPACE::XalanDocument* asXalanDocument(TransStatus& st) const override;

private:
    // The serialised document, in the host's code page (utf16 false) or in
    // UTF-16, written by DocumentWriter or, for what it declines, by the
    // serializer; the failure flag when the write gives up.
    TransString* serialize(bool utf16, TransStatus& st) const;
    // The result of expression at the first node that contextPath selects;
    // an empty answer, with the failure flag, when there is none. Leaves st
    // otherwise unchanged.
    XPathAnswer evaluate(const char16_t* contextPath, const char16_t* expression,
                         TransStatus& st) const;

    // The store, its query view and its DOM, shared with clones.
    std::shared_ptr<const DocumentCore> core;
    // The Xerces-wrapper view that asXalanDocument hands out, over the core's
    // DOM, made when it is first asked for: a value that is only queried
    // never pays for either. Made under the lock, read without it once made.
    // The liaison owns the view.
    mutable std::mutex viewLock;
    mutable XALAN_CPP_NAMESPACE::XercesParserLiaison* liaison;
    mutable std::atomic<XALAN_CPP_NAMESPACE::XalanDocument*> xalanDocument;
    // Every value has its own evaluator: queries of one value never overlap,
    // those of two values may.
    XPathEngine* evaluator;
};

#endif
