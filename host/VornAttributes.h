// Custom attributes of a data source or of one of its variables: an ordered
// collection of named lists of texts, with a version number. Names and values
// are multibyte text in the host's code page. A plain value type: copies are
// independent, and a collection may be read from several threads at once.
#ifndef VORN_ATTRIBUTES_H
#define VORN_ATTRIBUTES_H

#include <cstdint>
#include <string>
#include <vector>

class DatasourceAttributes {
public:
    DatasourceAttributes();

    // The number of attributes.
    unsigned Size() const;
    // The name of attribute i; throws std::out_of_range past the end.
    std::string Name(unsigned i) const;
    // The values of attribute i, in order; throws std::out_of_range past the end.
    std::vector<std::string> Values(unsigned i) const;
    // The same without a copy, valid while the collection is unchanged; for
    // readers that walk every variable's attributes.
    const std::string& NameAt(unsigned i) const;
    const std::vector<std::string>& ValuesAt(unsigned i) const;
    // The index of the attribute named exactly name, or -1.
    int FindAttribute(const std::string& name) const;

    // Appends an attribute, or replaces the values of the one already named
    // name (keeping its place).
    void AddAttribute(const std::string& name, const std::vector<std::string>& values);
    // Removes every attribute; the version stays.
    void Clear();

    // The collection's version number, carried unchanged; 1 for a new one.
    std::uint32_t version;

private:
    struct Entry {
        std::string name;
        std::vector<std::string> values;
    };
    std::vector<Entry> entries;
};

#endif
