#include "value/Refusal.h"

namespace {

void setRefused(TransStatus& st) {
    st.reset();
    st.failure(true);
    st.warning(true);
}

}  // namespace

TransString* refuseString(TransStatus& st) {
    setRefused(st);
    return new TransString;
}

TransStringList* refuseStringList(TransStatus& st) {
    setRefused(st);
    return new TransStringList;
}

double refuseDouble(TransStatus& st) {
    setRefused(st);
    return missingNumber;
}

const XALAN_CPP_NAMESPACE::XalanDocument* refuseDocument(TransStatus& st) {
    setRefused(st);
    return nullptr;
}
