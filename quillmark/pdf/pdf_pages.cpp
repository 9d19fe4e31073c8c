#include "quillmark/pdf/pdf_pages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

TDTPDFItem* TDTPDFItems::GetItem(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    MakeObjects();
    return items_[static_cast<size_t>(index)].get();
}

TDTPDFItem* TDTPDFItems::AddItem(TDTPDFItemType type) {
    // Millions of tiny strings in a small compressed stream must end the
    // load before they fill the memory.
    ChargeWorkItems(1, "text items");
    MakeObjects();
    if (type == itText) items_.push_back(std::make_unique<TDTPDFItemText>());
    else items_.push_back(std::make_unique<TDTPDFItem>(type));
    return items_.back().get();
}

void TDTPDFItems::AddText(std::u16string_view text, std::string_view fontName, int32_t fontSize, double left,
                          double top, bool isContinueBlock, bool joinsPrevious) {
    ChargeWorkItems(1, "text items");
    if (objects_) {
        auto item = std::make_unique<TDTPDFItemText>();
        item->Text = text;
        item->FontName = fontName;
        item->FontSize = fontSize;
        item->Left = left;
        item->Top = top;
        item->IsContinueBlock = isContinueBlock;
        item->JoinsPrevious = joinsPrevious;
        items_.push_back(std::move(item));
        return;
    }
    // Spans are 32-bit: a page's text beyond 4 Gi characters is past every
    // work limit long before.
    if (text_.size() + text.size() > UINT32_MAX) throw ELimitError("Work limit reached: PDF page text too long");
    TDTPDFTextSpan s;
    s.TextStart = static_cast<uint32_t>(text_.size());
    s.TextLength = static_cast<uint32_t>(text.size());
    text_.append(text);
    auto font = fontIndex_.find(fontName);
    if (font == fontIndex_.end()) {
        font = fontIndex_.emplace(std::string(fontName), static_cast<uint32_t>(fontNames_.size())).first;
        fontNames_.emplace_back(fontName);
    }
    s.FontIndex = font->second;
    s.FontSize = fontSize;
    s.Left = left;
    s.Top = top;
    s.IsContinueBlock = isContinueBlock;
    s.JoinsPrevious = joinsPrevious;
    spans_.push_back(s);
}

std::u16string_view TDTPDFItems::TextOf(int index) const {
    if (index < 0 || index >= Count()) return {};
    if (!objects_) {
        const TDTPDFTextSpan& s = spans_[static_cast<size_t>(index)];
        return std::u16string_view(text_).substr(s.TextStart, s.TextLength);
    }
    const TDTPDFItem* item = items_[static_cast<size_t>(index)].get();
    return item->ItemType == itText ? std::u16string_view(static_cast<const TDTPDFItemText*>(item)->Text)
                                    : std::u16string_view();
}

double TDTPDFItems::TopOf(int index) const {
    if (index < 0 || index >= Count()) return 0;
    if (!objects_) return spans_[static_cast<size_t>(index)].Top;
    const TDTPDFItem* item = items_[static_cast<size_t>(index)].get();
    return item->ItemType == itText ? item->Top : 0;
}

void TDTPDFItems::MakeObjects() const {
    if (objects_) return;
    items_.reserve(spans_.size());
    for (const TDTPDFTextSpan& s : spans_) {
        auto item = std::make_unique<TDTPDFItemText>();
        item->Text = std::u16string_view(text_).substr(s.TextStart, s.TextLength);
        item->FontName = fontNames_[s.FontIndex];
        item->FontSize = s.FontSize;
        item->Left = s.Left;
        item->Top = s.Top;
        item->IsContinueBlock = s.IsContinueBlock;
        item->JoinsPrevious = s.JoinsPrevious;
        items_.push_back(std::move(item));
    }
    objects_ = true;
    auto& self = const_cast<TDTPDFItems&>(*this);
    self.spans_ = {};
    self.text_ = {};
    self.fontNames_ = {};
    self.fontIndex_ = {};
}

void TDTPDFItems::Clear() {
    items_.clear();
    spans_.clear();
    text_.clear();
    fontNames_.clear();
    fontIndex_.clear();
    objects_ = false;
}

void TDTPDFItems::SortItems() {
    // The comparison is not a strict weak order (its tolerances are not
    // transitive), so a merge sort is used: it stays within the list
    // whatever the comparison answers.
    auto before = [](const auto& a, const auto& b) {
        const int kX = 15, kY = 5;
        if (std::fabs(a.Left - b.Left) <= kX && std::fabs(a.Top - b.Top) <= kY) return false;
        if (a.Top + kY < b.Top) return true;
        if (a.Left + kX >= b.Left) return false;
        return !(std::fabs(a.Top - b.Top) > kY);
    };
    if (!objects_) {
        std::stable_sort(spans_.begin(), spans_.end(), before);
        return;
    }
    std::stable_sort(items_.begin(), items_.end(),
                     [&](const std::unique_ptr<TDTPDFItem>& a, const std::unique_ptr<TDTPDFItem>& b) {
                         return before(*a, *b);
                     });
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
    items_.ForEachText([&](std::u16string_view text, double top, bool isContinueBlock, bool joinsPrevious) {
        if (!out.empty()) {
            if (std::fabs(previousTop - top) > 5) {
                trimEnd();
                out += u"\r\n";
            } else if (!isContinueBlock && !joinsPrevious && out.back() != u' ' && out.back() != u'\n' &&
                       (text.empty() || text[0] != u' ')) {
                out += u' ';
            }
        }
        // A line starts with its first character, and a gap already written
        // absorbs the spaces an item starts with; an item of blanks alone is
        // one space.
        bool atGap = out.empty() || out.back() == u'\n' || out.back() == u' ';
        size_t lead = text.find_first_not_of(u' ');
        if (lead == std::u16string_view::npos) {
            if (!atGap && !text.empty()) out += u' ';
        } else {
            out.append(atGap ? text.substr(lead) : text);
        }
        previousTop = top;
    });
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
