// PalmDoc compression: a byte-oriented LZ77 variant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Decompresses one PalmDoc record. Commands:
//   00          a space
//   01..08      copy the next 1..8 source bytes
//   09..7F      the byte itself
//   80..BF xx   copy (len 3..10) from up to 2047 bytes back, may overlap
//   C0..FF      a space then the byte XOR 0x80
// A copy that reaches before the start of the output ends the record: the
// bytes decoded so far are returned. maxLength is the expected size (only a
// capacity hint).
std::string DecompressText(std::string_view source, size_t maxLength);

}  // namespace quillmark
