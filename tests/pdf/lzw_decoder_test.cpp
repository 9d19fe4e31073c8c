#include "quillmark/pdf/lzw_decoder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "quillmark/pdf/pdf_filters.h"

namespace quillmark {
namespace {

// A slow, plain transcription of the LZW rules with a table of strings, used
// as the oracle for the decoder.
std::string ReferenceDecode(const std::string& in, size_t cap, bool tiff, bool early = true) {
    std::vector<std::string> table(4096);
    for (int k = 0; k < 256; ++k) table[k] = std::string(1, static_cast<char>(k));
    unsigned width = 9, next = 258;
    int prev = -1;
    std::string out;
    std::vector<int> bits;  // pending bits, oldest first
    for (unsigned char byte : in) {
        if (out.size() >= cap) break;
        for (int b = 0; b < 8; ++b) bits.push_back(tiff ? (byte >> (7 - b)) & 1 : (byte >> b) & 1);
        while (bits.size() >= width && (tiff || out.size() < cap)) {
            unsigned code = 0;
            for (unsigned b = 0; b < width; ++b)
                code |= tiff ? static_cast<unsigned>(bits[b]) << (width - 1 - b) : static_cast<unsigned>(bits[b]) << b;
            bits.erase(bits.begin(), bits.begin() + width);
            if (code == 257) {
                if (tiff) return out;
                break;
            }
            if (code == 256) {
                width = 9, next = 258, prev = -1;
                continue;
            }
            if (code > next) break;
            if (prev < 0) {
                if (code > 255) continue;
                out += table[code];
                prev = static_cast<int>(code);
            } else {
                std::string entry = code == next ? table[prev] + table[prev][0] : table[code];
                out += entry;
                if (tiff) {
                    if (next < 4096) table[next++] = table[prev] + entry[0];
                    if (next + (early ? 1 : 0) > (1u << width) - 1 && width < 12) ++width;
                } else {
                    if (next < 4096) table[next] = table[prev] + entry[0];
                    if (next == (1u << width) - 1 && width < 12) ++width;
                    if (next < 4095) ++next;
                }
                prev = static_cast<int>(code);
            }
            if (out.size() >= cap) return out.substr(0, cap);
        }
    }
    return out.substr(0, std::min(cap, out.size()));
}

// A TIFF/PDF LZW encoder (most significant bit first, early change).
std::string EncodeTiff(const std::string& data, bool early = true) {
    std::string out;
    uint32_t acc = 0;
    int nbits = 0;
    unsigned width = 9;
    auto put = [&](unsigned code) {
        acc = (acc << width) | code;
        nbits += static_cast<int>(width);
        while (nbits >= 8) {
            out.push_back(static_cast<char>((acc >> (nbits - 8)) & 0xFF));
            nbits -= 8;
        }
    };
    std::map<std::string, unsigned> dict;
    unsigned next = 258;
    auto reset = [&]() {
        dict.clear();
        for (int k = 0; k < 256; ++k) dict[std::string(1, static_cast<char>(k))] = static_cast<unsigned>(k);
        next = 258;
    };
    auto grow = [&]() {
        // The decoder adds its entry one code later; widen when it will.
        if (next - 1 + (early ? 1 : 0) > (1u << width) - 1 && width < 12) ++width;
    };
    put(256);
    reset();
    std::string w;
    for (char c : data) {
        std::string wc = w + c;
        if (dict.count(wc)) {
            w = wc;
            continue;
        }
        put(dict[w]);
        dict[wc] = next++;
        grow();
        if (next >= 4093) {
            put(256);
            width = 9;
            reset();
        }
        w = std::string(1, c);
    }
    if (!w.empty()) {
        put(dict[w]);
        ++next;
        grow();
    }
    put(257);
    if (nbits > 0) out.push_back(static_cast<char>((acc << (8 - nbits)) & 0xFF));
    return out;
}

std::string Fast(const std::string& in, size_t cap, bool tiff, bool early = true) {
    std::string out(cap, '\0');
    TDTWLZWDecoder d;
    auto src = reinterpret_cast<const uint8_t*>(in.data());
    auto dst = reinterpret_cast<uint8_t*>(out.data());
    size_t n = tiff ? d.DecodeTIFF(src, dst, in.size(), cap, early) : d.DecodeGIF(src, dst, in.size(), cap);
    out.resize(n);
    return out;
}

TEST(LzwDecoder, PdfReferenceExample) {
    const std::string in("\x80\x0B\x60\x50\x22\x0C\x0C\x85\x01", 9);
    EXPECT_EQ(Fast(in, 100, true), "-----A---B");
    EXPECT_EQ(Fast(in, 4, true), "----");  // the destination size caps the output
}

TEST(LzwDecoder, GifExample) {
    // A 3x5 image from the GIF format's documentation: codes 100 028 0FF 103
    // 102 103 106 107 101 in 9 bits, least significant bit first.
    const std::string in("\x00\x51\xFC\x1B\x28\x70\xA0\xC1\x83\x01\x01", 11);
    EXPECT_EQ(Fast(in, 100, false), std::string("\x28\xFF\xFF\xFF\x28\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 15));
}

TEST(LzwDecoder, RoundTripsThroughCodeWidthChanges) {
    std::mt19937 rng(3);
    for (bool early : {true, false}) {
        for (size_t len : {0u, 1u, 300u, 5000u, 40000u}) {
            std::string data;
            for (size_t i = 0; i < len; ++i) data.push_back(static_cast<char>('a' + rng() % (i % 7 + 2)));
            std::string enc = EncodeTiff(data, early);
            std::string got = Fast(enc, data.size() + 10, true, early);
            size_t diff = 0;
            while (diff < got.size() && diff < data.size() && got[diff] == data[diff]) ++diff;
            EXPECT_TRUE(got == data) << len << " early " << early << " differs at " << diff << " of "
                                     << got.size();
            EXPECT_TRUE(PdfLZWDecode(enc, early ? 1 : 0) == data);
        }
    }
}

TEST(LzwDecoder, MatchesTheReferenceOnGeneratedInputs) {
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string in;
        size_t len = rng() % 200;
        if (round % 3 == 0) {
            // Valid data, then damaged by a few flipped bytes.
            std::string plain;
            for (size_t i = 0; i < len * 4; ++i) plain.push_back(static_cast<char>('a' + rng() % 4));
            in = EncodeTiff(plain);
            for (int k = 0; k < 2 && !in.empty(); ++k) in[rng() % in.size()] ^= static_cast<char>(1 << (rng() % 8));
        } else {
            for (size_t i = 0; i < len; ++i) in.push_back(static_cast<char>(rng() & 0xFF));
        }
        size_t cap = rng() % 2 ? 100000 : rng() % 300;
        bool tiff = round % 2 == 0;
        ASSERT_EQ(Fast(in, cap, tiff), ReferenceDecode(in, cap, tiff)) << "round " << round;
    }
}

}  // namespace
}  // namespace quillmark
