// libFuzzer target: the whole PDF reader (object layer, page tree, fonts,
// CMaps, content text, information dictionary) in plain text and HTML.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{32} << 20);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (auto format : {quillmark::tfPlainText, quillmark::tfHTML}) {
        quillmark::TDTPDFReader reader;
        reader.SetTextFormating(format);
        quillmark::TMemoryStream stream(bytes);
        try {
            reader.LoadFromStream(stream);
            for (int i = 0; i < reader.Pages().Count(); ++i) reader.Pages().GetPage(i)->GetPlainText();
        } catch (const quillmark::Exception&) {
        }
    }
    return 0;
}
