// Validates serialised XML text against an XML Schema file with Xerces-C's
// schema validation, so that the default namespace of the text applies. The
// grammar is loaded from the file once and cached; hints in the text
// (xsi:schemaLocation) are never followed, nor any external DTD or entity
// (VornXmlReaderGuard). Needs the XML runtime (a live TransSpace) for its
// whole life.
#ifndef TRANSSPACE_TESTS_SCHEMAVALIDATOR_H
#define TRANSSPACE_TESTS_SCHEMAVALIDATOR_H

#include <memory>
#include <string>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class XercesDOMParser;
XERCES_CPP_NAMESPACE_END
class VornXmlReaderGuard;

class SchemaValidator {
public:
    // Loads the schema at path; loaded() is false (and every text invalid)
    // when it cannot be read or has errors, which loadErrors() then lists.
    // fullChecking adds Xerces' full schema-constraint checking, which
    // reports particle-mapping errors in some published schemas (DDI
    // Codebook's) whose validation proper works.
    explicit SchemaValidator(const std::string& schemaPath, bool fullChecking = true);
    ~SchemaValidator();
    SchemaValidator(const SchemaValidator&) = delete;
    SchemaValidator& operator=(const SchemaValidator&) = delete;

    // schema/dictionary-1.0.xsd of this source tree.
    static std::string dictionarySchemaPath();

    bool loaded() const { return grammarLoaded; }
    const std::vector<std::string>& loadErrors() const { return schemaErrors; }

    // The validation errors of the UTF-16 text, one line each ("line:column:
    // message"); empty when the text is valid.
    std::vector<std::string> validate(const std::u16string& xmlText) const;
    // The same for a DOM document, serialised first without pretty printing.
    std::vector<std::string> validate(const XERCES_CPP_NAMESPACE::DOMDocument* document) const;

private:
    // The parser goes first: it refers to the guard.
    std::unique_ptr<VornXmlReaderGuard> guard;
    std::unique_ptr<XERCES_CPP_NAMESPACE::XercesDOMParser> parser;
    bool grammarLoaded;
    std::vector<std::string> schemaErrors;
};

// All errors on one line each, for assertion messages.
std::string joinLines(const std::vector<std::string>& lines);

#endif
