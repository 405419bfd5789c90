// What `transspace diff` compares: one record per variable and one for the
// file, each fact held as the text the dictionary document shows for it
// (numbers to three decimals, string values cut at their first blank), so a
// data source and the saved dictionary of it give the same facts. A data
// source is read directly, without building its document; a saved dictionary
// is read from its elements, its numbers as numbers, whatever digits the
// locale it was saved in wrote them with. Facts are UTF-8 and written for
// people: texts in double quotes, numbers in ASCII digits, absent facts as
// "none".
#ifndef TRANSSPACE_TOOLS_DIFF_DICTIONARYFACTS_H
#define TRANSSPACE_TOOLS_DIFF_DICTIONARYFACTS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>

class VORN_DataSource;

// The facts of a variable and of the file, in the order the diff reports them.
enum VariableField {
    kLabel,
    kType,
    kFormat,
    kWriteFormat,
    kMeasurementLevel,
    kAlignment,
    kDisplayWidth,
    kMissingValues,
    kValueLabels,
    kVariableAttributes,
    kVariableFieldCount
};
enum FileField {
    kRowCount,
    kWeightVariable,
    kVariableOrder,
    kVariableSets,
    kMultipleResponseSets,
    kFileAttributes,
    kExtensions,
    kFileFieldCount
};
extern const char* const kVariableFieldNames[kVariableFieldCount];
extern const char* const kFileFieldNames[kFileFieldCount];

// A custom attribute and a variable set as they are, for readers that show
// them one by one (the codebook page); the diff compares the field texts, and
// names here may hold any character, which the texts cannot tell apart.
struct FactsAttribute {
    std::string name;
    std::vector<std::string> values;
};
struct FactsSet {
    std::string name;
    bool multipleResponse = false;
    // A multiple-response set's kind, counted value and label, as in the field text.
    std::string details;
    std::vector<std::string> members;
};

// An attribute seen in the facts it belongs to, valid while they are.
struct FactsAttributeView {
    std::string_view name;
    std::vector<std::string_view> values;
};

struct VariableFacts {
    std::string name;
    // The fields' texts one after another, then the attributes packed (one
    // allocation per variable).
    std::string text;
    std::array<std::uint32_t, kVariableFieldCount> ends{};
    // The attributes one by one, when the facts are made by hand; the readers
    // pack them after the fields' texts instead, which spares three or more
    // allocations a variable. attributeViews reads either.
    std::vector<FactsAttribute> attributes;

    // Sets views to the attributes, packed or listed; views keeps its room
    // from call to call, and count says how many of its entries are in use.
    void attributeViews(std::vector<FactsAttributeView>& views, std::size_t& count) const;

    std::string_view field(int i) const {
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
};

struct DictionaryFacts {
    std::vector<VariableFacts> variables;
    // The variable order is a comparison of two dictionaries: its text stays empty.
    std::array<std::string, kFileFieldCount> file;
    std::vector<FactsAttribute> fileAttributes;
    // The plain sets, then the multiple-response sets, each in the source's order.
    std::vector<FactsSet> sets;
};

// Called now and then with the variables done and their total.
using FactsProgress = std::function<void(std::size_t done, std::size_t total)>;

// Appends text in double quotes, escaped as a JSON string is.
void appendQuoted(std::string& out, std::string_view text);

// The facts of a data source whose texts are UTF-8 (the host in UTF-8 mode).
DictionaryFacts factsOfSource(const VORN_DataSource& source, const FactsProgress& progress = {});

// The facts of a dictionary document, parsed with or without namespaces. False,
// with a one-line reason in error, when its root is not a dictionary.
bool factsOfDocument(const xercesc::DOMDocument& document, DictionaryFacts& facts,
                     std::string& error, const FactsProgress& progress = {});

#endif
