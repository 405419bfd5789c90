// The transspace command-line tool: prints the dictionary document of a data
// source (JSON or DDI codebook), evaluates XPath queries on dictionaries and
// XML files, shows how the library serialises a document, writes a data
// source as a DDI codebook, compares two dictionaries and validates
// dictionaries and codebooks against their schemas. Built on the public API,
// the host's libraries and Xerces-C's parser.
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

#include "Progress.h"
#include "ToolInput.h"
#include "TransSpace.h"
#include "Validate.h"
#include "VornDdiWriter.h"
#include "VornPlatform.h"
#include "XmlIndent.h"
#include "diff/DictionaryDiff.h"
#include "diff/DictionaryFacts.h"
#include "html/CodebookPage.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

Progress progress;

void printNotes(const std::vector<std::string>& notes) {
    for (const std::string& note : notes) progress.say("note: " + note);
}

std::unique_ptr<VORN_DataSource> loadSourceNoted(const ToolInput& input,
                                                 const std::string& fileId) {
    std::vector<std::string> notes;
    std::unique_ptr<VORN_DataSource> source = loadSource(input, fileId, notes);
    printNotes(notes);
    return source;
}

// Reads an input (all of standard input, the head of a file) as the next phase.
ToolInput openShown(const std::string& path) {
    progress.phase("loading " + (path == "-" ? std::string("<stdin>") : path));
    return openInput(path);
}

// The document value of an input: a data source's dictionary for JSON and
// DDI, the parsed document for any other XML (and for every input when
// plainXML). Needs a live space.
TransValue loadValue(const ToolInput& input, bool namespaces, bool plainXML,
                     const std::string& fileId) {
    if (!plainXML && input.isSource()) {
        std::unique_ptr<VORN_DataSource> source = loadSourceNoted(input, fileId);
        progress.phase("building the dictionary");
        return TransValue(*source);
    }
    if (!plainXML && !input.isDocument())
        throw InputError{input.name + ": neither a data source (JSON, DDI) nor an XML document"};
    return parseInputValue(input, namespaces);
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
    progress.finish();
    if (st.warning()) std::fputs("warning\n", stderr);
    if (st.failure()) std::fputs("failure\n", stderr);
    return st.failure() ? kFailure : kOk;
}

void writeText(const TransString& text, bool utf16, bool indent) {
    if (utf16) {
        std::u16string units(reinterpret_cast<const char16_t*>(text.asUTF16()));
        if (indent) units = indentXML(units);
        std::fwrite(units.data(), sizeof(char16_t), units.size(), stdout);
    } else if (indent) {
        std::fputs(indentXML(text.asMBCS()).c_str(), stdout);
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

int printXML(const TransValue& value, bool utf16, bool indent) {
    progress.phase("writing");
    TransStatus st;
    TransString* text = utf16 ? value.asUTF16XML(st) : value.asMBCSXML(st);
    progress.finish();
    writeText(*text, utf16, indent);
    if (!utf16) std::fputc('\n', stdout);
    TransValue::releaseString(text);
    return reportFlags(st);
}

struct Options {
    std::string file;
    std::string other;               // diff's second input
    std::vector<std::string> files;  // validate's
    std::string encoding = "utf-8";
    std::string codePage;
    std::string fileId;
    std::string title;
    std::string contextPath;
    std::string expression;
    std::vector<unsigned short> contextUnits;
    std::vector<unsigned short> expressionUnits;
    bool list = false;
    bool number = false;
    bool namespaces = false;
    bool noNamespaces = false;
    bool plainXML = false;
    bool indent = false;
    bool json = false;
};

int runQuery(const TransValue& value, const Options& o) {
    progress.phase("querying");
    TransString context(o.contextUnits.data());
    TransString expression(o.expressionUnits.data());
    TransStatus st;
    if (o.number) {
        const double result = value.asDouble(context, expression, st);
        progress.finish();
        std::printf("%s\n", numberText(result).c_str());
    } else if (o.list) {
        TransStringList* results = value.asStringList(context, expression, st);
        progress.finish();
        for (unsigned i = 0; i < results->size(); ++i) std::printf("%s\n", results->asMBCS(i));
        TransValue::releaseStringList(results);
    } else {
        TransString* result = value.asString(context, expression, st);
        progress.finish();
        std::printf("%s\n", result->asMBCS());
        TransValue::releaseString(result);
    }
    return reportFlags(st);
}

// The file name a codebook gives, and its title when the source has none.
std::string baseName(const ToolInput& input) {
    if (input.standardInput) return "stdin";
    const size_t slash = input.path.find_last_of('/');
    return slash == std::string::npos ? input.path : input.path.substr(slash + 1);
}

int runDDI(const Options& o) {
    progress.start(2);
    const ToolInput input = openShown(o.file);
    std::unique_ptr<VORN_DataSource> source = loadSourceNoted(input, o.fileId);
    progress.phase("writing the codebook");
    std::string text, error;
    if (!WriteDataSourceDDI(*source, baseName(input), text, error)) throw InputError{error};
    progress.finish();
    if (o.indent) text = indentXML(text);
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

// The facts of a data source or of a saved dictionary document.
DictionaryFacts factsOf(const std::string& path, const std::string& fileId) {
    const ToolInput input = openShown(path);
    auto share = [](size_t done, size_t total) { progress.share(done, total); };
    if (input.isDocument()) {
        xercesc::XercesDOMParser parser;
        parseInput(parser, input, false);
        progress.phase("reading " + input.name);
        DictionaryFacts facts;
        std::string error;
        if (!factsOfDocument(*parser.getDocument(), facts, error, share))
            throw InputError{input.name + ": " + error};
        return facts;
    }
    if (!input.isSource())
        throw InputError{input.name + ": neither a data source (JSON, DDI) nor a dictionary"};
    std::unique_ptr<VORN_DataSource> source = loadSourceNoted(input, fileId);
    progress.phase("reading " + input.name);
    return factsOfSource(*source, share);
}

int runDiff(const Options& o) {
    if (o.file == "-" && o.other == "-")
        throw InputError{"standard input can be only one of the two inputs"};
    progress.start(5);
    const DictionaryFacts a = factsOf(o.file, o.fileId);
    const DictionaryFacts b = factsOf(o.other, o.fileId);
    progress.phase("comparing");
    const DictionaryDiff d = compareFacts(a, b);
    const std::string out = o.json ? diffJSON(a, b, d) : diffText(a, b, d);
    progress.finish();
    std::fwrite(out.data(), 1, out.size(), stdout);
    return d.same() ? kOk : kFailure;
}

int runHTML(const Options& o) {
    progress.start(3);
    const DictionaryFacts facts = factsOf(o.file, o.fileId);
    progress.phase("writing the page");
    PageOptions page;
    page.title = o.title;
    const size_t slash = o.file.find_last_of('/');
    page.fileName =
        o.file == "-" ? "stdin" : o.file.substr(slash == std::string::npos ? 0 : slash + 1);
    page.made = pageDate();
    const std::string out = codebookPage(facts, page);
    progress.finish();
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kOk;
}

void addCodePage(CLI::App* command, Options& o) {
    command->add_option("--code-page", o.codePage,
                        "run the host in this code page instead of UTF-8 mode");
}

// Without namespace processing a saved dictionary reads back as the library
// built it: xmlns is a plain attribute and unprefixed names reach the elements.
// So that is how a dictionary is read unless asked otherwise; other XML is
// read with namespaces, as XML is meant to be.
void addNamespaces(CLI::App* command, Options& o) {
    CLI::Option* on = command->add_flag(
        "--namespaces", o.namespaces,
        "read a saved dictionary with namespace processing too: its elements are then in the "
        "dictionary namespace");
    command
        ->add_flag("--no-namespaces", o.noNamespaces,
                   "read any XML file without namespace processing, as a saved dictionary is read")
        ->excludes(on);
}

bool namespacesFor(const ToolInput& input, const Options& o) {
    if (o.namespaces || o.noNamespaces) return o.namespaces;
    return input.format != SourceFormat::Dictionary;
}

void addIndent(CLI::App* command, Options& o) {
    command->add_flag("--indent", o.indent, "indent the document for reading");
}

void addFileId(CLI::App* command, Options& o) {
    command->add_option("--file", o.fileId,
                        "of a DDI codebook that describes several data files, read only the "
                        "file with this ID");
}

void addEncoding(CLI::App* command, Options& o) {
    command->add_option("--encoding", o.encoding, "utf-8 (the host's multibyte form) or utf-16")
        ->check(CLI::IsMember({"utf-8", "utf-16"}));
}

const char* const kFooter =
    "Inputs:\n"
    "  A SOURCE is a data source: JSON or a DDI codebook, told apart by content. query\n"
    "  takes any other XML file as a plain document, diff and html a saved dictionary,\n"
    "  validate a dictionary or a DDI Codebook 2.5 codebook. A saved dictionary (the\n"
    "  output of dictionary) is read without namespace processing, as the library\n"
    "  built it, so it answers the queries its source answers; other XML is read with\n"
    "  namespaces. \"-\" reads standard input. What a codebook could not carry is\n"
    "  reported on standard error as \"note: ...\" lines. Long work shows its progress\n"
    "  on standard error when that is a terminal. An XML file's external DTD is not\n"
    "  loaded, and a reference to an external entity is an error: nothing a document\n"
    "  names is opened.\n"
    "\n"
    "Exit status:\n"
    "  0 done (diff: the same; validate: every file valid); 1 the library's failure\n"
    "  flag (diff: different; validate: a file is not valid); 2 a usage error or an\n"
    "  input that cannot be used, with one line on standard error.\n"
    "\n"
    "Examples:\n"
    "  transspace query examples/survey.json \"/dictionary/variable[@name='age']\" @label\n"
    "  transspace dictionary --indent examples/codebook.xml\n"
    "  transspace diff old.json new.json\n"
    "  transspace validate examples/codebook.xml\n"
    "  transspace html examples/survey.json > survey.html\n";

}  // namespace

int main(int argc, char** argv) {
    // A host follows the C runtime's locale: take the user's, as any C program
    // would. UTF-8 mode is pinned apart from it (pinCodePage), so the output is
    // UTF-8 whatever the locale's character set.
    std::setlocale(LC_ALL, "");
    CLI::App app{
        "transspace: XML dictionaries of data sources, XPath queries on them, DDI codebooks "
        "and dictionary comparisons",
        "transspace"};
    app.set_version_flag("--version", "transspace " TRANSSPACE_VERSION);
    app.require_subcommand(1);
    app.footer(kFooter);
    Options o;

    CLI::App* dictionary =
        app.add_subcommand("dictionary", "print the XML dictionary document of a data source");
    dictionary->add_option("SOURCE", o.file, "a data source: JSON or a DDI codebook; - for stdin")
        ->required();
    addEncoding(dictionary, o);
    addCodePage(dictionary, o);
    addIndent(dictionary, o);
    addFileId(dictionary, o);
    dictionary->footer("Example:\n    transspace dictionary examples/survey.json\n");

    CLI::App* query = app.add_subcommand("query", "evaluate an XPath query on a document");
    query->add_option("FILE", o.file, "a data source (JSON, DDI) or another XML file; - for stdin")
        ->required();
    query->add_option("CONTEXT", o.contextPath, "XPath selecting the context node")->required();
    query->add_option("EXPRESSION", o.expression, "XPath evaluated there")->required();
    auto* listFlag = query->add_flag("--list", o.list, "print every result, one per line");
    query->add_flag("--number", o.number, "print the result as a number")->excludes(listFlag);
    query->add_flag("--xml", o.plainXML,
                    "query the file as a plain XML document, whatever it holds");
    addCodePage(query, o);
    addNamespaces(query, o);
    addFileId(query, o);
    query->footer(
        "Examples:\n    transspace query examples/survey.json "
        "\"/dictionary/variable[@name='age']\" @label\n"
        "    transspace query --number examples/survey.json / \"count(//variable)\"\n");

    CLI::App* xml = app.add_subcommand("xml", "print a document as the library serialises it");
    xml->add_option("FILE", o.file, "an XML file; - for stdin")->required();
    addEncoding(xml, o);
    addCodePage(xml, o);
    addNamespaces(xml, o);
    addIndent(xml, o);
    xml->footer("Example:\n    transspace xml document.xml\n");

    CLI::App* ddi = app.add_subcommand("ddi", "print a data source as a DDI Codebook 2.5 document");
    ddi->add_option("SOURCE", o.file, "a data source: JSON or a DDI codebook; - for stdin")
        ->required();
    addIndent(ddi, o);
    addFileId(ddi, o);
    ddi->footer("Example:\n    transspace ddi --indent examples/survey.json\n");

    CLI::App* diff = app.add_subcommand(
        "diff", "compare the dictionaries of two data sources; exit status 1 when they differ");
    diff->add_option("A", o.file, "the old data source (JSON, DDI) or saved dictionary")
        ->required();
    diff->add_option("B", o.other, "the new one")->required();
    diff->add_flag("--json", o.json,
                   "print one JSON object with \"added\", \"removed\", \"changed\" and \"file\"");
    addFileId(diff, o);
    diff->footer("Example:\n    transspace diff --json old.json new.json\n");

    CLI::App* validate = app.add_subcommand(
        "validate",
        "check dictionaries and DDI Codebook 2.5 codebooks against their schemas; exit status "
        "1 when one is not valid");
    validate->add_option("FILE", o.files, "the documents; - for stdin")->required();
    validate->footer(
        "Each problem is printed on standard output as FILE:LINE:COLUMN: message.\n\n"
        "Example:\n    transspace validate examples/codebook.xml\n");

    CLI::App* html = app.add_subcommand(
        "html", "write a codebook page: one HTML file that shows and searches every variable");
    html->add_option("FILE", o.file, "a data source (JSON, DDI) or saved dictionary; - for stdin")
        ->required();
    html->add_option("--title", o.title,
                     "the page's title (else the \"Title\" file attribute, else the file name)");
    addFileId(html, o);
    html->footer("Example:\n    transspace html examples/codebook.xml > codebook.html\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }

    // Trouble is status 2 for diff and validate, whose status 1 means
    // "different" and "not valid".
    const int trouble = diff->parsed() || validate->parsed() ? kUsage : kFailure;
    try {
        // The command line is UTF-8 whatever code page the host runs in.
        SetUTF8Mode(1);
        o.contextUnits = utf16Of(o.contextPath);
        o.expressionUnits = utf16Of(o.expression);
        pinCodePage(o.codePage);
        TransSpace space;
        bool utf16 = o.encoding == "utf-16";
        if (ddi->parsed()) return runDDI(o);
        if (diff->parsed()) return runDiff(o);
        if (validate->parsed()) return validateFiles(o.files);
        if (html->parsed()) return runHTML(o);
        if (xml->parsed()) {
            const ToolInput input = openInput(o.file);
            return printXML(loadValue(input, namespacesFor(input, o), true, ""), utf16, o.indent);
        }
        progress.start(3);
        const ToolInput input = openShown(o.file);
        if (dictionary->parsed()) {
            std::unique_ptr<VORN_DataSource> source = loadSourceNoted(input, o.fileId);
            progress.phase("building the dictionary");
            const TransValue value(*source);
            // The value holds a document of its own: the source can go
            // before the text is written.
            source.reset();
            return printXML(value, utf16, o.indent);
        }
        return runQuery(loadValue(input, namespacesFor(input, o), o.plainXML, o.fileId), o);
    } catch (const InputError& e) {
        progress.finish();
        std::fprintf(stderr, "transspace: %s\n", e.message.c_str());
        return kUsage;
    } catch (const std::exception& e) {
        progress.finish();
        std::fprintf(stderr, "transspace: %s\n", e.what());
        return trouble;
    } catch (...) {
        progress.finish();
        // The XML libraries throw types of their own; the library lets them pass.
        std::fputs("transspace: the XML libraries raised an error\n", stderr);
        return trouble;
    }
}
