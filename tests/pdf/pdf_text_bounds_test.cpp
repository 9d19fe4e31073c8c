// The text layer on hostile shapes built here: fonts selected a million
// times over a thousand names, ToUnicode CMaps of thousands of large ranges,
// and ten million tiny strings in a small compressed stream. Each runs in
// a child process whose peak memory is read back (wait4), so the figure is
// this load's alone.
#include <gtest/gtest.h>


#include <algorithm>
#include <cstdio>
#include <functional>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_cmap.h"
#include "quillmark/pdf/pdf_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::Deflate;
using test::PdfBuilder;
using test::StreamObject;

using test::ChildRun;
using test::kMeasuredBuild;

// Runs work in a child process: its exit code (what work returned),
// processor time and peak resident memory.
ChildRun InChild(const std::function<int()>& work) {
    return test::RunInChild([&](std::string&) { return work(); });
}

void ExpectBounded(const ChildRun& run, const char* what) {
    std::printf("[ bounds   ] %s: %.2f s, peak %ld KiB\n", what, run.seconds, run.peakKiB);
    if (kMeasuredBuild) {
        EXPECT_LT(run.seconds, 2.0) << what;
        EXPECT_LT(run.peakKiB, 256 * 1024) << what;
    }
}

std::string OnePage(const std::string& fonts, const std::string& content, const std::vector<std::pair<int, std::string>>& objects) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << " + fonts + " >> >> /Contents 4 0 R >>");
    b.Add(4, StreamObject("/Filter /FlateDecode", Deflate(content)));
    for (const auto& [n, body] : objects) b.Add(n, body);
    return b.Build();
}

// Loaded as a host loads bytes: with the work budget of the load.
std::string Extract(const std::string& pdf, const TWorkLimits* limits = nullptr) {
    TDTPDFReader r;
    if (limits) r.SetWorkLimits(*limits);
    r.LoadFromBytes(pdf);
    return Utf16ToUtf8(r.Text().Text());
}

TEST(PdfTextBounds, AMillionFontSelectionsOverAThousandFonts) {
    std::string fonts;
    std::vector<std::pair<int, std::string>> objects;
    for (int i = 0; i < 1000; ++i) {
        fonts += "/F" + std::to_string(i) + " " + std::to_string(10 + i) + " 0 R ";
        objects.push_back({10 + i, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"});
    }
    // Every name a thousand times; every tenth in the wrong case (the same
    // font, found through the case-folded index).
    std::string content = "BT 72 700 Td\n";
    content.reserve(12 << 20);
    for (int k = 0; k < 1000000; ++k) {
        int i = (k * 7) % 1000;
        content += (k % 10 == 0 ? "/f" : "/F") + std::to_string(i) + " 9 Tf\n";
    }
    content += "(done) Tj ET";
    std::string pdf = OnePage(fonts, content, objects);
    EXPECT_LT(pdf.size(), 4u << 20);
    ChildRun run = InChild([&] { return Extract(pdf) == "\r\ndone\r\n\r\n" ? 0 : 1; });
    EXPECT_EQ(run.exitCode, 0);
    ExpectBounded(run, "1e6 Tf over 1000 fonts");
}

// A CMap of n ranges of `span` four-byte codes each; every range maps its
// first code to "A" and counts up, so a code's text tells its offset.
std::string WideCMap(int n, uint32_t span) {
    std::string cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                       "1 begincodespacerange <00000000> <FFFFFFFF> endcodespacerange\n";
    char buf[64];
    for (int k = 0; k < n; k += 100) {
        int m = std::min(100, n - k);
        cmap += std::to_string(m) + " beginbfrange\n";
        for (int j = k; j < k + m; ++j) {
            uint32_t low = static_cast<uint32_t>(j) * span;
            std::snprintf(buf, sizeof buf, "<%08X> <%08X> <0041>\n", low, low + span - 1);
            cmap += buf;
        }
        cmap += "endbfrange\n";
    }
    return cmap + "endcmap CMapName currentdict /CMap defineresource pop end end";
}

TEST(PdfTextBounds, CMapRangesAreKeptAsRangesAndSearched) {
    // 5000 ranges of 60,000 codes: 300 million codes, 5000 entries.
    TDTPDFCMap m;
    ChildRun parse = InChild([&] {
        m.Parse(WideCMap(5000, 60000));
        std::u16string out;
        bool ok = m.Lookup(0, 4, out) && m.Lookup(59999, 4, out) && m.Lookup(4999u * 60000 + 25, 4, out) &&
                  !m.Lookup(5000u * 60000, 4, out);
        return ok && out == std::u16string(u"A") + char16_t(u'A' + 59999) + char16_t(u'A' + 25) ? 0 : 1;
    });
    EXPECT_EQ(parse.exitCode, 0);
    ExpectBounded(parse, "CMap of 5000 ranges of 60000 codes");

    // Shown through a Type0 font: 200,000 codes, each found among the ranges.
    std::string codes;
    char buf[16];
    for (uint32_t i = 0; i < 200000; ++i) {
        uint32_t code = (i * 7919u % 5000u) * 60000u + (i % 3 == 0 ? 0 : 19);  // 'A' or 'T'
        std::snprintf(buf, sizeof buf, "%08X", code);
        codes += buf;
    }
    std::string pdf = OnePage("/F1 9 0 R", "BT /F1 10 Tf 72 700 Td <" + codes + "> Tj ET",
                              {{9, "<< /Type /Font /Subtype /Type0 /Encoding /Wide-H /DescendantFonts [10 0 R] "
                                   "/ToUnicode 11 0 R >>"},
                               {10, "<< /Type /Font /Subtype /CIDFontType2 /DW 500 >>"},
                               {11, StreamObject("/Filter /FlateDecode", Deflate(WideCMap(5000, 60000)))}});
    ChildRun run = InChild([&] {
        std::string text = Extract(pdf);
        size_t a = std::count(text.begin(), text.end(), 'A'), t = std::count(text.begin(), text.end(), 'T');
        return a == 66667 && t == 133333 ? 0 : 1;
    });
    EXPECT_EQ(run.exitCode, 0);
    ExpectBounded(run, "200000 codes through 5000 wide ranges");
}

TEST(PdfTextBounds, OverlappingRangesLetTheEarliestLineWin) {
    TDTPDFCMap m;
    m.Parse("1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
            "3 beginbfrange <0010> <0100> <0061> <0000> <0020> <0041> <0050> <0060> [<0031> <0032>] endbfrange\n"
            "1 beginbfchar <0015> <007A> endbfchar\n");
    auto at = [&](uint32_t code) {
        std::u16string out;
        return m.Lookup(code, 2, out) ? out : u"-";
    };
    EXPECT_EQ(at(0x0005), u"F");   // only the second range
    EXPECT_EQ(at(0x0010), u"a");   // both: the first line
    EXPECT_EQ(at(0x0015), u"z");   // a character beats every range
    EXPECT_EQ(at(0x0050), std::u16string(1, char16_t(u'a' + 0x40)));  // the first range holds it too
    EXPECT_EQ(at(0x0101), u"-");
    std::u16string unit;
    EXPECT_TRUE(m.LookupUnit(0x20, unit));
    EXPECT_EQ(unit, std::u16string(1, char16_t(u'a' + 0x10)));
}

TEST(PdfTextBounds, TenMillionTinyStringsEndInALimitErrorOrSaneText) {
    std::string content = "BT /F1 1 Tf 0 0 Td\n";
    content.reserve(70 << 20);
    for (int k = 0; k < 10000000; ++k) content += "(a)Tj ";
    content += "ET";
    std::string pdf = OnePage("/F1 9 0 R", content, {{9, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}});
    content.clear();
    content.shrink_to_fit();
    EXPECT_LT(pdf.size(), 1u << 20);
    auto load = [&](const TWorkLimits* limits) {
        try {
            std::string text = Extract(pdf, limits);
            // Sane text: only the letters shown, no more than were shown.
            return text.size() <= 10000010 && text.find_first_not_of("a\r\n") == std::string::npos ? 0 : 1;
        } catch (const ELimitError&) {
            return 2;
        }
    };
    // The default limits stop the load after about a million items: within
    // the memory bound; the time (about 2 s of processor time, most of it
    // building the million items) is reported.
    ChildRun run = InChild([&] { return load(nullptr); });
    EXPECT_EQ(run.exitCode, 2);
    std::printf("[ bounds   ] 1e7 tiny text items, default limits: %.2f s, peak %ld KiB\n", run.seconds, run.peakKiB);
    if (kMeasuredBuild) {
        EXPECT_LT(run.peakKiB, 256 * 1024);
    }
    // A host that reads untrusted files in bulk allows fewer items per load.
    TWorkLimits tight;
    tight.ItemsBase = 1 << 18;
    ChildRun bounded = InChild([&] { return load(&tight); });
    EXPECT_EQ(bounded.exitCode, 2);
    ExpectBounded(bounded, "1e7 tiny text items, 256K items allowed");
}

}  // namespace
}  // namespace quillmark
