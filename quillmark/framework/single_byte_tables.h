// Decoding tables of the Windows single-byte code pages 874 and 1250-1258.
#pragma once

namespace quillmark {

// The 128 UTF-16 code units that bytes 0x80..0xFF decode to, or null when the
// code page is not one of the built-in single-byte pages. Bytes 0x00..0x7F are
// ASCII in all of them.
const char16_t* SingleByteUpperHalf(int codePage);

}  // namespace quillmark
