#include "quillmark/codepages/unicode_ranges.h"

#include <algorithm>
#include <cstring>

#include "quillmark/codepages/unicode_to_windows_tables.h"

namespace quillmark {

const TUnicodeRange UnicodeBlocks[kUnicodeBlockCount] = {
    {0x0000, 0x007F, "Basic Latin"},
    {0x0080, 0x00FF, "Latin-1 Supplement"},
    {0x0100, 0x017F, "Latin Extended-A"},
    {0x0180, 0x024F, "Latin Extended-B"},
    {0x0250, 0x02AF, "IPA Extensions"},
    {0x02B0, 0x02FF, "Spacing Modifier Letters"},
    {0x0300, 0x036F, "Combining Diacritical Marks"},
    {0x0370, 0x03FF, "Greek"},
    {0x0400, 0x04FF, "Cyrillic"},
    {0x0530, 0x058F, "Armenian"},
    {0x0590, 0x05FF, "Hebrew"},
    {0x0600, 0x06FF, "Arabic"},
    {0x0700, 0x074F, "Syriac"},
    {0x0780, 0x07BF, "Thaana"},
    {0x0900, 0x097F, "Devanagari"},
    {0x0980, 0x09FF, "Bengali"},
    {0x0A00, 0x0A7F, "Gurmukhi"},
    {0x0A80, 0x0AFF, "Gujarati"},
    {0x0B00, 0x0B7F, "Oriya"},
    {0x0B80, 0x0BFF, "Tamil"},
    {0x0C00, 0x0C7F, "Telugu"},
    {0x0C80, 0x0CFF, "Kannada"},
    {0x0D00, 0x0D7F, "Malayalam"},
    {0x0D80, 0x0DFF, "Sinhala"},
    {0x0E00, 0x0E7F, "Thai"},
    {0x0E80, 0x0EFF, "Lao"},
    {0x0F00, 0x0FFF, "Tibetan"},
    {0x1000, 0x109F, "Myanmar"},
    {0x10A0, 0x10FF, "Georgian"},
    {0x1100, 0x11FF, "Hangul Jamo"},
    {0x1200, 0x137F, "Ethiopic"},
    {0x13A0, 0x13FF, "Cherokee"},
    {0x1400, 0x167F, "Unified Canadian Aboriginal Syllabics"},
    {0x1680, 0x169F, "Ogham"},
    {0x16A0, 0x16FF, "Runic"},
    {0x1780, 0x17FF, "Khmer"},
    {0x1800, 0x18AF, "Mongolian"},
    {0x1E00, 0x1EFF, "Latin Extended Additional"},
    {0x1F00, 0x1FFF, "Greek Extended"},
    {0x2000, 0x206F, "General Punctuation"},
    {0x2070, 0x209F, "Superscripts and Subscripts"},
    {0x20A0, 0x20CF, "Currency Symbols"},
    {0x20D0, 0x20FF, "Combining Marks for Symbols"},
    {0x2100, 0x214F, "Letterlike Symbols"},
    {0x2150, 0x218F, "Number Forms"},
    {0x2190, 0x21FF, "Arrows"},
    {0x2200, 0x22FF, "Mathematical Operators"},
    {0x2300, 0x23FF, "Miscellaneous Technical"},
    {0x2400, 0x243F, "Control Pictures"},
    {0x2440, 0x245F, "Optical Character Recognition"},
    {0x2460, 0x24FF, "Enclosed Alphanumerics"},
    {0x2500, 0x257F, "Box Drawing"},
    {0x2580, 0x259F, "Block Elements"},
    {0x25A0, 0x25FF, "Geometric Shapes"},
    {0x2600, 0x26FF, "Miscellaneous Symbols"},
    {0x2700, 0x27BF, "Dingbats"},
    {0x2800, 0x28FF, "Braille Patterns"},
    {0x2E80, 0x2EFF, "CJK Radicals Supplement"},
    {0x2F00, 0x2FDF, "Kangxi Radicals"},
    {0x2FF0, 0x2FFF, "Ideographic Description Characters"},
    {0x3000, 0x303F, "CJK Symbols and Punctuation"},
    {0x3040, 0x309F, "Hiragana"},
    {0x30A0, 0x30FF, "Katakana"},
    {0x3100, 0x312F, "Bopomofo"},
    {0x3130, 0x318F, "Hangul Compatibility Jamo"},
    {0x3190, 0x319F, "Kanbun"},
    {0x31A0, 0x31BF, "Bopomofo Extended"},
    {0x3200, 0x32FF, "Enclosed CJK Letters and Months"},
    {0x3300, 0x33FF, "CJK Compatibility"},
    {0x3400, 0x4DB5, "CJK Unified Ideographs Extension A"},
    {0x4E00, 0x9FFF, "CJK Unified Ideographs"},
    {0xA000, 0xA48F, "Yi Syllables"},
    {0xA490, 0xA4CF, "Yi Radicals"},
    {0xAC00, 0xD7A3, "Hangul Syllables"},
    {0xD800, 0xDB7F, "High Surrogates"},
    {0xDB80, 0xDBFF, "High Private Use Surrogates"},
    {0xDC00, 0xDFFF, "Low Surrogates"},
    {0xE000, 0xF8FF, "Private Use"},
    {0xF900, 0xFAFF, "CJK Compatibility Ideographs"},
    {0xFB00, 0xFB4F, "Alphabetic Presentation Forms"},
    {0xFB50, 0xFDFF, "Arabic Presentation Forms-A"},
    {0xFE20, 0xFE2F, "Combining Half Marks"},
    {0xFE30, 0xFE4F, "CJK Compatibility Forms"},
    {0xFE50, 0xFE6F, "Small Form Variants"},
    {0xFE70, 0xFEFE, "Arabic Presentation Forms-B"},
    {0xFEFF, 0xFEFF, "Specials"},
    {0xFF00, 0xFFEF, "Halfwidth and Fullwidth Forms"},
    {0xFFF0, 0xFFFF, "Specials"},
};

namespace {

// Primary language (low 10 bits of a LID) -> the block of its script. Only
// languages whose script has a block other than Basic Latin are listed; the
// Latin-script languages are placed by their ANSI code page below.
struct LanguageBlock {
    uint16_t primary;
    const char* block;
};

const LanguageBlock kScriptOfLanguage[] = {
    {0x01, "Arabic"},     {0x02, "Cyrillic"},  {0x04, "CJK Unified Ideographs"},
    {0x08, "Greek"},      {0x0D, "Hebrew"},    {0x11, "Hiragana"},
    {0x12, "Hangul Syllables"}, {0x19, "Cyrillic"}, {0x1E, "Thai"},
    {0x20, "Arabic"},     {0x22, "Cyrillic"},  {0x23, "Cyrillic"},
    {0x29, "Arabic"},     {0x2B, "Armenian"},  {0x2F, "Cyrillic"},
    {0x37, "Georgian"},   {0x39, "Devanagari"}, {0x3F, "Cyrillic"},
    {0x40, "Cyrillic"},   {0x44, "Cyrillic"},  {0x45, "Bengali"},
    {0x46, "Gurmukhi"},   {0x47, "Gujarati"},  {0x48, "Oriya"},
    {0x49, "Tamil"},      {0x4A, "Telugu"},    {0x4B, "Kannada"},
    {0x4C, "Malayalam"},  {0x4E, "Devanagari"}, {0x4F, "Devanagari"},
    {0x50, "Cyrillic"},   {0x51, "Tibetan"},   {0x53, "Khmer"},
    {0x54, "Lao"},        {0x55, "Myanmar"},   {0x57, "Devanagari"},
    {0x5A, "Syriac"},     {0x5B, "Sinhala"},   {0x5C, "Cherokee"},
    {0x5D, "Unified Canadian Aboriginal Syllabics"}, {0x5E, "Ethiopic"},
    {0x61, "Devanagari"}, {0x63, "Arabic"},    {0x65, "Thaana"},
    {0x78, "Yi Syllables"}, {0x8C, "Arabic"},
};

const TUnicodeRange* FindBlock(const char* name) {
    for (const auto& b : UnicodeBlocks)
        if (std::strcmp(b.Name, name) == 0) return &b;
    return nullptr;
}

uint16_t Lookup(int codePage, uint16_t c) {
    CodePageTable t = UnicodeToWindowsTable(codePage);
    const CodePageMapping* end = t.entries + t.count;
    const CodePageMapping* it = std::lower_bound(
        t.entries, end, c, [](const CodePageMapping& m, uint16_t v) { return m.unicode < v; });
    return it != end && it->unicode == c ? it->byte : 0;
}

}  // namespace

int DefaultAnsiCodePageOfLID(uint16_t lid) {
    uint16_t primary = lid & 0x3FF;
    uint16_t sub = lid >> 10;
    switch (primary) {
        case 0x01: case 0x20: case 0x29: case 0x63: case 0x8C: return 1256;
        case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: case 0x3F: case 0x40:
        case 0x44: case 0x50: return 1251;
        case 0x04: return (sub == 0x02 || sub == 0x04) ? 936 : 950;  // PRC, Singapore: simplified
        case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x1C: case 0x24: return 1250;
        case 0x08: return 1253;
        case 0x0D: return 1255;
        case 0x11: return 932;
        case 0x12: return 949;
        case 0x1A: return sub == 0x03 || sub == 0x07 ? 1251 : 1250;  // Serbian Cyrillic
        case 0x1E: return 874;
        case 0x1F: case 0x2C: case 0x43: return 1254;
        case 0x25: case 0x26: case 0x27: return 1257;
        case 0x2A: return 1258;
        default: return 1252;
    }
}

TUnicodeRange GetUnicodeRangeByLID(uint16_t lid, uint8_t) {
    uint16_t primary = lid & 0x3FF;
    // Serbian and Azeri are written in Cyrillic under some sublanguages.
    uint16_t sub = lid >> 10;
    if ((primary == 0x1A && (sub == 0x03 || sub == 0x07)) || (primary == 0x2C && sub == 0x02))
        return *FindBlock("Cyrillic");
    for (const auto& s : kScriptOfLanguage)
        if (s.primary == primary) return *FindBlock(s.block);
    if (primary == 0x09 || primary == 0) return UnicodeBlocks[0];  // English, neutral
    switch (DefaultAnsiCodePageOfLID(lid)) {
        case 1250: case 1254: case 1257: return *FindBlock("Latin Extended-A");
        case 1258: return *FindBlock("Latin Extended Additional");
        default: return *FindBlock("Latin-1 Supplement");
    }
}

uint16_t UnicodeToWin874(uint16_t) { return 0; }
uint16_t UnicodeToWin932(uint16_t) { return 0; }
uint16_t UnicodeToWin936(uint16_t) { return 0; }
uint16_t UnicodeToWin949(uint16_t) { return 0; }
uint16_t UnicodeToWin950(uint16_t) { return 0; }
uint16_t UnicodeToWin1250(uint16_t c) { return Lookup(1250, c); }
uint16_t UnicodeToWin1251(uint16_t c) { return Lookup(1251, c); }
uint16_t UnicodeToWin1252(uint16_t c) { return Lookup(1252, c); }
uint16_t UnicodeToWin1253(uint16_t c) { return Lookup(1253, c); }
uint16_t UnicodeToWin1254(uint16_t c) { return Lookup(1254, c); }
uint16_t UnicodeToWin1255(uint16_t c) { return Lookup(1255, c); }
uint16_t UnicodeToWin1256(uint16_t c) { return Lookup(1256, c); }
uint16_t UnicodeToWin1257(uint16_t c) { return Lookup(1257, c); }

}  // namespace quillmark
