// The null value: no data, and every read refused with failure and warning.
#ifndef TRANSSPACE_VALUE_TRANSNULLIMPL_H
#define TRANSSPACE_VALUE_TRANSNULLIMPL_H

#include "value/TransValueImpl.h"

class TransNullImpl : public TransValueImpl {
public:
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
};

#endif
