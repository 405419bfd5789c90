// Switches one category of the C runtime locale for the life of the guard and
// restores the previous setting afterwards. active() is false when the locale
// is not installed on this machine (scripts/setup generates the ones the tests
// use); the setting is then unchanged.
#ifndef TRANSSPACE_TESTS_LOCALEGUARD_H
#define TRANSSPACE_TESTS_LOCALEGUARD_H

#include <clocale>
#include <string>

class LocaleGuard {
public:
    LocaleGuard(int category, const char* name)
        : category(category), saved(std::setlocale(category, nullptr)) {
        switched = std::setlocale(category, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(category, saved.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

    bool active() const { return switched; }

private:
    int category;
    std::string saved;
    bool switched;
};

// Skips the running test when the guard could not switch.
#define SKIP_UNLESS_ACTIVE(guard) \
    if (!(guard).active()) GTEST_SKIP() << "locale not installed; run scripts/setup"

#endif
