// The result of one evaluation together with the compiled expression it came
// from: a literal's result object belongs to the compiled expression, so the
// expression must outlive every read of the result.
#ifndef TRANSSPACE_VALUE_XPATHANSWER_H
#define TRANSSPACE_VALUE_XPATHANSWER_H

#include <memory>

#include <xalanc/XPath/XObject.hpp>

#include "value/xpath/CompiledXPath.h"

struct XPathAnswer {
    std::unique_ptr<CompiledXPath> expression;
    XALAN_CPP_NAMESPACE::XObjectPtr result;  // declared last: released first
};

#endif
