#include "quillmark/pdf/rc4.h"

#include <algorithm>
#include <cstring>

namespace quillmark {

void RC4Init(TRC4Context& context, const void* key, uint32_t keyLength) {
    static const uint8_t zero = 0;
    const uint8_t* k = keyLength > 0 ? static_cast<const uint8_t*>(key) : &zero;
    if (keyLength == 0) keyLength = 1;
    for (int i = 0; i < 256; ++i) context.State[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + context.State[i] + k[i % keyLength]);
        std::swap(context.State[i], context.State[j]);
    }
    context.x = context.y = 0;
}

void RC4Crypt(TRC4Context& context, const void* input, void* output, uint32_t length) {
    const uint8_t* in = static_cast<const uint8_t*>(input);
    uint8_t* out = static_cast<uint8_t*>(output);
    // The permutation is worked on as 32-bit words (byte stores into the
    // table stall the loop) and copied back at the end.
    unsigned x = context.x, y = context.y;
    uint32_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = context.State[i];
    for (uint32_t i = 0; i < length; ++i) {
        x = (x + 1) & 255;
        unsigned tx = s[x];
        y = (y + tx) & 255;
        unsigned ty = s[y];
        s[x] = ty;
        s[y] = tx;
        out[i] = static_cast<uint8_t>(in[i] ^ s[(tx + ty) & 255]);
    }
    for (int i = 0; i < 256; ++i) context.State[i] = static_cast<uint8_t>(s[i]);
    context.x = static_cast<uint8_t>(x);
    context.y = static_cast<uint8_t>(y);
}

void RC4Crypt2(TRC4Context& context, const std::string& input, std::string& output, uint32_t length) {
    size_t n = std::min<size_t>({length, input.size(), output.size()});
    RC4Crypt(context, input.data(), output.data(), static_cast<uint32_t>(n));
}

void RC4Done(TRC4Context& context) { std::memset(&context, 0, sizeof context); }

}  // namespace quillmark
