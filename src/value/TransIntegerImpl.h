// A signed 64-bit integer value. No public constructor makes one: the
// dictionary builder makes one on the stack to format a whole number through
// asString, under the process's numeric locale.
#ifndef TRANSSPACE_VALUE_TRANSINTEGERIMPL_H
#define TRANSSPACE_VALUE_TRANSINTEGERIMPL_H

#include <cstdint>

#include "value/TransValueImpl.h"

class TransIntegerImpl : public TransValueImpl {
public:
    explicit TransIntegerImpl(std::int64_t value);

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
    std::int64_t value;
};

#endif
