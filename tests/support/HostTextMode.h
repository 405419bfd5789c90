// Pins the host's text mode and code page for one test and restores the
// previous settings (following the locale) afterwards.
#ifndef TRANSSPACE_TESTS_HOSTTEXTMODE_H
#define TRANSSPACE_TESTS_HOSTTEXTMODE_H

#include <string>

#include "VornPlatform.h"

class HostTextMode {
public:
    // codePage null: UTF-8 mode; otherwise that code page with UTF-8 mode off.
    explicit HostTextMode(const char* codePage) {
        if (codePage == nullptr) {
            SetUTF8Mode(1);
        } else {
            SetUTF8Mode(0);
            SetMBDefaultCodePage(codePage);
        }
    }
    ~HostTextMode() {
        SetUTF8Mode(-1);
        SetMBDefaultCodePage(nullptr);
    }
    HostTextMode(const HostTextMode&) = delete;
    HostTextMode& operator=(const HostTextMode&) = delete;
};

#endif
