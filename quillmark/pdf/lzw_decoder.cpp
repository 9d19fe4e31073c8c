#include "quillmark/pdf/lzw_decoder.h"

#include <cstring>

namespace quillmark {

namespace {

constexpr uint32_t kNoCode = 4096;
constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;

// Decoder state for one call; the tables live on the stack.
struct LzwState {
    uint32_t prefix[4096];
    uint8_t suffix[4096];
    uint8_t stack[4097];
    uint32_t width = 9;
    uint32_t mask = 511;
    uint32_t next = 258;
    uint32_t previous = kNoCode;
    uint8_t firstByte = 0;

    LzwState() {
        for (uint32_t k = 0; k < 4096; ++k) {
            prefix[k] = kNoCode;
            suffix[k] = static_cast<uint8_t>(k & 0xFF);
        }
    }
    void Reset() {
        width = 9;
        mask = 511;
        next = 258;
        previous = kNoCode;
    }
};

// Expands code into the output; returns false when the output is full.
// tiff selects when the code width grows (early change).
bool Emit(LzwState& st, uint32_t code, uint8_t* dest, size_t& out, size_t cap, bool tiff,
          uint32_t early) {
    if (st.previous == kNoCode) {
        if (code > 255) return true;  // no string can follow a clear with this code
        st.firstByte = static_cast<uint8_t>(code);
        st.previous = code;
        if (out >= cap) return false;
        dest[out++] = st.firstByte;
        return out < cap;
    }
    size_t sp = sizeof st.stack;
    uint32_t c = code;
    if (code == st.next) {
        st.stack[--sp] = st.firstByte;
        c = st.previous;
    }
    // Entries always point to lower codes, so this walk ends within 4096 steps.
    while (c >= 256 && c < 4096 && sp > 1) {
        st.stack[--sp] = st.suffix[c];
        c = st.prefix[c];
    }
    st.firstByte = static_cast<uint8_t>(c & 0xFF);
    st.stack[--sp] = st.firstByte;
    if (tiff) {
        if (st.next < 4096) {
            st.prefix[st.next] = st.previous;
            st.suffix[st.next] = st.firstByte;
            ++st.next;
        }
        if (st.next + early > st.mask && st.width < 12) {
            ++st.width;
            st.mask = (1u << st.width) - 1;
        }
    } else {
        uint32_t added = st.next;
        if (st.next < 4096) {
            st.prefix[st.next] = st.previous;
            st.suffix[st.next] = st.firstByte;
        }
        if (added == st.mask && st.width < 12) {
            ++st.width;
            st.mask = (1u << st.width) - 1;
        }
        if (st.next < 4095) ++st.next;
    }
    st.previous = code;
    size_t len = sizeof st.stack - sp;
    size_t room = cap - out;
    if (len > room) len = room;
    std::memcpy(dest + out, st.stack + sp, len);
    out += len;
    return out < cap;
}

}  // namespace

size_t TDTWLZWDecoder::DecodeTIFF(const uint8_t* source, uint8_t* dest, size_t packedSize,
                                  size_t unpackedSize, bool earlyChange) const {
    const uint32_t early = earlyChange ? 1 : 0;
    LzwState st;
    uint32_t buffer = 0, bits = 0;
    size_t out = 0;
    for (size_t i = 0; i < packedSize && out < unpackedSize; ++i) {
        buffer |= static_cast<uint32_t>(source[i]) << (24 - bits);
        bits += 8;
        while (bits >= st.width) {
            uint32_t code = buffer >> (32 - st.width);
            buffer <<= st.width;
            bits -= st.width;
            if (code == kEnd) return out;
            if (code == kClear) {
                st.Reset();
                continue;
            }
            if (code > st.next) break;  // damaged data: drop this byte's remaining codes
            if (!Emit(st, code, dest, out, unpackedSize, true, early)) return out;
        }
    }
    return out;
}

size_t TDTWLZWDecoder::DecodeGIF(const uint8_t* source, uint8_t* dest, size_t packedSize,
                                 size_t unpackedSize) const {
    LzwState st;
    uint32_t buffer = 0, bits = 0;
    size_t out = 0;
    for (size_t i = 0; i < packedSize && out < unpackedSize; ++i) {
        buffer |= static_cast<uint32_t>(source[i]) << bits;
        bits += 8;
        while (bits >= st.width && out < unpackedSize) {
            uint32_t code = buffer & st.mask;
            buffer >>= st.width;
            bits -= st.width;
            if (code == kEnd) break;
            if (code == kClear) {
                st.Reset();
                continue;
            }
            if (code > st.next) break;
            if (!Emit(st, code, dest, out, unpackedSize, false, 0)) return out;
        }
    }
    return out;
}

}  // namespace quillmark
