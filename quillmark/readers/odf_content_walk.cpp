#include "quillmark/readers/odf_content_walk.h"

#include "quillmark/framework/limits.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/package/xml_entities.h"
#include "quillmark/readers/odf_styles.h"

namespace quillmark {

namespace {

// A run of text:s spaces is bounded: the count is the document's to choose.
constexpr size_t kMaxSpaceRun = 1024;
// How many nodes the search for a paragraph's or table's style may visit.
constexpr int kStyleSearchNodes = 4096;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::u16string_view s, std::u16string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The node's own attribute (attributes come first among its children).
const TDTXMLItem* OwnAttribute(const TDTXMLItem& node, std::u16string_view name) {
    for (const auto& child : node.Items) {
        if (child->Kind != ikAttribute) break;
        if (child->TagName == name) return child.get();
    }
    return nullptr;
}

std::u16string OwnAttributeValue(const TDTXMLItem& node, std::u16string_view name) {
    const TDTXMLItem* a = OwnAttribute(node, name);
    return a ? a->GetTagValue() : std::u16string();
}

// A repeat count: decimal digits, at least 1; huge values are clipped (the
// output budget decides how many copies are really made).
size_t RepeatCount(const TDTXMLItem& node, std::u16string_view name) {
    const TDTXMLItem* a = OwnAttribute(node, name);
    if (!a) return 1;
    std::u16string v = a->GetTagValue();
    size_t n = 0;
    for (char16_t c : v) {
        if (c < u'0' || c > u'9') break;
        n = n * 10 + static_cast<size_t>(c - u'0');
        if (n > 100000000) break;
    }
    return n == 0 ? 1 : n;
}

// Elements whose content is not document text: the deleted and changed
// text kept for change tracking, and the templates of generated indexes
// (text:table-of-content-source ...), whose rendered text is elsewhere.
bool IsSkipped(std::u16string_view tag) {
    return tag == u"text:tracked-changes" || (StartsWith(tag, u"text:") && EndsWith(tag, u"-source")) ||
           tag == u"presentation:header-decl" || tag == u"presentation:footer-decl" ||
           tag == u"presentation:date-time-decl";
}

}  // namespace

std::u16string TOpenDocumentWalk::InnerText(TDTXMLItem& node) {
    std::u16string raw;
    std::vector<std::pair<TDTXMLItem*, int>> stack{{&node, 0}};
    while (!stack.empty()) {
        auto& [n, next] = stack.back();
        if (next >= n->Items.Count()) {
            stack.pop_back();
            continue;
        }
        TDTXMLItem* child = n->Items[next++];
        if (child->Kind == ikText) raw += child->Value;
        else if (child->Kind == ikProperty) stack.push_back({child, 0});
    }
    return raw.find(u'&') == std::u16string::npos ? raw : DecodeXmlEntities(raw);
}

std::u16string TOpenDocumentWalk::StyleBelow(TDTXMLItem& node) const {
    int budget = kStyleSearchNodes;
    std::vector<std::pair<TDTXMLItem*, int>> stack{{&node, 0}};
    while (!stack.empty() && budget-- > 0) {
        auto& [n, next] = stack.back();
        if (next >= n->Items.Count()) {
            stack.pop_back();
            continue;
        }
        TDTXMLItem* child = n->Items[next++];
        if (child->Kind == ikAttribute && child->TagName == u"text:style-name") return child->GetTagValue();
        if (child->Kind == ikProperty) stack.push_back({child, 0});
    }
    return {};
}

size_t TOpenDocumentWalk::DefaultRepeatBudget() { return MaxOutputBytes() / 2; }

TOpenDocumentWalk::Context* TOpenDocumentWalk::Innermost(ContextKind kind) {
    for (auto it = contexts_.rbegin(); it != contexts_.rend(); ++it)
        if (it->kind == kind) return &*it;
    return nullptr;
}

std::u16string TOpenDocumentWalk::Raise(TDTWordSysChar kind, const std::u16string& value) {
    return raise_ ? raise_(kind, value) : std::u16string();
}

void TOpenDocumentWalk::Output(std::u16string&& line) {
    for (auto it = contexts_.rbegin(); it != contexts_.rend(); ++it) {
        if (it->kind != ContextKind::Barrier) {
            it->lines.push_back(std::move(line));
            return;
        }
    }
    emit_(std::move(line));
}

void TOpenDocumentWalk::PushParagraph(TDTXMLItem& node) {
    Context c(ContextKind::Paragraph);
    c.node = &node;
    contexts_.push_back(std::move(c));
}

void TOpenDocumentWalk::FinishParagraph() {
    Context c = std::move(contexts_.back());
    contexts_.pop_back();
    std::u16string line;
    if (format_ == tfHTML) {
        std::u16string style = StyleBelow(*c.node);
        line = style.empty() ? u"<p>" : u"<p class=\"" + OOClassName(style) + u"\">";
        line += c.line;
        line += u"</p>";
    } else if (format_ == tfRTF) {
        line = std::move(c.line);
        line += u"\\par ";
    } else {
        line = std::move(c.line);
    }
    if (raise_) Raise(scUnknown, c.plain);
    if (part_ && noteDepth_ > 0) part_(TOOWalkPart::Notes, line);
    if (part_ && annotationDepth_ > 0) part_(TOOWalkPart::Annotations, line);
    Output(std::move(line));
    for (auto& following : c.lines) Output(std::move(following));
}

void TOpenDocumentWalk::PushCapture(size_t repeat) {
    Context c(ContextKind::Capture);
    c.repeat = repeat;
    c.textAtStart = textChars_;
    contexts_.push_back(std::move(c));
}

void TOpenDocumentWalk::FinishCapture() {
    Context c = std::move(contexts_.back());
    contexts_.pop_back();
    // Only content is repeated: an empty row or cell stands once, however
    // many times the sheet repeats it (spreadsheets fill their last row
    // with a million empty ones).
    size_t times = textChars_ > c.textAtStart ? c.repeat : 1;
    for (size_t k = 1; k < times; ++k) {
        size_t size = 0;
        for (const auto& l : c.lines) size += l.size() + 2;
        if (size > repeatBudget_) break;
        repeatBudget_ -= size;
        for (const auto& l : c.lines) Output(std::u16string(l));
    }
    for (auto& l : c.lines) Output(std::move(l));
}

void TOpenDocumentWalk::AppendText(std::u16string_view raw) {
    Context& c = contexts_.back();
    std::u16string decoded;
    if (raw.find(u'&') != std::u16string_view::npos) {
        decoded = DecodeXmlEntities(raw);
        raw = decoded;
    }
    scratch_.clear();
    for (char16_t ch : raw) {
        if (IsBlank(ch)) {
            if (c.spacePending) continue;
            scratch_ += u' ';
            c.spacePending = true;
        } else {
            scratch_ += ch;
            c.spacePending = false;
        }
    }
    if (scratch_.empty()) return;
    textChars_ += scratch_.size();
    if (format_ == tfPlainText) c.line += scratch_;
    else AppendEscaped(c.line, scratch_, format_);
    if (raise_) c.plain += scratch_;
}

void TOpenDocumentWalk::AppendLiteral(std::u16string_view rendered, std::u16string_view plain) {
    Context& c = contexts_.back();
    c.line += rendered;
    if (raise_) c.plain += plain;
    textChars_ += plain.size();
    c.spacePending = false;
}

void TOpenDocumentWalk::AppendMarkup(std::u16string_view markup) { contexts_.back().line += markup; }

bool TOpenDocumentWalk::Enter(TDTXMLItem& node, unsigned& opened) {
    opened = opNone;
    if (node.Kind == ikText) {
        if (InParagraph()) AppendText(node.Value);
        return false;
    }
    if (node.Kind != ikProperty) return false;
    std::u16string_view tag = node.TagName;
    if (IsSkipped(tag)) return false;

    if (tag == u"text:p" || tag == u"text:h") {
        PushParagraph(node);
        opened = opContext;
        return true;
    }
    if (tag == u"text:span" || tag == u"text:a") {
        bool inline_ = InParagraph();
        if (!inline_) {
            // A span or link outside any paragraph is a line of its own.
            PushParagraph(node);
            opened = opContext;
        }
        if (format_ == tfHTML) {
            if (tag == u"text:a") {
                AppendMarkup(u"<a href=\"" + EscapeHtml(OwnAttributeValue(node, u"xlink:href")) + u"\">");
                opened |= opLink;
            } else if (inline_) {
                std::u16string style = OwnAttributeValue(node, u"text:style-name");
                if (!style.empty()) {
                    AppendMarkup(u"<span class=\"" + OOClassName(style) + u"\">");
                    opened |= opSpan;
                }
            }
        }
        return true;
    }
    if (InParagraph()) {
        if (tag == u"text:s") {
            size_t count = std::min(RepeatCount(node, u"text:c"), kMaxSpaceRun);
            std::u16string spaces(count, u' ');
            AppendLiteral(spaces, spaces);
            return false;
        }
        if (tag == u"text:tab") {
            AppendLiteral(format_ == tfRTF ? u"\\tab " : u"\t", u"\t");
            return false;
        }
        if (tag == u"text:line-break") {
            AppendLiteral(format_ == tfRTF ? u"\\line " : format_ == tfHTML ? u"<br>" : u"\r\n", u"\r\n");
            contexts_.back().spacePending = true;
            return false;
        }
        if (tag == u"text:soft-page-break") return false;
        // Any other text element (fields, bookmarks, notes and their
        // citations, ruby, list numbers) is inline: its text is the
        // paragraph's. Everything else - a note's body, an annotation, a
        // frame, a shape - holds lines of its own, which follow the line.
        if (StartsWith(tag, u"text:") && tag != u"text:note-body") return true;
        contexts_.emplace_back(ContextKind::Barrier);
        opened |= opContext;
    }
    if (tag == u"text:note-body" || tag == u"presentation:notes") {
        ++noteDepth_;
        opened |= opNote;
    } else if (tag == u"office:annotation") {
        ++annotationDepth_;
        opened |= opAnnotation;
    } else if (tag == u"draw:image") {
        const TDTXMLItem* href = OwnAttribute(node, u"xlink:href");
        if (href) {
            std::u16string t = href->GetTagValue();
            t += Raise(scIncludePicture, t);
            textChars_ += t.size();
            if (format_ == tfRTF) Output(EscapeRtf(t) + u"\\par ");
            else if (format_ == tfHTML) Output(u"<img src=\"" + EscapeHtml(t) + u"\"><br>");
            else Output(std::move(t));
        }
    } else if (tag == u"table:table") {
        if (format_ == tfHTML) {
            std::u16string style = StyleBelow(node);
            Output(style.empty() ? u"<table border=\"1\">"
                                 : u"<table border=\"1\" class=\"" + OOClassName(style) + u"\">");
        }
    } else if (tag == u"table:table-row" || tag == u"table:table-cell") {
        bool row = tag == u"table:table-row";
        size_t repeat = RepeatCount(node, row ? u"table:number-rows-repeated" : u"table:number-columns-repeated");
        if (repeat > 1) {
            PushCapture(repeat);
            opened |= opContext;
        }
        if (format_ == tfHTML) Output(row ? u"  <tr>" : u"    <td>");
    } else if (tag == u"text:list") {
        if (format_ == tfHTML) Output(u"<ul>");
    } else if (tag == u"text:list-item") {
        if (format_ == tfHTML) Output(u"  <li>");
    }
    return true;
}

void TOpenDocumentWalk::Leave(TDTXMLItem& node, unsigned opened) {
    if (opened & opLink) AppendMarkup(u"</a>");
    if (opened & opSpan) AppendMarkup(u"</span>");
    std::u16string_view tag = node.TagName;
    if (tag == u"text:list-item") {
        if (format_ == tfHTML) Output(u"  </li>");
    } else if (tag == u"text:list") {
        if (format_ == tfHTML) Output(u"</ul>");
    } else if (tag == u"table:table-cell" || tag == u"table:table-row") {
        bool row = tag == u"table:table-row";
        std::u16string end = format_ == tfHTML ? (row ? u"  </tr>" : u"    </td>") : u"";
        end += Raise(row ? scRowEnd : scColumnEnd, end);
        Output(std::move(end));
    } else if (tag == u"table:table") {
        if (format_ == tfHTML) Output(u"</table>");
    } else if (tag == u"draw:page") {
        Output(Raise(scEndOfPage, u""));
    }
    if (opened & opContext) {
        switch (contexts_.back().kind) {
            case ContextKind::Paragraph: FinishParagraph(); break;
            case ContextKind::Capture: FinishCapture(); break;
            case ContextKind::Barrier: contexts_.pop_back(); break;
        }
    }
    if (opened & opNote) --noteDepth_;
    if (opened & opAnnotation) --annotationDepth_;
}

void TOpenDocumentWalk::Walk(TDTXMLItem& root) {
    struct Frame {
        TDTXMLItem* node;
        int next;
        unsigned opened;
    };
    std::vector<Frame> stack;
    unsigned opened = opNone;
    if (!Enter(root, opened)) {
        Leave(root, opened);
        return;
    }
    stack.push_back({&root, 0, opened});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.node->Items.Count() && !(stop_ && stop_())) {
            TDTXMLItem* child = top.node->Items[top.next++];
            if (child->Kind == ikAttribute) continue;
            if (Enter(*child, opened)) stack.push_back({child, 0, opened});
            else Leave(*child, opened);
            continue;
        }
        Frame done = top;
        stack.pop_back();
        Leave(*done.node, done.opened);
    }
}

}  // namespace quillmark
