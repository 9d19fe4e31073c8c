// Character encodings of PDF text: the named simple-font encodings, glyph
// names, the CJK code pages of predefined CMaps, and text strings (document
// information, outline titles) in PDFDocEncoding or UTF-16BE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// The code-to-Unicode table of a named base encoding ("/WinAnsiEncoding",
// "/StandardEncoding", "/MacRomanEncoding", "/PDFDocEncoding"; ASCII case
// ignored, leading "/" optional), or null for any other name.
const char16_t* PdfEncodingTable(std::string_view name);

// The character a code k of the named encoding stands for: the glyph's
// Unicode character from the Latin character set, k itself as one code unit
// when the encoding is not one of the four or lacks the code. An empty
// encoding name means WinAnsi.
std::u16string PdfEncodingTableLookup(int32_t k, std::string_view encoding);

// The Unicode text of a glyph name: the Adobe glyph list, "uniXXXX" (one or
// more groups of four hex digits), "uXXXX" to "uXXXXXX", and names with a
// ".suffix" or "_"-joined components. Ligature glyphs are spelled out
// ("fi"). Empty when the name means nothing known.
std::u16string PdfGlyphNameToUnicode(std::string_view name);

// Appends one decoded character, spelling out the Latin ligatures U+FB00 to
// U+FB06 so that words keep their letters ("fi" rather than U+FB01).
void PdfAppendChar(std::u16string& out, char32_t cp);

// The Windows code page of a predefined CJK CMap name ("/GBK-EUC-H" ->
// 936, "/90ms-RKSJ-H" -> 932 ...), 0 for any other name.
int PdfCjkCodePage(std::string_view encoding);

// True for predefined CMaps whose codes are UTF-16BE / UCS-2 code units
// ("/UniGB-UCS2-H", "/UniJIS-UTF16-H" ...).
bool PdfIsUnicodeCMapName(std::string_view encoding);

// A PDF text string as text: UTF-16BE after FE FF, UTF-8 after EF BB BF,
// PDFDocEncoding otherwise.
std::u16string PdfTextString(std::string_view bytes);

}  // namespace quillmark
