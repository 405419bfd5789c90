// A space (so the XML runtime is up), the dictionary schema, and helpers that
// build a data source's dictionary with either placement and read it back.
#ifndef TRANSSPACE_TESTS_DICTIONARY_DICTIONARYFIXTURE_H
#define TRANSSPACE_TESTS_DICTIONARY_DICTIONARYFIXTURE_H

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "VornDataSource.h"
#include "dictionary/DictionaryBuilder.h"
#include "support/HostTextMode.h"
#include "support/SchemaValidator.h"
#include "support/XmlDocuments.h"


class DictionaryTest : public ::testing::Test {
protected:
    DictionaryTest() : validator(SchemaValidator::dictionarySchemaPath()) {}

    // The builder's document; fails the test when it does not validate.
    DocumentPtr build(const VORN_DataSource& source, DictionaryBuilder::Placement placement =
                                                         DictionaryBuilder::Placement::remembered);

    // The document as XML text, without pretty printing.
    static std::u16string serialise(const XERCES_CPP_NAMESPACE::DOMDocument* document);

    // A data source loaded from JSON text; fails the test on a load error.
    static std::unique_ptr<VORN_DataSource> load(const std::string& json);
    // One of examples/*.json.
    static std::unique_ptr<VORN_DataSource> loadExample(const std::string& file);

    TransSpace space;                // first member: the runtime outlives everything below
    HostTextMode textMode{nullptr};  // UTF-8 unless a test pins another code page
    SchemaValidator validator;
};

// Element and attribute access for assertions, in UTF-8.
std::vector<XERCES_CPP_NAMESPACE::DOMElement*> childElements(
    const XERCES_CPP_NAMESPACE::DOMNode* parent);
std::vector<std::string> childNames(const XERCES_CPP_NAMESPACE::DOMNode* parent);
std::string attr(const XERCES_CPP_NAMESPACE::DOMElement* e, const char* name);
bool hasAttr(const XERCES_CPP_NAMESPACE::DOMElement* e, const char* name);
// The names of e's attributes in document order.
std::vector<std::string> attrNames(const XERCES_CPP_NAMESPACE::DOMElement* e);
// The child elements of parent named tag.
std::vector<XERCES_CPP_NAMESPACE::DOMElement*> children(const XERCES_CPP_NAMESPACE::DOMNode* parent,
                                                        const char* tag);

#endif
