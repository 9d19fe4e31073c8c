// Name lookups in a FictionBook tree. Books come with and without a
// namespace prefix on their elements ("fb:section", "section") and with
// either link prefix ("l:href", "xlink:href"), so the reader matches the
// local part of a name, exactly as written otherwise.
#pragma once

#include <string>
#include <string_view>

#include "quillmark/package/xml_item.h"

namespace quillmark {

// The name after its prefix: "section" for "fb:section".
std::u16string_view LocalName(std::u16string_view tagName);
// An element (not an attribute or comment) whose local name is localName.
bool IsElement(const TDTXMLItem& node, std::u16string_view localName);
// The first element named localName in a pre-order walk of from's subtree,
// from itself included; null when there is none (or from is null).
TDTXMLItem* FindElement(TDTXMLItem* from, std::u16string_view localName);
// The value of from's attribute with that local name, quotes removed and
// entities decoded; empty when it has none.
std::u16string AttributeValue(const TDTXMLItem& from, std::u16string_view localName);

}  // namespace quillmark
