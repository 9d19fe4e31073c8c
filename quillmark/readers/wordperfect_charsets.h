// WordPerfect's own character sets and their Unicode text. A WordPerfect
// document writes a character outside ASCII as an extended character: a
// (character number, character set) pair. The sets are numbered 0 ASCII,
// 1 Multinational, 2 Phonetic (WordPerfect 5: Multinational 2), 3 Box drawing,
// 4 Typographic symbols, 5 Iconic symbols, 6 Math, 7 Math extension, 8 Greek,
// 9 Hebrew, 10 Cyrillic, 11 Japanese kana, 12 User-defined, 13 Arabic and
// 14 Arabic script. WordPerfect 5 numbers some sets' characters differently,
// so it has its own tables where they differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillmark {

struct CharacterSetTable {
    const std::u16string_view* Chars;  // indexed by character number
    size_t Count;
};

// The tables of sets 0..14 (WordPerfect 6 and later, or WordPerfect 5).
std::span<const CharacterSetTable> WordPerfectCharacterSets(bool version5);

// The text of a (set, character) pair; empty when the pair is not in the
// tables (the reader shows such a character as U+FFFD).
inline std::u16string_view WordPerfectCharacter(bool version5, uint8_t set, uint8_t character) {
    auto sets = WordPerfectCharacterSets(version5);
    if (set >= sets.size() || character >= sets[set].Count) return {};
    return sets[set].Chars[character];
}

// WordPerfect 6 writes the most common accented letters as single bytes
// 0x01-0x1F (its "default extended international characters"); their text,
// empty for any other byte.
std::u16string_view WordPerfectDefaultExtended(uint8_t byte);

}  // namespace quillmark
