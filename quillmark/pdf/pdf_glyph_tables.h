// Fixed glyph data of the PDF reader: the Latin character set of the four
// simple-font encodings, each encoding as a code-to-Unicode table, and the
// Adobe glyph list that names glyphs in /Differences arrays.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmark {

// One glyph of the Latin character set. The codes are the glyph's code in
// each encoding written with its octal digits read as a decimal number
// (octal 341 is stored as 341); 0 when the encoding lacks the glyph.
struct TLatinCharacter {
    const char* Name;      // standard glyph name ("Aacute")
    int32_t StdEnc;
    int32_t MacRomanEnc;
    int32_t WinAnsiEnc;
    int32_t PDFDocEnc;
    const char* Character;  // plain rendering, UTF-8 ("A" for Aacute)
    char16_t Unicode;       // the glyph's own character (U+00C1 for Aacute)
};

inline constexpr size_t kLatinCharacterCount = 227;
// Rows in the order of the standard glyph names (A, AE, Aacute ... zero).
extern const TLatinCharacter TLatinCharacterSet[kLatinCharacterCount];

// Code-to-Unicode tables of the named simple-font encodings; 0 where the
// encoding defines no glyph.
extern const char16_t kStandardEncoding[256];
extern const char16_t kMacRomanEncoding[256];
extern const char16_t kWinAnsiEncoding[256];
extern const char16_t kPDFDocEncoding[256];

struct TGlyphName {
    const char* Name;
    char16_t Unicode;
};
inline constexpr size_t kGlyphNameCount = 4281;
// Sorted by name (byte order) for binary search.
extern const TGlyphName kGlyphNames[kGlyphNameCount];

}  // namespace quillmark
