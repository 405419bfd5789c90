#include "value/store/StoreParser.h"

#include <cstdint>
#include <functional>
#include <new>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocumentFragment.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMEntityReference.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/dom/impl/DOMDocumentImpl.hpp>
#include <xercesc/dom/impl/DOMDocumentTypeImpl.hpp>
#include <xercesc/dom/impl/DOMNodeIDMap.hpp>
#include <xercesc/dom/impl/DOMNodeImpl.hpp>
#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

XERCES_CPP_NAMESPACE_USE

namespace {

std::u16string_view view(const XMLCh* s) {
    return s != nullptr ? std::u16string_view(s) : std::u16string_view();
}

// Markers for the namespace URI part of a name's key.
const char noNamespaces = 0;  // a name made without namespaces
const char noUri = 0;         // a namespace-aware name without a URI

}  // namespace

std::size_t StoreParser::NameKeyHash::operator()(const NameKey& k) const {
    return std::hash<std::u16string_view>()(k.qname) ^
           (std::hash<const void*>()(k.uri) * 31 + static_cast<std::size_t>(k.use));
}

StoreParser::StoreParser() = default;

StoreParser::~StoreParser() = default;

std::unique_ptr<DocumentStore> StoreParser::takeStore() {
    if (store == nullptr || refused) return std::make_unique<DocumentStore>();
    store->checkNames(false);
    names.clear();
    recent.fill(Recent{});
    return std::move(store);
}

void StoreParser::startDocument() {
    // The DOM parser's document stays, empty: the document type goes there.
    XercesDOMParser::startDocument();
    store = std::make_unique<DocumentStore>();
    store->checkNames(true);
    refused = false;
    parentNode = DocumentStore::documentNode;
    depth = 0;
    skipped = 0;
    textOpen = false;
    text.clear();
    names.clear();
    recent.fill(Recent{});
    scratch = nullptr;
}

void StoreParser::endDocument() {
    flushText();
    XercesDOMParser::endDocument();
}

DocumentStore::Id StoreParser::intern(DocumentStore::NameUse use, const XMLCh* uri,
                                      const XMLCh* qname, bool namespaced) {
    const void* uriKey = &noNamespaces;
    if (namespaced) uriKey = uri != nullptr ? static_cast<const void*>(uri) : &noUri;
    const std::u16string_view name = view(qname);
    // A document repeats a few names: most are found in the recent ones, by
    // a hash of a few characters, before the map's hash of all of them.
    Recent& last =
        recent[(name.size() * 31 + (name.empty() ? 0 : name.front() * 7 + name.back()) +
                (reinterpret_cast<std::uintptr_t>(uriKey) >> 4) + static_cast<std::size_t>(use)) %
               recent.size()];
    if (last.uri == uriKey && last.use == use && last.qname == name) return last.id;
    const auto found = names.find(NameKey{name, uriKey, use});
    if (found != names.end()) {
        last = Recent{found->first.qname, uriKey, use, found->second};
        return found->second;
    }
    Id id;
    try {
        id = namespaced ? store->nameNS(use, uri, view(qname)) : store->name(use, view(qname));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        // The copy's own call for this name throws: the copy was empty.
        refused = true;
        return DocumentStore::none;
    }
    // The key's text lives in the store.
    const NameKey key{std::u16string_view(store->name(id).qname), uriKey, use};
    names.emplace(key, id);
    last = Recent{key.qname, uriKey, use, id};
    return id;
}

void StoreParser::append(Id node) { store->append(parentNode, node); }

void StoreParser::addText(const XMLCh* chars, XMLSize_t length) {
    if (depth == 0 || !building()) return;  // outside the element, or dropped
    if (textOpen) {
        text.append(chars, length);
    } else {
        text.assign(chars, length);
        textOpen = true;
    }
}

void StoreParser::flushText() {
    if (!textOpen) return;
    textOpen = false;
    if (building()) append(store->text(DocumentStore::Text, text));
}

void StoreParser::orderSlots() {
    const auto text = [](const XMLCh* t) {
        return t != nullptr ? std::u16string_view(reinterpret_cast<const char16_t*>(t))
                            : std::u16string_view();
    };
    keys.clear();
    for (const Slot& slot : given)
        keys.push_back({text(slot.qname), text(slot.uri), text(slot.local), !slot.namespaced});
    attributeOrder.clear();
    for (std::size_t k = 0; k < keys.size(); ++k) attributeOrder.set(k);
    slots.clear();
    for (const std::size_t k : attributeOrder.placed) slots.push_back(given[k]);
}

void StoreParser::startElement(const XMLElementDecl& elemDecl, unsigned int urlId,
                               const XMLCh* elemPrefix, const RefVectorOf<XMLAttr>& attrList,
                               XMLSize_t attrCount, bool isEmpty, bool isRoot) {
    flushText();
    const XMLScanner* scanner = getScanner();
    const bool namespaces = scanner->getDoNamespaces();
    const unsigned int emptyId = scanner->getEmptyNamespaceId();

    // The element's name as the DOM parser gives it.
    const XMLCh* qname;
    const XMLCh* prefix = nullptr;
    const XMLCh* uri = nullptr;
    if (namespaces) {
        qname = elemDecl.getBaseName();
        if (urlId != emptyId) {
            uri = scanner->getURIText(urlId);
            if (elemPrefix != nullptr && *elemPrefix != 0) {
                prefix = elemPrefix;
                qnameBuffer.assign(elemPrefix);
                qnameBuffer += u':';
                qnameBuffer += qname;
                qname = qnameBuffer.c_str();
            }
        }
    } else {
        qname = elemDecl.getFullName();
    }

    // Declared attributes and defaults from the document type: rare, and
    // the DOM's own element settles what they do.
    if (elemDecl.hasAttDefs() || (fDocumentType != nullptr &&
                                  fDocumentType->getElements()->getNamedItem(qname) != nullptr)) {
        startDeclaredElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isRoot);
    } else {
        // The DOM's constructors map each prefix to its namespace and throw
        // where that fails, out of the parse; so do these calls.
        if (namespaces)
            uri = DOMNodeImpl::mapPrefix(prefix, uri != nullptr && *uri != 0 ? uri : nullptr,
                                         DOMNode::ELEMENT_NODE);
        const unsigned int xmlnsId = scanner->getXMLNSNamespaceId();
        given.clear();
        for (XMLSize_t index = 0; index < attrCount; ++index) {
            const XMLAttr* a = attrList.elementAt(index);
            Slot slot{nullptr, nullptr, nullptr, a->getValue(), namespaces, a->getSpecified()};
            if (namespaces) {
                unsigned int attrUri = a->getURIId();
                const XMLCh* local = a->getName();
                const XMLCh* attrPrefix = a->getPrefix();
                const bool prefixed = attrPrefix != nullptr && *attrPrefix != 0;
                if (!prefixed && XMLString::equals(local, XMLUni::fgXMLNSString)) attrUri = xmlnsId;
                const XMLCh* uriText = attrUri != emptyId ? scanner->getURIText(attrUri) : nullptr;
                slot.qname = a->getQName();
                slot.local = prefixed ? local : slot.qname;
                slot.uri =
                    DOMNodeImpl::mapPrefix(prefixed ? attrPrefix : nullptr,
                                           uriText != nullptr && *uriText != 0 ? uriText : nullptr,
                                           DOMNode::ATTRIBUTE_NODE);
            } else {
                slot.qname = a->getName();
            }
            given.push_back(slot);
        }
        orderSlots();
        if (building()) {
            const Id name = intern(DocumentStore::NameUse::Element, uri, qname, namespaces);
            if (name != DocumentStore::none) {
                const Id element = store->element(name);
                for (const Slot& slot : slots) {
                    if (!slot.specified) continue;
                    const Id attribute = intern(DocumentStore::NameUse::Attribute, slot.uri,
                                                slot.qname, slot.namespaced);
                    if (attribute == DocumentStore::none) break;
                    store->appendAttribute(element, attribute, view(slot.value));
                }
                append(element);
                parentNode = element;
            }
        }
    }
    if (skipped > 0)
        ++skipped;
    else
        ++depth;
    if (isEmpty) closeElement();
}

void StoreParser::startDeclaredElement(const XMLElementDecl& elemDecl, unsigned int urlId,
                                       const XMLCh* elemPrefix,
                                       const RefVectorOf<XMLAttr>& attrList, XMLSize_t attrCount,
                                       bool isRoot) {
    if (scratch == nullptr) scratch = fDocument->createDocumentFragment();
    fCurrentParent = scratch;
    fCurrentNode = scratch;
    // Not empty here: its end is this parser's.
    XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, false, isRoot);
    DOMElement* made = static_cast<DOMElement*>(fCurrentNode);
    fCurrentParent = fDocument;
    fCurrentNode = fDocument;
    DOMNamedNodeMap* map = made->getAttributes();
    if (building()) {
        // Named as the copy names it: with namespaces where the node has a
        // local name.
        const Id name = intern(DocumentStore::NameUse::Element, made->getNamespaceURI(),
                               made->getNodeName(), made->getLocalName() != nullptr);
        if (name != DocumentStore::none) {
            const Id element = store->element(name);
            // The copy sets the specified ones, in the map's order, into a
            // map of its own, which orders them afresh.
            given.clear();
            for (XMLSize_t i = 0; i < map->getLength(); ++i) {
                const DOMAttr* a = static_cast<const DOMAttr*>(map->item(i));
                if (!a->getSpecified()) continue;
                given.push_back(Slot{a->getNodeName(), a->getNamespaceURI(),
                                     a->getLocalName() != nullptr ? a->getLocalName() : nullptr,
                                     a->getValue(), a->getLocalName() != nullptr, true});
            }
            orderSlots();
            for (const Slot& slot : slots) {
                const Id attribute = intern(DocumentStore::NameUse::Attribute, slot.uri, slot.qname,
                                            slot.namespaced);
                if (attribute == DocumentStore::none) break;
                store->appendAttribute(element, attribute, view(slot.value));
            }
            append(element);
            parentNode = element;
        }
    }
    // The document's map of IDs would keep pointers to the released
    // attributes.
    for (XMLSize_t i = 0; i < map->getLength(); ++i) {
        DOMAttr* a = static_cast<DOMAttr*>(map->item(i));
        if (a->isId() && fDocument->getNodeIDMap() != nullptr) fDocument->getNodeIDMap()->remove(a);
    }
    scratch->removeChild(made);
    made->release();
}

void StoreParser::closeElement() {
    flushText();
    if (skipped > 0) {
        --skipped;
        return;
    }
    // More ends than starts would leave the copy as it is.
    if (depth == 0) return;
    --depth;
    if (building()) parentNode = store->parent(parentNode);
}

void StoreParser::endElement(const XMLElementDecl&, unsigned int, bool, const XMLCh*) {
    closeElement();
}

void StoreParser::docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    if (!cdataSection) {
        addText(chars, length);
        return;
    }
    if (depth == 0 || !building()) return;
    flushText();
    append(store->text(DocumentStore::CDATA, std::u16string_view(chars, length)));
}

void StoreParser::ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool) {
    if (getIncludeIgnorableWhitespace()) addText(chars, length);
}

void StoreParser::docComment(const XMLCh* comment) {
    if (!getCreateCommentNodes() || depth == 0 || !building()) return;
    flushText();
    append(store->text(DocumentStore::Comment, view(comment)));
}

void StoreParser::docPI(const XMLCh* target, const XMLCh* data) {
    // The DOM's call checks the target and throws out of the parse; so does
    // this one.
    fDocument->createProcessingInstruction(target, data)->release();
    if (depth == 0 || !building()) return;
    flushText();
    const Id name = intern(DocumentStore::NameUse::Target, nullptr, target, false);
    if (name != DocumentStore::none) append(store->instruction(name, view(data)));
}

void StoreParser::startEntityReference(const XMLEntityDecl& entDecl) {
    // The DOM parser's bookkeeping of the entity, without its node.
    const bool nodes = fCreateEntityReferenceNodes;
    fCreateEntityReferenceNodes = false;
    XercesDOMParser::startEntityReference(entDecl);
    fCreateEntityReferenceNodes = nodes;
    if (!nodes) return;  // the expansion merges into the text around it
    fDocument->createEntityReferenceByParser(entDecl.getName())->release();
    flushText();
    if (building()) {
        // The copy holds the reference without what it expands to.
        const Id name =
            intern(DocumentStore::NameUse::EntityReference, nullptr, entDecl.getName(), false);
        if (name != DocumentStore::none) append(store->entityReference(name));
    }
    ++skipped;
}

void StoreParser::endEntityReference(const XMLEntityDecl&) {
    if (!fCreateEntityReferenceNodes) return;
    flushText();
    if (skipped > 0) --skipped;
}
