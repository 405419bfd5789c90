// Checks shared by the fuzz targets: abort on any broken invariant, so that
// libFuzzer keeps the input that broke it. The query checks hold for every
// document value and every pair of texts: the outcome rules of the three
// queries, the reset of the status on entry, the no-status forms, and the
// agreement of the fast queries with the literal ones.
#ifndef TRANSSPACE_FUZZ_FUZZCHECKS_H
#define TRANSSPACE_FUZZ_FUZZCHECKS_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unicode/unistr.h>

#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"
#include "TransValue.h"
#include "support/LiteralQuery.h"
#include "text/TransText.h"
#include "value/TransValueImpl.h"

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

struct Flags {
    bool warning;
    bool failure;
    bool operator==(const Flags& o) const { return warning == o.warning && failure == o.failure; }
};

inline Flags flagsOf(const TransStatus& st) { return {st.warning(), st.failure()}; }

// A status that holds both flags, so that a missing reset shows.
inline TransStatus dirty() {
    TransStatus st;
    st.warning(true);
    st.failure(true);
    return st;
}

inline std::u16string take(TransString* s) {
    FUZZ_CHECK(s != nullptr);
    const icu::UnicodeString& text = TransStringAccess::utf16(*s);
    std::u16string out(text.getBuffer(), static_cast<size_t>(text.length()));
    TransValue::releaseString(s);
    FUZZ_CHECK(s == nullptr);
    return out;
}

inline std::vector<std::u16string> take(TransStringList* list) {
    FUZZ_CHECK(list != nullptr);
    std::vector<std::u16string> entries;
    for (unsigned long i = 0; i < list->size(); ++i) {
        const unsigned short* units = list->asUTF16(i);
        FUZZ_CHECK(units != nullptr);
        entries.emplace_back(reinterpret_cast<const char16_t*>(units));
    }
    TransValue::releaseStringList(list);
    return entries;
}

inline bool sameNumber(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::u16string textOf(const TransString& s) {
    const icu::UnicodeString& text = TransStringAccess::utf16(s);
    return std::u16string(text.getBuffer(), static_cast<size_t>(text.length()));
}

// What the three queries answered for one pair of texts.
struct QueryOutcome {
    std::u16string text;
    Flags textFlags;
    std::vector<std::u16string> list;
    Flags listFlags;
    double number;
    Flags numberFlags;
};

// Runs the three queries and checks everything that holds for any answer;
// returns the answers for checks that know the document.
inline QueryOutcome checkQueries(const TransValue& value, const TransString& contextPath,
                                 const TransString& expression) {
    const std::u16string contextBefore = textOf(contextPath);
    const std::u16string expressionBefore = textOf(expression);
    QueryOutcome out;

    TransStatus st = dirty();
    out.text = take(value.asString(contextPath, expression, st));
    out.textFlags = flagsOf(st);
    st = dirty();
    out.list = take(value.asStringList(contextPath, expression, st));
    out.listFlags = flagsOf(st);
    st = dirty();
    out.number = value.asDouble(contextPath, expression, st);
    out.numberFlags = flagsOf(st);

    // Failure always comes with the refusal result and the warning flag.
    if (out.textFlags.failure) FUZZ_CHECK(out.text.empty() && out.textFlags.warning);
    if (out.listFlags.failure) FUZZ_CHECK(out.list.empty() && out.listFlags.warning);
    if (out.numberFlags.failure) FUZZ_CHECK(out.number == missingNumber && out.numberFlags.warning);
    // The closing rules.
    if (out.text.empty()) FUZZ_CHECK(out.textFlags.warning);
    FUZZ_CHECK(out.listFlags.warning == out.list.empty());
    if (!out.list.empty()) FUZZ_CHECK(!out.listFlags.failure);
    if (out.number == missingNumber) FUZZ_CHECK(out.numberFlags.warning);
    // One evaluation behind all three: they fail together, and a list
    // answer's first entry is the text answer.
    FUZZ_CHECK(out.textFlags.failure == out.listFlags.failure);
    FUZZ_CHECK(out.textFlags.failure == out.numberFlags.failure);
    if (!out.list.empty()) {
        FUZZ_CHECK(out.text == out.list.front());
        FUZZ_CHECK(out.textFlags.warning == (out.list.size() > 1 || out.text.empty()));
        if (out.list.size() > 1) FUZZ_CHECK(out.numberFlags.warning);
    }
    if (!out.textFlags.failure && out.list.empty()) FUZZ_CHECK(out.text.empty());

    // The no-status forms give the same answers.
    FUZZ_CHECK(take(value.asString(contextPath, expression)) == out.text);
    FUZZ_CHECK(take(value.asStringList(contextPath, expression)) == out.list);
    FUZZ_CHECK(sameNumber(value.asDouble(contextPath, expression), out.number));

    // The literal queries agree on answers and flags.
    st = dirty();
    FUZZ_CHECK(take(literalAsString(value, contextPath, expression, st)) == out.text);
    FUZZ_CHECK(flagsOf(st) == out.textFlags);
    st = dirty();
    FUZZ_CHECK(take(literalAsStringList(value, contextPath, expression, st)) == out.list);
    FUZZ_CHECK(flagsOf(st) == out.listFlags);
    st = dirty();
    FUZZ_CHECK(sameNumber(literalAsDouble(value, contextPath, expression, st), out.number));
    FUZZ_CHECK(flagsOf(st) == out.numberFlags);

    // The caller's texts are left as they were.
    FUZZ_CHECK(textOf(contextPath) == contextBefore);
    FUZZ_CHECK(textOf(expression) == expressionBefore);
    return out;
}

// A string from UTF-8 bytes (malformed sequences become U+FFFD).
inline TransString fromUTF8(const std::string& bytes) {
    return TransStringAccess::fromUTF16(icu::UnicodeString::fromUTF8(bytes));
}

}  // namespace fuzz

#endif
