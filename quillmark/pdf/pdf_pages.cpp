#include "quillmark/pdf/pdf_pages.h"

#include <algorithm>
#include <cmath>

#include "quillmark/framework/work_budget.h"

namespace quillmark {

TDTPDFItem* TDTPDFItems::GetItem(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TDTPDFItem* TDTPDFItems::AddItem(TDTPDFItemType type) {
    // Millions of tiny strings in a small compressed stream must end the
    // load before they fill the memory.
    ChargeWorkItems(1, "text items");
    if (type == itText) items_.push_back(std::make_unique<TDTPDFItemText>());
    else items_.push_back(std::make_unique<TDTPDFItem>(type));
    return items_.back().get();
}

void TDTPDFItems::SortItems() {
    // The comparison is not a strict weak order (its tolerances are not
    // transitive), so a merge sort is used: it stays within the list
    // whatever the comparison answers.
    auto before = [](const std::unique_ptr<TDTPDFItem>& a, const std::unique_ptr<TDTPDFItem>& b) {
        const int kX = 15, kY = 5;
        if (std::fabs(a->Left - b->Left) <= kX && std::fabs(a->Top - b->Top) <= kY) return false;
        if (a->Top + kY < b->Top) return true;
        if (a->Left + kX >= b->Left) return false;
        return !(std::fabs(a->Top - b->Top) > kY);
    };
    std::stable_sort(items_.begin(), items_.end(), before);
}

std::u16string TDTPDFPage::GetPlainText() const {
    // Items on one line are joined by one space (none where either side
    // already has one: the text's own space and a gap are one word break);
    // lines carry no trailing blanks.
    std::u16string out;
    auto trimEnd = [&out] {
        while (!out.empty() && out.back() == u' ') out.pop_back();
    };
    double previousTop = 0;
    for (int i = 0; i < items_.Count(); ++i) {
        const TDTPDFItem* item = items_.GetItem(i);
        if (item->ItemType != itText) continue;
        const auto* t = static_cast<const TDTPDFItemText*>(item);
        if (!out.empty()) {
            if (std::fabs(previousTop - t->Top) > 5) {
                trimEnd();
                out += u"\r\n";
            } else if (!t->IsContinueBlock && !t->JoinsPrevious && out.back() != u' ' && out.back() != u'\n' &&
                       (t->Text.empty() || t->Text[0] != u' ')) {
                out += u' ';
            }
        }
        // A line starts with its first character, and a gap already written
        // absorbs the spaces an item starts with; an item of blanks alone is
        // one space.
        std::u16string_view text = t->Text;
        bool atGap = out.empty() || out.back() == u'\n' || out.back() == u' ';
        size_t lead = text.find_first_not_of(u' ');
        if (lead == std::u16string_view::npos) {
            if (!atGap && !text.empty()) out += u' ';
        } else {
            out.append(atGap ? text.substr(lead) : text);
        }
        previousTop = t->Top;
    }
    trimEnd();
    return out;
}

TDTPDFPage* TDTPDFPages::AddPage() {
    pages_.push_back(std::make_unique<TDTPDFPage>());
    return pages_.back().get();
}

TDTPDFPage* TDTPDFPages::GetPage(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return pages_[static_cast<size_t>(index)].get();
}

std::u16string TDTPDFPages::GetPlainText() const {
    std::u16string out;
    for (const auto& p : pages_) {
        out += u"\r\n--------------------\r\n";
        out += p->GetPlainText();
    }
    return out;
}

}  // namespace quillmark
