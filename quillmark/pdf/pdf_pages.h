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

class TDTPDFReader;
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

class TDTPDFItems {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TDTPDFItem* GetItem(int index) const;
    TDTPDFItem* AddItem(TDTPDFItemType type);
    void Clear() { items_.clear(); }
    // Orders items top to bottom, then left to right, with tolerances of 15
    // horizontally and 5 vertically.
    void SortItems();

private:
    std::vector<std::unique_ptr<TDTPDFItem>> items_;
};

// Fonts of one page by resource name.
using TDTPDFPageFonts = std::map<std::string, TDTPDFFont*>;

// Finds a form XObject of the page by resource name ("/Fm0") for the "Do"
// operator: its decoded content and its fonts. False when the name is not a
// form (images, missing objects) or may not be entered again.
using TDTPDFFormResolver =
    std::function<bool(const std::string& name, std::string& content, TDTPDFPageFonts& fonts)>;

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

class TDTPDFPages {
public:
    explicit TDTPDFPages(TDTPDFReader* owner = nullptr) : FPDFReader(owner) {}
    int Count() const { return static_cast<int>(pages_.size()); }
    TDTPDFPage* AddPage();
    TDTPDFPage* GetPage(int index) const;
    void Clear() { pages_.clear(); }
    // Adds one page holding the text items of a decoded content stream.
    // mediaBox is the page's /MediaBox array text ("[0 0 612 792]"); fonts
    // names the page's fonts (null: the reader's fonts by name).
    void ParseContents(std::string_view strContent, std::string_view strMediaBox,
                       const TDTPDFPageFonts* fonts = nullptr, const TDTPDFFormResolver* forms = nullptr);
    // Every page after a line of 20 hyphens.
    std::u16string GetPlainText() const;
    std::u16string PlainText() const { return GetPlainText(); }

private:
    TDTPDFReader* FPDFReader;
    std::vector<std::unique_ptr<TDTPDFPage>> pages_;
};

}  // namespace quillmark
