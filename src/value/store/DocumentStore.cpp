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

XERCES_CPP_NAMESPACE_USE

namespace {

const XMLCh* x(const char16_t* s) { return reinterpret_cast<const XMLCh*>(s); }
const char16_t* u(const XMLCh* s) { return reinterpret_cast<const char16_t*>(s); }
std::u16string_view view(const XMLCh* s) {
    return s != nullptr ? std::u16string_view(u(s)) : std::u16string_view();
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
    // An empty view may have no data: memcpy takes no null pointer.
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

void DocumentStore::checkNames(bool on) { checking = on; }

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
    const Name& set = names[nameId];
    const std::u16string_view setName(set.qname);
    Id before = none;  // the attribute the new one follows
    for (Id a = nodes[elementId].data; a != none; a = attributes[a].next) {
        const Name& held = names[attributes[a].name & nameMask];
        // setAttribute finds an attribute by its name, setAttributeNS by
        // namespace URI and local name (a name's whole, for one made
        // without namespaces).
        const bool same = set.namespaced ? equalUri(held.namespaceURI, set.namespaceURI) &&
                                               std::u16string_view(held.namespaced ? held.localName
                                                                                   : held.qname) ==
                                                   std::u16string_view(set.localName)
                                         : std::u16string_view(held.qname) == setName;
        if (same) {
            attributes[a].name = nameId;
            parts.erase(a);
            attributes[a].value = texts.add(value);
            return a;
        }
        if (std::u16string_view(held.qname).compare(setName) < 0) before = a;
    }
    if (attributes.size() == none) throw std::bad_alloc();
    const Id id = attributes.push(Attribute{nameId, texts.add(value), none});
    if (before == none) {
        attributes[id].next = nodes[elementId].data;
        nodes[elementId].data = id;
    } else {
        attributes[id].next = attributes[before].next;
        attributes[before].next = id;
    }
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

bool DocumentStore::equalUri(const char16_t* a, const char16_t* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return std::u16string_view(a) == std::u16string_view(b);
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
    const auto nameOf = [&store](NameUse use, const DOMNode* node) {
        const std::u16string_view qname = view(node->getNodeName());
        // The copy makes a node with namespaces exactly where the source's
        // has a local name.
        return node->getLocalName() == nullptr
                   ? store->name(use, qname)
                   : store->nameNS(use, u(node->getNamespaceURI()), qname);
    };
    try {
        Id parentId = documentNode;
        const DOMNode* node = root;
        std::vector<Part> valueParts;
        for (;;) {
            Id made = none;
            bool descend = false;
            switch (node->getNodeType()) {
                case DOMNode::ELEMENT_NODE: {
                    made = store->element(nameOf(NameUse::Element, node));
                    const DOMNamedNodeMap* map = node->getAttributes();
                    const XMLSize_t count = map != nullptr ? map->getLength() : 0;
                    for (XMLSize_t i = 0; i < count; ++i) {
                        const DOMAttr* a = static_cast<const DOMAttr*>(map->item(i));
                        // A defaulted attribute is not carried by the copy.
                        if (!a->getSpecified()) continue;
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

// The DOM keeps an element's attributes sorted by name and puts a new one
// before an equal name its binary search meets, or in place of one with the
// same namespace and local name (by name, for one made without namespaces).
// Equal names (one qualified name in several namespaces) therefore end in an
// order that depends on the order they were set in: the order of setting
// that gives the wanted order is found by trying, on the DOM's own rule.
// Beyond a bound of tries the attributes go in the wanted order.
struct AttributeKey {
    std::u16string_view name, uri, local;
    bool plain;
};

int searchName(const std::vector<AttributeKey>& keys, const std::vector<std::size_t>& placed,
               std::u16string_view name) {
    int i = 0;
    int first = 0;
    int last = static_cast<int>(placed.size()) - 1;
    while (first <= last) {
        i = (first + last) / 2;
        const int test = name.compare(keys[placed[i]].name);
        if (test == 0) return i;
        if (test < 0)
            last = i - 1;
        else
            first = i + 1;
    }
    if (first > i) i = first;
    return -1 - i;
}

std::vector<std::size_t> placeAttributes(const std::vector<AttributeKey>& keys,
                                         const std::vector<std::size_t>& order) {
    std::vector<std::size_t> placed;
    for (const std::size_t k : order) {
        const AttributeKey& key = keys[k];
        int at = -1;
        if (!key.plain) {
            for (std::size_t j = 0; j < placed.size() && at < 0; ++j) {
                const AttributeKey& other = keys[placed[j]];
                if (other.uri == key.uri &&
                    (other.plain ? other.name == key.local : other.local == key.local))
                    at = static_cast<int>(j);
            }
            if (at >= 0) {
                placed[at] = k;
                continue;
            }
            at = searchName(keys, placed, key.name);
            if (at < 0) at = -1 - at;
        } else {
            at = searchName(keys, placed, key.name);
            if (at >= 0) {
                placed[at] = k;
                continue;
            }
            at = -1 - at;
        }
        placed.insert(placed.begin() + at, k);
    }
    return placed;
}

std::vector<std::size_t> settingOrder(const std::vector<AttributeKey>& keys) {
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t i = 0; i + 1 < keys.size();) {
        std::size_t end = i + 1;
        while (end < keys.size() && keys[end].name == keys[i].name) ++end;
        if (end - i > 1) runs.emplace_back(i, end);
        i = end;
    }
    if (runs.empty()) return order;
    const std::vector<std::size_t> wanted = order;
    for (int tries = 0; tries < 5040; ++tries) {
        if (placeAttributes(keys, order) == wanted) return order;
        // The next order of the runs, the first run turning fastest.
        std::size_t r = 0;
        while (r < runs.size() && !std::next_permutation(order.begin() + runs[r].first,
                                                         order.begin() + runs[r].second))
            ++r;
        if (r == runs.size()) break;
    }
    return wanted;
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
                    for (Id a = firstAttribute(n); a != none; a = nextAttribute(a)) {
                        const Name& an = attributeName(a);
                        keys.push_back({std::u16string_view(an.qname),
                                        an.namespaceURI != nullptr
                                            ? std::u16string_view(an.namespaceURI)
                                            : std::u16string_view(),
                                        an.localName != nullptr ? std::u16string_view(an.localName)
                                                                : std::u16string_view(),
                                        !an.namespaced});
                        ids.push_back(a);
                    }
                    for (const std::size_t i : settingOrder(keys)) {
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
