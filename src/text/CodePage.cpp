#include "text/CodePage.h"

#include <vector>

#include <unicode/ucnv.h>

#include "VornPlatform.h"

std::string codePageName() {
    if (qUTF8mode() != 0) return "UTF-8";
    return VORNMBDefaultCodePage();
}

icu::UnicodeString mbcsToUTF16(const std::string& bytes) {
    icu::UnicodeString result;
    if (bytes.empty()) return result;
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(codePageName().c_str(), &error);
    if (U_FAILURE(error)) return result;
    // One byte never yields more than two UTF-16 units; the extra unit leaves
    // room for the terminator the converter writes when it fits.
    const int32_t n = static_cast<int32_t>(bytes.size());
    const int32_t capacity = 2 * n + 1;
    UChar* buffer = result.getBuffer(capacity);
    int32_t written =
        ucnv_toUChars(converter, buffer, capacity, bytes.data(), n, &error);
    ucnv_close(converter);
    result.releaseBuffer(U_FAILURE(error) ? 0 : written);
    if (U_FAILURE(error)) result.remove();
    return result;
}

std::string utf16ToMBCS(const icu::UnicodeString& text) {
    std::string result;
    if (text.isEmpty()) return result;
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(codePageName().c_str(), &error);
    if (U_FAILURE(error)) return result;
    const int32_t m = text.length();
    const int32_t size = ucnv_getMaxCharSize(converter) * (m + 10);
    std::vector<char> buffer(static_cast<size_t>(size));
    int32_t written =
        ucnv_fromUChars(converter, buffer.data(), size, text.getBuffer(), m, &error);
    ucnv_close(converter);
    if (U_SUCCESS(error)) result.assign(buffer.data(), static_cast<size_t>(written));
    return result;
}
