#include "quillmark/pdf/pdf_encodings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "quillmark/pdf/pdf_glyph_tables.h"

namespace quillmark {
namespace {

int Octal(int32_t decimalDigits) { return std::stoi(std::to_string(decimalDigits), nullptr, 8); }

const TLatinCharacter* Row(const char* name) {
    for (const auto& r : TLatinCharacterSet)
        if (std::strcmp(r.Name, name) == 0) return &r;
    return nullptr;
}

TEST(PdfGlyphTables, LatinCharacterSetHasTheStandardRows) {
    ASSERT_STREQ(TLatinCharacterSet[0].Name, "A");
    ASSERT_STREQ(TLatinCharacterSet[kLatinCharacterCount - 1].Name, "zero");
    for (size_t i = 1; i < kLatinCharacterCount; ++i)
        EXPECT_LT(std::strcmp(TLatinCharacterSet[i - 1].Name, TLatinCharacterSet[i].Name), 0) << i;
    struct Telling {
        const char* name;
        int32_t std, mac, win, pdf;
        const char* plain;
    } rows[] = {{"A", 101, 101, 101, 101, "A"},         {"AE", 341, 256, 306, 306, "AE"},
                {"Aacute", 0, 347, 301, 301, "A"},      {"bullet", 267, 245, 225, 200, "\xE2\x80\xA2"},
                {"emdash", 320, 321, 227, 204, "\xE2\x80\x94"}, {"fi", 256, 336, 0, 223, "fi"},
                {"quotedblleft", 252, 322, 223, 215, "\""}, {"space", 40, 40, 40, 40, " "},
                {"zcaron", 0, 0, 236, 236, "z"},        {"zero", 60, 60, 60, 60, "0"},
                {"paragraph", 266, 246, 266, 266, ""}};
    for (const auto& t : rows) {
        const TLatinCharacter* r = Row(t.name);
        ASSERT_NE(r, nullptr) << t.name;
        EXPECT_EQ(r->StdEnc, t.std) << t.name;
        EXPECT_EQ(r->MacRomanEnc, t.mac) << t.name;
        EXPECT_EQ(r->WinAnsiEnc, t.win) << t.name;
        EXPECT_EQ(r->PDFDocEnc, t.pdf) << t.name;
        EXPECT_STREQ(r->Character, t.plain) << t.name;
    }
}

TEST(PdfGlyphTables, EncodingTablesAgreeWithTheLatinRows) {
    // Every code a row names decodes, in that encoding's table, to the row's
    // glyph (the code fields hold octal digits).
    for (const auto& r : TLatinCharacterSet) {
        const std::pair<int32_t, const char16_t*> codes[] = {{r.StdEnc, kStandardEncoding},
                                                             {r.MacRomanEnc, kMacRomanEncoding},
                                                             {r.WinAnsiEnc, kWinAnsiEncoding},
                                                             {r.PDFDocEnc, kPDFDocEncoding}};
        for (const auto& [code, table] : codes) {
            if (code != 0) {
                EXPECT_EQ(table[Octal(code)], r.Unicode) << r.Name << " " << code;
            }
        }
    }
}

TEST(PdfEncodings, TableLookupKeepsAccents) {
    EXPECT_EQ(PdfEncodingTableLookup(0101, "/WinAnsiEncoding"), u"A");
    EXPECT_EQ(PdfEncodingTableLookup(0351, "/WinAnsiEncoding"), u"\u00E9");
    EXPECT_EQ(PdfEncodingTableLookup(0351, ""), u"\u00E9");  // no font: WinAnsi
    EXPECT_EQ(PdfEncodingTableLookup(0x80, "/winansiencoding"), u"\u20AC");
    EXPECT_EQ(PdfEncodingTableLookup(0256, "/StandardEncoding"), u"fi");  // ligature spelled out
    EXPECT_EQ(PdfEncodingTableLookup(0216, "/MacRomanEncoding"), u"\u00E9");
    EXPECT_EQ(PdfEncodingTableLookup(0xA0, "/PDFDocEncoding"), u"\u20AC");
    // Other encodings give the code itself.
    EXPECT_EQ(PdfEncodingTableLookup(0101, "/Identity-H"), u"A");
    EXPECT_EQ(PdfEncodingTableLookup(0x4E2D, "/Identity-H"), u"\u4E2D");
}

TEST(PdfEncodings, GlyphNames) {
    EXPECT_EQ(PdfGlyphNameToUnicode("eacute"), u"\u00E9");
    EXPECT_EQ(PdfGlyphNameToUnicode("/Euro"), u"\u20AC");
    EXPECT_EQ(PdfGlyphNameToUnicode("afii10017"), u"\u0410");
    EXPECT_EQ(PdfGlyphNameToUnicode("uni0041"), u"A");
    EXPECT_EQ(PdfGlyphNameToUnicode("uni00410042"), u"AB");
    EXPECT_EQ(PdfGlyphNameToUnicode("u1F600"), u"\U0001F600");
    EXPECT_EQ(PdfGlyphNameToUnicode("uniD800"), u"");  // a lone surrogate is no character
    EXPECT_EQ(PdfGlyphNameToUnicode("uni004"), u"");
    EXPECT_EQ(PdfGlyphNameToUnicode("f_f_i"), u"ffi");
    EXPECT_EQ(PdfGlyphNameToUnicode("fi"), u"fi");
    EXPECT_EQ(PdfGlyphNameToUnicode("ffl"), u"ffl");
    EXPECT_EQ(PdfGlyphNameToUnicode("a.sc"), u"a");
    EXPECT_EQ(PdfGlyphNameToUnicode("g123"), u"");
    EXPECT_EQ(PdfGlyphNameToUnicode(""), u"");
}

TEST(PdfEncodings, TextStrings) {
    // UTF-16BE with its mark stays UTF-16 text (a Cyrillic title survives).
    EXPECT_EQ(PdfTextString(std::string("\xFE\xFF\x04\x1F\x04\x40\x04\x38", 8)), u"\u041F\u0440\u0438");
    EXPECT_EQ(PdfTextString(std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)), u"\U0001F600");
    EXPECT_EQ(PdfTextString("\xEF\xBB\xBF\xC3\xA9"), u"\u00E9");
    // PDFDocEncoding without the mark.
    EXPECT_EQ(PdfTextString("A\x80\x84\x93\xA0\xE9"), u"A\u2022\u2014fi\u20AC\u00E9");
    EXPECT_EQ(PdfTextString(std::string("a\0b", 3)), u"ab");
}

TEST(PdfEncodings, CjkCodePages) {
    EXPECT_EQ(PdfCjkCodePage("/GBK-EUC-H"), 936);
    EXPECT_EQ(PdfCjkCodePage("/ETen-B5-V"), 950);
    EXPECT_EQ(PdfCjkCodePage("/90msp-RKSJ-H"), 932);
    EXPECT_EQ(PdfCjkCodePage("/KSCms-UHC-HW-V"), 949);
    EXPECT_EQ(PdfCjkCodePage("/gbk-euc-h"), 0);  // names are case-sensitive
    EXPECT_EQ(PdfCjkCodePage("/Identity-H"), 0);
    EXPECT_TRUE(PdfIsUnicodeCMapName("/UniGB-UCS2-H"));
    EXPECT_TRUE(PdfIsUnicodeCMapName("/UniJIS-UTF16-V"));
    EXPECT_FALSE(PdfIsUnicodeCMapName("/UniJIS-UTF8-H"));
}

}  // namespace
}  // namespace quillmark
