#include "CodebookPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <unordered_map>
#include <vector>

#include "CodebookAssets.h"
#include "diff/ByteBuffer.h"

namespace {

// --- JSON text safe inside <script> ----------------------------------------------

// The length of the UTF-8 sequence at text[i], or 0 when it is not one
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

char* writeUnicodeEscape(char* p, unsigned code) {
    static const char digits[] = "0123456789abcdef";
    *p++ = '\\';
    *p++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4) *p++ = digits[(code >> shift) & 15];
    return p;
}

// The bytes that writeScriptString copies as they are: all but control
// bytes, quote, backslash, <, >, &, DEL and every byte of a multibyte
// sequence.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int c = 0x20; c < 0x7f; ++c)
            plain[c] = c != '"' && c != '\\' && c != '<' && c != '>' && c != '&';
    }
};
constexpr PlainBytes kPlainBytes;

// The most bytes writeScriptString writes for text: each byte may become a
// six-byte escape, and the quotes.
std::size_t scriptStringRoom(std::string_view text) { return 6 * text.size() + 2; }

// Writes text as appendScriptString does at p, which has scriptStringRoom(text)
// bytes of room; returns the end of what it wrote.
char* writeScriptString(char* p, std::string_view utf8) {
    *p++ = '"';
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char c = utf8[i];
        const auto byte = static_cast<unsigned char>(c);
        if (kPlainBytes.plain[byte]) {
            *p++ = c;
            ++i;
            continue;
        }
        if (byte >= 0x80) {
            const std::size_t n = sequenceLength(utf8, i);
            if (n == 0) {
                p = writeUnicodeEscape(p, 0xfffd);
                ++i;
                continue;
            }
            // U+2028 and U+2029 end a line in older JavaScript.
            if (n == 3 && byte == 0xE2 && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
                (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xA8) {
                p = writeUnicodeEscape(p, 0x2000 + static_cast<unsigned char>(utf8[i + 2]) - 0x80);
            } else {
                std::memcpy(p, utf8.data() + i, n);
                p += n;
            }
            i += n;
            continue;
        }
        if (c == '"' || c == '\\') {
            *p++ = '\\';
            *p++ = c;
        } else if (c == '\n') {
            *p++ = '\\';
            *p++ = 'n';
        } else {
            p = writeUnicodeEscape(p, byte);  // <, >, & and the control bytes
        }
        ++i;
    }
    *p++ = '"';
    return p;
}

// --- the facts' texts, read back into their parts ------------------------------------

// A text in double quotes as appendQuoted wrote it, from the front of in: a
// view of the facts when it holds no escape, else decoded into scratch.
std::string_view takeQuoted(std::string_view& in, std::string& scratch) {
    std::size_t i = 1;  // past the opening quote
    while (i < in.size() && in[i] != '"' && in[i] != '\\') ++i;
    if (i >= in.size() || in[i] == '"') {
        const std::string_view text = in.substr(1, i - 1);
        in.remove_prefix(std::min(i + 1, in.size()));
        return text;
    }
    scratch.assign(in.data() + 1, i - 1);
    while (i < in.size() && in[i] != '"') {
        if (in[i] != '\\' || i + 1 >= in.size()) {
            scratch += in[i++];
            continue;
        }
        const char c = in[i + 1];
        if (c == 'n') {
            scratch += '\n';
        } else if (c == 't') {
            scratch += '\t';
        } else if (c == 'u' && i + 5 < in.size()) {
            // appendQuoted escapes only control bytes this way.
            unsigned code = 0;
            std::from_chars(in.data() + i + 2, in.data() + i + 6, code, 16);
            scratch += static_cast<char>(code);
            i += 4;
        } else {
            scratch += c;
        }
        i += 2;
    }
    in.remove_prefix(std::min(i + 1, in.size()));
    return scratch;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A value as the facts show it: a quoted string value, or a number or word
// that runs to the next separator.
std::string_view takeValue(std::string_view& in, std::string_view separator, std::string& scratch) {
    if (!in.empty() && in.front() == '"') return takeQuoted(in, scratch);
    // Where the separator or ", " first starts, whichever comes first.
    std::size_t end = 0;
    for (; end < in.size(); ++end) {
        if (in[end] == ',' && end + 1 < in.size() && in[end + 1] == ' ') break;
        if (in[end] == separator.front() && startsWith(in.substr(end), separator)) break;
    }
    const std::string_view value = in.substr(0, end);
    in.remove_prefix(std::min(end, in.size()));
    return value;
}

// A word of the facts: "" stands for the empty word.
std::string_view word(std::string_view text) { return text == "\"\"" ? std::string_view() : text; }

// A number as the facts write it ("#0.###"), "lowest" and "highest" as the
// ends of the line; NaN for anything else.
double numberOf(std::string_view text) {
    if (text == "lowest") return -HUGE_VAL;
    if (text == "highest") return HUGE_VAL;
    const char* begin = text.data();
    const char* const end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    // Whole numbers of up to 15 digits, most of the codes, are exact in a
    // double: read here, as from_chars would, at a fraction of its cost.
    const bool negative = begin != end && *begin == '-';
    const char* digits = negative ? begin + 1 : begin;
    if (digits != end && end - digits <= 15) {
        std::int64_t whole = 0;
        const char* d = digits;
        for (; d != end && *d >= '0' && *d <= '9'; ++d) whole = whole * 10 + (*d - '0');
        if (d == end) return negative ? -static_cast<double>(whole) : static_cast<double>(whole);
    }
    double value = NAN;
    std::from_chars(begin, end, value);
    return value;
}

// A variable's missing values read back from their text: views of it, or of
// strings kept here for values decoded from escapes. Kept from variable to
// variable, so that its strings keep their room.
struct Missing {
    bool range = false;
    std::string_view low, high;
    double lowNumber = 0, highNumber = 0;
    std::vector<std::string_view> values;
    std::vector<double> numbers;
    std::size_t count = 0;  // of values in use
    std::string scratch, lowKept, highKept;
    std::deque<std::string> kept;  // stays where it is as it grows

    // value itself, or a copy in kept when it is decoded into scratch, which
    // the next value overwrites.
    std::string_view keep(std::string_view value, std::string& kept) const {
        if (value.data() != scratch.data()) return value;
        kept.assign(value.data(), value.size());
        return kept;
    }

    void read(std::string_view in, bool numeric) {
        range = false;
        count = 0;
        if (in == "none") return;
        bool first = true;
        while (!in.empty()) {
            const std::string_view value = takeValue(in, " thru ", scratch);
            if (first && startsWith(in, " thru ")) {
                in.remove_prefix(6);
                range = true;
                low = keep(value, lowKept);
                high = keep(takeValue(in, ", ", scratch), highKept);
                if (numeric) {
                    lowNumber = numberOf(low);
                    highNumber = numberOf(high);
                }
            } else {
                if (count == values.size()) {
                    values.emplace_back();
                    numbers.emplace_back();
                    kept.emplace_back();
                }
                values[count] = keep(value, kept[count]);
                if (numeric) numbers[count] = numberOf(value);
                ++count;
            }
            first = false;
            if (startsWith(in, ", "))
                in.remove_prefix(2);
            else
                break;
        }
    }

    bool holds(std::string_view code, bool numeric) const {
        for (std::size_t k = 0; k < count; ++k)
            if (values[k] == code) return true;
        if (!numeric || (!range && count == 0)) return false;
        const double value = numberOf(code);
        if (range && value >= lowNumber && value <= highNumber) return true;
        for (std::size_t k = 0; k < count; ++k)
            if (numbers[k] == value) return true;
        return false;
    }
};

class Writer {
public:
    explicit Writer(ByteBuffer& out) : out(out) {}

    void text(std::string_view utf8) {
        out.commit(writeScriptString(out.room(scriptStringRoom(utf8)), utf8));
    }
    void key(const char* name) {
        comma();
        out += '"';
        out += name;
        out += "\":";
        first = true;  // the value that follows needs no comma
    }
    void open(char bracket) {
        comma();
        out += bracket;
        first = true;
    }
    void close(char bracket) {
        out += bracket;
        first = false;
    }
    void item(std::string_view utf8) {
        comma();
        text(utf8);
        first = false;
    }
    void flag(bool on) {
        comma();
        out += on ? '1' : '0';
        first = false;
    }
    void number(std::size_t n) {
        comma();
        char* p = out.room(24);
        out.commit(std::to_chars(p, p + 24, n).ptr);
        first = false;
    }
    void null() {
        comma();
        out += "null";
        first = false;
    }
    void newline() { out += '\n'; }

    void attributes(const std::vector<FactsAttribute>& list) {
        open('[');
        for (const FactsAttribute& a : list) {
            open('[');
            item(a.name);
            open('[');
            for (const std::string& value : a.values) item(value);
            close(']');
            close(']');
        }
        close(']');
    }
    void attributes(const std::vector<FactsAttributeView>& list, std::size_t count) {
        open('[');
        for (std::size_t i = 0; i < count; ++i) {
            open('[');
            item(list[i].name);
            open('[');
            for (std::string_view value : list[i].values) item(value);
            close(']');
            close(']');
        }
        close(']');
    }

private:
    void comma() {
        if (!first) out += ',';
        first = false;
    }

    ByteBuffer& out;
    bool first = true;
};

struct Scratch {
    Missing missing;
    std::string code, text;
    std::vector<FactsAttributeView> attributes;
};

void writeVariable(Writer& w, const VariableFacts& v, Scratch& scratch) {
    w.open('[');
    w.item(v.name);
    std::string_view label = v.field(kLabel);
    if (label == "none") {
        w.null();
    } else {
        w.item(takeQuoted(label, scratch.text));
    }
    for (int f : {kType, kFormat, kWriteFormat}) w.item(v.field(f));
    for (int f : {kMeasurementLevel, kAlignment}) w.item(word(v.field(f)));
    w.item(v.field(kDisplayWidth));

    const bool numeric = v.field(kType) == "numeric";
    Missing& missing = scratch.missing;
    missing.read(v.field(kMissingValues), numeric);
    if (missing.range) {
        w.open('[');
        w.item(missing.low);
        w.item(missing.high);
        w.close(']');
    } else {
        w.null();
    }
    w.open('[');
    for (std::size_t k = 0; k < missing.count; ++k) w.item(missing.values[k]);
    w.close(']');

    w.open('[');
    std::string_view labels = v.field(kValueLabels);
    if (labels != "none") {
        while (!labels.empty()) {
            const std::string_view code = takeValue(labels, " = ", scratch.code);
            if (!startsWith(labels, " = ")) break;
            labels.remove_prefix(3);
            w.open('[');
            w.item(code);
            w.item(takeQuoted(labels, scratch.text));
            if (missing.holds(code, numeric)) w.flag(true);
            w.close(']');
            if (startsWith(labels, ", "))
                labels.remove_prefix(2);
            else
                break;
        }
    }
    w.close(']');
    std::size_t count = 0;
    v.attributeViews(scratch.attributes, count);
    w.attributes(scratch.attributes, count);
    w.close(']');
}

// The first value of a file attribute, or nothing.
const FactsAttribute* fileAttribute(const DictionaryFacts& facts, std::string_view name) {
    for (const FactsAttribute& a : facts.fileAttributes)
        if (a.name == name) return &a;
    return nullptr;
}

// --title, else the first "Title" attribute, else the file name.
std::string pageTitle(const DictionaryFacts& facts, const PageOptions& options) {
    if (!options.title.empty()) return options.title;
    const FactsAttribute* title = fileAttribute(facts, "Title");
    if (title != nullptr && !title->values.empty() && !title->values[0].empty())
        return title->values[0];
    return options.fileName;
}

}  // namespace

void appendScriptString(std::string& out, std::string_view utf8) {
    const std::size_t start = out.size();
    out.resize(start + scriptStringRoom(utf8));
    const char* end = writeScriptString(&out[start], utf8);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

namespace {

void appendCodebookJSON(std::string& out, const DictionaryFacts& facts,
                        const PageOptions& options) {
    ByteBuffer buffer;
    Writer w(buffer);
    w.open('{');
    w.key("title");
    w.item(pageTitle(facts, options));
    w.key("file");
    w.item(options.fileName);
    w.key("made");
    w.item(options.made);
    w.key("rows");
    if (facts.file[kRowCount] == "none")
        w.null();
    else
        w.item(facts.file[kRowCount]);
    w.key("weight");
    if (facts.file[kWeightVariable] == "none")
        w.null();
    else
        w.item(facts.file[kWeightVariable]);
    w.key("attributes");
    w.attributes(facts.fileAttributes);

    // Members travel as positions in the file, so the page matches them
    // exactly; a member the dictionary does not hold is left out.
    std::unordered_map<std::string_view, std::size_t> positions;
    if (!facts.sets.empty()) {
        positions.reserve(facts.variables.size());
        for (std::size_t i = 0; i < facts.variables.size(); ++i)
            positions.emplace(facts.variables[i].name, i);
    }
    w.key("sets");
    w.open('[');
    for (const FactsSet& set : facts.sets) {
        w.open('[');
        w.item(set.name);
        w.flag(set.multipleResponse);
        w.item(set.details);
        w.open('[');
        for (const std::string& member : set.members) {
            auto found = positions.find(member);
            if (found == positions.end()) continue;
            w.number(found->second);
        }
        w.close(']');
        w.close(']');
    }
    w.close(']');

    w.key("variables");
    w.open('[');
    Scratch scratch;
    for (const VariableFacts& v : facts.variables) {
        writeVariable(w, v, scratch);
        w.newline();  // one variable a line: easy on editors and diffs of pages
        buffer.moveTo(out);
    }
    w.close(']');
    w.close('}');
    buffer.moveTo(out);
}

}  // namespace

std::string codebookJSON(const DictionaryFacts& facts, const PageOptions& options) {
    std::string out;
    appendCodebookJSON(out, facts, options);
    return out;
}

std::string codebookPage(const DictionaryFacts& facts, const PageOptions& options) {
    std::string page;
    // About what the bench sources take a variable; the string grows past it if need be.
    page.reserve(facts.variables.size() * 256 + kCodebookScriptSize + kCodebookStyleSize + 8192);
    page +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "script-src '";
    page += kCodebookScriptHash;
    page += "'; style-src '";
    page += kCodebookStyleHash;
    page +=
        "'\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"color-scheme\" content=\"light dark\">\n<title>";
    // The one dictionary text in markup, escaped as text (the script sets it again).
    for (char c : pageTitle(facts, options)) {
        if (c == '&')
            page += "&amp;";
        else if (c == '<')
            page += "&lt;";
        else if (c == '>')
            page += "&gt;";
        else
            page += c;
    }
    page += "</title>\n<style>";
    page.append(kCodebookStyle, kCodebookStyleSize);
    page += "</style>\n</head>\n<body>\n";
    page +=
        R"html(<noscript><p class="noscript">This codebook page needs JavaScript to show its variables.</p></noscript>
<header id="top">
<h1 id="title" dir="auto"></h1>
<dl id="summary"></dl>
</header>
<div class="toolbar" role="search">
<label for="search">Search</label>
<input type="search" id="search" autocomplete="off" spellcheck="false" aria-describedby="count" placeholder="names, labels, value labels, attributes ( / )">
<span id="count" role="status"></span>
<button type="button" id="csv">Save the index as CSV</button>
</div>
<div class="layout">
<nav id="sets-panel" aria-labelledby="sets-heading" hidden>
<h2 id="sets-heading">Sets</h2>
<ul id="sets"></ul>
</nav>
<section class="index-panel" aria-labelledby="index-heading">
<h2 id="index-heading">Variables</h2>
<div id="scroller" class="scroller">
<table id="index">
<thead><tr><th scope="col" class="c-pos">#</th><th scope="col" class="c-name">Name</th><th scope="col" class="c-label">Label</th><th scope="col" class="c-type">Type</th><th scope="col" class="c-level">Level</th><th scope="col" class="c-labels" title="value labels">Labels</th><th scope="col" class="c-missing">Missing</th></tr></thead>
<tbody id="rows"></tbody>
</table>
</div>
</section>
<section id="variable" class="detail" aria-labelledby="variable-heading" tabindex="-1">
<h2 id="variable-heading">Variable</h2>
<p class="hint">Choose a variable in the index to see all it holds.</p>
</section>
</div>
<div id="print" class="print-only"></div>
<footer id="made"></footer>
<script type="application/json" id="facts">)html";
    appendCodebookJSON(page, facts, options);
    page += "</script>\n<script>";
    page.append(kCodebookScript, kCodebookScriptSize);
    page += "</script>\n</body>\n</html>\n";
    return page;
}

std::string pageDate() {
    std::time_t now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        long long seconds = 0;
        const char* end = epoch + std::char_traits<char>::length(epoch);
        if (std::from_chars(epoch, end, seconds).ptr == end)
            now = static_cast<std::time_t>(seconds);
    }
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}
