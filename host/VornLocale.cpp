#include "VornLocale.h"

#include <clocale>

#include <unicode/uloc.h>

int GetServerLocaleList(std::string& name, std::vector<std::string>& list) {
    list.clear();
    std::string id = name;
    if (id.empty()) {
        const char* current = std::setlocale(LC_CTYPE, nullptr);
        id = current != nullptr ? current : "";
    }
    std::string modifier;
    size_t at = id.find('@');
    if (at != std::string::npos) {
        modifier = id.substr(at + 1);
        id.erase(at);
    }
    size_t dot = id.find('.');
    if (dot != std::string::npos) id.erase(dot);
    if (id == "C" || id == "POSIX") id = "en_US_POSIX";
    if (id.empty()) return 0;
    // ICU reads a POSIX modifier as a variant; the script modifiers are scripts.
    if (modifier == "latin" || modifier == "cyrillic") {
        size_t underscore = id.find('_');
        std::string script = modifier == "latin" ? "Latn" : "Cyrl";
        if (underscore == std::string::npos)
            id += "_" + script;
        else
            id.insert(underscore, "_" + script);
    }
    char canonical[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_canonicalize(id.c_str(), canonical, sizeof canonical, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0) return 0;
    list.push_back(std::string(canonical, static_cast<size_t>(length)));
    return 1;
}
