#include "value/NumberText.h"

#include <clocale>
#include <memory>

#include <unicode/decimfmt.h>
#include <unicode/fmtable.h>
#include <unicode/numfmt.h>

#include "text/TransText.h"
#include "value/TransValueImpl.h"

namespace {

template <typename Number>
TransString* format(Number value, const icu::Locale& locale, TransStatus& st) {
    st.reset();
    icu::UnicodeString result;
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> formatter(icu::NumberFormat::createInstance(locale, err));
    if (formatter) {
        // The default style always yields a DecimalFormat; the pattern keeps
        // the locale's symbols but drops its grouping and fraction rules.
        if (auto* decimal = dynamic_cast<icu::DecimalFormat*>(formatter.get())) {
            decimal->applyPattern(icu::UnicodeString(u"#0.###"), err);
        }
        formatter->format(value, result);
    }
    if (result.isEmpty()) {
        st.failure(true);
        st.warning(true);
    }
    return TransStringAccess::newFromUTF16(result);
}

}  // namespace

icu::Locale numericLocale() {
    const char* name = std::setlocale(LC_NUMERIC, nullptr);
    return icu::Locale::createCanonical(name != nullptr ? name : "C");
}

TransString* formatNumber(double value, const icu::Locale& locale, TransStatus& st) {
    return format(value, locale, st);
}

TransString* formatNumber(std::int64_t value, const icu::Locale& locale, TransStatus& st) {
    return format(value, locale, st);
}

double parseNumber(const icu::UnicodeString& text) {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> parser(
        icu::NumberFormat::createInstance(numericLocale(), err));
    if (!parser) return missingNumber;
    // Creation may leave a fallback warning; only the parse's own code counts.
    err = U_ZERO_ERROR;
    icu::Formattable number;
    parser->parse(text, number, err);
    if (err != U_ZERO_ERROR) return missingNumber;
    switch (number.getType()) {
        case icu::Formattable::kDouble:
            return number.getDouble();
        case icu::Formattable::kLong:
            return static_cast<double>(number.getLong());
        case icu::Formattable::kInt64:
            return static_cast<double>(number.getInt64());
        default:
            return missingNumber;
    }
}
