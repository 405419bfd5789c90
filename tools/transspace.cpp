// The transspace command-line tool: prints the dictionary document of a data
// source, evaluates XPath queries on dictionaries and XML files, and shows how
// the library serialises a document. Built on the public API, the host's
// libraries and Xerces-C's parser.
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "TransSpace.h"
#include "VornJsonSource.h"
#include "VornPlatform.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// Raised for anything that makes an input unusable; main prints it as one line.
struct InputError {
    std::string message;
};

bool endsWith(const std::string& s, const char* suffix) {
    std::string tail(suffix);
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string transcode(const XMLCh* text) {
    char* bytes = xercesc::XMLString::transcode(text);
    std::string out = bytes ? bytes : "";
    xercesc::XMLString::release(&bytes);
    return out;
}

class FirstError : public xercesc::ErrorHandler {
public:
    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException& e) override { record(e); }
    void fatalError(const xercesc::SAXParseException& e) override { record(e); }
    void resetErrors() override {}
    std::string message;

private:
    void record(const xercesc::SAXParseException& e) {
        if (message.empty())
            message = std::to_string(e.getLineNumber()) + ":" +
                      std::to_string(e.getColumnNumber()) + ": " + transcode(e.getMessage());
    }
};

void requireReadable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw InputError{path + ": cannot be read: " + std::strerror(errno)};
    std::fclose(file);
}

// The document value of FILE: a data source's dictionary for .json, the parsed
// document for .xml. Needs a live space.
TransValue loadValue(const std::string& path, bool namespaces) {
    requireReadable(path);
    if (endsWith(path, ".json")) {
        std::string error;
        std::unique_ptr<VORN_DataSource> source = LoadDataSourceJSON(path, error);
        if (!source) throw InputError{error};
        return TransValue(*source);
    }
    if (!endsWith(path, ".xml")) throw InputError{path + ": expected a .json or .xml file"};
    xercesc::XercesDOMParser parser;
    FirstError errors;
    parser.setErrorHandler(&errors);
    parser.setDoNamespaces(namespaces);
    parser.setLoadExternalDTD(false);
    parser.setCreateEntityReferenceNodes(false);
    try {
        parser.parse(path.c_str());
    } catch (...) {
        if (errors.message.empty()) errors.message = "the parser stopped";
    }
    if (!errors.message.empty()) throw InputError{path + ":" + errors.message};
    // The value takes a copy; the parser's document goes as soon as the copy
    // is made, before a query builds its view of that copy.
    std::unique_ptr<xercesc::DOMDocument, void (*)(xercesc::DOMDocument*)> parsed(
        parser.adoptDocument(), [](xercesc::DOMDocument* d) { d->release(); });
    return TransValue(parsed.get());
}

// The UTF-16 units of UTF-8 text, zero-terminated. Call in UTF-8 mode.
std::vector<unsigned short> utf16Of(const std::string& utf8) {
    TransString text(utf8.c_str());
    const unsigned short* units = text.asUTF16();
    size_t n = 0;
    while (units[n] != 0) ++n;
    return std::vector<unsigned short>(units, units + n + 1);
}

void pinCodePage(const std::string& codePage) {
    if (codePage.empty()) {
        SetUTF8Mode(1);
        return;
    }
    SetUTF8Mode(0);
    SetMBDefaultCodePage(codePage.c_str());
    // An unknown code page converts everything to nothing; say so up front.
    if (TransString("A").asUTF16()[0] == 0)
        throw InputError{"unknown code page \"" + codePage + "\""};
}

int reportFlags(const TransStatus& st) {
    if (st.warning()) std::fputs("warning\n", stderr);
    if (st.failure()) std::fputs("failure\n", stderr);
    return st.failure() ? kFailure : kOk;
}

void writeText(const TransString& text, bool utf16) {
    if (utf16) {
        const unsigned short* units = text.asUTF16();
        size_t n = 0;
        while (units[n] != 0) ++n;
        std::fwrite(units, sizeof(unsigned short), n, stdout);
    } else {
        std::fputs(text.asMBCS(), stdout);
    }
}

// XPath's own spelling for the numbers that have no digits.
std::string numberText(double value) {
    if (value == 0) return "0";  // negative zero too
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

int printXML(const TransValue& value, bool utf16) {
    TransStatus st;
    TransString* text = utf16 ? value.asUTF16XML(st) : value.asMBCSXML(st);
    writeText(*text, utf16);
    if (!utf16) std::fputc('\n', stdout);
    TransValue::releaseString(text);
    return reportFlags(st);
}

struct Options {
    std::string file;
    std::string encoding = "utf-8";
    std::string codePage;
    std::string contextPath;
    std::string expression;
    std::vector<unsigned short> contextUnits;
    std::vector<unsigned short> expressionUnits;
    bool list = false;
    bool number = false;
    bool noNamespaces = false;
};

int runQuery(const TransValue& value, const Options& o) {
    TransString context(o.contextUnits.data());
    TransString expression(o.expressionUnits.data());
    TransStatus st;
    if (o.number) {
        std::printf("%s\n", numberText(value.asDouble(context, expression, st)).c_str());
    } else if (o.list) {
        TransStringList* results = value.asStringList(context, expression, st);
        for (unsigned i = 0; i < results->size(); ++i) std::printf("%s\n", results->asMBCS(i));
        TransValue::releaseStringList(results);
    } else {
        TransString* result = value.asString(context, expression, st);
        std::printf("%s\n", result->asMBCS());
        TransValue::releaseString(result);
    }
    return reportFlags(st);
}

void addCodePage(CLI::App* command, Options& o) {
    command->add_option("--code-page", o.codePage,
                        "run the host in this code page instead of UTF-8 mode");
}

// Without namespace processing a saved dictionary reads back as the library
// built it: xmlns is a plain attribute and unprefixed names reach the elements.
void addNoNamespaces(CLI::App* command, Options& o) {
    command->add_flag("--no-namespaces", o.noNamespaces,
                      "parse an XML file without namespace processing");
}

}  // namespace

int main(int argc, char** argv) {
    // A host follows the C runtime's locale: take the user's, as any C program
    // would. UTF-8 mode is pinned apart from it (pinCodePage), so the output is
    // UTF-8 whatever the locale's character set.
    std::setlocale(LC_ALL, "");
    CLI::App app{"transspace: XML dictionaries of data sources, and XPath queries on them",
                 "transspace"};
    app.set_version_flag("--version", "transspace " TRANSSPACE_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Example:\n  transspace query examples/survey.json "
        "\"/dictionary/variable[@name='age']\" @label\n");
    Options o;

    CLI::App* dictionary =
        app.add_subcommand("dictionary", "print the XML dictionary document of a data source");
    dictionary->add_option("SOURCE", o.file, "data source described in JSON")->required();
    dictionary->add_option("--encoding", o.encoding, "utf-8 (the host's multibyte form) or utf-16")
        ->check(CLI::IsMember({"utf-8", "utf-16"}));
    addCodePage(dictionary, o);
    dictionary->footer("Example:\n  transspace dictionary examples/survey.json\n");

    CLI::App* query = app.add_subcommand("query", "evaluate an XPath query on a document");
    query->add_option("FILE", o.file, "a data source (.json) or an XML file (.xml)")->required();
    query->add_option("CONTEXT", o.contextPath, "XPath selecting the context node")->required();
    query->add_option("EXPRESSION", o.expression, "XPath evaluated there")->required();
    auto* listFlag = query->add_flag("--list", o.list, "print every result, one per line");
    query->add_flag("--number", o.number, "print the result as a number")->excludes(listFlag);
    addCodePage(query, o);
    addNoNamespaces(query, o);
    query->footer(
        "Example:\n  transspace query examples/survey.json "
        "\"/dictionary/variable[@name='age']\" @label\n"
        "  transspace query --number examples/survey.json / \"count(//variable)\"\n");

    CLI::App* xml = app.add_subcommand("xml", "print a document as the library serialises it");
    xml->add_option("FILE", o.file, "an XML file")->required();
    xml->add_option("--encoding", o.encoding, "utf-8 (the host's multibyte form) or utf-16")
        ->check(CLI::IsMember({"utf-8", "utf-16"}));
    addCodePage(xml, o);
    addNoNamespaces(xml, o);
    xml->footer("Example:\n  transspace xml document.xml\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }

    try {
        // The command line is UTF-8 whatever code page the host runs in.
        SetUTF8Mode(1);
        o.contextUnits = utf16Of(o.contextPath);
        o.expressionUnits = utf16Of(o.expression);
        pinCodePage(o.codePage);
        TransSpace space;
        bool utf16 = o.encoding == "utf-16";
        if (dictionary->parsed()) {
            if (!endsWith(o.file, ".json")) throw InputError{o.file + ": expected a .json file"};
            return printXML(loadValue(o.file, true), utf16);
        }
        if (xml->parsed()) {
            if (!endsWith(o.file, ".xml")) throw InputError{o.file + ": expected a .xml file"};
            return printXML(loadValue(o.file, !o.noNamespaces), utf16);
        }
        return runQuery(loadValue(o.file, !o.noNamespaces), o);
    } catch (const InputError& e) {
        std::fprintf(stderr, "transspace: %s\n", e.message.c_str());
        return kUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "transspace: %s\n", e.what());
        return kFailure;
    } catch (...) {
        // The XML libraries throw types of their own; the library lets them pass.
        std::fputs("transspace: the XML libraries raised an error\n", stderr);
        return kFailure;
    }
}
