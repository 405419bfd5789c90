// The one place where the project's XML readers are set up, so that nothing a
// document says makes them open a file or a URL: an external DTD is not
// loaded, a reference to an external entity is a fatal error at its position,
// schema location hints are not followed, and internal entities expand up to
// a limit. A guard serves one parser at a time, on one thread, and must
// outlive every parse of the parser it was applied to (declare it first).
// Needs the XML runtime.
#ifndef VORN_XML_READER_H
#define VORN_XML_READER_H

#include <memory>
#include <string>

#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class Grammar;
class SAXParseException;
class SAX2XMLReader;
class XercesDOMParser;
XERCES_CPP_NAMESPACE_END

// The most entity expansions one document may make.
constexpr unsigned int kVornXmlEntityExpansionLimit = 100000;

class VornXmlReaderGuard {
public:
    explicit VornXmlReaderGuard(unsigned int entityExpansionLimit = kVornXmlEntityExpansionLimit);
    ~VornXmlReaderGuard();
    VornXmlReaderGuard(const VornXmlReaderGuard&) = delete;
    VornXmlReaderGuard& operator=(const VornXmlReaderGuard&) = delete;

    // Sets parser up as above and makes errors (null: nobody) hear its
    // errors through the guard, which words a refused external entity itself.
    // Entity references are replaced by their text. Namespaces, validation
    // and the rest stay the caller's.
    void Apply(XERCES_CPP_NAMESPACE::XercesDOMParser& parser,
               XERCES_CPP_NAMESPACE::ErrorHandler* errors);
    void Apply(XERCES_CPP_NAMESPACE::SAX2XMLReader& reader,
               XERCES_CPP_NAMESPACE::ErrorHandler* errors);

    // Takes the guard back out of a parser that outlives it.
    void Release(XERCES_CPP_NAMESPACE::XercesDOMParser& parser);

    // Loads the XML Schema in the file at path into the grammar cache of a
    // parser the guard was applied to, and has later parses use only cached
    // grammars. The schema documents it includes and imports are read, during
    // this call only, as local files by their relative paths. Returns the
    // grammar (the parser owns it), or null when it did not load: the errors
    // handler has heard why, where the parser knew. Xerces' exceptions pass.
    XERCES_CPP_NAMESPACE::Grammar* LoadSchema(XERCES_CPP_NAMESPACE::XercesDOMParser& parser,
                                              const std::string& path);
    XERCES_CPP_NAMESPACE::Grammar* LoadSchema(XERCES_CPP_NAMESPACE::SAX2XMLReader& reader,
                                              const std::string& path);

private:
    struct Data;
    std::unique_ptr<Data> data;
};

// An error handler that keeps the first error or fatal error as
// "LINE:COLUMN: message" (UTF-8) and passes warnings by: what a reader that
// stops at the first problem reports on its one line.
class VornXmlFirstError : public XERCES_CPP_NAMESPACE::ErrorHandler {
public:
    void warning(const XERCES_CPP_NAMESPACE::SAXParseException&) override {}
    void error(const XERCES_CPP_NAMESPACE::SAXParseException& e) override { Record(e); }
    void fatalError(const XERCES_CPP_NAMESPACE::SAXParseException& e) override { Record(e); }
    void resetErrors() override {}
    // Empty until an error was heard.
    std::string message;

private:
    void Record(const XERCES_CPP_NAMESPACE::SAXParseException& e);
};

#endif
