#include "VornCodePage.h"

#include <cstdio>
#include <memory>

#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include "VornPlatform.h"

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenHostConverter(std::string& name) {
    name = GetHostCodePageName();
    UErrorCode status = U_ZERO_ERROR;
    Converter c(ucnv_open(name.c_str(), &status));
    if (U_FAILURE(status)) c.reset();
    return c;
}

bool IsASCII(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// Returns false when some character has no mapping: the stop callback makes
// ICU fail instead of substituting.
bool FromUnicode(UConverter* c, const icu::UnicodeString& text, std::string& out) {
    out.clear();
    if (text.isEmpty()) return true;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(c);
    ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return false;
    int32_t size = ucnv_fromUChars(c, nullptr, 0, text.getBuffer(), text.length(), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return false;
    status = U_ZERO_ERROR;
    out.resize(static_cast<size_t>(size) + 1);
    size = ucnv_fromUChars(c, &out[0], size + 1, text.getBuffer(), text.length(), &status);
    if (U_FAILURE(status)) return false;
    out.resize(static_cast<size_t>(size));
    return true;
}

bool ToUnicode(UConverter* c, const std::string& bytes, icu::UnicodeString& out) {
    out.remove();
    if (bytes.empty()) return true;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(c);
    int32_t capacity = static_cast<int32_t>(2 * bytes.size() + 1);
    UChar* buffer = out.getBuffer(capacity);
    if (buffer == nullptr) return false;
    int32_t length = ucnv_toUChars(c, buffer, capacity, bytes.data(),
                                   static_cast<int32_t>(bytes.size()), &status);
    out.releaseBuffer(U_FAILURE(status) ? 0 : length);
    return U_SUCCESS(status);
}

}  // namespace

std::string GetHostCodePageName() { return qUTF8mode() ? "UTF-8" : VORNMBDefaultCodePage(); }

VornHostTextConverter::VornHostTextConverter() : converter(nullptr), name(GetHostCodePageName()) {
    UErrorCode status = U_ZERO_ERROR;
    converter = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status)) {
        if (converter != nullptr) ucnv_close(converter);
        converter = nullptr;
    }
}

VornHostTextConverter::~VornHostTextConverter() {
    if (converter != nullptr) ucnv_close(converter);
}

bool VornHostTextConverter::IsOpen() const { return converter != nullptr; }

const std::string& VornHostTextConverter::GetCodePageName() const { return name; }

bool VornHostTextConverter::FromUTF8(const std::string& utf8, std::string& mbcs,
                                     std::string& error) {
    mbcs.clear();
    if (utf8.empty()) return true;
    if (converter == nullptr) {
        error = "the host code page \"" + name + "\" cannot be opened";
        return false;
    }
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    if (FromUnicode(converter, text, mbcs)) return true;
    // Find the first code point without a mapping, to name it.
    std::string single;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        UChar32 cp = text.char32At(i);
        if (!FromUnicode(converter, icu::UnicodeString(cp), single)) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(cp));
            error = std::string("the character ") + hex + " cannot be held in the code page \"" +
                    name + "\"";
            mbcs.clear();
            return false;
        }
    }
    error = "the text cannot be converted to the code page \"" + name + "\"";
    mbcs.clear();
    return false;
}

bool ConvertUTF8ToHost(const std::string& utf8, std::string& mbcs, std::string& error) {
    mbcs.clear();
    if (utf8.empty()) return true;
    VornHostTextConverter converter;
    return converter.FromUTF8(utf8, mbcs, error);
}

std::string ChangeHostTextCase(const std::string& mbcs, int change) {
    if (change != 0 && change != 1) return mbcs;
    if (IsASCII(mbcs)) {
        std::string out = mbcs;
        for (char& ch : out) {
            if (change == 0 && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
            if (change == 1 && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        }
        return out;
    }
    std::string name;
    Converter c = OpenHostConverter(name);
    icu::UnicodeString text;
    if (!c || !ToUnicode(c.get(), mbcs, text)) return mbcs;
    if (change == 0)
        text.toLower(icu::Locale::getRoot());
    else
        text.toUpper(icu::Locale::getRoot());
    std::string out;
    return FromUnicode(c.get(), text, out) ? out : mbcs;
}

std::string FoldHostTextCase(const std::string& mbcs) {
    if (IsASCII(mbcs)) return ChangeHostTextCase(mbcs, 0);
    std::string name;
    Converter c = OpenHostConverter(name);
    icu::UnicodeString text;
    if (!c || !ToUnicode(c.get(), mbcs, text)) return mbcs;
    text.foldCase();
    // UTF-8 holds every folded character; the key is never shown.
    std::string key;
    text.toUTF8String(key);
    return key;
}

void AppendUTF16AsUTF8(std::string& out, const char16_t* units, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}
