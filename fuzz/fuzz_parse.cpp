// Arbitrary bytes parsed both ways: by Xerces' DOM parser with the tool's
// settings, copied as a value copied it before the store, and straight into
// the store. The first byte picks namespaces (bit 0 clear: on) and the DOM
// parser's entity reference nodes (bit 1 set: on, the setting the guard
// turns off). Checks: the same first error at the same position, or the
// store of exactly the literal copy (node by node, attribute order
// included); with the guard's settings, the public operation agrees on the
// flags and writes the text the value of the DOM writes.
#include <cstdint>
#include <cstdio>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "VornXmlReader.h"
#include "support/ParseCompare.h"

namespace {

TransSpace* space = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    space = new TransSpace;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    ParseSettings settings;
    settings.namespaces = (data[0] & 1) == 0;
    settings.referenceNodes = (data[0] & 2) != 0;
    // A low expansion limit keeps the inputs quick.
    settings.expansionLimit = 1000;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string difference = parseDifference(bytes, settings);
    if (!difference.empty()) std::fprintf(stderr, "%s\n", difference.c_str());
    FUZZ_CHECK(difference.empty());
    if (settings.referenceNodes) return 0;

    // The public operation, with its own (higher) expansion limit: a text
    // that meets the low one is left out.
    const ParseOutcome dom = parseToDom(bytes, settings);
    if (dom.error.find("entity expansions") != std::string::npos) return 0;
    VornXmlFirstError errors;
    TransStatus st = fuzz::dirty();
    const xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(bytes.data()),
                                           bytes.size(), "input.xml");
    TransValue value;
    try {
        value = TransValue::parseXML(input, settings.namespaces, &errors, st);
    } catch (...) {
        FUZZ_CHECK(dom.error == (errors.message.empty() ? "the parser stopped" : errors.message));
        return 0;
    }
    FUZZ_CHECK(errors.message == dom.error);
    FUZZ_CHECK(st.failure() == !dom.error.empty());
    if (st.failure()) {
        FUZZ_CHECK(st.warning());
        return 0;
    }
    const TransValue copied(dom.dom.get());
    FUZZ_CHECK(fuzz::take(value.asUTF16XML()) == fuzz::take(copied.asUTF16XML()));
    FUZZ_CHECK(st.warning() ==
               (copied.asDouble(fuzz::fromUTF8("/"), fuzz::fromUTF8("count(/*)")) == 0));
    return 0;
}
