#include "value/store/DocumentStore.h"

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "support/StoreCompare.h"
#include "support/XmlDocuments.h"

namespace {

class DocumentStoreTest : public ::testing::Test {
protected:
    TransSpace space;  // the XML runtime
};

// A store made from a DOM stands for exactly the copy a value made of it.
TEST_F(DocumentStoreTest, FromDomHoldsTheLiteralCopy) {
    const char* const documents[] = {
        "<a/>",
        "<?pi x?><!--before--><a b='1' a='2'>t<![CDATA[c]]>&amp;<!--c--><?t d?><e/></a>",
        "<r xmlns='urn:d' xmlns:p='urn:p'><p:x p:y='1' z='2' xmlns:q='urn:q'/><x xmlns=''/></r>",
        "<!DOCTYPE r [<!ENTITY e 'ex'><!ATTLIST r d CDATA 'def'>]><r a='&e;x'>&e;</r>",
        "<r>\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80</r>",
    };
    for (const char* text : documents) {
        SCOPED_TRACE(text);
        DocumentPtr source = parseXml(std::string(text));
        ASSERT_NE(source, nullptr);
        std::unique_ptr<DocumentStore> store = DocumentStore::fromDom(source.get());
        DocumentPtr copy(literalCopy(source.get()));
        EXPECT_EQ(storeDifference(*store, copy.get()), "");
    }
    std::unique_ptr<DocumentStore> empty = DocumentStore::fromDom(nullptr);
    EXPECT_EQ(empty->documentElement(), DocumentStore::none);
}

}  // namespace
