#include "quillmark/package/xml_item.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/package/xml_entities.h"
#include "quillmark/package/xml_engine.h"

namespace quillmark {

static_assert(sizeof(TDTXMLItem) <= 48, "an XML node should stay within 48 bytes");

namespace {

// Node blocks are aligned to their size, so masking a node's address gives
// its block, whose header names the tree.
constexpr size_t kNodeBlockBytes = size_t{1} << 16;
constexpr size_t kNodeBlockHeader = 64;
constexpr size_t kNodesPerBlock = (kNodeBlockBytes - kNodeBlockHeader) / sizeof(TDTXMLItem);
// Text and child-list blocks grow from 4 KiB to 1 MiB; a record larger than
// that gets a block of its own.
constexpr size_t kFirstDataBlock = size_t{4} << 10;
constexpr size_t kMaxDataBlock = size_t{1} << 20;
// Distinct names kept once and shared; a part with more (which no real
// document has) stores the rest with each node.
constexpr size_t kMaxInternedNames = 4096;

constexpr size_t RoundUp8(size_t n) { return (n + 7) & ~size_t{7}; }

size_t HashName(std::u16string_view s) {
    size_t h = 1469598103934665603ull;
    for (char16_t c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

}  // namespace

struct TDTXMLTree::NodeBlock {
    TDTXMLTree* tree;
    size_t used;
    TDTXMLItem* Nodes() { return reinterpret_cast<TDTXMLItem*>(reinterpret_cast<char*>(this) + kNodeBlockHeader); }
};

TDTXMLTree::TDTXMLTree() { Reset(); }

TDTXMLTree::~TDTXMLTree() { FreeAll(); }

void TDTXMLTree::FreeAll() {
    // Nodes hold nothing of their own (their text and lists are in the data
    // blocks), so the blocks are released without running through them.
    for (NodeBlock* b : nodeBlocks_) ::operator delete(b, std::align_val_t{kNodeBlockBytes});
    nodeBlocks_.clear();
    dataBlocks_.clear();
    dataNext_ = dataEnd_ = nullptr;
    nextDataBlock_ = kFirstDataBlock;
    names_.clear();
    namesUsed_ = 0;
    root_ = nullptr;
    nodeCount_ = 0;
    bytes_ = 0;
}

void TDTXMLTree::Reset() {
    FreeAll();
    root_ = NewNode(nullptr);
}

TDTXMLItem* TDTXMLTree::NewNode(TDTXMLItem* parent) {
    if (nodeCount_ >= maxNodes_)
        throw ELimitError("Limit reached: more than " + std::to_string(maxNodes_) + " XML nodes in one part");
    if (parent) ChargeWorkItems(1, "XML nodes");  // the root comes with every tree
    if (nodeBlocks_.empty() || nodeBlocks_.back()->used == kNodesPerBlock) {
        nodeBlocks_.reserve(nodeBlocks_.size() + 1);
        auto* b = static_cast<NodeBlock*>(::operator new(kNodeBlockBytes, std::align_val_t{kNodeBlockBytes}));
        b->tree = this;
        b->used = 0;
        nodeBlocks_.push_back(b);
        bytes_ += kNodeBlockBytes;
    }
    NodeBlock* b = nodeBlocks_.back();
    TDTXMLItem* node = new (b->Nodes() + b->used) TDTXMLItem(parent);
    ++b->used;
    ++nodeCount_;
    return node;
}

// A record big enough to have had a block of its own gives the block back
// when it moves, so a list of a million children does not leave its
// outgrown copies behind.
void TDTXMLTree::Release(void* record, size_t bytes) {
    if (RoundUp8(bytes) <= kMaxDataBlock / 2) return;
    for (size_t i = dataBlocks_.size(); i-- > 0;) {
        if (dataBlocks_[i].get() != record) continue;
        bytes_ -= RoundUp8(bytes);
        dataBlocks_.erase(dataBlocks_.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

void* TDTXMLTree::Allocate(size_t bytes) {
    bytes = RoundUp8(bytes);
    if (static_cast<size_t>(dataEnd_ - dataNext_) < bytes) {
        if (bytes > kMaxDataBlock / 2) {
            // A big record gets its own block; the current one stays current.
            dataBlocks_.reserve(dataBlocks_.size() + 1);
            dataBlocks_.emplace_back(new char[bytes]);
            bytes_ += bytes;
            return dataBlocks_.back().get();
        }
        size_t size = std::max(nextDataBlock_, bytes);
        nextDataBlock_ = std::min(nextDataBlock_ * 2, kMaxDataBlock);
        dataBlocks_.reserve(dataBlocks_.size() + 1);
        dataBlocks_.emplace_back(new char[size]);
        bytes_ += size;
        dataNext_ = dataBlocks_.back().get();
        dataEnd_ = dataNext_ + size;
    }
    void* p = dataNext_;
    dataNext_ += bytes;
    return p;
}

TDTXMLString::Rec* TDTXMLTree::Interned(std::u16string_view name) {
    if (names_.empty()) names_.assign(2 * kMaxInternedNames, nullptr);
    size_t mask = names_.size() - 1;
    for (size_t i = HashName(name) & mask;; i = (i + 1) & mask) {
        TDTXMLString::Rec* r = names_[i];
        if (!r) {
            if (namesUsed_ >= kMaxInternedNames) return nullptr;
            TDTXMLString s;
            Assign(s, name);
            names_[i] = s.rec_;
            ++namesUsed_;
            return s.rec_;
        }
        if (std::u16string_view(r->Text(), r->size) == name) return r;
    }
}

void TDTXMLTree::Assign(TDTXMLString& s, std::u16string_view text) {
    if (text.empty()) {
        s.rec_ = nullptr;
        return;
    }
    if (text.size() > std::numeric_limits<uint32_t>::max())
        throw ELimitError("Limit reached: an XML value of more than 4 G characters");
    auto* r = static_cast<TDTXMLString::Rec*>(Allocate(sizeof(TDTXMLString::Rec) + text.size() * 2));
    r->size = r->capacity = static_cast<uint32_t>(text.size());
    std::memcpy(r->Text(), text.data(), text.size() * 2);
    s.rec_ = r;
}

// Values are appended to run by run. A record that is the last thing in the
// current block grows in place; any other is moved with room to spare, so a
// value appended to n times is copied O(log n) times in all.
void TDTXMLTree::AppendTo(TDTXMLString& s, std::u16string_view text) {
    if (text.empty()) return;
    TDTXMLString::Rec* r = s.rec_;
    if (!r) return Assign(s, text);
    size_t need = size_t{r->size} + text.size();
    if (need > std::numeric_limits<uint32_t>::max())
        throw ELimitError("Limit reached: an XML value of more than 4 G characters");
    if (need > r->capacity) {
        char* recEnd = reinterpret_cast<char*>(r->Text()) + RoundUp8(size_t{r->capacity} * 2);
        size_t grow = RoundUp8(need * 2) - RoundUp8(size_t{r->capacity} * 2);
        if (recEnd == dataNext_ && static_cast<size_t>(dataEnd_ - dataNext_) >= grow) {
            dataNext_ += grow;
            r->capacity = static_cast<uint32_t>(RoundUp8(need * 2) / 2);
        } else {
            size_t capacity = std::min<size_t>(std::max(need, size_t{r->size} * 2), std::numeric_limits<uint32_t>::max());
            auto* moved = static_cast<TDTXMLString::Rec*>(Allocate(sizeof(TDTXMLString::Rec) + capacity * 2));
            moved->size = r->size;
            moved->capacity = static_cast<uint32_t>(capacity);
            std::memcpy(moved->Text(), r->Text(), size_t{r->size} * 2);
            Release(r, sizeof(TDTXMLString::Rec) + size_t{r->capacity} * 2);
            s.rec_ = r = moved;
        }
    }
    std::memcpy(r->Text() + r->size, text.data(), text.size() * 2);
    r->size = static_cast<uint32_t>(need);
}

// Child lists grow the same way: in place while nothing was made after them
// (a tag's attributes), else moved to a list twice the size.
void TDTXMLTree::Append(TDTXMLItems& list, TDTXMLItem* node) {
    using Rec = TDTXMLItems::Rec;
    constexpr size_t kSlot = sizeof(TDTXMLItemRef);
    Rec* r = list.rec_;
    if (!r) {
        r = static_cast<Rec*>(Allocate(sizeof(Rec) + kSlot));
        r->count = 0;
        r->capacity = 1;
        list.rec_ = r;
    } else if (r->count == r->capacity) {
        char* recEnd = reinterpret_cast<char*>(r->Slots() + r->capacity);
        size_t capacity = size_t{r->capacity} * 2;
        if (recEnd == dataNext_ && static_cast<size_t>(dataEnd_ - dataNext_) >= r->capacity * kSlot) {
            dataNext_ += r->capacity * kSlot;
        } else {
            Rec* moved = static_cast<Rec*>(Allocate(sizeof(Rec) + capacity * kSlot));
            moved->count = r->count;
            std::memcpy(static_cast<void*>(moved->Slots()), r->Slots(), r->count * kSlot);
            Release(r, sizeof(Rec) + r->capacity * kSlot);
            list.rec_ = r = moved;
        }
        r->capacity = static_cast<uint32_t>(capacity);
    }
    new (r->Slots() + r->count) TDTXMLItemRef(node);
    ++r->count;
}

TDTXMLTree& TDTXMLItem::Tree() const {
    auto block = reinterpret_cast<uintptr_t>(this) & ~(uintptr_t{kNodeBlockBytes} - 1);
    return *reinterpret_cast<TDTXMLTree::NodeBlock*>(block)->tree;
}

void TDTXMLItem::SetTagName(std::u16string_view name) {
    TDTXMLTree& tree = Tree();
    if (TDTXMLString::Rec* r = name.empty() ? nullptr : tree.Interned(name)) TagName.rec_ = r;
    else tree.Assign(TagName, name);
}

void TDTXMLItem::SetValue(std::u16string_view value) { Tree().Assign(Value, value); }

void TDTXMLItem::AppendValue(std::u16string_view run) { Tree().AppendTo(Value, run); }

TDTXMLItem* TDTXMLItems::AddItem(TDTXMLItem* parentItem) {
    TDTXMLTree& tree = parentItem->Tree();
    TDTXMLItem* node = tree.NewNode(parentItem);
    tree.Append(*this, node);
    return node;
}

TDTXMLItem* TDTXMLItems::operator[](int index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("TDTXMLItems index out of range");
    return rec_->Slots()[index].get();
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
        for (const TDTXMLItemRef* it = node->Items.end(); it != node->Items.begin();) stack.push_back((--it)->get());
    }
    return nullptr;
}

TDTXMLItem* TDTXMLItem::GetChild(std::u16string_view xmlTag, bool) {
    return FindItemByTag(this, xmlTag, true);
}

std::u16string TDTXMLItem::GetTagXMLValue() const {
    std::u16string_view s = Value;
    if (!s.empty() && s[0] == u'"') {
        while (!s.empty() && (s.back() == u'\t' || s.back() == u'\n' || s.back() == u'\r' ||
                              s.back() == u' ' || s.back() == u'"'))
            s.remove_suffix(1);
        if (!s.empty()) s.remove_prefix(1);
    }
    return std::u16string(s);
}

std::u16string TDTXMLItem::GetTagValue() const {
    std::u16string s = GetTagXMLValue();
    if (s.empty()) return s;
    return DecodeXmlEntities(s);
}

}  // namespace quillmark
