// Text in the host's multibyte code page: conversion from UTF-8 that reports
// what cannot be held, and the letter-case operations of the data-source
// library. Every call asks the platform library for the current code page.
#ifndef VORN_CODE_PAGE_H
#define VORN_CODE_PAGE_H

#include <cstddef>
#include <string>

struct UConverter;

// The ICU converter name of the host's current multibyte text.
std::string GetHostCodePageName();

// A converter from UTF-8 into the host's code page as it was when the
// converter was made, for converting many texts at once. One thread at a time.
class VornHostTextConverter {
public:
    VornHostTextConverter();
    ~VornHostTextConverter();
    VornHostTextConverter(const VornHostTextConverter&) = delete;
    VornHostTextConverter& operator=(const VornHostTextConverter&) = delete;

    // False when ICU cannot open the code page.
    bool IsOpen() const;
    const std::string& GetCodePageName() const;
    // As ConvertUTF8ToHost.
    bool FromUTF8(const std::string& utf8, std::string& mbcs, std::string& error);

private:
    UConverter* converter;
    std::string name;
};

// Converts UTF-8 text into the host's code page. False, with a one-line
// reason in error, when the code page cannot be opened or holds no
// character for a code point of the text (named as U+XXXX).
bool ConvertUTF8ToHost(const std::string& utf8, std::string& mbcs, std::string& error);

// Changes the letter case of host text: 0 to lower case, 1 to upper case,
// anything else leaves it as it is. Text that cannot be converted stays as it is.
std::string ChangeHostTextCase(const std::string& mbcs, int change);

// Appends length UTF-16 units to out as UTF-8. A surrogate without its pair
// is written as the code point it names, so nothing is lost on the way.
void AppendUTF16AsUTF8(std::string& out, const char16_t* units, std::size_t length);

// A key equal for two host texts that differ only in letter case.
std::string FoldHostTextCase(const std::string& mbcs);

#endif
