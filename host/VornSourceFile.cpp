#include "VornSourceFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "VornJsonSource.h"

// A first cut: JSON opens with '{', XML with '<'; a codeBook anywhere in the
// head makes it DDI. The reader's work replaces this with a real look at the
// root element.
SourceFormat DetectSourceFormat(const std::string& head) {
    size_t i = 0;
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    while (i < head.size() && std::strchr(" \t\r\n", head[i]) != nullptr) ++i;
    if (i == head.size()) return SourceFormat::Unknown;
    if (head[i] == '{') return SourceFormat::JSON;
    if (head[i] != '<') return SourceFormat::Unknown;
    return head.find("<codeBook") != std::string::npos ? SourceFormat::DDI : SourceFormat::XML;
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
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be read: " + std::strerror(errno);
        return nullptr;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return LoadDataSourceText(bytes.str(), path, error, notes, options);
}
