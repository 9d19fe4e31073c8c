// libFuzzer target: content-stream text extraction on its own. The input is
// split at its first NUL byte: a ToUnicode CMap for the composite font /F2
// (also the embedded Type 1 program of /F1, whose encoding it may set),
// then the content stream (shown in /F1, a simple font with widths and
// /Differences, and /F2).
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/pdf/pdf_content.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_syntax.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t split = bytes.find('\0');
    std::string cmap = split == std::string::npos ? std::string() : bytes.substr(0, split);
    std::string content = split == std::string::npos ? bytes : bytes.substr(split + 1);
    auto same = [](const quillmark::PdfObject& o) { return o; };
    quillmark::TDTPDFFont simple, composite;
    simple.SetupEncoding(quillmark::PdfParseObjectBody(
                             "<< /Subtype /Type1 /Encoding << /Differences [32 /space /eacute /f_i /uni4E2D] >> "
                             "/FirstChar 30 /LastChar 34 /Widths [0 250 500 1000 600] "
                             "/FontDescriptor << /FontFile 5 0 R >> >>"),
                         same);
    simple.SetStreamDecoder([&cmap](int32_t) { return cmap; });
    composite.SetupEncoding(quillmark::PdfParseObjectBody("<< /Subtype /Type0 /Encoding /Identity-H >>"), same);
    composite.SetCMap(cmap);
    simple.SetCMap(cmap.size() % 2 ? cmap : std::string());
    quillmark::TDTPDFPageFonts fonts{{"/F1", &simple}, {"/F2", &composite}};
    quillmark::TDTPDFPages pages;
    pages.ParseContents(content, "[0 0 612 792]", &fonts);
    pages.GetPage(0)->GetPlainText();
    pages.GetPage(0)->Items().SortItems();
    composite.ConvertCMap(false, true, std::u16string(content.begin(), content.end()));
    return 0;
}
