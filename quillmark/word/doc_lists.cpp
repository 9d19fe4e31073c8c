#include "quillmark/word/doc_lists.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

namespace {

// Paragraph sprms of Word 97 and later that carry list membership.
constexpr uint16_t kSprmPIlvl = 0x260A;
constexpr uint16_t kSprmPIlfo = 0x460B;
// Variable-length sprms whose size is not a plain length byte.
constexpr uint16_t kSprmTDefTable = 0xD608;
constexpr uint16_t kSprmTDefTable10 = 0xD606;
constexpr uint16_t kSprmPChgTabs = 0xC615;
// The Prm0 index of sprmPIlvl (a single sprm stored in a piece descriptor).
constexpr unsigned kPrm0Ilvl = 0x0C;

constexpr size_t kFkpSize = 512;
constexpr int kMaxStyleHops = 16;
// The LVLF, LSTF and LFO records and their sizes in the table stream.
constexpr size_t kLvlfSize = 28;
constexpr size_t kLstfSize = 28;
constexpr size_t kLfoSize = 16;
// The FIB's table of (fc, lcb) pairs starts at byte 154; the list tables
// are pairs 73 (PlfLst) and 74 (PlfLfo).
constexpr size_t kFibRgFcLcb = 154;
constexpr size_t kFibCbRgFcLcb = 152;
constexpr unsigned kPairPlfLst = 73, kPairPlfLfo = 74;

struct TListProps {
    std::optional<int> Ilfo, Ilvl;
};

// The kinds of variable-length operand: a length byte, a 16-bit count (the
// table definitions), and sprmPChgTabs, whose length byte may overflow.
enum class TOperand : uint8_t { Byte, Word, Tabs };

// The size of the variable operand at r's position, its length field
// included; 0 when it does not fit.
size_t VariableOperandSize(const ByteReader& r, TOperand kind) {
    const size_t at = r.pos();
    if (!r.can_read(kind == TOperand::Word ? 2 : 1)) return 0;
    // A 16-bit count of the bytes that follow, plus one.
    if (kind == TOperand::Word) return r.at_u16le(at) + 1u;
    size_t len = 1u + r.at_u8(at);
    if (kind == TOperand::Tabs && len == 256) {
        // Too long for its length byte: deleted tabs (2 + 2 bytes each),
        // then added tabs (2 + 1 bytes each).
        size_t p = at + 1;
        if (!r.in_range(p, 1)) return 0;
        p += 1 + 4u * r.at_u8(p);
        if (!r.in_range(p, 1)) return 0;
        p += 1 + 3u * r.at_u8(p);
        len = p - at;
    }
    return len;
}

// Calls f(opcode, operand) for each sprm of a Word 97 grpprl; stops at the
// first one that does not fit.
template <class F>
void ForEachSprm(std::string_view g, F&& f) {
    ByteReader r(g);
    while (r.can_read(2)) {
        uint16_t op = r.u16le();
        size_t len = 0;
        switch (op >> 13) {
            case 0: case 1: len = 1; break;
            case 2: case 4: case 5: len = 2; break;
            case 3: len = 4; break;
            case 7: len = 3; break;
            default:  // variable
                len = VariableOperandSize(r, op == kSprmTDefTable || op == kSprmTDefTable10 ? TOperand::Word
                                             : op == kSprmPChgTabs                          ? TOperand::Tabs
                                                                                             : TOperand::Byte);
                if (len == 0) return;
        }
        if (!r.can_read(len)) return;
        f(op, r.bytes(len));
    }
}

void ReadListProps(std::string_view grpprl, TListProps& props) {
    ForEachSprm(grpprl, [&](uint16_t op, std::string_view operand) {
        if (op == kSprmPIlvl) props.Ilvl = static_cast<uint8_t>(operand[0]);
        else if (op == kSprmPIlfo) props.Ilfo = static_cast<int16_t>(static_cast<uint8_t>(operand[0]) | static_cast<uint8_t>(operand[1]) << 8);
    });
}

// The paragraph bin table and its pages: the properties of the paragraph
// whose mark is at a given file position.
class TPapxPages {
public:
    // Word 6 pages differ in three sizes: 16-bit page numbers in the bin
    // table, 7-byte BX entries, and a PAPX of exactly 2 * cw bytes.
    TPapxPages(const TFIB& fib, std::string_view word, std::string_view table, bool word6 = false)
        : word_(word), word6_(word6) {
        ByteReader t(table);
        const size_t pnSize = word6 ? 2 : 4;
        if (fib.lcbPlcfbtePapx < 8 + pnSize || !t.in_range(fib.fcPlcfbtePapx, fib.lcbPlcfbtePapx)) return;
        ByteReader r = t.sub(fib.fcPlcfbtePapx, fib.lcbPlcfbtePapx);
        size_t n = (fib.lcbPlcfbtePapx - 4) / (4 + pnSize);
        ChargeWorkItems(n, "Word paragraph bin table");
        fcs_.resize(n + 1);
        pns_.resize(n);
        for (size_t i = 0; i <= n; ++i) fcs_[i] = r.u32le();
        for (size_t i = 0; i < n; ++i) pns_[i] = word6 ? r.u16le() : r.u32le() & 0x3FFFFF;
    }

    // The istd and grpprl of the paragraph whose mark lies at fc; false
    // when no page covers it. `boundaryAfter` tells whether a paragraph
    // ends right after the character at fc of `width` bytes.
    bool Lookup(uint32_t fc, uint32_t width, uint16_t& istd, std::string_view& grpprl, bool& boundaryAfter) {
        auto it = std::upper_bound(fcs_.begin(), fcs_.end(), fc);
        if (it == fcs_.begin() || it == fcs_.end()) return false;
        size_t bte = static_cast<size_t>(it - fcs_.begin()) - 1;
        ByteReader w(word_);
        uint64_t at = uint64_t{pns_[bte]} * kFkpSize;
        if (at > word_.size() || !w.in_range(static_cast<size_t>(at), kFkpSize)) return false;
        ByteReader page = w.sub(static_cast<size_t>(at), kFkpSize);
        unsigned crun = page.at_u8(kFkpSize - 1);
        // rgfc (crun + 1 positions), then crun BX entries of 13 bytes (7 in
        // Word 6).
        const unsigned bx = word6_ ? 7 : 13;
        if ((crun + 1) * 4u + crun * bx > kFkpSize - 1 || crun == 0) return false;
        size_t lo = 0, hi = crun;  // the run i with rgfc[i] <= fc < rgfc[i + 1]
        if (fc < page.at_u32le(0) || fc >= page.at_u32le(crun * 4u)) return false;
        while (hi - lo > 1) {
            size_t mid = (lo + hi) / 2;
            if (page.at_u32le(mid * 4) <= fc) lo = mid;
            else hi = mid;
        }
        boundaryAfter = page.at_u32le((lo + 1) * 4) == fc + width;
        istd = 0;
        grpprl = {};
        unsigned offset = page.at_u8((crun + 1) * 4u + lo * bx);
        if (offset == 0) return true;  // default properties
        size_t pos = offset * 2u;
        if (!page.in_range(pos, 2)) return true;
        unsigned cb = page.at_u8(pos);
        size_t data = pos + 1, len = word6_ ? 2u * cb : 2u * cb - 1;
        if (cb == 0 && !word6_) {
            data = pos + 2;
            len = 2u * page.at_u8(pos + 1);
        }
        if (len < 2 || !page.in_range(data, len)) return true;
        istd = page.at_u16le(data);
        grpprl = word_.substr(static_cast<size_t>(at) + data + 2, len - 2);
        return true;
    }

private:
    std::string_view word_;
    bool word6_;
    std::vector<uint32_t> fcs_, pns_;
};

// A piece's property modifier (Prm) applies on top of a paragraph's own
// sprms: either the index of a group of sprms in the file's list of
// groups, or one sprm (its code in bits 1-7) with a one-byte operand.
// readGroup gets the group's sprms; single gets the operand when the one
// sprm is sprm.
template <class ReadGroup, class Single>
void ApplyPieceModifier(const TDocListLabels::TPiece& piece, const std::vector<TCLXItem>& groups, unsigned sprm,
                        ReadGroup readGroup, Single single) {
    if (piece.Prm & 1) {
        size_t group = piece.Prm >> 1;
        if (group < groups.size()) readGroup(groups[group].grpprl);
    } else if (((piece.Prm >> 1) & 0x7F) == sprm) {
        single(static_cast<uint8_t>(piece.Prm >> 8));
    }
}

// Walks the paragraphs of the text in document order: for each paragraph
// mark (a paragraph end, a cell or row end, or a page break that ends a
// paragraph) found in the property pages, calls
// onParagraph(firstCp, piece, istd, grpprl). onPart() is called when a new
// sub-document starts.
template <class OnPart, class OnParagraph>
void WalkParagraphs(std::string_view word, TPapxPages& pages, const std::vector<TDocListLabels::TPiece>& pieces,
                    const std::vector<uint32_t>& partStarts, OnPart&& onPart, OnParagraph&& onParagraph) {
    size_t part = 0;
    uint32_t paragraphStart = 0;
    for (const TDocListLabels::TPiece& piece : pieces) {
        uint32_t width = piece.Is8Bit ? 1 : 2;
        // The piece's characters that lie inside the stream.
        if (piece.FcStart >= word.size() || piece.CpEnd <= piece.CpStart) continue;
        uint64_t chars = std::min<uint64_t>(piece.CpEnd - piece.CpStart, (word.size() - piece.FcStart) / width);
        const auto* bytes = reinterpret_cast<const uint8_t*>(word.data()) + piece.FcStart;
        for (uint64_t i = 0; i < chars; ++i) {
            unsigned ch = width == 1 ? bytes[i] : bytes[2 * i] | bytes[2 * i + 1] << 8;
            if (ch != 13 && ch != 7 && ch != 12) continue;
            auto cp = static_cast<uint32_t>(piece.CpStart + i);
            auto fc = static_cast<uint32_t>(piece.FcStart + i * width);
            uint16_t istd = 0;
            std::string_view grpprl;
            bool boundaryAfter = false;
            bool found = pages.Lookup(fc, width, istd, grpprl, boundaryAfter);
            if (ch == 12 && !boundaryAfter) continue;  // a page break inside a paragraph
            // The paragraph [paragraphStart, cp]; a new part restarts the counters.
            uint32_t start = paragraphStart;
            paragraphStart = cp + 1;
            while (part < partStarts.size() && partStarts[part] <= start) {
                ++part;
                onPart();
            }
            if (found) onParagraph(start, piece, istd, grpprl);
        }
    }
}

// The list properties each paragraph style gives, with its base style.
class TStyleLists {
public:
    TStyleLists(const TFIB& fib, std::string_view table) {
        ByteReader t(table);
        if (fib.lcbStshf < 4 || !t.in_range(fib.fcStshf, fib.lcbStshf)) return;
        ByteReader r = t.sub(fib.fcStshf, fib.lcbStshf);
        try {
            uint16_t cbStshi = r.u16le();
            ByteReader stshi = r.sub(r.pos(), cbStshi);
            r.seek(r.pos() + cbStshi);
            uint16_t cstd = stshi.u16le();
            uint16_t cbBase = stshi.u16le();
            styles_.resize(std::min<size_t>(cstd, r.remaining() / 2));
            for (TStyle& style : styles_) {
                uint16_t cbStd = r.u16le();
                if (cbStd == 0) continue;
                ByteReader entry = r.sub(r.pos(), cbStd);
                r.seek(r.pos() + cbStd);
                if (cbStd < cbBase || cbBase < 10) continue;
                uint16_t w1 = entry.at_u16le(2);
                uint16_t w2 = entry.at_u16le(4);
                style.Base = static_cast<uint16_t>(w1 >> 4);
                if ((w1 & 0xF) != 1 || (w2 & 0xF) == 0) continue;  // not a paragraph style
                // The name (16-bit count, UTF-16, terminating zero), then
                // the paragraph UPX at an even offset: istd, grpprl.
                entry.seek(cbBase);
                size_t cch = entry.u16le();
                entry.seek(entry.pos() + 2 * cch + 2);
                if (entry.pos() & 1) entry.seek(entry.pos() + 1);
                uint16_t cbUpx = entry.u16le();
                if (cbUpx < 2) continue;
                std::string_view upx = entry.bytes(cbUpx);
                ReadListProps(upx.substr(2), style.Props);
            }
        } catch (const Exception&) {
            // A damaged style sheet keeps the styles read so far.
        }
    }

    TListProps Resolve(uint16_t istd) const {
        TListProps props;
        for (int hop = 0; hop < kMaxStyleHops && istd < styles_.size(); ++hop) {
            const TStyle& style = styles_[istd];
            if (!props.Ilfo) props.Ilfo = style.Props.Ilfo;
            if (!props.Ilvl) props.Ilvl = style.Props.Ilvl;
            if (style.Base == istd) break;
            istd = style.Base;
        }
        return props;
    }

private:
    struct TStyle {
        uint16_t Base = 0xFFF;
        TListProps Props;
    };
    std::vector<TStyle> styles_;
};

TListNumberFormat FormatOfNfc(unsigned nfc) {
    using F = TListNumberFormat;
    switch (nfc) {
        case 1: return F::UpperRoman;
        case 2: return F::LowerRoman;
        case 3: return F::UpperLetter;
        case 4: return F::LowerLetter;
        case 5: return F::Ordinal;
        case 22: return F::DecimalZero;
        case 23: return F::Bullet;
        case 255: return F::None;
        default: return F::Decimal;
    }
}

// One LVL: the LVLF, the paragraph and character sprms, the template.
TListLevel ReadLevel(ByteReader& r) {
    std::string_view lvlf = r.bytes(kLvlfSize);
    ByteReader f(lvlf);
    TListLevel level;
    level.Defined = true;
    level.Start = static_cast<int32_t>(f.at_u32le(0));
    level.Format = FormatOfNfc(f.at_u8(4));
    uint8_t flags = f.at_u8(5);
    level.Legal = (flags & 0x04) != 0;
    if (flags & 0x08) level.Restart = f.at_u8(26);  // fNoRestart: ilvlRestartLim
    unsigned follow = f.at_u8(15);
    level.Suffix = follow == 0 ? u'\t' : follow == 1 ? u' ' : u'\0';
    r.seek(r.pos() + f.at_u8(25) + f.at_u8(24));  // grpprlPapx, grpprlChpx
    size_t cch = r.u16le();
    if (!r.can_read(2 * cch)) throw EDamagedDocument("list level text is cut short");
    for (size_t i = 0; i < cch; ++i) {
        char16_t c = r.u16le();
        if (level.Template.size() < kMaxListLabel) level.Template += c;
    }
    return level;
}

// Bullets written in a symbol font (private use characters U+F0xx) show as
// the plain bullets of their level, as LibreOffice's text export does:
// "•", "◦", "▪", and again from the fourth level on.
void PlainBullet(TListLevel& level, int ilvl) {
    if (level.Format != TListNumberFormat::Bullet) return;
    bool symbol = std::any_of(level.Template.begin(), level.Template.end(),
                              [](char16_t c) { return c >= 0xF000 && c <= 0xF0FF; });
    if (symbol) level.Template = std::u16string(1, u"\u2022\u25E6\u25AA"[ilvl % 3]);
}

// The list definitions (LSTF + LVL) and overrides (LFO + LFOLVL).
struct TListTables {
    struct TList {
        int32_t Lsid = 0;
        bool Simple = false;
        TListLevels Levels;
    };
    struct TLevelOverride {
        unsigned Level = 0;
        std::optional<TListLevel> Whole;  // the level replaced
        std::optional<int64_t> Start;     // or only its start value
    };
    struct TOverride {
        size_t List = SIZE_MAX;  // index into Lists
        std::vector<TLevelOverride> Changes;
        std::array<bool, kListLevels> Overridden{};
        // The list's levels with the changes applied, built at first use:
        // a table may hold many more overrides than the text uses.
        std::unique_ptr<TListLevels> Levels;
    };
    std::vector<TList> Lists;
    std::vector<TOverride> Overrides;

    const TListLevels& LevelsOf(TOverride& o) const {
        if (!o.Levels) {
            ChargeWorkItems(kListLevels, "Word list levels");
            o.Levels = std::make_unique<TListLevels>(Lists[o.List].Levels);
            for (const TLevelOverride& c : o.Changes) {
                TListLevel& level = (*o.Levels)[c.Level];
                if (c.Whole) level = *c.Whole;
                else if (c.Start) level.Start = *c.Start;
            }
        }
        return *o.Levels;
    }

    void Read(std::string_view word, std::string_view table) {
        ByteReader w(word), t(table);
        if (!w.in_range(kFibCbRgFcLcb, 2) || w.at_u16le(kFibCbRgFcLcb) <= kPairPlfLfo) return;
        if (!w.in_range(kFibRgFcLcb + (kPairPlfLfo + 1) * 8, 0)) return;
        uint32_t fcLst = w.at_u32le(kFibRgFcLcb + kPairPlfLst * 8);
        uint32_t lcbLst = w.at_u32le(kFibRgFcLcb + kPairPlfLst * 8 + 4);
        uint32_t fcLfo = w.at_u32le(kFibRgFcLcb + kPairPlfLfo * 8);
        uint32_t lcbLfo = w.at_u32le(kFibRgFcLcb + kPairPlfLfo * 8 + 4);
        try {
            if (lcbLst >= 2 && t.in_range(fcLst, 2)) {
                ByteReader r(table);
                r.seek(fcLst);
                int16_t count = static_cast<int16_t>(r.u16le());
                if (count > 0 && r.can_read(size_t(count) * kLstfSize)) {
                    ChargeWorkItems(uint64_t(count) * kListLevels, "Word lists");
                    Lists.resize(static_cast<size_t>(count));
                    for (TList& list : Lists) {
                        std::string_view lstf = r.bytes(kLstfSize);
                        ByteReader l(lstf);
                        list.Lsid = static_cast<int32_t>(l.at_u32le(0));
                        list.Simple = (l.at_u8(26) & 1) != 0;
                    }
                    // The levels follow the list records, list by list.
                    for (TList& list : Lists) {
                        int levels = list.Simple ? 1 : kListLevels;
                        for (int i = 0; i < levels; ++i) {
                            list.Levels[static_cast<size_t>(i)] = ReadLevel(r);
                            PlainBullet(list.Levels[static_cast<size_t>(i)], i);
                        }
                    }
                }
            }
        } catch (const ELimitError&) {
            throw;
        } catch (const Exception&) {
            // Lists whose levels are cut short keep the levels read.
        }
        try {
            if (lcbLfo >= 4 && t.in_range(fcLfo, 4)) {
                ByteReader r(table);
                r.seek(fcLfo);
                uint32_t count = r.u32le();
                if (count > 0 && r.can_read(size_t{count} * kLfoSize)) {
                    ChargeWorkItems(count, "Word list overrides");
                    Overrides.resize(count);
                    std::vector<unsigned> levelCounts(count);
                    // The first list with each lsid (looked up once per
                    // override, not by a scan of every list).
                    std::map<int32_t, size_t> byLsid;
                    for (size_t k = 0; k < Lists.size(); ++k) byLsid.emplace(Lists[k].Lsid, k);
                    for (size_t i = 0; i < count; ++i) {
                        std::string_view lfo = r.bytes(kLfoSize);
                        ByteReader l(lfo);
                        int32_t lsid = static_cast<int32_t>(l.at_u32le(0));
                        levelCounts[i] = l.at_u8(12);
                        if (auto it = byLsid.find(lsid); it != byLsid.end()) Overrides[i].List = it->second;
                    }
                    // Then, for each override, a position and its level
                    // overrides (start value, or a whole level).
                    for (size_t i = 0; i < count; ++i) {
                        if (levelCounts[i] == 0) continue;
                        r.u32le();
                        for (unsigned k = 0; k < levelCounts[i]; ++k) {
                            int32_t startAt = static_cast<int32_t>(r.u32le());
                            uint32_t flags = r.u32le();
                            unsigned ilvl = flags & 0xF;
                            bool fStartAt = (flags & 0x10) != 0, fFormatting = (flags & 0x20) != 0;
                            std::optional<TListLevel> level;
                            if (fFormatting) level = ReadLevel(r);
                            if (ilvl >= kListLevels) continue;
                            TOverride& o = Overrides[i];
                            if (level) {
                                PlainBullet(*level, static_cast<int>(ilvl));
                                ChargeWorkItems(1, "Word list overrides");
                                o.Changes.push_back({ilvl, std::move(level), std::nullopt});
                                o.Overridden[ilvl] = true;
                            } else if (fStartAt) {
                                ChargeWorkItems(1, "Word list overrides");
                                o.Changes.push_back({ilvl, std::nullopt, startAt});
                            }
                            if (fStartAt) o.Overridden[ilvl] = true;
                        }
                    }
                }
            }
        } catch (const ELimitError&) {
            throw;
        } catch (const Exception&) {
        }
    }
};


// --- Word 6 and 95 autonumbering ------------------------------------------

// Word 6 sprms have a one-byte opcode; the operand size depends on the sprm.
// Only the paragraph and table sprms a paragraph's properties hold are
// known: an unknown opcode ends the walk, as its size cannot be told.
constexpr int8_t kOperandUnknown = -1, kOperandByte = -2, kOperandWord = -3, kOperandTabs = -4;
constexpr std::array<int8_t, 256> kWord6SprmOperands = [] {
    std::array<int8_t, 256> t{};
    t.fill(kOperandUnknown);
    auto set = [&](int from, int to, int8_t n) {
        for (int i = from; i <= to; ++i) t[static_cast<size_t>(i)] = n;
    };
    set(2, 2, 2);                 // sprmPIstd
    set(3, 3, kOperandByte);      // sprmPIstdPermute
    set(4, 11, 1);                // sprmPIncLvl .. sprmPBrcp
    set(12, 12, kOperandByte);    // sprmPAnld
    set(13, 14, 1);               // sprmPNLvlAnm, sprmPFNoLineNumb
    set(15, 15, kOperandByte);    // sprmPChgTabsPapx
    set(16, 19, 2);               // sprmPDxaRight .. sprmPDxaLeft1
    set(20, 20, 4);               // sprmPDyaLine
    set(21, 22, 2);               // sprmPDyaBefore, sprmPDyaAfter
    set(23, 23, kOperandTabs);    // sprmPChgTabs
    set(24, 25, 1);               // sprmPFInTable, sprmPTtp
    set(26, 28, 2);               // sprmPDxaAbs .. sprmPDxaWidth
    set(29, 29, 1);               // sprmPPc
    set(30, 36, 2);               // the Word 2 borders, sprmPFromText10
    set(37, 37, 1);               // sprmPWr
    set(38, 43, 2);               // the borders
    set(44, 44, 1);               // sprmPFNoAutoHyph
    set(45, 49, 2);               // sprmPWHeightAbs .. sprmPDxaFromText
    set(50, 51, 1);               // sprmPFLocked, sprmPFWidowControl
    set(52, 52, kOperandByte);    // sprmPRuler
    set(182, 184, 2);             // sprmTJc .. sprmTDxaGapHalf
    set(185, 186, 1);             // sprmTFCantSplit, sprmTTableHeader
    set(187, 187, 12);            // sprmTTableBorders
    set(188, 188, kOperandWord);  // sprmTDefTable10
    set(189, 189, 2);             // sprmTDyaRowHeight
    set(190, 190, kOperandWord);  // sprmTDefTable
    set(191, 191, kOperandByte);  // sprmTDefTableShd
    set(192, 192, 4);             // sprmTTlp
    set(193, 193, 5);             // sprmTSetBrc
    set(194, 194, 4);             // sprmTInsert
    set(195, 195, 2);             // sprmTDelete
    set(196, 196, 4);             // sprmTDxaCol
    set(197, 198, 2);             // sprmTMerge, sprmTSplit
    set(199, 199, 5);             // sprmTSetBrc10
    set(200, 200, 4);             // sprmTSetShd
    return t;
}();

constexpr uint8_t kSprm6PAnld = 12, kSprm6PNLvlAnm = 13, kSprm6PFInTable = 24;
// The autonumber level descriptor of Word 6: the number format, the counts
// of characters before and after the number, flags, the font, the start
// value, indents, four flags, then 32 bytes of text (before, then after).
constexpr size_t kAnld6Size = 52;
constexpr size_t kAnldText = 20, kAnldTextMax = 32;
// nLvlAnm: 1..9 outline levels (numbered by the section's outline list),
// 10 numbered and 11 bulleted paragraphs, 12 a paragraph the numbering
// skips.
constexpr unsigned kAnmNumbered = 10, kAnmBulleted = 11, kAnmSkipped = 12;

// Calls f(opcode, operand) for each sprm of a Word 6 grpprl.
template <class F>
void ForEachSprm6(std::string_view g, F&& f) {
    ByteReader r(g);
    while (r.can_read(1)) {
        uint8_t op = r.u8();
        int8_t kind = kWord6SprmOperands[op];
        size_t len = static_cast<size_t>(kind);
        if (kind == kOperandUnknown) return;
        if (kind < 0) {
            len = VariableOperandSize(r, kind == kOperandWord ? TOperand::Word
                                         : kind == kOperandTabs ? TOperand::Tabs
                                                                : TOperand::Byte);
            if (len == 0) return;
        }
        if (!r.can_read(len)) return;
        f(op, r.bytes(len));
    }
}

struct TAutonumber {
    std::optional<unsigned> Kind;  // nLvlAnm
    std::string_view Anld;         // the descriptor, when whole
    bool InTable = false;
};

void ReadAutonumber(std::string_view grpprl, TAutonumber& a) {
    ForEachSprm6(grpprl, [&](uint8_t op, std::string_view operand) {
        if (op == kSprm6PNLvlAnm) a.Kind = static_cast<uint8_t>(operand[0]);
        else if (op == kSprm6PFInTable) a.InTable = operand[0] != 0;
        else if (op == kSprm6PAnld) a.Anld = operand.size() > kAnld6Size ? operand.substr(1, kAnld6Size) : std::string_view();
    });
}

// The bullet font family of each font of a Word 6 font table: a font of the
// symbol character set (or a Wingdings) places its glyphs at U+F0xx.
std::vector<TBulletFont> Word6Fonts(const TFIB& fib, std::string_view word) {
    std::vector<TBulletFont> fonts;
    ByteReader w(word);
    if (fib.lcbSttbfffn < 2 || !w.in_range(fib.fcSttbfffn, fib.lcbSttbfffn)) return fonts;
    ByteReader r = w.sub(fib.fcSttbfffn, fib.lcbSttbfffn);
    size_t end = std::min<size_t>(r.u16le(), r.size());
    // Each FFN: its size less one, flags, weight, character set, the
    // alternative name's offset, the name.
    while (r.pos() + 1 < end) {
        size_t size = r.u8() + 1u;
        if (size < 7 || r.pos() - 1 + size > end) break;
        std::string_view ffn = r.bytes(size - 1);
        std::string_view name = ffn.substr(5);
        name = name.substr(0, name.find('\0'));
        TBulletFont font = name.find("Wingdings") != std::string_view::npos ? TBulletFont::Wingdings
                           : static_cast<uint8_t>(ffn[3]) == 2          ? TBulletFont::Symbol
                                                                         : TBulletFont::Unicode;
        fonts.push_back(font);
    }
    ChargeWorkItems(fonts.size(), "Word fonts");
    return fonts;
}

// The one level a descriptor describes; nothing when its text does not fit.
std::optional<TListLevel> LevelOfAnld(std::string_view anld, const std::vector<TBulletFont>& fonts, int codePage) {
    ByteReader a(anld);
    unsigned nfc = a.at_u8(0), before = a.at_u8(1), after = a.at_u8(2);
    if (before + after > kAnldTextMax) return std::nullopt;
    uint16_t ftc = a.at_u16le(6);
    TListLevel level;
    level.Defined = true;
    level.Start = a.at_u16le(10);
    level.Font = ftc < fonts.size() ? fonts[ftc] : TBulletFont::Unicode;
    // A symbol font shows a bullet whatever the format says.
    level.Format = level.Font != TBulletFont::Unicode ? TListNumberFormat::Bullet : FormatOfNfc(nfc);
    auto text = [&](size_t from, size_t count) {
        std::string_view bytes = anld.substr(kAnldText + from, count);
        std::u16string out;
        if (level.Font != TBulletFont::Unicode) {
            for (char b : bytes) out += static_cast<char16_t>(0xF000 | static_cast<uint8_t>(b));
        } else {
            out = MultiByteToWide(bytes, codePage);
        }
        // Control characters (and the characters that stand for numbers in
        // a template) are not label text.
        std::erase_if(out, [](char16_t c) { return c < 0x20 || c == 0xF000; });
        return out;
    };
    level.Template = text(0, before);
    if (level.Format != TListNumberFormat::Bullet && level.Format != TListNumberFormat::None) level.Template += u'\0';
    level.Template += text(before, after);
    return level;
}

// The parts of a descriptor that make its label: format, texts, font, start.
std::string AnldLabelKey(std::string_view anld) {
    ByteReader a(anld);
    size_t texts = std::min<size_t>(kAnldTextMax, size_t{a.at_u8(1)} + a.at_u8(2));
    return std::string(anld.substr(0, 3)) + std::string(anld.substr(6, 2)) + std::string(anld.substr(10, 2)) +
           std::string(anld.substr(kAnldText, texts));
}

bool IsDoubleByteCodePage(int codePage) {
    if (codePage == CP_ACP) codePage = GetACP();
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}
}  // namespace

void TDocListLabels::Load(const TFIB& fib, int docVersion, std::string_view word, std::string_view table,
                          const std::vector<TPiece>& pieces, const std::vector<TCLXItem>& groups,
                          const std::vector<uint32_t>& partStarts) {
    labels_.clear();
    if (docVersion < 8) return;
    try {
        Count(fib, word, table, pieces, groups, partStarts);
    } catch (const ELimitError&) {
        throw;
    } catch (const Exception&) {
        // A damaged page or table ends the labels; the text stays.
    }
}

void TDocListLabels::Count(const TFIB& fib, std::string_view word, std::string_view table,
                           const std::vector<TPiece>& pieces, const std::vector<TCLXItem>& groups,
                           const std::vector<uint32_t>& partStarts) {
    TListTables tables;
    tables.Read(word, table);
    if (tables.Overrides.empty()) return;
    TPapxPages pages(fib, word, table);
    TStyleLists styles(fib, table);

    std::vector<TListCounters> counters(tables.Lists.size());
    std::vector<bool> started(tables.Overrides.size());
    auto newPart = [&] {
        for (TListCounters& c : counters) c.RestartAll();
        std::fill(started.begin(), started.end(), false);
    };
    WalkParagraphs(word, pages, pieces, partStarts, newPart,
                   [&](uint32_t start, const TPiece& piece, uint16_t istd, std::string_view grpprl) {
        TListProps direct;
        ReadListProps(grpprl, direct);
        ApplyPieceModifier(piece, groups, kPrm0Ilvl, [&](std::string_view g) { ReadListProps(g, direct); },
                           [&](uint8_t operand) { direct.Ilvl = operand; });
        TListProps style = styles.Resolve(istd);
        int ilfo = direct.Ilfo.value_or(style.Ilfo.value_or(0));
        int ilvl = direct.Ilvl.value_or(style.Ilvl.value_or(0));
        if (ilfo <= 0 || static_cast<size_t>(ilfo) > tables.Overrides.size()) return;
        TListTables::TOverride& o = tables.Overrides[static_cast<size_t>(ilfo - 1)];
        if (o.List >= tables.Lists.size()) return;
        if (tables.Lists[o.List].Simple) ilvl = 0;
        if (ilvl < 0 || ilvl >= kListLevels) return;
        TListCounters& c = counters[o.List];
        if (!started[static_cast<size_t>(ilfo - 1)]) {
            // An override that sets start values restarts those levels.
            started[static_cast<size_t>(ilfo - 1)] = true;
            for (int l = 0; l < kListLevels; ++l)
                if (o.Overridden[static_cast<size_t>(l)]) c.Restart(l);
        }
        if (std::optional<TListLabel> label = c.Next(tables.LevelsOf(o), ilvl)) AddLabel(start, std::move(*label));
    });
}

void TDocListLabels::AddLabel(uint32_t cp, TListLabel label) {
    std::u16string text = std::move(label.Text);
    if (label.Suffix) text += label.Suffix;
    // Labels are built from shared list data, many per byte of input when
    // every paragraph is numbered: they are charged like decoded text.
    ChargeWorkItems(1, "Word list labels");
    ChargeDecodedBytes(2 * text.size(), "Word list labels");
    labels_.emplace(cp, std::move(text));
}

const std::u16string* TDocListLabels::LabelAt(uint32_t cp) const {
    auto it = labels_.find(cp);
    return it == labels_.end() ? nullptr : &it->second;
}

void TDocListLabels::Insert(std::u16string& text, uint64_t first) const {
    if (labels_.empty() || text.empty()) return;
    auto it = labels_.lower_bound(static_cast<uint32_t>(std::min<uint64_t>(first, UINT32_MAX)));
    if (it == labels_.end() || it->first - first >= text.size()) return;
    std::u16string out;
    out.reserve(text.size() + 16 * labels_.size());
    size_t copied = 0;
    for (; it != labels_.end() && it->first - first < text.size(); ++it) {
        size_t at = static_cast<size_t>(it->first - first);
        out.append(text, copied, at - copied);
        out += it->second;
        copied = at;
    }
    out.append(text, copied, std::u16string::npos);
    text = std::move(out);
}

}  // namespace quillmark

namespace quillmark {

void TDocListLabels::LoadWord6(const TFIB& fib, std::string_view word, const std::vector<TPiece>& pieces,
                               const std::vector<TCLXItem>& groups, const std::vector<uint32_t>& partStarts,
                               int codePage) {
    labels_.clear();
    if (IsDoubleByteCodePage(codePage)) return;
    try {
        CountWord6(fib, word, pieces, groups, partStarts, codePage);
    } catch (const ELimitError&) {
        throw;
    } catch (const Exception&) {
        // A damaged page ends the labels; the text stays.
    }
}

// Word numbers a run of consecutive paragraphs of one kind (numbered or
// bulleted) from the start value of its descriptor; a paragraph of another
// kind, or none, ends the run, and a skipped paragraph keeps it going
// without a number. What is not that simple gets no label rather than a
// guessed one: outline numbering (it depends on the section's outline
// list), numbering in tables (per cell or across rows), numbering given
// only by the style, and a descriptor that changes within a run.
void TDocListLabels::CountWord6(const TFIB& fib, std::string_view word, const std::vector<TPiece>& pieces,
                                const std::vector<TCLXItem>& groups, const std::vector<uint32_t>& partStarts,
                                int codePage) {
    TPapxPages pages(fib, word, word, /*word6=*/true);
    const std::vector<TBulletFont> fonts = Word6Fonts(fib, word);
    struct TRun {
        bool Active = false, Broken = false;
        unsigned Kind = 0;
        std::string Key;
        TListLevels Levels;
        TListCounters Counters;
    } run;
    WalkParagraphs(word, pages, pieces, partStarts, [&] { run.Active = false; },
                   [&](uint32_t start, const TPiece& piece, uint16_t, std::string_view grpprl) {
        TAutonumber a;
        ReadAutonumber(grpprl, a);
        ApplyPieceModifier(piece, groups, kSprm6PNLvlAnm, [&](std::string_view g) { ReadAutonumber(g, a); },
                           [&](uint8_t operand) { a.Kind = operand; });
        unsigned kind = a.Kind.value_or(0);
        if (kind == kAnmSkipped && run.Active) return;
        if ((kind != kAnmNumbered && kind != kAnmBulleted) || a.InTable || a.Anld.empty()) {
            run.Active = false;
            return;
        }
        std::string key = AnldLabelKey(a.Anld);
        if (!run.Active || run.Kind != kind) {
            run.Active = true;
            run.Kind = kind;
            run.Key = std::move(key);
            std::optional<TListLevel> level = LevelOfAnld(a.Anld, fonts, codePage);
            run.Broken = !level;
            if (level) run.Levels[0] = std::move(*level);
            run.Counters.RestartAll();
        } else if (key != run.Key) {
            run.Broken = true;
        }
        if (run.Broken) return;
        if (std::optional<TListLabel> label = run.Counters.Next(run.Levels, 0)) AddLabel(start, std::move(*label));
    });
}

}  // namespace quillmark
