// The handle's document constructors, beside the document kind.
#include "TransValue.h"

#include "value/TransDOMImpl.h"

TransValue::TransValue(const XERCES_CPP_NAMESPACE::DOMDocument* source)
    : impl(new TransDOMImpl(source)) {}

TransValue::TransValue(const VORN_DataSource& source) : impl(new TransDOMImpl(source)) {}
