// The text state of the content parser against the imaging model's
// formulas: where each string starts on the page follows from the text and
// line matrices (Td, TD, Tm, T*, ', "), the leading, the pen's advance
// (glyph width × size + Tc + Tw, × Tz; TJ numbers) and the CTM (cm, q/Q).
#include <gtest/gtest.h>

#include <cmath>

#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {
namespace {

std::unique_ptr<TDTPDFFont> FontOf(const std::string& dict) {
    auto f = std::make_unique<TDTPDFFont>();
    f->SetupEncoding(PdfParseObjectBody(dict), [](const PdfObject& o) { return o; });
    return f;
}

// Every glyph of /F1 is 500 thousandths wide; /F2 decodes every code as "#".
struct Page {
    std::unique_ptr<TDTPDFFont> half = FontOf(
        "<< /Subtype /TrueType /FirstChar 32 /LastChar 126 /Widths [" + [] {
            std::string w;
            for (int c = 32; c <= 126; ++c) w += "500 ";
            return w;
        }() + "] >>");
    std::unique_ptr<TDTPDFFont> hash = FontOf("<< /Subtype /Type1 /Encoding << /Differences [97 /numbersign] >> >>");
    TDTPDFPageFonts fonts{{"/F1", half.get()}, {"/F2", hash.get()}};
    TDTPDFPages pages;
    const TDTPDFPage& Parse(const std::string& content) {
        pages.ParseContents(content, "[0 0 600 800]", &fonts);
        return *pages.GetPage(pages.Count() - 1);
    }
};

const TDTPDFItemText& Item(const TDTPDFPage& p, int i) { return *static_cast<const TDTPDFItemText*>(p.Items().GetItem(i)); }

TEST(PdfTextState, StringsStartWhereTheStandardPlacesThem) {
    // Each case shows "(a)" last; x and y are where that string starts on
    // the page (the item's Left, and 800 - y its Top).
    struct Case {
        const char* content;
        double x, y;
    } cases[] = {
        {"BT /F1 10 Tf 100 700 Td (a) Tj ET", 100, 700},
        // Td moves the line matrix in its own (scaled) space.
        {"BT /F1 10 Tf 2 0 0 3 10 700 Tm 5 -10 Td (a) Tj ET", 20, 670},
        // TD sets the leading to -ty; T* then moves down by it.
        {"BT /F1 10 Tf 100 700 TD 0 -12 TD T* (a) Tj ET", 100, 676},
        // TL, then ' moves to the next line before showing.
        {"BT /F1 10 Tf 15 TL 50 700 Td (z) Tj (a) ' ET", 50, 685},
        // " sets Tw and Tc, moves a line, shows; then the pen goes on by
        // 3 glyphs × 5 + 3 × Tc 1 + one space × Tw 4 = 22.
        {"BT /F1 10 Tf 15 TL 50 700 Td 4 1 (x y) \" (a) Tj ET", 72, 685},
        // The pen after strings: 2 × 5, Tc 2 per glyph, Tz 50 halves it all.
        {"BT /F1 10 Tf 2 Tc 50 Tz 0 700 Td (bc) Tj (a) Tj ET", 7, 700},
        // TJ numbers move the pen back by thousandths of the size.
        {"BT /F1 10 Tf 0 700 Td [(b) -1000 (c) 500] TJ (a) Tj ET", 15, 700},
        // Tw applies to code 32 only.
        {"BT /F1 10 Tf 3 Tw 0 700 Td (b c) Tj (a) Tj ET", 18, 700},
        // The CTM places the text matrix on the page.
        {"1 0 0 1 40 -100 cm 2 0 0 2 0 0 cm BT /F1 10 Tf 10 400 Td (a) Tj ET", 60, 700},
        // Q restores the CTM saved by q.
        {"q 1 0 0 1 40 0 cm Q BT /F1 10 Tf 10 700 Td (a) Tj ET", 10, 700},
        // ... and the leading, which T* uses in a later text object.
        {"BT 12 TL ET q BT 30 TL ET Q BT /F1 10 Tf 0 712 Td T* (a) Tj ET", 0, 700},
        // A rise lifts glyphs off the baseline but does not move the line.
        {"BT /F1 10 Tf 0 700 Td (b) Tj 4 Ts (a) Tj ET", 5, 700},
        // A new text object starts at the identity matrix.
        {"BT /F1 10 Tf 300 300 Td (b) Tj ET BT 5 700 Td (a) Tj ET", 5, 700},
    };
    for (const Case& c : cases) {
        Page p;
        const TDTPDFPage& page = p.Parse(c.content);
        ASSERT_GT(page.Items().Count(), 0) << c.content;
        const TDTPDFItemText& a = Item(page, page.Items().Count() - 1);
        EXPECT_EQ(a.Text.back(), u'a') << c.content;
        EXPECT_NEAR(a.Left, c.x, 1e-9) << c.content;
        EXPECT_NEAR(a.Top, 800 - c.y, 1e-9) << c.content;
    }
}

TEST(PdfTextState, LineBreaksAndWordGapsFollowThePagePosition) {
    struct Case {
        const char* content;
        const char16_t* text;
    } cases[] = {
        // A line matrix scaled by 10: "0 -1.2 Td" is a line 12 points down.
        {"BT /F1 1 Tf 10 0 0 10 72 700 Tm (ab) Tj 0 -1.2 Td (cd) Tj ET", u"ab\r\ncd"},
        // Lines placed by the CTM alone, each text object at its origin.
        {"q 1 0 0 1 72 700 cm BT /F1 10 Tf (ab) Tj ET Q q 1 0 0 1 72 686 cm BT /F1 10 Tf (cd) Tj ET Q",
         u"ab\r\ncd"},
        // A rotated line stays one line; its next line is across it.
        {"BT /F1 10 Tf 0 1 -1 0 300 100 Tm (ab) Tj 20 0 Td (cd) Tj 0 -14 Td (ef) Tj ET", u"ab cd\r\nef"},
        // Raised text (a superscript by Ts) stays on its line.
        {"BT /F1 10 Tf 72 700 Td (x) Tj 7 Ts (2) Tj 0 Ts ( y) Tj ET", u"x2 y"},
        // The font chosen inside q ... Q is forgotten after it.
        {"BT /F1 10 Tf ET q BT /F2 10 Tf 72 700 Td (a) Tj ET Q BT 72 680 Td (a) Tj ET", u"#\r\na"},
    };
    for (const Case& c : cases) {
        Page p;
        EXPECT_EQ(p.Parse(c.content).GetPlainText(), c.text) << c.content;
    }
}

TEST(PdfTextState, DamagedOperandsAreBounded) {
    Page p;
    // Too few operands read as zeros; operands of other kinds are no numbers;
    // a matrix that overflows leaves the previous one.
    EXPECT_EQ(p.Parse("BT /F1 10 Tf 1 0 0 1 Tm (a) Tj /X 5 Td (b) Tj ET").Items().Count(), 2);
    const TDTPDFPage& page = p.Parse("2000000000 0 0 1 0 0 cm BT /F1 10 Tf 5 700 Td (a) Tj ET");
    EXPECT_NEAR(Item(page, 0).Left, 5, 1e-9);
    // An array left open ends at the next operator.
    EXPECT_EQ(p.Parse("BT /F1 10 Tf 0 700 Td [(a) (b) Tj /P << /ActualText (c) >> BDC (d) Tj EMC ET").GetPlainText(),
              u"abc");
    // Unbalanced q and Q, deeper than the saved states kept.
    std::string deep;
    for (int i = 0; i < 1000; ++i) deep += "q 1 0 0 1 1 0 cm ";
    deep += "BT /F1 10 Tf (a) Tj ET";
    for (int i = 0; i < 1200; ++i) deep += " Q";
    deep += " BT /F1 10 Tf (b) Tj ET";
    const TDTPDFPage& d = p.Parse(deep);
    ASSERT_EQ(d.Items().Count(), 2);
    EXPECT_NEAR(Item(d, 0).Left, 1000, 1e-9);
    EXPECT_NEAR(Item(d, 1).Left, 0, 1e-9);
}

}  // namespace
}  // namespace quillmark
