#include "quillmark/readers/palmdoc_compression.h"

namespace quillmark {

std::string DecompressText(std::string_view source, size_t maxLength) {
    std::string out;
    // Output is at most five times the input (a 2-byte copy gives 10 bytes).
    out.reserve(maxLength < source.size() * 5 ? maxLength : source.size() * 5);
    const size_t n = source.size();
    size_t i = 0;
    while (i < n) {
        uint8_t b = static_cast<uint8_t>(source[i++]);
        if (b == 0x00) {
            out.push_back(' ');
        } else if (b <= 0x08) {
            size_t take = b <= n - i ? b : n - i;
            out.append(source.substr(i, take));
            i += take;
        } else if (b <= 0x7F) {
            out.push_back(static_cast<char>(b));
        } else if (b <= 0xBF) {
            if (i >= n) break;  // a truncated pair ends the record
            unsigned v = (static_cast<unsigned>(b) << 8) | static_cast<uint8_t>(source[i++]);
            size_t distance = (v & 0x3FFF) >> 3;
            size_t length = (v & 7) + 3;
            if (distance == 0 || distance > out.size()) break;
            size_t from = out.size() - distance;
            for (size_t k = 0; k < length; ++k) out.push_back(out[from + k]);
        } else {
            out.push_back(' ');
            out.push_back(static_cast<char>(b ^ 0x80));
        }
    }
    return out;
}

}  // namespace quillmark
