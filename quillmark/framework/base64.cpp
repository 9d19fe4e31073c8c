#include "quillmark/framework/base64.h"

#include <cstdint>

namespace quillmark {

std::optional<std::string> Base64Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t acc = 0;
    int bits = 0, pad = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') { ++pad; continue; }
        else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        else return std::nullopt;
        if (pad) return std::nullopt;  // data after padding
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    if (pad > 2 || bits >= 6) return std::nullopt;
    return out;
}

}  // namespace quillmark
