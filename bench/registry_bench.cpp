// find in a space of many names against a std::map keyed by the names'
// upper-case forms, made beforehand. Both are asked the same names in a
// different letter case than they were stored in, cycling through a fixed
// set, and both upper-case the asked name at every lookup (the map's caller
// with ICU under the same locale), since a host's name arrives in any case.
#include <clocale>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "BenchSources.h"

namespace {

const int asked = 4096;

std::u16string utf16Of(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string storedName(int i) { return utf16Of("Series_" + std::to_string(i) + "_Total"); }

std::u16string askedName(int i) { return utf16Of("sERIES_" + std::to_string(i) + "_tOTAL"); }

// The names asked, spread over the whole range.
int askedIndex(int k, int names) {
    return static_cast<int>((static_cast<long long>(k) * 7919) % names);
}

// A space holding the given number of text values, made once per size;
// the value of name i is the text of i.
struct Registry {
    TransSpace space;
    std::vector<TransString> names;
};

Registry& registryOf(int names) {
    static std::map<int, std::unique_ptr<Registry>> kept;
    std::unique_ptr<Registry>& registry = kept[names];
    if (!registry) {
        registry.reset(new Registry);
        for (int i = 0; i < names; ++i) {
            const std::u16string name = storedName(i);
            registry->space.add(utf16String(name), TransValue(mbcsString(std::to_string(i))));
        }
        for (int k = 0; k < asked; ++k)
            registry->names.push_back(utf16String(askedName(askedIndex(k, names))));
    }
    return *registry;
}

const icu::Locale& characterTypeLocale() {
    static const icu::Locale locale(std::setlocale(LC_CTYPE, nullptr));
    return locale;
}

std::u16string upper(const std::u16string& name) {
    icu::UnicodeString u(name.data(), static_cast<int32_t>(name.size()));
    u.toUpper(characterTypeLocale());
    return std::u16string(u.getBuffer(), static_cast<std::size_t>(u.length()));
}

struct BareRegistry {
    std::map<std::u16string, int> values;
    std::vector<std::u16string> names;
};

BareRegistry& bareRegistryOf(int names) {
    static std::map<int, std::unique_ptr<BareRegistry>> kept;
    std::unique_ptr<BareRegistry>& registry = kept[names];
    if (!registry) {
        registry.reset(new BareRegistry);
        for (int i = 0; i < names; ++i) registry->values.emplace(upper(storedName(i)), i);
        for (int k = 0; k < asked; ++k) registry->names.push_back(askedName(askedIndex(k, names)));
    }
    return *registry;
}

void BM_SpaceFind(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Registry& registry = registryOf(n);
    for (int k = 0; k < asked; ++k) {
        TransStatus st;
        TransString* text = registry.space.find(registry.names[k], st).asString();
        const bool right = !st.failure() && takeUTF8(text) == std::to_string(askedIndex(k, n));
        if (!right) {
            state.SkipWithError("find missed a stored name");
            return;
        }
    }
    int k = 0;
    for (auto _ : state) {
        TransStatus st;
        keep(&registry.space.find(registry.names[k], st));
        k = (k + 1) % asked;
    }
}

void BM_BareMapFind(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BareRegistry& registry = bareRegistryOf(n);
    for (int k = 0; k < asked; ++k) {
        auto found = registry.values.find(upper(registry.names[k]));
        if (found == registry.values.end() || found->second != askedIndex(k, n)) {
            state.SkipWithError("the map missed a stored name");
            return;
        }
    }
    int k = 0;
    for (auto _ : state) {
        keep(registry.values.find(upper(registry.names[k])));
        k = (k + 1) % asked;
    }
}

}  // namespace

BENCHMARK(BM_SpaceFind)->Arg(1000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_BareMapFind)->Arg(1000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_SpaceFind)->Arg(1000000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_BareMapFind)->Arg(1000000)->Unit(benchmark::kNanosecond);
