#include "value/store/DocumentStore.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMCDATASection.hpp>
#include <xercesc/dom/DOMComment.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMEntityReference.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "value/store/AttributeMap.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const XMLCh* x(const char16_t* s) { return reinterpret_cast<const XMLCh*>(s); }
const char16_t* u(const XMLCh* s) { return reinterpret_cast<const char16_t*>(s); }
std::u16string_view view(const XMLCh* s) {
    return s != nullptr ? std::u16string_view(u(s)) : std::u16string_view();
}

AttributeKey keyOf(const DocumentStore::Name& n) {
    return {std::u16string_view(n.qname),
            n.namespaceURI != nullptr ? std::u16string_view(n.namespaceURI) : std::u16string_view(),
            n.localName != nullptr ? std::u16string_view(n.localName) : std::u16string_view(),
            !n.namespaced};
}

}  // namespace

// ---- Texts ----

DocumentStore::Id DocumentStore::TextArena::add(std::u16string_view text) {
    const std::size_t length = text.size();
    if (length >= (std::size_t(1) << 30)) throw std::bad_alloc();
    const std::size_t header = length < 0x8000 ? 1 : 2;
    const std::size_t need = header + length + 1;
    std::size_t chunk, at;
    if (need > chunkUnits / 4) {
        // A long text in a chunk of its own; the open chunk stays open.
        chunk = newChunk(need);
        at = 0;
    } else {
        if (open == noChunk || used + need > chunkUnits) {
            open = newChunk(chunkUnits);
            used = 0;
        }
        chunk = open;
        at = used;
        used += need;
    }
    char16_t* units = chunks[chunk].get();
    if (header == 2) units[at++] = char16_t(length >> 15);
    units[at++] = header == 2 ? char16_t(0x8000 | (length & 0x7FFF)) : char16_t(length);
    // An empty view may hold no pointer at all.
    if (length != 0) std::memcpy(units + at, text.data(), length * sizeof(char16_t));
    units[at + length] = 0;
    return Id(chunk << offsetBits) | Id(at);
}

std::size_t DocumentStore::TextArena::newChunk(std::size_t units) {
    if (chunks.size() >= (std::size_t(1) << (32 - offsetBits))) throw std::bad_alloc();
    chunks.emplace_back(new char16_t[units]);
    bytes += units * sizeof(char16_t);
    return chunks.size() - 1;
}

std::u16string_view DocumentStore::TextArena::view(Id id) const {
    const char16_t* text = at(id);
    const char16_t last = text[-1];
    const std::size_t length =
        (last & 0x8000) == 0 ? last : (std::size_t(text[-2]) << 15) | (last & 0x7FFF);
    return std::u16string_view(text, length);
}

// ---- Building ----

DocumentStore::DocumentStore() { newNode(Document, 0, none); }

DocumentStore::~DocumentStore() {
    if (scratch != nullptr) scratch->release();
}

void DocumentStore::checkNames(bool on) {
    checking = on;
    if (!on && scratch != nullptr) {
        scratch->release();
        scratch = nullptr;
    }
}

const char16_t* DocumentStore::keep(std::u16string_view text) {
    nameTexts.emplace_back(text);
    return nameTexts.back().c_str();
}

DocumentStore::Id DocumentStore::name(NameUse use, std::u16string_view qname) {
    return intern(use, false, nullptr, qname);
}

DocumentStore::Id DocumentStore::nameNS(NameUse use, const char16_t* uri,
                                        std::u16string_view qname) {
    return intern(use, true, uri, qname);
}

DocumentStore::Id DocumentStore::intern(NameUse use, bool namespaced, const char16_t* uri,
                                        std::u16string_view qname) {
    // The DOM reports an empty namespace URI as none.
    if (uri != nullptr && *uri == 0) uri = nullptr;
    std::u16string key;
    key.reserve(qname.size() + 4 + (uri != nullptr ? std::char_traits<char16_t>::length(uri) : 0));
    key += char16_t(u'0' + static_cast<int>(use));
    key += namespaced ? (uri != nullptr ? u'u' : u'n') : u'-';
    key += qname;
    if (uri != nullptr) {
        key += char16_t(0);
        key += uri;
    }
    const auto found = nameIds.find(key);
    if (found != nameIds.end()) return found->second;

    Name made{keep(qname), nullptr, nullptr, nullptr, namespaced};
    if (namespaced) {
        const std::size_t colon = qname.find(u':');
        if (colon != std::u16string_view::npos) {
            made.prefix = keep(qname.substr(0, colon));
            made.localName = keep(qname.substr(colon + 1));
        } else {
            made.localName = made.qname;
        }
        if (uri != nullptr) made.namespaceURI = keep(uri);
    }
    if (checking) check(use, made);
    if (names.size() > nodeNameMask) throw std::bad_alloc();
    const Id id = Id(names.size());
    names.push_back(made);
    nameIds.emplace(std::move(key), id);
    return id;
}

void DocumentStore::check(NameUse use, const Name& n) {
    if (scratch == nullptr)
        scratch = DOMImplementation::getImplementation()->createDocument(
            XMLPlatformUtils::fgMemoryManager);
    switch (use) {
        case NameUse::Element:
            if (n.namespaced)
                scratch->createElementNS(x(n.namespaceURI), x(n.qname))->release();
            else
                scratch->createElement(x(n.qname))->release();
            break;
        case NameUse::Attribute:
            if (n.namespaced)
                scratch->createAttributeNS(x(n.namespaceURI), x(n.qname))->release();
            else
                scratch->createAttribute(x(n.qname))->release();
            break;
        case NameUse::EntityReference:
            scratch->createEntityReference(x(n.qname))->release();
            break;
        case NameUse::Target:
            scratch->createProcessingInstruction(x(n.qname), x(u""))->release();
            break;
    }
}

void DocumentStore::setXmlVersion(const char16_t* text) { version = text != nullptr ? text : u""; }

DocumentStore::Id DocumentStore::newNode(Type type, Id nameId, Id data) {
    if (nodes.size() == none) throw std::bad_alloc();
    return nodes.push(
        Node{none, none, none, none, (Id(type) << typeShift) | (nameId & nodeNameMask), data});
}

DocumentStore::Id DocumentStore::element(Id nameId) { return newNode(Element, nameId, none); }

DocumentStore::Id DocumentStore::text(Type type, std::u16string_view data) {
    return newNode(type, 0, texts.add(data));
}

DocumentStore::Id DocumentStore::entityReference(Id nameId) {
    return newNode(EntityReference, nameId, texts.add(std::u16string_view()));
}

DocumentStore::Id DocumentStore::instruction(Id target, std::u16string_view data) {
    return newNode(ProcessingInstruction, target, texts.add(data));
}

void DocumentStore::append(Id parentId, Id child) {
    Node& p = nodes[parentId];
    nodes[child].parent = parentId;
    nodes[child].next = none;
    if (p.last == none)
        p.first = child;
    else
        nodes[p.last].next = child;
    p.last = child;
}

void DocumentStore::insertAfter(Id parentId, Id child, Id after) {
    Node& p = nodes[parentId];
    Node& c = nodes[child];
    c.parent = parentId;
    if (after == none) {
        c.next = p.first;
        p.first = child;
    } else {
        c.next = nodes[after].next;
        nodes[after].next = child;
    }
    if (c.next == none) p.last = child;
}

DocumentStore::Id DocumentStore::newAttribute(Id elementId, Id nameId, std::u16string_view value) {
    if (attributes.size() == none) throw std::bad_alloc();
    const Id id = attributes.push(Attribute{nameId, texts.add(value), none});
    Id tail = elementId == lastElement ? lastAttribute : none;
    if (tail == none) {
        tail = nodes[elementId].data;
        if (tail != none)
            while (attributes[tail].next != none) tail = attributes[tail].next;
    }
    if (tail == none)
        nodes[elementId].data = id;
    else
        attributes[tail].next = id;
    lastElement = elementId;
    lastAttribute = id;
    return id;
}

DocumentStore::Id DocumentStore::appendAttribute(Id elementId, Id nameId,
                                                 std::u16string_view value) {
    return newAttribute(elementId, nameId, value);
}

DocumentStore::Id DocumentStore::setAttribute(Id elementId, Id nameId, std::u16string_view value) {
    std::vector<AttributeKey> keys;
    std::vector<Id> ids;
    for (Id a = nodes[elementId].data; a != none; a = attributes[a].next) {
        keys.push_back(keyOf(attributeName(a)));
        ids.push_back(a);
    }
    const Name& set = names[nameId];
    AttributeMap map(keys);
    for (std::size_t i = 0; i < ids.size(); ++i) map.placed.push_back(i);
    // The DOM first looks for an attribute to give the value to: by name,
    // or by namespace URI and the whole name taken as a local name. That
    // one keeps its own name.
    const int found = set.namespaced ? map.findNS(keyOf(set).uri, std::u16string_view(set.qname))
                                     : map.findName(std::u16string_view(set.qname));
    if (found >= 0) {
        const Id a = ids[map.placed[found]];
        parts.erase(a);
        attributes[a].name &= nameMask;
        attributes[a].value = texts.add(value);
        return a;
    }
    if (attributes.size() == none) throw std::bad_alloc();
    const Id id = attributes.push(Attribute{nameId, texts.add(value), none});
    keys.push_back(keyOf(set));
    ids.push_back(id);
    const std::size_t replaced = map.set(keys.size() - 1);
    if (replaced != AttributeMap::nothing) parts.erase(ids[replaced]);
    Id previous = none;
    for (const std::size_t k : map.placed) {
        if (previous == none)
            nodes[elementId].data = ids[k];
        else
            attributes[previous].next = ids[k];
        previous = ids[k];
    }
    attributes[previous].next = none;
    lastElement = none;
    return id;
}

DocumentStore::Id DocumentStore::appendAttributeParts(Id elementId, Id nameId,
                                                      std::u16string_view value,
                                                      const std::vector<Part>& valueParts) {
    const Id id = newAttribute(elementId, nameId, value);
    attributes[id].name |= partsBit;
    parts[id] = valueParts;
    return id;
}

// ---- Reading ----

DocumentStore::Id DocumentStore::documentElement() const {
    for (Id n = firstChild(documentNode); n != none; n = nextSibling(n))
        if (type(n) == Element) return n;
    return none;
}

const std::vector<DocumentStore::Part>* DocumentStore::attributeParts(Id attribute) const {
    if ((attributes[attribute].name & partsBit) == 0) return nullptr;
    const auto found = parts.find(attribute);
    return found != parts.end() ? &found->second : nullptr;
}

std::size_t DocumentStore::depth() const {
    std::size_t level = 0, deepest = 0;
    Id n = firstChild(documentNode);
    if (n != none) level = 1;
    while (n != none) {
        if (type(n) == Element && level > deepest) deepest = level;
        if (firstChild(n) != none) {
            n = firstChild(n);
            ++level;
            continue;
        }
        while (n != none && nextSibling(n) == none) {
            n = parent(n);
            --level;
            if (n == documentNode) return deepest;
        }
        if (n != none) n = nextSibling(n);
    }
    return deepest;
}

std::size_t DocumentStore::memory() const {
    std::size_t bytes = sizeof(*this) + nodes.memory() + attributes.memory() + texts.memory();
    for (const std::u16string& s : nameTexts) bytes += sizeof(s) + s.capacity() * 2;
    bytes += names.size() * sizeof(Name) + nameIds.size() * (sizeof(std::u16string) + 32);
    for (const auto& entry : parts)
        for (const Part& part : entry.second) bytes += sizeof(Part) + part.text.capacity() * 2;
    return bytes;
}

// ---- From a DOM ----

std::unique_ptr<DocumentStore> DocumentStore::fromDom(const DOMDocument* source) {
    std::unique_ptr<DocumentStore> store(new DocumentStore);
    const DOMElement* root = source != nullptr ? source->getDocumentElement() : nullptr;
    if (root == nullptr) return store;
    store->checkNames(true);
    // The DOM keeps one copy of each name and URI per document, so the
    // interned name is first looked up by those pointers.
    struct Seen {
        const XMLCh* name;
        const XMLCh* uri;
        int kind;
        bool operator==(const Seen& o) const {
            return name == o.name && uri == o.uri && kind == o.kind;
        }
    };
    struct SeenHash {
        std::size_t operator()(const Seen& s) const {
            return std::hash<const void*>()(s.name) * 31 + std::hash<const void*>()(s.uri) +
                   std::size_t(s.kind);
        }
    };
    std::unordered_map<Seen, Id, SeenHash> seen;
    const auto nameOf = [&store, &seen](NameUse use, const DOMNode* node) {
        // The copy makes a node with namespaces exactly where the source's
        // has a local name.
        const bool namespaced = node->getLocalName() != nullptr;
        const Seen key{node->getNodeName(), namespaced ? node->getNamespaceURI() : nullptr,
                       static_cast<int>(use) * 2 + (namespaced ? 1 : 0)};
        const auto found = seen.find(key);
        if (found != seen.end()) return found->second;
        const std::u16string_view qname = view(key.name);
        const Id id = namespaced ? store->nameNS(use, u(key.uri), qname) : store->name(use, qname);
        seen.emplace(key, id);
        return id;
    };
    try {
        Id parentId = documentNode;
        const DOMNode* node = root;
        std::vector<Part> valueParts;
        std::vector<AttributeKey> keys;
        std::vector<const DOMAttr*> sources;
        for (;;) {
            Id made = none;
            bool descend = false;
            switch (node->getNodeType()) {
                case DOMNode::ELEMENT_NODE: {
                    made = store->element(nameOf(NameUse::Element, node));
                    // The copy sets the source's attributes in the source's
                    // order, each where the DOM puts it, without the ones
                    // defaulted from a document type.
                    const DOMNamedNodeMap* map = node->getAttributes();
                    const XMLSize_t count = map != nullptr ? map->getLength() : 0;
                    keys.clear();
                    sources.clear();
                    for (XMLSize_t i = 0; i < count; ++i) {
                        const DOMAttr* a = static_cast<const DOMAttr*>(map->item(i));
                        if (!a->getSpecified()) continue;
                        keys.push_back({view(a->getNodeName()), view(a->getNamespaceURI()),
                                        view(a->getLocalName()), a->getLocalName() == nullptr});
                        sources.push_back(a);
                    }
                    AttributeMap copied(keys);
                    for (std::size_t k = 0; k < keys.size(); ++k) copied.set(k);
                    for (const std::size_t k : copied.placed) {
                        const DOMAttr* a = sources[k];
                        const Id attributeName = nameOf(NameUse::Attribute, a);
                        bool plain = true;
                        for (const DOMNode* part = a->getFirstChild(); part != nullptr;
                             part = part->getNextSibling())
                            if (part->getNodeType() != DOMNode::TEXT_NODE) plain = false;
                        if (plain) {
                            store->appendAttribute(made, attributeName, view(a->getValue()));
                            continue;
                        }
                        // The copy's references have nothing to expand to,
                        // so its value is the texts alone.
                        valueParts.clear();
                        std::u16string value;
                        for (const DOMNode* part = a->getFirstChild(); part != nullptr;
                             part = part->getNextSibling()) {
                            if (part->getNodeType() == DOMNode::TEXT_NODE) {
                                value += view(part->getNodeValue());
                                valueParts.push_back(
                                    {false, std::u16string(view(part->getNodeValue()))});
                            } else if (part->getNodeType() == DOMNode::ENTITY_REFERENCE_NODE) {
                                store->name(NameUse::EntityReference, view(part->getNodeName()));
                                valueParts.push_back(
                                    {true, std::u16string(view(part->getNodeName()))});
                            }
                        }
                        store->appendAttributeParts(made, attributeName, value, valueParts);
                    }
                    descend = node->hasChildNodes();
                    break;
                }
                case DOMNode::TEXT_NODE:
                    made = store->text(Text, view(node->getNodeValue()));
                    break;
                case DOMNode::CDATA_SECTION_NODE:
                    made = store->text(CDATA, view(node->getNodeValue()));
                    break;
                case DOMNode::COMMENT_NODE:
                    made = store->text(Comment, view(node->getNodeValue()));
                    break;
                case DOMNode::ENTITY_REFERENCE_NODE:
                    // Copied without what it expands to: the copy has no
                    // document type to resolve it.
                    made = store->entityReference(nameOf(NameUse::EntityReference, node));
                    break;
                case DOMNode::PROCESSING_INSTRUCTION_NODE: {
                    const auto* pi = static_cast<const DOMProcessingInstruction*>(node);
                    made = store->instruction(store->name(NameUse::Target, view(pi->getTarget())),
                                              view(pi->getData()));
                    break;
                }
                default:
                    break;
            }
            if (made != none) store->append(parentId, made);
            if (descend) {
                parentId = made;
                node = node->getFirstChild();
                continue;
            }
            while (node != root && node->getNextSibling() == nullptr) {
                node = node->getParentNode();
                parentId = store->parent(parentId);
            }
            if (node == root) break;
            node = node->getNextSibling();
        }
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        // A name the DOM refuses: the copy would be empty.
        store.reset(new DocumentStore);
    }
    store->checkNames(false);
    if (store->scratch != nullptr) {
        store->scratch->release();
        store->scratch = nullptr;
    }
    return store;
}

// ---- The DOM on demand ----

namespace {

// The order of setting an element's attributes that leaves them in the order
// of keys, found by trying the orders of each run of equal names, the first
// run turning fastest, on the map's own rule. A run that holds an attribute
// without namespaces beside ones with may need a stand-in: an attribute of
// the run's name in a namespace of its own, which the one without
// namespaces replaces when the search meets it, and which is removed
// afterwards if it is still there. Orders name stand-ins from keys.size()
// on; their keys are added to keys, their URIs kept in uris. Beyond a bound
// of tries the attributes go in the order of keys.
std::vector<std::size_t> settingOrder(std::vector<AttributeKey>& keys,
                                      std::vector<std::u16string>& uris) {
    const std::size_t count = keys.size();
    std::vector<std::size_t> order;
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // spans of order
    uris.clear();
    uris.reserve(count);  // the keys' views stay valid
    for (std::size_t i = 0; i < count;) {
        std::size_t end = i + 1;
        while (end < count && keys[end].name == keys[i].name) ++end;
        const std::size_t begin = order.size();
        bool plain = false;
        const AttributeKey* namespaced = nullptr;
        for (std::size_t k = i; k < end; ++k) {
            order.push_back(k);
            if (keys[k].plain)
                plain = true;
            else
                namespaced = &keys[k];
        }
        const std::u16string_view name = keys[i].name;
        const std::u16string_view prefix = name.substr(0, name.find(u':'));
        if (plain && namespaced != nullptr && name != u"xmlns" && prefix != u"xml" &&
            prefix != u"xmlns") {
            std::u16string uri = u"urn:x-transspace:stand-in";
            for (std::size_t k = i; k < end; ++k)
                if (keys[k].uri == uri) uri += u'-';
            uris.push_back(std::move(uri));
            const AttributeKey standIn{name, uris.back(), namespaced->local, false};
            keys.push_back(standIn);
            order.push_back(keys.size() - 1);
        }
        if (order.size() - begin > 1) runs.emplace_back(begin, order.size());
        i = end;
    }
    if (runs.empty()) return order;
    for (int tries = 0; tries < 5040; ++tries) {
        AttributeMap map(keys);
        for (const std::size_t k : order) map.set(k);
        std::size_t at = 0;
        bool same = true;
        for (const std::size_t k : map.placed) {
            if (k >= count) continue;
            if (k != at++) {
                same = false;
                break;
            }
        }
        if (same && at == count) return order;
        // The next order of the runs, the first run turning fastest.
        std::size_t r = 0;
        while (r < runs.size() && !std::next_permutation(order.begin() + runs[r].first,
                                                         order.begin() + runs[r].second))
            ++r;
        if (r == runs.size()) break;
    }
    keys.resize(count);
    order.resize(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = i;
    return order;
}

}  // namespace

DOMDocument* DocumentStore::makeDom() const {
    DOMDocument* document =
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager);
    try {
        if (!version.empty()) document->setXmlVersion(x(version.c_str()));
        document->setXmlStandalone(standaloneFlag);
        // As the literal copy is made: node by node, without the checks that
        // climb to the root on every append, and without recursion.
        document->setStrictErrorChecking(false);
        std::vector<AttributeKey> keys;
        std::vector<Id> ids;
        std::vector<std::u16string> uris;
        std::vector<DOMAttr*> standIns;
        std::vector<std::size_t> order;
        DOMNode* parentNode = document;
        Id n = firstChild(documentNode);
        while (n != none) {
            DOMNode* made = nullptr;
            switch (type(n)) {
                case Element: {
                    const Name& nm = nameOf(n);
                    DOMElement* element =
                        nm.namespaced ? document->createElementNS(x(nm.namespaceURI), x(nm.qname))
                                      : document->createElement(x(nm.qname));
                    keys.clear();
                    ids.clear();
                    bool equalNames = false;
                    for (Id a = firstAttribute(n); a != none; a = nextAttribute(a)) {
                        keys.push_back(keyOf(attributeName(a)));
                        ids.push_back(a);
                        if (keys.size() > 1 && keys.back().name == keys[keys.size() - 2].name)
                            equalNames = true;
                    }
                    standIns.clear();
                    order.clear();
                    if (equalNames) {
                        order = settingOrder(keys, uris);
                    } else {
                        for (std::size_t i = 0; i < ids.size(); ++i) order.push_back(i);
                    }
                    for (const std::size_t i : order) {
                        if (i >= ids.size()) {
                            const AttributeKey& key = keys[i];
                            const std::u16string name(key.name), uri(key.uri);
                            standIns.push_back(
                                document->createAttributeNS(x(uri.c_str()), x(name.c_str())));
                            element->setAttributeNodeNS(standIns.back());
                            continue;
                        }
                        const Id a = ids[i];
                        const Name& an = attributeName(a);
                        DOMAttr* copy = an.namespaced ? document->createAttributeNS(
                                                            x(an.namespaceURI), x(an.qname))
                                                      : document->createAttribute(x(an.qname));
                        if (const std::vector<Part>* valueParts = attributeParts(a)) {
                            for (const Part& part : *valueParts)
                                copy->appendChild(
                                    part.isReference
                                        ? static_cast<DOMNode*>(
                                              document->createEntityReference(x(part.text.c_str())))
                                        : document->createTextNode(x(part.text.c_str())));
                        } else {
                            copy->setValue(x(attributeValueZ(a)));
                        }
                        if (an.namespaced)
                            element->setAttributeNodeNS(copy);
                        else
                            element->setAttributeNode(copy);
                    }
                    for (DOMAttr* standIn : standIns) {
                        if (standIn->getOwnerElement() == element)
                            element->removeAttributeNode(standIn);
                        standIn->release();
                    }
                    made = element;
                    break;
                }
                case Text:
                    made = document->createTextNode(x(valueZ(n)));
                    break;
                case CDATA:
                    made = document->createCDATASection(x(valueZ(n)));
                    break;
                case EntityReference:
                    made = document->createEntityReference(x(nameOf(n).qname));
                    break;
                case Comment:
                    made = document->createComment(x(valueZ(n)));
                    break;
                case ProcessingInstruction:
                    made = document->createProcessingInstruction(x(nameOf(n).qname), x(valueZ(n)));
                    break;
                default:
                    break;
            }
            if (made != nullptr) parentNode->appendChild(made);
            if (made != nullptr && type(n) == Element && firstChild(n) != none) {
                parentNode = made;
                n = firstChild(n);
                continue;
            }
            while (n != none && nextSibling(n) == none) {
                n = parent(n);
                if (n == documentNode) {
                    n = none;
                    break;
                }
                parentNode = parentNode->getParentNode();
            }
            if (n != none) n = nextSibling(n);
        }
        document->setStrictErrorChecking(strictFlag);
    } catch (...) {
        document->release();
        throw;
    }
    return document;
}
