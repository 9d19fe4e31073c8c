#include "quillmark/package/xml_entities.h"

#include "quillmark/framework/code_pages.h"

namespace quillmark {

namespace {

// Named entities, replaced with or without their ";". Numeric references
// (&#9; &#xA; &#176; ...) are not in this table: matched as name prefixes they
// would cut longer numbers apart ("&#xa0;" read as a line feed and "0;"), so
// DecodeCharacterReferences decodes every one of them whole instead.
constexpr TXmlEntity kEntities[] = {
    {u"&brvbar", u"|"}, {u"&deg", u"\u00B0"}, {u"&plusmn", u"+"}, {u"&para", u"\u00B6"},
    {u"&amp", u"&"},    {u"&lt", u"<"},        {u"&gt", u">"},     {u"&copy", u"c"},
    {u"&quot", u"\""},  {u"&apos", u"'"},      {u"&trade", u"T"},  {u"&nbsp", u""},
    {u"&car", u"\n"},   {u"&ret", u"\r"},
};

// Replaces every occurrence of name (and a ";" right after it) as if the
// search restarted from the start of the text after each replacement. Only
// text next to a replacement can form a new occurrence, and it cannot start
// more than name.size() - 1 characters before the replaced one, so after a
// replacement only that tail and the replacement are scanned again: a single
// left-to-right pass with a small pushback.
void ReplaceRestarting(std::u16string& s, std::u16string_view name, std::u16string_view replacement) {
    if (s.find(name) == std::u16string::npos) return;
    const size_t len = name.size();
    std::u16string out;
    out.reserve(s.size());
    // The unscanned rest, reversed, so that pushing back is cheap.
    std::u16string rest(s.rbegin(), s.rend());
    while (!rest.empty()) {
        out.push_back(rest.back());
        rest.pop_back();
        if (out.size() < len || out.back() != name.back() ||
            std::u16string_view(out).substr(out.size() - len) != name)
            continue;
        out.resize(out.size() - len);
        if (!rest.empty() && rest.back() == u';') rest.pop_back();
        for (size_t i = replacement.size(); i-- > 0;) rest.push_back(replacement[i]);
        for (size_t i = 0; i < len - 1 && !out.empty(); ++i) {
            rest.push_back(out.back());
            out.pop_back();
        }
    }
    s = std::move(out);
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The five entities XML writers use, each with its ";". When every "&" of a
// text starts one of them, and no "&amp;" is followed by a character that
// could begin a name after the "&" it leaves, one left-to-right pass gives
// what the restarting table rule gives: no replacement can form a new name.
struct StandardEntity {
    std::u16string_view text;
    char16_t replacement;
};
constexpr StandardEntity kStandard[] = {
    {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}};

bool DecodeStandardOnly(std::u16string_view text, std::u16string& out) {
    out.clear();
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t amp = text.find(u'&', i);
        if (amp == std::u16string_view::npos) amp = text.size();
        out.append(text.substr(i, amp - i));
        if (amp == text.size()) break;
        const StandardEntity* found = nullptr;
        for (const StandardEntity& e : kStandard)
            if (text.substr(amp, e.text.size()) == e.text) found = &e;
        if (!found) return false;
        size_t next = amp + found->text.size();
        if (found->replacement == u'&' && next < text.size() &&
            std::u16string_view(u"&#abcdeghlnpqrt").find(text[next]) != std::u16string_view::npos)
            return false;
        out.push_back(found->replacement);
        i = next;
    }
    return true;
}

}  // namespace

const TXmlEntity* XmlEntityTable(size_t& count) {
    count = std::size(kEntities);
    return kEntities;
}

std::u16string DecodeNamedEntities(std::u16string_view text) {
    std::u16string s;
    if (text.find(u'&') == std::u16string_view::npos) return std::u16string(text);
    if (DecodeStandardOnly(text, s)) return s;
    s.assign(text);
    for (const TXmlEntity& e : kEntities) ReplaceRestarting(s, e.Name, e.Replacement);
    return s;
}

std::u16string DecodeCharacterReferences(std::u16string_view text) {
    if (text.find(u"&#") == std::u16string_view::npos) return std::u16string(text);
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'&' || i + 2 >= text.size() || text[i + 1] != u'#') {
            out.push_back(text[i++]);
            continue;
        }
        size_t j = i + 2;
        bool hex = text[j] == u'x' || text[j] == u'X';
        if (hex) ++j;
        size_t digitsStart = j;
        uint32_t cp = 0;
        for (; j < text.size(); ++j) {
            int d = hex ? HexDigit(text[j]) : (text[j] >= u'0' && text[j] <= u'9' ? text[j] - u'0' : -1);
            if (d < 0) break;
            if (cp <= 0x10FFFF) cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
        }
        bool valid = j > digitsStart && cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!valid) {
            out.push_back(text[i++]);
            continue;
        }
        if (j < text.size() && text[j] == u';') ++j;
        AppendCodePoint(out, cp);
        i = j;
    }
    return out;
}

std::u16string DecodeXmlEntities(std::u16string_view text) {
    return DecodeCharacterReferences(DecodeNamedEntities(text));
}

}  // namespace quillmark
