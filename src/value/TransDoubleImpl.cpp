#include "value/TransDoubleImpl.h"

#include <unicode/locid.h>

#include "value/NumberText.h"
#include "value/Refusal.h"

TransDoubleImpl::TransDoubleImpl(double value) : value(value) {}

TransString* TransDoubleImpl::formatWithLocale(const icu::Locale& locale, TransStatus& st) const {
    return formatNumber(value, locale, st);
}

TransString* TransDoubleImpl::asEnglishString(TransStatus& st) const {
    return formatWithLocale(icu::Locale::getEnglish(), st);
}

TransValueImpl* TransDoubleImpl::clone() const { return new TransDoubleImpl(value); }

TransString* TransDoubleImpl::asString(TransStatus& st) const {
    return formatWithLocale(numericLocale(), st);
}

TransString* TransDoubleImpl::asString(const TransString&, const TransString&,
                                       TransStatus& st) const {
    return refuseString(st);
}

TransStringList* TransDoubleImpl::asStringList(const TransString&, const TransString&,
                                               TransStatus& st) const {
    return refuseStringList(st);
}

TransString* TransDoubleImpl::asMBCSXML(TransStatus& st) const { return refuseString(st); }

TransString* TransDoubleImpl::asUTF16XML(TransStatus& st) const { return refuseString(st); }

double TransDoubleImpl::asDouble(TransStatus& st) const {
    st.reset();
    // A stored missingNumber is still the stored number: usable, so no failure.
    if (value == missingNumber) st.warning(true);
    return value;
}

double TransDoubleImpl::asDouble(const TransString&, const TransString&, TransStatus& st) const {
    return refuseDouble(st);
}

const XALAN_CPP_NAMESPACE::XalanDocument* TransDoubleImpl::asXalanDocument(TransStatus& st) const {
    return refuseDocument(st);
}
