// Entity decoding of XML values. The engine keeps values raw and decodes
// them when a reader asks: first a fixed table of named (and a few numeric)
// entities, each written with or without its ";", applied in table order and
// each repeated until no occurrence is left (so "&amp;lt;" ends as "<"); then
// every remaining decimal or hexadecimal character reference.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// The table step alone, in time linear in the text.
std::u16string DecodeNamedEntities(std::u16string_view text);
// "&#233;", "&#x4E2D;" (the ";" optional); code points above U+FFFF become
// surrogate pairs; references to no valid character stay as written.
std::u16string DecodeCharacterReferences(std::u16string_view text);
// Both, in that order.
std::u16string DecodeXmlEntities(std::u16string_view text);

struct TXmlEntity {
    std::u16string_view Name;         // without the ";"
    std::u16string_view Replacement;  // empty: the entity is removed
};
// The table, in the order it is applied.
const TXmlEntity* XmlEntityTable(size_t& count);

}  // namespace quillmark
