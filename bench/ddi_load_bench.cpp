// Loading the same generated data source from a DDI codebook (written by the
// DDI writer) and from JSON text, each from a file. Besides the time, each
// load reports the heap it took at its peak and what the data source kept,
// counted by the replaced operator new below while a load runs.
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BenchSources.h"
#include "VornDdiSource.h"
#include "VornDdiWriter.h"
#include "VornJsonSource.h"
#include "VornPlatform.h"

namespace {

// Heap bytes (as malloc rounds them) allocated while counting is on. Off,
// the operators cost one relaxed load more than plain malloc and free.
std::atomic<bool> counting{false};
std::atomic<long long> heapNow{0}, heapPeak{0};

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    if (counting.load(std::memory_order_relaxed)) {
        long long now = heapNow.fetch_add(static_cast<long long>(malloc_usable_size(p)),
                                          std::memory_order_relaxed) +
                        static_cast<long long>(malloc_usable_size(p));
        long long peak = heapPeak.load(std::memory_order_relaxed);
        while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
        }
    }
    return p;
}

void Release(void* p) {
    if (p == nullptr) return;
    if (counting.load(std::memory_order_relaxed))
        heapNow.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

std::string FormatText(const VORN_Variable& v) {
    VORN_Variable::FormatType code;
    int width, decimals;
    v.GetFormatEx(code, width, decimals);
    return std::string(VORN_Variable::GetFormatName(code)) + std::to_string(width) + "." +
           std::to_string(decimals);
}

// The JSON data-source text of a generated source (UTF-8 mode: its texts
// are UTF-8 already).
std::string JsonOf(const VORN_DataSource& source) {
    using json = nlohmann::json;
    json variables = json::array();
    for (unsigned i = 0; i < source.ColumnCount(); ++i) {
        const VORN_Variable& v = source.GetVariable(static_cast<int>(i));
        json j = {{"name", v.GetName()},
                  {"label", v.GetLabel() ? v.GetLabel() : ""},
                  {"width", v.GetType()},
                  {"measurementLevel", static_cast<int>(v.GetMeasurementLevel())},
                  {"format", FormatText(v)}};
        const OBS* m[3];
        const int n = v.GetMissingValues(m[0], m[1], m[2]);
        json missing = json::array(), labels = json::array();
        for (int k = 0; k < n; ++k) {
            if (v.GetType() == 0)
                missing.push_back(m[k]->number);
            else
                missing.push_back(
                    std::string(m[k]->text, 8).substr(0, std::string(m[k]->text, 8).find(' ')));
        }
        if (n > 0) j["missingValues"] = missing;
        VORN_ValueLabelMap map(v.GetValueLabels());
        const char* label;
        std::string text;
        double number;
        while (v.GetType() ? map.GetNextPair(text, label) : map.GetNextPair(number, label))
            labels.push_back(v.GetType() ? json{text, label} : json{number, label});
        if (map.Size() > 0) j["valueLabels"] = labels;
        const DatasourceAttributes a = v.GetAttributes();
        json attributes = json::array();
        for (unsigned k = 0; k < a.Size(); ++k)
            attributes.push_back({{"name", a.Name(k)}, {"values", a.Values(k)}});
        if (a.Size() > 0) j["attributes"] = attributes;
        variables.push_back(std::move(j));
    }
    json top = {{"variables", std::move(variables)}};
    if (source.GetRowCount() >= 0) top["rowCount"] = source.GetRowCount();
    return top.dump();
}

// The two files of one size, written once for the run and removed at exit.
struct Files {
    std::string json, ddi, error;
    long long jsonBytes = 0, ddiBytes = 0;
    ~Files() {
        std::remove(json.c_str());
        std::remove(ddi.c_str());
    }
};

bool WriteFile(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

const Files& filesOf(int variables) {
    static std::map<int, Files> files;
    Files& f = files[variables];
    if (!f.json.empty() || !f.error.empty()) return f;
    SetUTF8Mode(1);
    const VORN_DataSource& source = sourceOf(variables);
    const char* tmp = std::getenv("TMPDIR");
    const std::string base =
        std::string(tmp ? tmp : "/tmp") + "/transspace-bench-" + std::to_string(variables);
    std::string text, error;
    if (!WriteDataSourceDDI(source, "bench", text, error)) {
        f.error = "the DDI writer failed: " + error;
    } else {
        f.ddi = base + ".xml";
        f.json = base + ".json";
        f.ddiBytes = static_cast<long long>(text.size());
        const bool ddiWritten = WriteFile(f.ddi, text);
        text = JsonOf(source);
        f.jsonBytes = static_cast<long long>(text.size());
        if (!ddiWritten || !WriteFile(f.json, text)) f.error = "the bench files cannot be written";
    }
    SetUTF8Mode(-1);
    return f;
}

void BM_Load(benchmark::State& state, bool ddi) {
    runSpace();
    const int variables = static_cast<int>(state.range(0));
    const Files& files = filesOf(variables);
    if (!files.error.empty()) {
        state.SkipWithError(files.error.c_str());
        return;
    }
    SetUTF8Mode(1);
    long long peak = 0, kept = 0;
    for (auto _ : state) {
        heapNow = 0;
        heapPeak = 0;
        counting = true;
        std::string error;
        std::vector<std::string> notes;
        std::unique_ptr<VORN_DataSource> source = ddi ? LoadDataSourceDDI(files.ddi, error, notes)
                                                      : LoadDataSourceJSON(files.json, error);
        kept = heapNow;
        peak = heapPeak;
        counting = false;
        if (!source || source->ColumnCount() != static_cast<unsigned>(variables))
            state.SkipWithError(("the load failed: " + error).c_str());
        state.PauseTiming();
        source.reset();
        state.ResumeTiming();
    }
    const long long bytes = ddi ? files.ddiBytes : files.jsonBytes;
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.counters["heap_peak_bytes"] = static_cast<double>(peak);
    state.counters["source_bytes"] = static_cast<double>(kept);
    // The target: peak ≤ 2 × file + the data source, as a fraction of it.
    state.counters["peak_of_limit"] =
        static_cast<double>(peak) / static_cast<double>(2 * bytes + kept);
    SetUTF8Mode(-1);
}

void BM_LoadDDI(benchmark::State& state) { BM_Load(state, true); }
void BM_LoadJSON(benchmark::State& state) { BM_Load(state, false); }

void large(benchmark::internal::Benchmark* b) { b->Iterations(1)->Repetitions(3); }

}  // namespace

// Side by side at each size, so that the two share the machine's state.
BENCHMARK(BM_LoadDDI)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJSON)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDDI)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_LoadJSON)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_LoadDDI)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_LoadJSON)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
