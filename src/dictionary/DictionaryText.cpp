#include "dictionary/DictionaryText.h"

#include <cstring>

#include "TransStatus.h"
#include "TransString.h"
#include "TransValue.h"
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
bool setCached(std::unordered_map<Key, std::u16string>& cache, std::size_t capacity, Key key,
               DOMElement* e, const XMLCh* name, Make make) {
    auto found = cache.find(key);
    if (found != cache.end()) {
        e->setAttribute(name, found->second.c_str());
        return true;
    }
    std::u16string text;
    if (!make(text)) return false;
    e->setAttribute(name, text.c_str());
    if (cache.size() < capacity) cache.emplace(key, std::move(text));
    return true;
}

}  // namespace

void setTextAttribute(DOMElement* e, const XMLCh* name, const char* mbcs) {
    const TransString text(mbcs);
    e->setAttribute(name, utf16(text));
}

bool NumberTexts::setInteger(DOMElement* e, const XMLCh* name, std::int64_t n) {
    return setCached(integers, capacity, n, e, name, [n](std::u16string& text) {
        const TransIntegerImpl number(n);
        return formatted<TransValueImpl>(number, &TransValueImpl::asString, text);
    });
}

bool NumberTexts::setDecimal(DOMElement* e, const XMLCh* name, double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return setCached(decimals, capacity, bits, e, name, [d](std::u16string& text) {
        const TransDoubleImpl number(d);
        return formatted(number, &TransDoubleImpl::asEnglishString, text);
    });
}
