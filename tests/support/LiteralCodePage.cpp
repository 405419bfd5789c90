#include "support/LiteralCodePage.h"

#include <vector>

#include <unicode/ucnv.h>

#include "text/CodePage.h"

icu::UnicodeString literalMBCSToUTF16(const std::string& bytes) {
    icu::UnicodeString result;
    if (bytes.empty()) return result;
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(codePageName().c_str(), &error);
    if (U_FAILURE(error)) return result;
    const int32_t n = static_cast<int32_t>(bytes.size());
    UChar* buffer = result.getBuffer(2 * n + 1);
    int32_t written = ucnv_toUChars(converter, buffer, 2 * n + 1, bytes.data(), n, &error);
    ucnv_close(converter);
    result.releaseBuffer(U_FAILURE(error) ? 0 : written);
    return result;
}

std::string literalUTF16ToMBCS(const icu::UnicodeString& text) {
    std::string result;
    if (text.isEmpty()) return result;
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(codePageName().c_str(), &error);
    if (U_FAILURE(error)) return result;
    const int32_t m = text.length();
    const int32_t size = ucnv_getMaxCharSize(converter) * (m + 10);
    std::vector<char> buffer(static_cast<size_t>(size));
    int32_t written = ucnv_fromUChars(converter, buffer.data(), size, text.getBuffer(), m, &error);
    ucnv_close(converter);
    if (U_SUCCESS(error)) result.assign(buffer.data(), static_cast<size_t>(written));
    return result;
}
