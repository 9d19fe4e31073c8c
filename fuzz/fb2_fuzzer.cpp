// libFuzzer target: FictionBook books (and zipped books) in all three renderings.
#include <string_view>

#include "fuzz/reader_fuzzer.h"
#include "quillmark/readers/fiction_book.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)quillmark::TFictionBook::IsFictionBookData(std::string_view(reinterpret_cast<const char*>(data), size));
    return quillmark::fuzz::LoadInEveryRendering<quillmark::TFictionBook>(data, size);
}
