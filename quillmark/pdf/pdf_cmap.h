// ToUnicode CMaps: the code space (how many bytes make one character code)
// and the code-to-text mappings of the bfchar and bfrange sections, read
// once into lookup tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmark {

class TDTPDFCMap {
public:
    // Reads a CMap program. Malformed parts are skipped; never throws.
    void Parse(std::string_view text);
    void Clear();
    bool Empty() const { return chars_.empty() && ranges_.empty() && bigRanges_.empty(); }

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
    struct Target {
        std::u16string text;
        uint32_t line;  // order of the source line in the CMap
    };
    struct CodeSpace {
        uint8_t length;
        uint8_t low[4], high[4];
    };
    struct BigRange {  // a range too wide to expand into the table
        uint8_t length;
        uint32_t low, high;
        std::string base;  // destination bytes of low (hex destinations only)
        uint32_t line;
    };
    static uint64_t Key(uint32_t code, uint8_t length) { return (uint64_t{length} << 32) | code; }
    bool Find(const std::unordered_map<uint64_t, Target>& map, uint32_t code, uint8_t length,
              const Target*& found) const;
    const BigRange* FindBig(uint32_t code, uint8_t length) const;

    std::unordered_map<uint64_t, Target> chars_;
    std::unordered_map<uint64_t, Target> ranges_;
    std::vector<BigRange> bigRanges_;
    std::vector<CodeSpace> codeSpace_;
    uint8_t minLength_ = 0, maxLength_ = 0;  // of the mapped sources / code space
    uint8_t sourceLengths_ = 0;              // bit n-1 set: some source has n bytes
};

// Decodes a CMap destination: UTF-16BE bytes (several units kept:
// ligatures, surrogate pairs); the last unit is raised by offset.
std::u16string PdfCMapDestination(std::string_view bytes, uint32_t offset = 0);

}  // namespace quillmark
