// The dictionary namespace and the location of its schema. Both name one host
// of the project's own; the scheme and the paths are fixed.
#ifndef TRANSSPACE_DICTIONARY_DICTIONARYNAMESPACE_H
#define TRANSSPACE_DICTIONARY_DICTIONARYNAMESPACE_H

#include <string>

// The one place where the host is named; schema/dictionary-1.0.xsd repeats
// the namespace URI as its target namespace.
inline constexpr char16_t dictionaryHost[] = u"www.transspace.org";

// "http://<host>/vorn/data": the default namespace of serialised dictionaries.
inline std::u16string dictionaryNamespaceURI() {
    return std::u16string(u"http://") + dictionaryHost + u"/vorn/data";
}

// "http://<host>/vorn/data/dictionary-1.0.xsd".
inline std::u16string dictionarySchemaURI() {
    return dictionaryNamespaceURI() + u"/dictionary-1.0.xsd";
}

// The standard XML Schema instance namespace.
inline constexpr char16_t schemaInstanceURI[] = u"http://www.w3.org/2001/XMLSchema-instance";

#endif
