// The queries of document values as first written, kept as the oracle for
// the fast ones: every call makes a prefix resolver over the value's
// Xerces-wrapper view (asXalanDocument), and the processor walks that view.
// The argument check, result conversion and closing rules are the library's.
#ifndef TRANSSPACE_TESTS_LITERALQUERY_H
#define TRANSSPACE_TESTS_LITERALQUERY_H

#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"
#include "TransValue.h"

TransString* literalAsString(const TransValue& value, const TransString& contextPath,
                             const TransString& expression, TransStatus& st);
TransStringList* literalAsStringList(const TransValue& value, const TransString& contextPath,
                                     const TransString& expression, TransStatus& st);
double literalAsDouble(const TransValue& value, const TransString& contextPath,
                       const TransString& expression, TransStatus& st);

#endif
