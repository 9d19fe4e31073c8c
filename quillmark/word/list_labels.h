// The list label engine shared by the Word readers. Word does not store
// list labels ("1.", "a)", "2.1.3", "•") in the text: a paragraph names a
// list and a level, each level has a number format, a start value and a
// label template, and the numbers are counted while the document is read in
// order. The .docx reader (numbering.xml) and the binary reader (list and
// override tables, Word 6 autonumbering) describe their levels with
// TListLevel and count with TListCounters, so formatting, placeholder
// substitution and restarts are written once.
//
// Everything here is bounded: counters saturate, labels are capped in
// length, letters and roman numerals fall back to decimal for numbers too
// large to spell.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

inline constexpr int kListLevels = 9;
inline constexpr size_t kMaxListLabel = 256;
inline constexpr int64_t kMaxListCounter = 2000000000;

enum class TListNumberFormat : uint8_t {
    Decimal,
    UpperRoman,
    LowerRoman,
    UpperLetter,
    LowerLetter,
    Ordinal,
    DecimalZero,  // 01, 02 ... 09, 10
    Bullet,       // no number: the template is the bullet
    None,         // no number
};

// The font family a bullet character was written in: symbol fonts place
// their glyphs at U+F0xx, which only mean something in that font.
enum class TBulletFont : uint8_t { Unicode, Symbol, Wingdings };

struct TListLevel {
    bool Defined = false;
    int64_t Start = 1;
    TListNumberFormat Format = TListNumberFormat::Decimal;
    // The label template: the characters U+0000..U+0008 stand for the
    // current number of levels 0..8, every other character is itself.
    std::u16string Template;
    // What separates the label from the text: '\t', ' ' or 0 (nothing).
    char16_t Suffix = u'\t';
    // When the level starts again: -1 after any higher level is used, 0
    // never, n after a level above n (0-based levels 0..n-1) is used.
    int Restart = -1;
    // Legal numbering: every number in the label is shown in decimal.
    bool Legal = false;
    TBulletFont Font = TBulletFont::Unicode;
};

using TListLevels = std::array<TListLevel, kListLevels>;

struct TListLabel {
    std::u16string Text;
    char16_t Suffix = u'\t';
};

// The number n in a format; numbers a format cannot spell give decimal.
std::u16string FormatListNumber(int64_t n, TListNumberFormat format);

// The character a bullet of a symbol font shows as (U+F0B7 in Symbol is
// "•"); any other character of such a font becomes "•", and characters of
// ordinary fonts stay as they are.
char16_t ListBulletCharacter(char16_t c, TBulletFont font);

// The counters of one list: the current number of each level.
class TListCounters {
public:
    // Counts one paragraph at `level` (0..8) of a list whose levels are
    // `levels`: the level advances (or starts), the deeper levels restart as
    // their Restart says, and the label is composed from the template.
    // Nothing for an undefined level or an empty label.
    std::optional<TListLabel> Next(const TListLevels& levels, int level);
    // The level starts again at its next use.
    void Restart(int level);
    void RestartAll();
    // Sets the level's current number, so that its next use shows value + 1.
    void Set(int level, int64_t value);

private:
    std::array<int64_t, kListLevels> value_{};
    std::array<bool, kListLevels> set_{};
};

}  // namespace quillmark
