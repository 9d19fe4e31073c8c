// The style model of the OpenDocument reader. In RTF and HTML the reader
// collects the automatic styles of a document's content into a TOOStyles
// list; HTML output then carries them as a CSS block, one rule per style, so
// that the class attributes of its paragraphs and spans refer to something.
// Styles change nothing else in the output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/package/xml_item.h"

namespace quillmark {

// An RGB colour as red + green * 256 + blue * 65536.
using TOOColor = uint32_t;

inline constexpr TOOColor kOOBlack = 0x000000;
inline constexpr TOOColor kOOWhite = 0xFFFFFF;

enum class TOOAlignment : unsigned char { Left, Right, Center };

enum TOOFontStyle : unsigned char { fsBold = 1, fsItalic = 2, fsUnderline = 4 };

// The parts of a font a style describes (the face name is not used).
struct TOOFont {
    int Size = 8;                 // whole points
    TOOColor Color = kOOBlack;    // the window-text colour
    unsigned char Style = 0;      // TOOFontStyle flags
    bool Has(TOOFontStyle s) const { return (Style & s) != 0; }
};

struct TOORect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TOORect&) const = default;
};

class TOOStyle {
public:
    virtual ~TOOStyle() = default;
    std::u16string StyleName;    // style:name
    std::u16string StyleFamily;  // style:family (empty for list styles)
    TOOStyle* StyleParent = nullptr;  // never set by the reader
};

// Text and paragraph styles.
class TOOStyleText : public TOOStyle {
public:
    const TOOFont& TextFont() const { return font_; }
    void SetTextFont(const TOOFont& font) { font_ = font; }
    TOOFont& Font() { return font_; }
    TOOColor Color = kOOWhite;  // background
    TOOAlignment Alignment = TOOAlignment::Left;

private:
    TOOFont font_;
};

class TOOStyleGraphic : public TOOStyle {
public:
    TOORect ClipRect;
};

// List styles; only the name is filled.
class TOOStyleNumList : public TOOStyle {
public:
    std::u16string NumPrefix, NumSufix, NumFormat;
    int SpaceBefore = 0;
    std::u16string BulletChar;
};

// An ordered list that owns its styles.
class TOOStyles {
public:
    TOOStyles() = default;
    TOOStyles(const TOOStyles&) = delete;
    TOOStyles& operator=(const TOOStyles&) = delete;
    ~TOOStyles() { ClearStyles(); }

    // Frees every style, the last first.
    void ClearStyles();
    int Count() const { return static_cast<int>(items_.size()); }
    // The style at the index, or null outside 0..Count()-1.
    TOOStyle* GetStyle(int aIndex) const;
    // The first style whose name equals the given one exactly, or null.
    TOOStyle* FindByStyleName(std::u16string_view aStyleName) const;
    void Add(std::unique_ptr<TOOStyle> style) { items_.push_back(std::move(style)); }

private:
    std::vector<std::unique_ptr<TOOStyle>> items_;
};

// "#rrggbb" to a colour; false (and the colour untouched) for anything else
// ("transparent", "inherit", "50%", a short or non-hexadecimal value).
bool ParseOOColor(std::u16string_view text, TOOColor& color);
// "#RRGGBB", upper case.
std::u16string FormatOOColor(TOOColor color);
// The whole points of a size: the leading decimal digits ("12pt" 12,
// "10.5pt" 10, "150%" 150). False when the value does not start with a
// digit or the number does not fit.
bool ParseOOFontSize(std::u16string_view text, int& points);
// "rect(top, right, bottom, left)" clips read as four runs of digits A, B,
// C, D giving left A, top B, right A + C, bottom B + D; all zeros when the
// value is not a rect().
TOORect ParseOOClip(std::u16string_view text);

// A style name as it may stand in a CSS selector and a class attribute:
// letters, digits, "-" and "_" kept, anything else "_" (names come from the
// document, and "</style>" in one must not end the style block).
std::u16string OOClassName(std::u16string_view styleName);

// One style per child of an "office:automatic-styles" node, appended.
void CollectOOStyles(TDTXMLItem& automaticStyles, TOOStyles& styles);
// The CSS block for the styles: "<style type=\"text/css\">", one rule per
// style (each rule one entry, with CR LF pairs inside it), "</style>".
std::vector<std::u16string> OOStylesCss(const TOOStyles& styles);

}  // namespace quillmark
