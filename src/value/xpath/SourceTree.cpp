#include "value/xpath/SourceTree.h"

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
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/util/XMLString.hpp>

XERCES_CPP_NAMESPACE_USE
namespace xalan = XALAN_CPP_NAMESPACE;

namespace {

const XMLCh empty[] = {0};

const XMLCh* orEmpty(const XMLCh* s) { return s != nullptr ? s : empty; }

std::u16string_view view(const XMLCh* s) { return std::u16string_view(orEmpty(s)); }

bool isNamespaceDeclaration(const XMLCh* qname) {
    const std::u16string_view name = view(qname);
    return name == u"xmlns" || name.substr(0, 6) == u"xmlns:";
}

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

// Makes the nodes as the tree document's factory does: the same classes,
// the same strings, and numbers in creation order starting where it starts.
// Appends them in document order: the first child through its parent, later
// ones after the last.
class TreeBuilder {
public:
    TreeBuilder(xalan::XalanSourceTreeDocument& tree, Storage& storage)
        : tree(tree), storage(storage) {}

    void openElement(const DOMElement* e) {
        xalan::XalanSourceTreeElement* element = makeElement(e);
        append(element);
        levels.push_back({element, nullptr});
    }
    void closeElement() { levels.pop_back(); }

    void text(const XMLCh* data) {
        xalan::XalanSourceTreeElement* parent = levels.back().element;
        if (parent == nullptr) return;  // text is never a child of the document
        const std::u16string_view chars = view(data);
        if (xalan::isXMLWhitespace(chars.data(), 0, chars.size()))
            append(storage.whitespace.create(storage.value(chars), parent, nullptr, nullptr,
                                             nextIndex++));
        else
            append(
                storage.texts.create(storage.value(chars), parent, nullptr, nullptr, nextIndex++));
    }
    void marked(xalan::XalanNode::NodeType type, const DOMNode* node) {
        xalan::XalanSourceTreeElement* parent = levels.back().element;
        if (parent == nullptr) return;
        storage.marked.emplace_back(
            new MarkedText(type, storage.name(view(node->getNodeName())),
                           storage.value(type == xalan::XalanNode::ENTITY_REFERENCE_NODE
                                             ? std::u16string_view(u"")
                                             : view(node->getNodeValue())),
                           parent, nextIndex++, storage.linking));
        append(static_cast<xalan::XalanSourceTreeText*>(storage.marked.back().get()));
    }
    void comment(const XMLCh* data) {
        append(storage.comments.create(storage.value(view(data)), &tree, levels.back().element,
                                       nullptr, nullptr, nextIndex++));
    }
    void instruction(const DOMProcessingInstruction* pi) {
        append(storage.instructions.create(storage.name(view(pi->getTarget())),
                                           storage.value(view(pi->getData())), &tree,
                                           levels.back().element, nullptr, nullptr, nextIndex++));
    }

private:
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

    xalan::XalanSourceTreeElement* makeElement(const DOMElement* e) {
        xalan::XalanSourceTreeElement* parent = levels.back().element;
        const DOMNamedNodeMap* map = e->getAttributes();
        const XMLSize_t count = map != nullptr ? map->getLength() : 0;
        xalan::XalanSourceTreeAttr** slots = count != 0 ? storage.slots(count) : nullptr;
        const auto attributeCount = static_cast<xalan::XalanSize_t>(count);
        const Index index = nextIndex++;

        const std::u16string_view qname = view(e->getTagName());
        const std::u16string_view uri = view(e->getNamespaceURI());
        xalan::XalanSourceTreeElement* element;
        if (uri.empty()) {
            const xalan::XalanDOMString& tag = storage.name(qname);
            if (count == 0)
                element = storage.leaves.create(tag, &tree, parent, nullptr, nullptr, index);
            else
                element = storage.elements.create(tag, &tree, slots, attributeCount, parent,
                                                  nullptr, nullptr, index);
        } else {
            const std::size_t colon = qname.find(u':');
            const xalan::XalanDOMString& tag = storage.name(qname);
            const xalan::XalanDOMString& local = storage.name(view(e->getLocalName()));
            const xalan::XalanDOMString& space = storage.name(uri);
            const xalan::XalanDOMString& prefix =
                storage.name(colon == std::u16string_view::npos ? std::u16string_view(u"")
                                                                : qname.substr(0, colon));
            if (count == 0)
                element = storage.leavesNS.create(tag, local, space, prefix, &tree, parent, nullptr,
                                                  nullptr, index);
            else
                element =
                    storage.elementsNS.create(tag, local, space, prefix, &tree, slots,
                                              attributeCount, parent, nullptr, nullptr, index);
        }

        // Namespace declarations come first, then the other attributes, each
        // group in the DOM's order.
        std::size_t slot = 0;
        for (const bool declarations : {true, false}) {
            for (XMLSize_t i = 0; i < count; ++i) {
                const DOMNode* a = map->item(i);
                if (isNamespaceDeclaration(a->getNodeName()) != declarations) continue;
                slots[slot++] = makeAttribute(a, element);
            }
        }
        return element;
    }

    xalan::XalanSourceTreeAttr* makeAttribute(const DOMNode* a,
                                              xalan::XalanSourceTreeElement* owner) {
        const std::u16string_view qname = view(a->getNodeName());
        const std::u16string_view uri = view(a->getNamespaceURI());
        const xalan::XalanDOMString& name = storage.name(qname);
        const xalan::XalanDOMString& value = storage.value(view(a->getNodeValue()));
        if (uri.empty()) return storage.attributes.create(name, value, owner, nextIndex++);
        const XMLCh* local = a->getLocalName();
        // The prefix is the name before its colon, or the whole name.
        return storage.attributesNS.create(
            name, storage.name(local != nullptr ? view(local) : qname), storage.name(uri),
            storage.name(qname.substr(0, qname.find(u':'))), value, owner, nextIndex++);
    }

    struct Level {
        xalan::XalanSourceTreeElement* element;
        xalan::XalanNode* lastChild;
    };
    xalan::XalanSourceTreeDocument& tree;
    Storage& storage;
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

std::unique_ptr<SourceTree> SourceTree::build(const DOMDocument* document) {
    std::unique_ptr<SourceTree> result(new SourceTree);
    result->storage.reset(new Storage);
    result->tree.reset(new xalan::XalanSourceTreeDocument(result->storage->memory));
    TreeBuilder builder(*result->tree, *result->storage);

    // Iterative: documents may nest deeper than the stack allows recursion.
    const DOMNode* node = document->getFirstChild();
    while (node != nullptr) {
        bool opened = false;
        switch (node->getNodeType()) {
            case DOMNode::ELEMENT_NODE:
                builder.openElement(static_cast<const DOMElement*>(node));
                opened = true;
                break;
            case DOMNode::CDATA_SECTION_NODE:
                builder.marked(xalan::XalanNode::CDATA_SECTION_NODE, node);
                break;
            case DOMNode::ENTITY_REFERENCE_NODE:
                // Never has children in a document value's copy; one that had
                // them (its text is part of its parent's string value) stays on
                // the wrapper view.
                if (node->hasChildNodes()) return nullptr;
                builder.marked(xalan::XalanNode::ENTITY_REFERENCE_NODE, node);
                break;
            case DOMNode::TEXT_NODE:
                builder.text(node->getNodeValue());
                break;
            case DOMNode::COMMENT_NODE:
                builder.comment(node->getNodeValue());
                break;
            case DOMNode::PROCESSING_INSTRUCTION_NODE:
                builder.instruction(static_cast<const DOMProcessingInstruction*>(node));
                break;
            default:
                break;
        }
        if (opened && node->hasChildNodes()) {
            node = node->getFirstChild();
            continue;
        }
        if (opened) builder.closeElement();
        // Climb to the next node in document order, closing finished elements.
        while (node != nullptr && node->getNextSibling() == nullptr) {
            node = node->getParentNode();
            if (node == nullptr || node == document) {
                node = nullptr;
                break;
            }
            if (node->getNodeType() == DOMNode::ELEMENT_NODE) builder.closeElement();
        }
        if (node != nullptr) node = node->getNextSibling();
    }
    result->storage->linking = false;
    return result;
}
