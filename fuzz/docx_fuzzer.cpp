// libFuzzer target: the Word 2007 reader in all three renderings, from a
// zip package or a compound file holding one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/word/word_xml_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{16} << 20);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (auto format : {quillmark::tfPlainText, quillmark::tfHTML, quillmark::tfRTF}) {
        quillmark::TWordXmlFile reader;
        reader.SetTextFormating(format);
        quillmark::TMemoryStream stream(bytes);
        try {
            reader.LoadFromOLEStream(stream);
        } catch (const quillmark::Exception&) {
        }
    }
    return 0;
}
