#include "quillmark/pdf/pdf_truetype.h"

#include <algorithm>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

namespace {

// Glyph numbers are 16 bits; a table cannot name more useful pairs than
// this, whatever its group counts claim.
constexpr size_t kMaxPairs = size_t{1} << 18;

using Pairs = std::vector<std::pair<uint16_t, char32_t>>;

void Add(Pairs& out, uint32_t gid, char32_t cp) {
    if (gid == 0 || gid > 0xFFFF || out.size() >= kMaxPairs) return;
    out.emplace_back(static_cast<uint16_t>(gid), cp);
}

// Format 0: 256 one-byte glyph numbers.
void ReadFormat0(ByteReader r, Pairs& out) {
    r.skip(6);
    for (uint32_t c = 0; c < 256; ++c) Add(out, r.u8(), c);
}

// Format 4: segments of the basic plane, each mapped by a delta or through
// the glyph array that follows the segment arrays.
void ReadFormat4(ByteReader r, Pairs& out) {
    uint32_t segCount = r.at_u16be(6) / 2;
    size_t ends = 14, starts = ends + 2 * segCount + 2, deltas = starts + 2 * segCount,
           offsets = deltas + 2 * segCount;
    for (uint32_t s = 0; s < segCount; ++s) {
        uint32_t end = r.at_u16be(ends + 2 * s), start = r.at_u16be(starts + 2 * s);
        uint16_t delta = r.at_u16be(deltas + 2 * s);
        size_t offsetPos = offsets + 2 * s;
        uint32_t rangeOffset = r.at_u16be(offsetPos);
        for (uint32_t c = start; c <= end && c != 0xFFFF; ++c) {
            uint32_t gid;
            if (rangeOffset == 0) {
                gid = (c + delta) & 0xFFFF;
            } else {
                size_t at = offsetPos + rangeOffset + 2 * (c - start);
                if (!r.in_range(at, 2)) break;
                gid = r.at_u16be(at);
                if (gid) gid = (gid + delta) & 0xFFFF;
            }
            Add(out, gid, c);
        }
    }
}

// Format 6: a dense run of glyph numbers from a first code.
void ReadFormat6(ByteReader r, Pairs& out) {
    uint32_t first = r.at_u16be(6), count = r.at_u16be(8);
    for (uint32_t i = 0; i < count; ++i) Add(out, r.at_u16be(10 + 2 * i), first + i);
}

// Format 12: groups of consecutive characters on consecutive glyphs.
void ReadFormat12(ByteReader r, Pairs& out) {
    uint32_t groups = r.at_u32be(12);
    for (uint32_t g = 0; g < groups && out.size() < kMaxPairs; ++g) {
        size_t at = 16 + size_t{12} * g;
        uint32_t first = r.at_u32be(at), last = r.at_u32be(at + 4), gid = r.at_u32be(at + 8);
        if (last < first || first > 0x10FFFF) continue;
        last = std::min<uint32_t>(last, 0x10FFFF);
        // A group cannot run past the last glyph number.
        if (gid > 0xFFFF) continue;
        last = std::min<uint32_t>(last, first + (0xFFFF - gid));
        for (uint32_t c = first; c <= last && out.size() < kMaxPairs; ++c) Add(out, gid + (c - first), c);
    }
}

}  // namespace

bool TPdfGlyphUnicodeMap::Parse(std::string_view program) {
    map_.clear();
    Pairs pairs;
    try {
        ByteReader font(program);
        uint32_t version = font.at_u32be(0);
        // TrueType outlines, CFF outlines ("OTTO") or the old Apple tag.
        if (version != 0x00010000 && version != 0x4F54544F && version != 0x74727565) return false;
        uint32_t tables = font.at_u16be(4);
        size_t cmapOffset = 0, cmapLength = 0;
        for (uint32_t i = 0; i < tables; ++i) {
            size_t rec = 12 + size_t{16} * i;
            if (font.at_u32be(rec) == 0x636D6170) {  // 'cmap'
                cmapOffset = font.at_u32be(rec + 8);
                cmapLength = font.at_u32be(rec + 12);
                break;
            }
        }
        if (cmapLength == 0 || !font.in_range(cmapOffset, 4)) return false;
        // A table that claims to run past the program is read as far as it goes.
        ByteReader cmap = font.sub(cmapOffset, std::min(cmapLength, program.size() - cmapOffset));
        uint32_t count = cmap.at_u16be(2);
        // Preference: Windows UCS-4, Windows BMP, Unicode platform (newest
        // encoding first), Windows symbol.
        int bestRank = 100;
        size_t bestOffset = 0;
        for (uint32_t i = 0; i < count; ++i) {
            size_t rec = 4 + size_t{8} * i;
            if (!cmap.in_range(rec, 8)) break;
            uint32_t platform = cmap.at_u16be(rec), encoding = cmap.at_u16be(rec + 2);
            int rank = 100;
            if (platform == 3 && encoding == 10) rank = 0;
            else if (platform == 3 && encoding == 1) rank = 1;
            else if (platform == 0) rank = 2 + (encoding <= 6 ? static_cast<int>(6 - encoding) : 6);
            else if (platform == 3 && encoding == 0) rank = 20;
            if (rank < bestRank) {
                bestRank = rank;
                bestOffset = cmap.at_u32be(rec + 4);
            }
        }
        if (bestRank == 100 || !cmap.in_range(bestOffset, 2)) return false;
        ByteReader sub = cmap.sub(bestOffset, cmap.size() - bestOffset);
        switch (sub.at_u16be(0)) {
            case 0: ReadFormat0(sub, pairs); break;
            case 4: ReadFormat4(sub, pairs); break;
            case 6: ReadFormat6(sub, pairs); break;
            case 12: ReadFormat12(sub, pairs); break;
            default: return false;
        }
        if (bestRank == 20) {
            // Symbol fonts place their codes at F000 + the one-byte code.
            for (auto& p : pairs)
                if (p.second >= 0xF020 && p.second <= 0xF0FF) p.second -= 0xF000;
        }
    } catch (const Exception&) {
        // A damaged table gives the pairs read before the damage.
    }
    ChargeWorkItems(pairs.size(), "font glyph map entries");
    std::sort(pairs.begin(), pairs.end());
    for (const auto& p : pairs)
        if (map_.empty() || map_.back().first != p.first) map_.push_back(p);
    map_.shrink_to_fit();
    return !map_.empty();
}

char32_t TPdfGlyphUnicodeMap::Lookup(uint32_t gid) const {
    if (gid > 0xFFFF) return 0;
    auto it = std::lower_bound(map_.begin(), map_.end(), std::pair<uint16_t, char32_t>(static_cast<uint16_t>(gid), 0));
    return it != map_.end() && it->first == gid ? it->second : 0;
}

}  // namespace quillmark
