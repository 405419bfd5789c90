#include "VornXmlReader.h"

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/common/Grammar.hpp>

#include "VornCodePage.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// What the parser gets in place of an external entity: a source without a
// stream, which it reports as an entity it could not open. Handing back
// nothing instead would let a parser that resolves on its own (the one inside
// the schema loader ignores the setting against that) open the file itself.
class Refused : public InputSource {
public:
    explicit Refused(const XMLCh* systemId) : InputSource(systemId) {}
    BinInputStream* makeStream() const override { return nullptr; }
};

// A URL ("scheme:...") rather than a path.
bool HasScheme(const XMLCh* id) {
    auto letter = [](XMLCh c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    if (id == nullptr || !letter(id[0])) return false;
    size_t i = 1;
    while (letter(id[i]) || (id[i] >= u'0' && id[i] <= u'9') || id[i] == u'+' || id[i] == u'-' ||
           id[i] == u'.')
        ++i;
    return id[i] == u':';
}

}  // namespace

struct VornXmlReaderGuard::Data : public EntityResolver, public ErrorHandler {
    SecurityManager security;
    ErrorHandler* errors = nullptr;
    // Only while a schema of our own loads: its includes and imports.
    bool schemaFiles = false;
    // The system ID last refused, until the error that names it is reported.
    std::u16string refused;

    InputSource* resolveEntity(const XMLCh* const, const XMLCh* const systemId) override {
        if (schemaFiles && !HasScheme(systemId)) return nullptr;  // the loader reads the file
        refused = systemId != nullptr ? systemId : u"";
        return new Refused(systemId);
    }

    void warning(const SAXParseException& e) override {
        if (errors != nullptr) errors->warning(e);
    }
    void error(const SAXParseException& e) override { Forward(&ErrorHandler::error, e); }
    void fatalError(const SAXParseException& e) override { Forward(&ErrorHandler::fatalError, e); }
    void resetErrors() override {
        refused.clear();
        if (errors != nullptr) errors->resetErrors();
    }

    // The parser's own words for a refused entity ("unable to open ...") would
    // say that it tried.
    void Forward(void (ErrorHandler::*report)(const SAXParseException&),
                 const SAXParseException& e) {
        const XMLCh* message = e.getMessage();
        if (refused.empty() || message == nullptr ||
            std::u16string(message).find(refused) == std::u16string::npos) {
            if (errors != nullptr) (errors->*report)(e);
            return;
        }
        const std::u16string worded = u"the external entity \"" + refused +
                                      u"\" is not read: a document may not name a file or URL "
                                      u"to be read";
        refused.clear();
        const SAXParseException refusal(worded.c_str(), e.getPublicId(), e.getSystemId(),
                                        e.getLineNumber(), e.getColumnNumber());
        if (errors != nullptr) (errors->*report)(refusal);
    }
};

namespace {

template <typename Undo>
struct OnExit {
    Undo undo;
    ~OnExit() { undo(); }
};
template <typename Undo>
OnExit(Undo) -> OnExit<Undo>;

// The file itself goes in as a source, so that the resolver is asked only
// about the files it names.
template <typename Parser>
Grammar* LoadSchemaFile(Parser& parser, const std::string& path) {
    XMLCh* name = XMLString::transcode(path.c_str());
    OnExit release{[&] { XMLString::release(&name); }};
    LocalFileInputSource source(name);
    return parser.loadGrammar(source, Grammar::SchemaGrammarType, true);
}

}  // namespace

VornXmlReaderGuard::VornXmlReaderGuard(unsigned int entityExpansionLimit) : data(new Data) {
    data->security.setEntityExpansionLimit(entityExpansionLimit);
}

VornXmlReaderGuard::~VornXmlReaderGuard() = default;

void VornXmlReaderGuard::Apply(XercesDOMParser& parser, ErrorHandler* errors) {
    data->errors = errors;
    parser.setLoadExternalDTD(false);
    parser.setLoadSchema(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.setCreateEntityReferenceNodes(false);
    parser.setSecurityManager(&data->security);
    parser.setEntityResolver(data.get());
    parser.setErrorHandler(data.get());
}

void VornXmlReaderGuard::Apply(SAX2XMLReader& reader, ErrorHandler* errors) {
    data->errors = errors;
    reader.setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    reader.setFeature(XMLUni::fgXercesLoadSchema, false);
    reader.setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    reader.setProperty(XMLUni::fgXercesSecurityManager, &data->security);
    reader.setEntityResolver(data.get());
    reader.setErrorHandler(data.get());
}

void VornXmlReaderGuard::Release(XercesDOMParser& parser) {
    parser.setErrorHandler(nullptr);
    parser.setEntityResolver(nullptr);
    parser.setSecurityManager(nullptr);
    data->errors = nullptr;
}

Grammar* VornXmlReaderGuard::LoadSchema(XercesDOMParser& parser, const std::string& path) {
    data->schemaFiles = true;
    parser.setDisableDefaultEntityResolution(false);
    OnExit restore{[&] {
        data->schemaFiles = false;
        parser.setDisableDefaultEntityResolution(true);
    }};
    parser.useCachedGrammarInParse(true);
    return LoadSchemaFile(parser, path);
}

Grammar* VornXmlReaderGuard::LoadSchema(SAX2XMLReader& reader, const std::string& path) {
    data->schemaFiles = true;
    reader.setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, false);
    OnExit restore{[&] {
        data->schemaFiles = false;
        reader.setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    }};
    reader.setFeature(XMLUni::fgXercesUseCachedGrammarInParse, true);
    return LoadSchemaFile(reader, path);
}

void VornXmlFirstError::Record(const XERCES_CPP_NAMESPACE::SAXParseException& e) {
    if (!message.empty()) return;
    message = std::to_string(e.getLineNumber()) + ":" + std::to_string(e.getColumnNumber()) + ": ";
    const XMLCh* text = e.getMessage();
    if (text != nullptr)
        AppendUTF16AsUTF8(message, text, XERCES_CPP_NAMESPACE::XMLString::stringLen(text));
}
