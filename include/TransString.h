// TransString holds a text given as UTF-16 or as multibyte bytes in the host's
// code page and hands out either form, converting on first request and keeping
// the result. Returned pointers point into the string and are never freed by
// the caller. Reads fill caches: use one string from one thread at a time.
#ifndef TRANSSPACE_TRANSSTRING_H
#define TRANSSPACE_TRANSSTRING_H

#include "TransStatus.h"

class TRANS_EXPORT TransString {
public:
    TransString();
    // UTF-16 code units up to the first zero unit; null gives the empty string.
    explicit TransString(const unsigned short* utf16);
    // Multibyte bytes up to the first zero byte, kept unconverted; null gives
    // the empty string.
    explicit TransString(const char* mbcs);
    TransString(const TransString& other);  // deep copy, cached views included
    ~TransString();
    TransString& operator=(TransString other);  // copy-and-swap
    void swap(TransString& other);              // exchanges private objects only

    // True when both views are empty; converts nothing.
    bool empty() const;

    // The zero-terminated UTF-16 view, never null. Sets the warning flag when
    // the string is empty. Valid until the string is trimmed, assigned,
    // copied or destroyed.
    const unsigned short* asUTF16(TransStatus& st) const;
    const unsigned short* asUTF16() const;

    // The zero-terminated multibyte view in the host's code page, never null.
    // Sets the warning flag when the string is empty.
    const char* asMBCS(TransStatus& st) const;
    const char* asMBCS() const;

    // Removes white space at both ends. Sets the warning flag when the result
    // is empty.
    TransString& trim(TransStatus& st);

    // Case-insensitive order through the upper-case forms under the process's
    // character-type locale.
    bool operator<(const TransString& other) const;

private:
    friend class TransStringAccess;
    struct Data;
    Data* data;
};

#endif
