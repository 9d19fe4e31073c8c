#include "quillmark/word/docx_numbering.h"

#include <algorithm>
#include <string>

namespace quillmark {

namespace {

// Style links (w:basedOn, w:numStyleLink) are followed at most this often.
constexpr int kMaxLinks = 16;
constexpr int64_t kMaxCounter = 2000000000;

// The value of a node's attribute (entities decoded), if present.
std::optional<std::u16string> Attr(TDTXMLItem& node, std::u16string_view name) {
    for (const auto& item : node.Items) {
        if (item->Kind != ikAttribute) break;
        if (item->TagName == name) return item->GetTagValue();
    }
    return std::nullopt;
}

TDTXMLItem* Child(TDTXMLItem& node, std::u16string_view name) {
    for (const auto& item : node.Items)
        if (item->Kind == ikProperty && item->TagName == name) return item.get();
    return nullptr;
}

// The w:val of a child element, if both are present.
std::optional<std::u16string> ChildVal(TDTXMLItem* node, std::u16string_view name) {
    if (!node) return std::nullopt;
    TDTXMLItem* child = Child(*node, name);
    return child ? Attr(*child, u"w:val") : std::nullopt;
}

// A strict non-negative decimal, or nothing.
std::optional<int64_t> ToNumber(const std::optional<std::u16string>& s) {
    if (!s || s->empty() || s->size() > 9) return std::nullopt;
    int64_t v = 0;
    for (char16_t c : *s) {
        if (c < u'0' || c > u'9') return std::nullopt;
        v = v * 10 + (c - u'0');
    }
    return v;
}

std::optional<int> ToLevel(const std::optional<std::u16string>& s) {
    auto v = ToNumber(s);
    if (!v || *v >= TDocxNumbering::kLevels) return std::nullopt;
    return static_cast<int>(*v);
}

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

// Bullets are often characters of a symbol font, written in the private use
// area (U+F0xx = the font's character xx); they become their Unicode
// equivalents, and any other symbol character a plain bullet.
char16_t BulletCharacter(char16_t c, bool wingdings) {
    if (c < 0xF000 || c > 0xF0FF) return c;
    unsigned code = c - 0xF000;
    if (wingdings) {
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

}  // namespace

std::u16string TDocxNumbering::FormatNumber(int64_t n, std::u16string_view format) {
    if (format == u"none" || format == u"bullet") return {};
    if (format == u"decimalZero" && n >= 0 && n < 10) return u"0" + Ascii(std::to_string(n));
    if ((format == u"lowerLetter" || format == u"upperLetter") && n >= 1 && (n - 1) / 26 < 32) {
        // a..z, then aa..zz, aaa..zzz: the letter repeated.
        char16_t letter = static_cast<char16_t>((format == u"lowerLetter" ? u'a' : u'A') + (n - 1) % 26);
        return std::u16string(static_cast<size_t>((n - 1) / 26 + 1), letter);
    }
    if ((format == u"lowerRoman" || format == u"upperRoman") && n >= 1 && n < 4000)
        return Roman(n, format == u"upperRoman");
    if (format == u"ordinal" && n >= 0) {
        int64_t tens = n % 100, units = n % 10;
        const char* suffix = (tens >= 11 && tens <= 13) ? "th"
                             : units == 1               ? "st"
                             : units == 2               ? "nd"
                             : units == 3               ? "rd"
                                                        : "th";
        return Ascii(std::to_string(n) + suffix);
    }
    return Ascii(std::to_string(n));
}

TDocxNumbering::TLevel TDocxNumbering::ReadLevel(TDTXMLItem& lvl) {
    TLevel level;
    level.Defined = true;
    if (auto start = ToNumber(ChildVal(&lvl, u"w:start"))) level.Start = *start;
    if (auto format = ChildVal(&lvl, u"w:numFmt")) level.Format = *format;
    if (auto text = ChildVal(&lvl, u"w:lvlText")) {
        level.Text = text->substr(0, kMaxLabel);
        level.TextGiven = true;
    }
    if (auto suffix = ChildVal(&lvl, u"w:suff")) {
        level.Suffix = *suffix == u"space" ? u' ' : *suffix == u"nothing" ? u'\0' : u'\t';
    }
    if (auto restart = ToNumber(ChildVal(&lvl, u"w:lvlRestart"))) level.Restart = static_cast<int>(*restart);
    if (TDTXMLItem* legal = Child(lvl, u"w:isLgl")) {
        auto v = Attr(*legal, u"w:val");
        level.Legal = !v || (*v != u"0" && *v != u"false" && *v != u"off");
    }
    if (auto style = ChildVal(&lvl, u"w:pStyle")) level.Style = *style;
    if (TDTXMLItem* rPr = Child(lvl, u"w:rPr")) {
        if (TDTXMLItem* fonts = Child(*rPr, u"w:rFonts")) {
            std::u16string face = Attr(*fonts, u"w:ascii").value_or(Attr(*fonts, u"w:hAnsi").value_or(u""));
            level.WingdingsFont = face.find(u"Wingdings") != std::u16string::npos;
            level.SymbolFont = face == u"Symbol";
        }
    }
    return level;
}

void TDocxNumbering::Load(TDTXMLItem& numbering, TDTXMLItem* styles) {
    abstracts_.clear();
    nums_.clear();
    styles_.clear();
    ResetCounters();
    if (TDTXMLItem* top = FindItemByTag(&numbering, u"w:numbering")) {
        for (const auto& item : top->Items) {
            TDTXMLItem& node = *item;
            if (node.Kind != ikProperty) continue;
            if (node.TagName == u"w:abstractNum") {
                auto id = Attr(node, u"w:abstractNumId");
                if (!id || abstracts_.count(*id)) continue;  // the first definition of an id counts
                TAbstract& abs = abstracts_[*id];
                for (const auto& child : node.Items) {
                    if (child->Kind != ikProperty) continue;
                    if (child->TagName == u"w:lvl") {
                        auto level = ToLevel(Attr(*child, u"w:ilvl"));
                        if (level && !abs.Levels[*level].Defined) abs.Levels[*level] = ReadLevel(*child);
                    } else if (child->TagName == u"w:numStyleLink") {
                        abs.NumStyleLink = Attr(*child, u"w:val").value_or(u"");
                    }
                }
            } else if (node.TagName == u"w:num") {
                auto id = Attr(node, u"w:numId");
                if (!id || nums_.count(*id)) continue;
                TNum& num = nums_[*id];
                num.Abstract = ChildVal(&node, u"w:abstractNumId").value_or(u"");
                for (const auto& child : node.Items) {
                    if (child->Kind != ikProperty || child->TagName != u"w:lvlOverride") continue;
                    auto level = ToLevel(Attr(*child, u"w:ilvl"));
                    if (!level) continue;
                    if (auto start = ToNumber(ChildVal(child.get(), u"w:startOverride")))
                        num.StartOverride[*level] = *start;
                    if (TDTXMLItem* lvl = Child(*child, u"w:lvl")) num.LevelOverride[*level] = ReadLevel(*lvl);
                }
            }
        }
    }
    TDTXMLItem* top = styles ? FindItemByTag(styles, u"w:styles") : nullptr;
    if (!top) return;
    for (const auto& item : top->Items) {
        if (item->Kind != ikProperty || item->TagName != u"w:style") continue;
        auto id = Attr(*item, u"w:styleId");
        if (!id || styles_.count(*id)) continue;
        TStyle& style = styles_[*id];
        style.BasedOn = ChildVal(item.get(), u"w:basedOn").value_or(u"");
        TDTXMLItem* pPr = Child(*item, u"w:pPr");
        TDTXMLItem* numPr = pPr ? Child(*pPr, u"w:numPr") : nullptr;
        if (!numPr) continue;
        style.NumId = ChildVal(numPr, u"w:numId");
        style.Level = ToLevel(ChildVal(numPr, u"w:ilvl"));
    }
}

void TDocxNumbering::ResetCounters() {
    counters_.clear();
    startedNums_.clear();
}

const TDocxNumbering::TAbstract* TDocxNumbering::AbstractOf(const std::u16string& numId,
                                                            std::u16string* abstractId) const {
    // An abstract definition with w:numStyleLink takes its levels from the
    // numbering of that style (whose own definition has the w:styleLink).
    std::u16string id = numId;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        auto num = nums_.find(id);
        if (num == nums_.end()) return nullptr;
        auto abs = abstracts_.find(num->second.Abstract);
        if (abs == abstracts_.end()) return nullptr;
        if (abs->second.NumStyleLink.empty()) {
            *abstractId = abs->first;
            return &abs->second;
        }
        auto style = styles_.find(abs->second.NumStyleLink);
        if (style == styles_.end() || !style->second.NumId) return nullptr;
        id = *style->second.NumId;
    }
    return nullptr;
}

const TDocxNumbering::TLevel& TDocxNumbering::LevelOf(const TNum& num, const TAbstract& abs, int level) const {
    const auto& over = num.LevelOverride[static_cast<size_t>(level)];
    return over ? *over : abs.Levels[static_cast<size_t>(level)];
}

int64_t TDocxNumbering::StartOf(const TNum& num, const TAbstract& abs, int level) const {
    const auto& over = num.StartOverride[static_cast<size_t>(level)];
    return over ? *over : LevelOf(num, abs, level).Start;
}

std::optional<TDocxNumbering::TLabel> TDocxNumbering::Next(TDTXMLItem* pPr) {
    if (nums_.empty()) return std::nullopt;
    TDTXMLItem* numPr = pPr ? Child(*pPr, u"w:numPr") : nullptr;
    std::optional<std::u16string> numId = ChildVal(numPr, u"w:numId");
    std::optional<std::u16string> levelText = ChildVal(numPr, u"w:ilvl");
    std::optional<int> level = ToLevel(levelText);
    if (levelText && !level) return std::nullopt;  // a level Word does not have
    std::u16string numStyle;  // the style that gave the numbering
    if (!numId) {
        // Through the paragraph style and the styles it is based on.
        std::u16string styleId = ChildVal(pPr, u"w:pStyle").value_or(u"");
        std::optional<int> styleLevel;
        for (int hop = 0; hop < kMaxLinks && !styleId.empty(); ++hop) {
            auto style = styles_.find(styleId);
            if (style == styles_.end()) break;
            if (!styleLevel) styleLevel = style->second.Level;
            if (style->second.NumId) {
                numId = style->second.NumId;
                numStyle = styleId;
                break;
            }
            styleId = style->second.BasedOn;
        }
        if (!level) level = styleLevel;
    }
    if (!numId || *numId == u"0") return std::nullopt;
    auto numIt = nums_.find(*numId);
    if (numIt == nums_.end()) return std::nullopt;
    const TNum& num = numIt->second;
    std::u16string abstractId;
    const TAbstract* abs = AbstractOf(*numId, &abstractId);
    if (!abs) return std::nullopt;
    if (!level && !numStyle.empty()) {
        // A style without a level (headings): the level that names the style.
        for (int l = 0; l < kLevels && !level; ++l)
            if (LevelOf(num, *abs, l).Style == numStyle) level = l;
    }
    int current = level.value_or(0);
    const TLevel& def = LevelOf(num, *abs, current);
    if (!def.Defined) return std::nullopt;

    TCounters& counters = counters_[abstractId];
    if (startedNums_.insert(*numId).second) {
        // An instance that overrides start values restarts those levels.
        for (int l = 0; l < kLevels; ++l)
            if (num.StartOverride[static_cast<size_t>(l)] || num.LevelOverride[static_cast<size_t>(l)])
                counters.Set[static_cast<size_t>(l)] = false;
    }
    auto at = [](auto& array, int l) -> auto& { return array[static_cast<size_t>(l)]; };
    int64_t value = at(counters.Set, current) ? std::min(at(counters.Value, current) + 1, kMaxCounter)
                                              : StartOf(num, *abs, current);
    at(counters.Value, current) = value;
    at(counters.Set, current) = true;
    for (int deeper = current + 1; deeper < kLevels; ++deeper) {
        int restart = LevelOf(num, *abs, deeper).Restart;
        if (restart == 0 || (restart > 0 && current >= restart)) continue;
        at(counters.Set, deeper) = false;
    }

    TLabel label;
    label.Suffix = def.Suffix;
    const std::u16string& text = def.Text;
    for (size_t i = 0; i < text.size() && label.Text.size() < kMaxLabel; ++i) {
        char16_t c = text[i];
        if (c == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
            int l = text[++i] - u'1';
            int64_t n = l == current ? value : at(counters.Set, l) ? at(counters.Value, l) : StartOf(num, *abs, l);
            const TLevel& shown = LevelOf(num, *abs, l);
            // A legal-style level shows every number in decimal.
            bool decimal = def.Legal && shown.Format != u"decimalZero";
            label.Text += FormatNumber(n, decimal ? std::u16string_view(u"decimal") : std::u16string_view(shown.Format));
        } else if (def.Format == u"bullet" || def.SymbolFont || def.WingdingsFont) {
            label.Text += BulletCharacter(c, def.WingdingsFont);
        } else {
            label.Text += c;
        }
    }
    if (label.Text.size() > kMaxLabel) label.Text.resize(kMaxLabel);
    if (label.Text.empty()) return std::nullopt;
    return label;
}

}  // namespace quillmark
