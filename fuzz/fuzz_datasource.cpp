// JSON text through the data-source loader; the first byte picks the host's
// text mode (even: UTF-8, odd: windows-1252) and the rest is the text. A
// refused text gets a one-line error. A data source that loads is built with
// both placements, which must give the same document, and into the compact
// store, which must stand for that document node for node; the document value
// made from it writes text that the dictionary schema accepts, and it answers
// queries about its variables.
#include <cstdint>
#include <memory>
#include <string>

#include <xercesc/dom/DOM.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "VornJsonSource.h"
#include "dictionary/DictionaryBuilder.h"
#include "dictionary/DictionaryStore.h"
#include "support/HostTextMode.h"
#include "support/SchemaValidator.h"
#include "support/StoreCompare.h"
#include "support/XmlDocuments.h"

XERCES_CPP_NAMESPACE_USE

namespace {

struct Fixture {
    TransSpace space;
    SchemaValidator validator{SchemaValidator::dictionarySchemaPath()};
};

Fixture* fixture = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture = new Fixture;
    FUZZ_CHECK(fixture->validator.loaded());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    HostTextMode mode((data[0] & 1) == 0 ? nullptr : "windows-1252");
    const std::string json(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string error;
    std::unique_ptr<VORN_DataSource> source = LoadDataSourceJSONText(json, "fuzz.json", error);
    if (!source) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(error.empty());

    DocumentPtr remembered(
        DictionaryBuilder(DictionaryBuilder::Placement::remembered).build(*source));
    DocumentPtr literal(DictionaryBuilder(DictionaryBuilder::Placement::literal).build(*source));
    FUZZ_CHECK(remembered && literal);
    FUZZ_CHECK(serialiseXml(remembered.get()) == serialiseXml(literal.get()));
    const std::unique_ptr<DocumentStore> store = buildDictionaryStore(*source);
    FUZZ_CHECK(store != nullptr);
    const std::string difference = storeDifference(*store, remembered.get());
    if (!difference.empty()) {
        std::fprintf(stderr, "%s\n", difference.c_str());
        FUZZ_CHECK(difference.empty());
    }

    const TransValue value(*source);
    TransStatus st = fuzz::dirty();
    const std::u16string text = fuzz::take(value.asUTF16XML(st));
    // The loader lets control characters through, as a host's data source
    // may hold them; XML 1.0 cannot, so the serializer reports the failure
    // and there is no text to validate.
    if (!st.failure()) {
        FUZZ_CHECK(!st.warning());
        const std::vector<std::string> errors = fixture->validator.validate(text);
        if (!errors.empty()) {
            std::fprintf(stderr, "%s\n", joinLines(errors).c_str());
            FUZZ_CHECK(errors.empty());
        }
    }

    const fuzz::QueryOutcome count = fuzz::checkQueries(
        value, fuzz::fromUTF8("/"), fuzz::fromUTF8("count(/*/*[local-name()='variable'])"));
    FUZZ_CHECK(count.number == source->ColumnCount());
    if (source->ColumnCount() > 0) {
        const TransString first = fuzz::fromUTF8("/*/*[local-name()='variable'][1]");
        fuzz::checkQueries(value, first, fuzz::fromUTF8("@*"));
        const fuzz::QueryOutcome name = fuzz::checkQueries(value, first, fuzz::fromUTF8("@name"));
        FUZZ_CHECK(name.text == fuzz::textOf(TransString(source->GetVariable(0).GetName())));
    }
    return 0;
}
