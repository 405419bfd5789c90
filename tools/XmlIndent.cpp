#include "XmlIndent.h"

#include <cstddef>
#include <vector>

namespace {

enum class Kind { Text, Start, Empty, End, Other };

struct Token {
    Kind kind;
    std::size_t begin, end;
};

template <class Char>
bool at(const std::basic_string<Char>& s, std::size_t i, const char* ascii) {
    for (; *ascii != 0; ++ascii, ++i)
        if (i >= s.size() || s[i] != static_cast<Char>(*ascii)) return false;
    return true;
}

template <class Char>
std::size_t past(const std::basic_string<Char>& s, std::size_t i, const char* ascii) {
    const std::basic_string<Char> end(ascii, ascii + std::char_traits<char>::length(ascii));
    const std::size_t found = s.find(end, i);
    return found == std::basic_string<Char>::npos ? s.size() : found + end.size();
}

template <class Char>
bool isBlank(Char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The end of the tag that starts at i, past quoted attribute values; also of
// a document type declaration, past its internal subset.
template <class Char>
std::size_t tagEnd(const std::basic_string<Char>& s, std::size_t i) {
    Char quote = 0;
    int brackets = 0;
    for (; i < s.size(); ++i) {
        const Char c = s[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            return i + 1;
        }
    }
    return s.size();
}

template <class Char>
std::vector<Token> tokens(const std::basic_string<Char>& s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '<') {
            std::size_t next = s.find(static_cast<Char>('<'), i);
            if (next == std::basic_string<Char>::npos) next = s.size();
            out.push_back({Kind::Text, i, next});
            i = next;
            continue;
        }
        Kind kind = Kind::Start;
        std::size_t end;
        if (at(s, i, "<!--")) {
            kind = Kind::Other, end = past(s, i + 4, "-->");
        } else if (at(s, i, "<![CDATA[")) {
            kind = Kind::Text, end = past(s, i + 9, "]]>");
        } else if (at(s, i, "<?")) {
            kind = Kind::Other, end = past(s, i + 2, "?>");
        } else {
            end = tagEnd(s, i + 1);
            if (at(s, i, "<!"))
                kind = Kind::Other;
            else if (at(s, i, "</"))
                kind = Kind::End;
            else if (end >= 2 && at(s, end - 2, "/>"))
                kind = Kind::Empty;
        }
        out.push_back({kind, i, end});
        i = end;
    }
    return out;
}

template <class Char>
std::basic_string<Char> indent(const std::basic_string<Char>& s) {
    const std::vector<Token> list = tokens(s);
    // An element that holds text (or CDATA) directly keeps its content as is.
    std::vector<char> holdsText(list.size(), 0);
    std::vector<std::size_t> open;
    for (std::size_t k = 0; k < list.size(); ++k) {
        const Token& t = list[k];
        if (t.kind == Kind::Start) {
            open.push_back(k);
        } else if (t.kind == Kind::End && !open.empty()) {
            open.pop_back();
        } else if (t.kind == Kind::Text && !open.empty()) {
            for (std::size_t i = t.begin; i < t.end; ++i)
                if (!isBlank(s[i])) holdsText[open.back()] = 1;
        }
    }

    std::basic_string<Char> out;
    out.reserve(s.size() + s.size() / 4);
    int depth = 0;
    int verbatim = 0;  // open elements inside one that holds text
    bool afterStart = false;
    auto newLine = [&] {
        if (!out.empty()) out += static_cast<Char>('\n');
        out.append(static_cast<std::size_t>(2 * depth), static_cast<Char>(' '));
    };
    for (std::size_t k = 0; k < list.size(); ++k) {
        const Token& t = list[k];
        if (verbatim > 0) {
            out.append(s, t.begin, t.end - t.begin);
            if (t.kind == Kind::Start) ++verbatim;
            if (t.kind == Kind::End) --verbatim;
            continue;
        }
        bool blank = true;
        for (std::size_t i = t.begin; i < t.end && blank; ++i) blank = isBlank(s[i]);
        if (t.kind == Kind::Text && blank) continue;
        if (t.kind == Kind::End) {
            if (depth > 0) --depth;
            if (!afterStart) newLine();
        } else {
            newLine();
        }
        out.append(s, t.begin, t.end - t.begin);
        afterStart = t.kind == Kind::Start;
        if (t.kind == Kind::Start) {
            if (holdsText[k] != 0)
                verbatim = 1, afterStart = false;
            else
                ++depth;
        }
    }
    return out;
}

}  // namespace

std::string indentXML(const std::string& text) { return indent(text); }

std::u16string indentXML(const std::u16string& text) { return indent(text); }
