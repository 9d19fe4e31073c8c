// libFuzzer target: the zip reader, loading and extracting every member.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/package/zip_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{16} << 20);
    quillmark::TZipArchive zip;
    try {
        zip.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const quillmark::Exception&) {
        return 0;
    }
    for (int i = 0; i < zip.Count(); ++i) {
        try {
            zip.GetUncompressed(i);
        } catch (const quillmark::Exception&) {
        }
    }
    return 0;
}
