// The RTF and HTML markup a Write document's paragraphs and character runs
// are wrapped in. Plain text gets none of it.
#pragma once

#include <string>

#include "quillmark/framework/base_document.h"
#include "quillmark/readers/wri_records.h"

namespace quillmark {

// RTF "\par ", HTML "<p>".
void AppendWRIParagraphOpen(std::u16string& out, TMSTextFormating format);
// RTF CR LF, HTML "</p>".
void AppendWRIParagraphClose(std::u16string& out, TMSTextFormating format);

// The font, size and attribute markup that opens a run. fontIndex is the
// run's font after clamping to the font table; font is that entry, or null
// when the table is empty (HTML then names no face, RTF font 0).
void AppendWRIRunOpen(std::u16string& out, TMSTextFormating format, const TWRICharProps& props,
                      size_t fontIndex, const TWRIFont* font);
// Closes what AppendWRIRunOpen opened, innermost first.
void AppendWRIRunClose(std::u16string& out, TMSTextFormating format, const TWRICharProps& props);

}  // namespace quillmark
