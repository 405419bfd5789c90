// What several benchmark files share: the generated data sources, the
// dictionary document values made from them, and a TransSpace that keeps the
// XML runtime up for the whole run, so that values cached between benchmarks
// stay valid.
#ifndef TRANSSPACE_BENCH_BENCHSOURCES_H
#define TRANSSPACE_BENCH_BENCHSOURCES_H

#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "TransSpace.h"
#include "TransString.h"
#include "TransValue.h"
#include "VornDataSource.h"

// A data source of the given number of variables: numeric ones with 5 value
// labels, 3 missing values and 2 custom attributes, and every tenth a string
// variable with the same.
std::unique_ptr<VORN_DataSource> makeSource(int variables);
// The same, made once per size and kept for the run.
const VORN_DataSource& sourceOf(int variables);

// The space that lives from first use to the end of the process.
TransSpace& runSpace();
// The dictionary value of sourceOf(variables), built once per size in UTF-8
// mode and kept for the run.
const TransValue& dictionaryOf(int variables);
// The dictionary serialised as UTF-8 and as UTF-16, made once per size.
const std::string& dictionaryUTF8(int variables);
const std::u16string& dictionaryUTF16(int variables);

// The by-name context path of the benchmarks: the last variable, so that no
// processor can stop early.
std::string byNamePath(int variables);

// TransStrings of UTF-8 and UTF-16 texts, and a result taken back to UTF-8.
TransString mbcsString(const std::string& text);
TransString utf16String(const std::u16string& text);
std::string takeUTF8(TransString* result);

// Google Benchmark's DoNotOptimize(T&) asks GCC for an in-out operand in
// "memory or register"; GCC 12 can pick the register without loading it, so
// a pointer kept that way reads as garbage afterwards. The read-only form is
// all these benchmarks need.
template <class T>
inline void keep(const T& value) {
    benchmark::DoNotOptimize(value);
}

#endif
