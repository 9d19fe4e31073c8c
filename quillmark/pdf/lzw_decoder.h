// LZW decoding as used by PDF/TIFF (most significant bit first, early code
// width change) and by GIF (least significant bit first, late change).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmark {

class TDTWLZWDecoder {
public:
    // Decodes packedSize bytes from source into at most unpackedSize bytes
    // at dest; returns the number of bytes written. Code 257 ends the data.
    // earlyChange false widens codes one entry later (PDF /EarlyChange 0).
    size_t DecodeTIFF(const uint8_t* source, uint8_t* dest, size_t packedSize,
                      size_t unpackedSize, bool earlyChange = true) const;
    // GIF bit order; code 257 only ends the codes of the current input byte.
    size_t DecodeGIF(const uint8_t* source, uint8_t* dest, size_t packedSize,
                     size_t unpackedSize) const;
};

}  // namespace quillmark
