#include "quillmark/pdf/pdf_filters.h"

#include <gtest/gtest.h>

#include <random>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
}

TEST(PdfASCIIHex, SkipsWhiteSpaceStopsAtEndMarkAndPadsOddDigit) {
    struct Case {
        const char* in;
        std::string out;
    } cases[] = {
        {"48656c6c6f", "Hello"},
        {"48 65\n6C\t6c 6F>", "Hello"},
        {"4865>6c6c", "He"},
        {"486", "H`"},  // final digit 6 counts as 60
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PdfASCIIHexDecode(c.in), c.out) << c.in;
    EXPECT_THROW(PdfASCIIHexDecode("4G"), Exception);
}

// The published encoding, used to check the decoder on many inputs.
std::string Ascii85Encode(const std::string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); i += 4) {
        size_t n = std::min<size_t>(4, in.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) v = v << 8 | (k < n ? static_cast<uint8_t>(in[i + k]) : 0);
        if (v == 0 && n == 4) {
            out += 'z';
            continue;
        }
        char g[5];
        for (int k = 4; k >= 0; --k) g[k] = static_cast<char>('!' + v % 85), v /= 85;
        out.append(g, n + 1);
    }
    return out + "~>";
}

TEST(PdfASCII85, DecodesGroupsZerosAndPartialGroups) {
    EXPECT_EQ(PdfASCII85Decode("z~>"), std::string(4, '\0'));
    EXPECT_EQ(PdfASCII85Decode("87cURD]j7BEbo80~>"), "Hello world!");
    EXPECT_EQ(PdfASCII85Decode("<~87cUR\n D]j7B\rEbo80~>"), "Hello world!");  // white space skipped
    EXPECT_EQ(PdfASCII85Decode("87cURD]j7BEbo7~>"), "Hello world");            // partial final group
    EXPECT_EQ(PdfASCII85Decode("8~>"), "");  // one lone character gives nothing
    std::mt19937 rng(7);
    for (int len = 0; len < 40; ++len) {
        std::string data;
        for (int i = 0; i < len; ++i) data.push_back(static_cast<char>(rng() % 3 == 0 ? 0 : rng() & 0xFF));
        EXPECT_EQ(PdfASCII85Decode(Ascii85Encode(data)), data) << len;
    }
}

TEST(PdfRunLength, CopiesRepeatsAndStopsAtEndCode) {
    EXPECT_EQ(PdfRunLengthDecode(Bytes({2, 'a', 'b', 'c', 254, 'x', 128, 0, 'q'})), "abcxxx");
    EXPECT_EQ(PdfRunLengthDecode(Bytes({5, 'a', 'b'})), "ab");  // short literal run
    EXPECT_THROW(PdfRunLengthDecode(Bytes({129, 'x', 129, 'x'}), 100), Exception);
}

TEST(PdfFlate, InflatesAndHonoursTheCap) {
    std::string text(100000, 'q');
    EXPECT_EQ(PdfFlateDecode(test::Deflate(text)), text);
    EXPECT_THROW(PdfFlateDecode(test::Deflate(text), 1000), Exception);
    // Damaged data after a good start keeps what was inflated.
    std::string z = test::Deflate(std::string(5000, 'a') + "tail");
    std::string cut = z.substr(0, z.size() / 2);
    std::string partial = PdfFlateDecode(cut);
    EXPECT_LE(partial.size(), 5004u);
    EXPECT_EQ(partial.find_first_not_of('a'), std::string::npos);
    EXPECT_EQ(PdfFlateDecode("not zlib at all"), "");
}

// PNG row filters applied by an encoder, to check every filter type with
// several bytes per pixel.
std::string PngEncode(const std::string& raw, size_t rowBytes, size_t bpp, int type) {
    std::string out;
    std::string prev(rowBytes, '\0');
    for (size_t r = 0; r * rowBytes < raw.size(); ++r) {
        std::string row = raw.substr(r * rowBytes, rowBytes);
        out.push_back(static_cast<char>(type));
        for (size_t i = 0; i < row.size(); ++i) {
            int x = static_cast<uint8_t>(row[i]);
            int a = i >= bpp ? static_cast<uint8_t>(row[i - bpp]) : 0;
            int b = static_cast<uint8_t>(prev[i]);
            int c = i >= bpp ? static_cast<uint8_t>(prev[i - bpp]) : 0;
            int pred = 0;
            if (type == 1) pred = a;
            if (type == 2) pred = b;
            if (type == 3) pred = (a + b) / 2;
            if (type == 4) {
                int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            }
            out.push_back(static_cast<char>((x - pred) & 0xFF));
        }
        prev = row;
    }
    return out;
}

TEST(PdfPredictors, PngTypesWithSeveralBytesPerPixel) {
    std::mt19937 rng(11);
    struct Shape {
        int colors, bpc, columns;
    } shapes[] = {{1, 8, 4}, {3, 8, 5}, {4, 8, 3}, {1, 16, 4}, {3, 16, 2}, {1, 1, 20}, {2, 4, 7}};
    for (const Shape& s : shapes) {
        size_t rowBytes = (static_cast<size_t>(s.colors * s.bpc * s.columns) + 7) / 8;
        size_t bpp = std::max<size_t>(1, static_cast<size_t>(s.colors * s.bpc) / 8);
        std::string raw;
        for (size_t i = 0; i < rowBytes * 6; ++i) raw.push_back(static_cast<char>(rng() & 0xFF));
        for (int type = 0; type <= 4; ++type) {
            TDTPDFDecodeParms p;
            p.Predictor = 10 + type;
            p.Colors = s.colors;
            p.BitsPerComponent = s.bpc;
            p.Columns = s.columns;
            EXPECT_EQ(PdfApplyPredictor(PngEncode(raw, rowBytes, bpp, type), p), raw)
                << "type " << type << " colors " << s.colors << " bpc " << s.bpc;
        }
    }
    // Predictor 12, 4 columns, 3 rows of 5 bytes: 12 bytes come out.
    TDTPDFDecodeParms p;
    p.Predictor = 12;
    p.Columns = 4;
    EXPECT_EQ(PdfApplyPredictor(Bytes({2, 1, 2, 3, 4, 2, 1, 1, 1, 1, 2, 0, 0, 0, 1}), p),
              Bytes({1, 2, 3, 4, 2, 3, 4, 5, 2, 3, 4, 6}));
    // A short last row is decoded over the bytes it has.
    EXPECT_EQ(PdfApplyPredictor(Bytes({1, 5, 1, 1, 1, 2, 7, 7}), p), Bytes({5, 6, 7, 8, 12, 13}));
}

TEST(PdfPredictors, TiffPredictorTwo) {
    TDTPDFDecodeParms p;
    p.Predictor = 2;
    p.Colors = 3;
    p.Columns = 2;
    // Two RGB pixels per row: the second pixel adds the first.
    EXPECT_EQ(PdfApplyPredictor(Bytes({10, 20, 30, 1, 2, 3, 5, 5, 5, 250, 0, 1}), p),
              Bytes({10, 20, 30, 11, 22, 33, 5, 5, 5, 255, 5, 6}));
    p.Colors = 1;
    p.BitsPerComponent = 16;
    EXPECT_EQ(PdfApplyPredictor(Bytes({0x01, 0xFF, 0x00, 0x02}), p), Bytes({0x01, 0xFF, 0x02, 0x01}));
    p.BitsPerComponent = 1;
    p.Columns = 8;
    EXPECT_EQ(PdfApplyPredictor(Bytes({0x80}), p), Bytes({0xFF}));  // 1 then no change: all ones
    p.Predictor = 1;
    EXPECT_EQ(PdfApplyPredictor("abc", p), "abc");
}

TEST(PdfFilterChain, UnknownFilterLeavesDataAsItIs) {
    bool known = true;
    EXPECT_EQ(PdfApplyFilter("/DCTDecode", "jpeg", {}, &known), "jpeg");
    EXPECT_FALSE(known);
    EXPECT_EQ(PdfApplyFilter("/AHx", "4142", {}, &known), "AB");
    EXPECT_TRUE(known);
}

TEST(PdfDecodeParms, ReadsEntriesAndDefaults) {
    TDTPDFDecodeParms p = ParseDecodeParms("<< /Predictor 15 /Columns 5 /Colors 3 /EarlyChange 0 >>");
    EXPECT_EQ(p.Predictor, 15);
    EXPECT_EQ(p.Columns, 5);
    EXPECT_EQ(p.Colors, 3);
    EXPECT_EQ(p.BitsPerComponent, 8);
    EXPECT_EQ(p.EarlyChange, 0);
    EXPECT_EQ(ParseDecodeParms("").Predictor, 1);
}

}  // namespace
}  // namespace quillmark
