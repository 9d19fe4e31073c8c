#include "quillmark/readers/fiction_book_inline.h"

#include <algorithm>
#include <vector>

#include "quillmark/framework/markup_escape.h"
#include "quillmark/package/xml_entities.h"
#include "quillmark/readers/fiction_book_tree.h"

namespace quillmark {

namespace {

bool IsXmlBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Inline elements and what they become; elements not listed (style, a in
// RTF and plain text ...) contribute their text without markup.
struct TInlineMarkup {
    std::u16string_view Name;
    std::u16string_view HtmlOpen, HtmlClose;
    std::u16string_view RtfOpen;  // closed by "}"
};
constexpr TInlineMarkup kInlineMarkup[] = {
    {u"emphasis", u"<i>", u"</i>", u"{\\i "},
    {u"strong", u"<b>", u"</b>", u"{\\b "},
    {u"strikethrough", u"<s>", u"</s>", u"{\\strike "},
    {u"sub", u"<sub>", u"</sub>", u"{\\sub "},
    {u"sup", u"<sup>", u"</sup>", u"{\\super "},
    {u"code", u"<code>", u"</code>", u""},
};

class TLineBuilder {
public:
    explicit TLineBuilder(TMSTextFormating format) : format_(format) {}

    // Raw element text: entities decoded, blanks collapsed, escaped.
    void Text(std::u16string_view raw) {
        if (raw.empty()) return;
        std::u16string decoded;
        if (raw.find(u'&') != std::u16string_view::npos) {
            decoded = DecodeXmlEntities(raw);
            raw = decoded;
        }
        size_t i = 0;
        while (i < raw.size()) {
            if (IsXmlBlank(raw[i])) {
                pendingBlank_ = hasText_;
                ++i;
                continue;
            }
            size_t j = i;
            while (j < raw.size() && !IsXmlBlank(raw[j])) ++j;
            if (pendingBlank_) out_ += u' ';
            pendingBlank_ = false;
            AppendEscaped(out_, raw.substr(i, j - i), format_);
            hasText_ = true;
            i = j;
        }
    }
    // Markup of the rendering, passed through as it is. A blank waiting
    // before an opening tag is written first, so "a <b>b</b>" keeps it.
    void Markup(std::u16string_view markup, bool opening) {
        if (markup.empty()) return;
        if (opening && pendingBlank_) {
            out_ += u' ';
            pendingBlank_ = false;
        }
        out_ += markup;
    }
    std::u16string Take() { return std::move(out_); }

private:
    TMSTextFormating format_;
    std::u16string out_;
    bool pendingBlank_ = false;
    bool hasText_ = false;
};

}  // namespace

std::u16string FictionBookLineText(const TDTXMLItem& element, TMSTextFormating format) {
    TLineBuilder line(format);
    // An explicit stack: inline markup can nest as deep as the engine lets
    // a tree go.
    struct Frame {
        const TDTXMLItem* node;
        int next;
        size_t pos;  // how much of node->Value has been written
        std::u16string_view close;
    };
    std::vector<Frame> stack{{&element, 0, 0, {}}};
    std::u16string href;  // kept alive while its opening tag is written
    while (!stack.empty()) {
        Frame& f = stack.back();
        const TDTXMLItems& items = f.node->Items;
        const TDTXMLItem* child = nullptr;
        while (f.next < items.Count()) {
            const TDTXMLItem* c = items[f.next++];
            if (c->Kind == ikProperty) {
                child = c;
                break;
            }
        }
        std::u16string_view value = f.node->Value;
        size_t end = value.size();
        if (child) end = std::min(std::max(size_t{child->ValueOffset}, f.pos), value.size());
        line.Text(value.substr(f.pos, end - f.pos));
        f.pos = end;
        if (!child) {
            line.Markup(f.close, false);
            stack.pop_back();
            continue;
        }
        // Pictures and embedded data have no text.
        if (IsElement(*child, u"image") || IsElement(*child, u"binary")) continue;
        std::u16string_view name = LocalName(child->TagName), close;
        if (format == tfHTML && name == u"a") {
            href = u"<a href=\"" + EscapeHtml(AttributeValue(*child, u"href")) + u"\">";
            line.Markup(href, true);
            close = u"</a>";
        } else if (format != tfPlainText) {
            for (const TInlineMarkup& m : kInlineMarkup) {
                if (m.Name != name) continue;
                std::u16string_view open = format == tfHTML ? m.HtmlOpen : m.RtfOpen;
                line.Markup(open, true);
                close = format == tfHTML ? m.HtmlClose : (open.empty() ? u"" : u"}");
                break;
            }
        }
        stack.push_back({child, 0, 0, close});
    }
    return line.Take();
}

}  // namespace quillmark
