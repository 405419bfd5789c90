// The three queries around an evaluation: the argument check, the call, the
// conversion of the result and the closing warnings. The evaluation itself
// (where the context node is looked for, which view of the document the
// processor walks) is the caller's: evaluate(contextPath, expression, st)
// returns an XPathAnswer and only ever sets the failure flag.
#ifndef TRANSSPACE_VALUE_XPATHQUERY_H
#define TRANSSPACE_VALUE_XPATHQUERY_H

#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"
#include "value/TransValueImpl.h"
#include "value/xpath/XPathAnswer.h"
#include "value/xpath/XPathResult.h"

// The UTF-16 texts of both arguments, ready for the processor.
struct QueryTexts {
    const char16_t* contextPath;
    const char16_t* expression;
};

// False, with the failure flag, when an argument is empty or only blanks, or
// beyond the limits the processor survives; otherwise fills texts.
bool acceptQuery(const TransString& contextPath, const TransString& expression, QueryTexts& texts,
                 TransStatus& st);

template <class Evaluate>
TransString* queryString(const TransString& contextPath, const TransString& expression,
                         TransStatus& st, Evaluate evaluate) {
    st.reset();
    TransString* text = nullptr;
    QueryTexts texts;
    if (acceptQuery(contextPath, expression, texts, st)) {
        try {
            text = resultAsString(evaluate(texts.contextPath, texts.expression, st).result, st);
        } catch (...) {
            st.failure(true);
            delete text;
            text = nullptr;
        }
    }
    if (text == nullptr) text = new TransString;
    if (text->empty()) st.warning(true);
    return text;
}

template <class Evaluate>
TransStringList* queryStringList(const TransString& contextPath, const TransString& expression,
                                 TransStatus& st, Evaluate evaluate) {
    st.reset();
    TransStringList* list = new TransStringList;
    QueryTexts texts;
    if (acceptQuery(contextPath, expression, texts, st)) {
        try {
            resultAsStringList(evaluate(texts.contextPath, texts.expression, st).result, *list, st);
        } catch (...) {
            st.failure(true);
            *list = TransStringList();
        }
    }
    if (list->empty()) st.warning(true);
    return list;
}

template <class Evaluate>
double queryDouble(const TransString& contextPath, const TransString& expression, TransStatus& st,
                   Evaluate evaluate) {
    st.reset();
    double number = missingNumber;
    QueryTexts texts;
    if (acceptQuery(contextPath, expression, texts, st)) {
        try {
            number = resultAsDouble(evaluate(texts.contextPath, texts.expression, st).result, st);
        } catch (...) {
            st.failure(true);
            number = missingNumber;
        }
    }
    if (number == missingNumber) st.warning(true);
    return number;
}

#endif
