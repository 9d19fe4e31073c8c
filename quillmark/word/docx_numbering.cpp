#include "quillmark/word/docx_numbering.h"

#include <algorithm>
#include <string>

namespace quillmark {

namespace {

// Style links (w:basedOn, w:numStyleLink) are followed at most this often.
constexpr int kMaxLinks = 16;

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


TListNumberFormat ParseFormat(std::u16string_view format) {
    using F = TListNumberFormat;
    if (format == u"upperRoman") return F::UpperRoman;
    if (format == u"lowerRoman") return F::LowerRoman;
    if (format == u"upperLetter") return F::UpperLetter;
    if (format == u"lowerLetter") return F::LowerLetter;
    if (format == u"ordinal") return F::Ordinal;
    if (format == u"decimalZero") return F::DecimalZero;
    if (format == u"bullet") return F::Bullet;
    if (format == u"none") return F::None;
    return F::Decimal;
}

// w:lvlText names the levels' numbers %1..%9; the template uses the
// characters 0..8 for them.
std::u16string ReadTemplate(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size() && out.size() < TDocxNumbering::kMaxLabel; ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9')
            out += static_cast<char16_t>(text[++i] - u'1');
        else if (text[i] >= kListLevels)
            out += text[i];
    }
    return out;
}

}  // namespace

std::u16string TDocxNumbering::FormatNumber(int64_t n, std::u16string_view format) {
    return FormatListNumber(n, ParseFormat(format));
}

TDocxNumbering::TLevel TDocxNumbering::ReadLevel(TDTXMLItem& lvl) {
    TLevel result;
    TListLevel& level = result.Level;
    level.Defined = true;
    if (auto start = ToNumber(ChildVal(&lvl, u"w:start"))) level.Start = *start;
    if (auto format = ChildVal(&lvl, u"w:numFmt")) level.Format = ParseFormat(*format);
    if (auto text = ChildVal(&lvl, u"w:lvlText")) level.Template = ReadTemplate(*text);
    if (auto suffix = ChildVal(&lvl, u"w:suff")) {
        level.Suffix = *suffix == u"space" ? u' ' : *suffix == u"nothing" ? u'\0' : u'\t';
    }
    if (auto restart = ToNumber(ChildVal(&lvl, u"w:lvlRestart"))) level.Restart = static_cast<int>(*restart);
    if (TDTXMLItem* legal = Child(lvl, u"w:isLgl")) {
        auto v = Attr(*legal, u"w:val");
        level.Legal = !v || (*v != u"0" && *v != u"false" && *v != u"off");
    }
    if (auto style = ChildVal(&lvl, u"w:pStyle")) result.Style = *style;
    if (TDTXMLItem* rPr = Child(lvl, u"w:rPr")) {
        if (TDTXMLItem* fonts = Child(*rPr, u"w:rFonts")) {
            std::u16string face = Attr(*fonts, u"w:ascii").value_or(Attr(*fonts, u"w:hAnsi").value_or(u""));
            if (face.find(u"Wingdings") != std::u16string::npos) level.Font = TBulletFont::Wingdings;
            else if (face == u"Symbol") level.Font = TBulletFont::Symbol;
        }
    }
    return result;
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
                        if (level && !abs.Levels[*level].Level.Defined) abs.Levels[*level] = ReadLevel(*child);
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

TListLevels TDocxNumbering::LevelsOf(const TNum& num, const TAbstract& abs) const {
    TListLevels levels;
    for (int l = 0; l < kLevels; ++l) {
        TListLevel& level = levels[static_cast<size_t>(l)];
        level = LevelOf(num, abs, l).Level;
        if (const auto& start = num.StartOverride[static_cast<size_t>(l)]) level.Start = *start;
    }
    return levels;
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
    if (!LevelOf(num, *abs, current).Level.Defined) return std::nullopt;

    TListCounters& counters = counters_[abstractId];
    if (startedNums_.insert(*numId).second) {
        // An instance that overrides start values restarts those levels.
        for (int l = 0; l < kLevels; ++l)
            if (num.StartOverride[static_cast<size_t>(l)] || num.LevelOverride[static_cast<size_t>(l)])
                counters.Restart(l);
    }
    return counters.Next(LevelsOf(num, *abs), current);
}

}  // namespace quillmark
