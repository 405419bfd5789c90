// The comparison of two dictionaries' facts: variables matched by name (exact
// spelling), the fields that differ per variable and for the file, and the
// two ways `transspace diff` prints it.
#ifndef TRANSSPACE_TOOLS_DIFF_DICTIONARYDIFF_H
#define TRANSSPACE_TOOLS_DIFF_DICTIONARYDIFF_H

#include <cstddef>
#include <string>
#include <vector>

#include "diff/DictionaryFacts.h"

struct DictionaryDiff {
    struct Changed {
        std::size_t a, b;  // the variable's index in each
        unsigned fields;   // bit i: VariableField i differs
    };
    std::vector<std::size_t> added;    // indices into B, in B's order
    std::vector<std::size_t> removed;  // indices into A, in A's order
    std::vector<Changed> changed;      // in A's order
    unsigned file = 0;                 // bit i: FileField i differs
    // The common variables in A's order and in B's (indices into each), kept
    // only when their orders differ.
    std::vector<std::size_t> orderA, orderB;

    bool same() const { return added.empty() && removed.empty() && changed.empty() && file == 0; }
};

DictionaryDiff compareFacts(const DictionaryFacts& a, const DictionaryFacts& b);

// For people: a block per changed variable with "-" and "+" lines, then the
// added and removed variables, then the file's changes; empty when the same.
std::string diffText(const DictionaryFacts& a, const DictionaryFacts& b, const DictionaryDiff& d);

// For programs: one JSON object with "added", "removed", "changed" and "file".
std::string diffJSON(const DictionaryFacts& a, const DictionaryFacts& b, const DictionaryDiff& d);

#endif
