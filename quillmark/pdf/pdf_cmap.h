// ToUnicode CMaps: the code space (how many bytes make one character code)
// and the code-to-text mappings of the bfchar and bfrange sections, read
// once into sorted tables: characters by code, ranges kept as ranges (a
// range of a million codes costs one entry), both found by binary search.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TDTPDFCMap {
public:
    // Reads a CMap program. Malformed parts are skipped; never throws.
    void Parse(std::string_view text);
    void Clear();
    bool Empty() const { return chars_.empty() && ranges_.empty(); }

    // Splits a string's bytes into character codes by the code space ranges
    // (or, without any, by the byte length of the mapped sources; one byte
    // when nothing says otherwise). Each code is (value, byte length).
    struct Code {
        uint32_t value;
        uint8_t length;
    };
    void SplitCodes(std::string_view bytes, std::vector<Code>& out) const;
    // True when the code space declares only two-byte codes.
    bool TwoByteCodes() const { return minLength_ == 2 && maxLength_ == 2; }
    bool HasCodeSpace() const { return !codeSpace_.empty(); }

    // The text of a code, false when the CMap does not map it. A bfchar
    // mapping wins over a bfrange one; among each kind the first line wins.
    bool Lookup(uint32_t code, uint8_t length, std::u16string& out) const;

    // A code that the CMap maps to exactly `unit` (the smallest one), false
    // when there is none.
    bool FindCodeOf(char16_t unit, uint32_t& code) const;

    // The mapping of one UTF-16 code unit as the historical per-unit
    // conversion did it: the unit is tried as a one-byte and as a two-byte
    // source, the earlier CMap line wins, bfchar before bfrange.
    bool LookupUnit(char16_t unit, std::u16string& out) const;

private:
    struct CodeSpace {
        uint8_t length;
        uint8_t low[4], high[4];
    };
    // Destinations live in one buffer of UTF-16 units; entries point into it.
    struct Text {
        uint32_t offset = 0, size = 0;
    };
    struct Char {  // one bfchar mapping
        uint64_t key;
        uint32_t line;  // order of the source line in the CMap
        Text text;
    };
    struct Range {  // one bfrange mapping, kept as a range
        uint64_t low, high;  // keys (length and code) of its first and last code
        uint32_t line;
        // A destination to count up from (arrayCount == 0), or the first of
        // arrayCount destinations listed one per code.
        Text base;
        uint32_t arrayFirst = 0, arrayCount = 0;
    };
    static uint64_t Key(uint32_t code, uint8_t length) { return (uint64_t{length} << 32) | code; }
    Text Store(const std::u16string& text);
    const Char* FindChar(uint32_t code, uint8_t length) const;
    // The earliest listed range holding the code (binary search, then back
    // over the ranges that start before it and may still reach it).
    const Range* FindRange(uint32_t code, uint8_t length) const;
    void Append(const Range& r, uint32_t code, std::u16string& out) const;
    void Finish();

    std::u16string pool_;
    std::vector<Char> chars_;        // sorted by key; the first line of each key
    int32_t oneByte_[256] = {};         // index in chars_ of each one-byte code, -1: none
    std::vector<Range> ranges_;      // sorted by low
    std::vector<uint64_t> reach_;    // reach_[i]: the highest high of ranges_[0..i]
    std::vector<Text> arrayTexts_;   // destinations of array ranges
    std::vector<CodeSpace> codeSpace_;
    uint8_t minLength_ = 0, maxLength_ = 0;  // of the mapped sources / code space
    uint8_t sourceLengths_ = 0;              // bit n-1 set: some source has n bytes
};

// Decodes a CMap destination: UTF-16BE bytes (several units kept:
// ligatures, surrogate pairs); the last unit is raised by offset.
std::u16string PdfCMapDestination(std::string_view bytes, uint32_t offset = 0);

}  // namespace quillmark
