#include "quillmark/pdf/pdf_content.h"

#include <gtest/gtest.h>

#include <cmath>

#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {
namespace {

const TDTPDFItemText& TextItem(const TDTPDFPage& page, int i) {
    return *static_cast<const TDTPDFItemText*>(page.Items().GetItem(i));
}

// A simple font from its dictionary text.
std::unique_ptr<TDTPDFFont> SimpleFont(const std::string& dict) {
    auto f = std::make_unique<TDTPDFFont>();
    f->SetupEncoding(PdfParseObjectBody(dict), [](const PdfObject& o) { return o; });
    return f;
}

struct Fixture {
    std::unique_ptr<TDTPDFFont> win = SimpleFont("<< /Type /Font /Subtype /Type1 /Encoding /WinAnsiEncoding >>");
    TDTPDFPageFonts fonts{{"/F1", win.get()}};
    TDTPDFPages pages;
    const TDTPDFPage& Parse(const std::string& content, const std::string& box = "") {
        pages.ParseContents(content, box, &fonts);
        return *pages.GetPage(pages.Count() - 1);
    }
};

TEST(PdfContent, OneBlockGivesOnePositionedItem) {
    Fixture fx;
    const TDTPDFPage& p = fx.Parse("BT /F1 12 Tf 100 700 Td (Hello) Tj ET");
    EXPECT_EQ(p.Width, 1224);
    EXPECT_EQ(p.Height, 792);
    ASSERT_EQ(p.Items().Count(), 1);
    const TDTPDFItemText& t = TextItem(p, 0);
    EXPECT_EQ(t.FontName, "/F1");
    EXPECT_EQ(t.FontSize, 12);
    EXPECT_DOUBLE_EQ(t.Left, 100);
    EXPECT_DOUBLE_EQ(t.Top, 92);
    EXPECT_FALSE(t.IsContinueBlock);
    EXPECT_EQ(t.Text, u"Hello");
}

TEST(PdfContent, RelativeMovesAndLineBreaks) {
    Fixture fx;
    const TDTPDFPage& p = fx.Parse("BT /F1 12 Tf 100 700 Td (Hello) Tj 0 -14 Td (World) Tj ET");
    ASSERT_EQ(p.Items().Count(), 2);
    const TDTPDFItemText& t = TextItem(p, 1);
    EXPECT_TRUE(t.IsContinueBlock);
    EXPECT_EQ(t.FontName, "/F1");
    EXPECT_EQ(t.FontSize, 12);
    EXPECT_DOUBLE_EQ(t.Left, 100);
    EXPECT_DOUBLE_EQ(t.Top, 106);
    EXPECT_EQ(p.GetPlainText(), u"Hello\r\nWorld");
    // A second string without a move continues the line.
    EXPECT_EQ(fx.Parse("BT /F1 12 Tf 100 700 Td (Hel) Tj (lo) Tj ET").GetPlainText(), u"Hello");
    // Two blocks on one line are joined with a space.
    EXPECT_EQ(fx.Parse("BT /F1 12 Tf 100 700 Td (a) Tj ET BT /F1 12 Tf 200 702 Td (b) Tj ET").GetPlainText(),
              u"a b");
    // T*, ' and the text matrix move too.
    EXPECT_EQ(fx.Parse("BT /F1 12 Tf 14 TL 1 0 0 1 50 700 Tm (a) Tj T* (b) Tj (c) ' ET").GetPlainText(),
              u"a\r\nb\r\nc");
    EXPECT_EQ(fx.Parse("BT /F1 12 Tf 10 700 TD (a) Tj 0 -20 TD (b) Tj T* (c) Tj ET").GetPlainText(),
              u"a\r\nb\r\nc");
}

TEST(PdfContent, FontSizeRules) {
    Fixture fx;
    EXPECT_EQ(TextItem(fx.Parse("BT /F1 12.5 Tf 14 TL 1 1 Td (x) Tj ET"), 0).FontSize, 12);
    EXPECT_EQ(TextItem(fx.Parse("BT /F1 12.5 Tf 1 1 Td (x) Tj ET"), 0).FontSize, 8);
    // The font set in an earlier text object still applies.
    const TDTPDFPage& p = fx.Parse("BT /F1 9 Tf ET BT 1 1 Td (\\351) Tj ET");
    EXPECT_EQ(TextItem(p, 0).FontName, "/F1");
    EXPECT_EQ(TextItem(p, 0).Text, u"\u00E9");
}

TEST(PdfContent, ShowTextArraysAndWordSpaces) {
    Fixture fx;
    EXPECT_EQ(fx.Parse("BT /F1 12 Tf 1 1 Td [(W) 120 (orld) -50 (s)] TJ ET").GetPlainText(), u"Worlds");
    // A large negative adjustment stands for the space of justified text.
    EXPECT_EQ(fx.Parse("BT /F1 12 Tf 1 1 Td [(two) -250 (words) -900 ( x)] TJ ET").GetPlainText(),
              u"two words x");
    EXPECT_EQ(PdfShownText("[(a)-197(b)-149(c)250(d)]", nullptr, false), u"a bcd");
}

TEST(PdfContent, StringEscapesAreDecodedToBytes) {
    Fixture fx;
    EXPECT_EQ(PdfShownText("(a\\(b\\)c\\\\d)", fx.win.get(), false), u"a(b)c\\d");
    EXPECT_EQ(PdfShownText("(\\101\\60\\0501)", fx.win.get(), false), u"A0(1");  // octal, at most three digits
    EXPECT_EQ(PdfShownText("(one\\\ntwo)", fx.win.get(), false), u"onetwo");    // line continuation
    EXPECT_EQ(PdfShownText("(a (nested) b)", fx.win.get(), false), u"a (nested) b");
    EXPECT_EQ(PdfShownText("(\\351t\\351)", fx.win.get(), false), u"\u00E9t\u00E9");
    EXPECT_EQ(PdfShownText("<48 65>", fx.win.get(), false), u"He");
    EXPECT_EQ(PdfShownText("<4865>", fx.win.get(), false), u"He");
    EXPECT_EQ(PdfShownText("<486>", fx.win.get(), false), u"H`");  // missing digit is 0
    // Every byte goes through the encoding, not only escapes.
    EXPECT_EQ(PdfShownText("(\x93q\x94)", fx.win.get(), false), u"\u201Cq\u201D");
}

TEST(PdfContent, DifferencesAndToUnicode) {
    Fixture fx;
    auto diff = SimpleFont(
        "<< /Subtype /Type1 /Encoding << /BaseEncoding /WinAnsiEncoding /Differences [65 /eacute /f_i 200 "
        "/uni0416 /g17] >> >>");
    EXPECT_EQ(diff->DecodeText("ABC\xC8\xC9"), u"\u00E9fiC\u0416\u00C9");
    // ToUnicode first, then the encoding for codes it leaves out.
    diff->SetCMap("1 beginbfchar <43> <0058> endbfchar");
    EXPECT_EQ(diff->DecodeText("ABC"), u"\u00E9fiX");
    // Character spacing above 1 spaces out the characters of a font with a
    // ToUnicode CMap.
    fx.fonts["/F2"] = diff.get();
    EXPECT_EQ(fx.Parse("BT /F2 12 Tf 2 Tc 1 1 Td (CC) Tj ET").GetPlainText(), u"X X");
    EXPECT_EQ(fx.Parse("BT /F2 12 Tf 2 Tw 1 1 Td (CC) Tj ET").GetPlainText(), u"XX");
}

TEST(PdfContent, CompositeFonts) {
    auto identity = SimpleFont("<< /Subtype /Type0 /Encoding /Identity-H >>");
    EXPECT_TRUE(identity->Identity);
    identity->SetCMap(
        "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
        "2 beginbfchar <0003> <4E2D> <0004> <D83DDE00> endbfchar\n1 beginbfrange <0010> <0012> <0041> endbfrange");
    EXPECT_EQ(identity->DecodeText(std::string("\x00\x03\x00\x04\x00\x11\x00\x99", 8)), u"\u4E2D\U0001F600B");
    auto sjis = SimpleFont("<< /Subtype /Type0 /Encoding /90ms-RKSJ-H >>");
    EXPECT_EQ(sjis->DecodeText("\x93\xFA\x96\x7B A"), u"\u65E5\u672C A");
    auto ucs2 = SimpleFont("<< /Subtype /Type0 /Encoding /UniGB-UCS2-H >>");
    EXPECT_EQ(ucs2->DecodeText(std::string("\x4E\x2D\x00\x41", 4)), u"\u4E2DA");
}

TEST(PdfContent, MediaBoxAndDefaults) {
    Fixture fx;
    const TDTPDFPage& p = fx.Parse("BT 1 0 0 1 10 800 Tm (x) Tj ET", "[0 0 595.3 841.9]");
    EXPECT_EQ(p.Width, 595);
    EXPECT_EQ(p.Height, 842);
    EXPECT_DOUBLE_EQ(TextItem(p, 0).Top, 42);
    // No brackets: the defaults stay.
    const TDTPDFPage& q = fx.Parse("BT 1 0 0 1 10 700 Tm (x) Tj ET", "612");
    EXPECT_EQ(q.Height, 792);
    EXPECT_EQ(fx.Parse("").Items().Count(), 0);
    // A string shown outside a text object (content missing its BT) is
    // still drawn by viewers, at the text matrix as it stands.
    const TDTPDFPage& stray = fx.Parse("0 0 m 10 10 l S /F1 12 Tf 72 700 Td (stray text) Tj");
    ASSERT_EQ(stray.Items().Count(), 1);
    EXPECT_EQ(TextItem(stray, 0).Text, u"stray text");
    EXPECT_DOUBLE_EQ(TextItem(stray, 0).Top, 92);
    EXPECT_EQ(fx.pages.Count(), 4);
}

TEST(PdfContent, ContentThatIsNotText) {
    Fixture fx;
    // Inline image data is skipped even when it looks like text operators.
    EXPECT_EQ(fx.Parse("BI /W 2 /H 1 ID \x01(BT (junk) Tj ET\n EI BT /F1 9 Tf 1 1 Td (ok) Tj ET").GetPlainText(),
              u"ok");
    // Operands of operators that carry no text do not leak into the next line.
    EXPECT_EQ(fx.Parse("BT /F1 9 Tf 1 1 Td /Span << /Alt (alt) >> BDC (t) Tj EMC ET").GetPlainText(), u"t");
    // An /ActualText span replaces the glyphs shown inside it.
    EXPECT_EQ(fx.Parse("BT /F1 9 Tf 1 1 Td /Span <</ActualText <FEFF6211>>> BDC (?) Tj (?) Tj EMC (!) Tj ET")
                  .GetPlainText(),
              u"\u6211!");
    // Unclosed strings and arrays run to the end without harm.
    EXPECT_EQ(fx.Parse("BT /F1 9 Tf 1 1 Td [(abc").Items().Count(), 0);
    EXPECT_EQ(fx.Parse("BT (a) Tj endstream (b) Tj ET").GetPlainText(), u"a");
}

TEST(PdfContent, TagValues) {
    TDTWTagValues v;
    v.Add("/F1 12 Tf  ");
    v.Add("   ");
    v.Add("0 -14 TD");
    v.Add("(a) Tj");
    v.Add("[(b) 5 (c)] TJ");
    v.Add("(d) '");
    v.RemoveEmptyStrings();
    EXPECT_EQ(v.Count(), 5);
    EXPECT_EQ(v.GetValue("Tf", true), "/F1 12");
    EXPECT_EQ(v.GetValue("Td", true), "");
    EXPECT_EQ(v.GetValue("Td", false), "0 -14");
    EXPECT_EQ(v.GetAllTextTags(), "(a)[(b) 5 (c)](d)");
    EXPECT_EQ(PdfLineOperator("[(x)]TJ"), "TJ");
}

TEST(PdfContent, StrToFloatDef) {
    EXPECT_DOUBLE_EQ(StrToFloatDef("12.5", 0), 12.5);
    EXPECT_DOUBLE_EQ(StrToFloatDef(" -3 ", 0), -3);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1,5", 0), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatDef(".5", 0), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1.2.3", 7), 7);
    EXPECT_DOUBLE_EQ(StrToFloatDef("abc", 9), 9);
    EXPECT_DOUBLE_EQ(StrToFloatDef("", 4), 4);
    EXPECT_DOUBLE_EQ(StrToFloatDef("+2.5", 0), 2.5);
    EXPECT_DOUBLE_EQ(StrToFloatDef("-.75", 0), -0.75);
    EXPECT_DOUBLE_EQ(StrToFloatDef("3.", 0), 3);
    EXPECT_DOUBLE_EQ(StrToFloatDef("+", 6), 6);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1e5", 6), 6);  // PDF numbers have no exponent
    EXPECT_DOUBLE_EQ(StrToFloatDef("0x10", 6), 6);
    // Beyond a double: too large is no number, too small is zero.
    EXPECT_DOUBLE_EQ(StrToFloatDef(std::string(400, '9'), 5), 5);
    EXPECT_DOUBLE_EQ(StrToFloatDef("-" + std::string(400, '9') + ".5", 5), 5);
    EXPECT_DOUBLE_EQ(StrToFloatDef("0." + std::string(400, '0') + "1", 5), 0);
    EXPECT_TRUE(std::signbit(StrToFloatDef("-0." + std::string(400, '0') + "1", 5)));
    EXPECT_DOUBLE_EQ(StrToFloatDef("00000." + std::string(400, '0') + "1", 5), 0);
}

TEST(PdfPages, SortAndPagesText) {
    TDTPDFPages pages;
    TDTPDFPage* p = pages.AddPage();
    auto add = [&](double left, double top, const char16_t* text) {
        auto* t = static_cast<TDTPDFItemText*>(p->Items().AddItem(itText));
        t->Left = left;
        t->Top = top;
        t->Text = text;
    };
    add(300, 100, u"c");
    add(10, 50, u"a");
    add(100, 52, u"b");
    add(10, 200, u"d");
    p->Items().SortItems();
    std::u16string order;
    for (int i = 0; i < p->Items().Count(); ++i)
        order += static_cast<const TDTPDFItemText*>(p->Items().GetItem(i))->Text;
    EXPECT_EQ(order, u"abcd");
    EXPECT_EQ(p->Items().AddItem(itImage)->ItemType, itImage);
    EXPECT_EQ(p->Items().GetItem(99), nullptr);
    pages.AddPage();
    EXPECT_EQ(pages.GetPlainText(), u"\r\n--------------------\r\na b\r\nc\r\nd\r\n--------------------\r\n");
    EXPECT_EQ(pages.GetPage(2), nullptr);
}

}  // namespace
}  // namespace quillmark
