// A host in ten lines: a space, a value stored and found again, a release.
#include <TransSpace.h>

#include <cstdio>

int main() {
    TransSpace space;
    space.add(TransString("greeting"), TransValue(TransString("hello from the space")));
    TransString* text = space.find(TransString("GREETING")).asString();
    std::printf("%s\n", text->asMBCS());
    TransSpace::releaseString(text);
    return 0;
}
