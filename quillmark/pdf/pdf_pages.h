// Pages of a PDF document as positioned text items, and the plain text of a
// page: items joined in content order, a line break wherever the vertical
// position changes by more than a few points.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TDTPDFFonts;
class TDTPDFFont;

enum TDTPDFItemType : unsigned char { itUnknown = 0, itText = 1, itImage = 2, itLine = 3 };

class TDTPDFItem {
public:
    explicit TDTPDFItem(TDTPDFItemType type = itUnknown) : ItemType(type) {}
    virtual ~TDTPDFItem() = default;
    TDTPDFItemType ItemType;
    std::string FontName;  // resource name with its "/"
    int32_t FontSize = 0;
    double Left = 0;
    double Top = 0;  // grows downwards from the top edge of the page
};

class TDTPDFItemText : public TDTPDFItem {
public:
    TDTPDFItemText() : TDTPDFItem(itText) {}
    std::u16string Text;
    bool IsContinueBlock = false;  // not the first item of its text object
    // Starts a text object where the previous item ended on its line: the
    // same word goes on (glyphs placed one text object each).
    bool JoinsPrevious = false;
};

// A text item as the content parser keeps it: its characters are a span of
// the list's one text buffer and its font name an index into the list's
// names, so an item costs a few dozen bytes and no allocation of its own.
struct TDTPDFTextSpan {
    uint32_t TextStart = 0, TextLength = 0;
    uint32_t FontIndex = 0;
    int32_t FontSize = 0;
    double Left = 0, Top = 0;
    bool IsContinueBlock = false;
    bool JoinsPrevious = false;
};

// The items of a page. Pages read from a file hold their text items as spans
// (AddText); the first call of GetItem or AddItem turns them into item
// objects, which callers may then change through the pointers they get.
class TDTPDFItems {
public:
    int Count() const { return static_cast<int>(objects_ ? items_.size() : spans_.size()); }
    TDTPDFItem* GetItem(int index) const;
    TDTPDFItem* AddItem(TDTPDFItemType type);
    void Clear();
    // Orders items top to bottom, then left to right, with tolerances of 15
    // horizontally and 5 vertically.
    void SortItems();

    // Appends a text item without making an object of it.
    void AddText(std::u16string_view text, std::string_view fontName, int32_t fontSize, double left, double top,
                 bool isContinueBlock, bool joinsPrevious);
    // Text, top and flags of every text item in order, for whichever form
    // the list is in: visit(text, top, isContinueBlock, joinsPrevious).
    template <class Visit>
    void ForEachText(Visit&& visit) const;
    // The text and top of a text item by index (empty text and 0 for other
    // items and out of range).
    std::u16string_view TextOf(int index) const;
    double TopOf(int index) const;

private:
    void MakeObjects() const;

    // Spans, until a caller asks for objects.
    std::vector<TDTPDFTextSpan> spans_;
    std::u16string text_;
    std::vector<std::string> fontNames_;
    std::map<std::string, uint32_t, std::less<>> fontIndex_;
    // Objects, once asked for.
    mutable bool objects_ = false;
    mutable std::vector<std::unique_ptr<TDTPDFItem>> items_;
};

template <class Visit>
void TDTPDFItems::ForEachText(Visit&& visit) const {
    if (!objects_) {
        for (const TDTPDFTextSpan& s : spans_)
            visit(std::u16string_view(text_).substr(s.TextStart, s.TextLength), s.Top, s.IsContinueBlock,
                  s.JoinsPrevious);
        return;
    }
    for (const auto& item : items_) {
        if (item->ItemType != itText) continue;
        const auto* t = static_cast<const TDTPDFItemText*>(item.get());
        visit(std::u16string_view(t->Text), t->Top, t->IsContinueBlock, t->JoinsPrevious);
    }
}

// Fonts of one page by resource name.
using TDTPDFPageFonts = std::map<std::string, TDTPDFFont*>;

// Finds a form XObject of the page by resource name ("/Fm0") for the "Do"
// operator: its decoded content and its fonts. False when the name is not a
// form (images, missing objects) or may not be entered again.
using TDTPDFFormResolver =
    std::function<bool(const std::string& name, std::shared_ptr<const std::string>& content, TDTPDFPageFonts& fonts)>;

class TDTPDFPage {
public:
    int32_t Left = 0, Top = 0, Width = 1224, Height = 792;
    TDTPDFItems& Items() { return items_; }
    const TDTPDFItems& Items() const { return items_; }
    std::u16string GetPlainText() const;
    std::u16string PlainText() const { return GetPlainText(); }

private:
    TDTPDFItems items_;
};

// A page's /MediaBox: up to four numbers (left, bottom, right, top as the
// file gives them); Count says how many the file gave.
struct TDTPDFMediaBox {
    double Values[4] = {0, 0, 0, 0};
    int Count = 0;
};

class TDTPDFPages {
public:
    // documentFonts: the document's fonts, looked up by resource name for
    // content that comes without a font list of its own.
    explicit TDTPDFPages(const TDTPDFFonts* documentFonts = nullptr) : documentFonts_(documentFonts) {}
    int Count() const { return static_cast<int>(pages_.size()); }
    TDTPDFPage* AddPage();
    TDTPDFPage* GetPage(int index) const;
    void Clear() { pages_.clear(); }
    // Adds one page holding the text items of a decoded content stream.
    // mediaBox is the page's /MediaBox array text ("[0 0 612 792]"); fonts
    // names the page's fonts (null: the document's fonts by name).
    void ParseContents(std::string_view strContent, std::string_view strMediaBox,
                       const TDTPDFPageFonts* fonts = nullptr, const TDTPDFFormResolver* forms = nullptr);
    // The same with the media box already read.
    void ParseContents(std::string_view strContent, const TDTPDFMediaBox& mediaBox,
                       const TDTPDFPageFonts* fonts = nullptr, const TDTPDFFormResolver* forms = nullptr);
    // Every page after a line of 20 hyphens.
    std::u16string GetPlainText() const;
    std::u16string PlainText() const { return GetPlainText(); }

private:
    const TDTPDFFonts* documentFonts_;
    std::vector<std::unique_ptr<TDTPDFPage>> pages_;
};

}  // namespace quillmark
