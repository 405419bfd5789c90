#include "CodebookPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <unordered_map>
#include <vector>

#include "CodebookAssets.h"

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

void appendUnicodeEscape(std::string& out, unsigned code) {
    static const char digits[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(code >> shift) & 15];
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
    const std::size_t end = std::min(in.find(separator), in.find(", "));
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
    double value = NAN;
    const char* begin = text.data();
    if (!text.empty() && *begin == '+') ++begin;
    std::from_chars(begin, text.data() + text.size(), value);
    return value;
}

// A variable's missing values read back from their text; kept from variable
// to variable, so that its strings keep their room.
struct Missing {
    bool range = false;
    std::string low, high;
    double lowNumber = 0, highNumber = 0;
    std::vector<std::string> values;
    std::vector<double> numbers;
    std::size_t count = 0;  // of values in use
    std::string scratch;

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
                low.assign(value.data(), value.size());
                high.assign(takeValue(in, ", ", scratch));
                if (numeric) {
                    lowNumber = numberOf(low);
                    highNumber = numberOf(high);
                }
            } else {
                if (count == values.size()) values.emplace_back();
                values[count].assign(value.data(), value.size());
                numbers.resize(values.size());
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
    explicit Writer(std::string& out) : out(out) {}

    void text(std::string_view utf8) { appendScriptString(out, utf8); }
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
        out += std::to_string(n);
        first = false;
    }
    void null() {
        comma();
        out += "null";
        first = false;
    }

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

private:
    void comma() {
        if (!first) out += ',';
        first = false;
    }

    std::string& out;
    bool first = true;
};

struct Scratch {
    Missing missing;
    std::string code, text;
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
    w.attributes(v.attributes);
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

// The bytes that appendScriptString must look at (the rest are copied in
// runs): control bytes, quote, backslash, <, >, &, DEL and every byte of a
// multibyte sequence.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int c = 0x20; c < 0x7f; ++c)
            plain[c] = c != '"' && c != '\\' && c != '<' && c != '>' && c != '&';
    }
};
constexpr PlainBytes kPlainBytes;

}  // namespace

void appendScriptString(std::string& out, std::string_view utf8) {
    out += '"';
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t run = i;
        while (run < utf8.size() && kPlainBytes.plain[static_cast<unsigned char>(utf8[run])]) ++run;
        out.append(utf8.data() + i, run - i);
        i = run;
        if (i == utf8.size()) break;
        const char c = utf8[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t n = sequenceLength(utf8, i);
            if (n == 0) {
                out += "\\ufffd";
                ++i;
                continue;
            }
            // U+2028 and U+2029 end a line in older JavaScript.
            if (n == 3 && byte == 0xE2 && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
                (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xA8) {
                appendUnicodeEscape(out, 0x2000 + static_cast<unsigned char>(utf8[i + 2]) - 0x80);
            } else {
                out.append(utf8.data() + i, n);
            }
            i += n;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            appendUnicodeEscape(out, byte);  // <, >, & and the control bytes
        }
        ++i;
    }
    out += '"';
}

namespace {

void appendCodebookJSON(std::string& out, const DictionaryFacts& facts,
                        const PageOptions& options) {
    Writer w(out);
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
        out += '\n';  // one variable a line: easy on editors and diffs of pages
    }
    w.close(']');
    w.close('}');
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
