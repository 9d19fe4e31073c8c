#include "quillmark/pdf/pdf_xref.h"

#include <algorithm>

namespace quillmark {

const TDTPDFXRef* TDTPDFXRefList::GetItem(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

TDTPDFXRef* TDTPDFXRefList::GetItem(int32_t index) {
    if (index < 0 || index >= Count()) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

TDTPDFXRef* TDTPDFXRefList::AddItem(int32_t index) {
    if (index < 0 || index > kMaxPdfObjectNumber) return nullptr;
    if (index >= Count()) items_.resize(static_cast<size_t>(index) + 1);
    return &items_[static_cast<size_t>(index)];
}

int64_t TDTPDFXRefList::GetOffsetForXRef(int32_t index) const {
    const TDTPDFXRef* item = GetItem(index);
    if (!item) return -1;
    switch (item->Kind) {
        case xrkUnCompressed:
            return item->Offset;
        case xrkCompressed: {
            // Object streams are always uncompressed objects themselves; one
            // level only, so a self-referencing entry cannot loop.
            const TDTPDFXRef* stream = GetItem(item->ObjNumber);
            if (!stream || stream->Kind != xrkUnCompressed) return -1;
            return stream->Offset;
        }
        default:
            return -1;
    }
}

void TDTPDFXRefList::Clear() {
    items_.clear();
    boundaries_.clear();
}

void TDTPDFXRefList::BuildIndex(const std::vector<int64_t>& extraBoundaries) {
    boundaries_ = extraBoundaries;
    for (const TDTPDFXRef& item : items_)
        if (item.Kind == xrkUnCompressed) boundaries_.push_back(item.Offset);
    std::sort(boundaries_.begin(), boundaries_.end());
    boundaries_.erase(std::unique(boundaries_.begin(), boundaries_.end()), boundaries_.end());
}

int64_t TDTPDFXRefList::NextBoundary(int64_t offset, int64_t limit) const {
    auto it = std::upper_bound(boundaries_.begin(), boundaries_.end(), offset);
    if (it == boundaries_.end() || *it >= limit) return limit;
    return *it;
}

}  // namespace quillmark
