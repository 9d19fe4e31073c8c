#include "quillmark/word/word_bin_file.h"

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "support/compound_file_builder.h"
#include "support/property_set_builder.h"
#include "support/word_doc_builder.h"

namespace quillmark {
namespace {

using test::CompoundFileBuilder;
using test::WordDocBuilder;

void Load(TWordBinFile& doc, const std::string& bytes) {
    TMemoryStream s(bytes);
    doc.LoadFromStream(s);
}

// The main list without its (empty, plain-text) frame lines.
std::u16string Body(const TWordBinFile& doc) {
    EXPECT_GE(doc.Text().Count(), 2);
    std::u16string s;
    for (int i = 1; i + 1 < doc.Text().Count(); ++i) s += doc.Text().Get(i);
    return s;
}

std::string ThrowsWith(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no exception)";
}

TEST(WordBinFile, OneParagraphGivesThreeLinesInEveryRendering) {
    WordDocBuilder b;
    b.pieces = {{u"Hello\r"}};
    std::string file = b.Compound();
    TWordBinFile doc;
    Load(doc, file);
    EXPECT_EQ(doc.DocVersion(), 8);
    ASSERT_EQ(doc.Text().Count(), 3);
    EXPECT_EQ(doc.Text().Get(0), u"");
    EXPECT_EQ(doc.Text().Get(1), u"Hello\r\n");
    EXPECT_EQ(doc.Text().Get(2), u"");

    doc.SetTextFormating(tfHTML);
    Load(doc, file);
    ASSERT_EQ(doc.Text().Count(), 3);
    EXPECT_EQ(doc.Text().Get(0).substr(0, 6), u"<html>");
    EXPECT_EQ(doc.Text().Get(1), u"Hello<p></p>\r\n");
    EXPECT_EQ(doc.Text().Get(2), u"\r\n</body>\r\n</html>");

    doc.SetTextFormating(tfRTF);
    Load(doc, file);
    ASSERT_EQ(doc.Text().Count(), 3);
    EXPECT_EQ(doc.Text().Get(1), u"Hello\r\n\\par ");
    EXPECT_EQ(doc.Text().Get(2), u"\r\n}");
}

TEST(WordBinFile, PiecesOfBothWidthsJoinInOrder) {
    WordDocBuilder b;
    b.pieces = {{u"caf\u00E9 ", true}, {u"\u0416\u0443\u043A ", false}, {u"\u20AC\r", false}};
    TWordBinFile doc;
    Load(doc, b.Compound());
    EXPECT_EQ(Body(doc), u"caf\u00E9 \u0416\u0443\u043A \u20AC\r\n");
    ASSERT_EQ(doc.Clx().noPCD, 3u);
    EXPECT_EQ(doc.Clx().grpprlCount, 1);
    EXPECT_EQ(doc.Clx().cbGrpprl[0].grpprl, "abc");
}

TEST(WordBinFile, CompressedPiecesAreWindows1252WhateverTheLanguage) {
    // 0x80 is the euro sign and 0x93/0x94 curly quotes in 1252; a Russian
    // language id must not turn them into Cyrillic.
    WordDocBuilder b;
    b.lid = 0x0419;
    b.pieces = {{std::u16string{u'\x80', u' ', u'\x93', u'x', u'\x94', u'\r'}, true}};
    TWordBinFile doc;
    Load(doc, b.Compound());
    EXPECT_EQ(Body(doc), u"\u20AC \u201Cx\u201D\r\n");
}

TEST(WordBinFile, NormalisedPiecePositions) {
    bool compressed = false;
    EXPECT_EQ(TWordBinFile::GetNormFC(2048 | 0x40000000u, compressed), 1024u);
    EXPECT_TRUE(compressed);
    EXPECT_EQ(TWordBinFile::GetNormFC(2048, compressed), 2048u);
    EXPECT_FALSE(compressed);

    WordDocBuilder b;
    b.pieces = {{u"ab", true}, {u"cd", false}};
    TWordBinFile doc;
    Load(doc, b.Compound());
    uint32_t start = 0, end = 0;
    EXPECT_EQ(doc.GetPieceBoundsFC(start, end, 0), 1);
    EXPECT_EQ(start, 1024u);
    EXPECT_EQ(end, 1026u);
    EXPECT_EQ(doc.GetPieceBoundsFC(start, end, 1), 0);
    EXPECT_EQ(start, 1026u);
    EXPECT_EQ(doc.GetPieceBoundsFC(start, end, 2), -1);
}

TEST(WordBinFile, SubDocumentsComeFromTheirOwnCharacterRanges) {
    // Main text, then footnotes, headers, macros (skipped), annotations,
    // endnotes, text boxes and header text boxes; the ranges cross pieces.
    WordDocBuilder b;
    std::u16string main = u"Body\r", ftn = u"Foot\r", hdr = u"Head\r", mcr = u"Mac\r", atn = u"Note\r",
                   edn = u"End\r", txbx = u"Box\r", hdrTxbx = u"HBox\r";
    std::u16string all = main + ftn + hdr + mcr + atn + edn + txbx + hdrTxbx;
    b.pieces = {{all.substr(0, 7), true}, {all.substr(7, 11), false}, {all.substr(18), true}};
    b.ccpFtn = 5, b.ccpHdr = 5, b.ccpMcr = 4, b.ccpAtn = 5, b.ccpEdn = 4, b.ccpTxbx = 4, b.ccpHdrTxbx = 5;
    TWordBinFile doc;
    Load(doc, b.Compound());
    // The main list keeps the whole text.
    EXPECT_EQ(Body(doc), u"Body\r\nFoot\r\nHead\r\nMac\r\nNote\r\nEnd\r\nBox\r\nHBox\r\n");
    EXPECT_EQ(doc.FootNoteText().Text(), u"Foot\r\n\r\n");
    EXPECT_EQ(doc.HeaderText().Text(), u"Head\r\n\r\n");
    EXPECT_EQ(doc.AnnotationText().Text(), u"Note\r\n\r\n");
    EXPECT_EQ(doc.EndNoteText().Text(), u"End\r\n\r\n");
    EXPECT_EQ(doc.TextBoxText().Text(), u"Box\r\nHBox\r\n\r\n");
    EXPECT_EQ(doc.MacroText().Count(), 0);
    EXPECT_EQ(doc.FooterText().Count(), 0);
}

TEST(WordBinFile, MacroFieldTableIsNotReadAsText) {
    // fcPlcffldMcr/lcbPlcffldMcr point at a binary table in the table
    // stream; its bytes are not text for MacroText.
    WordDocBuilder b;
    b.pieces = {{u"Body\r", true}};
    std::string word = b.WordDocument();
    test::PutLe32(word, 314, 1024);
    test::PutLe32(word, 318, 5);
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", word);
    cf.AddStream(u"1Table", b.Table());
    TWordBinFile doc;
    Load(doc, cf.Build());
    EXPECT_EQ(doc.MacroText().Count(), 0);
    EXPECT_EQ(doc.Fib().lcbPlcffldMcr, 5u);
}

TEST(WordBinFile, SubDocumentCountsBeyondTheTextAreCut) {
    WordDocBuilder b;
    b.pieces = {{u"Body\rFo", true}};
    b.ccpFtn = 2;
    std::string word = b.WordDocument();
    test::PutLe32(word, 80, 1000000);  // ccpFtn far beyond the pieces
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", word);
    cf.AddStream(u"1Table", b.Table());
    TWordBinFile doc;
    Load(doc, cf.Build());
    EXPECT_EQ(doc.FootNoteText().Text(), u"Fo\r\n");
}

TEST(WordBinFile, ThousandsOfPiecesAreRead) {
    WordDocBuilder b;
    std::u16string want;
    for (int i = 0; i < 3000; ++i) {
        std::u16string w = u"w" + Latin1ToUtf16(std::to_string(i)) + u" ";
        b.pieces.push_back({w, i % 2 == 0});
        want += w;
    }
    TWordBinFile doc;
    Load(doc, b.Compound());
    EXPECT_EQ(doc.Clx().noPCD, 3000u);
    EXPECT_EQ(Body(doc), want);
}

TEST(WordBinFile, DamagedPieceTablesEndTheLoadWithAMessage) {
    auto loadError = [](const std::function<void(WordDocBuilder&)>& damage) {
        WordDocBuilder b;
        b.pieces = {{u"abc", true}, {u"def", false}};
        b.Layout();
        damage(b);
        TWordBinFile doc;
        std::string msg = ThrowsWith([&] { Load(doc, b.Compound()); });
        EXPECT_EQ(doc.Text().Count(), 0);  // nothing added before the failure
        return msg;
    };
    EXPECT_EQ(loadError([](WordDocBuilder& w) { w.fcs[1] = 1 << 20; }), "Piece Bounds out of range");
    // One byte beyond the end of the stream.
    EXPECT_EQ(loadError([](WordDocBuilder& w) { w.fcs[1] = 1024 + 3 + 6 + 1; }), "Piece Bounds out of range");
    EXPECT_EQ(loadError([](WordDocBuilder& w) { w.cps[1] = 5, w.cps[2] = 4; }),
              "Word document is damaged: piece table character positions decrease at piece 1");
    EXPECT_EQ(loadError([](WordDocBuilder& w) { w.plcSizeDelta = 100; }),
              "Word document is damaged: piece table of 128 bytes exceeds its stream");
    EXPECT_EQ(loadError([](WordDocBuilder& w) { w.cps[2] = 0xF0000000u; }).rfind("Word document is damaged: piece table holds", 0),
              0u);
}

TEST(WordBinFile, PieceTableOutsideTheTableStreamIsDamage) {
    WordDocBuilder b;
    b.pieces = {{u"abc", true}};
    std::string word = b.WordDocument();
    test::PutLe32(word, 418, 5000);  // fcClx
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", word);
    cf.AddStream(u"1Table", b.Table());
    TWordBinFile doc;
    EXPECT_EQ(ThrowsWith([&] { Load(doc, cf.Build()); }), "Word document is damaged: the piece table lies outside its stream");
}

TEST(WordBinFile, TableStreamFollowsTheFibFlag) {
    // Flag clear: the piece table is in "0Table".
    WordDocBuilder b;
    b.encryption = 0;
    b.pieces = {{u"zero table\r", true}};
    TWordBinFile doc;
    Load(doc, b.Compound());
    EXPECT_EQ(Body(doc), u"zero table\r\n");
    EXPECT_EQ(doc.Clx().noPCD, 1u);

    // No table stream at all: one piece over [fcMin, fcMac) read as UTF-16.
    WordDocBuilder c;
    c.pieces = {{u"utf16 text\r", false}};
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", c.WordDocument());
    Load(doc, cf.Build());
    EXPECT_EQ(Body(doc), u"utf16 text\r\n");
}

TEST(WordBinFile, EncryptedDocumentIsRefused) {
    WordDocBuilder b;
    b.encryption = 0x03;
    b.pieces = {{u"secret\r", true}};
    TWordBinFile doc;
    EXPECT_EQ(ThrowsWith([&] { Load(doc, b.Compound()); }), "Could not read the password protected file");
    EXPECT_TRUE(doc.IsPasswordProtected());
    EXPECT_EQ(doc.Text().Count(), 0);
}

TEST(WordBinFile, ParseItemsChooseTextAndMetadata) {
    using namespace test::property_set;
    WordDocBuilder b;
    b.pieces = {{u"Body\r", true}};
    std::string file = b.Compound({{u"\x05SummaryInformation", PropertySet({Str(2, "The Title")})}});
    TWordBinFile doc;
    Load(doc, file);
    EXPECT_EQ(doc.SummaryInformation().Title(), u"The Title");
    EXPECT_EQ(Body(doc), u"Body\r\n");

    doc.SetParseItems({wpiSummaryInformation});
    Load(doc, file);
    EXPECT_EQ(doc.Text().Count(), 0);
    EXPECT_EQ(doc.SummaryInformation().Title(), u"The Title");

    doc.SetParseItems({wpiText});
    Load(doc, file);
    EXPECT_EQ(doc.SummaryInformation().Title(), u"");
    EXPECT_EQ(Body(doc), u"Body\r\n");
}

TEST(WordBinFile, CompoundFileWithoutWordDocumentGivesOnlyMetadata) {
    using namespace test::property_set;
    CompoundFileBuilder cf;
    cf.AddStream(u"Workbook", "xx");
    cf.AddStream(u"\x05SummaryInformation", PropertySet({Str(4, "Ann")}));
    TWordBinFile doc;
    Load(doc, cf.Build());
    EXPECT_EQ(doc.Text().Count(), 0);
    EXPECT_EQ(doc.SummaryInformation().Author(), u"Ann");
}

TEST(WordBinFile, MaxTextLengthStopsTheRead) {
    WordDocBuilder b;
    b.pieces = {{u"Body text\rFootnote\r", true}};
    b.ccpFtn = 9;
    TWordBinFile doc;
    doc.SetMaxTextLength(4);
    Load(doc, b.Compound());
    // The frame lines go around the cut text.
    ASSERT_EQ(doc.Text().Count(), 3);
    EXPECT_EQ(doc.Text().Get(1), u"Body");
    EXPECT_EQ(doc.FootNoteText().Count(), 0);  // stopped before the sub-documents
    EXPECT_TRUE(doc.Cancelled());
}

TEST(WordBinFile, LanguageCodePages) {
    struct Case {
        uint16_t lid, cp;
    } cases[] = {
        {0x0404, 950}, {0x0C04, 950}, {0x0804, 936}, {0x1004, 0},   {0x0412, 949}, {0x0812, 1361},
        {0x0409, 1252}, {0x041A, 1252}, {0x081A, 1252}, {0x0C1A, 1251}, {0x0419, 1251}, {0x0405, 1250},
        {0x0408, 1253}, {0x041F, 1254}, {0x0425, 1257}, {0x040D, 1255}, {0x0401, 1256}, {0x0411, 932},
        {0x041E, 874},  {0x0000, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TWordBinFile::LanguageToCodePage(c.lid), c.cp) << std::hex << c.lid;
}

TEST(WordBinFile, Word6TextUsesTheLanguageAndTheEventCanChangeIt) {
    // "\xC6\xE0" is "Жа" in 1251, "Æà" in 1252.
    std::string word = test::Word6Document("\xC6\xE0\r", 104, 0x0419);
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", word);
    std::string file = cf.Build();
    TWordBinFile doc;
    Load(doc, file);
    EXPECT_EQ(doc.DocVersion(), 7);
    EXPECT_EQ(Body(doc), u"\u0416\u0430\r\n");

    std::vector<uint16_t> seen;
    doc.SetOnGetDefaultLanguage([&](TMSWBaseDocument&, uint16_t& lid) {
        seen.push_back(lid);
        lid = 0x0409;
    });
    Load(doc, file);
    EXPECT_EQ(seen, std::vector<uint16_t>{0x0419});
    EXPECT_EQ(Body(doc), u"\u00C6\u00E0\r\n");
}

TEST(WordBinFile, FarEastLanguageComesFromLidFE) {
    WordDocBuilder b;
    b.encryption = 0x42;  // 1Table, Far East
    b.lidFE = 0x0411;
    b.pieces = {{u"x\r", true}};
    TWordBinFile doc;
    uint16_t seen = 0;
    doc.SetOnGetDefaultLanguage([&](TMSWBaseDocument&, uint16_t& lid) { seen = lid; });
    Load(doc, b.Compound());
    EXPECT_EQ(seen, 0x0411);
    EXPECT_EQ(doc.DocLangToCodePage(), 932);
}

TEST(WordBinFile, Word6SubDocumentsFromTheMadeUpPiece) {
    std::string word = test::Word6Document("Main\rFn\rHd\r", 101, 0x0409, 3, 3);
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", word);
    TWordBinFile doc;
    Load(doc, cf.Build());
    EXPECT_EQ(doc.DocVersion(), 6);
    EXPECT_EQ(Body(doc), u"Main\r\nFn\r\nHd\r\n");
    EXPECT_EQ(doc.FootNoteText().Text(), u"Fn\r\n\r\n");
    EXPECT_EQ(doc.HeaderText().Text(), u"Hd\r\n\r\n");
}

TEST(WordBinFile, Word6FastSavedDocumentReadsItsPieceTable) {
    // Two 8-bit pieces stored out of order; the CLX is in the WordDocument
    // stream at fcClx.
    std::string word = test::Word6Document("second\rfirst ", 101, 0x0409);
    size_t clx = word.size();
    std::string t = "\x02";
    test::PutLe32(t, 1, 4 * 3 + 8 * 2);
    const uint32_t cps[] = {0, 6, 13};
    for (uint32_t cp : cps) test::PutLe32(t, t.size(), cp);
    for (uint32_t fc : {768u + 7, 768u}) {
        t += std::string(2, '\0');
        test::PutLe32(t, t.size(), fc);
        test::PutLe16(t, t.size(), 0);
    }
    word += t;
    word[10] = 0x04;
    test::PutLe32(word, 352, static_cast<uint32_t>(clx));
    test::PutLe32(word, 356, static_cast<uint32_t>(t.size()));
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", word);
    TWordBinFile doc;
    Load(doc, cf.Build());
    EXPECT_EQ(Body(doc), u"first second\r\n");
}

TEST(WordBinFile, Word2RangesAreBytesFromFcMin) {
    std::string file = test::Word2File("Main text\rNote\rHead\rComment\r", 0x0409, 5, 5, 8);
    TWordBinFile doc;
    Load(doc, file);
    EXPECT_EQ(doc.DocVersion(), 2);
    EXPECT_EQ(Body(doc), u"Main text\r\nNote\r\nHead\r\nComment\r\n");
    EXPECT_EQ(doc.FootNoteText().Text(), u"Note\r\n\r\n");
    EXPECT_EQ(doc.HeaderText().Text(), u"Head\r\n\r\n");
    EXPECT_EQ(doc.AnnotationText().Text(), u"Comment\r\n\r\n");
}

TEST(WordBinFile, PlainFilesAreCheckedByMagicNumber) {
    std::string dir = ::testing::TempDir();
    std::string good = dir + "/word2.doc", bad = dir + "/notword.doc";
    {
        TFileStream out(good, TFileMode::fmCreate);
        out.WriteBytes(test::Word2File("Hi\r", 0x0409));
        TFileStream out2(bad, TFileMode::fmCreate);
        out2.WriteBytes(std::string(600, 'x'));
    }
    TWordBinFile doc;
    doc.LoadFromFile(good);
    EXPECT_EQ(Body(doc), u"Hi\r\n");
    EXPECT_EQ(ThrowsWith([&] { doc.LoadFromFile(bad); }), "File " + bad + " is not valid MS Word document");
    EXPECT_EQ(ThrowsWith([&] { doc.LoadFromFile(dir + "/missing.doc"); }),
              "File " + dir + "/missing.doc is not found.");
}

TEST(WordBinFile, OleStreamHeaderIsSkipped) {
    WordDocBuilder b;
    b.pieces = {{u"In a BDOC\r", true}};
    TWordBinFile doc;
    TMemoryStream s("BDOC" + std::string(8, '\x01') + b.Compound());
    doc.LoadFromOLEStream(s);
    EXPECT_EQ(Body(doc), u"In a BDOC\r\n");
}

TEST(WordBinFile, ZeroCharactersAreDropped) {
    WordDocBuilder b;
    b.pieces = {{std::u16string(u"a\0b\r", 4), false}};
    TWordBinFile doc;
    Load(doc, b.Compound());
    EXPECT_EQ(Body(doc), u"ab\r\n");
}

}  // namespace
}  // namespace quillmark
