#include "quillmark/readers/wri_markup.h"

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/markup_escape.h"

namespace quillmark {

namespace {

void Append(std::u16string& out, std::string_view ascii) {
    for (char c : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

enum class Shift { None, Sub, Sup };

// A vertical position of 1-127 lowers the run, 128-255 raises it.
Shift VerticalShift(const TWRICharProps& props) {
    if (props.Position == 0) return Shift::None;
    return props.Position < 128 ? Shift::Sub : Shift::Sup;
}

}  // namespace

void AppendWRIParagraphOpen(std::u16string& out, TMSTextFormating format) {
    if (format == tfRTF) Append(out, "\\par ");
    else if (format == tfHTML) Append(out, "<p>");
}

void AppendWRIParagraphClose(std::u16string& out, TMSTextFormating format) {
    if (format == tfRTF) Append(out, "\r\n");
    else if (format == tfHTML) Append(out, "</p>");
}

void AppendWRIRunOpen(std::u16string& out, TMSTextFormating format, const TWRICharProps& props,
                      size_t fontIndex, const TWRIFont* font) {
    const int size = props.HalfPoints;
    if (format == tfRTF) {
        std::string s = "\\pard\\f" + std::to_string(fontIndex) + "\\fs" + std::to_string(size) + " ";
        if (size > 0) s += "\\fs" + std::to_string(size) + " ";
        if (props.Bold) s += "\\b ";
        if (props.Italic) s += "\\i ";
        if (props.Underline) s += "\\ul ";
        Append(out, s);
    } else if (format == tfHTML) {
        Append(out, "<font");
        if (font) {
            Append(out, " face=\"");
            out += EscapeHtml(MultiByteToWide(font->Name, CP_ACP));
            Append(out, "\"");
        }
        if (size > 0) Append(out, " size=\"" + GetHTMLFontSize(size / 2) + "\"");
        Append(out, ">");
        if (props.Bold) Append(out, "<b>");
        if (props.Italic) Append(out, "<i>");
        if (props.Underline) Append(out, "<u>");
        Shift shift = VerticalShift(props);
        if (shift == Shift::Sub) Append(out, "<sub>");
        if (shift == Shift::Sup) Append(out, "<sup>");
    }
}

void AppendWRIRunClose(std::u16string& out, TMSTextFormating format, const TWRICharProps& props) {
    if (format == tfRTF) {
        if (props.Bold) Append(out, "\\b0 ");
        if (props.Italic) Append(out, "\\i0 ");
        if (props.Underline) Append(out, "\\ul0 ");
    } else if (format == tfHTML) {
        Shift shift = VerticalShift(props);
        if (shift == Shift::Sub) Append(out, "</sub>");
        if (shift == Shift::Sup) Append(out, "</sup>");
        if (props.Underline) Append(out, "</u>");
        if (props.Italic) Append(out, "</i>");
        if (props.Bold) Append(out, "</b>");
        Append(out, "</font>");
    }
}

}  // namespace quillmark
