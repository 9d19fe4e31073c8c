#include "quillmark/readers/wri_runs.h"

#include "quillmark/framework/exception.h"

namespace quillmark {

TWRIRunCursor::TWRIRunCursor(std::string_view data, uint32_t firstPage, uint32_t endPage, uint32_t fcMac)
    : data_(data), fcMac_(fcMac), page_(firstPage) {
    uint64_t wholePages = data.size() / kWRIPageSize;
    endPage_ = endPage < wholePages ? endPage : static_cast<uint32_t>(wholePages);
}

std::string_view TWRIRunCursor::PageBytes(uint32_t page) const {
    return data_.substr(size_t{page} * kWRIPageSize, kWRIPageSize);
}

bool TWRIRunCursor::Covers(const TWRIRunPage& p) const {
    if (p.fcFirst > expected_) return false;
    for (size_t i = 0; i < p.Count; ++i)
        if (p.Entries[i].fcLim > expected_) return true;
    return false;
}

void TWRIRunCursor::LoadPageAt(uint32_t page) {
    // Write itself keeps the pages contiguous: each page starts where the
    // previous one ended. Files from other tools sometimes restate an
    // earlier position or leave fcFirst stale, so a page that does not start
    // at the expected position is accepted when it (or a later run page)
    // still covers that position; runs before it are skipped. Only when no
    // remaining page covers it are the runs beyond repair.
    for (uint32_t p = page; p < endPage_; ++p) {
        TWRIRunPage candidate = ParseWRIRunPage(PageBytes(p));
        if (candidate.fcFirst == expected_ || Covers(candidate)) {
            page_ = p;
            current_ = candidate;
            index_ = 0;
            loaded_ = true;
            return;
        }
    }
    throw EDamagedDocument(strFcFirstWrong);
}

bool TWRIRunCursor::Next() {
    for (;;) {
        if (expected_ >= fcMac_) return false;
        if (!loaded_ || index_ >= current_.Count) {
            LoadPageAt(loaded_ ? page_ + 1 : page_);
            continue;
        }
        const TWRIRunEntry& e = current_.Entries[index_++];
        uint32_t end = e.fcLim < fcMac_ ? e.fcLim : fcMac_;
        // A run that ends where it starts (or before) covers nothing.
        if (end <= expected_) continue;
        start_ = expected_;
        end_ = end;
        bfprop_ = e.bfprop;
        expected_ = end;
        return true;
    }
}

std::string_view TWRIRunCursor::Properties() const {
    return WRIPropertyBlock(PageBytes(page_), bfprop_);
}

}  // namespace quillmark
