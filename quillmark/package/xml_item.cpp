#include "quillmark/package/xml_item.h"

#include "quillmark/package/xml_entities.h"
#include "quillmark/package/xml_engine.h"

namespace quillmark {

TDTXMLItem* TDTXMLItems::AddItem(TDTXMLItem* parentItem) {
    items_.push_back(std::make_unique<TDTXMLItem>(parentItem));
    return items_.back().get();
}

void TDTXMLItems::Clear() {
    // Take the subtrees apart level by level: a node is freed only once its
    // children have been moved out, so freeing never recurses. Leaves (most
    // nodes: attributes, text elements) are freed where they are.
    std::vector<std::unique_ptr<TDTXMLItem>> pending;
    auto takeChildren = [&pending](std::vector<std::unique_ptr<TDTXMLItem>>& items) {
        for (auto& child : items)
            if (!child->Items.items_.empty()) pending.push_back(std::move(child));
        items.clear();
    };
    takeChildren(items_);
    while (!pending.empty()) {
        std::unique_ptr<TDTXMLItem> node = std::move(pending.back());
        pending.pop_back();
        takeChildren(node->Items.items_);
    }
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
