// The HTML frame declares the ANSI code page as its charset, which is right
// for the UTF-16 list saved with a byte-order mark (a browser honours the mark
// first). Text written out as UTF-8 must say so instead, or every character
// outside Latin-1 shows as mojibake.
#pragma once

#include <string>

namespace quillmark {

// Rewrites the charset named by the <meta> tags in the head of html (the text
// before "</head" or "<body") to "utf-8"; a head that names none gains
// <meta charset="utf-8"> right after its <head> tag. A prologue cut short
// (by a maximum text length) is rewritten as far as it goes. Text after the
// head is never touched: document text in HTML has its '<' escaped, so it
// cannot open a tag. Tag and attribute names are matched ignoring ASCII case.
std::string DeclareUtf8Charset(std::string html);

}  // namespace quillmark
