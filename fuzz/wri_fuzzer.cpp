// libFuzzer target: Write documents in all three renderings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/readers/wri_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (auto format : {quillmark::tfPlainText, quillmark::tfHTML, quillmark::tfRTF}) {
        quillmark::TWRIFile reader;
        reader.SetTextFormating(format);
        quillmark::TMemoryStream stream(bytes);
        try {
            reader.LoadFromStream(stream);
        } catch (const quillmark::Exception&) {
        }
    }
    return 0;
}
