#include "VornSourceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "VornJsonSource.h"

namespace {

// The head as one byte per character: ASCII stays, anything else becomes
// 0x80, so that the markup before the root reads the same in every encoding
// the XML recommendation autodetects (UTF-8, ISO-8859-x, UTF-16 either way).
std::string Characters(const std::string& head) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(head[i]); };
    size_t start = 0;
    int step = 1, low = 0;  // low: offset of the significant byte of a UTF-16 unit
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        start = 3;
    } else if (head.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        start = 2, step = 2;
    } else if (head.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        start = 2, step = 2, low = 1;
    } else if (head.size() >= 2 && byte(0) == '<' && byte(1) == 0) {
        step = 2;
    } else if (head.size() >= 2 && byte(0) == 0 && byte(1) == '<') {
        step = 2, low = 1;
    }
    std::string out;
    out.reserve(head.size() / step);
    for (size_t i = start; i + step <= head.size(); i += step) {
        unsigned char c = byte(i + low);
        bool ascii = c < 0x80 && (step == 1 || byte(i + 1 - low) == 0);
        out += ascii ? static_cast<char>(c) : '\x80';
    }
    return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
    return !IsSpace(c) && c != '>' && c != '/' && c != '=' && c != '<' && c != '\0';
}

// Blank: nothing but white space so far; Undecided: markup cut short.
enum class Look { JSON, DDI, XML, Unknown, Blank, Undecided };

// The root element's name and the namespace it is in, read past the XML
// declaration, comments, processing instructions and the document type
// declaration (internal subset included).
Look Examine(const std::string& head) {
    const std::string s = Characters(head);
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < s.size() && IsSpace(s[i])) ++i;
    };
    auto skipPast = [&](const char* end) {
        size_t at = s.find(end, i);
        if (at == std::string::npos) return false;
        i = at + std::strlen(end);
        return true;
    };
    skipSpace();
    if (i == s.size()) return Look::Blank;
    if (s[i] == '{') return Look::JSON;
    if (s[i] != '<') return Look::Unknown;
    while (true) {
        skipSpace();
        if (i == s.size()) return Look::Undecided;
        if (s[i] != '<') return Look::XML;  // not well formed; the parser will say so
        if (s.compare(i, 2, "<?") == 0) {
            if (!skipPast("?>")) return Look::Undecided;
        } else if (s.compare(i, 4, "<!--") == 0) {
            i += 4;
            if (!skipPast("-->")) return Look::Undecided;
        } else if (s.compare(i, 9, "<!DOCTYPE") == 0) {
            i += 9;
            char quote = 0;
            int brackets = 0;
            for (; i < s.size(); ++i) {
                char c = s[i];
                if (quote != 0) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (s.compare(i, 4, "<!--") == 0) {
                    size_t end = s.find("-->", i + 4);
                    if (end == std::string::npos) return Look::Undecided;
                    i = end + 2;
                } else if (c == '[') {
                    ++brackets;
                } else if (c == ']') {
                    --brackets;
                } else if (c == '>' && brackets <= 0) {
                    break;
                }
            }
            if (i == s.size()) return Look::Undecided;
            ++i;
        } else {
            break;
        }
    }
    ++i;
    size_t nameStart = i;
    while (i < s.size() && IsNameChar(s[i])) ++i;
    if (i == s.size()) return Look::Undecided;
    const std::string qname = s.substr(nameStart, i - nameStart);
    const size_t colon = qname.find(':');
    const std::string prefix = colon == std::string::npos ? "" : qname.substr(0, colon);
    const std::string local = colon == std::string::npos ? qname : qname.substr(colon + 1);
    const std::string wanted = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    std::string uri;
    // The start tag's attributes, for the declaration of the root's namespace.
    while (true) {
        skipSpace();
        if (i == s.size()) return Look::Undecided;
        if (s[i] == '>' || s[i] == '/') break;
        size_t nameAt = i;
        while (i < s.size() && IsNameChar(s[i])) ++i;
        const std::string name = s.substr(nameAt, i - nameAt);
        skipSpace();
        if (i == s.size()) return Look::Undecided;
        if (name.empty() || s[i] != '=') return Look::XML;
        ++i;
        skipSpace();
        if (i == s.size()) return Look::Undecided;
        const char quote = s[i];
        if (quote != '"' && quote != '\'') return Look::XML;
        size_t end = s.find(quote, i + 1);
        if (end == std::string::npos) return Look::Undecided;
        if (name == wanted) uri = s.substr(i + 1, end - i - 1);
        i = end + 1;
    }
    if (local != "codeBook") return Look::XML;
    if (!prefix.empty() && uri.empty()) return Look::XML;  // an undeclared prefix
    const char* const namespaces[] = {"", "http://www.icpsr.umich.edu/DDI", "ddi:codebook:2_5",
                                      "ddi:codebook:2_6"};
    for (const char* ns : namespaces)
        if (uri == ns) return Look::DDI;
    return Look::XML;
}

}  // namespace

SourceFormat DetectSourceFormat(const std::string& head) {
    switch (Examine(head)) {
        case Look::JSON:
            return SourceFormat::JSON;
        case Look::DDI:
            return SourceFormat::DDI;
        case Look::Unknown:
        case Look::Blank:
            return SourceFormat::Unknown;
        case Look::XML:
        case Look::Undecided:
            break;
    }
    // Markup that the head cuts short is taken for XML.
    return SourceFormat::XML;
}

std::unique_ptr<VORN_DataSource> LoadDataSourceText(const std::string& text,
                                                    const std::string& sourceName,
                                                    std::string& error,
                                                    std::vector<std::string>& notes,
                                                    const DDILoadOptions& options) {
    notes.clear();
    switch (DetectSourceFormat(text)) {
        case SourceFormat::JSON:
            return LoadDataSourceJSONText(text, sourceName, error);
        case SourceFormat::DDI:
            return LoadDataSourceDDIText(text, sourceName, error, notes, options);
        case SourceFormat::XML:
            error = sourceName + ": an XML document that is not a DDI codebook";
            return nullptr;
        case SourceFormat::Unknown:
            break;
    }
    error = sourceName + ": neither a JSON data source nor a DDI codebook";
    return nullptr;
}

std::unique_ptr<VORN_DataSource> LoadDataSource(const std::string& path, std::string& error,
                                                std::vector<std::string>& notes,
                                                const DDILoadOptions& options) {
    notes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot be opened: " + std::strerror(errno);
        return nullptr;
    }
    // Only as much of the head as it takes to find the root: the loaders then
    // read the file themselves, the DDI reader without holding it.
    std::string head;
    Look look = Look::Blank;
    char buffer[65536];
    size_t n = 0;
    while ((look == Look::Undecided || look == Look::Blank) && head.size() < (16u << 20) &&
           (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        head.append(buffer, n);
        look = Examine(head);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = path + ": cannot be read: " + std::strerror(readErrno);
        return nullptr;
    }
    switch (look) {
        case Look::JSON:
            return LoadDataSourceJSON(path, error);
        case Look::DDI:
            return LoadDataSourceDDI(path, error, notes, options);
        case Look::XML:
        case Look::Undecided:
            error = path + ": an XML document that is not a DDI codebook";
            return nullptr;
        case Look::Blank:
        case Look::Unknown:
            break;
    }
    error = path + ": neither a JSON data source nor a DDI codebook";
    return nullptr;
}
