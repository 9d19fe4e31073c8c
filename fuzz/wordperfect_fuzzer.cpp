// libFuzzer target: WordPerfect 5.x/6.x documents (plain or in a compound
// file) in all three renderings.
#include <string_view>

#include "fuzz/reader_fuzzer.h"
#include "quillmark/readers/wordperfect_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return quillmark::fuzz::LoadInEveryRendering<quillmark::TWordPerfectFile>(data, size);
}
