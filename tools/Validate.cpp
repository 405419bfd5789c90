#include "Validate.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <unistd.h>

#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/common/Grammar.hpp>

#include "ToolInput.h"
#include "VornCodePage.h"
#include "VornXmlReader.h"

XERCES_CPP_NAMESPACE_USE

namespace {

constexpr int kValid = 0;
constexpr int kInvalid = 1;
constexpr int kTrouble = 2;

const char16_t kDdi25[] = u"ddi:codebook:2_5";
const char16_t kDdi122[] = u"http://www.icpsr.umich.edu/DDI";  // 1.2.2 and 2.0
const char16_t kDdi26[] = u"ddi:codebook:2_6";

std::string utf8(const XMLCh* text) {
    std::string out;
    if (text != nullptr) AppendUTF16AsUTF8(out, text, XMLString::stringLen(text));
    return out;
}

// "LINE:COLUMN: message", on one line whatever the message holds.
std::string problem(const SAXParseException& e) {
    std::string line = std::to_string(e.getLineNumber()) + ":" +
                       std::to_string(e.getColumnNumber()) + ": " + utf8(e.getMessage());
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

std::unique_ptr<SAX2XMLReader> newReader(bool validating) {
    std::unique_ptr<SAX2XMLReader> reader(XMLReaderFactory::createXMLReader());
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
    reader->setFeature(XMLUni::fgSAX2CoreValidation, validating);
    reader->setFeature(XMLUni::fgXercesDynamic, false);
    reader->setFeature(XMLUni::fgXercesSchema, validating);
    // A DOCTYPE's internal subset still declares entities; the schema alone
    // says what is valid.
    reader->setFeature(XMLUni::fgXercesSkipDTDValidation, true);
    return reader;
}

// The root element, read from the document's start and no further.
struct Root {
    std::u16string uri, name;
    XMLFileLoc line = 0, column = 0;
};

class RootProbe : public DefaultHandler {
public:
    void setDocumentLocator(const Locator* const l) override { locator = l; }
    void startElement(const XMLCh* const uri, const XMLCh* const localname, const XMLCh* const,
                      const Attributes&) override {
        if (seen) return;
        seen = true;
        root.uri = uri;
        root.name = localname;
        if (locator != nullptr) {
            root.line = locator->getLineNumber();
            root.column = locator->getColumnNumber();
        }
    }
    // Before the root, any error means there is no document to validate.
    void error(const SAXParseException& e) override {
        if (!seen && failure.empty()) failure = problem(e);
    }
    void fatalError(const SAXParseException& e) override {
        if (failure.empty()) failure = problem(e);
    }

    const Locator* locator = nullptr;
    bool seen = false;
    Root root;
    std::string failure;
};

Root readRoot(const ToolInput& input) {
    VornXmlReaderGuard guard;
    RootProbe probe;
    std::unique_ptr<SAX2XMLReader> reader = newReader(false);
    guard.Apply(*reader, &probe);
    reader->setContentHandler(&probe);
    const std::unique_ptr<InputSource> source = xmlSource(input);
    XMLPScanToken token;
    bool more = reader->parseFirst(*source, token);
    while (more && !probe.seen && probe.failure.empty()) more = reader->parseNext(token);
    // A scan that ended has closed its input already.
    if (more) reader->parseReset(token);
    if (!probe.failure.empty()) throw InputError{input.name + ":" + probe.failure};
    if (!probe.seen) throw InputError{input.name + ": no root element"};
    return probe.root;
}

// Prints validation errors as they come; keeps the first fatal one, after
// which the parser stops.
class Problems : public ErrorHandler {
public:
    void warning(const SAXParseException&) override {}
    void error(const SAXParseException& e) override {
        if (loading) {
            if (failure.empty()) failure = problem(e);
            return;
        }
        std::printf("%s:%s\n", name.c_str(), problem(e).c_str());
        ++count;
    }
    void fatalError(const SAXParseException& e) override {
        if (failure.empty()) failure = problem(e);
    }
    void resetErrors() override {}

    std::string name;
    bool loading = false;
    size_t count = 0;
    std::string failure;
};

// One schema and a validating reader that holds its grammar, loaded at the
// first document that needs it.
class Schema {
public:
    Schema(const char* title, bool fullChecking) : title(title), fullChecking(fullChecking) {}

    // The grammar; throws InputError when the schema cannot be had.
    const Grammar& load(const std::string& path) {
        if (grammar != nullptr) return *grammar;
        if (!failure.empty()) throw InputError{failure};
        // A file that is not there gives the parser nothing to say.
        if (access(path.c_str(), R_OK) != 0) {
            failure =
                "the " + title + " schema " + path + " cannot be read: " + std::strerror(errno);
            throw InputError{failure};
        }
        reader = newReader(true);
        reader->setFeature(XMLUni::fgXercesSchemaFullChecking, fullChecking);
        guard.Apply(*reader, &problems);
        problems.loading = true;
        grammar = guard.LoadSchema(*reader, path);
        problems.loading = false;
        if (grammar == nullptr || !problems.failure.empty()) {
            grammar = nullptr;
            failure = "the " + title + " schema " + path + " does not load" +
                      (problems.failure.empty() ? std::string() : ": " + problems.failure);
            throw InputError{failure};
        }
        return *grammar;
    }

    // Valid or invalid; throws InputError when the input is not well-formed.
    int validate(const ToolInput& input) {
        problems.name = input.name;
        problems.count = 0;
        problems.failure.clear();
        reader->parse(*xmlSource(input));
        if (!problems.failure.empty()) throw InputError{input.name + ":" + problems.failure};
        return problems.count == 0 ? kValid : kInvalid;
    }

private:
    std::string title;
    bool fullChecking;
    Problems problems;
    // The reader goes first: it refers to the guard and the handler.
    VornXmlReaderGuard guard;
    std::unique_ptr<SAX2XMLReader> reader;
    Grammar* grammar = nullptr;
    std::string failure;
};

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

// The schemas installed beside the tool (bin/../share/transspace/schema), or,
// for the tool in its build tree, the source tree's.
struct SchemaFiles {
    std::string dictionary, ddi;
};

SchemaFiles findSchemas() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string tool = directoryOf(n > 0 ? std::string(exe, n) : std::string());
    const std::string installed = directoryOf(tool) + "/share/transspace/schema";
    if (access((installed + "/dictionary-1.0.xsd").c_str(), R_OK) == 0)
        return {installed + "/dictionary-1.0.xsd",
                installed + "/ddi-codebook-2.5/schemas/codebook.xsd"};
#if defined(TRANSSPACE_SOURCE_DIR) && defined(TRANSSPACE_TOOL_BUILD_DIR)
    if (realPath(tool) == realPath(TRANSSPACE_TOOL_BUILD_DIR))
        return {std::string(TRANSSPACE_SOURCE_DIR) + "/schema/dictionary-1.0.xsd",
                std::string(TRANSSPACE_SOURCE_DIR) +
                    "/third_party/ddi-codebook-2.5/schemas/codebook.xsd"};
#endif
    throw InputError{"the schemas are not installed: no " + installed + "/dictionary-1.0.xsd"};
}

class Validator {
public:
    int validate(const std::string& path) {
        const ToolInput input = openInput(path);
        if (input.format == SourceFormat::JSON)
            throw InputError{input.name +
                             ": a JSON data source; validate takes XML: a dictionary or a DDI "
                             "Codebook 2.5 codebook"};
        if (input.format == SourceFormat::Unknown)
            throw InputError{input.name + ": not an XML document"};
        const Root root = readRoot(input);
        return schemaOf(root, input.name).validate(input);
    }

private:
    Schema dictionary{"dictionary", true};
    // Xerces' full constraint checking reports particle-mapping errors in the
    // published DDI schema, whose validation proper works.
    Schema ddi{"DDI Codebook 2.5", false};
    std::unique_ptr<SchemaFiles> files;

    const SchemaFiles& schemaFiles() {
        if (!files) files = std::make_unique<SchemaFiles>(findSchemas());
        return *files;
    }

    Schema& schemaOf(const Root& root, const std::string& name) {
        const std::string at =
            name + ":" + std::to_string(root.line) + ":" + std::to_string(root.column) + ": ";
        const std::string ns = root.uri.empty() ? std::string("in no namespace")
                                                : "in the namespace " + utf8(root.uri.c_str());
        if (root.name == u"dictionary") {
            const XMLCh* target = dictionary.load(schemaFiles().dictionary).getTargetNamespace();
            if (root.uri == (target != nullptr ? target : u"")) return dictionary;
            throw InputError{at + "the root element dictionary is " + ns +
                             "; a dictionary's is in the namespace " + utf8(target)};
        }
        if (root.name == u"codeBook") {
            if (root.uri == kDdi25) {
                ddi.load(schemaFiles().ddi);
                return ddi;
            }
            if (root.uri == kDdi122)
                throw InputError{at +
                                 "a DDI Codebook 1.2.2 or 2.0 codebook: no schema for it "
                                 "here; validate checks DDI Codebook 2.5"};
            if (root.uri == kDdi26)
                throw InputError{at +
                                 "a DDI Codebook 2.6 codebook: no schema for it here; "
                                 "validate checks DDI Codebook 2.5"};
            throw InputError{at + "the root element codeBook is " + ns +
                             "; a DDI Codebook 2.5 codebook's is in the namespace " + utf8(kDdi25)};
        }
        throw InputError{at + "no schema here for the root element " + utf8(root.name.c_str()) +
                         " " + ns + "; validate checks dictionaries and DDI Codebook 2.5"};
    }
};

}  // namespace

int validateFiles(const std::vector<std::string>& files) {
    int status = kValid;
    Validator validator;
    bool stdinTaken = false;
    for (const std::string& path : files) {
        int result = kTrouble;
        try {
            if (path == "-" && stdinTaken)
                throw InputError{"standard input can be only one of the files"};
            stdinTaken = stdinTaken || path == "-";
            result = validator.validate(path);
        } catch (const InputError& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "transspace: %s\n", e.message.c_str());
        } catch (const OutOfMemoryException&) {
            throw std::bad_alloc();
        } catch (const XMLException& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "transspace: %s: %s\n", path.c_str(),
                         utf8(e.getMessage()).c_str());
        } catch (const SAXException& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "transspace: %s: %s\n", path.c_str(),
                         utf8(e.getMessage()).c_str());
        }
        if (result > status) status = result;
    }
    return status;
}
