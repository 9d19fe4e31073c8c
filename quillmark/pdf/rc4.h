// RC4 stream cipher. Exported: the PDF security handler decrypts revisions
// 2 to 4 with it, and hosts may use it directly.
#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

struct TRC4Context {
    uint8_t State[256];
    uint8_t x;
    uint8_t y;
};

// Key schedule; the key (1 to 256 bytes; an empty key is taken as one zero
// byte) repeats over the 256 steps.
void RC4Init(TRC4Context& context, const void* key, uint32_t keyLength);
// output[i] = input[i] XOR the next keystream byte; input and output may be
// the same buffer.
void RC4Crypt(TRC4Context& context, const void* input, void* output, uint32_t length);
// The same over the first length bytes of strings; output must already hold
// at least length bytes (length is cut to the shorter string otherwise).
void RC4Crypt2(TRC4Context& context, const std::string& input, std::string& output, uint32_t length);
// Wipes the context.
void RC4Done(TRC4Context& context);

}  // namespace quillmark
