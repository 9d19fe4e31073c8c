// The character map of an embedded TrueType or OpenType font program read
// backwards: which Unicode character a glyph draws. Composite fonts without a
// ToUnicode CMap show glyph numbers (through their CIDToGIDMap); the font's
// own 'cmap' table is then the only place that says what they mean.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark {

class TPdfGlyphUnicodeMap {
public:
    // Reads the font program's 'cmap' table: the Windows Unicode subtables
    // (full repertoire first, then the basic plane), then the Unicode
    // platform's, then the Windows symbol subtable (codes F020..F0FF read as
    // 20..FF). Formats 0, 4, 6 and 12. False when the program has no usable
    // table; never throws: damaged tables give what could be read.
    bool Parse(std::string_view program);
    // The character glyph `gid` draws, 0 when the table maps none to it.
    // Where several characters share a glyph (space and no-break space),
    // the smallest is taken.
    char32_t Lookup(uint32_t gid) const;
    bool Empty() const { return map_.empty(); }
    size_t Size() const { return map_.size(); }

private:
    std::vector<std::pair<uint16_t, char32_t>> map_;  // sorted by glyph, one per glyph
};

}  // namespace quillmark
