// MD5 message digest (RFC 1321). Exported: the PDF security handler derives
// its RC4 keys with it, and hosts may use it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

using MD5State = uint32_t[4];
using MD5Count = uint32_t[2];   // message length in bits, low word first
using MD5Buffer = uint8_t[64];  // pending input of an unfinished block
using MD5Block = uint32_t[16];
using MD5CBits = uint8_t[8];

struct MD5Digest {
    uint8_t bytes[16];
};

struct MD5Context {
    MD5State State;
    MD5Count Count;
    MD5Buffer Buffer;
};

void MD5Init(MD5Context& context);
void MD5Update(MD5Context& context, const void* input, uint32_t length);
// Writes the digest and then wipes the context (it must be initialised again
// before further use).
void MD5Final(MD5Context& context, MD5Digest& digest);
bool MD5Match(const MD5Digest& a, const MD5Digest& b);

// Convenience: the digest of data as 16 bytes.
std::string MD5Bytes(std::string_view data);

}  // namespace quillmark
