#include "VornSourceFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "VornJsonSource.h"
#include "dictionary/DictionaryNamespace.h"

namespace {

// As far as detection reads into a file. Enough for any real prolog; the
// loaders read the file again from its start.
constexpr size_t kDetectionLimit = 16u << 20;

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
enum class Look { JSON, DDI, Dictionary, XML, Unknown, Blank, Undecided };

// The dictionary namespace in the one-byte form Examine reads (it is ASCII).
std::string DictionaryNamespace() {
    const std::u16string uri = dictionaryNamespaceURI();
    return std::string(uri.begin(), uri.end());
}

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
    // A dictionary as the library builds it declares its namespace as the
    // default; a prefixed root would not answer unprefixed queries.
    if (local == "dictionary")
        return prefix.empty() && (uri.empty() || uri == DictionaryNamespace()) ? Look::Dictionary
                                                                               : Look::XML;
    if (local != "codeBook") return Look::XML;
    if (!prefix.empty() && uri.empty()) return Look::XML;  // an undeclared prefix
    const char* const namespaces[] = {"", "http://www.icpsr.umich.edu/DDI", "ddi:codebook:2_5",
                                      "ddi:codebook:2_6"};
    for (const char* ns : namespaces)
        if (uri == ns) return Look::DDI;
    return Look::XML;
}

SourceFormat FormatOf(Look look) {
    switch (look) {
        case Look::JSON:
            return SourceFormat::JSON;
        case Look::DDI:
            return SourceFormat::DDI;
        case Look::Dictionary:
            return SourceFormat::Dictionary;
        case Look::Unknown:
        case Look::Blank:
            return SourceFormat::Unknown;
        case Look::XML:
        case Look::Undecided:
            break;
    }
    return SourceFormat::XML;
}

// Why content of a format that is no data source is refused.
std::string Refusal(SourceFormat format, const std::string& sourceName) {
    switch (format) {
        case SourceFormat::Dictionary:
            return sourceName + ": a dictionary document, not a data source";
        case SourceFormat::XML:
            return sourceName + ": an XML document that is not a DDI codebook";
        default:
            return sourceName + ": neither a JSON data source nor a DDI codebook";
    }
}

}  // namespace

SourceFormat DetectSourceFormat(const std::string& head) { return FormatOf(Examine(head)); }

SourceFormat DetectSourceFileFormat(const std::string& path, std::string& error) {
    error.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot be opened: " + std::strerror(errno);
        return SourceFormat::Unknown;
    }
    // Each read doubles the head, so that examining it again from its start
    // costs no more in all than twice the bytes read.
    std::string head;
    Look look = Look::Blank;
    errno = 0;
    while ((look == Look::Undecided || look == Look::Blank) && head.size() < kDetectionLimit) {
        const size_t had = head.size();
        const size_t want = std::min(std::max<size_t>(had, 65536), kDetectionLimit - had);
        head.resize(had + want);
        const size_t n = std::fread(&head[had], 1, want, file);
        head.resize(had + n);
        if (n == 0) break;
        look = Examine(head);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = path + ": cannot be read: " + std::strerror(readErrno);
        return SourceFormat::Unknown;
    }
    return FormatOf(look);
}

std::unique_ptr<VORN_DataSource> LoadDataSourceText(const std::string& text,
                                                    const std::string& sourceName,
                                                    std::string& error,
                                                    std::vector<std::string>& notes,
                                                    const DDILoadOptions& options) {
    return LoadDataSourceText(text, DetectSourceFormat(text), sourceName, error, notes, options);
}

std::unique_ptr<VORN_DataSource> LoadDataSourceText(const std::string& text, SourceFormat format,
                                                    const std::string& sourceName,
                                                    std::string& error,
                                                    std::vector<std::string>& notes,
                                                    const DDILoadOptions& options) {
    notes.clear();
    if (format == SourceFormat::JSON) return LoadDataSourceJSONText(text, sourceName, error);
    if (format == SourceFormat::DDI)
        return LoadDataSourceDDIText(text, sourceName, error, notes, options);
    error = Refusal(format, sourceName);
    return nullptr;
}

std::unique_ptr<VORN_DataSource> LoadDataSource(const std::string& path, std::string& error,
                                                std::vector<std::string>& notes,
                                                const DDILoadOptions& options) {
    notes.clear();
    // Only the head is read here; the loaders then read the file themselves,
    // the DDI reader without holding it.
    const SourceFormat format = DetectSourceFileFormat(path, error);
    if (!error.empty()) return nullptr;
    return LoadDataSource(path, format, error, notes, options);
}

std::unique_ptr<VORN_DataSource> LoadDataSource(const std::string& path, SourceFormat format,
                                                std::string& error, std::vector<std::string>& notes,
                                                const DDILoadOptions& options) {
    notes.clear();
    error.clear();
    if (format == SourceFormat::JSON) return LoadDataSourceJSON(path, error);
    if (format == SourceFormat::DDI) return LoadDataSourceDDI(path, error, notes, options);
    error = Refusal(format, path);
    return nullptr;
}
