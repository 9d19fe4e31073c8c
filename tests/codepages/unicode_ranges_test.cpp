#include "quillmark/codepages/unicode_ranges.h"

#include <gtest/gtest.h>

#include <cstring>

#include "quillmark/codepages/unicode_to_windows_tables.h"
#include "quillmark/framework/code_pages.h"

namespace quillmark {
namespace {

TEST(UnicodeBlocks, OrderedDisjointAndNamed) {
    EXPECT_STREQ(UnicodeBlocks[0].Name, "Basic Latin");
    EXPECT_STREQ(UnicodeBlocks[86].Name, "Halfwidth and Fullwidth Forms");
    EXPECT_STREQ(UnicodeBlocks[87].Name, "Specials");
    EXPECT_EQ(UnicodeBlocks[87].CodeFrom, 0xFFF0);
    EXPECT_EQ(UnicodeBlocks[87].CodeTo, 0xFFFF);
    for (int i = 0; i < kUnicodeBlockCount; ++i) {
        EXPECT_LE(UnicodeBlocks[i].CodeFrom, UnicodeBlocks[i].CodeTo) << i;
        if (i > 0) {
            EXPECT_GT(UnicodeBlocks[i].CodeFrom, UnicodeBlocks[i - 1].CodeTo) << i;
        }
    }
    auto find = [](const char* n) {
        for (const auto& b : UnicodeBlocks)
            if (std::strcmp(b.Name, n) == 0) return b;
        return TUnicodeRange{0, 0, ""};
    };
    EXPECT_EQ(find("Cyrillic").CodeFrom, 0x0400);
    EXPECT_EQ(find("Hangul Syllables").CodeTo, 0xD7A3);
    EXPECT_EQ(find("CJK Unified Ideographs Extension A").CodeTo, 0x4DB5);
    EXPECT_EQ(find("Arabic Presentation Forms-B").CodeTo, 0xFEFE);
}

TEST(UnicodeBlocks, LanguageLookupFindsTheScript) {
    const std::pair<uint16_t, const char*> cases[] = {
        {0x0409, "Basic Latin"},       {0x0419, "Cyrillic"},          {0x0408, "Greek"},
        {0x040D, "Hebrew"},            {0x0401, "Arabic"},            {0x041E, "Thai"},
        {0x0412, "Hangul Syllables"},  {0x0804, "CJK Unified Ideographs"},
        {0x0407, "Latin-1 Supplement"}, {0x0415, "Latin Extended-A"}, {0x0C1A, "Cyrillic"},
        {0x081A, "Latin Extended-A"},  {0x042A, "Latin Extended Additional"},
        {0x7FFF, "Latin-1 Supplement"},
    };
    for (auto [lid, name] : cases) EXPECT_STREQ(GetUnicodeRangeByLID(lid).Name, name) << std::hex << lid;
}

TEST(UnicodeToWindows, TableSizesAndSamples) {
    const std::pair<int, size_t> counts[] = {{1250, 61}, {1251, 97}, {1252, 12}, {1253, 80},
                                             {1254, 16}, {1255, 59}, {1256, 108}, {1257, 65}};
    for (auto [cp, n] : counts) EXPECT_EQ(UnicodeToWindowsTable(cp).count, n) << cp;
    EXPECT_EQ(UnicodeToWin1252(0x0041), 0);
    EXPECT_EQ(UnicodeToWin1252(0x20AC), 0);
    EXPECT_EQ(UnicodeToWin1252(0x2122), 0x99);
    EXPECT_EQ(UnicodeToWin1252(0x0152), 0x8C);
    EXPECT_EQ(UnicodeToWin1252(0x0192), 0x83);
    EXPECT_EQ(UnicodeToWin1251(0x0451), 0xB8);
    EXPECT_EQ(UnicodeToWin1251(0x0401), 0xA8);
    EXPECT_EQ(UnicodeToWin1251(0x2116), 0xB9);
    EXPECT_EQ(UnicodeToWin1251(0xFFFF), 0x98);
    EXPECT_EQ(UnicodeToWin1256(0xFFFF), 0);
    EXPECT_EQ(UnicodeToWin1256(0x00E9), 0xE9);
    EXPECT_EQ(UnicodeToWin1250(0x00A4), 0xA4);
    EXPECT_EQ(UnicodeToWin1250(0x00A0), 0);
    EXPECT_EQ(UnicodeToWin1255(0x0160), 0x8A);
    EXPECT_EQ(UnicodeToWin932(0x65E5), 0);
}

TEST(UnicodeToWindows, EveryEntryBelowU2000DecodesBack) {
    for (int cp = 1250; cp <= 1257; ++cp) {
        CodePageTable t = UnicodeToWindowsTable(cp);
        for (size_t i = 0; i < t.count; ++i) {
            const auto& e = t.entries[i];
            if (i > 0) {
                EXPECT_LT(t.entries[i - 1].unicode, e.unicode) << cp;  // sorted for the search
            }
            if (e.unicode >= 0x2000 || (cp == 1255 && e.unicode == 0x0160)) continue;
            std::u16string back = MultiByteToWide(std::string(1, static_cast<char>(e.byte)), cp);
            EXPECT_EQ(back, std::u16string(1, static_cast<char16_t>(e.unicode))) << cp << " " << e.unicode;
        }
    }
}

}  // namespace
}  // namespace quillmark
