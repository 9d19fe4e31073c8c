#include "quillmark/pdf/pdf_cid_collections.h"

#include <algorithm>

#include "quillmark/pdf/pdf_cid_collections_data.h"

namespace quillmark {

std::u16string_view PdfCollectionText(std::string_view collection, uint32_t cid) {
    for (const cid_data::TCollection& c : cid_data::kCollections) {
        if (collection != c.Name) continue;
        if (cid < c.SingleCount) {
            const char16_t* unit = c.Single + cid;
            // 0 is no text; U+FFFD is what the map gives .notdef.
            if (*unit != 0 && *unit != u'\uFFFD') return {unit, 1};
        }
        const cid_data::TCidText* end = c.Long + c.LongCount;
        const cid_data::TCidText* it =
            std::lower_bound(c.Long, end, cid, [](const cid_data::TCidText& t, uint32_t v) { return t.Cid < v; });
        if (it == end || it->Cid != cid) return {};
        size_t n = 0;
        while (n < 4 && it->Text[n]) ++n;
        return {it->Text, n};
    }
    return {};
}

}  // namespace quillmark
