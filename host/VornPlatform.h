// The host's platform library: the text mode and the default multibyte code
// page of the process. By default both follow the character set of the C
// runtime's current LC_CTYPE locale; a host (or a test) may pin either with
// the Set functions. Every call reads the current setting, so a change takes
// effect at the next conversion. The functions are safe to call from several
// threads.
#ifndef VORN_PLATFORM_H
#define VORN_PLATFORM_H

#include <string>

// Nonzero when the host runs in UTF-8 mode: pinned by SetUTF8Mode, otherwise
// when the LC_CTYPE locale's character set is UTF-8.
int qUTF8mode();

// The ICU converter name of the host's default multibyte code page: pinned by
// SetMBDefaultCodePage, otherwise the LC_CTYPE locale's character set
// ("US-ASCII" for the C locale).
std::string VORNMBDefaultCodePage();

// 1 pins UTF-8 mode on, 0 pins it off, -1 follows the locale again.
void SetUTF8Mode(int mode);

// Pins the default code page to name (passed to ICU unchanged, so an unknown
// name makes every conversion yield empty text); null or "" follows the locale
// again.
void SetMBDefaultCodePage(const char* name);

#endif
