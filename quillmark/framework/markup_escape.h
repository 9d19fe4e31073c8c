// Escaping of document text for the RTF and HTML renderings. Every reader
// passes the text it takes from a document through these before adding it to
// an RTF or HTML output; markup the readers produce themselves is not escaped.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

enum TMSTextFormating : unsigned char;

// HTML: & < > " become entities.
std::u16string EscapeHtml(std::u16string_view text);
// RTF: \ { } are escaped; characters above U+007F become \uN? (N signed
// 16-bit, as RTF requires; the prologue declares \uc1).
std::u16string EscapeRtf(std::u16string_view text);
// Escapes for the given rendering (plain text is returned unchanged).
std::u16string EscapeText(std::u16string_view text, TMSTextFormating format);
// Appends the escaped form to out (no temporary), for hot loops.
void AppendEscaped(std::u16string& out, std::u16string_view text, TMSTextFormating format);

}  // namespace quillmark
