// The nodes of the XML engine's tree. Elements, attributes and comments are
// all nodes; a node's children are its attributes (in the order written),
// then its child elements and comments in document order.
//
// Trees can be as deep as the engine allows (see xml_engine.h); every search
// here is iterative, so no tree can overflow the stack.
//
// A tree's nodes live in a pool owned by the child list of its top node
// (the engine's root): a node's Items only refers to its children, so freeing
// the tree is one pass over the pool, never a walk down the tree and never a
// delete per node. A big document's tree has hundreds of thousands of nodes,
// and freeing them one by one was a third of the time of a Word extraction.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

enum TDTXMLItemKind : unsigned char { ikProperty = 0, ikAttribute = 1, ikComment = 2, ikCDATA = 3 };

class TDTXMLItem;
class TDTXMLNodePool;

// One entry of a child list: a pointer-like handle (get(), ->) to a node
// that the tree's pool owns.
class TDTXMLItemRef {
public:
    explicit TDTXMLItemRef(TDTXMLItem* item) : item_(item) {}
    TDTXMLItem* get() const { return item_; }
    TDTXMLItem* operator->() const { return item_; }
    TDTXMLItem& operator*() const { return *item_; }

private:
    TDTXMLItem* item_;
};

// An ordered list of child nodes. The list that a tree starts from (the one
// of a node made on its own, such as the engine's root) owns the pool that
// every node added below it comes from.
class TDTXMLItems {
public:
    TDTXMLItems();
    ~TDTXMLItems();
    TDTXMLItems(const TDTXMLItems&) = delete;
    TDTXMLItems& operator=(const TDTXMLItems&) = delete;

    // A new node below parentItem (Level = parent's Level + 1), appended.
    TDTXMLItem* AddItem(TDTXMLItem* parentItem);
    int Count() const { return static_cast<int>(items_.size()); }
    TDTXMLItem* operator[](int index) const { return items_.at(static_cast<size_t>(index)).get(); }
    // Empties the list. On the list that owns the pool this frees the whole
    // tree at once; on a list further down the nodes become unreachable and
    // are freed with the tree.
    void Clear();

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    TDTXMLNodePool& Pool();

    std::vector<TDTXMLItemRef> items_;
    TDTXMLNodePool* pool_ = nullptr;              // where new children come from
    std::unique_ptr<TDTXMLNodePool> ownPool_;     // set on the list a tree starts from
};

class TDTXMLItem {
public:
    TDTXMLItem() = default;
    explicit TDTXMLItem(TDTXMLItem* parent) : Level(parent ? parent->Level + 1 : 0), ParentItem(parent) {}
    TDTXMLItem(const TDTXMLItem&) = delete;
    TDTXMLItem& operator=(const TDTXMLItem&) = delete;

    TDTXMLItemKind Kind = ikProperty;
    // Element or attribute name as written, prefix included ("w:p"); "Comment"
    // for comments.
    std::u16string TagName;
    // Raw text: an element's direct text runs concatenated (entities still
    // encoded), an attribute's value with its quotes, a comment's text.
    std::u16string Value;
    // Where this element or comment stands among its parent's text: the
    // length of the parent's Value when the node was opened. Mixed content
    // ("a <b>bold</b> word") is read back in document order by cutting the
    // parent's Value at its children's offsets. 0 for attributes.
    size_t ValueOffset = 0;
    int Level = 0;
    TDTXMLItems Items;
    TDTXMLItem* ParentItem = nullptr;

    // Pre-order search of this node and its subtree for an exact tag name.
    // The whole subtree is searched whatever expandAllLevels says.
    TDTXMLItem* GetChild(std::u16string_view xmlTag, bool expandAllLevels = false);
    // The value without its surrounding double quotes.
    std::u16string GetTagXMLValue() const;
    // GetTagXMLValue with entities and character references decoded.
    std::u16string GetTagValue() const;
};

// Pre-order search starting with root itself; tag names compared ignoring
// ASCII letter case. With stopAt, the subtrees of nodes whose tag equals
// stopAt exactly (other than root) are not entered.
TDTXMLItem* FindItemByTag(TDTXMLItem* root, std::u16string_view xmlTag, bool caseSensitive = false,
                          std::u16string_view stopAt = {}, std::u16string_view stopAt2 = {});

}  // namespace quillmark
