// Text-level lookups on PDF objects. The PDF reader does not build an object
// tree: an object is its raw bytes, and a key's value is found by searching a
// lower-cased copy of those bytes. These rules (first occurrence wins, which
// characters end a value, which words end a body) are shared by every part of
// the reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// ASCII lower-casing; the length is unchanged, so positions found in the
// lower-cased copy are valid in the original.
std::string PdfLower(std::string_view text);

// The character classes of the PDF syntax, by byte: the lexers ask for
// every byte of every content stream, so the answer is one table lookup.
namespace pdf_chars {
enum : unsigned char { kWhite = 1, kDelimiter = 2 };
constexpr auto kClasses = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned char c : {' ', '\n', '\r', '\t', '\f', '\0'}) t[c] = kWhite;
    for (unsigned char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) t[c] = kDelimiter;
    return t;
}();
}  // namespace pdf_chars

// PDF white space (NUL, TAB, LF, FF, CR, space).
inline bool PdfIsWhite(char c) {
    return pdf_chars::kClasses[static_cast<unsigned char>(c)] == pdf_chars::kWhite;
}
// PDF delimiters: ( ) < > [ ] { } / %.
inline bool PdfIsDelimiter(char c) {
    return pdf_chars::kClasses[static_cast<unsigned char>(c)] == pdf_chars::kDelimiter;
}
// A regular character, one that can continue a name, number or keyword:
// neither white space nor a delimiter.
inline bool PdfIsRegular(char c) { return pdf_chars::kClasses[static_cast<unsigned char>(c)] == 0; }

// Position of the first occurrence of key in text at or after from that is a
// whole key: the character after it is not a regular name character (so
// "/length" does not match "/length1", nor "/w" "/widths"). npos when none.
size_t PdfFindKey(std::string_view text, std::string_view key, size_t from = 0);

// Value rule: the value after key (lower-case key, lower-cased text).
// Leading " ", "0" and "[" are skipped; the value ends before TAB, LF, CR,
// space, "/", "]", "<<" or ">>" (not inside a "(...)" string); the first
// character is always taken, so a name keeps its "/". Missing key: "".
std::string PdfValue(std::string_view text, std::string_view key);

// Bracket rule: for array-valued keys (/W, /Index, /Kids, /Contents ...):
// the inside of the "[...]" after key when the "[" comes before the end of
// the value, otherwise the text up to the next "/" or ">>".
std::string PdfBracketValue(std::string_view text, std::string_view key);

// The reader's own lookups in dictionaries it reads itself (stream,
// cross-reference and trailer dictionaries): key found only among the
// entries of the outermost dictionary of text (from its first "<<"), so a
// key of a nested dictionary (/Length inside /DecodeParms), or key-like
// text inside a string or an array, never matches. Text without "<<" is
// searched as one dictionary. npos when none.
size_t PdfFindEntryKey(std::string_view text, std::string_view key);
// The value rule and the bracket rule with the key found that way.
std::string PdfEntryValue(std::string_view text, std::string_view key);
std::string PdfEntryBracketValue(std::string_view text, std::string_view key);

// Reference rule: finds the next "N 0 R" (or generation 1) in text. On
// success sets objNumber and removes everything through the "R" from text,
// so repeated calls walk an array of references. A "/" before the reference
// means there is none.
bool PdfNextReference(std::string& text, int32_t& objNumber);
// Cursor form for long arrays: searches from pos and advances it past the
// "R" (to the end when there is no further reference).
bool PdfNextReference(std::string_view text, size_t& pos, int32_t& objNumber);

// GetRefBody: the text after key up to the next section end ("%%",
// "startxref", "trailer"; or through "endobj"), with the line-space
// characters around it removed. fromEnd: take the last occurrence that
// starts the text or a line.
std::string GetRefBody(std::string_view text, std::string_view key, bool fromEnd);

// The last occurrence of key in text that starts the text or a line; npos
// when none.
size_t PdfFindLastAtLineStart(std::string_view text, std::string_view key);

// GetItemType: the /Type value of an object text (e.g. "/catalog").
std::string GetItemType(std::string_view text);

// GetLastLine: walks back from the end of text over at most maxLength + 1
// characters (maxLength <= 0: the whole text), skips trailing line-space
// characters and returns the characters before them up to the previous
// line-space character. With deleteLine, removes what was walked.
std::string GetLastLine(std::string& text, int32_t maxLength, bool deleteLine);

// text without PDF white space at either end.
std::string_view PdfTrim(std::string_view text);

// Reads the run of decimal digits at text[pos] and moves pos past it; false
// (pos unchanged) when there is none. Large values saturate.
bool PdfReadDigits(std::string_view text, size_t& pos, int64_t& value);

// Integer value of a decimal text ("" or non-numeric: def). Tolerates a sign
// and surrounding white space; saturates instead of overflowing.
int64_t PdfToInt(std::string_view text, int64_t def = 0);
// Strict form: false when text is not an integer.
bool PdfTryToInt(std::string_view text, int64_t& value);

// Matches an indirect object header "N G obj" at s[pos]; after gets the
// position just past "obj".
bool PdfMatchObjectHeader(std::string_view s, size_t pos, size_t& after);

// Decodes one PDF string token at the start of text ("(...)" literal with
// escapes or "<...>" hex); used for /ID. Returns the bytes; consumed gets
// the token length (0 when text does not start with a string).
std::string PdfDecodeString(std::string_view text, size_t& consumed);

}  // namespace quillmark
