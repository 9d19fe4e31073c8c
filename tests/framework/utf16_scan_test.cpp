// The bulk scans and the UTF-8 writer against plain one-unit-at-a-time
// versions of the same rules, on random text that mixes ASCII, controls,
// CR/LF pairs, other BMP characters and whole and lone surrogates, at every
// start position (the bulk paths work eight or sixteen units at a time).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "quillmark/extract.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/utf16_scan.h"

namespace quillmark {
namespace {

std::u16string RandomText(std::mt19937& rng, size_t length) {
    static const char16_t kUnits[] = {u'a', u'Z', u' ', u'\r', u'\n', 0, 7, 0x1F, 0x7F, 0x80, 0xE9,
                                      0x7FF, 0x800, 0x4E2D, 0xD83D, 0xDE00, 0xDBFF, 0xDC00, 0xFFFF, 0x8000};
    std::u16string s;
    // Long ASCII stretches too, so the bulk paths run.
    std::uniform_int_distribution<int> kind(0, 3), pick(0, sizeof kUnits / sizeof kUnits[0] - 1), ascii(0x20, 0x7E);
    while (s.size() < length) {
        if (kind(rng) == 0) s.push_back(kUnits[pick(rng)]);
        else s.push_back(static_cast<char16_t>(ascii(rng)));
    }
    return s;
}

// The rules one unit at a time.
std::string ReferenceUtf8(std::u16string_view t, bool dropCr) {
    std::string out;
    for (size_t i = 0; i < t.size(); ++i) {
        char32_t cp = t[i];
        if (dropCr && cp == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n') continue;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (t[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

TEST(Utf16Scan, BulkScansAgreeWithOneUnitAtATime) {
    std::mt19937 rng(20);
    for (int round = 0; round < 300; ++round) {
        std::u16string text = RandomText(rng, 1 + round % 97);
        for (size_t from = 0; from <= text.size(); ++from) {
            size_t control = from;
            while (control < text.size() && text[control] >= 0x20) ++control;
            ASSERT_EQ(FindControl(text, from), control) << round << " " << from;
            for (bool stopAtCr : {false, true}) {
                size_t end = from;
                while (end < text.size() && text[end] < 0x80 && !(stopAtCr && text[end] == u'\r')) ++end;
                ASSERT_EQ(AsciiRunLength(text, from, stopAtCr), end - from) << round << " " << from;
                std::string narrow(end - from, '\0');
                NarrowAscii(text.data() + from, end - from, narrow.data());
                for (size_t i = from; i < end; ++i) ASSERT_EQ(narrow[i - from], static_cast<char>(text[i]));
            }
        }
    }
}

TEST(Utf16Scan, Utf8WriterAgreesWithOneUnitAtATime) {
    std::mt19937 rng(21);
    for (int round = 0; round < 2000; ++round) {
        std::u16string text = RandomText(rng, round % 300);
        for (bool dropCr : {false, true}) {
            std::string expected = ReferenceUtf8(text, dropCr);
            ASSERT_EQ(Utf8Length(text, dropCr), expected.size()) << round;
            std::string out(expected.size() + 8, '#');
            char* end = WriteUtf8(out.data(), text, dropCr);
            ASSERT_EQ(static_cast<size_t>(end - out.data()), expected.size()) << round;
            ASSERT_EQ(out.substr(0, expected.size()), expected) << round;
            ASSERT_EQ(out.substr(expected.size()), "########");  // nothing written past the end
        }
        ASSERT_EQ(Utf16ToUtf8(text), ReferenceUtf8(text, false));
    }
}

TEST(Utf16Scan, ListToUtf8AgreesWithConvertingLineByLine) {
    // The former way: each line to UTF-8, then the CR of every CR LF pair
    // dropped (unless crlf), each line ended by the line end; the empty
    // lines at both ends left out.
    std::mt19937 rng(22);
    for (int round = 0; round < 300; ++round) {
        TWideStrings list;
        int lines = round % 7;
        if (round % 3 == 0) list.Add(u"");
        for (int i = 0; i < lines; ++i) list.Add(i % 4 == 1 ? std::u16string() : RandomText(rng, round % 200));
        if (round % 2 == 0) list.Add(u"");
        for (bool crlf : {false, true}) {
            const auto& all = list.Lines();
            size_t first = 0, last = all.size();
            while (first < last && all[first].empty()) ++first;
            while (last > first && all[last - 1].empty()) --last;
            std::string expected;
            for (size_t i = first; i < last; ++i) {
                std::string utf8 = Utf16ToUtf8(all[i]);
                if (crlf) {
                    expected += utf8 + "\r\n";
                    continue;
                }
                size_t from = 0, cr;
                while ((cr = utf8.find("\r\n", from)) != std::string::npos) {
                    expected.append(utf8, from, cr - from);
                    from = cr + 1;
                }
                expected.append(utf8, from, std::string::npos);
                expected += "\n";
            }
            ASSERT_EQ(ListToUtf8(list, crlf), expected) << round;
        }
    }
}

}  // namespace
}  // namespace quillmark
