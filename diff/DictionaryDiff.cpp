#include "diff/DictionaryDiff.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

// How many names of the variable order a line shows around the first change.
constexpr std::size_t kOrderWindow = 8;

void appendOrder(std::string& out, const DictionaryFacts& facts,
                 const std::vector<std::size_t>& order, std::size_t first, std::size_t last) {
    if (first > 0) out += "..., ";
    for (std::size_t k = first; k < last; ++k) {
        if (k > first) out += ", ";
        out += facts.variables[order[k]].name;
    }
    if (last < order.size()) out += ", ...";
}

void appendLine(std::string& out, char sign, const char* field, std::string_view value) {
    out += sign;
    out += ' ';
    out += field;
    out += ": ";
    out += value;
    out += '\n';
}

void startBlock(std::string& out, const char* heading) {
    if (!out.empty()) out += '\n';
    out += heading;
}

void appendNameArray(std::string& out, const DictionaryFacts& facts,
                     const std::vector<std::size_t>& indices) {
    out += '[';
    for (std::size_t k = 0; k < indices.size(); ++k) {
        if (k > 0) out += ',';
        appendQuoted(out, facts.variables[indices[k]].name);
    }
    out += ']';
}

// The names of the fields whose bits mask sets, as a JSON array.
void appendFieldNames(std::string& out, unsigned mask, const char* const* names, int count) {
    out += '[';
    bool first = true;
    for (int f = 0; f < count; ++f) {
        if ((mask & (1u << f)) == 0) continue;
        out += first ? "\"" : ",\"";
        out += names[f];
        out += '"';
        first = false;
    }
    out += ']';
}

}  // namespace

DictionaryDiff compareFacts(const DictionaryFacts& a, const DictionaryFacts& b) {
    DictionaryDiff d;
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    // A name that a hand-edited dictionary repeats pairs its occurrences in
    // order: inB holds the next one not yet matched, later the ones after it.
    std::unordered_map<std::string_view, std::size_t> inB;
    std::vector<std::size_t> later(b.variables.size(), none);
    inB.reserve(b.variables.size());
    for (std::size_t j = b.variables.size(); j-- > 0;) {
        auto placed = inB.emplace(b.variables[j].name, j);
        if (!placed.second) {
            later[j] = placed.first->second;
            placed.first->second = j;
        }
    }
    std::vector<char> common(b.variables.size(), 0);
    std::vector<std::size_t> orderA;
    bool inOrder = true;
    std::size_t previous = 0;
    for (std::size_t i = 0; i < a.variables.size(); ++i) {
        const VariableFacts& va = a.variables[i];
        auto found = inB.find(va.name);
        if (found == inB.end() || found->second == none) {
            d.removed.push_back(i);
            continue;
        }
        const std::size_t j = found->second;
        found->second = later[j];
        const VariableFacts& vb = b.variables[j];
        unsigned fields = 0;
        for (int f = 0; f < kVariableFieldCount; ++f)
            if (va.field(f) != vb.field(f)) fields |= 1u << f;
        if (fields != 0) d.changed.push_back({i, j, fields});
        if (!orderA.empty() && j < previous) inOrder = false;
        previous = j;
        orderA.push_back(i);
        common[j] = 1;
    }
    for (std::size_t j = 0; j < b.variables.size(); ++j)
        if (common[j] == 0) d.added.push_back(j);
    for (int f = 0; f < kFileFieldCount; ++f)
        if (f != kVariableOrder && a.file[f] != b.file[f]) d.file |= 1u << f;
    if (!inOrder) {
        d.file |= 1u << kVariableOrder;
        d.orderA = std::move(orderA);
        for (std::size_t j = 0; j < b.variables.size(); ++j)
            if (common[j] != 0) d.orderB.push_back(j);
    }
    return d;
}

std::string diffText(const DictionaryFacts& a, const DictionaryFacts& b, const DictionaryDiff& d) {
    std::string out;
    for (const DictionaryDiff::Changed& c : d.changed) {
        startBlock(out, "variable ");
        out += a.variables[c.a].name;
        out += '\n';
        for (int f = 0; f < kVariableFieldCount; ++f) {
            if ((c.fields & (1u << f)) == 0) continue;
            appendLine(out, '-', kVariableFieldNames[f], a.variables[c.a].field(f));
            appendLine(out, '+', kVariableFieldNames[f], b.variables[c.b].field(f));
        }
    }
    if (!d.added.empty()) {
        startBlock(out, "added variables\n");
        for (std::size_t j : d.added) out += "+ " + b.variables[j].name + '\n';
    }
    if (!d.removed.empty()) {
        startBlock(out, "removed variables\n");
        for (std::size_t i : d.removed) out += "- " + a.variables[i].name + '\n';
    }
    if (d.file != 0) {
        startBlock(out, "file\n");
        for (int f = 0; f < kFileFieldCount; ++f) {
            if ((d.file & (1u << f)) == 0) continue;
            if (f != kVariableOrder) {
                appendLine(out, '-', kFileFieldNames[f], a.file[f]);
                appendLine(out, '+', kFileFieldNames[f], b.file[f]);
                continue;
            }
            // Both lines show the same stretch: from just before the first
            // position that differs, a few names long.
            std::size_t first = 0;
            while (a.variables[d.orderA[first]].name == b.variables[d.orderB[first]].name) ++first;
            first = first > 0 ? first - 1 : 0;
            const std::size_t last = std::min(d.orderA.size(), first + kOrderWindow);
            std::string order;
            appendOrder(order, a, d.orderA, first, last);
            appendLine(out, '-', kFileFieldNames[f], order);
            order.clear();
            appendOrder(order, b, d.orderB, first, last);
            appendLine(out, '+', kFileFieldNames[f], order);
        }
    }
    return out;
}

std::string diffJSON(const DictionaryFacts& a, const DictionaryFacts& b, const DictionaryDiff& d) {
    std::string out = "{\"added\":";
    appendNameArray(out, b, d.added);
    out += ",\"removed\":";
    appendNameArray(out, a, d.removed);
    out += ",\"changed\":[";
    for (std::size_t k = 0; k < d.changed.size(); ++k) {
        const DictionaryDiff::Changed& c = d.changed[k];
        out += k == 0 ? "{\"name\":" : ",{\"name\":";
        appendQuoted(out, a.variables[c.a].name);
        out += ",\"fields\":";
        appendFieldNames(out, c.fields, kVariableFieldNames, kVariableFieldCount);
        out += '}';
    }
    out += "],\"file\":";
    appendFieldNames(out, d.file, kFileFieldNames, kFileFieldCount);
    out += "}\n";
    return out;
}
