// Writing the codebook page (`transspace html`) of a data source beside
// writing its DDI codebook (ddi_write_bench.cpp's BM_DdiWrite), which the page
// may take at most: the facts read from the source, then the page made from
// them. Counters: time per variable and the page's size.
#include <malloc.h>

#include <string>

#include <benchmark/benchmark.h>

#include "BenchSources.h"
#include "VornPlatform.h"
#include "diff/DictionaryFacts.h"
#include "html/CodebookPage.h"

namespace {

// As BM_DdiWrite: a new text each time, its pages trimmed between iterations.
void BM_CodebookPage(benchmark::State& state) {
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    const PageOptions options{"", "bench", "2026-12-07"};
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string page = codebookPage(factsOfSource(source), options);
        keep(page);
        bytes = page.size();
        state.PauseTiming();
        std::string().swap(page);
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.counters["per_variable"] = benchmark::Counter(
        static_cast<double>(variables),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["page_bytes"] = static_cast<double>(bytes);
    SetUTF8Mode(-1);
}

// The facts alone, read from the source as the diff reads them: the part of
// the page's time that the diff shares.
void BM_CodebookPageFacts(benchmark::State& state) {
    SetUTF8Mode(1);
    const VORN_DataSource& source = sourceOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DictionaryFacts facts = factsOfSource(source);
        keep(facts);
    }
    SetUTF8Mode(-1);
}

}  // namespace

// The smallest size is the smoke run's.
BENCHMARK(BM_CodebookPage)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodebookPage)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodebookPage)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodebookPageFacts)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodebookPageFacts)->Arg(100000)->Unit(benchmark::kMillisecond);
