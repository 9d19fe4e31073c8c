#include "quillmark/pdf/md5.h"

#include <cstring>

namespace quillmark {

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The four rounds of one 64-byte block, with RFC 1321's shift amounts and
// sine-derived constants.
void Transform(MD5State& state, const uint8_t* block) {
    static const uint32_t K[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    static const int S[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};
    MD5Block x;
    for (int i = 0; i < 16; ++i)
        x[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 | uint32_t(block[i * 4 + 2]) << 16 |
               uint32_t(block[i * 4 + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        switch (i >> 4) {
            case 0: f = (b & c) | (~b & d); g = i; break;
            case 1: f = (d & b) | (~d & c); g = (5 * i + 1) & 15; break;
            case 2: f = b ^ c ^ d; g = (3 * i + 5) & 15; break;
            default: f = c ^ (b | ~d); g = (7 * i) & 15; break;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + Rol(a + f + K[i] + x[g], S[(i >> 4) * 4 + (i & 3)]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void MD5Init(MD5Context& context) {
    context.State[0] = 0x67452301;
    context.State[1] = 0xefcdab89;
    context.State[2] = 0x98badcfe;
    context.State[3] = 0x10325476;
    context.Count[0] = context.Count[1] = 0;
    std::memset(context.Buffer, 0, sizeof context.Buffer);
}

void MD5Update(MD5Context& context, const void* input, uint32_t length) {
    if (length == 0) return;
    const uint8_t* in = static_cast<const uint8_t*>(input);
    uint32_t have = (context.Count[0] >> 3) & 63;
    uint32_t bitsLow = length << 3;
    context.Count[0] += bitsLow;
    if (context.Count[0] < bitsLow) ++context.Count[1];
    context.Count[1] += length >> 29;
    if (have > 0) {
        uint32_t take = 64 - have;
        if (length < take) {
            std::memcpy(context.Buffer + have, in, length);
            return;
        }
        std::memcpy(context.Buffer + have, in, take);
        Transform(context.State, context.Buffer);
        in += take;
        length -= take;
    }
    for (; length >= 64; in += 64, length -= 64) Transform(context.State, in);
    if (length > 0) std::memcpy(context.Buffer, in, length);
}

void MD5Final(MD5Context& context, MD5Digest& digest) {
    MD5CBits bits;
    for (int i = 0; i < 4; ++i) {
        bits[i] = static_cast<uint8_t>(context.Count[0] >> (8 * i));
        bits[i + 4] = static_cast<uint8_t>(context.Count[1] >> (8 * i));
    }
    static const uint8_t padding[64] = {0x80};
    uint32_t have = (context.Count[0] >> 3) & 63;
    MD5Update(context, padding, have < 56 ? 56 - have : 120 - have);
    MD5Update(context, bits, 8);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) digest.bytes[i * 4 + k] = static_cast<uint8_t>(context.State[i] >> (8 * k));
    std::memset(&context, 0, sizeof context);
}

bool MD5Match(const MD5Digest& a, const MD5Digest& b) { return std::memcmp(a.bytes, b.bytes, 16) == 0; }

std::string MD5Bytes(std::string_view data) {
    MD5Context c;
    MD5Init(c);
    // Inputs above 4 GiB are fed in pieces (the length argument is 32-bit).
    while (data.size() > 0x40000000u) {
        MD5Update(c, data.data(), 0x40000000u);
        data.remove_prefix(0x40000000u);
    }
    MD5Update(c, data.data(), static_cast<uint32_t>(data.size()));
    MD5Digest d;
    MD5Final(c, d);
    return std::string(reinterpret_cast<const char*>(d.bytes), 16);
}

}  // namespace quillmark
