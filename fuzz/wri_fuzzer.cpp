// libFuzzer target: Write documents in all three renderings.
#include <string_view>

#include "fuzz/reader_fuzzer.h"
#include "quillmark/readers/wri_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return quillmark::fuzz::LoadInEveryRendering<quillmark::TWRIFile>(data, size);
}
