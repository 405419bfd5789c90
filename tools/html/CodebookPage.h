// The codebook page: one self-contained HTML5 document that shows the facts
// of a dictionary (diff/DictionaryFacts) to people. The facts travel as JSON
// in a data block that the page's own script (codebook.js, embedded at build
// time) reads and puts into the page as text; the generator writes no text
// of the dictionary into markup except the HTML-escaped <title>.
#ifndef TRANSSPACE_TOOLS_HTML_CODEBOOKPAGE_H
#define TRANSSPACE_TOOLS_HTML_CODEBOOKPAGE_H

#include <string>
#include <string_view>

#include "diff/DictionaryFacts.h"

struct PageOptions {
    std::string title;     // --title; empty for the "Title" attribute or the file name
    std::string fileName;  // the input's name without its folders
    std::string made;      // the date the page was made, as shown
};

// Appends UTF-8 text as a JSON string that may stand inside an HTML <script>
// element: besides JSON's own escapes, <, >, & and U+2028/U+2029 are written
// as \u escapes, so no text can close the element, open a comment or end a
// CDATA section. Bytes that are not UTF-8 become U+FFFD.
void appendScriptString(std::string& out, std::string_view utf8);

// The JSON the page embeds: the facts of the header, the sets and every
// variable, in the compact arrays codebook.js reads.
std::string codebookJSON(const DictionaryFacts& facts, const PageOptions& options);

// The whole page.
std::string codebookPage(const DictionaryFacts& facts, const PageOptions& options);

// Today's date (UTC, YYYY-MM-DD), or that of SOURCE_DATE_EPOCH when it is set,
// so that a build can make the same page twice.
std::string pageDate();

#endif
