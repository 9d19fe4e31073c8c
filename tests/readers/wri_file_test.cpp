#include "quillmark/readers/wri_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "quillmark/extract.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/readers/wri_markup.h"
#include "support/test_support.h"
#include "support/wri_builder.h"

namespace quillmark {
namespace {

using test::WriBuilder;
using test::WriChar;
using test::WriPara;
using test::WriParagraphs;
using test::WriRun;

std::u16string Load(TWRIFile& reader, const std::string& bytes) {
    TMemoryStream s(bytes);
    reader.LoadFromStream(s);
    return reader.Text().Text();
}

// The body alone: the list holds the opening text, the body and the closing
// text, one line each.
std::u16string Body(const std::string& bytes, TMSTextFormating format = tfPlainText) {
    TWRIFile reader;
    reader.SetTextFormating(format);
    Load(reader, bytes);
    EXPECT_EQ(reader.Text().Count(), 3);
    return reader.Text().Count() == 3 ? reader.Text()[1] : u"";
}

std::string Utf8Body(const std::string& bytes) { return Utf16ToUtf8(Body(bytes)); }

bool StartsWith(const std::u16string& s, std::u16string_view prefix) { return s.rfind(prefix, 0) == 0; }

TEST(WRIFile, RealDocumentsGiveTheWordsOfTheirPeerToolInOrder) {
    // The reference is what wps2text writes for the same files. It also
    // prints running heads, which the main text leaves out: the Tika file
    // opens with one, so its reference starts after it.
    struct Case {
        const char* name;
        const char* referenceFrom;
    };
    for (const Case& c : {Case{"write/testWindowsWrite.wri", ""}, Case{"write/tika_testMSWriteFile.wri", "ISO/IEC"},
                          Case{"write/poi_MSWriteOld.wri", ""}}) {
        TWRIFile reader;
        reader.LoadFromFile(test::DataPath(c.name));
        std::string peer = test::ReadDataFile(std::string(c.name) + ".wps2text.txt");
        ASSERT_NE(peer.find(c.referenceFrom), std::string::npos);
        peer = peer.substr(peer.find(c.referenceFrom));
        std::string ours = Utf16ToUtf8(reader.Text().Text());
        EXPECT_GE(test::InOrderRecall(peer, ours), 0.99) << c.name;
        EXPECT_TRUE(TWRIFile::IsWriteData(test::ReadDataFile(c.name))) << c.name;
    }
}

TEST(WRIFile, ParagraphsKeepTheirLineBreaksAndEveryByte) {
    // Each paragraph is exactly the bytes of its runs: the CR LF between
    // paragraphs survives and no run starts a byte early.
    EXPECT_EQ(Utf8Body(WriParagraphs({"First", "Second", "Third"}).Build()),
              "First\r\nSecond\r\nThird\r\n");

    // Character runs that end inside a paragraph and inside the next one.
    WriBuilder b = WriParagraphs({"abcdef", "ghij"});  // positions 128..135, 136..141
    b.charRuns = {{130, WriChar(true, false)}, {138, ""}, {142, WriChar(false, true)}};
    EXPECT_EQ(Utf8Body(b.Build()), "abcdef\r\nghij\r\n");
}

TEST(WRIFile, HtmlRunsCloseInReverseOrder) {
    WriBuilder b = WriParagraphs({"x"});
    b.fonts = {{0x20, "Arial"}, {0x10, "Times \"New\""}};
    b.charRuns = {{129, WriChar(true, true, 1, 20, true, 200)}, {131, ""}};
    EXPECT_EQ(Body(b.Build(), tfHTML),
              u"<p><font face=\"Times &quot;New&quot;\" size=\"-1\"><b><i><u><sup>x</sup></u></i></b>"
              u"</font><font face=\"Arial\" size=\"-1\">\r\n</font></p>");
    b.charRuns[0].props = WriChar(false, false, 0, 16, false, 3);
    EXPECT_TRUE(StartsWith(Body(b.Build(), tfHTML), u"<p><font face=\"Arial\" size=\"2\"><sub>x</sub></font>"));
}

TEST(WRIFile, RtfRunsNameFontAndSize) {
    WriBuilder b = WriParagraphs({"a{b}"});
    b.fonts = {{0, "Arial"}, {0, "Courier"}};
    b.charRuns = {{132, WriChar(true, false, 1, 20, true)}, {134, ""}};
    EXPECT_EQ(Body(b.Build(), tfRTF),
              u"\\par \\pard\\f1\\fs20 \\fs20 \\b \\ul a\\{b\\}\\b0 \\ul0 \\pard\\f0\\fs24 \\fs24 \r\n\r\n");
}

TEST(WRIFile, FontTable) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint8_t, std::string>> fonts;
        bool table;
        long pnMac;
        std::vector<std::string> expected;
    };
    std::vector<std::pair<uint8_t, std::string>> many;
    std::vector<std::string> manyNames;
    for (int i = 0; i < 12; ++i) {  // long names: entries continue on later pages
        many.push_back({static_cast<uint8_t>(i), "Font number " + std::to_string(i) + std::string(12, 'x')});
        manyNames.push_back(many.back().second);
    }
    const Case cases[] = {
        {"two fonts", {{0x10, "Arial"}, {0x20, "Courier New"}}, true, -1, {"Arial", "Courier New"}},
        {"count 0", {}, true, -1, {}},
        {"pnFfntb equals pnMac", {{0, "Arial"}}, false, -1, {}},
        {"Word for DOS file (pnMac 0)", {{0, "Arial"}}, true, 0, {}},
        {"entries across pages", many, true, -1, manyNames},
        {"name cut to 31 bytes", {{0, std::string(100, 'n')}}, true, -1, {std::string(31, 'n')}},
    };
    for (const auto& c : cases) {
        WriBuilder b = WriParagraphs({"t"});
        b.fonts = c.fonts;
        b.fontTable = c.table;
        b.pnMac = c.pnMac;
        TWRIFile reader;
        Load(reader, b.Build());
        std::vector<std::string> names;
        for (size_t i = 0; i < reader.FontTable().Count(); ++i) names.push_back(reader.FontTable()[i].Name);
        // Never the section page, which would read as a font named "SEP".
        EXPECT_EQ(names, c.expected) << c.what;
    }

    // A size of 0 ends the table; ID is the family byte.
    WriBuilder b = WriParagraphs({"t"});
    b.fonts = {{0x30, "Arial"}, {0x10, "Gone"}};
    test::WriLayout layout;
    std::string bytes = b.Build(&layout);
    size_t second = layout.pnFfntb * 128 + 2 + 2 + 7;
    bytes[second] = bytes[second + 1] = 0;
    TWRIFile reader;
    Load(reader, bytes);
    ASSERT_EQ(reader.FontTable().Count(), 1u);
    EXPECT_EQ(reader.FontTable()[0].ID, 0x30);
}

TEST(WRIFile, FontIndexIsClampedAndAnEmptyTableNamesNoFace) {
    WriBuilder b = WriParagraphs({"x"});
    b.charRuns = {{131, WriChar(false, false, 200, 24)}};
    // No fonts: HTML leaves the face out, RTF still names font 0.
    EXPECT_EQ(Body(b.Build(), tfHTML), u"<p><font size=\"-1\">x\r\n</font></p>");
    EXPECT_EQ(Body(b.Build(), tfRTF), u"\\par \\pard\\f0\\fs24 \\fs24 x\r\n\r\n");
    // An index beyond the table names its last font (200 = 8 + (3 << 6)).
    b.fonts = {{0, "A"}, {0, "B"}};
    EXPECT_EQ(Body(b.Build(), tfHTML), u"<p><font face=\"B\" size=\"-1\">x\r\n</font></p>");
    EXPECT_EQ(Body(b.Build(), tfRTF), u"\\par \\pard\\f1\\fs24 \\fs24 x\r\n\r\n");
}

TEST(WRIFile, RunWithoutPropertiesTakesTheDefaults) {
    WriBuilder b = WriParagraphs({"x"});
    b.fonts = {{0, "First"}, {0, "Second"}};
    EXPECT_EQ(Body(b.Build(), tfHTML), u"<p><font face=\"First\" size=\"-1\">x\r\n</font></p>");
    // A block shorter than a property leaves that property at its default.
    b.charRuns = {{131, WriChar(true, false, 1, 40, true, 0, 2)}};
    EXPECT_EQ(Body(b.Build(), tfHTML), u"<p><font face=\"Second\" size=\"-1\"><b>x\r\n</b></font></p>");
}

TEST(WRIFile, PicturesRunningHeadsAndFormFeeds) {
    WriBuilder b;
    b.text = std::string("head\r\n") + std::string("\x08\0PIC\r\n", 7) + "page\fbreak\r\n" + "foot\r\n";
    b.paraRuns = {{134, WriPara(0x06)}, {141, WriPara(0x10)}, {153, ""}, {159, WriPara(0x07)}};
    EXPECT_EQ(Utf8Body(b.Build()), "page\nbreak\r\n");
    // The running head and foot have lists of their own.
    TWRIFile reader;
    reader.SetTextFormating(tfHTML);
    Load(reader, b.Build());
    ASSERT_EQ(reader.PartText(TDocumentPart::Headers), &reader.HeaderText());
    ASSERT_EQ(reader.PartText(TDocumentPart::Footers), &reader.FooterText());
    EXPECT_EQ(reader.PartText(TDocumentPart::Footnotes), nullptr);
    // Each part is framed as a whole document of its own.
    EXPECT_EQ(reader.HeaderText().Count(), 3);
    EXPECT_EQ(reader.HeaderText()[1], u"<p><font size=\"-1\">head\r\n</font></p>");
    EXPECT_EQ(reader.FooterText()[1], u"<p><font size=\"-1\">foot\r\n</font></p>");
    EXPECT_EQ(reader.FooterText()[0], reader.Text()[0]);
    std::u16string html = Body(b.Build(), tfHTML);
    EXPECT_EQ(html.substr(0, 14), u"<p></p><p></p>");
    EXPECT_EQ(Body(b.Build(), tfRTF).substr(0, 14), u"\\par \r\n\\par \r\n");
    // The picture bit on a paragraph that holds text (as Word for DOS
    // writes it) does not hide the text.
    b.text[6] = '\t';
    EXPECT_EQ(Utf8Body(b.Build()), std::string("\t\0PIC\r\n", 7) + "page\nbreak\r\n");
}

TEST(WRIFile, RunsEndingAtAParagraphStartAddNothingToIt) {
    WriBuilder b = WriParagraphs({"ab", "cd"});  // 128..131, 132..135
    b.charRuns = {{132, WriChar(true, false)}, {136, ""}};
    EXPECT_EQ(Body(b.Build(), tfHTML),
              u"<p><font size=\"-1\"><b>ab\r\n</b></font></p><p><font size=\"-1\">cd\r\n</font></p>");
}

TEST(WRIFile, RunPagesThatDoNotStartWhereExpected) {
    WriBuilder base = WriParagraphs({"one", "two", "three", "four"});
    base.runsPerPage = 1;  // one paragraph per page: pages 0..3
    // Correct pages.
    EXPECT_EQ(Utf8Body(base.Build()), "one\r\ntwo\r\nthree\r\nfour\r\n");

    // fcFirst restated from an earlier position, or left at 0: the pages
    // still cover the text, so it reads.
    for (uint32_t stale : {128u, 0u, 130u}) {
        WriBuilder b = base;
        b.paraFcFirst[2] = stale;
        EXPECT_EQ(Utf8Body(b.Build()), "one\r\ntwo\r\nthree\r\nfour\r\n") << stale;
    }
    // A page that repeats the runs of the one before: the repeats are skipped.
    WriBuilder repeat = base;
    repeat.paraRuns = {{133, ""}, {133, ""}, {138, ""}, {145, ""}, {151, ""}};
    repeat.paraFcFirst[1] = 128;
    EXPECT_EQ(Utf8Body(repeat.Build()), "one\r\ntwo\r\nthree\r\nfour\r\n");

    // A page with no runs is passed over.
    WriBuilder empty = base;
    empty.charRuns = {{133, ""}, {140, ""}, {151, ""}};
    empty.charCount[1] = 0;
    empty.charFcFirst[2] = 133;
    EXPECT_EQ(Utf8Body(empty.Build()), "one\r\ntwo\r\nthree\r\nfour\r\n");

    // A gap no page covers: the runs cannot give the text, nothing is added.
    for (bool characters : {false, true}) {
        WriBuilder b = base;
        if (characters) {
            b.charRuns = {{133, ""}, {138, ""}, {151, ""}};
            b.charFcFirst[1] = 135;
        } else {
            b.paraFcFirst[1] = 135;
        }
        TWRIFile reader;
        try {
            Load(reader, b.Build());
            ADD_FAILURE() << "no exception";
        } catch (const EDamagedDocument& e) {
            EXPECT_STREQ(e.what(), "fcFirst wrong");
        }
        EXPECT_EQ(reader.Text().Count(), 0);
    }
}

TEST(WRIFile, DamagedHeadersAndRuns) {
    WriBuilder base = WriParagraphs({"alpha", "beta"});  // 128..134, 135..140

    // Run ends beyond fcMac are cut at fcMac (Write itself ends the last
    // paragraph run one past it).
    WriBuilder past = base;
    past.paraRuns = {{135, ""}, {142, ""}};
    past.charRuns = {{200000, ""}};
    EXPECT_EQ(Utf8Body(past.Build()), "alpha\r\nbeta\r\n");

    // fcMac inside the header page: no text.
    WriBuilder small = base;
    small.fcMac = 12;
    EXPECT_EQ(Utf8Body(small.Build()), "");

    // fcMac beyond the file.
    WriBuilder big = base;
    big.fcMac = 1 << 30;
    EXPECT_THROW(Body(big.Build()), EDamagedDocument);

    // A property offset outside the page, and a block running into the
    // count byte: defaults, and the bytes that fit.
    test::WriLayout l;
    std::string bytes = base.Build(&l);
    size_t entry = size_t{l.pnChar} * 128 + 4;
    bytes[entry + 4] = static_cast<char>(0xF0);  // bfprop 0x00F0: beyond the page
    bytes[entry + 5] = 0;
    EXPECT_EQ(Body(bytes, tfHTML), u"<p><font size=\"-1\">alpha\r\n</font></p><p><font size=\"-1\">beta\r\n</font></p>");
    bytes[entry + 4] = 120;                      // block at byte 124, length 200
    bytes[l.pnChar * 128 + 124] = static_cast<char>(200);
    bytes[l.pnChar * 128 + 125] = 0;
    bytes[l.pnChar * 128 + 126] = 0x01;          // byte 2: bold; byte 3 lies past the page
    EXPECT_TRUE(StartsWith(Body(bytes, tfHTML), u"<p><font size=\"-1\"><b>alpha\r\n</b></font>"));

    // A run count larger than a page can hold reads the entries that fit.
    WriBuilder count = base;
    count.paraCount[0] = 255;
    EXPECT_EQ(Utf8Body(count.Build()), "alpha\r\nbeta\r\n");
}

// The character runs walked from the first one for every paragraph, as a
// simple reference for the single walk the reader does.
std::u16string ReferenceHtml(const WriBuilder& b, const std::vector<WriRun>& paras) {
    std::u16string out;
    uint32_t p = 128;
    TWRIFontList none;
    for (const auto& para : paras) {
        out += u"<p>";
        uint32_t s = 128;
        for (const auto& run : b.charRuns) {
            uint32_t from = std::max(s, p), to = std::min(run.end, para.end);
            if (from < to) {
                std::string block = run.props;
                TWRICharProps props = DecodeWRICharProps(block);
                AppendWRIRunOpen(out, tfHTML, props, 0, nullptr);
                std::string bytes = b.text.substr(from - 128, to - from);
                for (char& c : bytes) c = c == '\f' ? '\n' : c;
                out += Latin1ToUtf16(bytes);
                AppendWRIRunClose(out, tfHTML, props);
            }
            s = run.end;
        }
        out += u"</p>";
        p = para.end;
    }
    return out;
}

TEST(WRIFile, SingleRunWalkAgreesWithRescanningEveryParagraph) {
    std::mt19937 rng(17);
    for (int round = 0; round < 1500; ++round) {
        WriBuilder b;
        size_t length = 1 + rng() % 300;
        for (size_t i = 0; i < length; ++i) b.text += "ab c\f\r\nxyz"[rng() % 10];
        const uint32_t end = static_cast<uint32_t>(128 + length);
        // Random run boundaries, a few empty runs among them.
        auto cuts = [&](size_t n) {
            std::vector<uint32_t> v;
            for (size_t i = 0; i < n; ++i) v.push_back(128 + static_cast<uint32_t>(rng() % (length + 1)));
            v.push_back(end);
            std::sort(v.begin(), v.end());
            return v;
        };
        for (uint32_t c : cuts(rng() % 12))
            b.charRuns.push_back({c, rng() % 3 ? WriChar(rng() % 2, rng() % 2, 0, 24, rng() % 2, rng() % 3 * 100) : ""});
        std::vector<WriRun> paras;
        for (uint32_t c : cuts(rng() % 12)) paras.push_back({c, ""});
        b.paraRuns = paras;
        b.runsPerPage = 1 + rng() % 20;
        std::string bytes = b.Build();
        std::vector<WriRun> nonEmpty;
        for (const auto& p : paras)
            if (nonEmpty.empty() ? p.end > 128 : p.end > nonEmpty.back().end) nonEmpty.push_back(p);
        ASSERT_EQ(Body(bytes, tfHTML), ReferenceHtml(b, nonEmpty)) << round;
        // Plain text is the text itself, form feeds turned into line feeds.
        std::string plain = b.text;
        for (char& c : plain) c = c == '\f' ? '\n' : c;
        ASSERT_EQ(Utf8Body(bytes), plain) << round;
    }
}

TEST(WRIFile, TenThousandParagraphsReadInLinearTime) {
    // 10,000 lines with two character runs each, so every paragraph
    // continues the character-run walk. The same bytes as one paragraph are
    // the yardstick: equal text, runs and memory, but a single paragraph, so
    // re-walking the runs for each paragraph would show as the difference.
    auto build = [](bool linesAreParagraphs) {
        std::vector<std::string> lines;
        for (size_t i = 0; i < 10000; ++i) lines.push_back("Paragraph " + std::to_string(i));
        WriBuilder b = WriParagraphs(lines);
        uint32_t pos = 128;
        for (const auto& p : lines) {
            b.charRuns.push_back({pos + 9, WriChar(true, false)});
            pos += static_cast<uint32_t>(p.size() + 2);
            b.charRuns.push_back({pos, ""});
        }
        if (!linesAreParagraphs) b.paraRuns = {{pos, ""}};
        return b.Build();
    };
    std::string paragraphs = build(true), single = build(false);
    std::u16string html = Body(paragraphs, tfHTML);
    EXPECT_NE(html.find(u"<p><font size=\"-1\"><b>Paragraph</b></font><font size=\"-1\"> 9999\r\n</font></p>"),
              std::u16string::npos);
    EXPECT_EQ(html.size(), 758890u);  // 72 characters a paragraph, plus its number's 38890 digits
    EXPECT_EQ(Body(single), Body(paragraphs));

    auto fastest = [](const std::string& bytes) {
        double best = 1e9;
        for (int i = 0; i < 7; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            Body(bytes);
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        return best;
    };
    double many = fastest(paragraphs), one = fastest(single);
    // A walk from the first run per paragraph makes 10,000 x 20,000 / 2
    // run steps here, hundreds of times the single paragraph's 20,000.
    EXPECT_LT(many, 4 * one + 0.003) << one << " " << many;
}

TEST(WRIFile, LimitsParseItemsAndReloading) {
    std::string bytes = WriParagraphs({"<b>&", "second"}).Build();
    EXPECT_EQ(Body(bytes, tfHTML), u"<p><font size=\"-1\">&lt;b&gt;&amp;\r\n</font></p><p><font size=\"-1\">second\r\n</font></p>");

    TWRIFile limited;
    limited.SetMaxTextLength(5);
    EXPECT_EQ(Load(limited, bytes), u"\r\n<b>\r\n");  // one line of 5 characters

    TWRIFile noText;
    noText.SetParseItems({wpiSummaryInformation});
    EXPECT_EQ(Load(noText, bytes), u"");
    EXPECT_EQ(noText.Header().wTool, 0xAB00);

    // A second load starts from nothing.
    WriBuilder withFonts = WriParagraphs({"x"});
    withFonts.fonts = {{0, "Arial"}};
    TWRIFile reader;
    Load(reader, withFonts.Build());
    EXPECT_EQ(reader.FontTable().Count(), 1u);
    EXPECT_EQ(Load(reader, bytes), u"\r\n<b>&\r\nsecond\r\n\r\n\r\n");
    EXPECT_EQ(reader.FontTable().Count(), 0u);
}

TEST(WRIFile, WriteTextIsAnsiAndWordForDosTextIsThePcCharacterSet) {
    WriBuilder b = WriParagraphs({"caf\xE9 \xB3 \xFF"});
    EXPECT_EQ(Utf8Body(b.Build()), "caf\u00E9 \u00B3 \u00FF\r\n");
    b.pnMac = 0;  // written by Word for DOS
    EXPECT_EQ(Utf8Body(b.Build()), "caf\u0398 \u2502 \u00A0\r\n");
}

TEST(WRIFile, Detection) {
    std::string bytes = WriParagraphs({"x"}).Build();
    EXPECT_STREQ(FormatName(DetectFormat(bytes)), "wri");
    EXPECT_STREQ(FormatName(DetectFormat(test::ReadDataFile("write/poi_MSWriteOld.wri"))), "wri");
    ExtractOptions options;
    options.Part = TDocumentPart::Headers;
    ExtractResult heads = Extract(test::DataPath("write/tika_testMSWriteFile.wri"), options);
    EXPECT_EQ(heads.FormatName, "wri");
    EXPECT_EQ(heads.Text.rfind("\t\t\nDocument\tDate of\n", 0), 0u) << heads.Text;
    EXPECT_TRUE(TWRIFile::IsWriteData(bytes));
    bytes[0] = 0x32;  // 0xBE32: with OLE objects
    EXPECT_TRUE(TWRIFile::IsWriteData(bytes));
    bytes[0] = 0x33;
    EXPECT_FALSE(TWRIFile::IsWriteData(bytes));
    bytes[0] = 0x31;
    bytes[5] = 0;
    EXPECT_FALSE(TWRIFile::IsWriteData(bytes));
    EXPECT_FALSE(TWRIFile::IsWriteData(std::string("\x31\xBE\0\0\0", 5)));
}

TEST(WRIFile, PrefixesAndFlippedBytesEndInTextOrException) {
    std::vector<std::string> docs = {test::ReadDataFile("write/tika_testMSWriteFile.wri")};
    WriBuilder b = WriParagraphs({"one", "two", "three"});
    b.fonts = {{0, "Arial"}, {0, "Courier"}};
    b.charRuns = {{130, WriChar(true, false, 1)}, {150, ""}};
    docs.push_back(b.Build());
    std::mt19937 rng(5);
    for (const auto& doc : docs) {
        auto check = [&](const std::string& bytes) {
            for (auto format : {tfPlainText, tfRTF, tfHTML}) {
                TWRIFile reader;
                reader.SetTextFormating(format);
                try {
                    Load(reader, bytes);
                    // Markup grows the text by a bounded factor, never more.
                    EXPECT_LE(reader.Text().TextLength(), 1000 + 1000 * bytes.size());
                } catch (const Exception&) {
                    EXPECT_EQ(reader.Text().Count(), 0);
                }
            }
        };
        for (size_t len = 0; len <= doc.size(); len += 5) check(doc.substr(0, len));
        for (int i = 0; i < 600; ++i) {
            std::string flipped = doc;
            for (int k = 0; k < 3; ++k) flipped[rng() % flipped.size()] = static_cast<char>(rng());
            check(flipped);
        }
    }
}

}  // namespace
}  // namespace quillmark
