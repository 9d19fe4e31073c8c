// The compressed container of VBA projects: the "dir" stream and the source
// part of every module stream are stored in it.
//
// Layout: one signature byte 0x01, then chunks. A chunk starts with a 2-byte
// little-endian header: bits 0-11 hold the chunk's size in bytes, header
// included, minus 3; bits 12-14 hold the signature 0b011; bit 15 says whether
// the chunk is compressed. An uncompressed chunk holds 4096 bytes stored as
// they are. A compressed chunk holds groups of one flag byte and up to eight
// tokens (flag bit 0 for the first): a clear bit is a literal byte, a set bit
// a 2-byte copy token that repeats earlier output of the same chunk. Every
// chunk decompresses to at most 4096 bytes, and a chunk ends where its header
// says, even in the middle of a flag group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Splits a copy token found when `position` bytes of the current chunk have
// been decompressed (position >= 1): the number of bytes to copy (3 and up)
// and how far back the copy starts (1 and up). The offset takes as few bits
// as can address every byte decompressed so far in the chunk (at least 4, at
// most 12); the length takes the remaining bits.
struct TVBACopyToken {
    uint32_t Length;
    uint32_t Offset;
};
TVBACopyToken SplitVBACopyToken(uint16_t token, size_t position);

// Decompresses a whole container, appending to `out`. Throws
// EDamagedDocument naming the offset when the container is damaged
// (signature, chunk header, a copy reaching before the chunk, a chunk that
// would exceed 4096 bytes, or a token cut by the end of its chunk); `out`
// then holds everything decompressed before the fault. Output beyond
// maxOutput bytes (MaxOutputBytes() when 0) throws ELimitError, with `out`
// cut at the limit.
void DecompressVBAContainer(std::string_view container, std::string& out, size_t maxOutput = 0);

// As above, returning the output; throws on damage.
std::string DecompressVBAContainer(std::string_view container);

}  // namespace quillmark
