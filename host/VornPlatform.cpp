#include "VornPlatform.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <mutex>

namespace {

struct Settings {
    std::mutex lock;
    int utf8Mode = -1;  // -1: follow the locale
    bool codePagePinned = false;
    std::string codePage;
};

Settings& settings() {
    static Settings instance;
    return instance;
}

// nl_langinfo answers for the thread's current LC_CTYPE locale; glibc calls
// the C locale's set "ANSI_X3.4-1968", which ICU knows as US-ASCII.
std::string localeCharset() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0)
        return "US-ASCII";
    return codeset;
}

bool isUTF8Name(const std::string& name) {
    std::string folded;
    for (char c : name)
        if (c != '-' && c != '_') folded += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return folded == "UTF8";
}

}  // namespace

int qUTF8mode() {
    Settings& s = settings();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.utf8Mode >= 0) return s.utf8Mode;
    return isUTF8Name(localeCharset()) ? 1 : 0;
}

std::string VORNMBDefaultCodePage() {
    Settings& s = settings();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.codePagePinned) return s.codePage;
    return localeCharset();
}

void SetUTF8Mode(int mode) {
    Settings& s = settings();
    std::lock_guard<std::mutex> guard(s.lock);
    s.utf8Mode = mode < 0 ? -1 : (mode ? 1 : 0);
}

void SetMBDefaultCodePage(const char* name) {
    Settings& s = settings();
    std::lock_guard<std::mutex> guard(s.lock);
    s.codePagePinned = name != nullptr && *name != '\0';
    s.codePage = s.codePagePinned ? name : "";
}
