#include "support/SourceTree.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <xalanc/PlatformSupport/DOMStringHelper.hpp>
#include <xalanc/PlatformSupport/XalanDOMStringAllocator.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeAttributeAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeAttributeNSAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeCommentAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElementAAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElementANSAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElementNAAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElementNANSAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeHelper.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeProcessingInstructionAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeTextAllocator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeTextIWSAllocator.hpp>

#include "value/store/DocumentStore.h"

namespace xalan = XALAN_CPP_NAMESPACE;

namespace {

const std::size_t blockSize = 4096;

// A CDATA section or an entity reference in Xalan's tree. The processor
// tells both from text only by their node type (text() selects neither,
// node() both, and an element's string value takes a CDATA section's text
// but nothing of an entity reference), so each is a text node of the tree
// that reports its own type. While the tree is linked the type reads as text:
// the tree's linking code accepts only its own four kinds of node. An entity
// reference of a document value has no children (the copy of a document
// carries no document type to resolve it), a name and an empty value, as on
// the wrapper view.
class MarkedText : public xalan::XalanSourceTreeText {
public:
    MarkedText(NodeType type, const xalan::XalanDOMString& name, const xalan::XalanDOMString& data,
               xalan::XalanSourceTreeElement* parent, xalan::XalanNode::IndexType index,
               const bool& linking)
        : XalanSourceTreeText(data, parent, nullptr, nullptr, index),
          type(type),
          name(name),
          linking(linking) {}

    NodeType getNodeType() const override { return linking ? TEXT_NODE : type; }
    const xalan::XalanDOMString& getNodeName() const override { return name; }

private:
    NodeType type;
    const xalan::XalanDOMString& name;
    const bool& linking;
};

// Memory for a tree's nodes and strings, handed out in order and given back
// all at once: a tree lives and dies whole, and a dictionary's million small
// strings would otherwise cost a million calls to the heap. Chunks grow with
// the tree; large ones ask for huge pages, since faulting in a large tree
// page by page cost a third of its build. Locked because the processor may
// allocate through a node's manager while two values sharing the tree are
// queried from two threads.
class TreeMemory : public xalan::MemoryManager {
public:
    TreeMemory() = default;
    TreeMemory(const TreeMemory&) = delete;
    TreeMemory& operator=(const TreeMemory&) = delete;
    ~TreeMemory() override {
        for (const Chunk& chunk : chunks) release(chunk);
    }
    xalan::MemoryManager* getExceptionMemoryManager() override {
        return &xalan::XalanMemMgrs::getDefaultXercesMemMgr();
    }
    void* allocate(XMLSize_t size) override {
        size = (size + alignment - 1) & ~(alignment - 1);
        const std::lock_guard<std::mutex> lock(mutex);
        if (size > left) {
            const std::size_t chunkSize = std::max(size, nextChunkSize);
            next = static_cast<char*>(newChunk(chunkSize));
            left = chunkSize;
            nextChunkSize = std::min(nextChunkSize * 2, maxChunkSize);
        }
        void* taken = next;
        next += size;
        left -= size;
        return taken;
    }
    void deallocate(void*) override {}
    std::size_t reserved() const {
        std::size_t bytes = 0;
        for (const Chunk& chunk : chunks) bytes += chunk.size;
        return bytes;
    }

private:
    struct Chunk {
        void* start;
        std::size_t size;
        bool mapped;
    };
    static constexpr std::size_t alignment = alignof(std::max_align_t);
    static constexpr std::size_t hugePage = std::size_t(2) << 20;
    static constexpr std::size_t maxChunkSize = 4 * hugePage;

    void* newChunk(std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (size % hugePage == 0) {
            // Mapped with room to align it to a huge page, the rest unmapped.
            const std::size_t span = size + hugePage;
            void* mapped =
                mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapped != MAP_FAILED) {
                const auto base = reinterpret_cast<std::uintptr_t>(mapped);
                const std::uintptr_t start = (base + hugePage - 1) & ~(hugePage - 1);
                if (start > base) munmap(mapped, start - base);
                if (start + size < base + span)
                    munmap(reinterpret_cast<void*>(start + size), base + span - start - size);
                void* chunk = reinterpret_cast<void*>(start);
                madvise(chunk, size, MADV_HUGEPAGE);
                chunks.push_back({chunk, size, true});
                return chunk;
            }
        }
#endif
        void* chunk = std::malloc(size);
        if (chunk == nullptr) throw std::bad_alloc();
        chunks.push_back({chunk, size, false});
        return chunk;
    }
    static void release(const Chunk& chunk) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (chunk.mapped) {
            munmap(chunk.start, chunk.size);
            return;
        }
#endif
        std::free(chunk.start);
    }

    std::mutex mutex;
    std::vector<Chunk> chunks;
    char* next = nullptr;
    std::size_t left = 0;
    std::size_t nextChunkSize = std::size_t(64) << 10;
};

}  // namespace

struct SourceTree::Storage {
    Storage()
        : strings(memory, blockSize),
          attributes(memory, blockSize),
          attributesNS(memory, blockSize),
          elements(memory, blockSize),
          elementsNS(memory, blockSize),
          leaves(memory, blockSize),
          leavesNS(memory, blockSize),
          texts(memory, blockSize),
          whitespace(memory, blockSize),
          comments(memory, 64),
          instructions(memory, 64) {}

    // Names repeat (element and attribute names, namespace URIs), so they
    // are kept once; values and texts are mostly distinct and are not.
    const xalan::XalanDOMString& name(std::u16string_view text) {
        auto found = names.find(text);
        if (found != names.end()) return *found->second;
        xalan::XalanDOMString* s = strings.create(text.data(), text.size());
        names.emplace(std::u16string_view(s->c_str(), s->length()), s);
        return *s;
    }
    const xalan::XalanDOMString& value(std::u16string_view text) {
        return *strings.create(text.data(), text.size());
    }

    xalan::XalanSourceTreeAttr** slots(std::size_t count) {
        if (count > slotsLeft) {
            const std::size_t size = std::max(count, blockSize);
            slotBlocks.emplace_back(new xalan::XalanSourceTreeAttr*[size]);
            slotBytes += size * sizeof(xalan::XalanSourceTreeAttr*);
            nextSlot = slotBlocks.back().get();
            slotsLeft = size;
        }
        xalan::XalanSourceTreeAttr** taken = nextSlot;
        nextSlot += count;
        slotsLeft -= count;
        return taken;
    }

    TreeMemory memory;  // first: everything below allocates from it
    xalan::XalanDOMStringAllocator strings;
    std::unordered_map<std::u16string_view, const xalan::XalanDOMString*> names;
    xalan::XalanSourceTreeAttributeAllocator attributes;
    xalan::XalanSourceTreeAttributeNSAllocator attributesNS;
    xalan::XalanSourceTreeElementAAllocator elements;
    xalan::XalanSourceTreeElementANSAllocator elementsNS;
    xalan::XalanSourceTreeElementNAAllocator leaves;  // elements without attributes
    xalan::XalanSourceTreeElementNANSAllocator leavesNS;
    xalan::XalanSourceTreeTextAllocator texts;
    xalan::XalanSourceTreeTextIWSAllocator whitespace;
    xalan::XalanSourceTreeCommentAllocator comments;
    xalan::XalanSourceTreeProcessingInstructionAllocator instructions;
    std::vector<std::unique_ptr<xalan::XalanSourceTreeAttr*[]>> slotBlocks;
    xalan::XalanSourceTreeAttr** nextSlot = nullptr;
    std::size_t slotsLeft = 0;
    std::size_t slotBytes = 0;
    std::vector<std::unique_ptr<MarkedText>> marked;  // CDATA sections, entity references
    bool linking = true;                              // until the tree is whole
};

namespace {

using Storage = SourceTree::Storage;
using Index = xalan::XalanNode::IndexType;
using Id = DocumentStore::Id;

// Makes the nodes as the tree document's factory does: the same classes,
// the same strings, and numbers in creation order starting where it starts.
// Appends them in document order: the first child through its parent, later
// ones after the last.
class TreeBuilder {
public:
    TreeBuilder(const DocumentStore& store, xalan::XalanSourceTreeDocument& tree, Storage& storage)
        : store(store), tree(tree), storage(storage) {}

    void openElement(Id e) {
        xalan::XalanSourceTreeElement* element = makeElement(e);
        append(element);
        levels.push_back({element, nullptr});
    }
    void closeElement() { levels.pop_back(); }

    void text(std::u16string_view chars) {
        xalan::XalanSourceTreeElement* parent = levels.back().element;
        if (parent == nullptr) return;  // text is never a child of the document
        if (xalan::isXMLWhitespace(chars.data(), 0, chars.size()))
            append(storage.whitespace.create(storage.value(chars), parent, nullptr, nullptr,
                                             nextIndex++));
        else
            append(
                storage.texts.create(storage.value(chars), parent, nullptr, nullptr, nextIndex++));
    }
    // A CDATA section (its name, its text) or an entity reference (its
    // name, an empty value, as on the wrapper view).
    void marked(xalan::XalanNode::NodeType type, std::u16string_view name,
                std::u16string_view data) {
        xalan::XalanSourceTreeElement* parent = levels.back().element;
        if (parent == nullptr) return;
        storage.marked.emplace_back(new MarkedText(type, storage.name(name), storage.value(data),
                                                   parent, nextIndex++, storage.linking));
        append(static_cast<xalan::XalanSourceTreeText*>(storage.marked.back().get()));
    }
    void comment(std::u16string_view data) {
        append(storage.comments.create(storage.value(data), &tree, levels.back().element, nullptr,
                                       nullptr, nextIndex++));
    }
    void instruction(std::u16string_view target, std::u16string_view data) {
        append(storage.instructions.create(storage.name(target), storage.value(data), &tree,
                                           levels.back().element, nullptr, nullptr, nextIndex++));
    }

private:
    // The tree's strings of one interned name, made on its first use.
    struct Names {
        const xalan::XalanDOMString* qname = nullptr;  // null until made
        const xalan::XalanDOMString* local = nullptr;
        const xalan::XalanDOMString* uri = nullptr;  // null: no namespace
        const xalan::XalanDOMString* prefix = nullptr;
    };

    // An element's prefix is the name before its colon or empty; an
    // attribute's is the name before its colon or the whole name.
    const Names& names(std::vector<Names>& cache, Id id, bool attribute) {
        if (id >= cache.size()) cache.resize(std::size_t(id) + 1);
        Names& made = cache[id];
        if (made.qname != nullptr) return made;
        const DocumentStore::Name& n = store.name(id);
        const std::u16string_view qname(n.qname);
        made.qname = &storage.name(qname);
        if (n.namespaceURI != nullptr && *n.namespaceURI != 0) {
            made.uri = &storage.name(n.namespaceURI);
            made.local =
                &storage.name(n.localName != nullptr ? std::u16string_view(n.localName) : qname);
            const std::size_t colon = qname.find(u':');
            made.prefix = &storage.name(colon != std::u16string_view::npos || attribute
                                            ? qname.substr(0, colon)
                                            : std::u16string_view(u""));
        }
        return made;
    }

    static bool isNamespaceDeclaration(std::u16string_view name) {
        return name == u"xmlns" || name.substr(0, 6) == u"xmlns:";
    }

    template <class Node>
    void append(Node* node) {
        Level& level = levels.back();
        if (level.element == nullptr) {
            if constexpr (!std::is_base_of_v<xalan::XalanSourceTreeText, Node>)
                tree.appendChildNode(node);
        } else if (level.lastChild == nullptr)
            level.element->appendChildNode(node);
        else
            xalan::XalanSourceTreeHelper::appendSibling(level.lastChild, node);
        level.lastChild = node;
    }

    xalan::XalanSourceTreeElement* makeElement(Id e) {
        xalan::XalanSourceTreeElement* parent = levels.back().element;
        std::size_t count = 0;
        for (Id a = store.firstAttribute(e); a != DocumentStore::none; a = store.nextAttribute(a))
            ++count;
        xalan::XalanSourceTreeAttr** slots = count != 0 ? storage.slots(count) : nullptr;
        const auto attributeCount = static_cast<xalan::XalanSize_t>(count);
        const Index index = nextIndex++;

        const Names& n = names(elementNames, store.nameIdOf(e), false);
        xalan::XalanSourceTreeElement* element;
        if (n.uri == nullptr) {
            if (count == 0)
                element = storage.leaves.create(*n.qname, &tree, parent, nullptr, nullptr, index);
            else
                element = storage.elements.create(*n.qname, &tree, slots, attributeCount, parent,
                                                  nullptr, nullptr, index);
        } else if (count == 0) {
            element = storage.leavesNS.create(*n.qname, *n.local, *n.uri, *n.prefix, &tree, parent,
                                              nullptr, nullptr, index);
        } else {
            element = storage.elementsNS.create(*n.qname, *n.local, *n.uri, *n.prefix, &tree, slots,
                                                attributeCount, parent, nullptr, nullptr, index);
        }

        // Namespace declarations come first, then the other attributes, each
        // group in the DOM's order.
        std::size_t slot = 0;
        for (const bool declarations : {true, false}) {
            for (Id a = store.firstAttribute(e); a != DocumentStore::none;
                 a = store.nextAttribute(a)) {
                if (isNamespaceDeclaration(store.attributeName(a).qname) != declarations) continue;
                slots[slot++] = makeAttribute(a, element);
            }
        }
        return element;
    }

    xalan::XalanSourceTreeAttr* makeAttribute(Id a, xalan::XalanSourceTreeElement* owner) {
        const Names& n = names(attributeNames, store.attributeNameId(a), true);
        const xalan::XalanDOMString& value = storage.value(store.attributeValue(a));
        if (n.uri == nullptr) return storage.attributes.create(*n.qname, value, owner, nextIndex++);
        return storage.attributesNS.create(*n.qname, *n.local, *n.uri, *n.prefix, value, owner,
                                           nextIndex++);
    }

    struct Level {
        xalan::XalanSourceTreeElement* element;
        xalan::XalanNode* lastChild;
    };
    const DocumentStore& store;
    xalan::XalanSourceTreeDocument& tree;
    Storage& storage;
    std::vector<Names> elementNames, attributeNames;
    std::vector<Level> levels{Level{nullptr, nullptr}};
    Index nextIndex = 2;  // the document itself is number 1
};

}  // namespace

SourceTree::SourceTree() = default;
SourceTree::~SourceTree() = default;

std::size_t SourceTree::memory() const {
    // A name's hash node holds its key, the pointer, the hash and a link.
    const std::size_t nameNode = sizeof(std::u16string_view) + 3 * sizeof(void*);
    return storage->memory.reserved() + storage->slotBytes + storage->names.size() * nameNode +
           storage->names.bucket_count() * sizeof(void*) +
           storage->marked.size() * (sizeof(MarkedText) + sizeof(void*));
}

std::unique_ptr<SourceTree> SourceTree::build(const DocumentStore& store) {
    std::unique_ptr<SourceTree> result(new SourceTree);
    result->storage.reset(new Storage);
    result->tree.reset(new xalan::XalanSourceTreeDocument(result->storage->memory));
    TreeBuilder builder(store, *result->tree, *result->storage);

    // Iterative: documents may nest deeper than the stack allows recursion.
    // Only elements have children in the DOM the store stands for.
    Id node = store.firstChild(DocumentStore::documentNode);
    while (node != DocumentStore::none) {
        bool opened = false;
        switch (store.type(node)) {
            case DocumentStore::Element:
                builder.openElement(node);
                opened = true;
                break;
            case DocumentStore::CDATA:
                builder.marked(xalan::XalanNode::CDATA_SECTION_NODE, u"#cdata-section",
                               store.value(node));
                break;
            case DocumentStore::EntityReference:
                builder.marked(xalan::XalanNode::ENTITY_REFERENCE_NODE, store.nameOf(node).qname,
                               u"");
                break;
            case DocumentStore::Text:
                builder.text(store.value(node));
                break;
            case DocumentStore::Comment:
                builder.comment(store.value(node));
                break;
            case DocumentStore::ProcessingInstruction:
                builder.instruction(store.nameOf(node).qname, store.value(node));
                break;
            default:
                break;
        }
        if (opened && store.firstChild(node) != DocumentStore::none) {
            node = store.firstChild(node);
            continue;
        }
        if (opened) builder.closeElement();
        // Climb to the next node in document order, closing finished elements.
        while (node != DocumentStore::none && store.nextSibling(node) == DocumentStore::none) {
            node = store.parent(node);
            if (node == DocumentStore::documentNode || node == DocumentStore::none) {
                node = DocumentStore::none;
                break;
            }
            builder.closeElement();
        }
        if (node != DocumentStore::none) node = store.nextSibling(node);
    }
    result->storage->linking = false;
    return result;
}
