#include "value/xpath/XPathQuery.h"

#include "text/TransText.h"
#include "value/xpath/XPathLimits.h"

namespace {

bool blank(const TransString& s) {
    if (s.empty()) return true;
    TransStatus local;
    TransString trimmed(s);
    return trimmed.trim(local).empty();
}

const char16_t* utf16(const TransString& s, bool& withinLimits) {
    TransStatus local;
    const char16_t* text = reinterpret_cast<const char16_t*>(s.asUTF16(local));
    const auto length = static_cast<std::size_t>(TransStringAccess::utf16(s).length());
    withinLimits = withinXPathLimits(text, length);
    return text;
}

}  // namespace

bool acceptQuery(const TransString& contextPath, const TransString& expression, QueryTexts& texts,
                 TransStatus& st) {
    // Blank arguments are refused before anything is converted; the trimmed
    // copies serve only this test.
    if (blank(contextPath) || blank(expression)) {
        st.failure(true);
        return false;
    }
    bool expressionFits = false;
    bool contextFits = false;
    texts.expression = utf16(expression, expressionFits);
    texts.contextPath = utf16(contextPath, contextFits);
    if (!expressionFits || !contextFits) {
        st.failure(true);
        return false;
    }
    return true;
}
