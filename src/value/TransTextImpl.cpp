#include "value/TransTextImpl.h"

#include "text/TransText.h"
#include "value/NumberText.h"
#include "value/Refusal.h"

TransTextImpl::TransTextImpl(const TransString& text) : text(text) {}

TransValueImpl* TransTextImpl::clone() const { return new TransTextImpl(text); }

TransString* TransTextImpl::asString(TransStatus& st) const {
    st.reset();
    if (text.empty()) st.warning(true);
    return new TransString(text);
}

TransString* TransTextImpl::asString(const TransString&, const TransString&,
                                     TransStatus& st) const {
    return refuseString(st);
}

TransStringList* TransTextImpl::asStringList(const TransString&, const TransString&,
                                             TransStatus& st) const {
    return refuseStringList(st);
}

TransString* TransTextImpl::asMBCSXML(TransStatus& st) const { return refuseString(st); }

TransString* TransTextImpl::asUTF16XML(TransStatus& st) const { return refuseString(st); }

double TransTextImpl::asDouble(TransStatus& st) const {
    st.reset();
    // The conversion reports on a status of its own: an empty text is the
    // parser's to refuse, not a warning of this call.
    TransStatus conversion;
    const double number = parseNumber(aliasUTF16(text.asUTF16(conversion)));
    if (number == missingNumber) {
        st.failure(true);
        st.warning(true);
    }
    return number;
}

double TransTextImpl::asDouble(const TransString&, const TransString&, TransStatus& st) const {
    return refuseDouble(st);
}

const XALAN_CPP_NAMESPACE::XalanDocument* TransTextImpl::asXalanDocument(TransStatus& st) const {
    return refuseDocument(st);
}
