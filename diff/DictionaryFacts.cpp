#include "diff/DictionaryFacts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/util/XMLString.hpp>

#include <unicode/decimfmt.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

#include "VornCodePage.h"
#include "VornDataSource.h"

XERCES_CPP_NAMESPACE_USE

const char* const kVariableFieldNames[kVariableFieldCount] = {
    "label",     "type",         "format",        "writeFormat", "measurementLevel",
    "alignment", "displayWidth", "missingValues", "valueLabels", "attributes"};
const char* const kFileFieldNames[kFileFieldCount] = {
    "rowCount",   "weightVariable", "variableOrder", "variableSets", "multipleResponseSets",
    "attributes", "extensions"};

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

namespace {

// --- the texts both readers share ---------------------------------------------

void appendType(std::string& out, std::string_view type) {
    if (type == "0") {
        out += "numeric";
    } else {
        out += "string ";
        out += type;
    }
}

void appendFormat(std::string& out, std::string_view name, std::string_view width,
                  std::string_view decimals) {
    out += name;
    out += width;
    if (decimals != "0") {
        out += '.';
        out += decimals;
    }
}

// A word of the dictionary; the empty word of a code without one shows as "".
void appendWord(std::string& out, std::string_view word) {
    if (word.empty())
        out += "\"\"";
    else
        out += word;
}

// A numeric missing value's place in the order they are shown in.
double missingOrder(const std::string& text) {
    if (text == "lowest") return -HUGE_VAL;
    if (text == "highest") return HUGE_VAL;
    const double value = std::strtod(text.c_str(), nullptr);
    return std::isnan(value) ? HUGE_VAL : value;
}

// Missing values compare as a set: a range, then the discrete values in one
// order (numbers by value), whatever order the source gave them in.
void appendMissing(std::string& out, const std::string* low, const std::string* high,
                   std::vector<std::string>& discrete, bool numeric) {
    if (low == nullptr && discrete.empty()) {
        out += "none";
        return;
    }
    std::sort(discrete.begin(), discrete.end(),
              [numeric](const std::string& x, const std::string& y) {
                  if (numeric) {
                      const double a = missingOrder(x), b = missingOrder(y);
                      if (a != b) return a < b;
                  }
                  return x < y;
              });
    discrete.erase(std::unique(discrete.begin(), discrete.end()), discrete.end());
    bool first = true;
    if (low != nullptr) {
        out += *low;
        out += " thru ";
        out += *high;
        first = false;
    }
    for (const std::string& value : discrete) {
        if (!first) out += ", ";
        out += value;
        first = false;
    }
}

void appendSeparator(std::string& out, std::size_t start, const char* separator) {
    if (out.size() > start) out += separator;
}

const char* alignmentWord(int code) {
    static const char* const words[] = {"left", "right", "center"};
    return code >= 0 && code < 3 ? words[code] : "";
}

const char* levelWord(int code) {
    static const char* const words[] = {"unknown", "nominal", "ordinal", "scale"};
    return code >= 0 && code < 4 ? words[code] : "";
}

// A string value as the dictionary writes it: up to its first blank or NUL.
std::string_view cutAtBlank(const char* text, std::size_t length) {
    std::size_t n = 0;
    while (n < length && text[n] != ' ' && text[n] != '\0') ++n;
    return std::string_view(text, n);
}

// Numbers as the dictionary writes them: "#0.###" under the English locale,
// through ICU as the library does, remembered by bit pattern because sources
// repeat the same few values on every variable.
class DecimalText {
public:
    DecimalText() {
        UErrorCode err = U_ZERO_ERROR;
        format.reset(icu::NumberFormat::createInstance(icu::Locale::getEnglish(), err));
        if (auto* decimal = dynamic_cast<icu::DecimalFormat*>(format.get()))
            decimal->applyPattern(icu::UnicodeString(u"#0.###"), err);
    }

    const std::string& text(double value) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        auto found = cache.find(bits);
        if (found != cache.end()) return found->second;
        scratch.clear();
        if (format) {
            icu::UnicodeString result;
            format->format(value, result);
            result.toUTF8String(scratch);
        }
        if (cache.size() < 100000) return cache.emplace(bits, scratch).first->second;
        return scratch;
    }

private:
    std::unique_ptr<icu::NumberFormat> format;
    std::unordered_map<std::uint64_t, std::string> cache;
    std::string scratch;
};

// --- from a data source ---------------------------------------------------------

void appendAttributes(std::string& out, const DatasourceAttributes& attributes,
                      std::vector<FactsAttribute>& list) {
    const unsigned n = attributes.Size();
    if (n == 0) {
        out += "none";
        return;
    }
    list.reserve(n);
    for (unsigned i = 0; i < n; ++i) {
        if (i > 0) out += "; ";
        list.emplace_back();
        list.back().name = attributes.Name(i).c_str();
        out += list.back().name;
        const std::vector<std::string> values = attributes.Values(i);
        for (std::size_t k = 0; k < values.size(); ++k) {
            out += k == 0 ? ": " : ", ";
            appendQuoted(out, values[k].c_str());
            list.back().values.emplace_back(values[k].c_str());
        }
    }
    if (attributes.version != 1) out += " (version " + std::to_string(attributes.version) + ")";
}

void appendSourceFormat(std::string& out, VORN_Variable::FormatType code, int width, int decimals) {
    const char* name = VORN_Variable::GetFormatName(code);
    appendFormat(out, name != nullptr ? name : "", std::to_string(width), std::to_string(decimals));
}

std::string missingText(const OBS& value, int type, DecimalText& decimals) {
    if (type != 0) {
        std::string quoted;
        appendQuoted(quoted, cutAtBlank(value.text, std::min(type, 8)));
        return quoted;
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value.number, sizeof bits);
    if (bits == 0xFFEFFFFFFFFFFFFEull) return "lowest";
    if (bits == 0x7FEFFFFFFFFFFFFFull) return "highest";
    return decimals.text(value.number);
}

void addSourceVariable(const VORN_Variable& v, DecimalText& decimals, VariableFacts& facts) {
    std::string& out = facts.text;
    int field = 0;
    auto close = [&] { facts.ends[field++] = static_cast<std::uint32_t>(out.size()); };
    facts.name = v.GetName();
    const int type = v.GetType();

    const char* label = v.GetLabel();
    if (label != nullptr)
        appendQuoted(out, label);
    else
        out += "none";
    close();
    appendType(out, std::to_string(type));
    close();
    VORN_Variable::FormatType code;
    int width = 0, places = 0;
    v.GetFormatEx(code, width, places);
    appendSourceFormat(out, code, width, places);
    close();
    v.GetWriteFormatEx(code, width, places);
    appendSourceFormat(out, code, width, places);
    close();
    appendWord(out, levelWord(v.GetMeasurementLevel()));
    close();
    appendWord(out, alignmentWord(v.GetAlignment()));
    close();
    out += std::to_string(v.GetDisplayWidth());
    close();

    const OBS* values[3] = {nullptr, nullptr, nullptr};
    const int n = v.GetMissingValues(values[0], values[1], values[2]);
    const int count = std::min(std::abs(n), 3);
    std::string low, high;
    std::vector<std::string> discrete;
    for (int i = 0; i < count; ++i) {
        std::string text = missingText(*values[i], type, decimals);
        if (n < 0 && i == 0)
            low = std::move(text);
        else if (n < 0 && i == 1)
            high = std::move(text);
        else
            discrete.push_back(std::move(text));
    }
    appendMissing(out, n < -1 ? &low : nullptr, &high, discrete, type == 0);
    close();

    VORN_ValueLabelMap labels(v.GetValueLabels());
    if (labels.Size() == 0) {
        out += "none";
    } else {
        const std::size_t start = out.size();
        labels.Reset();
        const char* text = nullptr;
        if (type != 0) {
            std::string value;
            while (labels.GetNextPair(value, text) != 0) {
                appendSeparator(out, start, ", ");
                appendQuoted(out, cutAtBlank(value.c_str(), value.size()));
                out += " = ";
                appendQuoted(out, text);
            }
        } else {
            double value = 0;
            while (labels.GetNextPair(value, text) != 0) {
                appendSeparator(out, start, ", ");
                out += decimals.text(value);
                out += " = ";
                appendQuoted(out, text);
            }
        }
    }
    close();
    appendAttributes(out, v.GetAttributes(), facts.attributes);
    close();
}

void appendSourceSets(std::string& out, const VORN_DataSource& source, VarSetsType which,
                      std::vector<FactsSet>& list) {
    const std::vector<VariableSet> sets = VariableSets(source, which);
    if (sets.empty()) {
        out += "none";
        return;
    }
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const VariableSet& set = sets[i];
        if (i > 0) out += "; ";
        list.emplace_back();
        FactsSet& listed = list.back();
        listed.name = set.GetName(VariableSet::KeepCase).c_str();
        listed.multipleResponse = which == MultipleResponseSets;
        out += listed.name;
        if (which == MultipleResponseSets) {
            std::string parts;
            if (set.GetType() == VariableSet::DichotomySet) {
                parts += set.qUseVariableCategoryLabels() ? "categoryLabels countedValues"
                                                          : "categoryLabels variableLabels";
                if (!set.GetValue().empty()) {
                    parts += ", counted ";
                    appendQuoted(parts, set.GetValue().c_str());
                }
            }
            if (set.qLabelSetByVariable()) {
                appendSeparator(parts, 0, ", ");
                parts += "label from variable";
            } else if (!set.GetLabel().empty()) {
                appendSeparator(parts, 0, ", ");
                parts += "label ";
                appendQuoted(parts, set.GetLabel().c_str());
            }
            if (!parts.empty()) out += " [" + parts + "]";
            listed.details = std::move(parts);
        }
        out += ':';
        bool first = true;
        for (const std::string& member : set.GetVariableNames(VariableSet::KeepCase)) {
            const int k = source.FindVarIndex(member.c_str(), 0);
            if (k == -1) continue;
            out += first ? " " : ", ";
            listed.members.emplace_back(source.GetVariable(k).GetName());
            out += listed.members.back();
            first = false;
        }
    }
}

void appendExtension(std::string& out, const std::string& type, const std::string& elementSize,
                     const std::string& length, std::string_view hex) {
    appendSeparator(out, 0, "; ");
    out += type + " (" + length + " x " + elementSize + " bytes): ";
    out += hex;
}

std::string sourceExtensions(const VORN_DataSource& source) {
    static const int types[] = {1, 2, 3, 4, 6, 8, 9, 10, 12, 15};
    std::string out;
    for (int type : types) {
        if (!source.HasExtension(type)) continue;
        VORN_DataSource::Extension record(source, type);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(record.Length()) *
                                         static_cast<std::size_t>(record.ElementSize()));
        if (!bytes.empty()) record.GetNext(bytes.data(), record.Length());
        std::string hex;
        static const char digits[] = "0123456789ABCDEF";
        for (unsigned char byte : bytes) {
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        appendExtension(out, std::to_string(record.Type()), std::to_string(record.ElementSize()),
                        std::to_string(record.Length()), hex);
    }
    return out.empty() ? "none" : out;
}

// --- from a dictionary document ----------------------------------------------

void appendUTF8(std::string& out, const XMLCh* text) {
    if (text != nullptr) AppendUTF16AsUTF8(out, text, std::char_traits<char16_t>::length(text));
}

std::string text(const DOMElement* e, const XMLCh* name) {
    std::string out;
    appendUTF8(out, e->getAttribute(name));
    return out;
}

void appendQuotedAttribute(std::string& out, const DOMElement* e, const XMLCh* name) {
    appendQuoted(out, text(e, name));
}

bool named(const DOMElement* e, const XMLCh* name) {
    const XMLCh* local = e->getLocalName();
    return XMLString::equals(local != nullptr ? local : e->getTagName(), name);
}

void appendDocumentFormat(std::string& out, const DOMElement* e) {
    appendFormat(out, text(e, u"type"), text(e, u"width"), text(e, u"decimals"));
}

void appendDocumentAttributes(std::string& out, const DOMElement* set,
                              std::vector<FactsAttribute>& list) {
    if (set == nullptr) {
        out += "none";
        return;
    }
    const std::size_t start = out.size();
    for (const DOMElement* a = set->getFirstElementChild(); a; a = a->getNextElementSibling()) {
        if (!named(a, u"attribute")) continue;
        appendSeparator(out, start, "; ");
        list.emplace_back();
        appendUTF8(list.back().name, a->getAttribute(u"name"));
        out += list.back().name;
        bool first = true;
        for (const DOMElement* v = a->getFirstElementChild(); v; v = v->getNextElementSibling()) {
            out += first ? ": " : ", ";
            list.back().values.push_back(text(v, u"value"));
            appendQuoted(out, list.back().values.back());
            first = false;
        }
    }
    const std::string version = text(set, u"version");
    if (version != "1") out += " (version " + version + ")";
}

void addDocumentVariable(const DOMElement* e, const DOMElement* labelSet, VariableFacts& facts) {
    std::string& out = facts.text;
    int field = 0;
    auto close = [&] { facts.ends[field++] = static_cast<std::uint32_t>(out.size()); };
    appendUTF8(facts.name, e->getAttribute(u"name"));
    const std::string type = text(e, u"type");
    const bool isString = type != "0";

    if (e->getAttributeNode(u"label") != nullptr)
        appendQuotedAttribute(out, e, u"label");
    else
        out += "none";
    close();
    appendType(out, type);
    close();
    const DOMElement *format = nullptr, *writeFormat = nullptr, *attributes = nullptr;
    std::string low, high;
    bool range = false;
    std::vector<std::string> discrete;
    for (const DOMElement* c = e->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variableFormat")) {
            format = c;
        } else if (named(c, u"variableWriteFormat")) {
            writeFormat = c;
        } else if (named(c, u"attributeSet")) {
            attributes = c;
        } else if (named(c, u"missingValue")) {
            std::string value;
            if (isString)
                appendQuotedAttribute(value, c, u"data");
            else
                appendUTF8(value, c->getAttribute(u"data"));
            const std::string bound = text(c, u"type");
            if (bound == "lowerBound") {
                low = std::move(value);
                range = true;
            } else if (bound == "upperBound") {
                high = std::move(value);
            } else {
                discrete.push_back(std::move(value));
            }
        }
    }
    if (format != nullptr) appendDocumentFormat(out, format);
    close();
    if (writeFormat != nullptr) appendDocumentFormat(out, writeFormat);
    close();
    appendWord(out, text(e, u"measurementLevel"));
    close();
    appendWord(out, text(e, u"alignment"));
    close();
    appendUTF8(out, e->getAttribute(u"displayWidth"));
    close();
    appendMissing(out, range ? &low : nullptr, &high, discrete, !isString);
    close();
    if (labelSet == nullptr) {
        out += "none";
    } else {
        const std::size_t start = out.size();
        for (const DOMElement* l = labelSet->getFirstElementChild(); l;
             l = l->getNextElementSibling()) {
            if (!named(l, u"valueLabel")) continue;
            appendSeparator(out, start, ", ");
            if (isString)
                appendQuotedAttribute(out, l, u"value");
            else
                appendUTF8(out, l->getAttribute(u"value"));
            out += " = ";
            appendQuotedAttribute(out, l, u"label");
        }
    }
    close();
    appendDocumentAttributes(out, attributes, facts.attributes);
    close();
}

void appendDocumentSet(std::string& out, const DOMElement* set, FactsSet& listed) {
    appendSeparator(out, 0, "; ");
    appendUTF8(listed.name, set->getAttribute(u"name"));
    out += listed.name;
    std::string parts;
    std::string members;
    for (const DOMElement* c = set->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variableSetVariable") || named(c, u"multipleResponseSetVariable")) {
            members += members.empty() ? " " : ", ";
            listed.members.push_back(text(c, u"name"));
            members += listed.members.back();
            continue;
        }
        appendSeparator(parts, 0, ", ");
        if (named(c, u"multipleResponseSetCategoryLabels")) {
            parts += "categoryLabels " + text(c, u"value");
        } else if (named(c, u"multipleResponseSetDichotomy")) {
            parts += "counted ";
            appendQuotedAttribute(parts, c, u"value");
        } else if (named(c, u"multipleResponseSetLabelSource")) {
            parts += "label from variable";
        } else if (named(c, u"multipleResponseSetLabel")) {
            parts += "label ";
            appendQuotedAttribute(parts, c, u"value");
        }
    }
    if (!parts.empty()) out += " [" + parts + "]";
    out += ':';
    out += members;
    listed.details = std::move(parts);
}

}  // namespace

DictionaryFacts factsOfSource(const VORN_DataSource& source, const FactsProgress& progress) {
    DictionaryFacts facts;
    DecimalText decimals;
    const unsigned n = source.ColumnCount();
    facts.variables.resize(n);
    for (unsigned i = 0; i < n; ++i) {
        addSourceVariable(source.GetVariable(static_cast<int>(i)), decimals, facts.variables[i]);
        if (progress && i % 4096 == 4095) progress(i + 1, n);
    }
    const std::int64_t rows = source.GetRowCount();
    facts.file[kRowCount] = rows < 0 ? "none" : std::to_string(rows);
    const int weight = source.GetWeightVarIndex();
    facts.file[kWeightVariable] = weight < 0 ? "none" : source.GetVariable(weight).GetName();
    appendSourceSets(facts.file[kVariableSets], source, PlainVariableSets, facts.sets);
    appendSourceSets(facts.file[kMultipleResponseSets], source, MultipleResponseSets, facts.sets);
    appendAttributes(facts.file[kFileAttributes], source.GetAttributes(), facts.fileAttributes);
    facts.file[kExtensions] = sourceExtensions(source);
    return facts;
}

bool factsOfDocument(const DOMDocument& document, DictionaryFacts& facts, std::string& error,
                     const FactsProgress& progress) {
    const DOMElement* root = document.getDocumentElement();
    if (root == nullptr || !named(root, u"dictionary")) {
        error = "an XML document that is neither a DDI codebook nor a dictionary";
        return false;
    }
    // The value labels stand apart from their variables; find them by name first.
    std::unordered_map<std::u16string_view, const DOMElement*> labelSets;
    std::size_t variables = 0;
    for (const DOMElement* c = root->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variable")) ++variables;
        if (!named(c, u"valueLabelSet")) continue;
        for (const DOMElement* l = c->getFirstElementChild(); l; l = l->getNextElementSibling())
            if (named(l, u"valueLabelVariable")) labelSets.emplace(l->getAttribute(u"name"), c);
    }
    facts = DictionaryFacts();
    facts.variables.reserve(variables);
    facts.file[kRowCount] =
        root->getAttributeNode(u"rowCount") != nullptr ? text(root, u"rowCount") : "none";
    facts.file[kWeightVariable] = "none";
    const DOMElement* fileAttributes = nullptr;
    std::vector<FactsSet> multipleResponse;
    for (const DOMElement* c = root->getFirstElementChild(); c; c = c->getNextElementSibling()) {
        if (named(c, u"variable")) {
            auto found = labelSets.find(c->getAttribute(u"name"));
            facts.variables.emplace_back();
            addDocumentVariable(c, found == labelSets.end() ? nullptr : found->second,
                                facts.variables.back());
            if (progress && facts.variables.size() % 4096 == 0)
                progress(facts.variables.size(), variables);
        } else if (named(c, u"weightVariable")) {
            facts.file[kWeightVariable] = text(c, u"name");
        } else if (named(c, u"variableSet")) {
            facts.sets.emplace_back();
            appendDocumentSet(facts.file[kVariableSets], c, facts.sets.back());
        } else if (named(c, u"multipleResponseSet")) {
            multipleResponse.emplace_back();
            multipleResponse.back().multipleResponse = true;
            appendDocumentSet(facts.file[kMultipleResponseSets], c, multipleResponse.back());
        } else if (named(c, u"attributeSet")) {
            fileAttributes = c;
        } else if (named(c, u"extension")) {
            std::string hex;
            appendUTF8(hex, c->getAttribute(u"data"));
            appendExtension(facts.file[kExtensions], text(c, u"type"), text(c, u"elementSize"),
                            text(c, u"length"), hex);
        }
    }
    for (int f : {kVariableSets, kMultipleResponseSets, kExtensions})
        if (facts.file[f].empty()) facts.file[f] = "none";
    for (FactsSet& set : multipleResponse) facts.sets.push_back(std::move(set));
    appendDocumentAttributes(facts.file[kFileAttributes], fileAttributes, facts.fileAttributes);
    return true;
}
