// A host in ten lines: a space, a data source's dictionary stored and found
// again, one query, one release.
#include <TransSpace.h>
#include <VornJsonSource.h>
#include <VornPlatform.h>

#include <cstdio>

int main(int argc, char** argv) {
    SetUTF8Mode(1);    // the host's texts are UTF-8, whatever the C locale says
    TransSpace space;  // brings the XML runtime up; document values need it
    std::string error;
    auto source = LoadDataSourceJSON(argc > 1 ? argv[1] : "survey.json", error);
    if (!source) return std::fprintf(stderr, "%s\n", error.c_str()), 2;
    space.add(TransString("survey"), TransValue(*source));
    const TransValue& survey = space.find(TransString("SURVEY"));  // any letter case
    TransString* label =
        survey.asString(TransString("/dictionary/variable[@name='age']"), TransString("@label"));
    std::printf("%s\n", label->asMBCS());
    TransSpace::releaseString(label);
}
