// Library-wide safety limits. Any single decompressed or decoded output is
// capped so that a hostile file (a zip bomb, a looping LZ stream) ends with an
// error instead of exhausting memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmark {

// Default cap: 512 MiB for any one decompressed buffer.
inline constexpr size_t kDefaultMaxOutputBytes = size_t{512} << 20;

// Default cap on the bytes read from one input (a file, a pipe, a device).
inline constexpr uint64_t kDefaultMaxInputBytes = uint64_t{2} << 30;

// The cap in force; hosts can lower it (tests and fuzzers do).
size_t MaxOutputBytes();
void SetMaxOutputBytes(size_t bytes);

}  // namespace quillmark
