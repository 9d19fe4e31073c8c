// VBA projects. The first byte chooses the entry: the compressed-container
// decoder alone, the "dir" record parser (after decompression), the older
// "_VBA_PROJECT" table, or a whole document (compound file or zip package)
// searched for its project and listed. Every output stays under the cap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/word/vba_decompression.h"
#include "quillmark/word/vba_project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (4u << 20)) return 0;
    constexpr size_t kCap = size_t{16} << 20;
    quillmark::SetMaxOutputBytes(kCap);
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        switch (data[0] % 4) {
            case 0: {
                std::string out;
                try {
                    quillmark::DecompressVBAContainer(bytes, out);
                } catch (const quillmark::Exception&) {
                }
                if (out.size() > kCap) std::abort();
                break;
            }
            case 1:
                quillmark::ParseVBADirStream(quillmark::DecompressVBAContainer(bytes));
                break;
            case 2: {
                quillmark::TVBAProjectItems items;
                quillmark::ReadVBAProjectStream(bytes, items);
                break;
            }
            default: {
                quillmark::TVBAProject project;
                if (quillmark::ReadDocumentVBAProject(bytes, project)) {
                    quillmark::TWideStrings listing;
                    quillmark::AppendMacroListing(project.Items, project.CodePage, listing);
                }
                quillmark::HasVBAProject(bytes);
            }
        }
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
