// Data sources from files of any format the host reads, told apart by their
// content, never by their name.
#ifndef VORN_SOURCE_FILE_H
#define VORN_SOURCE_FILE_H

#include <memory>
#include <string>
#include <vector>

#include "VornDataSource.h"
#include "VornDdiSource.h"

enum class SourceFormat {
    JSON,        // a JSON data source
    DDI,         // XML whose root is a DDI codeBook
    Dictionary,  // XML whose root is a dictionary document, as the library builds it
    XML,         // any other XML document
    Unknown,     // neither (empty, binary, ...)
};

// The format of the text whose first bytes are head (a few kilobytes are
// enough; the whole text serves too). Markup that head cuts short is XML.
SourceFormat DetectSourceFormat(const std::string& head);

// The format of the file at path, reading from its start only as far as it
// takes to find the root element, 16 MiB at most (markup still undecided
// there is XML). Empties error; when the file cannot be opened or read,
// returns Unknown and sets error to one line naming the file.
SourceFormat DetectSourceFileFormat(const std::string& path, std::string& error);

// Loads a JSON or DDI data source from the file at path, told apart by
// DetectSourceFileFormat. On success returns it, empties error and fills
// notes (always empty for JSON); otherwise returns null with one line in
// error. Dictionaries, other XML and unknown content are errors here.
std::unique_ptr<VORN_DataSource> LoadDataSource(const std::string& path, std::string& error,
                                                std::vector<std::string>& notes,
                                                const DDILoadOptions& options = DDILoadOptions());

// The same for a file whose format the caller has already told with
// DetectSourceFileFormat, so that its head is not read a second time.
std::unique_ptr<VORN_DataSource> LoadDataSource(const std::string& path, SourceFormat format,
                                                std::string& error, std::vector<std::string>& notes,
                                                const DDILoadOptions& options = DDILoadOptions());

// The same for text in memory; sourceName stands for the file name in messages.
std::unique_ptr<VORN_DataSource> LoadDataSourceText(
    const std::string& text, const std::string& sourceName, std::string& error,
    std::vector<std::string>& notes, const DDILoadOptions& options = DDILoadOptions());

// The same for text whose format the caller has already told with
// DetectSourceFormat.
std::unique_ptr<VORN_DataSource> LoadDataSourceText(
    const std::string& text, SourceFormat format, const std::string& sourceName, std::string& error,
    std::vector<std::string>& notes, const DDILoadOptions& options = DDILoadOptions());

#endif
