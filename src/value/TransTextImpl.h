// A text value: reads back as its text and as the number that the text spells
// in the process's numeric locale; refuses every XML, XPath and document
// request, whatever the text holds.
#ifndef TRANSSPACE_VALUE_TRANSTEXTIMPL_H
#define TRANSSPACE_VALUE_TRANSTEXTIMPL_H

#include "value/TransValueImpl.h"

class TransTextImpl : public TransValueImpl {
public:
    explicit TransTextImpl(const TransString& text);

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
    TransString text;  // as given, not trimmed
};

#endif
