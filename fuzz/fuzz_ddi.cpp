// Text through the by-content loader, so that the format dispatch and the DDI
// reader are both fuzzed; the first byte picks the host's text mode (even:
// UTF-8, odd: windows-1252) and whether a file ID is asked for (bit 1: "F1").
// A refused text gets a one-line error and no notes; a data source that
// loads makes a dictionary document that the dictionary schema accepts.
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "VornSourceFile.h"
#include "support/HostTextMode.h"
#include "support/SchemaValidator.h"

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
    DDILoadOptions options;
    if ((data[0] & 2) != 0) options.fileId = "F1";
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string error;
    std::vector<std::string> notes;
    std::unique_ptr<VORN_DataSource> source =
        LoadDataSourceText(text, "fuzz.xml", error, notes, options);
    if (!source) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos && notes.empty());
        return 0;
    }
    FUZZ_CHECK(error.empty());
    for (const std::string& note : notes)
        FUZZ_CHECK(!note.empty() && note.find('\n') == std::string::npos);

    const TransValue value(*source);
    TransStatus st = fuzz::dirty();
    const std::u16string xml = fuzz::take(value.asUTF16XML(st));
    // Control characters may reach a JSON source's texts; XML 1.0 cannot
    // hold them, so the serializer fails and there is nothing to validate.
    if (!st.failure()) {
        const std::vector<std::string> errors = fixture->validator.validate(xml);
        if (!errors.empty()) {
            std::fprintf(stderr, "%s\n", joinLines(errors).c_str());
            FUZZ_CHECK(errors.empty());
        }
    }
    return 0;
}
