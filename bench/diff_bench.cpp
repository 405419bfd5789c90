// `transspace diff` on two generated sources against building their two
// dictionaries, the time the comparison may take at most. The second source is
// the first with every hundredth label reworded, one variable dropped and one
// added. A third benchmark compares two saved dictionaries, parse included.
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "BenchSources.h"
#include "TransSpace.h"
#include "TransValue.h"
#include "VornDataSource.h"
#include "VornPlatform.h"
#include "VornXmlReader.h"
#include "diff/DictionaryDiff.h"
#include "diff/DictionaryFacts.h"

namespace {

const VORN_DataSource& changedSourceOf(int variables) {
    static std::unique_ptr<VORN_DataSource> changed;
    static int size = 0;
    if (!changed || size != variables) {
        const VORN_DataSource& source = sourceOf(variables);
        changed.reset(new VORN_DataSource);
        changed->SetRowCount(source.GetRowCount());
        changed->SetTimestamp(source.GetTimestamp());
        for (int i = 0; i < variables; ++i) {
            if (i == 5) continue;
            VORN_Variable v = source.GetVariable(i);
            if (i % 100 == 0) v.SetLabel(std::string(v.GetLabel()) + " (reworded)");
            changed->AddVariable(v);
        }
        changed->AddVariable(VORN_Variable("added"));
        size = variables;
    }
    return *changed;
}

void BM_DiffSources(benchmark::State& state) {
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& a = sourceOf(variables);
    const VORN_DataSource& b = changedSourceOf(variables);
    for (auto _ : state) {
        const DictionaryFacts factsA = factsOfSource(a);
        const DictionaryFacts factsB = factsOfSource(b);
        const DictionaryDiff d = compareFacts(factsA, factsB);
        const std::string text = diffText(factsA, factsB, d);
        keep(text);
        if (d.changed.size() != static_cast<size_t>((variables + 99) / 100))
            state.SkipWithError("the diff missed a change");
    }
    SetUTF8Mode(-1);
}

void BM_DiffBaselineDictionaries(benchmark::State& state) {
    TransSpace space;
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& a = sourceOf(variables);
    const VORN_DataSource& b = changedSourceOf(variables);
    for (auto _ : state) {
        std::unique_ptr<TransValue> first(new TransValue(a));
        std::unique_ptr<TransValue> second(new TransValue(b));
        keep(first);
        keep(second);
        state.PauseTiming();
        first.reset();
        second.reset();
        state.ResumeTiming();
    }
    SetUTF8Mode(-1);
}

void BM_DiffSavedDictionaries(benchmark::State& state) {
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const std::string& text = dictionaryUTF8(variables);
    auto facts = [&text] {
        VornXmlReaderGuard guard;  // as the tool reads
        xercesc::XercesDOMParser parser;
        guard.Apply(parser, nullptr);
        xercesc::MemBufInputSource bytes(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                         "dictionary");
        parser.parse(bytes);
        DictionaryFacts out;
        std::string error;
        factsOfDocument(*parser.getDocument(), out, error);
        return out;
    };
    for (auto _ : state) {
        const DictionaryFacts factsA = facts();
        const DictionaryFacts factsB = facts();
        const DictionaryDiff d = compareFacts(factsA, factsB);
        keep(d);
        if (!d.same() || factsA.variables.size() != static_cast<size_t>(variables))
            state.SkipWithError("a saved dictionary read back differently");
    }
    SetUTF8Mode(-1);
}

// Seconds each at 100,000 variables: once per repetition, three repetitions.
void large(benchmark::internal::Benchmark* b) { b->Iterations(1)->Repetitions(3); }

}  // namespace

// 1,000 for the smoke run, which stops on a diff that missed its changes.
BENCHMARK(BM_DiffSources)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiffSavedDictionaries)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiffSources)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiffBaselineDictionaries)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiffSources)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DiffBaselineDictionaries)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DiffSavedDictionaries)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
