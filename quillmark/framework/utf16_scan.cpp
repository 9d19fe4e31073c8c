#include "quillmark/framework/utf16_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillmark {

#if defined(__SSE2__)

namespace {

__m128i Load8(const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// A bit per byte (two per unit) where a unit is below limit (at most 0x8000).
int BelowMask(__m128i units, char16_t limit) {
    // Units are unsigned: shifting both sides by 0x8000 makes the signed
    // comparison an unsigned one.
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    __m128i a = _mm_xor_si128(units, flip);
    __m128i b = _mm_set1_epi16(static_cast<short>(limit ^ 0x8000));
    return _mm_movemask_epi8(_mm_cmplt_epi16(a, b));
}

int EqualMask(__m128i units, char16_t value) {
    return _mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_set1_epi16(static_cast<short>(value))));
}

}  // namespace

size_t FindControl(std::u16string_view text, size_t from) {
    const size_t n = text.size();
    const char16_t* t = text.data();
    size_t i = from;
    for (; i + 8 <= n; i += 8) {
        int mask = BelowMask(Load8(t + i), 0x20);
        if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    }
    for (; i < n; ++i)
        if (t[i] < 0x20) return i;
    return n;
}

size_t AsciiRunLength(std::u16string_view text, size_t from, bool stopAtCr) {
    const size_t n = text.size();
    const char16_t* t = text.data();
    size_t i = from;
    for (; i + 8 <= n; i += 8) {
        __m128i units = Load8(t + i);
        // Bits set for the units that are ASCII (and not a CR to stop at).
        int ok = BelowMask(units, 0x80);
        if (stopAtCr) ok &= ~EqualMask(units, u'\r');
        if (ok != 0xFFFF) {
            unsigned bad = static_cast<unsigned>(~ok) & 0xFFFF;
            return i + static_cast<size_t>(__builtin_ctz(bad)) / 2 - from;
        }
    }
    for (; i < n; ++i)
        if (t[i] >= 0x80 || (stopAtCr && t[i] == u'\r')) break;
    return i - from;
}

void NarrowAscii(const char16_t* in, size_t count, char* out) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i bytes = _mm_packus_epi16(Load8(in + i), Load8(in + i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    for (; i < count; ++i) out[i] = static_cast<char>(in[i]);
}

#else

size_t FindControl(std::u16string_view text, size_t from) {
    for (size_t i = from; i < text.size(); ++i)
        if (text[i] < 0x20) return i;
    return text.size();
}

size_t AsciiRunLength(std::u16string_view text, size_t from, bool stopAtCr) {
    size_t i = from;
    while (i < text.size() && text[i] < 0x80 && !(stopAtCr && text[i] == u'\r')) ++i;
    return i - from;
}

void NarrowAscii(const char16_t* in, size_t count, char* out) {
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<char>(in[i]);
}

#endif

}  // namespace quillmark
