// Writing the DDI codebook of a data source against what `transspace
// dictionary` does with it: build the dictionary value and take its XML text
// in UTF-8 mode. Data sources of 10,000 and 100,000 variables (bench
// sources: 5 value labels, 3 missing values and 2 custom attributes each).
// Counters: time per variable and the size of the text.
#include <malloc.h>

#include <string>

#include <benchmark/benchmark.h>

#include "BenchSources.h"
#include "TransString.h"
#include "TransValue.h"
#include "VornDdiWriter.h"
#include "VornPlatform.h"

namespace {

void perVariable(benchmark::State& state, int variables, std::size_t bytes) {
    state.counters["per_variable"] = benchmark::Counter(
        static_cast<double>(variables),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["text_bytes"] = static_cast<double>(bytes);
}

// Into a new string each time, as the tool writes once: the text's pages
// come fresh from the kernel. glibc keeps a freed block below 32 MiB for the
// next allocation, which would measure 10,000 variables in warm memory and
// 100,000 in fresh pages; the trim between iterations makes every size pay
// for its pages alike.
void BM_DdiWrite(benchmark::State& state) {
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text, error;
        if (!WriteDataSourceDDI(source, "bench", text, error)) state.SkipWithError(error.c_str());
        keep(text);
        bytes = text.size();
        state.PauseTiming();
        std::string().swap(text);
        malloc_trim(0);
        state.ResumeTiming();
    }
    perVariable(state, variables, bytes);
    SetUTF8Mode(-1);
}

// Into one string that the caller keeps from call to call: the writer's own
// work, without the kernel's first touch of the text's pages.
void BM_DdiWriteReused(benchmark::State& state) {
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    std::string text, error;
    // The first write touches the pages; only the later ones are timed.
    WriteDataSourceDDI(source, "bench", text, error);
    for (auto _ : state) {
        if (!WriteDataSourceDDI(source, "bench", text, error)) state.SkipWithError(error.c_str());
        keep(text);
    }
    perVariable(state, variables, text.size());
    SetUTF8Mode(-1);
}

// "Build" in the name runs it with the other dictionary builds.
void BM_DictionaryBuildText(benchmark::State& state) {
    runSpace();
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    std::size_t bytes = 0;
    for (auto _ : state) {
        TransValue value(source);
        TransString* text = value.asMBCSXML();
        keep(text);
        bytes = std::char_traits<char>::length(text->asMBCS());
        TransValue::releaseString(text);
    }
    perVariable(state, variables, bytes);
    SetUTF8Mode(-1);
}

// Seconds each: once per repetition, three repetitions.
void large(benchmark::internal::Benchmark* b) { b->Iterations(1)->Repetitions(3); }

}  // namespace

// The smallest size is the smoke run's.
BENCHMARK(BM_DdiWrite)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdiWrite)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdiWrite)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdiWriteReused)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdiWriteReused)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DictionaryBuildText)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DictionaryBuildText)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
