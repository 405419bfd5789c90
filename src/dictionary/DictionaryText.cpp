#include "dictionary/DictionaryText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include <unicode/unistr.h>

#include "TransStatus.h"
#include "TransString.h"
#include "TransValue.h"
#include "text/CodePage.h"
#include "value/TransDoubleImpl.h"
#include "value/TransIntegerImpl.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const XMLCh* utf16(const TransString& text) {
    return reinterpret_cast<const XMLCh*>(text.asUTF16());
}

// The text of one formatting call, handed back through the release function
// also when something below throws. Empty when the status shows failure.
template <typename Value>
bool formatted(const Value& number, TransString* (Value::*format)(TransStatus&) const,
               std::u16string& text) {
    TransStatus st;
    struct Release {
        TransString* s;
        ~Release() { TransValue::releaseString(s); }
    } result{(number.*format)(st)};
    if (st.failure()) return false;
    text = reinterpret_cast<const char16_t*>(result.s->asUTF16());
    return true;
}

template <typename Key, typename Make>
const char16_t* cached(std::unordered_map<Key, std::u16string>& cache, std::size_t capacity,
                       Key key, std::u16string& uncached, Make make) {
    auto found = cache.find(key);
    if (found != cache.end()) return found->second.c_str();
    std::u16string text;
    if (!make(text)) return nullptr;
    if (cache.size() < capacity) return cache.emplace(key, std::move(text)).first->second.c_str();
    uncached = std::move(text);
    return uncached.c_str();
}

// The text ends where a zero-terminated value would.
std::u16string_view zeroCut(const char16_t* text, std::size_t length) {
    const void* zero = std::char_traits<char16_t>::find(text, length, u'\0');
    return std::u16string_view(
        text, zero != nullptr ? static_cast<const char16_t*>(zero) - text : length);
}

// Shortest round-trip digits, then half-even at the third fraction digit:
// ICU rounds a double's shortest decimal form, not its exact binary value
// (0.0005 gives "0", though the double is a little above a half).
std::size_t englishDecimal(double d, char16_t* out) {
    char form[32];
    const std::to_chars_result r =
        std::to_chars(form, form + sizeof form, std::fabs(d), std::chars_format::scientific);
    char digits[20];
    int n = 0;
    const char* p = form;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.') digits[n++] = *p;
    int exponent = 0;  // value = 0.digits * 10^exponent
    std::from_chars(p + (p[1] == '+' ? 2 : 1), r.ptr, exponent);
    ++exponent;
    const int keep = exponent + 3;  // the digits left of the rounding position
    if (keep < 0) {
        n = 0;
    } else if (keep < n) {
        bool up = digits[keep] > '5';
        if (digits[keep] == '5') {
            bool beyond = false;
            for (int i = keep + 1; i < n; ++i) beyond = beyond || digits[i] != '0';
            up = beyond || (keep > 0 && (digits[keep - 1] - '0') % 2 == 1);
        }
        n = keep;
        if (up) {
            int i = n - 1;
            while (i >= 0 && digits[i] == '9') --i;
            if (i >= 0) {
                ++digits[i];
                n = i + 1;
            } else {
                digits[0] = '1';
                n = 1;
                ++exponent;
            }
        }
    }
    while (n > 0 && digits[n - 1] == '0') --n;
    if (n == 0) exponent = 0;
    std::size_t length = 0;
    if (std::signbit(d)) out[length++] = u'-';
    if (exponent <= 0) out[length++] = u'0';
    for (int i = 0; i < exponent; ++i) out[length++] = i < n ? char16_t(digits[i]) : u'0';
    if (n > exponent) {
        out[length++] = u'.';
        for (int i = exponent; i < 0; ++i) out[length++] = u'0';
        for (int i = exponent > 0 ? exponent : 0; i < n; ++i) out[length++] = char16_t(digits[i]);
    }
    return length;
}

std::size_t integerDigits(std::int64_t n, char16_t* out) {
    char text[24];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, n);
    const std::size_t length = static_cast<std::size_t>(r.ptr - text);
    for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char16_t>(text[i]);
    return length;
}

}  // namespace

void setTextAttribute(DOMElement* e, const XMLCh* name, const char* mbcs) {
    const TransString text(mbcs);
    e->setAttribute(name, utf16(text));
}

const char16_t* NumberTexts::integer(std::int64_t n) {
    return cached(integers, capacity, n, uncached, [n](std::u16string& text) {
        const TransIntegerImpl number(n);
        return formatted<TransValueImpl>(number, &TransValueImpl::asString, text);
    });
}

const char16_t* NumberTexts::decimal(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return cached(decimals, capacity, bits, uncached, [d](std::u16string& text) {
        const TransDoubleImpl number(d);
        return formatted(number, &TransDoubleImpl::asEnglishString, text);
    });
}

HostTexts::HostTexts() {
    UErrorCode error = U_ZERO_ERROR;
    converter = ucnv_open(codePageName().c_str(), &error);
    if (U_FAILURE(error)) {
        converter = nullptr;
        return;
    }
    // Converters that keep a state across bytes (ISO-2022, UTF-7, HZ, ...)
    // may read an ASCII byte as part of something else.
    switch (ucnv_getType(converter)) {
        case UCNV_UTF8:
        case UCNV_LATIN_1:
        case UCNV_US_ASCII:
        case UCNV_SBCS:
        case UCNV_MBCS:
            break;
        default:
            return;
    }
    std::string all;
    for (int b = 1; b < 0x80; ++b) {
        const icu::UnicodeString one = mbcsToUTF16(std::string(1, static_cast<char>(b)));
        if (one.length() != 1 || one[0] != b) return;
        all += static_cast<char>(b);
    }
    const icu::UnicodeString whole = mbcsToUTF16(all);
    if (whole.length() != 0x7F) return;
    for (int i = 0; i < 0x7F; ++i)
        if (whole[i] != i + 1) return;
    asciiAsIs = true;
}

HostTexts::~HostTexts() {
    if (converter != nullptr) ucnv_close(converter);
}

std::u16string_view HostTexts::convert(const char* mbcs) {
    if (mbcs == nullptr || *mbcs == '\0') return std::u16string_view();
    const std::size_t size = std::strlen(mbcs);
    // As mbcsToUTF16 converts: one byte never yields more than two units,
    // and a text that needs more fails.
    if (size > INT32_MAX / 2 - 1) return std::u16string_view();
    const int32_t n = static_cast<int32_t>(size);
    const int32_t capacity = 2 * n + 1;
    if (buffer.size() < static_cast<std::size_t>(capacity)) buffer.resize(capacity);
    if (asciiAsIs) {
        int32_t i = 0;
        while (i < n && static_cast<unsigned char>(mbcs[i]) < 0x80) {
            buffer[i] = static_cast<char16_t>(mbcs[i]);
            ++i;
        }
        if (i == n) return std::u16string_view(buffer.data(), size);
    }
    if (converter == nullptr) return std::u16string_view();
    ucnv_reset(converter);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t written = ucnv_toUChars(converter, buffer.data(), capacity, mbcs, n, &error);
    if (U_FAILURE(error)) return std::u16string_view();
    return zeroCut(buffer.data(), static_cast<std::size_t>(written));
}

QuickNumberTexts::QuickNumberTexts() {
    // A locale that writes these with ASCII digits and "-" writes every
    // integer so under "#0.###", which groups nothing.
    const std::int64_t probes[] = {0, 1234567890, -9876543210, INT64_MIN, INT64_MAX};
    for (const std::int64_t n : probes) {
        const char16_t* text = literal.integer(n);
        if (text == nullptr) return;
        const std::size_t length = integerDigits(n, buffer);
        if (std::u16string_view(text) != std::u16string_view(buffer, length)) return;
    }
    plainIntegers = true;
}

bool QuickNumberTexts::integer(std::int64_t n, std::u16string_view& text) {
    if (plainIntegers) {
        text = std::u16string_view(buffer, integerDigits(n, buffer));
        return true;
    }
    const char16_t* made = literal.integer(n);
    if (made == nullptr) return false;
    text = made;
    return true;
}

bool QuickNumberTexts::decimal(double d, std::u16string_view& text) {
    if (std::isfinite(d)) {
        text = std::u16string_view(buffer, englishDecimal(d, buffer));
        return true;
    }
    const char16_t* made = literal.decimal(d);
    if (made == nullptr) return false;
    text = made;
    return true;
}
