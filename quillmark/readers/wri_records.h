// Record layouts of Windows Write documents (and of the Word for DOS files
// that share their container). A file is a sequence of 128-byte pages: page 0
// is the header, the text follows from byte 128 up to fcMac, then come the
// character-run pages, the paragraph-run pages, the section and page tables
// and the font face-name table. Positions ("fc") are byte offsets in the
// file; every integer is little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

inline constexpr size_t kWRIPageSize = 128;
inline constexpr uint16_t kWRIIdent = 0xBE31;     // plain Write 3.0 document
inline constexpr uint16_t kWRIIdentOle = 0xBE32;  // Write 3.1 document with OLE objects
inline constexpr uint16_t kWRITool = 0xAB00;
// Word for DOS writes the same container with pnMac left at 0; its text is
// in the IBM PC character set rather than the Windows ANSI code page.
inline constexpr int kWRIDosCodePage = 437;

// The header page. Only the fields up to pnMac carry meaning; the rest of the
// page is unused.
struct TWRIHeader {
    uint16_t wIdent = 0;     // kWRIIdent or kWRIIdentOle
    uint16_t dty = 0;        // 0
    uint16_t wTool = 0;      // kWRITool
    uint16_t Reserved1 = 0;
    uint16_t Reserved2 = 0;
    uint16_t Reserved3 = 0;
    uint16_t Reserved4 = 0;
    uint32_t fcMac = 0;      // first position after the text (text length + 128)
    uint16_t pnPara = 0;     // first paragraph-run page
    uint16_t pnFntb = 0;     // footnote table, or pnSep when there is none (always, in Write)
    uint16_t pnSep = 0;      // section properties, or pnSetb
    uint16_t pnSetb = 0;     // section table, or pnPgtb
    uint16_t pnPgtb = 0;     // page table, or pnFfntb
    uint16_t pnFfntb = 0;    // font face-name table, or pnMac when there is none
    std::string szSsht;      // 66 bytes: style sheet name, used by Word for DOS only
    uint16_t pnMac = 0;      // pages in the file; 0 in files written by Word for DOS
};

inline constexpr size_t kWRIHeaderSize = 98;

// Reads the header from the first bytes of a file; missing bytes read as zero.
TWRIHeader ParseWRIHeader(std::string_view data);

// A run page (FKP): bytes 0-3 fcFirst, the position at which the page's first
// run starts; from byte 4 the run entries (FOD), 6 bytes each: the position
// just after the run and the offset of its property block from byte 4
// (0xFFFF: no block, defaults apply); byte 127 the number of entries. The
// property blocks (FPROP) fill the space between the entries and byte 127.
inline constexpr size_t kWRIRunEntrySize = 6;
inline constexpr size_t kWRIRunCountByte = 127;
// Entries that fit between byte 4 and the count byte.
inline constexpr size_t kWRIMaxRunEntries = (kWRIRunCountByte - 4) / kWRIRunEntrySize;
inline constexpr uint16_t kWRINoProperties = 0xFFFF;

struct TWRIRunEntry {
    uint32_t fcLim = 0;      // first position after the run
    uint16_t bfprop = kWRINoProperties;
};

struct TWRIRunPage {
    uint32_t fcFirst = 0;
    uint8_t Count = 0;       // the entries that lie inside the page
    std::array<TWRIRunEntry, kWRIMaxRunEntries> Entries{};
};

// Decodes a 128-byte run page. A count larger than the page can hold is cut
// to the entries that fit.
TWRIRunPage ParseWRIRunPage(std::string_view page);

// Character properties (CHP) of a run. A property block holds only the
// leading bytes that differ from the defaults; byte k of the block (the
// length byte being byte 0) is:
//   2: bit 0 bold, bit 1 italic, bits 2-7 the low six bits of the font index
//   3: font size in half points
//   4: bit 0 underline
//   5: bits 0-1 the high bits of the font index
//   6: vertical position (0 = on the line)
struct TWRICharProps {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    uint16_t FontIndex = 0;
    uint8_t HalfPoints = 24;
    uint8_t Position = 0;
};

// Paragraph properties (PAP): only byte 17 matters here. Bit 0x10 marks a
// paragraph whose bytes are a picture or an OLE object rather than text;
// bits 0x06 mark a running head or foot (on odd and even pages), bit 0x01 a
// foot rather than a head.
struct TWRIParaProps {
    bool Picture = false;
    bool RunningHeadFoot = false;
    bool Foot = false;
};

// A picture paragraph starts with a picture header whose first word is the
// mapping mode: 1-8 for a metafile, 0xE3 for a bitmap, 0xE4 for an OLE
// object. Word for DOS uses the picture bit for other purposes and keeps
// text in such paragraphs, so the bit alone does not make a picture.
bool IsWRIPictureHeader(std::string_view bytes);

// The property block that entry offset bfprop names on a page, without its
// length byte: empty for "no block" and for an offset outside the page, cut
// at the count byte when its length runs past it.
std::string_view WRIPropertyBlock(std::string_view page, uint16_t bfprop);
TWRICharProps DecodeWRICharProps(std::string_view block);
TWRIParaProps DecodeWRIParaProps(std::string_view block);

// One entry of the font face-name table: a 16-bit size S (0xFFFF: the next
// entry starts on the next page; 0: the table ends), the font family byte
// and S - 1 bytes of zero-terminated name.
inline constexpr uint16_t kWRIFontOnNextPage = 0xFFFF;
// Windows face names hold at most 31 characters. Longer names are cut: each
// run repeats its font's name in HTML, so a huge name would multiply the
// output by the number of runs.
inline constexpr size_t kWRIMaxFontName = 31;

struct TWRIFont {
    uint8_t ID = 0;          // font family (FF_ROMAN, FF_SWISS ...)
    std::string Name;        // 8-bit, without its terminating zero
};

// The document's fonts in table order; owns them.
class TWRIFontList {
public:
    size_t Count() const { return items_.size(); }
    const TWRIFont& operator[](size_t i) const { return *items_[i]; }
    void Add(std::unique_ptr<TWRIFont> font) { items_.push_back(std::move(font)); }
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<TWRIFont>> items_;
};

}  // namespace quillmark
