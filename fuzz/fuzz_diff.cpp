// The two readers of `transspace diff` agree: a data source loaded from the
// input (JSON or DDI, by content) gives the same facts read directly as read
// from its dictionary document written out and parsed back. Other XML with a
// dictionary root is read and compared with itself, which must be the same.
// Every input is also indented as --indent does, which may change only blanks.
#include <cstdint>
#include <memory>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>

#include "FuzzChecks.h"
#include "TransSpace.h"
#include "VornSourceFile.h"
#include "VornXmlReader.h"
#include "XmlIndent.h"
#include "diff/DictionaryDiff.h"
#include "diff/DictionaryFacts.h"
#include "support/HostTextMode.h"

namespace {

TransSpace* space = nullptr;

template <class Text>
Text withoutBlanks(const Text& text) {
    Text out;
    for (auto c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
    return out;
}

// The facts of XML text, or false when it does not parse or is no dictionary.
bool documentFacts(const std::string& xml, DictionaryFacts& facts) {
    VornXmlReaderGuard guard;
    xercesc::XercesDOMParser parser;
    xercesc::HandlerBase errors;  // throws on a fatal error
    guard.Apply(parser, &errors);
    parser.setDoNamespaces(false);
    xercesc::MemBufInputSource bytes(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                     "fuzz");
    try {
        parser.parse(bytes);
    } catch (...) {
        return false;
    }
    if (parser.getErrorCount() != 0 || parser.getDocument() == nullptr) return false;
    std::string error;
    const bool read = factsOfDocument(*parser.getDocument(), facts, error);
    FUZZ_CHECK(read == error.empty());
    return read;
}

void checkSame(const DictionaryFacts& a, const DictionaryFacts& b) {
    const DictionaryDiff d = compareFacts(a, b);
    if (!d.same()) std::fprintf(stderr, "%s", diffText(a, b, d).c_str());
    FUZZ_CHECK(d.same() && a.variables.size() == b.variables.size());
    FUZZ_CHECK(diffText(a, b, d).empty());
    FUZZ_CHECK(diffJSON(a, b, d) == "{\"added\":[],\"removed\":[],\"changed\":[],\"file\":[]}\n");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    space = new TransSpace;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HostTextMode mode(nullptr);
    const std::string text(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(withoutBlanks(indentXML(text)) == withoutBlanks(text));
    const std::u16string units(text.begin(), text.end());
    FUZZ_CHECK(withoutBlanks(indentXML(units)) == withoutBlanks(units));

    std::string error;
    std::vector<std::string> notes;
    std::unique_ptr<VORN_DataSource> source = LoadDataSourceText(text, "fuzz", error, notes);
    if (!source) {
        DictionaryFacts facts;
        if (documentFacts(text, facts)) checkSame(facts, facts);
        return 0;
    }
    const DictionaryFacts direct = factsOfSource(*source);
    TransStatus st;
    TransString* xml = TransValue(*source).asMBCSXML(st);
    const std::string written = xml->asMBCS();
    TransValue::releaseString(xml);
    // Texts that XML 1.0 cannot hold fail the write: nothing to read back.
    if (st.failure()) return 0;
    DictionaryFacts readBack;
    FUZZ_CHECK(documentFacts(written, readBack));
    checkSame(direct, readBack);
    return 0;
}
