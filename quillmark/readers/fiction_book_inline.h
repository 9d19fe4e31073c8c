// The text of one FictionBook line element (a paragraph, verse line,
// subtitle, table cell ...) in document order, inline markup included:
// "Hello <emphasis>big</emphasis> world" is "Hello big world", in HTML
// "Hello <i>big</i> world". XML white space (line breaks and indentation
// inside the element) collapses to single blanks and the ends are trimmed.
// The text is escaped for the rendering.
#pragma once

#include <string>

#include "quillmark/framework/base_document.h"
#include "quillmark/package/xml_item.h"

namespace quillmark {

std::u16string FictionBookLineText(const TDTXMLItem& element, TMSTextFormating format);

}  // namespace quillmark
