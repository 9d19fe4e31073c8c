// libFuzzer target: the OpenDocument readers in all three renderings, from a
// package (the input as a zip) or a flat document (the input as XML), with
// a password set so encrypted members are decrypted too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/readers/odf_documents.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{16} << 20);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (auto format : {quillmark::tfPlainText, quillmark::tfHTML, quillmark::tfRTF}) {
        quillmark::TOpenOfficeTextDocument reader;
        reader.SetTextFormating(format);
        if (format == quillmark::tfRTF) reader.SetPassword("pw");
        quillmark::TMemoryStream stream(bytes);
        try {
            reader.LoadFromStream(stream);
        } catch (const quillmark::Exception&) {
        }
    }
    quillmark::TOpenOfficeSpreadsheet sheet;
    quillmark::TMemoryStream stream(bytes);
    try {
        sheet.LoadFromStream(stream);
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
