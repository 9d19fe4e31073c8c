#include "quillmark/readers/wordperfect_file.h"

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/extract.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/exception.h"
#include "quillmark/readers/wordperfect_charsets.h"
#include "support/compound_file_builder.h"
#include "support/test_support.h"
#include "support/wordperfect_builder.h"

namespace quillmark {
namespace {

using test::Le16;
using test::WordPerfectBuilder;

// The document text without the frame: the reader adds the opening text, the
// body and the closing text as three lines.
std::string Body(TWordPerfectFile& reader) {
    const auto& lines = reader.Text().Lines();
    if (lines.size() != 3) return "<" + std::to_string(lines.size()) + " lines>";
    return Utf16ToUtf8(lines[1]);
}

std::string LoadBody(const std::string& bytes, TMSTextFormating format = tfPlainText) {
    TWordPerfectFile reader;
    reader.SetTextFormating(format);
    TMemoryStream s(bytes);
    reader.LoadFromStream(s);
    return Body(reader);
}

WordPerfectBuilder Wp6() { return WordPerfectBuilder{}; }
WordPerfectBuilder Wp5() {
    WordPerfectBuilder b;
    b.version5 = true;
    return b;
}

std::string ErrorOf(const std::string& bytes) {
    try {
        LoadBody(bytes);
    } catch (const Exception& e) {
        return e.what();
    }
    return "no error";
}

// ------------------------------------------------------------ real documents

TEST(WordPerfectFile, RealDocumentsGiveWpd2textsWordsInOrder) {
    // The expected text is wpd2text's (libwpd) reading of the same files.
    for (const char* name : {"fc_testWordPerfect_50.wp", "fc_testWordPerfect_51_52.wp",
                             "testWordPerfect_6_61.wpd", "tika_testWordPerfect.wpd",
                             "tika_testWordPerfect_5_0.wp", "tika_testWordPerfect_5_1.wp"}) {
        const std::string path = std::string("wordperfect/") + name;
        TWordPerfectFile reader;
        reader.LoadFromFile(test::DataPath(path));
        const std::string ours = Utf16ToUtf8(reader.Text().Text());
        const std::string peer = test::ReadDataFile(path + ".wpd2text.txt");
        ASSERT_GT(test::Words(peer).size(), 10u) << name;
        EXPECT_GE(test::InOrderRecall(peer, ours), 0.99) << name;
        // Nothing of ours is missing from the peer either: no garbage words.
        EXPECT_GE(test::InOrderRecall(ours, peer), 0.97) << name;
    }
}

TEST(WordPerfectFile, Version6DocumentReadsItsFontDescriptors) {
    TWordPerfectFile reader;
    reader.LoadFromFile(test::DataPath("wordperfect/testWordPerfect_6_61.wpd"));
    EXPECT_FALSE(reader.IsVersion5());
    EXPECT_FALSE(reader.HeaderPacketList().empty());
    ASSERT_FALSE(reader.FontDescriptorList().empty());
    for (const auto& font : reader.FontDescriptorList()) EXPECT_FALSE(font->FontName.empty());
}

// ------------------------------------------------------------ 6.x code set

struct CodeCase {
    const char* what;
    WordPerfectBuilder doc;
    std::string plain;  // expected body, plain text
};

TEST(WordPerfectFile, Version6CodesInPlainText) {
    const CodeCase cases[] = {
        {"soft space", Wp6().Text("A").Byte(0x80).Text("B"), "A B"},
        {"0x20 is no space in 6.x", Wp6().Text("A").Byte(0x20).Text("B"), "AB"},
        {"hard space", Wp6().Text("A").Byte(0x81).Text("B"), "A\u00A0B"},
        {"hard hyphen", Wp6().Text("A").Byte(0x84).Text("B"), "A-B"},
        {"hard return", Wp6().Text("A").Byte(0xCC).Text("B"), "A\r\nB"},
        {"dormant hard return", Wp6().Text("A").Byte(0x87).Text("B"), "A\r\nB"},
        {"soft return", Wp6().Text("A").Byte(0xCF).Text("B"), "A\r\nB"},
        {"other one-byte codes", Wp6().Text("A").Byte(0x88).Byte(0x7F).Byte(0x00).Text("B"), "AB"},
        {"default extended letters",
         Wp6().Byte(0x01).Byte(0x05).Byte(0x0C).Byte(0x13).Byte(0x17).Byte(0x1F),
         "\u00E5\u00E4\u00E7\u00ED\u00D8\u00F9"},
        {"extended characters", Wp6().Extended(23, 1).Extended(28, 4).Extended(29, 4).Extended(1, 8).Extended(0, 10),
         "\u00DF\u2019\u2018\u03B1\u0410"},
        {"user-defined set", Wp6().Extended(7, 12), "\uFFFD"},
        {"set beyond the tables", Wp6().Extended(7, 40), "\uFFFD"},
        {"undo drops text, keeps returns",
         Wp6().Text("A").Undo(0).Text("gone").Byte(0x87).Text("x").Byte(0xCC).Undo(1).Text("B"),
         "A\r\n\r\nB"},
        {"undo type 2 changes nothing", Wp6().Undo(2).Text("kept"), "kept"},
        {"soft hyphens", Wp6().Text("A").Byte(0x82).Text("B").Byte(0x83).Text("C"), "A\u00ADB\u00ADC"},
        {"table cells are paragraphs", Wp6().Text("a").Group6(0xD0, 10).Text("b").Group6(0xD0, 11).Text("c"), "a\r\nb\r\nc"},
        {"line end after a hyphenation keeps the word whole",
         Wp6().Text("poly").Byte(0x85).Group6(0xD0, 20).Text("gon"), "polygon"},
        {"EOL group: soft, hard, column, page",
         Wp6().Text("a").Group6(0xD0, 1).Text("b").Group6(0xD0, 4).Text("c").Group6(0xD0, 7)
             .Text("d").Group6(0xD0, 9).Text("e").Group6(0xD0, 0).Text("f"),
         "a\r\nb\r\nc d\r\nef"},
        {"paragraph group ends a line", Wp6().Text("a").Group6(0xD3, 1, Le16(0)).Text("b"), "a\r\nb"},
        {"table group ends a line", Wp6().Text("a").Group6(0xDC, 0).Text("b"), "a\r\nb"},
        {"skipped groups leave nothing", Wp6().Text("a").Group6(0xD5, 3, "HEADER").Group6(0xDE, 0, "xyz")
             .Group6(0xE5, 1, "QQQ").Text("b"), "ab"},
        {"tab group", Wp6().Text("a").Group6(0xE0, 0x00).Text("b").Group6(0xE0, 0x40).Text("c"), "a\tb\tc"},
        {"closed fixed-length code is skipped whole", Wp6().Text("a").Text("\xF6xy\xF6").Text("b"), "ab"},
        {"unclosed fixed-length code is one byte", Wp6().Byte(0xF4).Text("AB"), "AB"},
        {"0xFF is one byte", Wp6().Byte(0xFF).Text("AB"), "AB"},
        {"group of size 0 ends the loop", Wp6().Text("kept").Text(std::string("\xD1\x01\x00\x00", 4)).Text("lost"), "kept"},
        {"group past the end ends the loop", Wp6().Text("kept").Text(std::string("\xD1\x01\xFF\x7F\x00", 5)).Text("lost"), "kept"},
        {"truncated extended character", Wp6().Text("kept").Byte(0xF0).Byte(1), "kept"},
        {"group too short for its fields is skipped", Wp6().Text("a").Text(std::string("\xD4\x1B\x06\x00\x00\x00", 6)).Text("b"), "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadBody(c.doc.Build()), c.plain) << c.what;
}

// ------------------------------------------------------------ 5.x code set

TEST(WordPerfectFile, Version5CodesInPlainText) {
    const CodeCase cases[] = {
        {"space is a character", Wp5().Text("two words"), "two words"},
        {"hard return", Wp5().Text("A").Byte(0x0A).Text("B"), "A\r\nB"},
        {"soft return", Wp5().Text("A").Byte(0x0D).Text("B"), "A\r\nB"},
        {"hard page", Wp5().Text("A").Byte(0x0C).Text("B"), "A\r\nB"},
        {"hard return, soft page", Wp5().Text("A").Byte(0x8C).Text("B"), "A\r\nB"},
        {"hard space and hyphen", Wp5().Text("A").Byte(0xA0).Text("B").Byte(0xA9).Text("C"), "A\u00A0B-C"},
        {"soft hyphen", Wp5().Text("A").Byte(0xAC).Text("B"), "A\u00ADB"},
        {"extended characters", Wp5().Extended(23, 1).Extended(1, 8).Extended(3, 12), "\u00DF\u03B1\uFFFD"},
        {"5.x sets differ from 6.x", Wp5().Extended(0, 2), "\u0323"},
        {"tab and indent", Wp5().Text("a").Text(std::string("\xC1\0\0\0\0\0\0\0\xC1", 9)).Text("b")
             .Text(std::string("\xC2\0\0\0\0\0\0\0\0\0\xC2", 11)).Text("c"), "a\tb\tc"},
        {"other fixed-length function", Wp5().Text("a").Text("\xC5xyz\xC5").Text("b"), "ab"},
        {"unclosed fixed-length function is one byte", Wp5().Byte(0xC7).Text("AB"), "AB"},
        {"variable-length function skipped", Wp5().Text("a").Group5(0xD6, 0, "FOOTER TEXT").Text("b"), "ab"},
        {"function past the end ends the loop", Wp5().Text("kept").Text(std::string("\xD0\x01\xF0\x7F", 4)).Text("lost"), "kept"},
        {"low bytes are codes, not letters", Wp5().Text("a").Byte(0x01).Byte(0x13).Text("b"), "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadBody(c.doc.Build()), c.plain) << c.what;
}

TEST(WordPerfectFile, Version5AttributesRenderLikeVersion6) {
    for (bool v5 : {false, true}) {
        WordPerfectBuilder b;
        b.version5 = v5;
        b.AttributeOn(12).Text("bold").AttributeOff(12).AttributeOn(8).Text("it").AttributeOff(8)
            .AttributeOn(14).Text("u").AttributeOff(14).AttributeOn(5).Text("2").AttributeOff(5);
        EXPECT_EQ(LoadBody(b.Build(), tfHTML), "<b>bold</b><i>it</i><u>u</u><sup>2</sup>") << v5;
        EXPECT_EQ(LoadBody(b.Build(), tfRTF), "\\b bold\\b0 \\i it\\i0 \\ul u\\ul0 2") << v5;
        EXPECT_EQ(LoadBody(b.Build()), "bolditu2") << v5;
        WordPerfectBuilder r;
        r.version5 = v5;
        r.Text("a").HardReturn().Text("b");
        EXPECT_EQ(LoadBody(r.Build(), tfHTML), "a<p></p>\r\nb") << v5;
        EXPECT_EQ(LoadBody(r.Build(), tfRTF), "a\r\n\\par b") << v5;
    }
}

TEST(WordPerfectFile, NotesFollowTheirParagraphOrTheDocument) {
    auto doc = Wp6().Text("Main").Note(0, 1).Text("1\x80more").HardReturn()
                   .Text("Next").Note(1, 2).Text("i").HardReturn().Text("Last");
    doc.textPackets = {"foot\x80note\xCC", "end\x80note"};
    EXPECT_EQ(LoadBody(doc.Build()),
              "Main1 more\r\n[1] foot note\r\n\r\nNexti\r\nLast[1] end note\r\n");
    {
        TWordPerfectFile r;
        r.SetTextFormating(tfHTML);
        TMemoryStream s(doc.Build());
        r.LoadFromStream(s);
        ASSERT_EQ(r.FootNoteText().Count(), 3);  // framed: opening, note, closing
        EXPECT_EQ(r.FootNoteText()[1], u"foot note<p></p>\r\n");
        EXPECT_EQ(r.PartText(TDocumentPart::Endnotes), &r.EndNoteText());
        EXPECT_EQ(r.EndNoteText()[1], u"end note");
        EXPECT_EQ(r.PartText(TDocumentPart::Headers), nullptr);
    }
    // A packet is shown once however often it is named; ids outside the
    // index and notes inside undo regions are ignored.
    auto twice = Wp6().Note(0, 1).Note(0, 1).Note(0, 7).Undo(0).Note(1, 2).Undo(1).HardReturn();
    twice.textPackets = {"once", "hidden"};
    EXPECT_EQ(LoadBody(twice.Build()), "\r\n[1] once\r\n");
    // A note naming a note packet does not nest.
    auto nested = Wp6().Note(0, 1).HardReturn();
    nested.textPackets = {"outer" + Wp6().Note(0, 1).Note(0, 2).body, "inner"};
    EXPECT_EQ(LoadBody(nested.Build()), "\r\n[1] outer\r\n");
}

// ------------------------------------------------------------ renderings

std::string Justify(uint8_t j) { return Le16(0) + std::string(1, static_cast<char>(j)); }

TEST(WordPerfectFile, HtmlAlignmentUsesBalancedDivs) {
    auto doc = Wp6().Group6(0xD3, 5, Justify(2)).Text("mid").Group6(0xD3, 5, Justify(3)).Text("end");
    EXPECT_EQ(LoadBody(doc.Build(), tfHTML),
              "<div style=\"text-align:center\"><br>\r\nmid</div><div style=\"text-align:right\"><br>\r\nend</div>");
    // Full justification is "justify", not "center".
    EXPECT_EQ(LoadBody(Wp6().Group6(0xD3, 5, Justify(1)).Text("x").Build(), tfHTML),
              "<div style=\"text-align:justify\"><br>\r\nx</div>");
    // A centred tab is a tab: it opens no element, so none is closed later.
    EXPECT_EQ(LoadBody(Wp6().Text("a").Group6(0xE0, 0x40).Text("b").Group6(0xD3, 5, Justify(0)).Build(), tfHTML),
              "a\tb<div style=\"text-align:left\"><br>\r\n</div>");
    EXPECT_EQ(LoadBody(Wp6().Group6(0xE0, 0x40).Group6(0xE0, 0x80).Group6(0xE0, 0x08).Build(), tfRTF),
              "\\pard\\qc \\pard\\qr \\pard\\tab ");
    EXPECT_EQ(LoadBody(Wp6().Group6(0xD3, 5, Justify(1)).Group6(0xD3, 5, Justify(0)).Build(), tfRTF),
              "\\pard\\qj \r\n\\pard\\ql \r\n");
}

std::string FontData(uint16_t font, uint16_t size) {
    std::string d(1, '\0');
    for (int i = 0; i < 4; ++i) d += Le16(0);
    return d + Le16(font) + Le16(size);
}

TEST(WordPerfectFile, FontChangesInRtfAndBalancedHtml) {
    auto doc = Wp6().Group6(0xD4, 26, FontData(3, 600)).Text("a").Group6(0xD4, 27, FontData(1, 1000)).Text("b");
    EXPECT_EQ(LoadBody(doc.Build(), tfRTF), "\\pard\\f3\\fs24 a\\pard\\f1\\fs40 b");
    // 12 points is the browser's normal size: the element carries no size.
    EXPECT_EQ(LoadBody(doc.Build(), tfHTML), "<font>a</font><font size=\"5\">b</font>");
    EXPECT_EQ(LoadBody(doc.Build()), "ab");
    EXPECT_EQ(LoadBody(Wp6().Group6(0xD4, 3, FontData(3, 600)).Text("a").Build(), tfHTML), "a");
}

TEST(WordPerfectFile, RtfIndentIsInTwips) {
    auto doc = Wp6().Group6(0xD2, 0, Le16(0) + Le16(2400)).Group6(0xD2, 1, Le16(0) + Le16(600)).Text("x");
    EXPECT_EQ(LoadBody(doc.Build(), tfRTF), "\\pard\\fi2880 \\pard\\ri720 x");
    EXPECT_EQ(LoadBody(doc.Build(), tfHTML), "x");
}

TEST(WordPerfectFile, TextIsEscapedForTheRendering) {
    auto doc = Wp6().Text("a<b>&{c}\\").Extended(23, 1);
    EXPECT_EQ(LoadBody(doc.Build(), tfHTML), "a&lt;b&gt;&amp;{c}\\\u00DF");
    EXPECT_EQ(LoadBody(doc.Build(), tfRTF), "a<b>&\\{c\\}\\\\\\u223?");
    EXPECT_EQ(LoadBody(Wp5().Text("x < y").Build(), tfHTML), "x &lt; y");
}

// ------------------------------------------------------------ errors

TEST(WordPerfectFile, ErrorsCarryTheirMessages) {
    auto locked = Wp6().Text("secret");
    locked.encryption = 0x1234;
    EXPECT_EQ(ErrorOf(locked.Build()), strWPDPasswordProtected);
    EXPECT_THROW(LoadBody(locked.Build()), EPasswordError);
    EXPECT_THROW(LoadBody(Wp6().Text("\xF0\x01\x01X").Build()), EDamagedDocument);
    EXPECT_THROW(LoadBody("not WordPerfect"), EUnsupportedFormat);
    auto locked5 = Wp5().Text("secret");
    locked5.encryption = 0x1234;
    EXPECT_EQ(ErrorOf(locked5.Build()), strWPDPasswordProtected);
    EXPECT_EQ(ErrorOf(Wp6().Text("a").Text("\xF0\x01\x01X").Build()), strWPDIncorrectExtendedChar);
    EXPECT_EQ(ErrorOf(Wp5().Text("a").Text("\xC0\x01\x01X").Build()), strWPDIncorrectExtendedChar);
    EXPECT_EQ(ErrorOf(Wp6().Group6(0xDF, 0, std::string(1, '\0')).Build()), strWPDIncorrectNumPIDs);
    EXPECT_EQ(ErrorOf(Wp6().Group6(0xDF, 0, std::string(1, '\2')).Text("ok").Build()), "no error");
    EXPECT_EQ(ErrorOf("PK\3\4 not a WordPerfect file"), strWPDNotWordPerfect);
    TWordPerfectFile missing;
    EXPECT_THROW(missing.LoadFromFile(test::DataPath("wordperfect/no-such-file.wpd")), Exception);
    EXPECT_EQ(ErrorOf(""), strWPDNotWordPerfect);
}

// ------------------------------------------------------------ header and index

TEST(WordPerfectFile, HeaderAndIndexEdgeCases) {
    {  // no index: no packets, text still read
        TWordPerfectFile r;
        TMemoryStream s(Wp6().Text("t").Build());
        r.LoadFromStream(s);
        EXPECT_TRUE(r.HeaderPacketList().empty());
        EXPECT_EQ(Body(r), "t");
    }
    {  // an index holding only its header
        auto b = Wp6().Text("t");
        b.withIndex = true;
        TWordPerfectFile r;
        TMemoryStream s(b.Build());
        r.LoadFromStream(s);
        EXPECT_TRUE(r.HeaderPacketList().empty());
        EXPECT_EQ(Body(r), "t");
    }
    {  // font descriptors, and a count larger than the file's entries
        auto b = Wp6().Text("t");
        b.fonts = {{u"Courier", 0x55}, {u"Times", 0x20}};
        b.indexCount = 60000;
        TWordPerfectFile r;
        TMemoryStream s(b.Build());
        r.LoadFromStream(s);
        ASSERT_EQ(r.FontDescriptorList().size(), 2u);
        EXPECT_EQ(r.FontDescriptorList()[0]->FontName, u"Courier");
        EXPECT_EQ(r.FontDescriptorList()[1]->FontName, u"Times");
        EXPECT_EQ(r.FontDescriptorList()[1]->PacketID, 2);
        EXPECT_EQ(Body(r), "t");
    }
    {  // an index outside the file
        auto b = Wp6().Text("t");
        b.indexPosition = 0xFFF0;
        EXPECT_EQ(LoadBody(b.Build()), "t");
    }
    {  // DocumentEnd beyond the data; document pointer at the end; past the end
        auto b = Wp6().Text("whole");
        b.documentEnd = 0x7FFFFFFF;
        EXPECT_EQ(LoadBody(b.Build()), "whole");
        auto e = Wp6().Text("none");
        e.documentPointer = 24 + 4;
        EXPECT_EQ(LoadBody(e.Build()), "");
        EXPECT_EQ(LoadBody(e.Build(), tfHTML), "");
        e.documentPointer = 0x7FFFFFFF;
        EXPECT_EQ(LoadBody(e.Build()), "");
        auto cut = Wp6().Text("abcdef");
        cut.documentEnd = 24 + 3;
        EXPECT_EQ(LoadBody(cut.Build()), "abc");
    }
}

TEST(WordPerfectFile, ParseItemsWithoutTextReadOnlyTheIndex) {
    auto b = Wp6().Text("t");
    b.fonts = {{u"Arial", 0x55}};
    TWordPerfectFile r;
    r.SetParseItems({wpiSummaryInformation});
    TMemoryStream s(b.Build());
    r.LoadFromStream(s);
    EXPECT_EQ(r.Text().Count(), 0);
    EXPECT_EQ(r.FontDescriptorList().size(), 1u);
}

TEST(WordPerfectFile, ALoadStartsFromEmptyResults) {
    auto b = Wp6().Group6(0xD4, 26, FontData(1, 600)).Undo(0).Text("x");
    b.fonts = {{u"Arial", 0x55}};
    TWordPerfectFile r;
    TMemoryStream s1(b.Build());
    r.LoadFromStream(s1);
    EXPECT_TRUE(r.UndoOn());
    EXPECT_TRUE(r.FontChanged());
    TMemoryStream s2(Wp6().Text("second").Build());
    r.LoadFromStream(s2);
    EXPECT_FALSE(r.UndoOn());
    EXPECT_FALSE(r.FontChanged());
    EXPECT_TRUE(r.FontDescriptorList().empty());
    EXPECT_EQ(Body(r), "second");
}

TEST(WordPerfectFile, MaxTextLengthCutsTheText) {
    std::string words;
    for (int i = 0; i < 1000; ++i) words += "word ";
    TWordPerfectFile r;
    r.SetMaxTextLength(100);
    TMemoryStream s(Wp5().Text(words).Build());
    r.LoadFromStream(s);
    EXPECT_EQ(r.Text().Text().size(), 100u + 2);  // the kept text and its line end
}

// ------------------------------------------------------------ compound files

TEST(WordPerfectFile, CompoundFileWithPerfectOfficeMainStream) {
    test::CompoundFileBuilder cfb;
    cfb.AddStream(u"PerfectOffice_OBJECTS", "junk");
    cfb.AddStream(u"PerfectOffice_MAIN", Wp6().Text("inside").Byte(0x80).Text("OLE").Build());
    TWordPerfectFile r;
    TMemoryStream s(cfb.Build());
    r.LoadFromStream(s);
    EXPECT_EQ(Body(r), "inside OLE");

    test::CompoundFileBuilder other;
    other.AddStream(u"WordDocument", Wp6().Text("not ours").Build());
    TWordPerfectFile r2;
    TMemoryStream s2(other.Build());
    r2.SetTextFormating(tfHTML);
    r2.LoadFromStream(s2);
    EXPECT_EQ(r2.Text().Count(), 0);  // not even the frame
}

TEST(WordPerfectFile, RegistryDetectsPlainAndCompoundFiles) {
    test::CompoundFileBuilder cfb;
    cfb.AddStream(u"PerfectOffice_MAIN", Wp6().Text("in\x80OLE").Build());
    const std::string compound = cfb.Build();
    test::CompoundFileBuilder plainOle;
    plainOle.AddStream(u"Other", "x");
    EXPECT_STREQ(FormatName(DetectFormat(Wp6().Text("x").Build())), "wpd");
    EXPECT_STREQ(FormatName(DetectFormat(Wp5().Text("x").Build())), "wpd");
    EXPECT_STREQ(FormatName(DetectFormat(compound)), "wpd");
    EXPECT_STRNE(FormatName(DetectFormat(plainOle.Build())), "wpd");
    // WordPerfect 4.2 has no signature: not claimed.
    EXPECT_STRNE(FormatName(DetectFormat(std::string("\xCB\x0A\x01\xF6\x01\xCB"))), "wpd");
    EXPECT_EQ(ExtractBytes(compound).Text, "in OLE\n");
    auto locked = Wp5().Text("secret");
    locked.encryption = 1;
    EXPECT_THROW(ExtractBytes(locked.Build()), EPasswordError);
}

// ------------------------------------------------------------ hostile input

TEST(WordPerfectFile, CutAndFlippedDocumentsEndCleanly) {
    std::vector<std::string> seeds;
    for (const char* name : {"wordperfect/tika_testWordPerfect.wpd", "wordperfect/fc_testWordPerfect_51_52.wp"})
        seeds.push_back(test::ReadDataFile(name));
    auto built = Wp6().Text("a").Group6(0xD3, 5, Justify(2)).Extended(1, 8).Group6(0xD4, 26, FontData(1, 600)).Text("b");
    built.fonts = {{u"Arial", 0x55}};
    seeds.push_back(built.Build());
    uint32_t rng = 12345;
    size_t loads = 0, failures = 0;
    for (const auto& seed : seeds) {
        for (size_t round = 0; round < 300; ++round) {
            std::string bytes = seed;
            if (round % 3 == 0) {
                bytes.resize(round * 7919 % (seed.size() + 1));
            } else {
                for (int k = 0; k < 4; ++k) {
                    rng = rng * 1103515245 + 12345;
                    size_t at = 4 + (rng >> 8) % (bytes.size() - 4);  // keep the signature
                    bytes[at] = static_cast<char>(rng >> 24);
                }
            }
            for (auto format : {tfPlainText, tfHTML, tfRTF}) {
                TWordPerfectFile r;
                r.SetTextFormating(format);
                TMemoryStream s(bytes);
                ++loads;
                try {
                    r.LoadFromStream(s);
                } catch (const Exception&) {
                    ++failures;
                    continue;
                }
                // Every input byte yields a bounded rendering.
                EXPECT_LE(r.Text().TextLength(), 2000 + 40 * bytes.size());
            }
        }
    }
    EXPECT_LT(failures, loads);
}

}  // namespace
}  // namespace quillmark
