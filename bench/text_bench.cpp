// Text conversion between the host's multibyte code page and UTF-16 against
// bare ICU with one converter opened for the whole run, in UTF-8 mode and in
// windows-1252, for a short text (about 10 bytes) and a long one (about
// 10 KB). Ours is a new TransString asked for its other view, which is when
// it converts; the twin converts the same bytes into a new ICU string.
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include "BenchSources.h"
#include "support/HostTextMode.h"
#include "text/CodePage.h"

namespace {

// The same words in both encodings, non-ASCII letters included.
struct CodePage {
    const char* name;  // "UTF-8" meaning UTF-8 mode
    const char* unit;  // "Gr\u00f6\u00dfe 12 m\u00b2" in that code page
};

const CodePage codePages[] = {{"UTF-8",
                               "Gr\xc3\xb6\xc3\x9f"
                               "e 12 m\xc2\xb2"},
                              {"windows-1252",
                               "Gr\xf6\xdf"
                               "e 12 m\xb2"}};

// The unit repeated to at least bytes bytes.
std::string textOf(const CodePage& page, int bytes) {
    std::string text = page.unit;
    while (static_cast<int>(text.size()) < bytes) text += std::string(", ") + page.unit;
    return text;
}

// The host mode for the code page, kept for one benchmark.
struct Mode {
    explicit Mode(const CodePage& page)
        : guard(std::strcmp(page.name, "UTF-8") == 0 ? nullptr : page.name) {}
    HostTextMode guard;
};

icu::UnicodeString bareToUTF16(UConverter* converter, const std::string& bytes) {
    icu::UnicodeString result;
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = static_cast<int32_t>(bytes.size());
    UChar* buffer = result.getBuffer(2 * n + 1);
    const int32_t written = ucnv_toUChars(converter, buffer, 2 * n + 1, bytes.data(), n, &error);
    result.releaseBuffer(U_FAILURE(error) ? 0 : written);
    return result;
}

std::string bareToMBCS(UConverter* converter, const icu::UnicodeString& text) {
    std::string result;
    UErrorCode error = U_ZERO_ERROR;
    const int32_t m = text.length();
    const int32_t size = ucnv_getMaxCharSize(converter) * (m + 1);
    result.resize(static_cast<std::size_t>(size));
    const int32_t written =
        ucnv_fromUChars(converter, &result[0], size, text.getBuffer(), m, &error);
    result.resize(U_SUCCESS(error) ? static_cast<std::size_t>(written) : 0);
    return result;
}

// The ICU converter of the code page, opened once per benchmark.
struct Converter {
    UConverter* converter = nullptr;
    explicit Converter(const CodePage& page) {
        UErrorCode error = U_ZERO_ERROR;
        converter = ucnv_open(page.name, &error);
        if (U_FAILURE(error)) converter = nullptr;
    }
    ~Converter() {
        if (converter != nullptr) ucnv_close(converter);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
};

// The UTF-16 form bare ICU gives, for checking ours against it.
icu::UnicodeString expectedUTF16(const CodePage& page, const std::string& bytes) {
    const Converter c(page);
    return c.converter != nullptr ? bareToUTF16(c.converter, bytes) : icu::UnicodeString();
}

bool nonASCII(const icu::UnicodeString& text) { return text.indexOf(char16_t(0xDF)) >= 0; }

void BM_TransStringFromMBCS(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Mode mode(*page);
    const icu::UnicodeString want = expectedUTF16(*page, bytes);
    {
        const TransString text(bytes.c_str());
        const icu::UnicodeString got(reinterpret_cast<const char16_t*>(text.asUTF16()));
        if (got != want || !nonASCII(got)) {
            state.SkipWithError("the conversion differs from ICU's");
            return;
        }
    }
    for (auto _ : state) {
        const TransString text(bytes.c_str());
        keep(text.asUTF16());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_BareICUToUTF16(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Converter c(*page);
    if (c.converter == nullptr || !nonASCII(bareToUTF16(c.converter, bytes))) {
        state.SkipWithError("no converter");
        return;
    }
    for (auto _ : state) keep(bareToUTF16(c.converter, bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_TransStringToMBCS(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Mode mode(*page);
    const icu::UnicodeString utf16 = expectedUTF16(*page, bytes);
    const std::u16string terminated(utf16.getBuffer(), static_cast<std::size_t>(utf16.length()));
    {
        const TransString text(reinterpret_cast<const unsigned short*>(terminated.c_str()));
        if (bytes != text.asMBCS()) {
            state.SkipWithError("the conversion differs from ICU's");
            return;
        }
    }
    for (auto _ : state) {
        const TransString text(reinterpret_cast<const unsigned short*>(terminated.c_str()));
        keep(text.asMBCS());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_BareICUToMBCS(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Converter c(*page);
    const icu::UnicodeString utf16 = expectedUTF16(*page, bytes);
    if (c.converter == nullptr || bareToMBCS(c.converter, utf16) != bytes) {
        state.SkipWithError("no converter");
        return;
    }
    for (auto _ : state) keep(bareToMBCS(c.converter, utf16));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// Ours in parts, to explain the gap: the string alone (made from the bytes
// and destroyed, nothing converted), the library's conversion alone (host
// asked for its code page, converter kept while the name stays the same),
// and the question to the host alone.
void BM_TransStringHold(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Mode mode(*page);
    for (auto _ : state) {
        const TransString text(bytes.c_str());
        keep(&text);
    }
}

void BM_LibraryToUTF16(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Mode mode(*page);
    if (mbcsToUTF16(bytes) != expectedUTF16(*page, bytes)) {
        state.SkipWithError("the conversion differs from ICU's");
        return;
    }
    for (auto _ : state) keep(mbcsToUTF16(bytes));
}

void BM_LibraryToMBCS(benchmark::State& state, const CodePage* page) {
    const std::string bytes = textOf(*page, static_cast<int>(state.range(0)));
    const Mode mode(*page);
    const icu::UnicodeString utf16 = expectedUTF16(*page, bytes);
    if (utf16ToMBCS(utf16) != bytes) {
        state.SkipWithError("the conversion differs from ICU's");
        return;
    }
    for (auto _ : state) keep(utf16ToMBCS(utf16));
}

void BM_HostCodePageName(benchmark::State& state, const CodePage* page) {
    const Mode mode(*page);
    if (codePageName() != page->name) {
        state.SkipWithError("the host names another code page");
        return;
    }
    for (auto _ : state) keep(codePageName());
}

void registerTexts() {
    for (int bytes : {10, 10000}) {
        for (const CodePage& page : codePages) {
            const std::string at = std::string("/") + page.name;
            benchmark::RegisterBenchmark(("BM_TransStringFromMBCS" + at).c_str(),
                                         BM_TransStringFromMBCS, &page)
                ->Arg(bytes);
            benchmark::RegisterBenchmark(("BM_BareICUToUTF16" + at).c_str(), BM_BareICUToUTF16,
                                         &page)
                ->Arg(bytes);
            benchmark::RegisterBenchmark(("BM_TransStringToMBCS" + at).c_str(),
                                         BM_TransStringToMBCS, &page)
                ->Arg(bytes);
            benchmark::RegisterBenchmark(("BM_BareICUToMBCS" + at).c_str(), BM_BareICUToMBCS, &page)
                ->Arg(bytes);
            if (bytes > 10) continue;
            benchmark::RegisterBenchmark(("BM_TransStringHold" + at).c_str(), BM_TransStringHold,
                                         &page)
                ->Arg(bytes);
            benchmark::RegisterBenchmark(("BM_LibraryToUTF16" + at).c_str(), BM_LibraryToUTF16,
                                         &page)
                ->Arg(bytes);
            benchmark::RegisterBenchmark(("BM_LibraryToMBCS" + at).c_str(), BM_LibraryToMBCS, &page)
                ->Arg(bytes);
            benchmark::RegisterBenchmark(("BM_HostCodePageName" + at).c_str(), BM_HostCodePageName,
                                         &page)
                ->Arg(bytes);
        }
    }
}

const bool registered = (registerTexts(), true);

}  // namespace
