// The VBA compressed container: the worked examples of the published format,
// chunk boundaries, stored chunks, the copy-token split, damage, the output
// cap, and round trips through an independent compressor.
#include <gtest/gtest.h>

#include <random>

#include "quillmark/framework/exception.h"
#include "quillmark/word/vba_decompression.h"
#include "support/test_support.h"
#include "support/vba_builder.h"

namespace quillmark {
namespace {

TEST(VbaDecompression, PublishedWorkedExamples) {
    struct Case {
        const char* name;
        const char* compressedHex;
        std::string expected;
    };
    const Case cases[] = {
        // A compressed chunk that holds only literals.
        {"no compression", "0119b00061626364656667680069" "6a6b6c6d6e6f7000717273747576" "2e",
         "abcdefghijklmnopqrstuv."},
        // Literals and copy tokens mixed.
        {"normal compression",
         "012fb0002361616162636465826600706167686" "96a01380861" "6b6c00306d6e6f70067102700410727374757610" "7778797a003c",
         "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa"},
        // One literal and one copy token that repeats it.
        {"maximum compression", "0103b002614500", std::string(73, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecompressVBAContainer(test::FromHex(c.compressedHex)), c.expected);
        // The independent compressor agrees with the decoder on the same text.
        EXPECT_EQ(DecompressVBAContainer(test::CompressVBA(c.expected)), c.expected);
    }
}

TEST(VbaDecompression, CopyTokenSplitFollowsThePositionInTheChunk) {
    // Position ranges and their length bits: up to 16 -> 12, up to 32 -> 11 ...
    struct Row {
        size_t lastPosition;
        unsigned lengthBits;
    };
    const Row rows[] = {{16, 12}, {32, 11}, {64, 10}, {128, 9}, {256, 8},
                        {512, 7}, {1024, 6}, {2048, 5}, {4095, 4}};
    size_t first = 1;
    for (const Row& row : rows) {
        for (size_t p : {first, row.lastPosition}) {
            SCOPED_TRACE(p);
            // All length bits set: the longest copy; all offset bits set: the farthest.
            uint16_t lengthMask = static_cast<uint16_t>((1u << row.lengthBits) - 1);
            TVBACopyToken t = SplitVBACopyToken(lengthMask, p);
            EXPECT_EQ(t.Length, lengthMask + 3u);
            EXPECT_EQ(t.Offset, 1u);
            t = SplitVBACopyToken(static_cast<uint16_t>(~lengthMask), p);
            EXPECT_EQ(t.Length, 3u);
            EXPECT_EQ(t.Offset, (1u << (16 - row.lengthBits)));
        }
        first = row.lastPosition + 1;
    }
    // At position 17: 11 length bits, token 0x0805 copies 8 bytes from 2 back.
    TVBACopyToken t = SplitVBACopyToken(0x0805, 17);
    EXPECT_EQ(t.Length, 8u);
    EXPECT_EQ(t.Offset, 2u);
}

TEST(VbaDecompression, ChunkEndingOnACopyTokenLeavesTheNextChunkIntact) {
    // Chunk 1: "abc" then a copy of 4093 bytes from 3 back fills it to
    // exactly 4096; the header ends it right after that token, inside its
    // flag group. Chunk 2 is literals.
    std::string c = "\x01";
    std::string body = std::string("\x08", 1) + "abc";
    body += static_cast<char>(0);   // token: offset 3 (bits 0b10 at position 3 -> 4 offset bits)
    body += static_cast<char>(0);
    uint16_t token = static_cast<uint16_t>((3 - 1) << 12 | (4093 - 3));
    body[4] = static_cast<char>(token & 0xFF);
    body[5] = static_cast<char>(token >> 8);
    uint16_t header = static_cast<uint16_t>(0xB000 | (body.size() + 2 - 3));
    c += static_cast<char>(header & 0xFF);
    c += static_cast<char>(header >> 8);
    c += body;
    c += test::LiteralChunk("next chunk");
    std::string expected;
    while (expected.size() < 4096) expected += "abc";
    expected.resize(4096);
    expected += "next chunk";
    EXPECT_EQ(DecompressVBAContainer(c), expected);
}

TEST(VbaDecompression, StoredChunksAreCopiedAsTheyStand) {
    std::string page(4096, '\0');
    std::mt19937 rng(7);
    for (char& ch : page) ch = static_cast<char>(rng());
    std::string c = "\x01" + test::StoredChunk(page) + test::LiteralChunk("tail") + test::StoredChunk(page);
    EXPECT_EQ(DecompressVBAContainer(c), page + "tail" + page);
    // The compressor stores incompressible chunks; the round trip holds.
    EXPECT_EQ(test::CompressVBA(page).size(), 1u + 4098u);
    EXPECT_EQ(DecompressVBAContainer(test::CompressVBA(page + page)), page + page);
}

TEST(VbaDecompression, ExactlyOneFullChunk) {
    std::string text;
    for (int i = 0; text.size() < 4096; ++i) text += "Sub M" + std::to_string(i) + "()\r\nEnd Sub\r\n";
    text.resize(4096);
    std::string c = test::CompressVBA(text);
    EXPECT_EQ(DecompressVBAContainer(c), text);
    EXPECT_EQ(DecompressVBAContainer(c).size(), 4096u);
}

TEST(VbaDecompression, RoundTripsGeneratedText) {
    std::mt19937 rng(42);
    const std::string alphabet = "ab \r\nSubEnd()'=\"\x80\xE9";
    for (int round = 0; round < 300; ++round) {
        size_t n = rng() % (round < 250 ? 600 : 13000);
        std::string text;
        for (size_t i = 0; i < n; ++i) {
            if (rng() % 4 == 0 && text.size() > 10) {
                size_t from = rng() % text.size(), len = 1 + rng() % 40;
                text += text.substr(from, len);
            } else {
                text += alphabet[rng() % alphabet.size()];
            }
        }
        ASSERT_EQ(DecompressVBAContainer(test::CompressVBA(text)), text) << "round " << round;
    }
}

TEST(VbaDecompression, DamageIsReportedWithWhatWasDecodedBeforeIt) {
    struct Case {
        const char* name;
        std::string container;
        const char* message;
        std::string partial;
    };
    const std::string good = test::CompressVBA("Attribute VB_Name = \"Module1\"\r\n");
    const Case cases[] = {
        {"empty", "", "no signature byte", ""},
        {"wrong signature byte", "\x02" + good.substr(1), "no signature byte", ""},
        {"bad chunk signature", "\x01" "\x05\x70" "\x00" "abcdefgh", "bad chunk signature at offset 1", ""},
        {"header cut short", "\x01\x05", "chunk header cut short at offset 1", ""},
        {"copy before the chunk", "\x01" "\x03\xB0" "\x02" "a" "\x01\x10", "copy token reaches before its chunk", "a"},
        {"copy token cut short", "\x01" "\x02\xB0" "\x02" "a" "\x01", "copy token cut short", "a"},
        {"chunk past 4096 bytes", "\x01" "\x03\xB0" "\x02" "a" "\xFF\x0F", "chunk decompresses past 4096 bytes", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        try {
            DecompressVBAContainer(c.container, out);
            ADD_FAILURE() << "no exception";
        } catch (const EDamagedDocument& e) {
            EXPECT_NE(std::string(e.what()).find("VBA compressed container is damaged"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            if (!c.partial.empty()) {
                EXPECT_EQ(out, c.partial);
            }
        }
    }
}

TEST(VbaDecompression, AStreamCutInsideTheLastChunkGivesWhatItHolds) {
    std::string text = "Sub Hello()\r\n  MsgBox \"Hello\"\r\nEnd Sub\r\n";
    std::string c = test::CompressVBA(text);
    // Cutting after a whole token keeps a prefix of the text; the result
    // never grows past the full text.
    for (size_t cut = 3; cut < c.size(); ++cut) {
        std::string out;
        try {
            DecompressVBAContainer(std::string_view(c).substr(0, cut), out);
        } catch (const Exception&) {
        }
        EXPECT_EQ(text.compare(0, out.size(), out), 0) << "cut " << cut;
    }
}

TEST(VbaDecompression, OutputIsCapped) {
    std::string text(50000, 'x');
    std::string c = test::CompressVBA(text);
    std::string out;
    EXPECT_THROW(DecompressVBAContainer(c, out, 10000), ELimitError);
    EXPECT_EQ(out, text.substr(0, 10000));
    out.clear();
    DecompressVBAContainer(c, out, 50000);
    EXPECT_EQ(out, text);
    // Each chunk (at least 3 bytes) adds at most 4096: a container of n
    // bytes never decodes to more than 4096 * n / 3.
    std::mt19937 rng(3);
    for (int round = 0; round < 2000; ++round) {
        std::string junk = "\x01";
        size_t n = rng() % 64;
        for (size_t i = 0; i < n; ++i) junk += static_cast<char>(rng() % 3 == 0 ? 0xB0 : rng());
        out.clear();
        try {
            DecompressVBAContainer(junk, out);
        } catch (const Exception&) {
        }
        ASSERT_LE(out.size(), 4096 * junk.size() / 3 + 1);
    }
}

}  // namespace
}  // namespace quillmark
