#include "quillmark/framework/code_pages.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>

namespace quillmark {
namespace {

// Decodes one byte with iconv; false when iconv does not define it.
bool IconvByte(const char* name, unsigned char byte, char16_t& out) {
    iconv_t h = iconv_open("UTF-16LE", name);
    if (h == reinterpret_cast<iconv_t>(-1)) return false;
    char in[1] = {static_cast<char>(byte)};
    char buf[8];
    char* ip = in;
    char* op = buf;
    size_t il = 1, ol = sizeof buf;
    size_t r = iconv(h, &ip, &il, &op, &ol);
    // Flush state-holding converters (CP1258 waits for combining marks).
    iconv(h, nullptr, nullptr, &op, &ol);
    iconv_close(h);
    if (r == static_cast<size_t>(-1) || sizeof buf - ol != 2) return false;
    out = static_cast<char16_t>(static_cast<unsigned char>(buf[0]) |
                                (static_cast<unsigned char>(buf[1]) << 8));
    return true;
}

TEST(CodePages, EverySingleByteAgreesWithIconvWhereDefined) {
    const int pages[] = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    for (int cp : pages) {
        std::string name = "CP" + std::to_string(cp);
        int compared = 0;
        for (int b = 0; b < 256; ++b) {
            char16_t want;
            if (!IconvByte(name.c_str(), static_cast<unsigned char>(b), want)) continue;
            std::u16string got = MultiByteToWide(std::string(1, static_cast<char>(b)), cp);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(static_cast<int>(got[0]), static_cast<int>(want)) << "cp" << cp << " byte " << b;
            ++compared;
        }
        EXPECT_GT(compared, 200) << cp;
    }
}

TEST(CodePages, UndefinedBytesDecodeAsWindowsDoes) {
    EXPECT_EQ(MultiByteToWide("\x81\x8D\x8F\x90\x9D", 1252), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(MultiByteToWide("\x98", 1251), u"\u0098");
    EXPECT_EQ(MultiByteToWide("\xAA", 1253), u"\uF8F9");
    EXPECT_EQ(MultiByteToWide("\xDB", 874), u"\uF8C1");
}

TEST(CodePages, RoundTripSingleByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (int cp : {1250, 1251, 1252, 1257}) EXPECT_EQ(WideToMultiByte(MultiByteToWide(all, cp), cp), all);
    EXPECT_EQ(WideToMultiByte(u"\u4E2D", 1252), "?");
}

TEST(CodePages, ActiveCodePageIsProcessWide) {
    EXPECT_EQ(GetACP(), 1252);
    SetActiveAnsiCodePage(1251);
    EXPECT_EQ(MultiByteToWide("\xC0"), u"\u0410");
    SetActiveAnsiCodePage(999999);  // unsupported: ignored
    EXPECT_EQ(GetACP(), 1251);
    SetActiveAnsiCodePage(1252);
    EXPECT_EQ(MultiByteToWide("\xC0"), u"\u00C0");
}

TEST(CodePages, DoubleBytePagesThroughIconv) {
    EXPECT_EQ(MultiByteToWide("\x93\xfa\x96\x7b", 932), u"\u65E5\u672C");  // Shift-JIS
    EXPECT_EQ(MultiByteToWide("\xd6\xd0", 936), u"\u4E2D");                 // GBK
    EXPECT_EQ(MultiByteToWide("\xc7\xd1", 949), u"\uD55C");                 // UHC
    EXPECT_EQ(MultiByteToWide("\xa4\xa4", 950), u"\u4E2D");                 // Big5
    // A lead byte without its trail byte becomes U+FFFD, not an exception.
    EXPECT_EQ(MultiByteToWide("a\x93", 932), u"a\uFFFD");
    EXPECT_EQ(WideToMultiByte(u"\u65E5", 932), "\x93\xfa");
}

TEST(CodePages, Utf8BothWays) {
    EXPECT_EQ(Utf8ToUtf16("h\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"), u"h\u00E9\u4E2D\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(u"h\u00E9\u4E2D\U0001F600"), "h\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    // Malformed input: stray continuation, overlong form, truncated sequence,
    // encoded surrogate.
    EXPECT_EQ(Utf8ToUtf16("a\x80" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");
    // A lone surrogate in UTF-16 becomes U+FFFD in UTF-8.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(CodePages, OtherPagesAndUtf16) {
    EXPECT_EQ(MultiByteToWide("\xF1", 20866), u"\u042F");  // KOI8-R
    EXPECT_EQ(MultiByteToWide(std::string("a\0b\0", 4), CP_UTF16LE), u"ab");
    EXPECT_EQ(MultiByteToWide(std::string("\0a\0b", 4), CP_UTF16BE), u"ab");
    EXPECT_TRUE(IsCodePageSupported(932));
    EXPECT_FALSE(IsCodePageSupported(12345));
}

}  // namespace
}  // namespace quillmark
