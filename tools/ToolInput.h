// The tool's inputs: a file named on the command line, or standard input for
// "-", told apart by content (JSON, DDI codebook, other XML), never by name.
#ifndef TRANSSPACE_TOOLS_TOOLINPUT_H
#define TRANSSPACE_TOOLS_TOOLINPUT_H

#include <memory>
#include <string>
#include <vector>

#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/InputSource.hpp>

#include "TransValue.h"
#include "VornSourceFile.h"

// Raised for anything that makes an input unusable; main prints it as one line.
struct InputError {
    std::string message;
};

struct ToolInput {
    std::string path;  // as given
    std::string name;  // in messages: the path, or "<stdin>"
    bool standardInput = false;
    std::string text;  // standard input's bytes; a file is read where it lies
    SourceFormat format = SourceFormat::Unknown;

    bool isSource() const { return format == SourceFormat::JSON || format == SourceFormat::DDI; }
    // A saved dictionary or any other XML that is no codebook.
    bool isDocument() const {
        return format == SourceFormat::Dictionary || format == SourceFormat::XML;
    }
};

// Reads standard input whole, or of a file as much as DetectSourceFileFormat
// needs, and tells its format. Throws InputError when it cannot be read.
ToolInput openInput(const std::string& path);

// The data source of a JSON or DDI input, the DDI file fileId only when that
// is not empty. What the load could not carry is added to notes. Throws
// InputError when the input is not a data source or does not load.
std::unique_ptr<VORN_DataSource> loadSource(const ToolInput& input, const std::string& fileId,
                                            std::vector<std::string>& notes);

// Parses the input as a plain XML document into parser: no validation, no
// external DTD, an external entity refused (VornXmlReaderGuard). Throws
// InputError, with the input's name and the position, when it is not
// well-formed or refers to an external entity.
void parseInput(xercesc::XercesDOMParser& parser, const ToolInput& input, bool namespaces);

// The document value of the input parsed as parseInput parses it, straight
// into the value (TransValue::parseXML). Throws InputError as parseInput
// does. Needs a live space.
TransValue parseInputValue(const ToolInput& input, bool namespaces);

// The input's bytes for a parser: standard input from memory, a file by its
// path. Lives no longer than input.
std::unique_ptr<xercesc::InputSource> xmlSource(const ToolInput& input);

#endif
