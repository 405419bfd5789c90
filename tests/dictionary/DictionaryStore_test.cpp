// The dictionary made straight into the store against the DOM builder's
// document, node for node: the examples, the codebook, generated sources and
// what hosts hand over at the edges; and the quick texts and numbers of the
// store's build against the literal ones, over many values.
#include "dictionary/DictionaryStore.h"

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "TransString.h"
#include "VornDdiSource.h"
#include "VornJsonSource.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/LocaleGuard.h"
#include "support/StoreCompare.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"

namespace {

class DictionaryStoreTest : public ::testing::Test {
protected:
    // The store's dictionary is the DOM builder's document, properties
    // included; the builder with every placement looked up in the tree.
    static void expectSameDocument(const VORN_DataSource& source) {
        DocumentPtr dom(DictionaryBuilder(DictionaryBuilder::Placement::literal).build(source));
        const std::unique_ptr<DocumentStore> store = buildDictionaryStore(source);
        ASSERT_TRUE(dom && store);
        EXPECT_EQ(storeDifference(*store, dom.get()), "");
        ASSERT_NE(store->xmlVersion(), nullptr);
        EXPECT_EQ(std::u16string(store->xmlVersion()), dom->getXmlVersion());
        EXPECT_EQ(store->standalone(), dom->getXmlStandalone());
        EXPECT_EQ(store->strictErrorChecking(), dom->getStrictErrorChecking());
    }

    static std::unique_ptr<VORN_DataSource> load(const std::string& json) {
        std::string error;
        std::unique_ptr<VORN_DataSource> source = LoadDataSourceJSONText(json, "test", error);
        EXPECT_NE(source, nullptr) << error;
        if (!source) source.reset(new VORN_DataSource);
        return source;
    }

    static std::string example(const std::string& file) {
        std::ifstream in(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/" + file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
};

// Every section, with words and numbers of every kind: numeric and string
// variables, ranges with open ends, fractional labels, labels and names
// beyond ASCII, sets with unknown members, both kinds of multiple-response
// set, custom attributes of the source and its variables, extensions, a
// weight.
std::string generatedSource(int variables, unsigned seed) {
    std::mt19937 random(seed);
    const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
    const char* const levels[] = {"unknown", "nominal", "ordinal", "scale"};
    const char* const formats[] = {"F8.2", "COMMA10.2", "DATE11", "E10.3", "DOLLAR12.2"};
    std::string json = R"({"rowCount": )" + std::to_string(pick(100000)) +
                       R"(, "timestamp": "2027-03-04T05:06:07.5Z", "variables": [)";
    for (int i = 0; i < variables; ++i) {
        // The first few are numeric and named for the weight and the sets.
        const bool text = i > 3 && pick(4) == 0;
        const std::string name = (i > 3 && pick(5) == 0 ? "gr\xC3\xB6\xC3\x9F"
                                                          "e"
                                                        : "v") +
                                 std::to_string(i);
        json += (i > 0 ? ",\n" : "") + std::string(R"({"name": ")") + name + '"';
        if (pick(3) > 0)
            json += ", \"label\": \"Fr\xC3\xA4ge " + std::to_string(i) + " \\\"q\\\" &<>\"";
        json += R"(, "measurementLevel": ")" + std::string(levels[pick(4)]) + '"';
        json += R"(, "alignment": )" + std::to_string(pick(5) - 1);
        json += R"(, "displayWidth": )" + std::to_string(pick(200) - 100);
        if (text) {
            json += R"(, "width": )" + std::to_string(3 + pick(20));
            json +=
                R"(, "missingValues": ["", "A"], "valueLabels": [["A B", "a b"], [" ", "blank"], ["Z", ""]])";
        } else {
            const int format = pick(6);
            if (format < 5) json += R"(, "format": ")" + std::string(formats[format]) + '"';
            switch (pick(4)) {
                case 0:
                    json += R"(, "missingValues": {"low": "lowest", "high": )" +
                            std::to_string(pick(100) - 50) + R"(, "value": 99.5})";
                    break;
                case 1:
                    json += R"(, "missingValues": {"low": 1.0625, "high": "highest"})";
                    break;
                case 2:
                    json += R"(, "missingValues": [-0.0004, 1e300, 123456.7895])";
                    break;
                default:
                    break;
            }
            json += R"(, "valueLabels": [)";
            const int labels = pick(8);
            for (int k = 0; k < labels; ++k)
                json += (k > 0 ? ", [" : "[") + std::to_string(k * 0.3333 + pick(3) * 1e6) +
                        ", \"L\xE2\x82\xAC " + std::to_string(k) + R"("])";
            json += "]";
        }
        if (pick(3) == 0)
            json += R"(, "attributesVersion": 7, "attributes": [{"name": "$Role", "values": ["in"]},
                       {"name": "Note", "values": ["a", "b\u00e9"]}, {"name": "Empty", "values": []}])";
        json += "}";
    }
    json += R"(], "weight": "V1",
        "variableSets": [{"name": "first", "variables": ["v1", "V2", "nosuch"]},
                         {"name": "nothing", "variables": []}],
        "multipleResponseSets": [
            {"name": "d", "type": "dichotomy", "countedValue": 1, "categoryLabels": "countedValues",
             "label": "Dichotomy", "variables": ["v1", "v2"]},
            {"name": "c", "type": "category", "labelFromVariable": true, "variables": ["v3"]}],
        "attributes": [{"name": "Origin", "values": ["panel", "wave 3"]}, {"name": "$K", "values": []}],
        "extensions": [{"type": 3, "elementSize": 4, "data": "01000000FF000000"},
                       {"type": 15, "data": "0F"}, {"type": 5, "data": "55"}]})";
    return json;
}

TEST_F(DictionaryStoreTest, ExamplesAndGeneratedSources) {
    for (const char* codePage : {static_cast<const char*>(nullptr), "windows-1252"}) {
        HostTextMode mode(codePage);
        const std::string host = codePage != nullptr ? " in windows-1252" : " in UTF-8";
        for (const char* file : {"minimal.json", "survey.json", "survey-wave2.json"}) {
            SCOPED_TRACE(file + host);
            expectSameDocument(*load(example(file)));
        }
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE("generated " + std::to_string(seed) + host);
            expectSameDocument(*load(generatedSource(300, seed)));
        }
        std::string error;
        std::vector<std::string> notes;
        const std::unique_ptr<VORN_DataSource> codebook = LoadDataSourceDDI(
            std::string(TRANSSPACE_SOURCE_DIR) + "/examples/codebook.xml", error, notes);
        ASSERT_NE(codebook, nullptr) << error;
        SCOPED_TRACE("codebook.xml" + host);
        expectSameDocument(*codebook);
    }
}

// What only a host's own calls hand over: row counts at the edges, time stamps
// without a text, texts with NUL and bytes the code page does not define,
// numbers without "#0.###" text, and missing values beyond three.
TEST_F(DictionaryStoreTest, EdgesOfTheHostsData) {
    const double numbers[] = {std::nan(""), INFINITY, -INFINITY, -0.0,   DBL_MAX, -DBL_MAX, DBL_MIN,
                              5e-324,       0.0005,   0.0015,    2.0025, 0.9995,  1e21};
    const std::string texts[] = {
        std::string("before\0after", 12),     "caf\xC3\xA9 \xFF\xFE \xC3", "lone \xED\xA0\x80",
        "\x80\x81\x8D\x8F\x90\x9D \x96 \xF6", "esc\x1B[0m ~{ +AGE-",       "half \x82"};
    const auto source = [&](std::int64_t rows, double timestamp) {
        std::unique_ptr<VORN_DataSource> s(new VORN_DataSource);
        s->SetRowCount(rows);
        s->SetTimestamp(timestamp);
        VORN_Variable numeric("n");
        for (double d : numbers) numeric.AddValueLabel(d, "x");
        const OBS range[] = {NumericOBS(-INFINITY), NumericOBS(std::nan("")), NumericOBS(-0.0)};
        numeric.SetMissingValues(-3, range);
        s->AddVariable(numeric);
        for (const std::string& text : texts) {
            VORN_Variable v(text + std::to_string(s->ColumnCount()), 8);
            v.SetLabel(text);
            v.AddValueLabel(text, text);
            v.AddAttribute(text, {text, ""});
            const OBS values[] = {StringOBS(text), StringOBS("")};
            v.SetMissingValues(2, values);
            s->AddVariable(v);
        }
        return s;
    };
    const struct {
        const char* codePage;
        const char* ctype;
        const char* numeric;
    } hosts[] = {
        {nullptr, "C", "C"},
        {"windows-1252", "de_DE.iso88591", "de_DE.utf8"},
        {"Shift_JIS", "ja_JP.utf8", "ar_EG.utf8"},
        {"ISO-2022-JP", "deutsch", "tr_TR.utf8"},
        {"ebcdic-cp-us", "POSIX", "C"},
        {"no-such-code-page", "C.utf8", "C"},
    };
    for (const auto& host : hosts) {
        HostTextMode mode(host.codePage);
        const LocaleGuard ctype(LC_CTYPE, host.ctype);
        const LocaleGuard numeric(LC_NUMERIC, host.numeric);
        for (const std::int64_t rows : {INT64_C(-1), INT64_C(0), INT64_MAX}) {
            for (const double timestamp : {1796557554.75, std::nan(""), -1e15}) {
                SCOPED_TRACE(std::string(host.codePage != nullptr ? host.codePage : "UTF-8") +
                             " rows " + std::to_string(rows) + " time " +
                             std::to_string(timestamp));
                expectSameDocument(*source(rows, timestamp));
            }
        }
    }
}

// A host text: the literal conversion's result, as a value holds it.
std::u16string literalText(const std::string& bytes) {
    return u16(TransString(bytes.c_str()).asUTF16());
}

TEST_F(DictionaryStoreTest, QuickTextsAreTheLiteralOnes) {
    std::mt19937_64 random(25);
    // Mostly ASCII, with the bytes that shift stateful code pages and bytes
    // above 0x7F; never NUL, which ends a text.
    const auto bytes = [&random] {
        std::string s(random() % 24, 'a');
        for (char& c : s) {
            const unsigned r = random() % 16;
            c = static_cast<char>(r < 10   ? 0x20 + random() % 0x5F
                                  : r < 12 ? "\x1B$B(J~{}+-&"[random() % 11]
                                           : 1 + random() % 0xFF);
        }
        return s;
    };
    for (const char* codePage : {static_cast<const char*>(nullptr), "windows-1252", "Shift_JIS",
                                 "ISO-2022-JP", "UTF-7", "ebcdic-cp-us", "no-such-code-page"}) {
        SCOPED_TRACE(codePage != nullptr ? codePage : "UTF-8");
        HostTextMode mode(codePage);
        HostTexts quick;
        EXPECT_EQ(std::u16string(quick.convert(nullptr)), literalText(""));
        for (int i = 0; i < 3000; ++i) {
            const std::string text = bytes();
            ASSERT_EQ(std::u16string(quick.convert(text.c_str())), literalText(text)) << hex(text);
        }
    }

    std::vector<std::int64_t> integers = {0, -1, INT64_MIN, INT64_MAX, 32767, -32768};
    std::vector<double> decimals = {0.0,
                                    -0.0,
                                    0.0625,
                                    0.0005,
                                    -0.0005,
                                    0.0015,
                                    0.0025,
                                    1.0005,
                                    2.0025,
                                    0.9995,
                                    9.9995,
                                    99.9995,
                                    1e-300,
                                    5e-324,
                                    1e15,
                                    1e17,
                                    1e22,
                                    1e23,
                                    DBL_MAX,
                                    -DBL_MAX,
                                    4503599627370497.5,
                                    9007199254740993.0,
                                    123456789.0125,
                                    std::nan(""),
                                    INFINITY};
    for (int i = 0; i < 4000; ++i) {
        integers.push_back(static_cast<std::int64_t>(random()) >> (random() % 64));
        // Decimal fractions near the rounding position, and doubles of any bits.
        const std::int64_t m = static_cast<std::int64_t>(random() % 200000001) - 100000000;
        decimals.push_back(static_cast<double>(m) / std::pow(10.0, static_cast<int>(random() % 9)));
        decimals.push_back(static_cast<double>(m) * 0.0005);
        decimals.push_back(
            std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 90)));
        if (i % 8 == 0) {
            const std::uint64_t bits = random();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            decimals.push_back(d);
        }
    }
    for (const char* locale : {"C", "de_DE.utf8", "ar_EG.utf8"}) {
        SCOPED_TRACE(locale);
        const LocaleGuard numeric(LC_NUMERIC, locale);
        QuickNumberTexts quick;
        NumberTexts literal;
        std::u16string_view text;
        for (const std::int64_t n : integers) {
            const char16_t* expected = literal.integer(n);
            ASSERT_EQ(quick.integer(n, text), expected != nullptr) << n;
            if (expected != nullptr) {
                ASSERT_EQ(text, std::u16string_view(expected)) << n;
            }
        }
        for (const double d : decimals) {
            const char16_t* expected = literal.decimal(d);
            ASSERT_EQ(quick.decimal(d, text), expected != nullptr) << d;
            if (expected != nullptr) {
                ASSERT_EQ(text, std::u16string_view(expected)) << d;
            }
        }
    }
}

}  // namespace
