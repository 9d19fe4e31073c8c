#include "quillmark/framework/markup_escape.h"

#include "quillmark/framework/base_document.h"

namespace quillmark {

namespace {

void AppendHtml(std::u16string& out, std::u16string_view text) {
    for (char16_t c : text) {
        switch (c) {
            case u'&': out += u"&amp;"; break;
            case u'<': out += u"&lt;"; break;
            case u'>': out += u"&gt;"; break;
            case u'"': out += u"&quot;"; break;
            default: out.push_back(c);
        }
    }
}

void AppendRtf(std::u16string& out, std::u16string_view text) {
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out.push_back(u'\\');
            out.push_back(c);
        } else if (c > 0x7F) {
            // RTF's \u takes a signed 16-bit number.
            int n = c > 0x7FFF ? static_cast<int>(c) - 0x10000 : static_cast<int>(c);
            std::string num = std::to_string(n);
            out += u"\\u";
            for (char d : num) out.push_back(static_cast<char16_t>(d));
            out.push_back(u'?');
        } else {
            out.push_back(c);
        }
    }
}

}  // namespace

void AppendEscaped(std::u16string& out, std::u16string_view text, TMSTextFormating format) {
    switch (format) {
        case tfHTML: AppendHtml(out, text); break;
        case tfRTF: AppendRtf(out, text); break;
        default: out.append(text);
    }
}

std::u16string EscapeHtml(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendHtml(out, text);
    return out;
}

std::u16string EscapeRtf(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendRtf(out, text);
    return out;
}

std::u16string EscapeText(std::u16string_view text, TMSTextFormating format) {
    std::u16string out;
    out.reserve(text.size());
    AppendEscaped(out, text, format);
    return out;
}

}  // namespace quillmark
