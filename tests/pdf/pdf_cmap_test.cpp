#include "quillmark/pdf/pdf_cmap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "quillmark/pdf/pdf_fonts.h"

namespace quillmark {
namespace {

std::string CMapText(const std::string& ranges, const std::string& chars, const std::string& space = "") {
    std::string s = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n";
    if (!space.empty()) s += "1 begincodespacerange\n" + space + "\nendcodespacerange\n";
    if (!ranges.empty()) s += "1 beginbfrange\n" + ranges + "\nendbfrange\n";
    if (!chars.empty()) s += "1 beginbfchar\n" + chars + "\nendbfchar\n";
    return s + "endcmap\nend\nend\n";
}

TDTPDFFont FontWith(const std::string& cmap) {
    TDTPDFFont f;
    f.SetCMap(cmap);
    return f;
}

TEST(PdfCMap, CharactersAndRanges) {
    EXPECT_EQ(FontWith(CMapText("", "<41> <0042>")).ConvertCMap(false, false, u"A"), u"B");
    // A 4-digit source also matches the byte through its 4-digit form.
    EXPECT_EQ(FontWith(CMapText("", "<0041> <0043>")).ConvertCMap(false, false, u"A"), u"C");
    EXPECT_EQ(FontWith(CMapText("<20> <7E> <0020>", "")).ConvertCMap(false, false, u" Az~"), u" Az~");
    EXPECT_EQ(FontWith(CMapText("<03> <05> [<0061> <0062> <0063>]", "")).ConvertCMap(false, false, u"\u0004"),
              u"b");
    // A bfchar line wins over a range; unmapped units pass through.
    TDTPDFFont f = FontWith(CMapText("<41> <5A> <0061>", "<42> <0058>"));
    EXPECT_EQ(f.ConvertCMap(false, false, u"ABC1"), u"aXc1");
    EXPECT_EQ(f.ConvertCMap(true, true, u"ABC"), u"a X c");
    EXPECT_EQ(FontWith(CMapText("<20> <7E> <0020>", "")).ConvertCMap(false, true, u"abc"), u"a b c");
    EXPECT_EQ(f.lstBFRange.size(), 1u);
    EXPECT_EQ(f.lstBFChars.size(), 1u);
    f.SetCMap("");
    EXPECT_TRUE(f.lstBFRange.empty());
    EXPECT_EQ(f.ConvertCMap(false, false, u"A"), u"A");
}

TEST(PdfCMap, DestinationsKeepEveryUnit) {
    TDTPDFCMap m;
    m.Parse(CMapText("<10> <11> <00660066>", "<01> <006600660069>\n<02> <D83DDE00>\n<03> /eacute"));
    std::u16string out;
    EXPECT_TRUE(m.Lookup(0x01, 1, out));
    EXPECT_TRUE(m.Lookup(0x02, 1, out));
    EXPECT_TRUE(m.Lookup(0x03, 1, out));
    // A range raises the last unit of its destination.
    EXPECT_TRUE(m.Lookup(0x11, 1, out));
    EXPECT_EQ(out, u"ffi\U0001F600\u00E9fg");
    EXPECT_FALSE(m.Lookup(0x04, 1, out));
}

TEST(PdfCMap, CodesAreBytesNotCodePageCharacters) {
    // Byte 0x80 looks up <80>, not the code of the euro sign.
    TDTPDFCMap m;
    m.Parse(CMapText("", "<80> <00E9>"));
    std::vector<TDTPDFCMap::Code> codes;
    m.SplitCodes("\x80", codes);
    ASSERT_EQ(codes.size(), 1u);
    std::u16string out;
    EXPECT_TRUE(m.Lookup(codes[0].value, codes[0].length, out));
    EXPECT_EQ(out, u"\u00E9");
}

TEST(PdfCMap, CodeSpaceDecidesTheCodeLength) {
    TDTPDFCMap m;
    m.Parse(CMapText("", "<0003> <0041>", "<00> <80>\n<8140> <FFFF>"));
    std::vector<TDTPDFCMap::Code> codes;
    m.SplitCodes("\x41\x81\x40\x42", codes);
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[0].value, 0x41u);
    EXPECT_EQ(codes[0].length, 1);
    EXPECT_EQ(codes[1].value, 0x8140u);
    EXPECT_EQ(codes[1].length, 2);
    // Without a code space, the sources' length is used.
    TDTPDFCMap two;
    two.Parse(CMapText("<0000> <00FF> <0000>", ""));
    EXPECT_TRUE(two.TwoByteCodes());
    two.SplitCodes(std::string("\x00\x41\x00", 3), codes);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0].value, 0x41u);
    EXPECT_EQ(codes[0].length, 2);
    EXPECT_EQ(codes[1].length, 1);  // the odd byte left over
}

TEST(PdfCMap, WideRangesAndHostileCounts) {
    TDTPDFCMap m;
    m.Parse(CMapText("<0000> <FFFF> <0000>\n<00000000> <FFFFFFFF> <0000>", ""));
    std::u16string out;
    EXPECT_TRUE(m.Lookup(0x4E2D, 2, out));
    EXPECT_EQ(out, u"\u4E2D");
    // Broken sections end without harm.
    TDTPDFCMap broken;
    broken.Parse("beginbfrange <41> beginbfchar <4 > [ <<>> endbfrange (x endbfchar");
    broken.Parse("");
    EXPECT_TRUE(broken.Empty());
}

// The conversion as it was first written: every code unit scans the lines
// of the bfrange sections, then those of the bfchar sections, parsing each
// line anew. The table-driven conversion must give the same text.
std::u16string ScanConvert(const TDTPDFFont& f, bool addSpace, std::u16string_view value) {
    auto brackets = [](std::string_view s, size_t& pos, std::string& out) {
        size_t a = s.find('<', pos);
        if (a == std::string_view::npos) return false;
        size_t b = s.find('>', a);
        if (b == std::string_view::npos) return false;
        out = std::string(s.substr(a + 1, b - a - 1));
        pos = b + 1;
        return true;
    };
    auto hex = [](const std::string& h) { return static_cast<uint32_t>(std::stoul(h, nullptr, 16)); };
    std::u16string out;
    for (char16_t v : value) {
        uint32_t code = v;
        char hex2[8], hex4[8];
        std::snprintf(hex2, sizeof hex2, "%02X", v);
        std::snprintf(hex4, sizeof hex4, "%04X", v);
        for (const std::string& line : f.lstBFRange) {
            size_t pos = 0;
            std::string low, high;
            if (!brackets(line, pos, low) || !brackets(line, pos, high)) continue;
            if (low.size() == 2) low = "00" + low;
            if (high.size() == 2) high = "00" + high;
            while (pos < line.size() && line[pos] == ' ') ++pos;
            std::string rest = line.substr(pos);
            if (!(low <= std::string(hex4) && std::string(hex4) <= high)) continue;
            uint32_t offset = hex(hex4) - hex(low);
            if (!rest.empty() && rest[0] == '<') {
                size_t p = 0;
                std::string d;
                brackets(rest, p, d);
                code = (hex(d) + offset) & 0xFFFF;
            } else if (!rest.empty() && rest[0] == '[') {
                size_t p = 0;
                std::string d;
                for (uint32_t k = 0; k <= offset; ++k) brackets(rest, p, d);
                code = hex(d) & 0xFFFF;
            }
            break;
        }
        for (const std::string& line : f.lstBFChars) {
            std::string key2 = "<" + std::string(hex2) + ">", key4 = "<" + std::string(hex4) + ">";
            size_t pos = 0;
            std::string d;
            if (line.compare(0, key2.size(), key2) == 0) pos = key2.size();
            else if (line.compare(0, key4.size(), key4) == 0) pos = key4.size();
            else continue;
            brackets(line, pos, d);
            code = hex(d) & 0xFFFF;
            break;
        }
        if (addSpace && !out.empty()) out.push_back(u' ');
        out.push_back(static_cast<char16_t>(code));
    }
    return out;
}

TEST(PdfCMap, TableLookupEqualsTheLineScanOnGeneratedCMaps) {
    std::mt19937 rng(7);
    auto hexOf = [](uint32_t v, int digits) {
        char b[12];
        std::snprintf(b, sizeof b, "%0*X", digits, v);
        return std::string(b);
    };
    for (int round = 0; round < 300; ++round) {
        std::string ranges, chars;
        int nRanges = rng() % 6, nChars = rng() % 12;
        for (int i = 0; i < nRanges; ++i) {
            int digits = rng() % 2 ? 2 : 4;
            uint32_t lo = rng() % (digits == 2 ? 0xF0 : 0x1F0);
            uint32_t hi = lo + rng() % 16;
            std::string line = "<" + hexOf(lo, digits) + "> <" + hexOf(hi, digits) + "> ";
            if (rng() % 3) {
                line += "<" + hexOf(rng() % 0x10000, 4) + ">";
            } else {
                line += "[";
                for (uint32_t k = lo; k <= hi; ++k) line += "<" + hexOf(rng() % 0x10000, 4) + "> ";
                line += "]";
            }
            ranges += (ranges.empty() ? "" : "\n") + line;
        }
        for (int i = 0; i < nChars; ++i) {
            int digits = rng() % 2 ? 2 : 4;
            uint32_t src = rng() % (digits == 2 ? 0x100 : 0x200);
            chars += (chars.empty() ? "" : "\n") + ("<" + hexOf(src, digits) + "> <" + hexOf(rng() % 0x10000, 4) + ">");
        }
        TDTPDFFont f = FontWith(CMapText(ranges, chars));
        std::u16string input;
        for (int k = 0; k < 64; ++k) input.push_back(static_cast<char16_t>(rng() % 0x200));
        bool addSpace = round % 5 == 0;
        ASSERT_EQ(f.ConvertCMap(false, addSpace, input), ScanConvert(f, addSpace, input))
            << "ranges:\n" << ranges << "\nchars:\n" << chars;
    }
}

}  // namespace
}  // namespace quillmark
