#include "value/xpath/XPathLimits.h"

bool withinXPathLimits(const char16_t* text, std::size_t length) {
    if (length > XPathLimits::maxLength) return false;
    std::size_t depth = 0;
    std::size_t minusRun = 0;   // minus signs since the last operand-like character
    std::size_t numberRun = 0;  // digits and points of a number literal
    bool inName = false;        // digits inside a name are no number
    char16_t quote = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
            continue;
        }
        const bool digit = (c >= u'0' && c <= u'9') || c == u'.';
        if (digit && !inName) {
            if (++numberRun > XPathLimits::maxNumberLength) return false;
        } else {
            numberRun = 0;
            if (!digit) inName = xpathNameStart(c) || (inName && c == u'-');
        }
        switch (c) {
            case u'\'':
            case u'"':
                quote = c;
                minusRun = 0;
                break;
            case u'(':
            case u'[':
                if (++depth + minusRun > XPathLimits::maxNesting) return false;
                break;
            case u')':
            case u']':
                if (depth > 0) --depth;
                minusRun = 0;
                break;
            case u'-':
                if (depth + ++minusRun > XPathLimits::maxNesting) return false;
                break;
            case u' ':
            case u'\t':
            case u'\r':
            case u'\n':
                break;
            default:
                minusRun = 0;
                break;
        }
    }
    return true;
}
