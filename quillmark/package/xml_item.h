// The nodes of the XML engine's tree. Elements, attributes and comments are
// all nodes; a node's children are its attributes (in the order written),
// then its child elements and comments in document order.
//
// Trees can be as deep as the engine allows (see xml_engine.h); every search
// here is iterative, so no tree can overflow the stack.
//
// A tree is one TDTXMLTree: its nodes, their names, values and child lists
// all live in a few large blocks that the tree owns, so a node costs 48
// bytes plus its text and one child-list slot, and freeing a tree is a
// handful of frees, never a walk. A big document's part has millions of
// tiny elements; with a string and a vector in every node it cost about
// three times its text in heap, in millions of allocations.
//
// Nodes are made only by a tree (TDTXMLEngine holds one; TDTXMLTree can be
// used on its own), and their names and values are set through the node
// (SetTagName, SetValue, AppendValue) so the text lands in the tree's blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/framework/work_budget.h"

namespace quillmark {

// ikText nodes are made only by an engine asked to keep text runs in place
// (TDTXMLEngine::SetKeepTextRuns): one per run of character data.
enum TDTXMLItemKind : unsigned char { ikProperty = 0, ikAttribute = 1, ikComment = 2, ikCDATA = 3, ikText = 4 };

class TDTXMLItem;
class TDTXMLTree;

// A name or value held by the tree: read-only text that reads like a
// std::u16string_view (and converts to one). Empty when unset.
class TDTXMLString {
public:
    static constexpr size_t npos = std::u16string_view::npos;

    std::u16string_view view() const {
        return rec_ ? std::u16string_view(rec_->Text(), rec_->size) : std::u16string_view();
    }
    operator std::u16string_view() const { return view(); }
    std::u16string str() const { return std::u16string(view()); }

    size_t size() const { return rec_ ? rec_->size : 0; }
    size_t length() const { return size(); }
    bool empty() const { return size() == 0; }
    const char16_t* data() const { return view().data(); }
    char16_t operator[](size_t i) const { return view()[i]; }
    const char16_t* begin() const { return view().data(); }
    const char16_t* end() const { return view().data() + size(); }
    char16_t front() const { return view().front(); }
    char16_t back() const { return view().back(); }
    std::u16string_view substr(size_t pos, size_t n = npos) const { return view().substr(pos, n); }
    size_t find(char16_t c, size_t pos = 0) const { return view().find(c, pos); }
    size_t find(std::u16string_view s, size_t pos = 0) const { return view().find(s, pos); }
    bool starts_with(std::u16string_view s) const { return view().starts_with(s); }
    bool ends_with(std::u16string_view s) const { return view().ends_with(s); }

    friend bool operator==(const TDTXMLString& a, std::u16string_view b) { return a.view() == b; }
    friend bool operator==(const TDTXMLString& a, const TDTXMLString& b) { return a.view() == b.view(); }

private:
    friend class TDTXMLTree;
    friend class TDTXMLItem;
    // A record in the tree's text blocks: size and capacity, then the text.
    struct Rec {
        uint32_t size;
        uint32_t capacity;
        char16_t* Text() { return reinterpret_cast<char16_t*>(this + 1); }
        const char16_t* Text() const { return reinterpret_cast<const char16_t*>(this + 1); }
    };
    Rec* rec_ = nullptr;
};

// One entry of a child list: a pointer-like handle (get(), ->).
class TDTXMLItemRef {
public:
    explicit TDTXMLItemRef(TDTXMLItem* item) : item_(item) {}
    TDTXMLItem* get() const { return item_; }
    TDTXMLItem* operator->() const { return item_; }
    TDTXMLItem& operator*() const { return *item_; }

private:
    TDTXMLItem* item_;
};

// An ordered list of child nodes: one slot per child in the tree's blocks.
class TDTXMLItems {
public:
    // A new node below parentItem (Level = parent's Level + 1), appended.
    // parentItem must be the node this list belongs to.
    TDTXMLItem* AddItem(TDTXMLItem* parentItem);
    int Count() const { return rec_ ? static_cast<int>(rec_->count) : 0; }
    // Bounds-checked like std::vector::at.
    TDTXMLItem* operator[](int index) const;
    // Empties the list; the nodes that were in it stay in the tree's blocks,
    // unreachable, until the tree is freed or reset.
    void Clear() {
        if (rec_) rec_->count = 0;
    }

    const TDTXMLItemRef* begin() const { return rec_ ? rec_->Slots() : nullptr; }
    const TDTXMLItemRef* end() const { return rec_ ? rec_->Slots() + rec_->count : nullptr; }

private:
    friend class TDTXMLTree;
    struct Rec {
        uint32_t count;
        uint32_t capacity;
        TDTXMLItemRef* Slots() { return reinterpret_cast<TDTXMLItemRef*>(this + 1); }
        const TDTXMLItemRef* Slots() const { return reinterpret_cast<const TDTXMLItemRef*>(this + 1); }
    };
    Rec* rec_ = nullptr;
};

class TDTXMLItem {
public:
    TDTXMLItem(const TDTXMLItem&) = delete;
    TDTXMLItem& operator=(const TDTXMLItem&) = delete;

    TDTXMLItemKind Kind = ikProperty;
    int Level = 0;
    // Where this element or comment stands among its parent's text: the
    // length of the parent's Value when the node was opened. Mixed content
    // ("a <b>bold</b> word") is read back in document order by cutting the
    // parent's Value at its children's offsets. 0 for attributes.
    uint32_t ValueOffset = 0;
    // Element or attribute name as written, prefix included ("w:p"); "Comment"
    // for comments.
    TDTXMLString TagName;
    // Raw text: an element's direct text runs concatenated (entities still
    // encoded), an attribute's value with its quotes, a comment's text, a
    // text node's run.
    TDTXMLString Value;
    TDTXMLItems Items;
    TDTXMLItem* ParentItem = nullptr;

    void SetTagName(std::u16string_view name);
    void SetValue(std::u16string_view value);
    // Appends to Value; a value appended to many times grows geometrically.
    void AppendValue(std::u16string_view run);

    // Pre-order search of this node and its subtree for an exact tag name.
    // The whole subtree is searched whatever expandAllLevels says.
    TDTXMLItem* GetChild(std::u16string_view xmlTag, bool expandAllLevels = false);
    // The value without its surrounding double quotes.
    std::u16string GetTagXMLValue() const;
    // GetTagXMLValue with entities and character references decoded.
    std::u16string GetTagValue() const;

    // The tree the node belongs to.
    TDTXMLTree& Tree() const;

private:
    friend class TDTXMLTree;
    explicit TDTXMLItem(TDTXMLItem* parent) : Level(parent ? parent->Level + 1 : 0), ParentItem(parent) {}
    ~TDTXMLItem() = default;
};

// The storage of one tree. Nodes sit in aligned blocks whose header names
// the tree, so a node finds its tree without a field of its own; text and
// child lists sit in separate blocks. Nothing is freed before Reset or the
// tree's end.
class TDTXMLTree {
public:
    // The most nodes one tree may hold unless told otherwise.
    static constexpr uint64_t kDefaultMaxNodes = TWorkLimits{}.XmlNodesPerPart;

    TDTXMLTree();
    ~TDTXMLTree();
    TDTXMLTree(const TDTXMLTree&) = delete;
    TDTXMLTree& operator=(const TDTXMLTree&) = delete;

    // The top node (Level 0, no parent), made with the tree and remade by Reset.
    TDTXMLItem& Root() { return *root_; }
    // Frees every node and text and makes a fresh root.
    void Reset();

    // Past this many nodes (the root included) a new node throws ELimitError.
    void SetMaxNodes(uint64_t n) { maxNodes_ = n; }
    uint64_t MaxNodes() const { return maxNodes_; }
    uint64_t NodeCount() const { return nodeCount_; }
    // Bytes of the blocks in use (nodes, text and child lists).
    uint64_t BytesAllocated() const { return bytes_; }

private:
    friend class TDTXMLItem;
    friend class TDTXMLItems;

    TDTXMLItem* NewNode(TDTXMLItem* parent);
    void* Allocate(size_t bytes);  // 8-aligned, from the current text block
    void Release(void* record, size_t bytes);
    void Append(TDTXMLItems& list, TDTXMLItem* node);
    void Assign(TDTXMLString& s, std::u16string_view text);
    void AppendTo(TDTXMLString& s, std::u16string_view text);
    TDTXMLString::Rec* Interned(std::u16string_view name);
    void FreeAll();

    struct NodeBlock;
    std::vector<NodeBlock*> nodeBlocks_;
    std::vector<std::unique_ptr<char[]>> dataBlocks_;
    char* dataNext_ = nullptr;
    char* dataEnd_ = nullptr;
    size_t nextDataBlock_ = 0;
    std::vector<TDTXMLString::Rec*> names_;  // interned names, open addressing
    size_t namesUsed_ = 0;
    TDTXMLItem* root_ = nullptr;
    uint64_t nodeCount_ = 0;
    uint64_t maxNodes_ = kDefaultMaxNodes;
    uint64_t bytes_ = 0;
};

// Pre-order search starting with root itself; tag names compared ignoring
// ASCII letter case. With stopAt, the subtrees of nodes whose tag equals
// stopAt exactly (other than root) are not entered.
TDTXMLItem* FindItemByTag(TDTXMLItem* root, std::u16string_view xmlTag, bool caseSensitive = false,
                          std::u16string_view stopAt = {}, std::u16string_view stopAt2 = {});

}  // namespace quillmark
