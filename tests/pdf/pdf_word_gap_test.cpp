// Word gaps between strings of one text object: the pen follows glyph
// widths, spacing, scaling and the text matrix, and a string that starts
// well right of where the previous one ended begins a new word.
#include <gtest/gtest.h>

#include <cstdio>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/pdf/pdf_syntax.h"
#include "support/test_support.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::PdfBuilder;
using test::StreamObject;

std::unique_ptr<TDTPDFFont> FontOf(const std::string& dict) {
    auto f = std::make_unique<TDTPDFFont>();
    f->SetupEncoding(PdfParseObjectBody(dict), [](const PdfObject& o) { return o; });
    return f;
}

// /Widths for codes 32..126, all w.
std::string UniformWidths(int w) {
    std::string out = "/FirstChar 32 /LastChar 126 /Widths [";
    for (int c = 32; c <= 126; ++c) out += std::to_string(w) + " ";
    return out + "]";
}

// /F1: every glyph 500 wide; /F2: every glyph 1000 wide; /F3: no widths.
struct Page {
    std::unique_ptr<TDTPDFFont> half = FontOf("<< /Type /Font /Subtype /TrueType " + UniformWidths(500) + " >>");
    std::unique_ptr<TDTPDFFont> full = FontOf("<< /Type /Font /Subtype /TrueType " + UniformWidths(1000) + " >>");
    std::unique_ptr<TDTPDFFont> bare = FontOf("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    TDTPDFPageFonts fonts{{"/F1", half.get()}, {"/F2", full.get()}, {"/F3", bare.get()}};
    TDTPDFPages pages;
    std::u16string Text(const std::string& content) {
        pages.ParseContents(content, "", &fonts);
        return pages.GetPage(pages.Count() - 1)->GetPlainText();
    }
};

TEST(PdfWordGap, CellsMovedRightInOneTextObjectAreWordsOfTheirOwn) {
    Page p;
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (Name) Tj 100 0 Td (Value) Tj 80 0 Td (Unit) Tj ET"),
              u"Name Value Unit");
    // Moved by an absolute text matrix rather than Td.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 1 0 0 1 72 700 Tm (Name) Tj 1 0 0 1 200 700 Tm (Value) Tj ET"), u"Name Value");
    // A TJ array's string after a Tj, placed a word space further on.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab) Tj 13 0 Td [(cd)] TJ ET"), u"ab cd");
    // A space already shown, at either side, is not doubled.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab ) Tj 40 0 Td (cd) Tj 40 0 Td ( ef) Tj ET"), u"ab cd ef");
    // Separate text objects were already apart; nothing changes there.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab) Tj ET BT /F1 10 Tf 172 700 Td (cd) Tj ET"), u"ab cd");
}

TEST(PdfWordGap, KernedPiecesOfAWordStayTogether) {
    Page p;
    // "Hel" ends at 15 (3 glyphs of 500 thousandths at 10 points); pieces
    // placed a little apart or a little overlapping are one word.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (Hel) Tj 15.4 0 Td (lo) Tj ET"), u"Hello");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (Hel) Tj 14.2 0 Td (lo) Tj ET"), u"Hello");
    // Strings one after another without a move continue at the pen.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (Hel) Tj (lo) Tj [(wor) 30 (ld)] TJ ET"), u"Helloworld");
    // Moving back on the line (overprinting) is no word gap either.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (ab) Tj -3 0 Td (cd) Tj ET"), u"abcd");
}

TEST(PdfWordGap, GlyphWidthsDecideWhereAStringEnds) {
    Page p;
    // The same placement is a kerned word in a wide font and two words in
    // a narrow one: "AB" ends at 20 or at 10.
    EXPECT_EQ(p.Text("BT /F2 10 Tf 0 700 Td (AB) Tj 20.5 0 Td (C) Tj ET"), u"ABC");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (AB) Tj 20.5 0 Td (C) Tj ET"), u"AB C");
    // Without /Widths, glyphs are taken as 600 wide: "AB" ends at 12.
    EXPECT_EQ(p.Text("BT /F3 10 Tf 0 700 Td (AB) Tj 12.5 0 Td (C) Tj ET"), u"ABC");
    EXPECT_EQ(p.Text("BT /F3 10 Tf 0 700 Td (AB) Tj 16 0 Td (C) Tj ET"), u"AB C");
}

TEST(PdfWordGap, SpacingScalingAndAdjustmentsMoveThePen) {
    Page p;
    // Character spacing: "AB" ends at 2 * (5 + 2) = 14.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 2 Tc 0 700 Td (AB) Tj 14.5 0 Td (C) Tj ET"), u"ABC");
    // Word spacing on code 32: "A B" ends at 15 + 6 = 21.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 6 Tw 0 700 Td (A B) Tj 21.5 0 Td (C) Tj ET"), u"A BC");
    // The " operator sets both before showing its string on the next line.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 12 TL 0 700 Td 6 0 (A B) \" 21.5 0 Td (C) Tj ET"), u"A BC");
    // Horizontal scaling of 200%: "AB" ends at 20.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 200 Tz 0 700 Td (AB) Tj 20.5 0 Td (C) Tj ET"), u"ABC");
    // TJ numbers: -500 moves the pen on by 5, to 15, so a string at the
    // pen starts 5 points (two spaces) after "B" ends: a gap. 500 moves it
    // back to 5; what counts is still where "B" ends (10).
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td [(AB) -500] TJ (C) Tj ET"), u"AB C");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td [(AB) -500] TJ 10.5 0 Td (C) Tj ET"), u"ABC");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td [(AB) 500] TJ 10 0 Td (C) Tj ET"), u"ABC");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td [(AB) 500] TJ 13 0 Td (C) Tj ET"), u"AB C");
    // The pen after a string that moved back is where the next one starts.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td [(AB) 500] TJ (C) Tj 15 0 Td (D) Tj ET"), u"ABC D");
    // A TJ that starts with a move does the same before its first glyph.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (AB) Tj [-500 (C)] TJ ET"), u"AB C");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (AB) Tj [-100 (C)] TJ ET"), u"ABC");
}

TEST(PdfWordGap, TextMatrixScalesPositionsAndTheFontSize) {
    Page p;
    // A 1-point font in a matrix scaled by 10: text space units are 10
    // points and the gap is measured against the size as drawn.
    EXPECT_EQ(p.Text("BT /F1 1 Tf 10 0 0 10 72 700 Tm (AB) Tj 1.05 0 Td (C) Tj ET"), u"ABC");
    EXPECT_EQ(p.Text("BT /F1 1 Tf 10 0 0 10 72 700 Tm (AB) Tj 1.5 0 Td (C) Tj ET"), u"AB C");
    // Rotated a quarter turn: the pen moves up the page.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 1 -1 0 300 100 Tm (AB) Tj 10.3 0 Td (C) Tj 20 0 Td (D) Tj ET"), u"ABC D");
}

// One glyph per text object, each placed by its own matrix: "T" "e" "s" "t"
// at the pen of the one before (glyphs 5 points wide in /F1 at 10 points),
// then a gap of the given width, then "t" "e" "s" "t".
std::string GlyphByGlyph(const std::string& font, double glyph, double gap, const std::string& wrap = "") {
    std::string out;
    double x = 72;
    auto put = [&](char c) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "BT %s 10 Tf 1 0 0 1 %.2f 700 Tm (%c) Tj ET\n", font.c_str(), x, c);
        out += wrap.empty() ? std::string(buf) : "q " + wrap + " cm " + buf + "Q\n";
        x += glyph;
    };
    for (char c : std::string("Test")) put(c);
    x += gap;
    for (char c : std::string("test")) put(c);
    return out;
}

TEST(PdfWordGap, GlyphsPlacedOneByOneMakeWords) {
    Page p;
    // No gap: one word; a gap of a space (2.5 points: half a 5-point space
    // is the threshold) or more: two words.
    EXPECT_EQ(p.Text(GlyphByGlyph("/F1", 5, 0)), u"Testtest");
    EXPECT_EQ(p.Text(GlyphByGlyph("/F1", 5, 5)), u"Test test");
    EXPECT_EQ(p.Text(GlyphByGlyph("/F1", 5, 3)), u"Test test");
    // Rounding in the placement (a fraction of a point either way) joins.
    EXPECT_EQ(p.Text(GlyphByGlyph("/F1", 5.2, 0)), u"Testtest");
    EXPECT_EQ(p.Text(GlyphByGlyph("/F1", 4.8, 1)), u"Testtest");
    // Placed through the current transformation instead (q cm ... Q around
    // each text object at the origin): the same.
    std::string viaCtm;
    for (int i = 0; i < 4; ++i)
        viaCtm += "q 1 0 0 1 " + std::to_string(72 + 5 * i) + " 700 cm BT /F1 10 Tf 0 0 Td (" +
                  std::string(1, "Test"[i]) + ") Tj ET Q\n";
    EXPECT_EQ(p.Text(viaCtm), u"Test");
    // A font without widths of its own gives no sure pen: its text objects
    // stay apart as before.
    EXPECT_EQ(p.Text(GlyphByGlyph("/F3", 6, 0)), u"T e s t t e s t");
    // Text objects on different lines, or starting back over the previous
    // one (a second column, a halo under the text), do not join.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab) Tj ET BT /F1 10 Tf 82 680 Td (cd) Tj ET"), u"ab\r\ncd");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (abc) Tj ET BT /F1 10 Tf 72 700 Td (xyz) Tj ET"), u"abc xyz");
}

TEST(PdfWordGap, OverprintedTextIsReadOnce) {
    Page p;
    // Fake bold: every glyph drawn four times a quarter point apart.
    std::string bold = "BT /F1 10 Tf\n";
    double x = 72;
    for (char c : std::string("Bold")) {
        for (auto [dx, dy] : {std::pair{0.0, 0.0}, {0.25, 0.0}, {0.0, 0.5}, {0.25, 0.5}}) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "1 0 0 1 %.2f %.2f Tm (%c) Tj\n", x + dx, 700 + dy, c);
            bold += buf;
        }
        x += 5;
    }
    bold += "ET";
    EXPECT_EQ(p.Text(bold), u"Bold");
    // A whole line drawn twice in separate text objects, the second slightly
    // offset (a shadow).
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (Hello world) Tj ET BT /F1 10 Tf 72.3 699.7 Td (Hello world) Tj ET"),
              u"Hello world");
    // The same string again further on, or one after the other at the pen,
    // is text of its own.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab) Tj (ab) Tj ET"), u"abab");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab) Tj ET BT /F1 10 Tf 200 700 Td (ab) Tj ET"), u"ab ab");
    // A different string at the same place is kept.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (ab) Tj ET BT /F1 10 Tf 72 700 Td (cd) Tj ET"), u"ab cd");
}

TEST(PdfWordGap, PublicGlyphByGlyphSample) {
    // Six lines of "Test test ..." set glyph by glyph in five fonts, one of
    // them drawn four times over (fake bold).
    TDTPDFReader r;
    r.LoadFromFile(test::DataPath("pdf/pdfjs_bug900822.pdf"));
    std::string text = Utf16ToUtf8(r.Text().Text());
    size_t lines = 0;
    for (size_t at = 0; (at = text.find("Test test test test test test", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 6u) << text;
    EXPECT_EQ(text.find("T e s"), std::string::npos);
    EXPECT_EQ(text.find("TT"), std::string::npos);
}

TEST(PdfWordGap, LinesAndRaisedText) {
    Page p;
    // A superscript in a smaller size right after the text is part of it.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 700 Td (km) Tj /F1 7 Tf 10.2 3.6 Td (2) Tj /F1 10 Tf 3.6 -3.6 Td (\\)) Tj ET"),
              u"km2)");
    // A new line in a scaled matrix is as far down the page as the matrix
    // makes it (1.2 units of 12 points): a line break, hyphen or not.
    EXPECT_EQ(p.Text("BT /F1 1 Tf 12 0 0 12 72 700 Tm (one) Tj 0 -1.2 Td (two) Tj ET"), u"one\r\ntwo");
    EXPECT_EQ(p.Text("BT /F1 1 Tf 12 0 0 12 72 700 Tm (eco-) Tj 0 -1.2 Td (systems) Tj ET"), u"eco-\r\nsystems");
    // Lines far enough apart break as before.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (one) Tj 0 -12 Td (two) Tj ET"), u"one\r\ntwo");
}

TEST(PdfWordGap, GlyphsWithoutTextStillMakeGaps) {
    // A font whose ToUnicode CMap maps the space and "_" to nothing: "_"
    // is 500 wide like every glyph, "~" is drawn with no width at all.
    Page p;
    std::unique_ptr<TDTPDFFont> quiet =
        FontOf("<< /Type /Font /Subtype /TrueType /FirstChar 32 /LastChar 126 /Widths [" +
               [] {
                   std::string w;
                   for (int c = 32; c <= 126; ++c) w += c == '~' ? "0 " : "500 ";
                   return w;
               }() +
               "] >>");
    quiet->SetCMap(
        "begincmap 1 begincodespacerange <00> <FF> endcodespacerange\n"
        "3 beginbfchar\n<20> <>\n<5F> <>\n<7E> <>\nendbfchar\n"
        "1 beginbfrange\n<21> <7D> <0021>\nendbfrange endcmap");
    p.fonts["/F4"] = quiet.get();
    // Inside one string, across strings (the blank at the end of one or
    // the start of the next), and a string of blanks alone between two.
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td (ab cd) Tj ET"), u"ab cd");
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td (ab) Tj ( cd) Tj ET"), u"ab cd");
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td (ab ) Tj (cd) Tj ET"), u"ab cd");
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td (ab) Tj (_) Tj (cd) Tj ET"), u"ab cd");
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td [(ab) 200 (_) -200 (cd)] TJ ET"), u"ab cd");
    // Blanks with adjustments that take the gap back, or glyphs of no
    // width, leave the word whole.
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td [(ab_) 500 (cd)] TJ ET"), u"abcd");
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td (ab~~cd) Tj ET"), u"abcd");
    // Glyphs that a span's /ActualText stands for are that text, not a gap.
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td (ab) Tj /Span << /ActualText (fi) >> BDC (_) Tj EMC (cd) Tj ET"),
              u"abficd");
    // A line that starts with a blank glyph starts with its text.
    EXPECT_EQ(p.Text("BT /F4 10 Tf 0 700 Td ( ab) Tj 0 -20 Td (  cd) Tj ET"), u"ab\r\ncd");
}

TEST(PdfWordGap, RaisedTextStaysOnItsLine) {
    Page p;
    // "21st century" with "st" in a smaller size raised by 5.5 points
    // (more than the 5 points that separate lines elsewhere), and a
    // footnote mark after the last word of a line.
    EXPECT_EQ(p.Text("BT /F1 12 Tf 1 0 0 1 72 700 Tm (in the 21) Tj 7.98 0 0 7.98 126 705.5 Tm (st) Tj "
                     "12 0 0 12 134 700 Tm ( century) Tj ET"),
              u"in the 21st century");
    EXPECT_EQ(p.Text("BT /F1 12 Tf 72 700 Td (in 1878.) Tj ET BT /F1 7 Tf 120 706 Td (15) Tj ET "
                     "BT /F1 12 Tf 72 686 Td (Next) Tj ET"),
              u"in 1878.15\r\nNext");
    // Text raised by more than half the larger size is on a line of its own.
    EXPECT_EQ(p.Text("BT /F1 12 Tf 1 0 0 1 72 700 Tm (base) Tj 1 0 0 1 96 707 Tm (high) Tj ET"),
              u"base\r\nhigh");
}

TEST(PdfWordGap, DamagedNumbersDoNotMoveThePenAway) {
    Page p;
    // Numbers beyond any page (here 10^400, infinite as a double) put the
    // text matrix back at the identity; non-numbers count as 0. Nothing
    // crashes and the text stays.
    const std::string huge(400, '9');
    EXPECT_EQ(p.Text("BT /F1 10 Tf " + huge + " 0 0 1 5 5 Tm (a) Tj " + huge + " 0 Td (b) Tj ET"), u"ab");
    EXPECT_EQ(p.Text("BT /F1 10 Tf 72 700 Td (a) Tj -" + huge + " 0 Td (b) Tj ET"), u"ab");
    EXPECT_EQ(p.Text("BT /F1 /x Tf (x) Tz (y) Tc [(a) /n (b) " + huge + "] TJ 0 0 0 0 0 0 Tm (c) Tj ET"), u"abc");
    EXPECT_EQ(p.Text("BT /F1 " + huge + " Tf (ab) Tj 100 0 Td (c) Tj ET"), u"abc");
    // No horizontal scaling leaves no size to measure gaps against.
    EXPECT_EQ(p.Text("BT /F1 10 Tf 0 Tz (ab) Tj 100 0 Td (c) Tj ET"), u"abc");
}

TEST(PdfWordGap, SimpleFontWidths) {
    auto f = FontOf(
        "<< /Subtype /TrueType /FirstChar 65 /Widths [100 200 -5 99999 (x)] "
        "/FontDescriptor << /MissingWidth 333 >> >>");
    EXPECT_EQ(f->GlyphWidth(65), 100);
    EXPECT_EQ(f->GlyphWidth(66), 200);
    EXPECT_EQ(f->GlyphWidth(67), 0);      // negative
    EXPECT_EQ(f->GlyphWidth(68), 10000);  // capped
    EXPECT_EQ(f->GlyphWidth(69), 0);      // not a number
    EXPECT_EQ(f->GlyphWidth(70), 333);    // past the array
    EXPECT_EQ(f->GlyphWidth(64), 333);    // before it
    TDTPDFFont::Advance a = f->MeasureText("AB B");
    EXPECT_EQ(a.width, 100 + 200 + 333 + 200);
    EXPECT_EQ(a.glyphs, 4);
    EXPECT_EQ(a.wordSpaces, 1);

    // /Widths running past code 255 stop there.
    std::string many = "<< /Subtype /TrueType /FirstChar 250 /Widths [";
    for (int i = 0; i < 100; ++i) many += "700 ";
    auto g = FontOf(many + "] >>");
    EXPECT_EQ(g->GlyphWidth(255), 700);
    EXPECT_EQ(g->GlyphWidth(256), 600);
    // A /FirstChar out of range discards the widths.
    EXPECT_FALSE(FontOf("<< /Subtype /TrueType /FirstChar 300 /Widths [1 2] >>")->HasWidths());
    EXPECT_FALSE(FontOf("<< /Subtype /TrueType /FirstChar -1 /Widths [1 2] >>")->HasWidths());
    // No widths at all: the default, whatever /MissingWidth says.
    auto bare = FontOf("<< /Subtype /Type1 /FontDescriptor << /MissingWidth 0 >> >>");
    EXPECT_FALSE(bare->HasWidths());
    EXPECT_EQ(bare->GlyphWidth(65), 600);
    // Type3 widths are in glyph space, scaled by the font matrix.
    auto t3 = FontOf("<< /Subtype /Type3 /FontMatrix [0.01 0 0 0.01 0 0] /FirstChar 65 /Widths [50] >>");
    EXPECT_EQ(t3->GlyphWidth(65), 500);
}

TEST(PdfWordGap, CompositeFontWidths) {
    auto f = FontOf(
        "<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [<< /Subtype /CIDFontType2 /DW 700 "
        "/W [1 [100 200] 10 20 300 30 [] 4294967295 4294967295 5 40 [(x) 400] 50 60] >>] >>");
    EXPECT_EQ(f->GlyphWidth(1), 100);
    EXPECT_EQ(f->GlyphWidth(2), 200);
    EXPECT_EQ(f->GlyphWidth(3), 700);  // /DW
    EXPECT_EQ(f->GlyphWidth(10), 300);
    EXPECT_EQ(f->GlyphWidth(20), 300);
    EXPECT_EQ(f->GlyphWidth(21), 700);
    EXPECT_EQ(f->GlyphWidth(30), 700);  // an empty list
    EXPECT_EQ(f->GlyphWidth(4294967295u), 5);
    EXPECT_EQ(f->GlyphWidth(40), 0);  // not a number
    EXPECT_EQ(f->GlyphWidth(41), 400);
    EXPECT_EQ(f->GlyphWidth(50), 700);  // "50 60" lacks its width
    TDTPDFFont::Advance a = f->MeasureText(std::string("\x00\x01\x00\x02\x00\x03", 6));
    EXPECT_EQ(a.width, 1000);
    EXPECT_EQ(a.glyphs, 3);

    // Without /W and /DW every CID is 1000 wide; without a descendant the
    // default applies.
    EXPECT_EQ(FontOf("<< /Subtype /Type0 /DescendantFonts [<< >>] >>")->GlyphWidth(7), 1000);
    EXPECT_EQ(FontOf("<< /Subtype /Type0 /DescendantFonts 5 >>")->GlyphWidth(7), 600);
    // Reversed and negative ranges are dropped; a /W of many entries stops
    // at its cap without failing.
    auto bad = FontOf("<< /Subtype /Type0 /DescendantFonts [<< /DW 10 /W [20 10 5 -3 [1] 7 8 9] >>] >>");
    EXPECT_EQ(bad->GlyphWidth(15), 10);
    EXPECT_EQ(bad->GlyphWidth(7), 10);  // the walk stopped at -3
    std::string big = "<< /Subtype /Type0 /DescendantFonts [<< /W [";
    std::string hundredOnes;
    for (int i = 0; i < 100; ++i) hundredOnes += "1 ";
    for (int i = 0; i < 3000; ++i) big += std::to_string(i * 100) + " [" + hundredOnes + "] ";
    for (int i = 0; i < 200000; ++i) big += std::to_string(400000 + i) + " " + std::to_string(400000 + i) + " 2 ";
    auto capped = FontOf(big + "] >>] >>");
    EXPECT_EQ(capped->GlyphWidth(5), 1);
    EXPECT_EQ(capped->GlyphWidth(299950), 1000);  // past the cap on listed widths
    EXPECT_EQ(capped->GlyphWidth(400005), 2);
    EXPECT_EQ(capped->GlyphWidth(599999), 1000);  // past the cap on ranges
}

// A document whose fonts give their widths through references: a simple
// font's /Widths and a composite font's descendant with /W.
TEST(PdfWordGap, WidthsReadFromTheFile) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 9 0 R /F2 10 0 R >> >> /Contents 4 0 R >>");
    b.Add(9, "<< /Type /Font /Subtype /TrueType /Encoding /WinAnsiEncoding /FirstChar 65 /Widths 12 0 R >>");
    b.Add(12, "[250 250 250]");
    b.Add(10, "<< /Type /Font /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [11 0 R] /ToUnicode 13 0 R >>");
    b.Add(11, "<< /Type /Font /Subtype /CIDFontType2 /W 14 0 R >>");
    b.Add(14, "[1 [200 200]]");
    const std::string cmap =
        "begincmap 1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
        "2 beginbfchar <0001> <0058> <0002> <0059> endbfchar endcmap";
    b.Add(13, StreamObject("", cmap));
    // "AB" ends at 5 and "C" starts 3 points (0.3 of the size) later; the
    // CID string <0001> ends at 2 and <0002> starts 3 points later. With
    // the default widths both would overlap their predecessor.
    b.Add(4, StreamObject("", "BT /F1 10 Tf 72 700 Td (AB) Tj 8 0 Td (C) Tj ET "
                              "BT /F2 10 Tf 72 600 Td <0001> Tj 5 0 Td <0002> Tj ET"));
    TDTPDFReader r;
    TMemoryStream s(b.Build());
    r.LoadFromStream(s);
    EXPECT_EQ(r.Pages().GetPage(0)->GetPlainText(), u"AB C\r\nX Y");
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

TEST(PdfWordGap, ItemsJoinWithOneSpaceAndLinesEndWithoutBlanks) {
    Page p;
    struct Case {
        const char* content;
        const char16_t* text;
    } cases[] = {
        // Separate text objects on one line, a space at either side or both.
        {"BT /F1 10 Tf 72 700 Td (ab ) Tj ET BT /F1 10 Tf 172 700 Td (cd) Tj ET", u"ab cd"},
        {"BT /F1 10 Tf 72 700 Td (ab) Tj ET BT /F1 10 Tf 172 700 Td ( cd) Tj ET", u"ab cd"},
        {"BT /F1 10 Tf 72 700 Td (ab ) Tj ET BT /F1 10 Tf 172 700 Td (  cd) Tj ET", u"ab cd"},
        // An item of blanks alone is one space.
        {"BT /F1 10 Tf 72 700 Td (ab) Tj ET BT /F1 10 Tf 100 700 Td (   ) Tj ET "
         "BT /F1 10 Tf 172 700 Td (cd) Tj ET",
         u"ab cd"},
        // Trailing blanks go at the end of each line and of the page.
        {"BT /F1 10 Tf 72 700 Td (ab  ) Tj ET BT /F1 10 Tf 72 600 Td (cd ) Tj ET", u"ab\r\ncd"},
        // A line's leading blanks go too; spaces inside one string stay.
        {"BT /F1 10 Tf 72 700 Td (  a  b) Tj ET", u"a  b"},
    };
    for (const auto& c : cases) EXPECT_EQ(p.Text(c.content), c.text) << c.content;
}

}  // namespace
}  // namespace quillmark
