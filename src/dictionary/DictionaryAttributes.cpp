// Custom attribute sets of the data source and its variables, and extension
// records.
#include <cstddef>
#include <string>
#include <vector>

#include "dictionary/DictionarySections.h"
#include "dictionary/DictionaryStore.h"
#include "dictionary/DictionaryTree.h"

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

template <class Tree>
bool DictionarySections<Tree>::addFileAttributes(const VORN_DataSource& source, Element root) {
    const Element s = makeAttributeSet(source.Attributes());
    if (s == Tree::none) return false;
    placeUnderRoot(root, s, Tag::attributeSet,
                   {Tag::multipleResponseSet, Tag::variableSet, Tag::valueLabelSet,
                    Tag::weightVariable, Tag::variable});
    return true;
}

template <class Tree>
bool DictionarySections<Tree>::addVariableAttributes(const VORN_Variable& v,
                                                     Element variableElement) {
    const Element s = makeAttributeSet(v.Attributes());
    if (s == Tree::none) return false;
    appendTo(variableElement, s, Tag::attributeSet);
    return true;
}

template <class Tree>
typename DictionarySections<Tree>::Element DictionarySections<Tree>::makeAttributeSet(
    const DatasourceAttributes& attributes) {
    const unsigned n = attributes.Size();
    if (n == 0) return Tree::none;
    const Element s = tree.element(Tag::attributeSet);
    tree.setInteger(s, Attr::version, static_cast<std::int64_t>(attributes.version));
    for (unsigned i = 0; i < n; ++i) addAttribute(attributes.NameAt(i), attributes.ValuesAt(i), s);
    return s;
}

template <class Tree>
bool DictionarySections<Tree>::addAttribute(const std::string& name,
                                            const std::vector<std::string>& values, Element set) {
    const Element a = tree.element(Tag::attribute);
    tree.setText(a, Attr::name, name.c_str());
    tree.setWord(a, Attr::type, !name.empty() && name[0] == '$' ? u"system" : u"user");
    for (const std::string& value : values)
        appendText(a, Tag::attributeValue, Attr::value, value.c_str());
    appendTo(set, a, Tag::attribute);
    return true;
}

template <class Tree>
unsigned DictionarySections<Tree>::addExtensions(const VORN_DataSource& source, Element root) {
    unsigned present = 0;
    for (int type : extensionTypes) {
        if (!source.HasExtension(type)) continue;
        ++present;
        VORN_DataSource::Extension record(source, type);
        const long length = record.Length();
        const long elementSize = record.ElementSize();
        const std::size_t size =
            length > 0 && elementSize > 0 ? static_cast<std::size_t>(length) * elementSize : 0;
        std::vector<unsigned char> bytes(size);
        if (size > 0) record.GetNext(bytes.data(), length);
        const Element x = tree.element(Tag::extension);
        tree.setText(x, Attr::data, hexText(bytes).c_str());
        tree.setInteger(x, Attr::elementSize, elementSize);
        tree.setInteger(x, Attr::length, length);
        tree.setInteger(x, Attr::type, record.Type());
        appendTo(root, x, Tag::extension);
    }
    return present;
}

#define TRANSSPACE_ATTRIBUTE_SECTIONS(Tree)                                             \
    template bool DictionarySections<Tree>::addFileAttributes(const VORN_DataSource&,   \
                                                              Tree::Element);           \
    template bool DictionarySections<Tree>::addVariableAttributes(const VORN_Variable&, \
                                                                  Tree::Element);       \
    template Tree::Element DictionarySections<Tree>::makeAttributeSet(                  \
        const DatasourceAttributes&);                                                   \
    template bool DictionarySections<Tree>::addAttribute(                               \
        const std::string&, const std::vector<std::string>&, Tree::Element);            \
    template unsigned DictionarySections<Tree>::addExtensions(const VORN_DataSource&,   \
                                                              Tree::Element);
TRANSSPACE_ATTRIBUTE_SECTIONS(DomTree)
TRANSSPACE_ATTRIBUTE_SECTIONS(StoreTree)
