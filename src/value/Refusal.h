// The one answer of a value kind to a slot that has no meaning for it: the
// status reset, then failure and warning set, and the slot type's empty result.
#ifndef TRANSSPACE_VALUE_REFUSAL_H
#define TRANSSPACE_VALUE_REFUSAL_H

#include "value/TransValueImpl.h"

// A new empty string (slots 2, 3, 5 and 6).
TransString* refuseString(TransStatus& st);
// A new empty list (slot 4).
TransStringList* refuseStringList(TransStatus& st);
// missingNumber (slots 7 and 8).
double refuseDouble(TransStatus& st);
// Null (slot 9).
const XALAN_CPP_NAMESPACE::XalanDocument* refuseDocument(TransStatus& st);

#endif
