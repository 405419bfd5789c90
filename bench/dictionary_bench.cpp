// The dictionary build, into the DOM and into the compact store that a
// document value holds, against a bare Xerces-C build of the same elements,
// each appended in document order with no placement lookup. Data sources of
// 1,000, 10,000 and 100,000 variables: numeric ones with 5 value labels, 3
// missing values and 2 custom attributes, and every tenth a string variable
// with the same. Counters: time per variable and the process's peak resident
// memory so far (getrusage), in KiB.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include "BenchSources.h"
#include "TransSpace.h"
#include "VornDataSource.h"
#include "VornPlatform.h"
#include "dictionary/DictionaryBuilder.h"
#include "dictionary/DictionaryNamespace.h"
#include "dictionary/DictionaryStore.h"
#include "text/CodePage.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// The baseline's own number text: "#0.###" for the values the data sources
// hold, without the locale machinery.
std::u16string numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    std::string text = buffer;
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return std::u16string(text.begin(), text.end());
}

std::u16string integerText(std::int64_t value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

class BareBuild {
public:
    BareBuild() {
        UErrorCode err = U_ZERO_ERROR;
        converter = ucnv_open(codePageName().c_str(), &err);
    }
    ~BareBuild() { ucnv_close(converter); }
    BareBuild(const BareBuild&) = delete;
    BareBuild& operator=(const BareBuild&) = delete;

    DOMDocument* build(const VORN_DataSource& source) {
        document = DOMImplementation::getImplementation()->createDocument(
            XMLPlatformUtils::fgMemoryManager);
        DOMElement* root = document->createElement(u"dictionary");
        document->appendChild(root);
        const std::u16string ns = dictionaryNamespaceURI();
        root->setAttribute(u"xmlns", ns.c_str());
        root->setAttribute(u"xmlns:xsi", schemaInstanceURI);
        root->setAttribute(u"xsi:schemaLocation", (ns + u" " + dictionarySchemaURI()).c_str());
        root->setAttribute(u"locale", u"en_US_POSIX");
        root->setAttribute(u"creationDateTime", u"2027-01-15T08:00:00Z");
        root->setAttribute(u"rowCount", integerText(source.GetRowCount()).c_str());
        const unsigned n = source.ColumnCount();
        for (unsigned i = 0; i < n; ++i) addVariable(root, source.GetVariable(static_cast<int>(i)));
        for (unsigned i = 0; i < n; ++i)
            addValueLabels(root, source.GetVariable(static_cast<int>(i)));
        return document;
    }

private:
    std::u16string text(const char* mbcs) {
        const int32_t length = static_cast<int32_t>(std::strlen(mbcs));
        std::u16string out(static_cast<size_t>(2 * length + 1), u'\0');
        UErrorCode err = U_ZERO_ERROR;
        const int32_t written =
            ucnv_toUChars(converter, out.data(), 2 * length + 1, mbcs, length, &err);
        out.resize(U_FAILURE(err) ? 0 : static_cast<size_t>(written));
        return out;
    }

    DOMElement* child(DOMElement* parent, const XMLCh* tag) {
        DOMElement* e = document->createElement(tag);
        parent->appendChild(e);
        return e;
    }

    void format(DOMElement* e, int width, int decimals) {
        e->setAttribute(u"type", u"F");
        e->setAttribute(u"width", integerText(width).c_str());
        e->setAttribute(u"decimals", integerText(decimals).c_str());
    }

    void addVariable(DOMElement* root, const VORN_Variable& v) {
        DOMElement* e = child(root, u"variable");
        e->setAttribute(u"name", text(v.GetName()).c_str());
        e->setAttribute(u"label", text(v.GetLabel()).c_str());
        e->setAttribute(u"type", integerText(v.GetType()).c_str());
        e->setAttribute(u"alignment", v.GetType() == 0 ? u"right" : u"left");
        e->setAttribute(u"measurementLevel", u"nominal");
        e->setAttribute(u"displayWidth", integerText(v.GetDisplayWidth()).c_str());
        VORN_Variable::FormatType code;
        int width, decimals;
        v.GetFormatEx(code, width, decimals);
        format(child(e, u"variableFormat"), width, decimals);
        v.GetWriteFormatEx(code, width, decimals);
        format(child(e, u"variableWriteFormat"), width, decimals);
        const OBS* values[3];
        const int count = v.GetMissingValues(values[0], values[1], values[2]);
        for (int i = 0; i < count; ++i) {
            DOMElement* m = child(e, u"missingValue");
            if (v.GetType() == 0) {
                m->setAttribute(u"data", numberText(values[i]->number).c_str());
            } else {
                const char* t = values[i]->text;
                std::size_t length = 0;
                while (length < sizeof values[i]->text && t[length] != ' ' && t[length] != '\0')
                    ++length;
                m->setAttribute(u"data", text(std::string(t, length).c_str()).c_str());
            }
        }
        const DatasourceAttributes attributes = v.GetAttributes();
        DOMElement* s = child(e, u"attributeSet");
        s->setAttribute(u"version", integerText(attributes.version).c_str());
        for (unsigned i = 0; i < attributes.Size(); ++i) {
            const std::string name = attributes.Name(i);
            DOMElement* a = child(s, u"attribute");
            a->setAttribute(u"name", text(name.c_str()).c_str());
            a->setAttribute(u"type", name[0] == '$' ? u"system" : u"user");
            for (const std::string& value : attributes.Values(i))
                child(a, u"attributeValue")->setAttribute(u"value", text(value.c_str()).c_str());
        }
    }

    void addValueLabels(DOMElement* root, const VORN_Variable& v) {
        VORN_ValueLabelMap labels(v.GetValueLabels());
        DOMElement* set = child(root, u"valueLabelSet");
        const char* label = nullptr;
        if (v.GetType() == 0) {
            double value = 0;
            while (labels.GetNextPair(value, label) != 0) {
                DOMElement* l = child(set, u"valueLabel");
                l->setAttribute(u"value", numberText(value).c_str());
                l->setAttribute(u"label", text(label).c_str());
            }
        } else {
            std::string value;
            while (labels.GetNextPair(value, label) != 0) {
                DOMElement* l = child(set, u"valueLabel");
                l->setAttribute(u"value", text(value.c_str()).c_str());
                l->setAttribute(u"label", text(label).c_str());
            }
        }
        child(set, u"valueLabelVariable")->setAttribute(u"name", text(v.GetName()).c_str());
    }

    UConverter* converter;
    DOMDocument* document = nullptr;
};

double peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);
}

// peakBefore is the peak once the data source exists, before any build of
// this size: the difference is what the documents took.
void reportCounters(benchmark::State& state, int variables, double peakBefore) {
    state.counters["per_variable"] = benchmark::Counter(
        static_cast<double>(variables),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_before_KiB"] = peakBefore;
    state.counters["peak_rss_KiB"] = peakResidentKiB();
}

void BM_DictionaryBuild(benchmark::State& state) {
    TransSpace space;
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    const double peakBefore = peakResidentKiB();
    for (auto _ : state) {
        DictionaryBuilder builder;
        DOMDocument* document = builder.build(source);
        keep(document);
        state.PauseTiming();
        document->release();
        state.ResumeTiming();
    }
    reportCounters(state, variables, peakBefore);
    SetUTF8Mode(-1);
}

void BM_DictionaryStoreBuild(benchmark::State& state) {
    TransSpace space;
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    const double peakBefore = peakResidentKiB();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<DocumentStore> store = buildDictionaryStore(source);
        keep(store.get());
        state.PauseTiming();
        bytes = store->memory();
        store.reset();
        state.ResumeTiming();
    }
    reportCounters(state, variables, peakBefore);
    state.counters["store_bytes_per_variable"] = static_cast<double>(bytes) / variables;
    SetUTF8Mode(-1);
}

void BM_BareXercesBuild(benchmark::State& state) {
    TransSpace space;
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    const double peakBefore = peakResidentKiB();
    for (auto _ : state) {
        BareBuild bare;
        DOMDocument* document = bare.build(source);
        keep(document);
        state.PauseTiming();
        document->release();
        state.ResumeTiming();
    }
    reportCounters(state, variables, peakBefore);
    SetUTF8Mode(-1);
}

// What a host waits for before its first answer: the dictionary value built
// from the data source and one by-name query, against the bare build alone.
void BM_DictionaryBuildFirstQuery(benchmark::State& state) {
    TransSpace space;
    SetUTF8Mode(1);
    const int variables = static_cast<int>(state.range(0));
    const VORN_DataSource& source = sourceOf(variables);
    const TransString path = mbcsString(byNamePath(variables));
    const TransString label("@label");
    const double peakBefore = peakResidentKiB();
    for (auto _ : state) {
        TransValue* value = new TransValue(source);
        TransStatus st;
        TransString* answer = value->asString(path, label, st);
        keep(answer);
        if (st.failure()) state.SkipWithError("the first query failed");
        state.PauseTiming();
        TransValue::releaseString(answer);
        delete value;
        state.ResumeTiming();
    }
    reportCounters(state, variables, peakBefore);
    SetUTF8Mode(-1);
}

// The large builds take seconds each: once per repetition, three
// repetitions whatever the command line asks.
void large(benchmark::internal::Benchmark* b) { b->Iterations(1)->Repetitions(3); }
// The store's builds are short enough for the usual iteration count.
void repeated(benchmark::internal::Benchmark* b) { b->Repetitions(3); }

}  // namespace

// Side by side at each size, so that the two share the machine's state.
BENCHMARK(BM_DictionaryBuild)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DictionaryStoreBuild)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareXercesBuild)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DictionaryBuild)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DictionaryStoreBuild)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(repeated);
BENCHMARK(BM_BareXercesBuild)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DictionaryBuild)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DictionaryStoreBuild)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(repeated);
BENCHMARK(BM_BareXercesBuild)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
BENCHMARK(BM_DictionaryBuildFirstQuery)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DictionaryBuildFirstQuery)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(large);
