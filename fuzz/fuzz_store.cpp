// Arbitrary bytes through the XML parser, read as the documents target reads
// them (its first byte, the host's text mode there, is skipped). A document
// that parses becomes a store, which must stand node for node for the copy a
// value made before the store, with the same element depth; a value made of
// it answers queries as the literal path over its wrapper view does, and
// hands out one wrapper view.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "support/StoreCompare.h"
#include "support/XmlDocuments.h"
#include "value/store/DocumentStore.h"
#include "value/xpath/DocumentDepth.h"

XERCES_CPP_NAMESPACE_USE

namespace {

TransSpace* space = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    space = new TransSpace;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    DocumentPtr source = parseXmlBytes(data + 1, size - 1, nullptr);
    if (!source) return 0;

    const std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(source.get());
    {
        const DocumentPtr copy(literalCopy(source.get()));
        const std::string difference = storeDifference(*store, copy.get());
        if (!difference.empty())
            std::fprintf(stderr, "store and copy differ: %s\n", difference.c_str());
        FUZZ_CHECK(difference.empty());
        FUZZ_CHECK(store->depth() == documentDepth(copy.get()));
    }

    const TransValue value(source.get());
    source.reset();  // the value holds its own
    for (const char* expression : {"count(//node())", "count(//@*)", "string(.)"})
        fuzz::checkQueries(value, fuzz::fromUTF8("/"), fuzz::fromUTF8(expression));
    // Every node but the document node is in the document.
    FUZZ_CHECK(value.asDouble(fuzz::fromUTF8("/"), fuzz::fromUTF8("count(//node())")) ==
               store->nodeCount() - 1);
    TransStatus st = fuzz::dirty();
    const auto* view = value.asXalanDocument(st);
    FUZZ_CHECK(view != nullptr && !st.failure() && !st.warning());
    FUZZ_CHECK(value.asXalanDocument(st) == view);
    return 0;
}
