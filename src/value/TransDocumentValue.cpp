// The handle's document constructors, beside the document kind.
#include "TransValue.h"

#include <memory>
#include <utility>

#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/InputSource.hpp>

#include "VornXmlReader.h"
#include "value/TransDOMImpl.h"
#include "value/store/DocumentStore.h"
#include "value/store/StoreParser.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// Passes the parser's reports on to the caller's handler and keeps whether
// one of them was an error.
class ErrorWatch : public ErrorHandler {
public:
    explicit ErrorWatch(ErrorHandler* to) : to(to) {}
    void warning(const SAXParseException& e) override {
        if (to != nullptr) to->warning(e);
    }
    void error(const SAXParseException& e) override {
        failed = true;
        if (to != nullptr) to->error(e);
    }
    void fatalError(const SAXParseException& e) override {
        failed = true;
        if (to != nullptr) to->fatalError(e);
    }
    void resetErrors() override {
        failed = false;
        if (to != nullptr) to->resetErrors();
    }
    bool failed = false;

private:
    ErrorHandler* to;
};

}  // namespace

TransValue::TransValue(const XERCES_CPP_NAMESPACE::DOMDocument* source)
    : impl(new TransDOMImpl(source)) {}

TransValue::TransValue(const VORN_DataSource& source) : impl(new TransDOMImpl(source)) {}

TransValue TransValue::parseXML(const InputSource& source, bool namespaces, ErrorHandler* errors,
                                TransStatus& st) {
    st.reset();
    ErrorWatch watch(errors);
    VornXmlReaderGuard guard;  // outlives the parser, as it must
    StoreParser parser;
    guard.Apply(parser, &watch);
    parser.setValidationScheme(XercesDOMParser::Val_Never);
    parser.setDoNamespaces(namespaces);
    parser.parse(source);
    TransValue value;
    if (watch.failed) {
        st.failure(true);
        st.warning(true);
        return value;
    }
    std::unique_ptr<DocumentStore> store = parser.takeStore();
    if (store->documentElement() == DocumentStore::none) st.warning(true);
    TransValueImpl* made = new TransDOMImpl(std::move(store));
    delete value.impl;
    value.impl = made;
    return value;
}
