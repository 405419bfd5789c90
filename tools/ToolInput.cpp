#include "ToolInput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "VornXmlReader.h"

namespace {

std::string readError(const std::string& name) {
    return name + ": cannot be read: " + std::strerror(errno);
}

}  // namespace

ToolInput openInput(const std::string& path) {
    ToolInput input;
    input.path = path;
    input.standardInput = path == "-";
    input.name = input.standardInput ? "<stdin>" : path;
    if (!input.standardInput) {
        // The host's detection, so that the tool and the loader never disagree.
        std::string error;
        input.format = DetectSourceFileFormat(path, error);
        if (!error.empty()) throw InputError{error};
        return input;
    }
    // Standard input can be read once only: all of it, then told apart.
    char buffer[65536];
    size_t n;
    errno = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) input.text.append(buffer, n);
    if (std::ferror(stdin) != 0) throw InputError{readError(input.name)};
    input.format = DetectSourceFormat(input.text);
    return input;
}

std::unique_ptr<VORN_DataSource> loadSource(const ToolInput& input, const std::string& fileId,
                                            std::vector<std::string>& notes) {
    // The loaders refuse what is no data source, with the host's words.
    std::string error;
    std::vector<std::string> loaded;
    DDILoadOptions options;
    options.fileId = fileId;
    std::unique_ptr<VORN_DataSource> source =
        input.standardInput
            ? LoadDataSourceText(input.text, input.format, input.name, error, loaded, options)
            : LoadDataSource(input.path, input.format, error, loaded, options);
    if (!source) throw InputError{error};
    if (!fileId.empty() && input.format == SourceFormat::JSON)
        notes.push_back(input.name + ": --file names a file of a DDI codebook; ignored");
    for (const std::string& note : loaded) notes.push_back(input.name + ": " + note);
    return source;
}

void parseInput(xercesc::XercesDOMParser& parser, const ToolInput& input, bool namespaces) {
    VornXmlFirstError errors;
    VornXmlReaderGuard guard;
    guard.Apply(parser, &errors);
    parser.setDoNamespaces(namespaces);
    try {
        parser.parse(*xmlSource(input));
    } catch (...) {
        if (errors.message.empty()) errors.message = "the parser stopped";
    }
    guard.Release(parser);
    if (!errors.message.empty()) throw InputError{input.name + ":" + errors.message};
}

TransValue parseInputValue(const ToolInput& input, bool namespaces) {
    VornXmlFirstError errors;
    TransStatus st;
    TransValue value;
    try {
        value = TransValue::parseXML(*xmlSource(input), namespaces, &errors, st);
    } catch (...) {
        if (errors.message.empty()) errors.message = "the parser stopped";
    }
    if (st.failure() && errors.message.empty()) errors.message = "the parser stopped";
    if (!errors.message.empty()) throw InputError{input.name + ":" + errors.message};
    return value;
}

std::unique_ptr<xercesc::InputSource> xmlSource(const ToolInput& input) {
    if (input.standardInput)
        return std::make_unique<xercesc::MemBufInputSource>(
            reinterpret_cast<const XMLByte*>(input.text.data()), input.text.size(),
            input.name.c_str());
    // A local file by its path, never a URL, whatever the name looks like.
    XMLCh* path = xercesc::XMLString::transcode(input.path.c_str());
    auto source = std::make_unique<xercesc::LocalFileInputSource>(path);
    xercesc::XMLString::release(&path);
    return source;
}
