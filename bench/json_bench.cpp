// The JSON loader on generated sources of 1,000, 10,000 and 100,000
// variables, the same variables as makeSource's. The loader must grow
// linearly: compare the per_variable counters of one run.
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchSources.h"
#include "VornJsonSource.h"
#include "VornPlatform.h"

namespace {

// One variable per line, as scripts/json-source writes them.
std::string jsonSourceText(int variables) {
    std::string text = "{\"rowCount\": 1000000, \"timestamp\": 1800000000, \"variables\": [\n";
    for (int i = 0; i < variables; ++i) {
        const std::string n = std::to_string(i);
        const bool string = i % 10 == 9;
        text += i == 0 ? "" : ",\n";
        text += "{\"name\": \"v" + n + "\", \"label\": \"Question " + n +
                " of the survey\", \"measurementLevel\": \"nominal\", ";
        if (string) {
            text += "\"width\": 8, \"missingValues\": [\"NA\", \"DK\", \"RF\"], \"valueLabels\": [";
            for (int k = 1; k <= 5; ++k)
                text += std::string(k == 1 ? "" : ", ") + "[\"C" + std::to_string(k) +
                        "\", \"Category " + std::to_string(k) + "\"]";
        } else {
            text += "\"missingValues\": [97, 98, 99], \"valueLabels\": [";
            for (int k = 1; k <= 5; ++k)
                text += std::string(k == 1 ? "" : ", ") + "[" + std::to_string(k) +
                        ", \"Answer " + std::to_string(k) + "\"]";
        }
        text += "], \"attributes\": [{\"name\": \"$Role\", \"values\": [\"input\"]}, "
                "{\"name\": \"Question\", \"values\": [\"Q" + n + "\"]}]}";
    }
    return text + "\n]}\n";
}

const std::string& jsonSourceOf(int variables) {
    static std::map<int, std::string> texts;
    std::string& text = texts[variables];
    if (text.empty()) text = jsonSourceText(variables);
    return text;
}

void BM_LoadJSONText(benchmark::State& state) {
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const std::string& text = jsonSourceOf(variables);
    for (auto _ : state) {
        std::string error;
        std::unique_ptr<VORN_DataSource> source = LoadDataSourceJSONText(text, "bench.json", error);
        if (!source) state.SkipWithError(error.c_str());
        keep(source);
        state.PauseTiming();
        source.reset();
        state.ResumeTiming();
    }
    state.counters["per_variable"] = benchmark::Counter(
        variables, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    SetUTF8Mode(-1);
}

}  // namespace

BENCHMARK(BM_LoadJSONText)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJSONText)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadJSONText)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
