// The nodes of the XML engine's tree. Elements, attributes and comments are
// all nodes; a node's children are its attributes (in the order written),
// then its child elements and comments in document order.
//
// Trees can be as deep as the engine allows (see xml_engine.h); destruction
// and every search here are iterative, so no tree can overflow the stack.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

enum TDTXMLItemKind : unsigned char { ikProperty = 0, ikAttribute = 1, ikComment = 2, ikCDATA = 3 };

class TDTXMLItem;

// An ordered list that owns its nodes.
class TDTXMLItems {
public:
    TDTXMLItems() = default;
    ~TDTXMLItems() { Clear(); }
    TDTXMLItems(const TDTXMLItems&) = delete;
    TDTXMLItems& operator=(const TDTXMLItems&) = delete;

    // A new node below parentItem (Level = parent's Level + 1), appended.
    TDTXMLItem* AddItem(TDTXMLItem* parentItem);
    int Count() const { return static_cast<int>(items_.size()); }
    TDTXMLItem* operator[](int index) const { return items_.at(static_cast<size_t>(index)).get(); }
    // Frees the nodes and their subtrees, without recursion.
    void Clear();

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    friend class TDTXMLItem;
    std::vector<std::unique_ptr<TDTXMLItem>> items_;
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
