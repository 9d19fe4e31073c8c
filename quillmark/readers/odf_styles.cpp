#include "quillmark/readers/odf_styles.h"

namespace quillmark {

namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The value of the first attribute named tag in the node or below it.
std::u16string ValueOf(TDTXMLItem& node, std::u16string_view tag) {
    TDTXMLItem* a = FindItemByTag(&node, tag, true);
    return a && a->Kind == ikAttribute ? a->GetTagValue() : std::u16string();
}

void ReadTextProperties(TDTXMLItem& properties, TOOStyleText& style) {
    TOOFont& font = style.Font();
    for (const auto& ref : properties.Items) {
        TDTXMLItem& a = *ref;
        if (a.Kind != ikAttribute) continue;
        std::u16string_view tag = a.TagName;
        if (tag == u"fo:font-style") {
            if (a.GetTagValue() == u"italic") font.Style |= fsItalic;
        } else if (tag == u"style:text-underline-style") {
            // ODF keeps underline here; "none" switches it off explicitly.
            std::u16string v = a.GetTagValue();
            if (!v.empty() && v != u"none") font.Style |= fsUnderline;
        } else if (tag == u"fo:font-weight") {
            std::u16string v = a.GetTagValue();
            int weight = 0;
            if (v == u"bold" || (ParseOOFontSize(v, weight) && weight >= 600)) font.Style |= fsBold;
        } else if (tag == u"fo:color") {
            ParseOOColor(a.GetTagValue(), font.Color);
        } else if (tag == u"fo:background-color") {
            ParseOOColor(a.GetTagValue(), style.Color);
        } else if (tag == u"fo:font-size") {
            ParseOOFontSize(a.GetTagValue(), font.Size);
        }
    }
}

void ReadParagraphProperties(TDTXMLItem& properties, TOOStyleText& style) {
    for (const auto& ref : properties.Items) {
        TDTXMLItem& a = *ref;
        if (a.Kind != ikAttribute) continue;
        if (a.TagName == u"fo:text-align") {
            std::u16string v = a.GetTagValue();
            if (v == u"center") style.Alignment = TOOAlignment::Center;
            else if (v == u"end" || v == u"right") style.Alignment = TOOAlignment::Right;
            else style.Alignment = TOOAlignment::Left;  // start, left, justify
        } else if (a.TagName == u"fo:background-color") {
            ParseOOColor(a.GetTagValue(), style.Color);
        }
    }
}

std::u16string Decimal(long long v) {
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

void TOOStyles::ClearStyles() {
    while (!items_.empty()) items_.pop_back();
}

TOOStyle* TOOStyles::GetStyle(int aIndex) const {
    if (aIndex < 0 || aIndex >= Count()) return nullptr;
    return items_[static_cast<size_t>(aIndex)].get();
}

TOOStyle* TOOStyles::FindByStyleName(std::u16string_view aStyleName) const {
    for (const auto& s : items_)
        if (s->StyleName == aStyleName) return s.get();
    return nullptr;
}

bool ParseOOColor(std::u16string_view text, TOOColor& color) {
    if (text.size() != 7 || text[0] != u'#') return false;
    TOOColor value = 0;
    for (int component = 0; component < 3; ++component) {
        int hi = HexDigit(text[1 + 2 * component]), lo = HexDigit(text[2 + 2 * component]);
        if (hi < 0 || lo < 0) return false;
        value |= static_cast<TOOColor>(hi * 16 + lo) << (8 * component);
    }
    color = value;
    return true;
}

std::u16string FormatOOColor(TOOColor color) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out = u"#";
    for (int component = 0; component < 3; ++component) {
        unsigned v = (color >> (8 * component)) & 0xFF;
        out += kHex[v >> 4];
        out += kHex[v & 15];
    }
    return out;
}

bool ParseOOFontSize(std::u16string_view text, int& points) {
    size_t i = 0;
    long long v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        v = v * 10 + (text[i] - u'0');
        if (v > 1000000) return false;
        ++i;
    }
    if (i == 0) return false;
    points = static_cast<int>(v);
    return true;
}

TOORect ParseOOClip(std::u16string_view text) {
    TOORect r;
    if (text.substr(0, 5) != u"rect(" || text.size() < 6) return r;
    std::u16string_view inner = text.substr(5, text.size() - 6);
    long long runs[4] = {0, 0, 0, 0};
    int found = 0;
    size_t i = 0;
    while (i < inner.size() && found < 4) {
        if (inner[i] < u'0' || inner[i] > u'9') {
            ++i;
            continue;
        }
        long long v = 0;
        while (i < inner.size() && inner[i] >= u'0' && inner[i] <= u'9') {
            if (v < 100000000) v = v * 10 + (inner[i] - u'0');
            ++i;
        }
        runs[found++] = v;
    }
    r.Left = static_cast<int>(runs[0]);
    r.Top = static_cast<int>(runs[1]);
    r.Right = static_cast<int>(runs[0] + runs[2]);
    r.Bottom = static_cast<int>(runs[1] + runs[3]);
    return r;
}

std::u16string OOClassName(std::u16string_view styleName) {
    std::u16string out(styleName);
    for (char16_t& c : out) {
        bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                    c == u'-' || c == u'_';
        if (!keep) c = u'_';
    }
    return out;
}

void CollectOOStyles(TDTXMLItem& automaticStyles, TOOStyles& styles) {
    for (const auto& ref : automaticStyles.Items) {
        TDTXMLItem& s = *ref;
        // Attributes, comments and text between the styles describe none.
        if (s.Kind != ikProperty) continue;
        std::u16string family = ValueOf(s, u"style:family");
        std::unique_ptr<TOOStyle> style;
        if (family == u"text" || family == u"paragraph") {
            auto text = std::make_unique<TOOStyleText>();
            if (TDTXMLItem* p = FindItemByTag(&s, u"style:text-properties", true)) ReadTextProperties(*p, *text);
            if (TDTXMLItem* p = FindItemByTag(&s, u"style:paragraph-properties", true))
                ReadParagraphProperties(*p, *text);
            style = std::move(text);
        } else if (family == u"graphic") {
            auto graphic = std::make_unique<TOOStyleGraphic>();
            if (TDTXMLItem* p = FindItemByTag(&s, u"style:graphic-properties", true)) {
                for (const auto& a : p->Items)
                    if (a->Kind == ikAttribute && a->TagName == u"fo:clip")
                        graphic->ClipRect = ParseOOClip(a->GetTagValue());
            }
            style = std::move(graphic);
        } else if (family.empty() && s.TagName == u"text:list-style") {
            style = std::make_unique<TOOStyleNumList>();
        } else {
            style = std::make_unique<TOOStyle>();
        }
        style->StyleName = ValueOf(s, u"style:name");
        style->StyleFamily = family;
        styles.Add(std::move(style));
    }
}

std::vector<std::u16string> OOStylesCss(const TOOStyles& styles) {
    std::vector<std::u16string> lines;
    lines.push_back(u"<style type=\"text/css\">");
    for (int i = 0; i < styles.Count(); ++i) {
        const TOOStyle* s = styles.GetStyle(i);
        std::u16string rule =
            u"." + OOClassName(s->StyleName) + u" { font-family: " + OOClassName(s->StyleFamily) + u";";
        if (const auto* t = dynamic_cast<const TOOStyleText*>(s)) {
            const TOOFont& f = t->TextFont();
            rule += u"\r\nfont-size: " + Decimal(f.Size) + u"pt;color: " + FormatOOColor(f.Color) + u";";
            rule += u"\r\nbackground: " + FormatOOColor(t->Color) + u";";
            rule += u"\r\ntext-align: ";
            rule += t->Alignment == TOOAlignment::Right    ? u"right"
                    : t->Alignment == TOOAlignment::Center ? u"center"
                                                           : u"left";
            rule += u";";
            if (f.Has(fsBold)) rule += u"\r\nfont-weight: bold;";
            if (f.Has(fsItalic)) rule += u"\r\nfont-style: italic;";
            if (f.Has(fsUnderline)) rule += u"\r\ntext-decoration: underline;";
        }
        rule += u"}";
        lines.push_back(std::move(rule));
    }
    lines.push_back(u"</style>");
    return lines;
}

}  // namespace quillmark
