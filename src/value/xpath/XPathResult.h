// How the result of an XPath evaluation becomes the library's types. A null
// result, and the kinds that are neither scalar nor node-set, set the failure
// flag; a node-set of several nodes gives its first node where one answer is
// asked for, with the warning flag. The closing warnings for empty answers are
// the caller's.
#ifndef TRANSSPACE_VALUE_XPATHRESULT_H
#define TRANSSPACE_VALUE_XPATHRESULT_H

#include <xalanc/XPath/XObject.hpp>

#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"

// A new string, never null.
TransString* resultAsString(const XALAN_CPP_NAMESPACE::XObjectPtr& result, TransStatus& st);
// Appends the result's texts to list, in node-set order.
void resultAsStringList(const XALAN_CPP_NAMESPACE::XObjectPtr& result, TransStringList& list,
                        TransStatus& st);
// missingNumber where there is no number.
double resultAsDouble(const XALAN_CPP_NAMESPACE::XObjectPtr& result, TransStatus& st);

#endif
