#include "quillmark/framework/byte_reader.h"

namespace quillmark {

void ByteReader::fail(size_t off, size_t n) const {
    throw EReadError("Unexpected end of data: " + std::to_string(n) + " bytes at offset " +
                     std::to_string(off) + " of " + std::to_string(data_.size()));
}

}  // namespace quillmark
