#include "quillmark/readers/fiction_book_tree.h"

#include <vector>

#include "quillmark/package/xml_entities.h"

namespace quillmark {

std::u16string_view LocalName(std::u16string_view tagName) {
    size_t colon = tagName.rfind(u':');
    return colon == std::u16string_view::npos ? tagName : tagName.substr(colon + 1);
}

bool IsElement(const TDTXMLItem& node, std::u16string_view localName) {
    return node.Kind == ikProperty && LocalName(node.TagName) == localName;
}

TDTXMLItem* FindElement(TDTXMLItem* from, std::u16string_view localName) {
    if (!from) return nullptr;
    std::vector<TDTXMLItem*> stack{from};
    while (!stack.empty()) {
        TDTXMLItem* node = stack.back();
        stack.pop_back();
        if (IsElement(*node, localName)) return node;
        for (int i = node->Items.Count(); i-- > 0;)
            if (node->Items[i]->Kind == ikProperty) stack.push_back(node->Items[i]);
    }
    return nullptr;
}

std::u16string AttributeValue(const TDTXMLItem& from, std::u16string_view localName) {
    for (const auto& child : from.Items) {
        if (child->Kind != ikAttribute || LocalName(child->TagName) != localName) continue;
        std::u16string_view v = child->Value;
        // The engine keeps the quotes and the blank that ended the pair;
        // single quotes are as valid as double ones.
        while (!v.empty() && (v.back() == u' ' || v.back() == u'\t' || v.back() == u'\r' || v.back() == u'\n'))
            v.remove_suffix(1);
        if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return DecodeXmlEntities(v);
    }
    return {};
}

}  // namespace quillmark
