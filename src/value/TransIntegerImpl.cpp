#include "value/TransIntegerImpl.h"

#include "value/NumberText.h"
#include "value/Refusal.h"

TransIntegerImpl::TransIntegerImpl(std::int64_t value) : value(value) {}

TransValueImpl* TransIntegerImpl::clone() const { return new TransIntegerImpl(value); }

TransString* TransIntegerImpl::asString(TransStatus& st) const {
    return formatNumber(value, numericLocale(), st);
}

TransString* TransIntegerImpl::asString(const TransString&, const TransString&,
                                        TransStatus& st) const {
    return refuseString(st);
}

TransStringList* TransIntegerImpl::asStringList(const TransString&, const TransString&,
                                                TransStatus& st) const {
    return refuseStringList(st);
}

TransString* TransIntegerImpl::asMBCSXML(TransStatus& st) const { return refuseString(st); }

TransString* TransIntegerImpl::asUTF16XML(TransStatus& st) const { return refuseString(st); }

double TransIntegerImpl::asDouble(TransStatus& st) const {
    st.reset();
    return static_cast<double>(value);
}

double TransIntegerImpl::asDouble(const TransString&, const TransString&, TransStatus& st) const {
    return refuseDouble(st);
}

const XALAN_CPP_NAMESPACE::XalanDocument* TransIntegerImpl::asXalanDocument(TransStatus& st) const {
    return refuseDocument(st);
}
