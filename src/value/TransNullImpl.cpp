#include "value/TransNullImpl.h"

#include "value/Refusal.h"

TransValueImpl* TransNullImpl::clone() const { return new TransNullImpl; }

TransString* TransNullImpl::asString(TransStatus& st) const { return refuseString(st); }

TransString* TransNullImpl::asString(const TransString&, const TransString&,
                                     TransStatus& st) const {
    return refuseString(st);
}

TransStringList* TransNullImpl::asStringList(const TransString&, const TransString&,
                                             TransStatus& st) const {
    return refuseStringList(st);
}

TransString* TransNullImpl::asMBCSXML(TransStatus& st) const { return refuseString(st); }

TransString* TransNullImpl::asUTF16XML(TransStatus& st) const { return refuseString(st); }

double TransNullImpl::asDouble(TransStatus& st) const { return refuseDouble(st); }

double TransNullImpl::asDouble(const TransString&, const TransString&, TransStatus& st) const {
    return refuseDouble(st);
}

const XALAN_CPP_NAMESPACE::XalanDocument* TransNullImpl::asXalanDocument(TransStatus& st) const {
    return refuseDocument(st);
}
