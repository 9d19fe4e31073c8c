// Adobe's CJK character collections (Adobe-Japan1, -GB1, -CNS1, -Korea1):
// the Unicode text of a CID. A composite font whose codes are CIDs of one of
// these collections and that carries no ToUnicode map is read through them,
// as the collection's published CID-to-UCS2 map reads it.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillmark {

// The text of cid in collection ("Registry-Ordering", e.g. "Adobe-Japan1");
// empty for other collections, CIDs past the collection and CIDs without
// text (.notdef).
std::u16string_view PdfCollectionText(std::string_view collection, uint32_t cid);

}  // namespace quillmark
