// Builds VBA project parts for the macro tests: a straightforward compressor
// for the compressed container (greedy longest match, written from the
// format's length/offset table so it checks the reader independently), the
// "dir" stream, the older "_VBA_PROJECT" module table, and module streams.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::test {

// Compresses like the format's writers: 4096-byte chunks, each compressed,
// or stored when compression does not make it smaller.
std::string CompressVBA(std::string_view data);
// One compressed chunk holding only literals (no copy tokens).
std::string LiteralChunk(std::string_view data);
// One stored (uncompressed) chunk: exactly 4096 bytes of data.
std::string StoredChunk(std::string_view data4096);

struct VbaDirModule {
    std::string name;         // in the project's code page
    std::u16string unicodeName;
    std::string streamName;
    std::u16string unicodeStreamName;
    uint32_t offset = 0;
};

struct VbaDirBuilder {
    uint16_t codePage = 1252;
    std::vector<VbaDirModule> modules;
    // The uncompressed "dir" stream: project information (with the version
    // record whose size field says 4 but which holds 6 bytes), one reference,
    // the module records and the terminator.
    std::string Build() const;
};

struct VbaProjectTableModule {
    std::u16string name;
    std::u16string id;
    uint32_t offset = 0;
};

// The older "_VBA_PROJECT" layout: a 34-byte header, reference records,
// 132 bytes, the module count and one record per module.
std::string VbaProjectTable(const std::vector<std::u16string>& references,
                            const std::vector<VbaProjectTableModule>& modules);

// A module stream: `cacheBytes` bytes of performance cache, then the
// compressed source (the module's offset is cacheBytes).
std::string ModuleStream(std::string_view source, size_t cacheBytes = 37);

}  // namespace quillmark::test
