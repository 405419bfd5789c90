// Custom attribute sets of the data source and its variables, and extension
// records.
#include <cstddef>
#include <string>
#include <vector>

#include "dictionary/DictionaryBuilder.h"
#include "dictionary/DictionaryText.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// The record types that are asked for, in the order they are written.
const int extensionTypes[] = {1, 2, 3, 4, 6, 8, 9, 10, 12, 15};

std::string hexText(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * bytes.size());
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

}  // namespace

bool DictionaryBuilder::addFileAttributes(const VORN_DataSource& source, DOMElement* root) {
    const DatasourceAttributes attributes = source.GetAttributes();
    DOMElement* s = makeAttributeSet(attributes);
    if (s == nullptr) return false;
    placeUnderRoot(root, s, rootKindCount,
                   {kindMultipleResponseSet, kindVariableSet, kindValueLabelSet, kindWeightVariable,
                    kindVariable});
    return true;
}

bool DictionaryBuilder::addVariableAttributes(const VORN_Variable& v, DOMElement* variableElement) {
    const DatasourceAttributes attributes = v.GetAttributes();
    DOMElement* s = makeAttributeSet(attributes);
    if (s == nullptr) return false;
    variableElement->appendChild(s);
    return true;
}

DictionaryBuilder::DOMElement* DictionaryBuilder::makeAttributeSet(
    const DatasourceAttributes& attributes) {
    const unsigned n = attributes.Size();
    if (n == 0) return nullptr;
    DOMElement* s = element(u"attributeSet");
    numbers.setInteger(s, u"version", static_cast<std::int64_t>(attributes.version));
    for (unsigned i = 0; i < n; ++i) addAttribute(attributes.Name(i), attributes.Values(i), s);
    return s;
}

bool DictionaryBuilder::addAttribute(const std::string& name,
                                     const std::vector<std::string>& values, DOMElement* set) {
    DOMElement* a = element(u"attribute");
    setTextAttribute(a, u"name", name);
    a->setAttribute(u"type", !name.empty() && name[0] == '$' ? u"system" : u"user");
    for (const std::string& value : values) {
        DOMElement* v = element(u"attributeValue");
        setTextAttribute(v, u"value", value);
        a->appendChild(v);
    }
    set->appendChild(a);
    return true;
}

unsigned DictionaryBuilder::addExtensions(const VORN_DataSource& source, DOMElement* root) {
    unsigned present = 0;
    for (int type : extensionTypes) {
        if (!source.HasExtension(type)) continue;
        ++present;
        VORN_DataSource::Extension record(source, type);
        DOMElement* x = element(u"extension");
        numbers.setInteger(x, u"type", record.Type());
        numbers.setInteger(x, u"elementSize", record.ElementSize());
        numbers.setInteger(x, u"length", record.Length());
        const long length = record.Length();
        const long elementSize = record.ElementSize();
        const std::size_t size =
            length > 0 && elementSize > 0 ? static_cast<std::size_t>(length) * elementSize : 0;
        std::vector<unsigned char> bytes(size);
        if (size > 0) record.GetNext(bytes.data(), length);
        setTextAttribute(x, u"data", hexText(bytes));
        root->appendChild(x);
    }
    return present;
}
