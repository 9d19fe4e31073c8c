// Compound files: open, walk every storage (depth-limited), read every
// stream, and read the property sets of the root.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/property_set.h"

namespace {

void Walk(const quillmark::TCompoundStorage& storage, int depth) {
    for (const auto& e : storage.Elements()) {
        try {
            if (e.Type == quillmark::TStorageElementType::Stream) {
                auto s = storage.OpenStream(e.Name);
                s->Seek(0, quillmark::TSeekOrigin::soEnd);
            } else if (depth < 16) {
                Walk(storage.OpenStorage(e.Name), depth + 1);
            }
        } catch (const quillmark::Exception&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (4u << 20)) return 0;
    try {
        auto file = quillmark::TCompoundFile::Open(
            std::string(reinterpret_cast<const char*>(data), size));
        Walk(file->Root(), 0);
        quillmark::TDTWordSummaryInformation info;
        quillmark::ReadSummaryInformation(file->Root(), info);
    } catch (const quillmark::Exception&) {
    }
    return 0;
}
