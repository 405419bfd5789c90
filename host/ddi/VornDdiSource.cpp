#include "VornDdiSource.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/BinInputStream.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "VornCodePage.h"
#include "VornXmlRuntime.h"
#include "VornXmlReader.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// Carries one finished error line out of the parser's callbacks.
struct LoadError {
    std::string message;
};

// The platform is up for as long as a load runs, whatever spaces come and go
// on other threads: its start and stop take the lock they take.
using XmlPlatform = VornXmlPlatformUser;

std::string ToUTF8(const XMLCh* text, size_t length) {
    std::string out;
    out.reserve(length);
    AppendUTF16AsUTF8(out, text, length);
    return out;
}

std::string ToUTF8(const XMLCh* text) {
    return text == nullptr ? std::string() : ToUTF8(text, XMLString::stringLen(text));
}

// Exports pad texts with line breaks and indentation; inner white space stays.
std::string Trim(const std::string& text) {
    const char* space = " \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool ParseNumber(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

bool ParseWhole(const std::string& text, long long& value) {
    const char* end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && value >= 0;
}

// The shortest decimal text that reads back as the same double.
std::string ShortestText(double d) {
    char buffer[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, d);
        if (std::strtod(buffer, nullptr) == d) break;
    }
    return buffer;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string WithThousands(size_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Gathers what could not be carried: one line per subject and reason, with a
// count of subjects and the first few of their names.
class Notes {
public:
    void Add(const char* singular, const char* plural, const std::string& reason,
             const std::string& who) {
        std::string key = std::string(singular) + '\0' + reason;
        auto it = index.find(key);
        if (it == index.end()) {
            it = index.emplace(key, kinds.size()).first;
            kinds.push_back(Kind{singular, plural, reason, 0, {}, std::string()});
        }
        Kind& kind = kinds[it->second];
        if (!kind.names.empty() && kind.last == who) return;  // one subject, counted once
        kind.last = who;
        ++kind.count;
        if (kind.names.size() < 4) kind.names.push_back(who);
    }
    void AddPlain(const std::string& line) { plain.push_back(line); }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const Kind& k : kinds) {
            std::string line = WithThousands(k.count) + " " +
                               (k.count == 1 ? k.singular : k.plural) + ": " + k.reason + " (";
            for (size_t i = 0; i < k.names.size() && i < 3; ++i)
                line += (i ? ", " : "") + k.names[i];
            line += k.count > 3 ? ", ...)" : ")";
            lines.push_back(line);
        }
        lines.insert(lines.end(), plain.begin(), plain.end());
        return lines;
    }

private:
    struct Kind {
        const char* singular;
        const char* plural;
        std::string reason;
        size_t count;
        std::vector<std::string> names;
        std::string last;
    };
    std::vector<Kind> kinds;
    std::unordered_map<std::string, size_t> index;
    std::vector<std::string> plain;
};

// The elements the reader looks at; everything else is Other.
enum class El {
    Other,
    codeBook,
    docDscr,
    stdyDscr,
    citation,
    titlStmt,
    titl,
    IDNo,
    fileDscr,
    fileTxt,
    dimensns,
    caseQnty,
    dataDscr,
    varGrp,
    var,
    location,
    labl,
    qstn,
    qstnLit,
    universe,
    concept,
    txt,
    notes,
    catgry,
    catValu,
    invalrng,
    item,
    range,
    varFormat
};

El Classify(const XMLCh* name) {
    static const struct {
        const char16_t* name;
        El element;
    } known[] = {
        {u"codeBook", El::codeBook},   {u"docDscr", El::docDscr},   {u"stdyDscr", El::stdyDscr},
        {u"citation", El::citation},   {u"titlStmt", El::titlStmt}, {u"titl", El::titl},
        {u"IDNo", El::IDNo},           {u"fileDscr", El::fileDscr}, {u"fileTxt", El::fileTxt},
        {u"dimensns", El::dimensns},   {u"caseQnty", El::caseQnty}, {u"dataDscr", El::dataDscr},
        {u"varGrp", El::varGrp},       {u"var", El::var},           {u"location", El::location},
        {u"labl", El::labl},           {u"qstn", El::qstn},         {u"qstnLit", El::qstnLit},
        {u"universe", El::universe},   {u"concept", El::concept},   {u"txt", El::txt},
        {u"notes", El::notes},         {u"catgry", El::catgry},     {u"catValu", El::catValu},
        {u"invalrng", El::invalrng},   {u"item", El::item},         {u"range", El::range},
        {u"varFormat", El::varFormat},
    };
    for (const auto& k : known)
        if (XMLString::equals(name, reinterpret_cast<const XMLCh*>(k.name))) return k.element;
    return El::Other;
}

bool IsDdiNamespace(const XMLCh* uri) {
    static const char16_t* const known[] = {u"", u"http://www.icpsr.umich.edu/DDI",
                                            u"ddi:codebook:2_5", u"ddi:codebook:2_6"};
    for (const char16_t* k : known)
        if (XMLString::equals(uri == nullptr ? reinterpret_cast<const XMLCh*>(u"") : uri,
                              reinterpret_cast<const XMLCh*>(k)))
            return true;
    return false;
}

// The attribute's value, trimmed; empty when absent.
std::string Attribute(const Attributes& attributes, const char16_t* name) {
    return Trim(ToUTF8(attributes.getValue(reinterpret_cast<const XMLCh*>(name))));
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (true) {
        i = text.find_first_not_of(" \t\r\n", i);
        if (i == std::string::npos) return words;
        size_t end = text.find_first_of(" \t\r\n", i);
        words.push_back(text.substr(i, end == std::string::npos ? std::string::npos : end - i));
        if (end == std::string::npos) return words;
        i = end;
    }
}

const char* const kAttributeNames[] = {"Question", "Universe", "Concept", "Description", "Notes"};

// One var element as the codebook gives it, texts in UTF-8.
struct VarFacts {
    std::string id, name, files, fileid, dcml, nature, intrvl, wgt;
    std::string width, formatType, formatName;
    bool hasLocation = false, hasFormat = false;
    std::string label, anyLabel;
    bool hasLabel = false, hasAnyLabel = false;
    struct Category {
        std::string value, label;
        bool hasValue = false, hasLabel = false, missing = false;
    };
    std::vector<Category> categories;
    std::vector<std::string> items;
    std::vector<std::pair<std::string, std::string>> ranges;
    std::vector<std::string> attributes[5];
};

struct GroupFacts {
    std::string id, name, label, type, vars, subgroups;  // @var and @varGrp
    bool hasLabel = false;
};

// Streams a file to the parser and remembers a read failure, which the
// parser would otherwise take for the end of the file.
class FileStream : public BinInputStream {
public:
    FileStream(std::FILE* f, int& readErrno) : file(f), readErrno(readErrno), position(0) {}
    XMLFilePos curPos() const override { return position; }
    XMLSize_t readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) override {
        size_t n = std::fread(toFill, 1, maxToRead, file);
        if (n < maxToRead && std::ferror(file)) readErrno = errno != 0 ? errno : EIO;
        position += n;
        return n;
    }
    const XMLCh* getContentType() const override { return nullptr; }

private:
    std::FILE* file;
    int& readErrno;
    XMLFilePos position;
};

class FileSource : public InputSource {
public:
    explicit FileSource(std::FILE* f) : file(f) {}
    // The parser owns and deletes the stream; the error outlives it here.
    BinInputStream* makeStream() const override { return new FileStream(file, readErrno); }
    mutable int readErrno = 0;

private:
    std::FILE* file;
};

class Handler : public DefaultHandler {
public:
    Handler(const std::string& sourceName, const DDILoadOptions& options, const FileSource* file)
        : source(sourceName), options(options), file(file), ds(new VORN_DataSource) {
        if (!converter.IsOpen())
            throw LoadError{source + ": the host code page \"" + converter.GetCodePageName() +
                            "\" cannot be opened"};
        codePageReason = "the code page \"" + converter.GetCodePageName() + "\" cannot hold ";
    }

    std::unique_ptr<VORN_DataSource> Finish(std::vector<std::string>& notesOut) {
        if (!sawRoot) throw LoadError{source + ": no root element"};
        if (!options.fileId.empty() && !fileFound)
            throw LoadError{source + ": no fileDscr has the ID " + Quote(options.fileId)};
        AddGroups();
        if (!caseText.empty()) {
            long long rows;
            if (ParseWhole(caseText, rows))
                ds->SetRowCount(rows);
            else
                notes.AddPlain("the case count " + Quote(caseText) +
                               " is not a whole number: no row count");
        }
        DatasourceAttributes attributes;
        AddFileAttribute(attributes, "Title", title);
        AddFileAttribute(attributes, "IDNo", studyId.empty() ? docId : studyId);
        ds->SetAttributes(attributes);
        notesOut = notes.Lines();
        return std::move(ds);
    }

    void setDocumentLocator(const Locator* const l) override { locator = l; }

    void startElement(const XMLCh* const uri, const XMLCh* const localname, const XMLCh* const,
                      const Attributes& attrs) override {
        if (!sawRoot) {
            sawRoot = true;
            if (!XMLString::equals(localname, reinterpret_cast<const XMLCh*>(u"codeBook")) ||
                !IsDdiNamespace(uri)) {
                std::string ns = ToUTF8(uri);
                Fail("the root element is " + ToUTF8(localname) +
                     (ns.empty() ? "" : " in the namespace " + Quote(ns)) + ", not a DDI codeBook");
            }
            rootUri = uri == nullptr ? u"" : reinterpret_cast<const char16_t*>(uri);
        }
        El e = XMLString::equals(uri == nullptr ? reinterpret_cast<const XMLCh*>(u"") : uri,
                                 reinterpret_cast<const XMLCh*>(rootUri.c_str()))
                   ? Classify(localname)
                   : El::Other;
        stack.push_back(e);
        if (capturing) return;
        size_t depth = stack.size();
        if (depth == 2 && e == El::fileDscr) {
            std::string id = Attribute(attrs, u"ID");
            ++fileCount;
            inChosenFile = options.fileId.empty() ? fileCount == 1 : id == options.fileId;
            if (!options.fileId.empty() && inChosenFile) fileFound = true;
        } else if (depth == 3 && e == El::varGrp && Under(El::dataDscr)) {
            GroupFacts g;
            g.id = Attribute(attrs, u"ID");
            g.name = Attribute(attrs, u"name");
            g.type = Attribute(attrs, u"type");
            g.vars = Attribute(attrs, u"var");
            g.subgroups = Attribute(attrs, u"varGrp");
            groups.push_back(g);
        } else if (depth == 3 && e == El::var && Under(El::dataDscr)) {
            inVar = true;
            v = VarFacts();
            v.id = Attribute(attrs, u"ID");
            v.name = Attribute(attrs, u"name");
            v.files = Attribute(attrs, u"files");
            v.dcml = Attribute(attrs, u"dcml");
            v.nature = Attribute(attrs, u"nature");
            v.intrvl = Attribute(attrs, u"intrvl");
            v.wgt = Attribute(attrs, u"wgt");
        } else if (inVar) {
            StartInVar(e, depth, attrs);
        } else if (Path({El::stdyDscr, El::citation, El::titlStmt, El::titl}) && !haveTitle) {
            Capture(&title), haveTitle = true;
        } else if (Path({El::stdyDscr, El::citation, El::titlStmt, El::IDNo}) && !haveStudyId) {
            Capture(&studyId), haveStudyId = true;
        } else if (Path({El::docDscr, El::citation, El::titlStmt, El::IDNo}) && !haveDocId) {
            Capture(&docId), haveDocId = true;
        } else if (Path({El::fileDscr, El::fileTxt, El::dimensns, El::caseQnty}) && inChosenFile &&
                   !haveCase) {
            Capture(&caseText), haveCase = true;
        } else if (depth == 4 && e == El::labl && stack[1] == El::dataDscr &&
                   stack[2] == El::varGrp && !groups.empty() && !groups.back().hasLabel) {
            Capture(&groups.back().label), groups.back().hasLabel = true;
        }
    }

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        if (capturing && stack.size() == captureDepth) {
            *capturing = Trim(ToUTF8(buffer.data(), buffer.size()));
            capturing = nullptr;
            buffer.clear();
            if (afterCapture) (this->*afterCapture)();
            afterCapture = nullptr;
        }
        if (inVar && stack.size() == 3) {
            inVar = false;
            ++varCount;
            AddVariable();
        }
        if (stack.size() == 2 && stack.back() == El::fileDscr) inChosenFile = false;
        stack.pop_back();
    }

    void characters(const XMLCh* const chars, const XMLSize_t length) override {
        if (capturing) buffer.insert(buffer.end(), chars, chars + length);
    }

    // A file that fails midway looks to the parser like one cut short.
    void CheckRead() const {
        if (file != nullptr && file->readErrno != 0)
            throw LoadError{source + ": cannot be read: " + std::strerror(file->readErrno)};
    }

    void fatalError(const SAXParseException& e) override {
        CheckRead();
        throw LoadError{Position(e.getLineNumber(), e.getColumnNumber()) + ToUTF8(e.getMessage())};
    }
    void error(const SAXParseException& e) override { fatalError(e); }

private:
    std::string source;
    const DDILoadOptions& options;
    const FileSource* file;
    std::unique_ptr<VORN_DataSource> ds;
    VornHostTextConverter converter;
    std::string codePageReason;
    Notes notes;
    const Locator* locator = nullptr;
    bool sawRoot = false;
    std::u16string rootUri;
    std::vector<El> stack;

    std::string* capturing = nullptr;
    size_t captureDepth = 0;
    void (Handler::*afterCapture)() = nullptr;
    std::vector<XMLCh> buffer;

    int fileCount = 0;
    bool inChosenFile = false, fileFound = false;
    std::string title, studyId, docId, caseText;
    bool haveTitle = false, haveStudyId = false, haveDocId = false, haveCase = false;

    bool inVar = false;
    VarFacts v;
    std::string scratch;
    long varCount = 0;
    std::vector<GroupFacts> groups;
    // var/@ID -> the name it was loaded under; skipped variables are absent.
    std::unordered_map<std::string, std::string> loadedById;
    std::unordered_set<std::string> otherFileIds;
    bool weightTaken = false;

    [[noreturn]] void Fail(const std::string& what) const {
        long line = locator ? static_cast<long>(locator->getLineNumber()) : 0;
        long column = locator ? static_cast<long>(locator->getColumnNumber()) : 0;
        throw LoadError{Position(line, column) + what};
    }

    std::string Position(XMLFileLoc line, XMLFileLoc column) const {
        return source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
    }

    bool Under(El parent) const { return stack.size() >= 2 && stack[stack.size() - 2] == parent; }

    // Whether the open elements are codeBook followed by path.
    bool Path(std::initializer_list<El> path) const {
        if (stack.size() != path.size() + 1) return false;
        size_t i = 1;
        for (El e : path)
            if (stack[i++] != e) return false;
        return true;
    }

    void Capture(std::string* target, void (Handler::*then)() = nullptr) {
        capturing = target;
        captureDepth = stack.size();
        afterCapture = then;
    }

    void StartInVar(El e, size_t depth, const Attributes& attrs) {
        if (depth == 4) {
            switch (e) {
                case El::location:
                    // The first width and the first file named, which may
                    // come on different location elements.
                    if (!v.hasLocation) {
                        v.width = Attribute(attrs, u"width");
                        v.hasLocation = !v.width.empty();
                    }
                    if (v.fileid.empty()) v.fileid = Attribute(attrs, u"fileid");
                    break;
                case El::labl: {
                    std::string level = Attribute(attrs, u"level");
                    bool variableLevel = level.empty() || level == "variable";
                    if (variableLevel && !v.hasLabel)
                        Capture(&v.label), v.hasLabel = true;
                    else if (!v.hasAnyLabel)
                        Capture(&v.anyLabel), v.hasAnyLabel = true;
                    break;
                }
                case El::universe:
                    Capture(&scratch, &Handler::KeepUniverse);
                    break;
                case El::concept:
                    Capture(&scratch, &Handler::KeepConcept);
                    break;
                case El::txt:
                    Capture(&scratch, &Handler::KeepDescription);
                    break;
                case El::notes:
                    Capture(&scratch, &Handler::KeepNotes);
                    break;
                case El::catgry:
                    v.categories.emplace_back();
                    v.categories.back().missing = Attribute(attrs, u"missing") == "Y";
                    break;
                case El::varFormat:
                    if (!v.hasFormat) {
                        v.hasFormat = true;
                        v.formatType = Attribute(attrs, u"type");
                        v.formatName = Attribute(attrs, u"formatname");
                    }
                    break;
                default:
                    break;
            }
        } else if (depth == 5) {
            El parent = stack[3];
            if (parent == El::qstn && e == El::qstnLit) {
                Capture(&scratch, &Handler::KeepQuestion);
            } else if (parent == El::catgry && !v.categories.empty()) {
                VarFacts::Category& c = v.categories.back();
                if (e == El::catValu && !c.hasValue) Capture(&c.value), c.hasValue = true;
                if (e == El::labl && !c.hasLabel) Capture(&c.label), c.hasLabel = true;
            } else if (parent == El::invalrng && e == El::item) {
                std::string value = Attribute(attrs, u"VALUE");
                if (!value.empty()) v.items.push_back(value);
            } else if (parent == El::invalrng && e == El::range) {
                v.ranges.emplace_back(Attribute(attrs, u"min"), Attribute(attrs, u"max"));
            }
        }
    }

    void Keep(int which) {
        if (!scratch.empty()) v.attributes[which].push_back(scratch);
    }
    void KeepQuestion() { Keep(0); }
    void KeepUniverse() { Keep(1); }
    void KeepConcept() { Keep(2); }
    void KeepDescription() { Keep(3); }
    void KeepNotes() { Keep(4); }

    void VarNote(const std::string& reason, const std::string& who) {
        notes.Add("variable", "variables", reason, who);
    }

    // Text in the host's code page; false (and a note) when it cannot hold it.
    bool Host(const std::string& utf8, std::string& out, const char* what, const std::string& who) {
        std::string ignored;
        if (converter.FromUTF8(utf8, out, ignored)) return true;
        notes.Add("variable", "variables", codePageReason + std::string(what), who);
        return false;
    }

    bool InChosenFile() {
        if (options.fileId.empty()) return true;
        if (!v.files.empty()) {
            for (const std::string& f : Words(v.files))
                if (f == options.fileId) return true;
            return false;
        }
        return v.fileid.empty() || v.fileid == options.fileId;
    }

    void AddVariable() {
        std::string utf8Name = v.name.empty() ? v.id : v.name;
        if (!InChosenFile()) {
            if (!v.id.empty()) otherFileIds.insert(v.id);
            return;
        }
        if (utf8Name.empty()) {
            VarNote("no name or ID, skipped", "#" + std::to_string(varCount));
            return;
        }
        std::string name;
        if (!Host(utf8Name, name, "the name, skipped", utf8Name)) return;
        if (ds->FindVarIndex(name.c_str(), 0) >= 0) {
            VarNote("the name repeats an earlier one (ignoring letter case), the later skipped",
                    utf8Name);
            return;
        }
        const std::string& who = utf8Name;
        bool isString = v.formatType == "character";
        int width = 0;
        long long whole = 0;
        if (v.hasLocation) {
            if (!ParseWhole(v.width, whole) || whole < 1)
                VarNote("the width " + Quote(v.width) + " is not a positive whole number", who);
            else
                width = static_cast<int>(std::min(whole, 32767LL));
            if (whole > 32767) VarNote("a width above 32767 is cut to 32767", who);
        }
        if (isString && width == 0) {
            for (const VarFacts::Category& c : v.categories) {
                std::string value;
                if (c.hasValue && converter.FromUTF8(c.value, value, scratch))
                    width =
                        std::max(width, static_cast<int>(std::min<size_t>(value.size(), 32767)));
            }
            if (width == 0) width = 8;
        }
        VORN_Variable var(name, isString ? width : 0);
        int decimals = 0;
        if (!v.dcml.empty()) {
            if (ParseWhole(v.dcml, whole) && whole <= 255)
                decimals = static_cast<int>(whole);
            else
                VarNote("the decimals " + Quote(v.dcml) + " are not a whole number to 255", who);
        }
        VORN_Variable::FormatType code = isString ? VORN_Variable::FormatA : VORN_Variable::FormatF;
        int fw = isString ? width : (width > 0 ? width : 8);
        int fd = isString ? 0 : decimals;
        NamedFormat(isString, code, fw, fd, who);
        var.SetFormat(code, fw, fd);
        var.SetWriteFormat(code, fw, fd);
        var.SetMeasurementLevel(Level());

        std::string text;
        const std::string* label = v.hasLabel ? &v.label : v.hasAnyLabel ? &v.anyLabel : nullptr;
        if (label != nullptr && Host(*label, text, "the label, left empty", who))
            var.SetLabel(text);
        else
            var.SetLabel("");

        ValueLabels(var, who);
        MissingValues(var, who);
        for (int i = 0; i < 5; ++i) {
            std::vector<std::string> values;
            for (const std::string& value : v.attributes[i])
                if (Host(value, text,
                         (std::string("a ") + Quote(kAttributeNames[i]) + " text, skipped").c_str(),
                         who))
                    values.push_back(text);
            if (!values.empty()) var.AddAttribute(kAttributeNames[i], values);
        }

        int column = ds->AddVariable(var);
        if (column < 0) return;
        if (!v.id.empty()) loadedById.emplace(v.id, var.GetName());
        if (v.wgt == "wgt") {
            if (isString)
                VarNote("a string variable cannot be the weight", who);
            else if (weightTaken)
                VarNote("marked as weight after the first weight variable, not the weight", who);
            else
                weightTaken = ds->SetWeightVarIndex(column);
        }
    }

    // A formatname such as "DATE11" or "DOLLAR12.2" of the dictionary's
    // vocabulary, for a variable of its kind, replaces the default format.
    void NamedFormat(bool isString, VORN_Variable::FormatType& code, int& width, int& decimals,
                     const std::string& who) {
        const std::string& f = v.formatName;
        size_t letters = 0;
        while (letters < f.size() && std::isalpha(static_cast<unsigned char>(f[letters])))
            ++letters;
        if (letters == 0 || letters == f.size()) return;  // "numeric", "F": no width given
        long long w = 0, d = 0;
        size_t dot = f.find('.', letters);
        std::string widthText = f.substr(letters, dot == std::string::npos ? dot : dot - letters);
        VORN_Variable::FormatType named;
        bool ok = VORN_Variable::FindFormatType(f.substr(0, letters).c_str(), named) &&
                  ParseWhole(widthText, w) && w >= 1 && w <= 32767 &&
                  (dot == std::string::npos || (ParseWhole(f.substr(dot + 1), d) && d <= 255));
        if (!ok) {
            VarNote("the format " + Quote(f) +
                        " is not one the dictionary knows; the default format stands",
                    who);
            return;
        }
        bool stringFormat = named == VORN_Variable::FormatA || named == VORN_Variable::FormatAHEX;
        if (stringFormat != isString) {
            VarNote("the format " + Quote(f) +
                        " does not fit the variable's type; the default format stands",
                    who);
            return;
        }
        code = named;
        width = static_cast<int>(w);
        decimals = static_cast<int>(d);
    }

    VORN_Variable::MeasurementLevel Level() const {
        if (v.nature == "nominal") return VORN_Variable::MeasureNominal;
        if (v.nature == "ordinal") return VORN_Variable::MeasureOrdinal;
        if (v.nature == "interval" || v.nature == "ratio") return VORN_Variable::MeasureScale;
        if (v.intrvl == "discrete") return VORN_Variable::MeasureNominal;
        if (v.intrvl == "contin") return VORN_Variable::MeasureScale;
        return VORN_Variable::MeasureUnknown;
    }

    static bool IsSystemMissing(const std::string& code) {
        return code == "." || EqualsIgnoringCase(code, "sysmiss");
    }

    void ValueLabels(VORN_Variable& var, const std::string& who) {
        std::vector<double> numbers;
        std::unordered_set<std::string> texts;
        for (const VarFacts::Category& c : v.categories) {
            if (!c.hasValue || c.label.empty()) continue;
            std::string label;
            if (var.GetType() == 0) {
                double value;
                if (!ParseNumber(c.value, value)) {
                    if (!IsSystemMissing(c.value))
                        VarNote("a value label for a value that is not a number, skipped", who);
                    continue;
                }
                bool repeated = false;
                for (double n : numbers) repeated = repeated || n == value;
                if (repeated) {
                    VarNote("a value label for a repeated value, the later skipped", who);
                    continue;
                }
                if (!Host(c.label, label, "a value label, skipped", who)) continue;
                numbers.push_back(value);
                var.AddValueLabel(value, label);
            } else {
                std::string value;
                if (!Host(c.value, value, "a labelled value, skipped", who)) continue;
                if (value.size() > static_cast<size_t>(var.GetType())) {
                    VarNote("a value label for a value longer than the string width, skipped", who);
                    continue;
                }
                if (!texts.insert(value).second) {
                    VarNote("a value label for a repeated value, the later skipped", who);
                    continue;
                }
                if (!Host(c.label, label, "a value label, skipped", who)) continue;
                var.AddValueLabel(value, label);
            }
        }
    }

    void MissingValues(VORN_Variable& var, const std::string& who) {
        std::vector<std::string> codes;
        for (const VarFacts::Category& c : v.categories)
            if (c.missing && c.hasValue) codes.push_back(c.value);
        codes.insert(codes.end(), v.items.begin(), v.items.end());
        OBS values[3];
        int count = 0;
        bool range = false, dropped = false;
        if (var.GetType() == 0) {
            for (const auto& r : v.ranges) {
                double low = VORNLowestValue(), high = VORNHighestValue();
                bool ok = (r.first.empty() || ParseNumber(r.first, low)) &&
                          (r.second.empty() || ParseNumber(r.second, high)) &&
                          !(r.first.empty() && r.second.empty()) && low <= high;
                if (!ok) {
                    VarNote(
                        "a missing range that is not a pair of numbers, low to high, is not "
                        "carried",
                        who);
                } else if (range) {
                    dropped = true;
                } else {
                    values[0] = NumericOBS(low), values[1] = NumericOBS(high);
                    count = 2, range = true;
                }
            }
            std::vector<double> seen;
            for (const std::string& code : codes) {
                double value;
                if (!ParseNumber(code, value)) {
                    if (!IsSystemMissing(code))
                        VarNote("missing value " + Quote(code) + " is not a number", who);
                    continue;
                }
                bool repeated = false;
                for (double s : seen) repeated = repeated || s == value;
                if (repeated) continue;
                seen.push_back(value);
                if (count == 3) {
                    dropped = true;
                    continue;
                }
                values[count++] = NumericOBS(value);
            }
        } else {
            if (!v.ranges.empty())
                VarNote("a missing range of a string variable is not carried", who);
            std::unordered_set<std::string> seen;
            for (const std::string& code : codes) {
                std::string value;
                if (!Host(code, value, "a missing value, not carried", who)) continue;
                if (value.size() > 8 || value.size() > static_cast<size_t>(var.GetType())) {
                    VarNote(
                        "a missing value longer than 8 bytes or the string width is not carried",
                        who);
                    continue;
                }
                if (!seen.insert(value).second) continue;
                if (count == 3) {
                    dropped = true;
                    continue;
                }
                values[count++] = StringOBS(value);
            }
        }
        if (dropped)
            VarNote(
                "more missing values than the data source holds (three values, or a range "
                "and one value): the later ones are not carried",
                who);
        if (count > 0) var.SetMissingValues(range ? -count : count, values);
    }

    void AddFileAttribute(DatasourceAttributes& attributes, const char* name,
                          const std::string& utf8) {
        if (utf8.empty()) return;
        std::string text, ignored;
        if (converter.FromUTF8(utf8, text, ignored))
            attributes.AddAttribute(name, {text});
        else
            notes.AddPlain("the " + Quote(name) +
                           " file attribute is not carried: " + codePageReason + "it");
    }

    // A group's own var IDs and the groups it names, read once: a group's
    // links are followed for every group that reaches it.
    struct GroupLinks {
        std::vector<std::string> vars;
        std::vector<size_t> groups;  // of a plain group only
        bool unknownGroup = false;
    };

    // Groups are resolved once the stream is done: a group may name groups
    // that the codebook defines after it.
    void AddGroups() {
        std::unordered_map<std::string, size_t> byId;
        for (size_t i = 0; i < groups.size(); ++i)
            if (!groups[i].id.empty()) byId.emplace(groups[i].id, i);
        std::vector<GroupLinks> links(groups.size());
        for (size_t i = 0; i < groups.size(); ++i) {
            links[i].vars = Words(groups[i].vars);
            if (IsResponseSet(groups[i])) continue;  // holds its var members only
            for (const std::string& id : Words(groups[i].subgroups)) {
                auto found = byId.find(id);
                if (found != byId.end())
                    links[i].groups.push_back(found->second);
                else
                    links[i].unknownGroup = true;
            }
        }
        for (size_t i = 0; i < groups.size(); ++i) {
            const GroupFacts& g = groups[i];
            const bool ofGroups = !IsResponseSet(g) && !g.subgroups.empty();
            if (g.vars.empty() && !ofGroups) continue;  // no members named: no set
            if (links[i].unknownGroup)
                notes.Add("variable group", "variable groups",
                          "a reference to an unknown variable group is ignored", GroupName(g));
            AddGroup(g, MemberIds(i, links));
        }
    }

    static bool IsResponseSet(const GroupFacts& g) { return g.type == "multipleResp"; }

    static const std::string& GroupName(const GroupFacts& g) {
        return !g.name.empty() ? g.name : !g.label.empty() ? g.label : g.id;
    }

    // The var IDs a group holds, each once in the order first met: its own,
    // then those of each group it names, depth first. A group met before, as
    // in a cycle, adds nothing. A stack rather than recursion: a chain of
    // groups may be as long as the codebook.
    static std::vector<std::string> MemberIds(size_t start, const std::vector<GroupLinks>& links) {
        std::vector<std::string> ids;
        std::unordered_set<std::string> seenIds;
        std::vector<bool> met(links.size(), false);
        std::vector<size_t> pending{start};
        while (!pending.empty()) {
            const size_t at = pending.back();
            pending.pop_back();
            if (met[at]) continue;
            met[at] = true;
            for (const std::string& id : links[at].vars)
                if (seenIds.insert(id).second) ids.push_back(id);
            const std::vector<size_t>& named = links[at].groups;
            for (auto it = named.rbegin(); it != named.rend(); ++it)
                if (!met[*it]) pending.push_back(*it);
        }
        return ids;
    }

    void AddGroup(const GroupFacts& g, const std::vector<std::string>& ids) {
        const std::string& utf8Name = GroupName(g);
        if (utf8Name.empty()) {
            notes.AddPlain("a variable group without a name, label or ID is skipped");
            return;
        }
        std::string name, label, ignored;
        if (!converter.FromUTF8(utf8Name, name, ignored)) {
            notes.Add("variable group", "variable groups", codePageReason + "the name, skipped",
                      utf8Name);
            return;
        }
        bool responseSet = IsResponseSet(g);
        VariableSet set(name, responseSet ? VariableSet::CategorySet : VariableSet::PlainSet);
        if (responseSet && !g.label.empty()) {
            if (converter.FromUTF8(g.label, label, ignored))
                set.SetLabel(label);
            else
                notes.Add("variable group", "variable groups",
                          codePageReason + "the label, left empty", utf8Name);
        }
        bool anyMember = false;
        for (const std::string& id : ids) {
            auto it = loadedById.find(id);
            if (it != loadedById.end()) {
                set.AddVariableName(it->second);
                anyMember = true;
            } else if (otherFileIds.count(id) == 0) {
                notes.Add("variable group", "variable groups",
                          "members naming a skipped or unknown variable are dropped", utf8Name);
            }
        }
        // Only another file's variables: not a group of the file asked for.
        if (!anyMember && !ids.empty() && !options.fileId.empty()) {
            bool allOther = true;
            for (const std::string& id : ids) allOther = allOther && otherFileIds.count(id) > 0;
            if (allOther) return;
        }
        if (responseSet) Dichotomy(set);
        if (responseSet)
            ds->AddMultipleResponseSet(set);
        else
            ds->AddVariableSet(set);
    }

    // Members that all have the same two labelled values make a dichotomy
    // set counting the higher one.
    void Dichotomy(VariableSet& set) const {
        std::vector<std::string> members = set.GetVariableNames(VariableSet::KeepCase);
        if (members.empty()) return;
        std::string first, second;
        int type = -1;
        for (const std::string& member : members) {
            const VORN_Variable& var = ds->GetVariable(ds->FindVarIndex(member.c_str(), 0));
            VORN_ValueLabelMap map(var.GetValueLabels());
            if (map.Size() != 2 || (type >= 0 && var.GetType() != type)) return;
            type = var.GetType();
            std::string a, b;
            const char* label;
            if (type == 0) {
                double x, y;
                map.GetNextPair(x, label);
                map.GetNextPair(y, label);
                a = ShortestText(std::min(x, y));
                b = ShortestText(std::max(x, y));
            } else {
                map.GetNextPair(a, label);
                map.GetNextPair(b, label);
                if (b < a) std::swap(a, b);
            }
            if (first.empty() && second.empty()) {
                first = a, second = b;
            } else if (a != first || b != second) {
                return;
            }
        }
        set.SetType(VariableSet::DichotomySet);
        set.SetValue(second);
    }
};

std::unique_ptr<VORN_DataSource> Parse(InputSource& input, const std::string& sourceName,
                                       std::string& error, std::vector<std::string>& notes,
                                       const DDILoadOptions& options, const FileSource* file) {
    notes.clear();
    error.clear();
    XmlPlatform platform;
    try {
        // The parser goes first: it may still refer to these while destroyed.
        // A codebook is read on its own: no external DTD or entity.
        VornXmlReaderGuard guard;
        Handler handler(sourceName, options, file);
        std::unique_ptr<SAX2XMLReader> reader(XMLReaderFactory::createXMLReader());
        reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
        reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
        reader->setFeature(XMLUni::fgXercesSchema, false);
        guard.Apply(*reader, &handler);
        reader->setContentHandler(&handler);
        reader->parse(input);
        handler.CheckRead();
        return handler.Finish(notes);
    } catch (const LoadError& e) {
        error = e.message;
    } catch (const OutOfMemoryException&) {
        throw std::bad_alloc();
    } catch (const XMLException& e) {
        error = sourceName + ": " + ToUTF8(e.getMessage());
    } catch (const SAXException& e) {
        error = sourceName + ": " + ToUTF8(e.getMessage());
    }
    notes.clear();
    // The line stays one line whatever the file's names hold.
    for (char& c : error)
        if (c == '\n' || c == '\r') c = ' ';
    return nullptr;
}

}  // namespace

std::unique_ptr<VORN_DataSource> LoadDataSourceDDI(const std::string& path, std::string& error,
                                                   std::vector<std::string>& notes,
                                                   const DDILoadOptions& options) {
    notes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot be opened: " + std::strerror(errno);
        return nullptr;
    }
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{file};
    XmlPlatform platform;  // the input source is a Xerces object
    FileSource input(file);
    return Parse(input, path, error, notes, options, &input);
}

std::unique_ptr<VORN_DataSource> LoadDataSourceDDIText(const std::string& text,
                                                       const std::string& sourceName,
                                                       std::string& error,
                                                       std::vector<std::string>& notes,
                                                       const DDILoadOptions& options) {
    XmlPlatform platform;
    MemBufInputSource input(reinterpret_cast<const XMLByte*>(text.data()), text.size(), "", false);
    return Parse(input, sourceName, error, notes, options, nullptr);
}
