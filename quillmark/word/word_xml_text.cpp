#include "quillmark/word/word_xml_text.h"

#include <vector>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/package/xml_entities.h"

namespace quillmark {

namespace {

// The value of the first node named tag below start (searching start's own
// run only: nested runs and paragraphs, as in text boxes, have their own).
std::u16string ValueBelow(TDTXMLItem& start, std::u16string_view tag, std::u16string_view attribute) {
    TDTXMLItem* node = FindItemByTag(&start, tag, false, u"w:r", u"w:p");
    if (!node) return {};
    TDTXMLItem* value = FindItemByTag(node, attribute, false, u"w:r", u"w:p");
    return value ? value->GetTagValue() : std::u16string();
}

// A strict decimal integer, or fallback.
int ToInt(std::u16string_view s, int fallback) {
    if (s.empty() || s.size() > 9) return fallback;
    int v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') return fallback;
        v = v * 10 + (c - u'0');
    }
    return v;
}

}  // namespace

std::u16string TWordXmlTextWalk::FontTag(TDTXMLItem& run) {
    std::u16string face = ValueBelow(run, u"w:rFonts", u"w:cs");
    std::u16string color = ValueBelow(run, u"w:color", u"w:val");
    std::u16string size = ValueBelow(run, u"w:sz", u"w:val");
    if (face.empty() || color.empty() || size.empty()) return {};
    int halfPoints = ToInt(size, -1);
    int points = halfPoints < 0 ? -1 : halfPoints / 2;
    return u" <font face=\"" + EscapeHtml(face) + u"\" color=\"#" + EscapeHtml(color) + u"\" size=\"" +
           Latin1ToUtf16(GetHTMLFontSize(points)) + u"\">";
}

void TWordXmlTextWalk::EmitBuffer() {
    if (!buffer_.empty()) emit_(std::move(buffer_));
    buffer_.clear();
}

void TWordXmlTextWalk::Flush() { EmitBuffer(); }

// HTML has no lower-case "&tab;" entity; a numeric reference reads the same
// in every browser and XML parser.
void TWordXmlTextWalk::AppendTab() { Append(format_ == tfRTF ? u"\\tab " : format_ == tfHTML ? u"&#9;" : u"\t"); }

void TWordXmlTextWalk::AppendLabel(TDTXMLItem& paragraph) {
    // The paragraph properties come first among its children.
    TDTXMLItem* properties = nullptr;
    for (const auto& item : paragraph.Items) {
        if (item->Kind == ikAttribute) continue;
        if (item->TagName == u"w:pPr") properties = item.get();
        break;
    }
    auto label = numbering_->Next(properties);
    if (!label) return;
    AppendEscaped(buffer_, label->Text, format_);
    if (label->Suffix == u'\t') AppendTab();
    else if (label->Suffix == u' ') Append(u" ");
}

// Returns whether the node is a run that opened a font tag.
bool TWordXmlTextWalk::Enter(TDTXMLItem& node) {
    std::u16string_view tag = node.TagName;
    if (tag == u"w:p") {
        // A paragraph inside another (text-box content in a run): the outer
        // paragraph's text so far becomes a line of its own first.
        if (paragraphDepth_ > 0) {
            if (format_ == tfHTML) {
                if (buffer_ != u"<p>") emit_(buffer_ + u"</p>");
                buffer_.clear();
            } else {
                EmitBuffer();
            }
        }
        buffer_ = format_ == tfHTML ? u"<p>" : u"";
        ++paragraphDepth_;
        resumed_ = false;
        if (numbering_) AppendLabel(node);
    } else if (tag == u"w:t" || tag == u"m:t") {
        // The raw text, entities decoded; quotes are document text here.
        if (node.Value.find(u'&') == std::u16string::npos) AppendEscaped(buffer_, node.Value, format_);
        else AppendEscaped(buffer_, DecodeXmlEntities(node.Value), format_);
    } else if (tag == u"w:r" && format_ == tfHTML) {
        std::u16string open = FontTag(node);
        if (!open.empty()) {
            Append(open);
            return true;
        }
    }
    return false;
}

void TWordXmlTextWalk::Leave(TDTXMLItem& node, bool fontMarked) {
    std::u16string_view tag = node.TagName;
    if (tag == u"w:tab") {
        // Tab stops (w:tab inside w:tabs) are definitions, not tabs.
        if (node.ParentItem && node.ParentItem->TagName == u"w:tabs") return;
        AppendTab();
    } else if (tag == u"w:br" || tag == u"w:cr") {
        Append(format_ == tfRTF ? u"\\line " : format_ == tfHTML ? u"<br>" : u"\r\n");
    } else if (tag == u"w:noBreakHyphen") {
        Append(u"-");
    } else if (tag == u"w:r") {
        if (fontMarked) Append(u"</font>");
    } else if (tag == u"w:p") {
        bool empty = buffer_.empty() || (format_ == tfHTML && buffer_ == u"<p>");
        if (format_ == tfHTML) buffer_ += u"</p>";
        // The rest of a paragraph that held a nested one gives a line only
        // when it has text of its own.
        if (resumed_ && empty) buffer_.clear();
        EmitBuffer();
        if (paragraphDepth_ > 0) --paragraphDepth_;
        if (paragraphDepth_ > 0) {
            buffer_ = format_ == tfHTML ? u"<p>" : u"";
            resumed_ = true;
        }
    }
}

void TWordXmlTextWalk::Walk(TDTXMLItem& root) {
    struct Frame {
        TDTXMLItem* node;
        int next;
        bool fontMarked;
    };
    std::vector<Frame> stack;
    stack.push_back({&root, 0, Enter(root)});
    while (!stack.empty()) {
        if (stop_ && stop_()) return;
        Frame& top = stack.back();
        if (top.next < top.node->Items.Count()) {
            TDTXMLItem* child = top.node->Items[top.next++];
            // Markup-compatibility fallbacks repeat the content of the choice
            // before them (a text box as DrawingML, then again as VML).
            if (child->Kind == ikAttribute || child->TagName == u"mc:Fallback") continue;
            bool marked = Enter(*child);
            stack.push_back({child, 0, marked});
            continue;
        }
        Frame done = top;
        stack.pop_back();
        Leave(*done.node, done.fontMarked);
    }
}

}  // namespace quillmark
