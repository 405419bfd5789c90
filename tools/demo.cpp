// A first look at the text vocabulary: the same text in UTF-16 and in two
// code pages of the host.
#include <cstdio>

#include "TransStatus.h"
#include "TransString.h"

int main() {
    std::printf("transspace: text vocabulary demo\n");
    return 0;
}
