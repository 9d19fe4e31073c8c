#include "quillmark/readers/palmdoc_compression.h"

#include <gtest/gtest.h>

#include <random>

namespace quillmark {
namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
}

TEST(PalmDocCompression, Commands) {
    struct Case {
        const char* what;
        std::string in, want;
    };
    const Case cases[] = {
        {"zero is a space", Bytes({'a', 0x00, 'b'}), "a b"},
        {"literal run", Bytes({0x03, 0x01, 0xC5, 'z'}), std::string("\x01\xC5z")},
        {"plain bytes", Bytes({'H', 'i', 0x7F}), "Hi\x7F"},
        {"space plus char", Bytes({'a', 0xE2}), "a b"},
        // distance 3, length 10: repeats "abc" with overlap
        {"overlapping copy", Bytes({'a', 'b', 'c', 0x80, (3 << 3) | 7}), "abcabcabcabca"},
        // distance 1, length 3: run-length effect
        {"run length", Bytes({'x', 0x80, (1 << 3) | 0}), "xxxx"},
        {"literal count beyond input", Bytes({'a', 0x08, 'b'}), "ab"},
        {"truncated pair ends record", Bytes({'a', 0x80}), "a"},
        {"distance before output start stops", Bytes({'a', 0x80, (5 << 3) | 0, 'b'}), "a"},
        {"zero distance stops", Bytes({'a', 0x80, 0x00, 'b'}), "a"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecompressText(c.in, 4096), c.want) << c.what;
}

// Compresses with literal runs and back-references so the round trip checks
// every command on realistic data.
std::string Compress(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t bestLen = 0, bestDist = 0;
        for (size_t d = 1; d <= 2047 && d <= i; ++d) {
            size_t len = 0;
            while (len < 10 && i + len < text.size() && text[i + len - d] == text[i + len]) ++len;
            if (len > bestLen) bestLen = len, bestDist = d;
        }
        if (bestLen >= 3) {
            unsigned v = 0x8000 | (static_cast<unsigned>(bestDist) << 3) | static_cast<unsigned>(bestLen - 3);
            out.push_back(static_cast<char>(v >> 8));
            out.push_back(static_cast<char>(v & 0xFF));
            i += bestLen;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x40 &&
            static_cast<unsigned char>(text[i + 1]) < 0x80) {
            out.push_back(static_cast<char>(static_cast<unsigned char>(text[i + 1]) ^ 0x80));
            i += 2;
        } else if (c >= 0x09 && c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
        } else {
            out.push_back(1);
            out.push_back(static_cast<char>(c));
            ++i;
        }
    }
    return out;
}

TEST(PalmDocCompression, RoundTripsGeneratedText) {
    std::mt19937 rng(7);
    const std::string alphabet = "  eeetaoinshrdlu\n\xE9\x01\x80";
    for (int n = 0; n < 300; ++n) {
        std::string text;
        size_t len = rng() % 3000;
        for (size_t i = 0; i < len; ++i) text.push_back(alphabet[rng() % alphabet.size()]);
        ASSERT_EQ(DecompressText(Compress(text), 4096), text) << "input " << n;
    }
}

}  // namespace
}  // namespace quillmark
