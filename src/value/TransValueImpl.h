// The interface that every value kind implements, slot by slot in a fixed
// order, and the number that stands for "no number".
#ifndef TRANSSPACE_VALUE_TRANSVALUEIMPL_H
#define TRANSSPACE_VALUE_TRANSVALUEIMPL_H

#include <cfloat>

#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"
#include "TransValue.h"

// The lowest finite double (bit pattern 0xFFEFFFFFFFFFFFFF): the result of
// every numeric conversion that finds no number.
constexpr double missingNumber = -DBL_MAX;

class TransValueImpl {
public:
    virtual ~TransValueImpl() = default;                           // slot 0
    virtual TransValueImpl* clone() const = 0;                     // slot 1
    virtual TransString* asString(TransStatus& st) const = 0;      // slot 2
    virtual TransString* asString(const TransString& contextPath,  // slot 3
                                  const TransString& expression, TransStatus& st) const = 0;
    virtual TransStringList* asStringList(const TransString& contextPath,  // slot 4
                                          const TransString& expression, TransStatus& st) const = 0;
    virtual TransString* asMBCSXML(TransStatus& st) const = 0;   // slot 5
    virtual TransString* asUTF16XML(TransStatus& st) const = 0;  // slot 6
    virtual double asDouble(TransStatus& st) const = 0;          // slot 7
    virtual double asDouble(const TransString& contextPath,      // slot 8
                            const TransString& expression, TransStatus& st) const = 0;
    virtual const XALAN_CPP_NAMESPACE::XalanDocument* asXalanDocument(  // slot 9
        TransStatus& st) const = 0;
};

#endif
