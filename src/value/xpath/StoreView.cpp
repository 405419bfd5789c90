#include "value/xpath/StoreView.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <xalanc/PlatformSupport/DOMStringHelper.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanCDATASection.hpp>
#include <xalanc/XalanDOM/XalanComment.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanEntityReference.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanProcessingInstruction.hpp>
#include <xalanc/XalanDOM/XalanText.hpp>

#include "value/store/DocumentStore.h"

namespace xalan = XALAN_CPP_NAMESPACE;

namespace {

using Id = DocumentStore::Id;
using Store = DocumentStore;
using String = xalan::XalanDOMString;
using Node = xalan::XalanNode;
using Index = Node::IndexType;
using Size = xalan::XalanSize_t;
constexpr Id none = DocumentStore::none;

// Memory for the view's strings, handed out in order and given back all at
// once. Locked: values are made on first request, from any thread.
class Arena : public xalan::MemoryManager {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() override {
        for (void* chunk : chunks) std::free(chunk);
    }
    xalan::MemoryManager* getExceptionMemoryManager() override {
        return &xalan::XalanMemMgrs::getDefaultXercesMemMgr();
    }
    void* allocate(XMLSize_t size) override {
        size = (size + alignment - 1) & ~(alignment - 1);
        const std::lock_guard<std::mutex> lock(mutex);
        if (size > left) {
            const std::size_t chunkSize = std::max(size, nextChunkSize);
            void* chunk = std::malloc(chunkSize);
            if (chunk == nullptr) throw std::bad_alloc();
            chunks.push_back(chunk);
            bytes += chunkSize;
            next = static_cast<char*>(chunk);
            left = chunkSize;
            nextChunkSize = std::min(nextChunkSize * 2, maxChunkSize);
        }
        void* taken = next;
        next += size;
        left -= size;
        return taken;
    }
    void deallocate(void*) override {}
    std::size_t reserved() {
        const std::lock_guard<std::mutex> lock(mutex);
        return bytes;
    }

private:
    // Strings and their characters need no more; a value costs its string
    // and its characters, so every byte of rounding counts.
    static constexpr std::size_t alignment = alignof(String);
    static constexpr std::size_t maxChunkSize = std::size_t(1) << 20;
    std::mutex mutex;
    std::vector<void*> chunks;
    char* next = nullptr;
    std::size_t left = 0;
    std::size_t bytes = 0;
    std::size_t nextChunkSize = std::size_t(16) << 10;
};

// A name's strings as the query tree reports them. Elements and attributes
// without a namespace URI are the tree's level-one kinds: an element's local
// name is then its whole name and an attribute's is empty; an attribute
// with a URI but no colon has its whole name as its prefix.
struct NameStrings {
    const String* qname = nullptr;  // null until made
    const String* uri;
    const String* elementLocal;
    const String* elementPrefix;
    const String* attributeLocal;
    const String* attributePrefix;
};

// Room for any node object; the nodes of the store sit at their store ids,
// the attributes element by element.
struct alignas(8) Slot {
    unsigned char bytes[32];
};

bool isNamespaceDeclaration(std::u16string_view qname) {
    return qname == u"xmlns" || qname.substr(0, 6) == u"xmlns:";
}

// The kinds of node the tree shows as children of the document; a text
// there is not part of the tree (nor can a DOM hold one).
bool shownAtTop(Store::Type type) {
    return type == Store::Element || type == Store::Comment || type == Store::ProcessingInstruction;
}

}  // namespace

struct StoreView::Data {
    explicit Data(const DocumentStore& store) : store(store) {}

    Node* node(Id id) const {
        return id == none ? nullptr : std::launder(reinterpret_cast<Node*>(&nodes[id]));
    }
    Id nextSibling(Id id) const {
        Id next = store.nextSibling(id);
        if (store.parent(id) == Store::documentNode)
            while (next != none && !shownAtTop(store.type(next))) next = store.nextSibling(next);
        return next;
    }
    Id firstChild(Id id) const {
        const Id first = store.firstChild(id);
        if (id != Store::documentNode || first == none || shownAtTop(store.type(first)))
            return first;
        return nextSibling(first);
    }

    const String& intern(std::u16string_view text) {
        const auto found = interned.find(text);
        if (found != interned.end()) return *found->second;
        const String* made = newString(text);
        interned.emplace(std::u16string_view(made->c_str(), made->length()), made);
        return *made;
    }
    const NameStrings& name(Id nameId) {
        if (nameId >= names.size()) names.resize(std::size_t(nameId) + 1);
        NameStrings& strings = names[nameId];
        if (strings.qname != nullptr) return strings;
        const Store::Name& made = store.name(nameId);
        const std::u16string_view qname(made.qname);
        const std::u16string_view uri =
            made.namespaceURI != nullptr ? made.namespaceURI : std::u16string_view();
        strings.qname = &intern(qname);
        if (uri.empty()) {
            strings.uri = empty;
            strings.elementLocal = strings.qname;
            strings.elementPrefix = empty;
            strings.attributeLocal = empty;
            strings.attributePrefix = empty;
        } else {
            const std::size_t colon = qname.find(u':');
            strings.uri = &intern(uri);
            strings.elementLocal = &intern(made.localName != nullptr ? made.localName : u"");
            strings.elementPrefix =
                &intern(colon == std::u16string_view::npos ? u"" : qname.substr(0, colon));
            strings.attributeLocal =
                made.localName != nullptr ? &intern(made.localName) : strings.qname;
            strings.attributePrefix = &intern(qname.substr(0, colon));
        }
        return strings;
    }
    const NameStrings& nameOf(Id nameId) const { return names[nameId]; }

    // The string of a value, made from chars() on first request and kept in
    // made.
    template <class Chars>
    const String& value(std::atomic<const String*>& made, Chars chars) const {
        const String* kept = made.load(std::memory_order_acquire);
        if (kept != nullptr) return *kept;
        const std::lock_guard<std::mutex> lock(valueLock);
        kept = made.load(std::memory_order_relaxed);
        if (kept == nullptr) {
            kept = newString(chars());
            made.store(kept, std::memory_order_release);
        }
        return *kept;
    }
    const String* newString(std::u16string_view text) const {
        void* room = arena.allocate(sizeof(String));
        if (text.empty()) return new (room) String(arena);
        return new (room) String(text.data(), arena, static_cast<String::size_type>(text.size()));
    }

    const DocumentStore& store;
    mutable Arena arena;
    mutable std::mutex valueLock;
    std::unique_ptr<Slot[]> nodes;       // by store id: the document, then its nodes
    std::unique_ptr<Id[]> previous;      // by store id: the previous sibling in the tree
    std::unique_ptr<Id[]> firstOf;       // by store id, one more: each one's first attribute
    std::unique_ptr<Slot[]> attributes;  // by element's store id, each in the tree's order
    std::vector<NameStrings> names;      // by store name id
    std::unordered_map<std::u16string_view, const String*> interned;
    const String* empty = nullptr;
    const String* textName = nullptr;
    const String* cdataName = nullptr;
    const String* commentName = nullptr;
    const String* documentName = nullptr;
    xalan::XalanDocument* document = nullptr;
    xalan::XalanElement* documentElement = nullptr;
};

namespace {

using Data = StoreView::Data;

// What every node of the tree but an attribute shares: its place is read
// from the store, its number kept.
template <class Interface>
class ViewNode : public Interface {
public:
    ViewNode(const Data& view, Id id, std::uint32_t order) : view(view), id(id), order(order) {}

    Node* getParentNode() const override { return view.node(view.store.parent(id)); }
    const xalan::XalanNodeList* getChildNodes() const override {
        throw xalan::XalanDOMException(xalan::XalanDOMException::NOT_SUPPORTED_ERR);
    }
    Node* getFirstChild() const override { return nullptr; }
    Node* getLastChild() const override { return nullptr; }
    Node* getPreviousSibling() const override { return view.node(view.previous[id]); }
    Node* getNextSibling() const override { return view.node(view.nextSibling(id)); }
    const xalan::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalan::XalanDocument* getOwnerDocument() const override { return view.document; }
    const String& getNamespaceURI() const override { return *view.empty; }
    const String& getPrefix() const override { return *view.empty; }
    const String& getLocalName() const override { return *view.empty; }
    bool isIndexed() const override { return true; }
    Index getIndex() const override { return order; }

protected:
    const Data& view;
    const Id id;
    const std::uint32_t order;
};

// A node with a value of its own in the store.
template <class Interface>
class ValuedNode : public ViewNode<Interface> {
public:
    using ViewNode<Interface>::ViewNode;

    const String& getNodeValue() const override {
        return this->view.value(made, [this] { return this->view.store.value(this->id); });
    }

private:
    mutable std::atomic<const String*> made{nullptr};
};

class ViewDocument : public ViewNode<xalan::XalanDocument> {
public:
    explicit ViewDocument(const Data& view) : ViewNode(view, Store::documentNode, 1) {}

    const String& getNodeName() const override { return *view.documentName; }
    const String& getNodeValue() const override { return *view.empty; }
    NodeType getNodeType() const override { return DOCUMENT_NODE; }
    Node* getParentNode() const override { return nullptr; }
    Node* getFirstChild() const override { return view.node(view.firstChild(id)); }
    // As Xalan's own tree document reports it.
    Node* getLastChild() const override { return view.documentElement; }
    Node* getPreviousSibling() const override { return nullptr; }
    Node* getNextSibling() const override { return nullptr; }
    xalan::XalanDocument* getOwnerDocument() const override { return nullptr; }
    const String& getLocalName() const override { return *view.documentName; }
    xalan::XalanElement* getDocumentElement() const override { return view.documentElement; }
    // The tree knows IDs only from a document type, which a value never has.
    xalan::XalanElement* getElementById(const String&) const override { return nullptr; }
};

class ViewElement : public ViewNode<xalan::XalanElement>, public xalan::XalanNamedNodeMap {
public:
    ViewElement(const Data& view, Id id, std::uint32_t order) : ViewNode(view, id, order) {}

    const String& getNodeName() const override { return *name().qname; }
    const String& getNodeValue() const override { return *view.empty; }
    NodeType getNodeType() const override { return ELEMENT_NODE; }
    Node* getFirstChild() const override { return view.node(view.store.firstChild(id)); }
    Node* getLastChild() const override {
        Id last = view.store.firstChild(id);
        if (last == none) return nullptr;
        for (Id next = view.store.nextSibling(last); next != none;
             next = view.store.nextSibling(next))
            last = next;
        return view.node(last);
    }
    const xalan::XalanNamedNodeMap* getAttributes() const override { return this; }
    const String& getNamespaceURI() const override { return *name().uri; }
    const String& getPrefix() const override { return *name().elementPrefix; }
    const String& getLocalName() const override { return *name().elementLocal; }
    const String& getTagName() const override { return *name().qname; }

    Node* item(Size index) const override {
        const Id first = view.firstOf[id];
        return index < view.firstOf[id + 1] - first
                   ? std::launder(reinterpret_cast<Node*>(&view.attributes[first + index]))
                   : nullptr;
    }
    Size getLength() const override { return view.firstOf[id + 1] - view.firstOf[id]; }
    Node* getNamedItem(const String& name) const override {
        const Size count = getLength();
        for (Size i = 0; i < count; ++i)
            if (item(i)->getNodeName() == name) return item(i);
        return nullptr;
    }
    Node* getNamedItemNS(const String& uri, const String& localName) const override {
        const Size count = getLength();
        for (Size i = 0; i < count; ++i)
            if (item(i)->getLocalName() == localName && item(i)->getNamespaceURI() == uri)
                return item(i);
        return nullptr;
    }

    Index number() const { return order; }

private:
    const NameStrings& name() const { return view.nameOf(view.store.nameIdOf(id)); }
};

class ViewText : public ValuedNode<xalan::XalanText> {
public:
    using ValuedNode::ValuedNode;

    const String& getNodeName() const override { return *view.textName; }
    NodeType getNodeType() const override { return TEXT_NODE; }
    const String& getData() const override { return getNodeValue(); }
    // The tree keeps a text of XML white space alone as a kind of its own.
    bool isWhitespace() const override {
        const std::u16string_view chars = view.store.value(id);
        return xalan::isXMLWhitespace(chars.data(), 0,
                                      static_cast<String::size_type>(chars.size()));
    }
};

// CDATA sections and entity references are each a node of their own type,
// as in Xalan's own tree; an entity reference has a name, no children and an
// empty value.
class ViewCDATA : public ValuedNode<xalan::XalanCDATASection> {
public:
    using ValuedNode::ValuedNode;

    const String& getNodeName() const override { return *view.cdataName; }
    NodeType getNodeType() const override { return CDATA_SECTION_NODE; }
    const String& getData() const override { return getNodeValue(); }
    bool isWhitespace() const override { return false; }
};

class ViewEntityReference : public ViewNode<xalan::XalanEntityReference> {
public:
    using ViewNode::ViewNode;

    const String& getNodeName() const override {
        return *view.nameOf(view.store.nameIdOf(id)).qname;
    }
    const String& getNodeValue() const override { return *view.empty; }
    NodeType getNodeType() const override { return ENTITY_REFERENCE_NODE; }
};

class ViewComment : public ValuedNode<xalan::XalanComment> {
public:
    using ValuedNode::ValuedNode;

    const String& getNodeName() const override { return *view.commentName; }
    NodeType getNodeType() const override { return COMMENT_NODE; }
    const String& getData() const override { return getNodeValue(); }
};

class ViewInstruction : public ValuedNode<xalan::XalanProcessingInstruction> {
public:
    using ValuedNode::ValuedNode;

    const String& getNodeName() const override { return getTarget(); }
    NodeType getNodeType() const override { return PROCESSING_INSTRUCTION_NODE; }
    const String& getTarget() const override { return *view.nameOf(view.store.nameIdOf(id)).qname; }
    const String& getData() const override { return getNodeValue(); }
};

// An attribute: its store id and its element's. Its number follows its
// element's, in the order of the element's attributes.
class ViewAttr : public xalan::XalanAttr {
public:
    ViewAttr(const Data& view, Id attribute, Id element)
        : view(view), attribute(attribute), element(element) {}

    const String& getNodeName() const override { return *name().qname; }
    const String& getNodeValue() const override {
        return view.value(made, [this] { return view.store.attributeValue(attribute); });
    }
    NodeType getNodeType() const override { return ATTRIBUTE_NODE; }
    Node* getParentNode() const override { return nullptr; }
    const xalan::XalanNodeList* getChildNodes() const override { return nullptr; }
    Node* getFirstChild() const override { return nullptr; }
    Node* getLastChild() const override { return nullptr; }
    Node* getPreviousSibling() const override { return nullptr; }
    Node* getNextSibling() const override { return nullptr; }
    const xalan::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalan::XalanDocument* getOwnerDocument() const override { return view.document; }
    const String& getNamespaceURI() const override { return *name().uri; }
    const String& getPrefix() const override { return *name().attributePrefix; }
    const String& getLocalName() const override { return *name().attributeLocal; }
    bool isIndexed() const override { return true; }
    Index getIndex() const override {
        const Slot* self = reinterpret_cast<const Slot*>(this);
        return owner()->number() + 1 + Index(self - &view.attributes[view.firstOf[element]]);
    }
    const String& getName() const override { return getNodeName(); }
    const String& getValue() const override { return getNodeValue(); }
    xalan::XalanElement* getOwnerElement() const override { return owner(); }

private:
    const NameStrings& name() const { return view.nameOf(view.store.attributeNameId(attribute)); }
    ViewElement* owner() const {
        return std::launder(reinterpret_cast<ViewElement*>(&view.nodes[element]));
    }

    const Data& view;
    const Id attribute;
    const Id element;
    mutable std::atomic<const String*> made{nullptr};
};

// Places a node object in its slot. The tree reaches it through a pointer to
// the slot, so its node interface must start there (its first base).
template <class T, class... Args>
T* place(Slot& slot, Args&&... args) {
    static_assert(sizeof(T) <= sizeof(Slot) && alignof(T) <= alignof(Slot), "a node fits its slot");
    T* made = new (&slot) T(std::forward<Args>(args)...);
    if (static_cast<void*>(static_cast<Node*>(made)) != static_cast<void*>(&slot))
        throw std::logic_error("a node interface away from its object's start");
    return made;
}

}  // namespace

StoreView::StoreView() = default;
StoreView::~StoreView() = default;

xalan::XalanDocument& StoreView::document() { return *data->document; }

std::size_t StoreView::memory() const {
    const std::size_t nodeCount = data->store.nodeCount();
    const std::size_t attributeCount = data->store.attributeCount();
    // A name's hash node holds its key, the pointer, the hash and a link.
    const std::size_t nameNode = sizeof(std::u16string_view) + 3 * sizeof(void*);
    return sizeof(Data) + nodeCount * (sizeof(Slot) + sizeof(Id)) + (nodeCount + 1) * sizeof(Id) +
           attributeCount * sizeof(Slot) + data->arena.reserved() +
           data->names.capacity() * sizeof(NameStrings) + data->interned.size() * nameNode +
           data->interned.bucket_count() * sizeof(void*);
}

std::unique_ptr<StoreView> StoreView::build(const DocumentStore& store) {
    const std::uint32_t nodeCount = store.nodeCount();
    const std::uint32_t attributeCount = store.attributeCount();
    // Numbers start at 2 after the document's 1.
    if (std::uint64_t(nodeCount) + attributeCount + 2 > 0xFFFFFFFFu) throw std::bad_alloc();

    std::unique_ptr<StoreView> result(new StoreView);
    result->data.reset(new Data(store));
    Data& view = *result->data;
    view.empty = &view.intern(u"");
    view.textName = &view.intern(u"#text");
    view.cdataName = &view.intern(u"#cdata-section");
    view.commentName = &view.intern(u"#comment");
    view.documentName = &view.intern(u"#document");
    view.nodes.reset(new Slot[nodeCount]);
    view.previous.reset(new Id[nodeCount]);
    view.firstOf.reset(new Id[std::size_t(nodeCount) + 1]);
    view.document = place<ViewDocument>(view.nodes[Store::documentNode], view);

    // One walk in document order, without recursion: the objects, their
    // numbers and previous siblings. An element's attributes take the numbers
    // after its own.
    std::vector<bool> shown(nodeCount);
    std::uint32_t order = 2;
    Id previous = none;
    Id n = view.firstChild(Store::documentNode);
    while (n != none) {
        Slot& slot = view.nodes[n];
        const Store::Type type = store.type(n);
        switch (type) {
            case Store::Element: {
                if (store.parent(n) == Store::documentNode) {
                    // As the tree document refuses a second element.
                    if (view.documentElement != nullptr)
                        throw xalan::XalanDOMException(
                            xalan::XalanDOMException::HIERARCHY_REQUEST_ERR);
                    view.documentElement = place<ViewElement>(slot, view, n, order);
                } else {
                    place<ViewElement>(slot, view, n, order);
                }
                ++order;
                view.name(store.nameIdOf(n));
                for (Id a = store.firstAttribute(n); a != none; a = store.nextAttribute(a)) {
                    view.name(store.attributeNameId(a));
                    ++order;
                }
                break;
            }
            case Store::Text:
                place<ViewText>(slot, view, n, order++);
                break;
            case Store::CDATA:
                place<ViewCDATA>(slot, view, n, order++);
                break;
            case Store::EntityReference:
                if (store.firstChild(n) != none) return nullptr;
                view.name(store.nameIdOf(n));
                place<ViewEntityReference>(slot, view, n, order++);
                break;
            case Store::Comment:
                place<ViewComment>(slot, view, n, order++);
                break;
            case Store::ProcessingInstruction:
                view.name(store.nameIdOf(n));
                place<ViewInstruction>(slot, view, n, order++);
                break;
            default:
                throw std::logic_error("a document node inside the document");
        }
        shown[n] = true;
        view.previous[n] = previous;
        if (type == Store::Element && store.firstChild(n) != none) {
            previous = none;
            n = store.firstChild(n);
            continue;
        }
        // Climb to the next node in document order.
        for (;;) {
            const Id next = view.nextSibling(n);
            if (next != none) {
                previous = n;
                n = next;
                break;
            }
            n = store.parent(n);
            if (n == Store::documentNode || n == none) {
                n = none;
                break;
            }
        }
    }

    // The attributes, element by element: namespace declarations first, then
    // the others, each group in the store's order, as Xalan's own tree orders them.
    view.attributes.reset(new Slot[attributeCount]);
    Id position = 0;
    for (Id e = 0; e < nodeCount; ++e) {
        view.firstOf[e] = position;
        if (!shown[e] || store.type(e) != Store::Element) continue;
        for (const bool declarations : {true, false}) {
            for (Id a = store.firstAttribute(e); a != none; a = store.nextAttribute(a)) {
                if (isNamespaceDeclaration(store.attributeName(a).qname) != declarations) continue;
                if (position == attributeCount) throw std::logic_error("an attribute held twice");
                place<ViewAttr>(view.attributes[position++], view, a, e);
            }
        }
    }
    view.firstOf[nodeCount] = position;
    return result;
}
