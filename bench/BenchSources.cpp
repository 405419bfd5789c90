#include "BenchSources.h"

#include <map>

#include <unicode/unistr.h>

#include "VornPlatform.h"

std::unique_ptr<VORN_DataSource> makeSource(int variables) {
    std::unique_ptr<VORN_DataSource> source(new VORN_DataSource);
    source->SetRowCount(1000000);
    source->SetTimestamp(1.8e9);
    for (int i = 0; i < variables; ++i) {
        const std::string name = "v" + std::to_string(i);
        const bool text = i % 10 == 9;
        VORN_Variable v(name, text ? 8 : 0);
        v.SetLabel("Question " + std::to_string(i) + " of the survey");
        v.SetMeasurementLevel(VORN_Variable::MeasureNominal);
        if (text) {
            const OBS missing[3] = {StringOBS("NA"), StringOBS("DK"), StringOBS("RF")};
            v.SetMissingValues(3, missing);
            for (int k = 1; k <= 5; ++k)
                v.AddValueLabel("C" + std::to_string(k), "Category " + std::to_string(k));
        } else {
            const OBS missing[3] = {NumericOBS(97), NumericOBS(98), NumericOBS(99)};
            v.SetMissingValues(3, missing);
            for (int k = 1; k <= 5; ++k) v.AddValueLabel(k, "Answer " + std::to_string(k));
        }
        v.AddAttribute("$Role", {"input"});
        v.AddAttribute("Question", {"Q" + std::to_string(i)});
        source->AddVariable(v);
    }
    return source;
}

const VORN_DataSource& sourceOf(int variables) {
    static std::map<int, std::unique_ptr<VORN_DataSource>> sources;
    std::unique_ptr<VORN_DataSource>& source = sources[variables];
    if (!source) source = makeSource(variables);
    return *source;
}

TransSpace& runSpace() {
    static TransSpace space;
    return space;
}

namespace {

// Constructed after runSpace's space, so destroyed before it.
struct Dictionaries {
    std::map<int, std::unique_ptr<TransValue>> values;
    std::map<int, std::string> utf8;
    std::map<int, std::u16string> utf16;
};

Dictionaries& dictionaries() {
    runSpace();
    static Dictionaries kept;
    return kept;
}

}  // namespace

const TransValue& dictionaryOf(int variables) {
    std::unique_ptr<TransValue>& value = dictionaries().values[variables];
    if (!value) {
        const VORN_DataSource& source = sourceOf(variables);
        SetUTF8Mode(1);
        value.reset(new TransValue(source));
        SetUTF8Mode(-1);
    }
    return *value;
}

const std::u16string& dictionaryUTF16(int variables) {
    std::u16string& text = dictionaries().utf16[variables];
    if (text.empty()) {
        TransString* xml = dictionaryOf(variables).asUTF16XML();
        text = reinterpret_cast<const char16_t*>(xml->asUTF16());
        TransValue::releaseString(xml);
    }
    return text;
}

const std::string& dictionaryUTF8(int variables) {
    std::string& text = dictionaries().utf8[variables];
    if (text.empty()) {
        icu::UnicodeString(dictionaryUTF16(variables).c_str()).toUTF8String(text);
        // The declaration names the serializer's encoding; the bytes are UTF-8 now.
        const std::string from = "encoding=\"UTF-16\"";
        const std::size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), "encoding=\"UTF-8\"");
    }
    return text;
}

std::string byNamePath(int variables) {
    return "/dictionary/variable[@name='v" + std::to_string(variables - 1) + "']";
}

TransString mbcsString(const std::string& text) { return TransString(text.c_str()); }

TransString utf16String(const std::u16string& text) {
    return TransString(reinterpret_cast<const unsigned short*>(text.c_str()));
}

std::string takeUTF8(TransString* result) {
    std::string out;
    icu::UnicodeString(reinterpret_cast<const char16_t*>(result->asUTF16())).toUTF8String(out);
    TransValue::releaseString(result);
    return out;
}
