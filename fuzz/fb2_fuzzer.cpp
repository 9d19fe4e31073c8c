// libFuzzer target: FictionBook books (and zipped books) in all three renderings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/readers/fiction_book.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    (void)quillmark::TFictionBook::IsFictionBookData(bytes);
    for (auto format : {quillmark::tfPlainText, quillmark::tfHTML, quillmark::tfRTF}) {
        quillmark::TFictionBook reader;
        reader.SetTextFormating(format);
        quillmark::TMemoryStream stream(bytes);
        try {
            reader.LoadFromStream(stream);
        } catch (const quillmark::Exception&) {
        }
    }
    return 0;
}
