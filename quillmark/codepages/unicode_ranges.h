// Exported tables: the Unicode 3.0 block list, a lookup of the block that
// carries a Windows language's script, and single-character conversions from
// a UTF-16 code unit to a byte of a Windows code page. No reader uses them;
// they are offered to applications.
#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

struct TUnicodeRange {
    uint16_t CodeFrom;  // first code point of the block
    uint16_t CodeTo;    // last code point, inclusive
    const char* Name;
};

inline constexpr int kUnicodeBlockCount = 88;
// The blocks of the Unicode 3.0 standard in code point order (0: "Basic
// Latin" .. 87: "Specials").
extern const TUnicodeRange UnicodeBlocks[kUnicodeBlockCount];

// The block of the script a Windows language identifier is written in:
// Cyrillic for Russian, Greek for Greek, Hangul Syllables for Korean,
// Latin-1 Supplement for Western European languages, and so on; "Basic Latin"
// for English and for identifiers it does not know. The second argument is
// accepted for compatibility and has no effect.
TUnicodeRange GetUnicodeRangeByLID(uint16_t lid, uint8_t unused = 0);

// The Windows ANSI code page of a language identifier (1252 when unknown).
int DefaultAnsiCodePageOfLID(uint16_t lid);

// Double-byte code pages have no single-byte form: these always give 0.
uint16_t UnicodeToWin874(uint16_t c);
uint16_t UnicodeToWin932(uint16_t c);
uint16_t UnicodeToWin936(uint16_t c);
uint16_t UnicodeToWin949(uint16_t c);
uint16_t UnicodeToWin950(uint16_t c);

// The byte of the code page for a character in its compatibility table, or
// 0 when the character is not in it (ASCII included).
uint16_t UnicodeToWin1250(uint16_t c);
uint16_t UnicodeToWin1251(uint16_t c);
uint16_t UnicodeToWin1252(uint16_t c);
uint16_t UnicodeToWin1253(uint16_t c);
uint16_t UnicodeToWin1254(uint16_t c);
uint16_t UnicodeToWin1255(uint16_t c);
uint16_t UnicodeToWin1256(uint16_t c);
uint16_t UnicodeToWin1257(uint16_t c);

}  // namespace quillmark
