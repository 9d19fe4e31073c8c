// CRC-32 as zip uses it (ISO/IEC 3309, ITU-T V.42): reflected polynomial
// 0xEDB88320, initial value 0xFFFFFFFF, final complement.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillmark {

// Continues a running CRC (start with 0); the CRC of no bytes is 0.
uint32_t Crc32(std::string_view bytes, uint32_t crc = 0);

}  // namespace quillmark
