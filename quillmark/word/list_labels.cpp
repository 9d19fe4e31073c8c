#include "quillmark/word/list_labels.h"

#include <algorithm>
#include <string>

namespace quillmark {

namespace {

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string Roman(int64_t n, bool upper) {
    static const std::pair<int, const char*> kParts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                         {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                         {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"},
                                                         {1, "i"}};
    std::string out;
    for (const auto& [value, letters] : kParts)
        for (; n >= value; n -= value) out += letters;
    if (upper) std::transform(out.begin(), out.end(), out.begin(), [](char c) { return c - 'a' + 'A'; });
    return Ascii(out);
}

}  // namespace

std::u16string FormatListNumber(int64_t n, TListNumberFormat format) {
    using F = TListNumberFormat;
    switch (format) {
        case F::None:
        case F::Bullet:
            return {};
        case F::DecimalZero:
            if (n >= 0 && n < 10) return u"0" + Ascii(std::to_string(n));
            break;
        case F::LowerLetter:
        case F::UpperLetter:
            if (n >= 1 && (n - 1) / 26 < 32) {
                // a..z, then aa..zz, aaa..zzz: the letter repeated.
                char16_t letter = static_cast<char16_t>((format == F::LowerLetter ? u'a' : u'A') + (n - 1) % 26);
                return std::u16string(static_cast<size_t>((n - 1) / 26 + 1), letter);
            }
            break;
        case F::LowerRoman:
        case F::UpperRoman:
            if (n >= 1 && n < 4000) return Roman(n, format == F::UpperRoman);
            break;
        case F::Ordinal:
            if (n >= 0) {
                int64_t tens = n % 100, units = n % 10;
                const char* suffix = (tens >= 11 && tens <= 13) ? "th"
                                     : units == 1               ? "st"
                                     : units == 2               ? "nd"
                                     : units == 3               ? "rd"
                                                                : "th";
                return Ascii(std::to_string(n) + suffix);
            }
            break;
        case F::Decimal:
            break;
    }
    return Ascii(std::to_string(n));
}

char16_t ListBulletCharacter(char16_t c, TBulletFont font) {
    // Symbol fonts place their glyphs in the private use area (U+F0xx = the
    // font's character xx).
    if (c < 0xF000 || c > 0xF0FF) return c;
    unsigned code = c - 0xF000u;
    if (font == TBulletFont::Wingdings) {
        switch (code) {
            case 0xA7: return 0x25AA;  // small black square
            case 0x6E: return 0x25A0;  // black square
            case 0x71: return 0x2751;  // shadowed square
            case 0x76: return 0x2756;  // diamond of diamonds
            case 0xD8: return 0x27A2;  // arrowhead
            case 0xFC: return 0x2713;  // check mark
            default: return 0x2022;
        }
    }
    switch (code) {
        case 0xB7: return 0x2022;  // bullet
        case 0x2D: return 0x2212;  // minus
        case 0xA8: return 0x2666;  // diamond
        default: return 0x2022;
    }
}

void TListCounters::Restart(int level) {
    if (level >= 0 && level < kListLevels) set_[static_cast<size_t>(level)] = false;
}

void TListCounters::RestartAll() { set_.fill(false); }

void TListCounters::Set(int level, int64_t value) {
    if (level < 0 || level >= kListLevels) return;
    value_[static_cast<size_t>(level)] = std::clamp<int64_t>(value, -kMaxListCounter, kMaxListCounter);
    set_[static_cast<size_t>(level)] = true;
}

std::optional<TListLabel> TListCounters::Next(const TListLevels& levels, int current) {
    if (current < 0 || current >= kListLevels) return std::nullopt;
    auto at = [](auto& array, int l) -> auto& { return array[static_cast<size_t>(l)]; };
    const TListLevel& def = at(levels, current);
    if (!def.Defined) return std::nullopt;

    int64_t value = at(set_, current) ? std::min(at(value_, current) + 1, kMaxListCounter)
                                      : std::clamp<int64_t>(def.Start, -kMaxListCounter, kMaxListCounter);
    at(value_, current) = value;
    at(set_, current) = true;
    // A level used before the levels above it have been: those count as
    // used at their start values (the label shows them so), and go on
    // from there.
    for (int higher = 0; higher < current; ++higher) {
        if (at(set_, higher)) continue;
        at(value_, higher) = std::clamp<int64_t>(at(levels, higher).Start, -kMaxListCounter, kMaxListCounter);
        at(set_, higher) = true;
    }
    for (int deeper = current + 1; deeper < kListLevels; ++deeper) {
        int restart = at(levels, deeper).Restart;
        if (restart == 0 || (restart > 0 && current >= restart)) continue;
        at(set_, deeper) = false;
    }

    TListLabel label;
    label.Suffix = def.Suffix;
    const bool bullet = def.Format == TListNumberFormat::Bullet || def.Font != TBulletFont::Unicode;
    for (char16_t c : def.Template) {
        if (label.Text.size() >= kMaxListLabel) break;
        if (c < kListLevels) {
            int l = c;
            const TListLevel& shown = at(levels, l);
            int64_t n = l == current ? value : at(set_, l) ? at(value_, l) : shown.Start;
            // A legal-style level shows every number in decimal.
            TListNumberFormat format = shown.Format;
            if (def.Legal && format != TListNumberFormat::DecimalZero) format = TListNumberFormat::Decimal;
            label.Text += FormatListNumber(n, format);
        } else if (c < 0x20) {
            // Control characters would end paragraphs or start fields in
            // the rendered text: a label never carries them.
            continue;
        } else if (bullet) {
            label.Text += ListBulletCharacter(c, def.Font);
        } else {
            label.Text += c;
        }
    }
    if (label.Text.size() > kMaxListLabel) label.Text.resize(kMaxListLabel);
    if (label.Text.empty()) return std::nullopt;
    return label;
}

}  // namespace quillmark
