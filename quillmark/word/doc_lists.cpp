#include "quillmark/word/doc_lists.h"

#include <algorithm>
#include <array>
#include <set>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"

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
                if (op == kSprmTDefTable || op == kSprmTDefTable10) {
                    // A 16-bit count of the bytes that follow, plus one.
                    if (!r.can_read(2)) return;
                    len = r.at_u16le(r.pos()) + 1u;
                } else if (op == kSprmPChgTabs) {
                    if (!r.can_read(1)) return;
                    len = 1u + r.at_u8(r.pos());
                    if (len == 256) {
                        // Too long for its length byte: deleted tabs (2 + 2
                        // bytes each), then added tabs (2 + 1 bytes each).
                        size_t p = r.pos() + 1;
                        if (!r.in_range(p, 1)) return;
                        p += 1 + 4u * r.at_u8(p);
                        if (!r.in_range(p, 1)) return;
                        p += 1 + 3u * r.at_u8(p);
                        len = p - r.pos();
                    }
                } else {
                    if (!r.can_read(1)) return;
                    len = 1u + r.at_u8(r.pos());
                }
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
    TPapxPages(const TFIB& fib, std::string_view word, std::string_view table) : word_(word) {
        ByteReader t(table);
        if (fib.lcbPlcfbtePapx < 12 || !t.in_range(fib.fcPlcfbtePapx, fib.lcbPlcfbtePapx)) return;
        ByteReader r = t.sub(fib.fcPlcfbtePapx, fib.lcbPlcfbtePapx);
        size_t n = (fib.lcbPlcfbtePapx - 4) / 8;
        fcs_.resize(n + 1);
        pns_.resize(n);
        for (size_t i = 0; i <= n; ++i) fcs_[i] = r.u32le();
        for (size_t i = 0; i < n; ++i) pns_[i] = r.u32le() & 0x3FFFFF;
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
        // rgfc (crun + 1 positions), then crun BX entries of 13 bytes.
        if ((crun + 1) * 4u + crun * 13u > kFkpSize - 1 || crun == 0) return false;
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
        unsigned offset = page.at_u8((crun + 1) * 4u + lo * 13u);
        if (offset == 0) return true;  // default properties
        size_t pos = offset * 2u;
        if (!page.in_range(pos, 2)) return true;
        unsigned cb = page.at_u8(pos);
        size_t data = pos + 1, len = 2u * cb - 1;
        if (cb == 0) {
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
    std::vector<uint32_t> fcs_, pns_;
};

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
    struct TOverride {
        size_t List = SIZE_MAX;  // index into Lists
        TListLevels Levels;      // the list's levels with the overrides applied
        std::array<bool, kListLevels> Overridden{};
    };
    std::vector<TList> Lists;
    std::vector<TOverride> Overrides;

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
        } catch (const Exception&) {
            // Lists whose levels are cut short keep the levels read.
        }
        try {
            if (lcbLfo >= 4 && t.in_range(fcLfo, 4)) {
                ByteReader r(table);
                r.seek(fcLfo);
                uint32_t count = r.u32le();
                if (count > 0 && r.can_read(size_t{count} * kLfoSize)) {
                    Overrides.resize(count);
                    std::vector<unsigned> levelCounts(count);
                    for (size_t i = 0; i < count; ++i) {
                        std::string_view lfo = r.bytes(kLfoSize);
                        ByteReader l(lfo);
                        int32_t lsid = static_cast<int32_t>(l.at_u32le(0));
                        levelCounts[i] = l.at_u8(12);
                        for (size_t k = 0; k < Lists.size(); ++k)
                            if (Lists[k].Lsid == lsid) {
                                Overrides[i].List = k;
                                Overrides[i].Levels = Lists[k].Levels;
                                break;
                            }
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
                                o.Levels[ilvl] = *level;
                                o.Overridden[ilvl] = true;
                            }
                            if (fStartAt) {
                                if (!level) o.Levels[ilvl].Start = startAt;
                                o.Overridden[ilvl] = true;
                            }
                        }
                    }
                }
            }
        } catch (const Exception&) {
        }
    }
};

}  // namespace

void TDocListLabels::Load(const TFIB& fib, int docVersion, std::string_view word, std::string_view table,
                          const std::vector<TPiece>& pieces, const std::vector<TCLXItem>& groups,
                          const std::vector<uint32_t>& partStarts) {
    labels_.clear();
    if (docVersion < 8) return;
    try {
        Count(fib, word, table, pieces, groups, partStarts);
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
    size_t part = 0;
    uint32_t paragraphStart = 0;
    for (const TPiece& piece : pieces) {
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
                for (TListCounters& c : counters) c.RestartAll();
                std::fill(started.begin(), started.end(), false);
            }
            if (!found) continue;
            TListProps direct;
            ReadListProps(grpprl, direct);
            if (piece.Prm & 1) {
                size_t group = piece.Prm >> 1;
                if (group < groups.size()) ReadListProps(groups[group].grpprl, direct);
            } else if (((piece.Prm >> 1) & 0x7F) == kPrm0Ilvl) {
                direct.Ilvl = piece.Prm >> 8;
            }
            TListProps style = styles.Resolve(istd);
            int ilfo = direct.Ilfo.value_or(style.Ilfo.value_or(0));
            int ilvl = direct.Ilvl.value_or(style.Ilvl.value_or(0));
            if (ilfo <= 0 || static_cast<size_t>(ilfo) > tables.Overrides.size()) continue;
            const TListTables::TOverride& o = tables.Overrides[static_cast<size_t>(ilfo - 1)];
            if (o.List >= tables.Lists.size()) continue;
            if (tables.Lists[o.List].Simple) ilvl = 0;
            if (ilvl < 0 || ilvl >= kListLevels) continue;
            TListCounters& c = counters[o.List];
            if (!started[static_cast<size_t>(ilfo - 1)]) {
                // An override that sets start values restarts those levels.
                started[static_cast<size_t>(ilfo - 1)] = true;
                for (int l = 0; l < kListLevels; ++l)
                    if (o.Overridden[static_cast<size_t>(l)]) c.Restart(l);
            }
            std::optional<TListLabel> label = c.Next(o.Levels, ilvl);
            if (!label) continue;
            std::u16string text = std::move(label->Text);
            if (label->Suffix) text += label->Suffix;
            labels_.emplace(start, std::move(text));
        }
    }
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
