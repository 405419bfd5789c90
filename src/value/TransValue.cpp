// The handle forwards every read to its implementation's slot unchanged; the
// no-status forms differ only by a local status. The document constructors
// live beside the document kind.
#include "TransValue.h"

#include <utility>

#include "value/TransDoubleImpl.h"
#include "value/TransNullImpl.h"
#include "value/TransTextImpl.h"
#include "value/TransValueImpl.h"

TransValue::TransValue() : impl(new TransNullImpl) {}

TransValue::TransValue(const TransString& text) : impl(new TransTextImpl(text)) {}

TransValue::TransValue(double number) : impl(new TransDoubleImpl(number)) {}

TransValue::TransValue(const TransValue& other) : impl(other.impl->clone()) {}

TransValue::~TransValue() { delete impl; }

TransValue& TransValue::operator=(TransValue other) {
    swap(other);
    return *this;
}

void TransValue::swap(TransValue& other) { std::swap(impl, other.impl); }

TransString* TransValue::asString(TransStatus& st) const { return impl->asString(st); }

TransString* TransValue::asString() const {
    TransStatus st;
    return impl->asString(st);
}

TransString* TransValue::asString(const TransString& contextPath, const TransString& expression,
                                  TransStatus& st) const {
    return impl->asString(contextPath, expression, st);
}

TransString* TransValue::asString(const TransString& contextPath,
                                  const TransString& expression) const {
    TransStatus st;
    return impl->asString(contextPath, expression, st);
}

TransStringList* TransValue::asStringList(const TransString& contextPath,
                                          const TransString& expression, TransStatus& st) const {
    return impl->asStringList(contextPath, expression, st);
}

TransStringList* TransValue::asStringList(const TransString& contextPath,
                                          const TransString& expression) const {
    TransStatus st;
    return impl->asStringList(contextPath, expression, st);
}

TransString* TransValue::asMBCSXML(TransStatus& st) const { return impl->asMBCSXML(st); }

TransString* TransValue::asMBCSXML() const {
    TransStatus st;
    return impl->asMBCSXML(st);
}

TransString* TransValue::asUTF16XML(TransStatus& st) const { return impl->asUTF16XML(st); }

TransString* TransValue::asUTF16XML() const {
    TransStatus st;
    return impl->asUTF16XML(st);
}

TransString* TransValue::asXML() const {
    TransStatus st;
    return impl->asUTF16XML(st);
}

double TransValue::asDouble(TransStatus& st) const { return impl->asDouble(st); }

double TransValue::asDouble() const {
    TransStatus st;
    return impl->asDouble(st);
}

double TransValue::asDouble(const TransString& contextPath, const TransString& expression,
                            TransStatus& st) const {
    return impl->asDouble(contextPath, expression, st);
}

double TransValue::asDouble(const TransString& contextPath, const TransString& expression) const {
    TransStatus st;
    return impl->asDouble(contextPath, expression, st);
}

const XALAN_CPP_NAMESPACE::XalanDocument* TransValue::asXalanDocument(TransStatus& st) const {
    return impl->asXalanDocument(st);
}

const XALAN_CPP_NAMESPACE::XalanDocument* TransValue::asXalanDocument() const {
    TransStatus st;
    return impl->asXalanDocument(st);
}

void TransValue::releaseString(TransString*& string, TransStatus& st) {
    st.reset();
    if (string == nullptr) st.warning(true);
    delete string;
    string = nullptr;
}

void TransValue::releaseString(TransString*& string) {
    TransStatus st;
    releaseString(string, st);
}

void TransValue::releaseStringList(TransStringList*& list, TransStatus& st) {
    st.reset();
    if (list == nullptr) st.warning(true);
    delete list;
    list = nullptr;
}

void TransValue::releaseStringList(TransStringList*& list) {
    TransStatus st;
    releaseStringList(list, st);
}
