// Bounds on the XPath text handed to the processor. Xalan-C parses and
// evaluates recursively, so text nested deeply enough overflows the stack of
// the host's thread; such text is refused before it reaches the processor.
#ifndef TRANSSPACE_VALUE_XPATHLIMITS_H
#define TRANSSPACE_VALUE_XPATHLIMITS_H

#include <cstddef>

// Found with the installed Xalan-C on an 8 MiB main-thread stack: about 40,000
// nested parentheses, 60,000 chained "+1" or 100,000 nested predicates
// overflow it (20,000 parentheses still pass), and a run of unary minus signs
// costs time that grows steeply with its length. Under AddressSanitizer each
// level costs several times the stack, and hosts run queries on threads with
// far smaller stacks (often 256 KiB to 1 MiB), so the limits sit two orders
// of magnitude below the crash: no real query comes near them.
struct XPathLimits {
    // UTF-16 code units of one expression or context path; bounds the
    // length of operator chains such as "1+1+1...".
    static constexpr std::size_t maxLength = 8192;
    // Open parentheses and brackets outside string literals, plus each minus
    // sign of a run of minus signs, counted as nesting levels.
    static constexpr std::size_t maxNesting = 256;
    // Digits and decimal points of one number literal. Xalan-C writes every
    // number it parses into a 100-character buffer and aborts the process
    // on a literal of about 90 digits.
    static constexpr std::size_t maxNumberLength = 64;
};

// The characters that start an XPath name, and those that continue one (any
// non-ASCII character counts as a name character).
inline bool xpathNameStart(char16_t c) {
    return c == u'_' || c >= 0x80 || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
inline bool xpathNameChar(char16_t c) {
    return xpathNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

// True when text (length code units, not necessarily zero-terminated) stays
// within XPathLimits.
bool withinXPathLimits(const char16_t* text, std::size_t length);

#endif
