#include "TransString.h"

#include <clocale>
#include <string>
#include <utility>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "text/CodePage.h"
#include "text/TransText.h"

namespace {

// Canonicalising the locale name costs more than upper-casing a short name,
// so each thread keeps the locale of the last LC_CTYPE name it saw; the name
// is still asked at every case mapping.
const icu::Locale& characterTypeLocale() {
    thread_local bool made = false;
    thread_local std::string name;
    thread_local icu::Locale locale;
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    if (current == nullptr) current = "";
    if (!made || name != current) {
        made = true;
        name = current;
        locale = icu::Locale::createCanonical(current);
    }
    return locale;
}

}  // namespace

struct TransString::Data {
    icu::UnicodeString upper;  // made on the first comparison, dropped by trim
    icu::UnicodeString utf16;
    std::string mbcs;

    // Converted views stay empty when the conversion yields nothing, so the
    // next request tries again.
    const icu::UnicodeString& utf16View() {
        if (utf16.isEmpty() && !mbcs.empty()) utf16 = mbcsToUTF16(mbcs);
        return utf16;
    }
    const std::string& mbcsView() {
        if (mbcs.empty() && !utf16.isEmpty()) mbcs = utf16ToMBCS(utf16);
        return mbcs;
    }
    const icu::UnicodeString& upperView() {
        if (!upper.isEmpty() || (utf16.isEmpty() && mbcs.empty())) return upper;
        upper = utf16View();
        upper.toUpper(characterTypeLocale());
        return upper;
    }
};

namespace {

const unsigned short* terminated(icu::UnicodeString& text) {
    return reinterpret_cast<const unsigned short*>(text.getTerminatedBuffer());
}

}  // namespace

TransString::TransString() : data(new Data) {}

TransString::TransString(const unsigned short* utf16) : data(new Data) {
    if (utf16 != nullptr) data->utf16 = icu::UnicodeString(reinterpret_cast<const UChar*>(utf16));
}

TransString::TransString(const char* mbcs) : data(new Data) {
    if (mbcs != nullptr) data->mbcs = mbcs;
}

TransString::TransString(const TransString& other) : data(new Data(*other.data)) {}

TransString::~TransString() { delete data; }

TransString& TransString::operator=(TransString other) {
    swap(other);
    return *this;
}

void TransString::swap(TransString& other) { std::swap(data, other.data); }

bool TransString::empty() const { return data->utf16.isEmpty() && data->mbcs.empty(); }

const unsigned short* TransString::asUTF16(TransStatus& st) const {
    st.reset();
    st.warning(empty());
    data->utf16View();
    return terminated(data->utf16);
}

const unsigned short* TransString::asUTF16() const {
    TransStatus st;
    return asUTF16(st);
}

const char* TransString::asMBCS(TransStatus& st) const {
    st.reset();
    st.warning(empty());
    return data->mbcsView().c_str();
}

const char* TransString::asMBCS() const {
    TransStatus st;
    return asMBCS(st);
}

TransString& TransString::trim(TransStatus& st) {
    st.reset();
    data->utf16View();
    data->utf16.trim();
    data->upper.remove();
    data->mbcs.clear();
    st.warning(data->utf16.isEmpty());
    return *this;
}

bool TransString::operator<(const TransString& other) const {
    const icu::UnicodeString& b = other.data->upperView();
    const icu::UnicodeString& a = data->upperView();
    return a < b;
}

const icu::UnicodeString& TransStringAccess::utf16(const TransString& s) {
    return s.data->utf16View();
}

TransString TransStringAccess::fromUTF16(const icu::UnicodeString& text) {
    TransString s;
    int32_t zero = text.indexOf(static_cast<UChar>(0));
    s.data->utf16 = zero < 0 ? text : icu::UnicodeString(text, 0, zero);
    return s;
}

TransString* TransStringAccess::newFromUTF16(const icu::UnicodeString& text) {
    TransString* s = new TransString;
    TransString built = fromUTF16(text);
    s->swap(built);
    return s;
}

TransString* TransStringAccess::newFromMBCS(const char* bytes) { return new TransString(bytes); }

TransString* TransStringAccess::newFromMBCS(std::string&& bytes) {
    const std::size_t end = bytes.find('\0');
    if (end != std::string::npos) bytes.resize(end);
    TransString* s = new TransString;
    s->data->mbcs = std::move(bytes);
    return s;
}
