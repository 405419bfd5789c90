// The server's locale list, from the host's window library. The server runs
// in one locale: the one whose C runtime name it is given. Safe to call from
// several threads.
#ifndef VORN_LOCALE_H
#define VORN_LOCALE_H

#include <string>
#include <vector>

// Replaces list with the ICU canonical name of the C runtime locale named in
// name and returns 1: the code set and the "@euro" modifier are dropped
// ("de_DE.UTF-8" and "de_DE@euro" give "de_DE"), the script modifiers
// "@latin" and "@cyrillic" become scripts ("sr_RS@latin" gives "sr_Latn_RS"),
// and "C" and "POSIX" (with or without a code set) give "en_US_POSIX". An
// empty name stands for the current LC_CTYPE locale. Returns 0, leaving list
// empty, when no locale name can be made. name is never changed.
int GetServerLocaleList(std::string& name, std::vector<std::string>& list);

#endif
