#include "quillmark/package/xml_item.h"

#include <algorithm>
#include <new>

#include "quillmark/framework/work_budget.h"
#include "quillmark/package/xml_entities.h"
#include "quillmark/package/xml_engine.h"

namespace quillmark {

// Nodes in blocks that grow geometrically up to kMaxBlock nodes, so a small
// document costs a few allocations and a big one about one per thousand
// nodes. Nodes are built in place and destroyed block by block, newest first.
class TDTXMLNodePool {
public:
    TDTXMLNodePool() = default;
    TDTXMLNodePool(const TDTXMLNodePool&) = delete;
    TDTXMLNodePool& operator=(const TDTXMLNodePool&) = delete;
    ~TDTXMLNodePool() { Reset(); }

    TDTXMLItem* New(TDTXMLItem* parent) {
        if (blocks_.empty() || blocks_.back().used == blocks_.back().capacity) {
            size_t capacity = blocks_.empty() ? kFirstBlock
                                              : std::min(blocks_.back().capacity * 2, kMaxBlock);
            blocks_.push_back(Block{static_cast<TDTXMLItem*>(::operator new(
                                        capacity * sizeof(TDTXMLItem), std::align_val_t{alignof(TDTXMLItem)})),
                                    0, capacity});
        }
        Block& b = blocks_.back();
        TDTXMLItem* node = new (b.nodes + b.used) TDTXMLItem(parent);
        ++b.used;
        return node;
    }

    // Destroys every node. A node's destructor only frees its own strings
    // and child list (which refers to, never owns, the children).
    void Reset() {
        while (!blocks_.empty()) {
            Block& b = blocks_.back();
            while (b.used > 0) b.nodes[--b.used].~TDTXMLItem();
            ::operator delete(b.nodes, std::align_val_t{alignof(TDTXMLItem)});
            blocks_.pop_back();
        }
    }

private:
    static constexpr size_t kFirstBlock = 16;
    static constexpr size_t kMaxBlock = 4096;
    struct Block {
        TDTXMLItem* nodes;
        size_t used;
        size_t capacity;
    };
    std::vector<Block> blocks_;
};

TDTXMLItems::TDTXMLItems() = default;
TDTXMLItems::~TDTXMLItems() = default;

TDTXMLNodePool& TDTXMLItems::Pool() {
    if (!pool_) {
        ownPool_ = std::make_unique<TDTXMLNodePool>();
        pool_ = ownPool_.get();
    }
    return *pool_;
}

TDTXMLItem* TDTXMLItems::AddItem(TDTXMLItem* parentItem) {
    TDTXMLNodePool& pool = Pool();
    ChargeWorkItems(1, "XML nodes");
    TDTXMLItem* node = pool.New(parentItem);
    node->Items.pool_ = &pool;
    items_.emplace_back(node);
    return node;
}

void TDTXMLItems::Clear() {
    items_.clear();
    if (ownPool_) ownPool_->Reset();
}

TDTXMLItem* FindItemByTag(TDTXMLItem* root, std::u16string_view xmlTag, bool caseSensitive,
                          std::u16string_view stopAt, std::u16string_view stopAt2) {
    if (!root) return nullptr;
    std::vector<TDTXMLItem*> stack{root};
    while (!stack.empty()) {
        TDTXMLItem* node = stack.back();
        stack.pop_back();
        if (SameStrings(caseSensitive, node->TagName, xmlTag)) return node;
        if (node != root && ((!stopAt.empty() && node->TagName == stopAt) ||
                             (!stopAt2.empty() && node->TagName == stopAt2)))
            continue;
        const auto& items = node->Items;
        for (int i = items.Count(); i-- > 0;) stack.push_back(items[i]);
    }
    return nullptr;
}

TDTXMLItem* TDTXMLItem::GetChild(std::u16string_view xmlTag, bool) {
    return FindItemByTag(this, xmlTag, true);
}

std::u16string TDTXMLItem::GetTagXMLValue() const {
    std::u16string s = Value;
    if (!s.empty() && s[0] == u'"') {
        while (!s.empty() && (s.back() == u'\t' || s.back() == u'\n' || s.back() == u'\r' ||
                              s.back() == u' ' || s.back() == u'"'))
            s.pop_back();
        if (!s.empty()) s.erase(0, 1);
    }
    return s;
}

std::u16string TDTXMLItem::GetTagValue() const {
    std::u16string s = GetTagXMLValue();
    if (s.empty()) return s;
    return DecodeXmlEntities(s);
}

}  // namespace quillmark
