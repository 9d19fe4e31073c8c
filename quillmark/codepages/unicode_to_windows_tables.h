// Sorted (character, byte) tables behind the UnicodeToWin1250..1257 functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmark {

struct CodePageMapping {
    uint16_t unicode;
    uint8_t byte;
};

struct CodePageTable {
    const CodePageMapping* entries;
    size_t count;
};

// The table of code page 1250..1257, sorted by character; empty for others.
CodePageTable UnicodeToWindowsTable(int codePage);

}  // namespace quillmark
