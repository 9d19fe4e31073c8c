// libFuzzer target: PalmDoc/Peanut books in all three renderings.
#include <string_view>

#include "fuzz/reader_fuzzer.h"
#include "quillmark/readers/palmdoc_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return quillmark::fuzz::LoadInEveryRendering<quillmark::TPalmDocFile>(data, size);
}
