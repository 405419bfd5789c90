#include "text/CodePage.h"

#include <unicode/ucnv.h>

#include "VornPlatform.h"

namespace {

// Opening a converter costs far more than converting a short text, so each
// thread keeps the last one it opened and reuses it while the host still
// names the same code page (asked at every call, so a change takes effect at
// the next conversion). Thread-local: the helpers take no lock.
class ConverterCache {
public:
    ~ConverterCache() {
        if (converter != nullptr) ucnv_close(converter);
    }
    UConverter* get(const std::string& codePage) {
        if (converter != nullptr && name == codePage) {
            ucnv_reset(converter);
            return converter;
        }
        UErrorCode error = U_ZERO_ERROR;
        UConverter* opened = ucnv_open(codePage.c_str(), &error);
        if (U_FAILURE(error)) return nullptr;
        if (converter != nullptr) ucnv_close(converter);
        converter = opened;
        name = codePage;
        return converter;
    }

private:
    std::string name;
    UConverter* converter = nullptr;
};

UConverter* hostConverter() {
    thread_local ConverterCache cache;
    return cache.get(codePageName());
}

}  // namespace

std::string codePageName() {
    if (qUTF8mode() != 0) return "UTF-8";
    return VORNMBDefaultCodePage();
}

icu::UnicodeString mbcsToUTF16(const std::string& bytes) {
    icu::UnicodeString result;
    if (bytes.empty()) return result;
    UConverter* converter = hostConverter();
    if (converter == nullptr) return result;
    // One byte never yields more than two UTF-16 units; the extra unit leaves
    // room for the terminator the converter writes when it fits.
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = static_cast<int32_t>(bytes.size());
    const int32_t capacity = 2 * n + 1;
    UChar* buffer = result.getBuffer(capacity);
    int32_t written = ucnv_toUChars(converter, buffer, capacity, bytes.data(), n, &error);
    result.releaseBuffer(U_FAILURE(error) ? 0 : written);
    return result;
}

std::string utf16ToMBCS(const icu::UnicodeString& text) {
    std::string result;
    if (text.isEmpty()) return result;
    UConverter* converter = hostConverter();
    if (converter == nullptr) return result;
    UErrorCode error = U_ZERO_ERROR;
    const int32_t m = text.length();
    const int32_t size = ucnv_getMaxCharSize(converter) * (m + 10);
    result.resize(static_cast<size_t>(size));
    int32_t written = ucnv_fromUChars(converter, &result[0], size, text.getBuffer(), m, &error);
    result.resize(U_SUCCESS(error) ? static_cast<size_t>(written) : 0);
    return result;
}
