// TransImage is a plain record that a TransSpace stores in named sequences.
// The library copies it and compares only its name; the other fields are the
// host's. Copies share nothing.
#ifndef TRANSSPACE_TRANSIMAGE_H
#define TRANSSPACE_TRANSIMAGE_H

#include <string>

#include "TransStatus.h"
#include "TransString.h"

class TRANS_EXPORT TransImage {
public:
    TransImage();  // name, data and info empty; number 0
    TransImage(const TransImage& other);
    TransImage& operator=(const TransImage& other);
    ~TransImage();

    TransString name;  // the key within its owner's sequence
    std::string data;  // carried unchanged
    TransString info;  // carried unchanged
    int number;        // carried unchanged
};

#endif
