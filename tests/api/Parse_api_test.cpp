// XML text made into document values through the exported operation alone:
// the document as the DOM parser reads it, with or without namespaces; the
// parser's errors, positions and refusals heard by the host's handler; the
// flags and the value of each outcome.
#include <string>

#include <gtest/gtest.h>
#include <xercesc/framework/MemBufInputSource.hpp>

#include "TransSpace.h"
#include "TransValue.h"
#include "VornXmlReader.h"

namespace {

std::string text(const TransValue& value, const char* expression) {
    TransString* s = value.asString(TransString("/"), TransString(expression));
    std::string out = s->asMBCS();
    TransValue::releaseString(s);
    return out;
}

}  // namespace

TEST(ParseApi, TextBecomesADocumentOrTheParsersError) {
    TransSpace space;
    struct Row {
        const char* what;
        const char* xml;
        bool namespaces;
        bool failure, warning;
        const char* error;  // how the handler's message starts
        const char* uri;    // namespace-uri(/*) of a document
        const char* data;   // string(/*)
    };
    const Row rows[] = {
        {"namespaces", "<p:r xmlns:p='urn:p' a='1'>x<![CDATA[<y>]]>&amp;<!--c--></p:r>", true,
         false, false, "", "urn:p", "x<y>&"},
        {"no namespaces", "<p:r xmlns:p='urn:p' a='1'>x<![CDATA[<y>]]>&amp;<!--c--></p:r>", false,
         false, false, "", "", "x<y>&"},
        {"an internal entity", "<!DOCTYPE r [<!ENTITY e 'in<i>ner</i>'>]><r>&e;!</r>", true, false,
         false, "", "", "inner!"},
        {"cut short", "<r>\n<a>", true, true, true, "2:4: ", nullptr, nullptr},
        {"an unbound prefix", "<p:r/>", true, true, true, "1:7: ", nullptr, nullptr},
        {"an external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>\n<r>&x;</r>",
         false, true, true, "2:7: the external entity \"file:///etc/passwd\" is not read", nullptr,
         nullptr},
        {"a name a copy refuses", "<?xml version='1.1'?><r\xf3\xa0\x80\x80/>", true, false, true,
         "", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string xml = row.xml;
        const xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()),
                                                xml.size(), "doc.xml");
        VornXmlFirstError errors;
        TransStatus st;
        st.warning(true);
        st.failure(true);
        const TransValue value = TransValue::parseXML(source, row.namespaces, &errors, st);
        EXPECT_EQ(st.failure(), row.failure);
        EXPECT_EQ(st.warning(), row.warning);
        EXPECT_EQ(errors.message.substr(0, std::string(row.error).size()), row.error);
        if (row.failure) {
            // The null value.
            TransStatus read;
            TransString* none = value.asString(read);
            TransValue::releaseString(none);
            EXPECT_TRUE(read.failure());
            continue;
        }
        EXPECT_EQ(text(value, "namespace-uri(/*)"), row.uri);
        EXPECT_EQ(text(value, "string(/*)"), row.data);
        EXPECT_EQ(text(value, "count(/*)"), row.warning ? "0" : "1");
    }
}
