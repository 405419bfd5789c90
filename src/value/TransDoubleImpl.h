// A double value, also made on the stack by the dictionary builder to format a
// double. Slot 2 follows the process's numeric locale at the time of the call;
// asEnglishString does not depend on it.
#ifndef TRANSSPACE_VALUE_TRANSDOUBLEIMPL_H
#define TRANSSPACE_VALUE_TRANSDOUBLEIMPL_H

#include <unicode/uversion.h>

#include "value/TransValueImpl.h"

U_NAMESPACE_BEGIN
class Locale;
U_NAMESPACE_END

class TransDoubleImpl : public TransValueImpl {
public:
    explicit TransDoubleImpl(double value);

    // The value as "#0.###" text with the symbols of locale. Resets st;
    // failure and warning when no text came out. Owned by the caller.
    TransString* formatWithLocale(const icu::Locale& locale, TransStatus& st) const;
    // formatWithLocale with ICU's English locale.
    TransString* asEnglishString(TransStatus& st) const;

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
    double value;
};

#endif
