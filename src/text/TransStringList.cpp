#include "TransStringList.h"

#include <string>
#include <utility>
#include <vector>

#include <unicode/unistr.h>

#include "text/CodePage.h"
#include "text/TransText.h"

struct TransStringList::Data {
    std::vector<icu::UnicodeString> strings;
    std::vector<std::string> mbcsStrings;
    std::vector<const unsigned short*> utf16Array;
    std::vector<const char*> mbcsArray;

    void append(icu::UnicodeString text) {
        strings.push_back(std::move(text));
        // Growing the vector may move every entry's buffer, so no cached
        // pointer survives an append.
        utf16Array.clear();
        mbcsArray.clear();
        mbcsStrings.clear();
    }

    const unsigned short* entry(size_t i) {
        return reinterpret_cast<const unsigned short*>(strings[i].getTerminatedBuffer());
    }

    // Rebuilds the multibyte copies whole when an append made them stale.
    void makeMBCSCurrent(TransStatus& st) {
        if (strings.empty()) {
            st.failure(true);
            st.warning(true);
            return;
        }
        if (mbcsStrings.size() == strings.size()) return;
        mbcsStrings.clear();
        mbcsStrings.reserve(strings.size());
        for (const icu::UnicodeString& s : strings) mbcsStrings.push_back(utf16ToMBCS(s));
        mbcsArray.clear();
        mbcsArray.reserve(mbcsStrings.size());
        for (const std::string& s : mbcsStrings) {
            mbcsArray.push_back(s.c_str());
            if (s.empty()) st.warning(true);
        }
    }
};

TransStringList::TransStringList() : data(new Data) {}

TransStringList::TransStringList(const TransStringList& other) : data(new Data) {
    data->strings = other.data->strings;
}

TransStringList::~TransStringList() { delete data; }

TransStringList& TransStringList::operator=(TransStringList other) {
    swap(other);
    return *this;
}

void TransStringList::swap(TransStringList& other) { std::swap(data, other.data); }

bool TransStringList::empty() const { return data->strings.empty(); }

unsigned int TransStringList::size() const {
    return static_cast<unsigned int>(data->strings.size());
}

void TransStringList::push_back(const unsigned short* utf16, TransStatus& st) {
    st.reset();
    // Copied before the list grows: the pointer may point into this list.
    icu::UnicodeString text;
    if (utf16 != nullptr) text = icu::UnicodeString(reinterpret_cast<const UChar*>(utf16));
    data->append(std::move(text));
}

void TransStringList::push_back(const unsigned short* utf16) {
    TransStatus st;
    push_back(utf16, st);
}

const unsigned short* TransStringList::asUTF16(unsigned long index, TransStatus& st) const {
    st.reset();
    if (index >= data->strings.size()) {
        st.failure(true);
        st.warning(true);
        return nullptr;
    }
    st.warning(data->strings[index].isEmpty());
    return data->entry(index);
}

const unsigned short* TransStringList::asUTF16(unsigned long index) const {
    TransStatus st;
    return asUTF16(index, st);
}

const char* TransStringList::asMBCS(unsigned long index, TransStatus& st) const {
    st.reset();
    if (index >= data->strings.size()) {
        st.failure(true);
        st.warning(true);
        return nullptr;
    }
    data->makeMBCSCurrent(st);
    st.reset();
    st.warning(data->mbcsStrings[index].empty());
    return data->mbcsArray[index];
}

const char* TransStringList::asMBCS(unsigned long index) const {
    TransStatus st;
    return asMBCS(index, st);
}

const unsigned short* const* TransStringList::asUTF16Array(TransStatus& st) const {
    st.reset();
    if (data->strings.empty()) {
        st.failure(true);
        st.warning(true);
        return nullptr;
    }
    if (data->utf16Array.size() != data->strings.size()) {
        data->utf16Array.clear();
        data->utf16Array.reserve(data->strings.size());
        for (size_t i = 0; i < data->strings.size(); ++i) {
            data->utf16Array.push_back(data->entry(i));
            if (data->strings[i].isEmpty()) st.warning(true);
        }
    }
    return data->utf16Array.data();
}

const unsigned short* const* TransStringList::asUTF16Array() const {
    TransStatus st;
    return asUTF16Array(st);
}

const char* const* TransStringList::asMBCSArray(TransStatus& st) const {
    st.reset();
    if (data->strings.empty()) {
        st.failure(true);
        st.warning(true);
        return nullptr;
    }
    data->makeMBCSCurrent(st);
    return data->mbcsArray.data();
}

const char* const* TransStringList::asMBCSArray() const {
    TransStatus st;
    return asMBCSArray(st);
}

bool TransStringList::operator<(const TransStringList& other) const {
    const std::vector<icu::UnicodeString>& a = data->strings;
    const std::vector<icu::UnicodeString>& b = other.data->strings;
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        if (a[i] < b[i]) return true;
        if (b[i] < a[i]) return false;
    }
    return a.size() < b.size();
}

void TransStringListAccess::append(TransStringList& list, const icu::UnicodeString& text) {
    int32_t zero = text.indexOf(static_cast<UChar>(0));
    list.data->append(zero < 0 ? text : icu::UnicodeString(text, 0, zero));
}
