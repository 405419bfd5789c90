// The document, its root and header, the build order and the placement of
// section elements. The sections live in DictionaryVariables.cpp,
// DictionarySets.cpp and DictionaryAttributes.cpp.
#include "dictionary/DictionaryBuilder.h"

#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include "VornDateTime.h"
#include "VornLocale.h"
#include "dictionary/DictionaryNamespace.h"
#include "dictionary/DictionaryText.h"
#include "text/CodePage.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const XMLCh* const rootKindTags[] = {u"variable", u"weightVariable", u"valueLabelSet",
                                     u"variableSet", u"multipleResponseSet"};

}  // namespace

DictionaryBuilder::DictionaryBuilder() : DictionaryBuilder(Placement::remembered) {}

DictionaryBuilder::DictionaryBuilder(Placement placement)
    : document(nullptr), placement(placement), lastUnderRoot() {}

DOMDocument* DictionaryBuilder::build(const VORN_DataSource& source) {
    if (!createDictionaryDocument()) return document;
    DOMElement* root = document->getDocumentElement();

    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    std::string localeName = ctype != nullptr ? ctype : "";
    std::vector<std::string> locales;
    const std::string& localeText =
        GetServerLocaleList(localeName, locales) >= 1 && !locales.empty() ? locales.front()
                                                                          : localeName;
    root->setAttribute(u"locale", mbcsToUTF16(localeText).getTerminatedBuffer());

    std::string created;
    ToISODateTime(created, source.GetTimestamp(), 2, true, true);
    root->setAttribute(u"creationDateTime", mbcsToUTF16(created).getTerminatedBuffer());

    const std::int64_t rows = source.GetRowCount();
    if (rows >= 0) numbers.setInteger(root, u"rowCount", rows);

    addVariables(source, root);
    addWeightVariable(source, root);
    addVariableSets(source, root);
    addMultipleResponseSets(source, root);
    addFileAttributes(source, root);
    addExtensions(source, root);
    return document;
}

bool DictionaryBuilder::createDictionaryDocument() {
    for (DOMElement*& last : lastUnderRoot) last = nullptr;
    try {
        document = DOMImplementation::getImplementation()->createDocument(
            XMLPlatformUtils::fgMemoryManager);
        document->setStrictErrorChecking(true);
        document->setXmlStandalone(false);
        document->setXmlVersion(u"1.0");
        DOMElement* root = document->createElement(u"dictionary");
        document->appendChild(root);
        const std::u16string ns = dictionaryNamespaceURI();
        root->setAttribute(u"xmlns", ns.c_str());
        root->setAttribute(u"xmlns:xsi", schemaInstanceURI);
        root->setAttribute(u"xsi:schemaLocation", (ns + u" " + dictionarySchemaURI()).c_str());
        return true;
    } catch (...) {
        // Nobody else will ever see a half-made document, so it goes here.
        if (document != nullptr) {
            try {
                document->release();
            } catch (...) {
            }
        }
        document = nullptr;
        return false;
    }
}

DictionaryBuilder::DOMNode* DictionaryBuilder::insertAfterLast(DOMElement* parent,
                                                               DOMNode* newChild,
                                                               const XMLCh* tagName) {
    DOMNodeList* list = parent->getElementsByTagName(tagName);
    const XMLSize_t length = list->getLength();
    if (length == 0) return nullptr;
    DOMNode* ref = list->item(length - 1)->getNextSibling();
    return parent->insertBefore(newChild, ref);
}

DictionaryBuilder::DOMElement* DictionaryBuilder::element(const XMLCh* tagName) {
    return document->createElement(tagName);
}

void DictionaryBuilder::placeUnderRoot(DOMElement* root, DOMElement* e, RootKind own,
                                       std::initializer_list<RootKind> chain) {
    // The remembered elements describe this builder's own root only.
    const bool remembered = placement == Placement::remembered && document != nullptr &&
                            root == document->getDocumentElement();
    if (!remembered) {
        for (RootKind kind : chain)
            if (insertAfterLast(root, e, rootKindTags[kind]) != nullptr) return;
        root->insertBefore(e, root->getFirstChild());
        return;
    }
    // Every placement under the root keeps its children sorted by kind, so
    // the newest element of a kind is its last one, unless it was placed by a
    // chain that does not start at its own kind: then the earlier ones stay
    // after it.
    const bool nowLast =
        own != rootKindCount && (lastUnderRoot[own] == nullptr || *chain.begin() == own);
    DOMNode* ref = root->getFirstChild();
    for (RootKind kind : chain) {
        if (lastUnderRoot[kind] != nullptr) {
            ref = lastUnderRoot[kind]->getNextSibling();
            break;
        }
    }
    root->insertBefore(e, ref);
    if (nowLast) lastUnderRoot[own] = e;
}

void DictionaryBuilder::placeInside(DOMElement* parent, DOMElement* e,
                                    std::initializer_list<const XMLCh*> chain) {
    if (placement == Placement::literal) {
        for (const XMLCh* tag : chain)
            if (insertAfterLast(parent, e, tag) != nullptr) return;
        parent->insertBefore(e, parent->getFirstChild());
        return;
    }
    // The elements looked for are direct children without children of their
    // own, and an unfinished element has at most a handful of children: a
    // backward walk stands in for the document-wide lookup, which would also
    // leave one cached node list per element in the document.
    for (const XMLCh* tag : chain) {
        for (DOMNode* child = parent->getLastChild(); child != nullptr;
             child = child->getPreviousSibling()) {
            if (child->getNodeType() == DOMNode::ELEMENT_NODE &&
                XMLString::equals(child->getNodeName(), tag)) {
                parent->insertBefore(e, child->getNextSibling());
                return;
            }
        }
    }
    parent->insertBefore(e, parent->getFirstChild());
}
