// libFuzzer target: Word 2007 list numbering. The input is numbering.xml,
// a NUL byte, styles.xml, a NUL byte, then a document part whose paragraphs
// are numbered; every label must stay within its cap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "quillmark/framework/exception.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/word/docx_numbering.h"
#include "quillmark/word/word_xml_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 18)) return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t a = input.find('\0');
    size_t b = a == std::string_view::npos ? a : input.find('\0', a + 1);
    if (b == std::string_view::npos) return 0;
    try {
        quillmark::TDTXMLEngine numbering, styles, document;
        numbering.LoadFromBytes(input.substr(0, a));
        styles.LoadFromBytes(input.substr(a + 1, b - a - 1));
        document.LoadFromBytes(input.substr(b + 1));
        quillmark::TDocxNumbering model;
        model.Load(numbering.RootItem(), &styles.RootItem());
        size_t total = 0;
        quillmark::TWordXmlTextWalk walk(
            quillmark::tfPlainText, [&](std::u16string&& line) { total += line.size(); }, nullptr);
        walk.SetNumbering(&model);
        walk.Walk(document.RootItem());
        walk.Flush();
        // Each paragraph adds at most one capped label and its separator.
        if (total > 2 * size * (quillmark::TDocxNumbering::kMaxLabel + 1) + 1024) std::abort();
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
