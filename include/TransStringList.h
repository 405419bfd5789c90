// TransStringList is an append-only list of UTF-16 texts, read entry by entry
// or as arrays of pointers, in UTF-16 or in the host's multibyte code page.
// Returned pointers and arrays point into the list; they stay valid until the
// next push_back, assignment, copy or destruction. Reads fill caches: use one
// list from one thread at a time.
#ifndef TRANSSPACE_TRANSSTRINGLIST_H
#define TRANSSPACE_TRANSSTRINGLIST_H

#include "TransStatus.h"

class TRANS_EXPORT TransStringList {
public:
    TransStringList();
    TransStringList(const TransStringList& other);  // copies the entries, not the caches
    ~TransStringList();
    TransStringList& operator=(TransStringList other);  // copy-and-swap
    void swap(TransStringList& other);                  // exchanges private objects only

    bool empty() const;
    unsigned int size() const;

    // Appends a copy of the text up to its first zero unit; null appends an
    // empty entry. Sets no flag.
    void push_back(const unsigned short* utf16, TransStatus& st);
    void push_back(const unsigned short* utf16);

    // One entry; null with failure and warning when the index is out of
    // range, warning alone when the entry is empty.
    const unsigned short* asUTF16(unsigned long index, TransStatus& st) const;
    const unsigned short* asUTF16(unsigned long index) const;
    const char* asMBCS(unsigned long index, TransStatus& st) const;
    const char* asMBCS(unsigned long index) const;

    // All entries as size() pointers (no terminating null); null with failure
    // and warning when the list is empty.
    const unsigned short* const* asUTF16Array(TransStatus& st) const;
    const unsigned short* const* asUTF16Array() const;
    const char* const* asMBCSArray(TransStatus& st) const;
    const char* const* asMBCSArray() const;

    // Lexicographic over the entries, each compared by UTF-16 code units.
    bool operator<(const TransStringList& other) const;

private:
    friend class TransStringListAccess;
    struct Data;
    Data* data;
};

#endif
