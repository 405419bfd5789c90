// TransSpace is the registry of named values and named image sequences that a
// host creates first and destroys last; while one exists the XML runtime is
// up. Names are trimmed and compared without regard to letter case. find and
// findImage return references into the space, valid until that entry is
// removed or the space is destroyed. Spaces may be created and destroyed on
// any thread (the runtime's start and stop are locked), but a space takes no
// lock: one thread at a time, even for const operations, which fill the
// names' cached upper-case forms.
#ifndef TRANSSPACE_TRANSSPACE_H
#define TRANSSPACE_TRANSSPACE_H

#include "TransImage.h"
#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"
#include "TransValue.h"

class TRANS_EXPORT TransSpace {
public:
    TransSpace();   // brings the XML runtime up with the first live space
    ~TransSpace();  // destroys images and values, then the runtime after the last space
    // A space owns the process-wide runtime and every stored value: it is
    // neither copied nor assigned.
    TransSpace(const TransSpace&) = delete;
    TransSpace& operator=(const TransSpace&) = delete;

    // Stores a copy of value under the trimmed name; false with failure and
    // warning when the name is empty or already present.
    bool add(const TransString& name, const TransValue& value, TransStatus& st);
    bool add(const TransString& name, const TransValue& value);
    // The stored value, or the space's null value with failure and warning.
    const TransValue& find(const TransString& name, TransStatus& st) const;
    const TransValue& find(const TransString& name) const;
    // True when a value is stored under name; warning alone when it is not.
    bool exists(const TransString& name, TransStatus& st) const;
    bool exists(const TransString& name) const;
    // Removes the value stored under name; images stay.
    bool remove(const TransString& name, TransStatus& st);
    bool remove(const TransString& name);
    // A new list of the stored names in case-insensitive order, owned by the
    // caller; empty with the warning flag when nothing is stored.
    TransStringList* list(TransStatus& st) const;
    TransStringList* list() const;

    // Appends a copy of image to the sequence of the owner name.
    bool addImage(const TransString& name, const TransImage& image, TransStatus& st);
    // The first image of the owner whose trimmed name matches exactly, or the
    // null image.
    const TransImage& findImage(const TransString& name, const TransString& imageName,
                                TransStatus& st) const;
    bool existsImage(const TransString& name, const TransString& imageName,
                     TransStatus& st) const;
    bool removeImage(const TransString& name, const TransString& imageName, TransStatus& st);
    // Removes the value and the whole image sequence of name; the result and
    // flags speak of the value alone.
    bool removeAll(const TransString& name, TransStatus& st);

    // Free an object returned by the library and null the pointer; same as
    // the members of TransValue.
    static void releaseString(TransString*& string, TransStatus& st);
    static void releaseString(TransString*& string);
    static void releaseStringList(TransStringList*& list, TransStatus& st);
    static void releaseStringList(TransStringList*& list);

    struct Data;

private:
    Data* data;
};

#endif
