// XML text indented for reading, for the tool's --indent: each element whose
// content is only elements gets its children on lines of their own, two
// blanks deeper; an element that holds text keeps its content exactly as it
// was, on one line. White space between elements is replaced; nothing else
// changes. Works on the library's own text in any encoding whose markup
// characters are ASCII (UTF-8, single-byte and double-byte code pages) and on
// UTF-16.
#ifndef TRANSSPACE_TOOLS_XMLINDENT_H
#define TRANSSPACE_TOOLS_XMLINDENT_H

#include <string>

std::string indentXML(const std::string& text);
std::u16string indentXML(const std::u16string& text);

#endif
