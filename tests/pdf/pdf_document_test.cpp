// The PDF reader end to end on crafted documents: the page tree walk,
// fonts, contents, the information dictionary and the output.
#include <gtest/gtest.h>

#include <algorithm>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_date.h"
#include "quillmark/pdf/pdf_reader.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::Deflate;
using test::PdfBuilder;
using test::StreamObject;

const char* kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

std::string Text(const std::string& s) { return "BT /F1 12 Tf 72 700 Td (" + s + ") Tj ET"; }

void Load(TDTPDFReader& r, const std::string& bytes) {
    TMemoryStream s(bytes);
    r.LoadFromStream(s);
}

std::string PlainOutput(TDTPDFReader& r) { return Utf16ToUtf8(r.Text().Text()); }

// Catalog 1, page tree 2 with the given kids, font 9.
PdfBuilder Document(const std::string& kids, int count) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) +
                 " /Resources << /Font << /F1 9 0 R >> >> >>");
    b.Add(9, kFont);
    return b;
}

void AddPage(PdfBuilder& b, int n, int contents, const std::string& text, int parent = 2) {
    b.Add(n, "<< /Type /Page /Parent " + std::to_string(parent) + " 0 R /Contents " + std::to_string(contents) +
                 " 0 R >>");
    b.Add(contents, StreamObject("", Text(text)));
}

TEST(PdfDocument, PagesInKidOrder) {
    PdfBuilder b = Document("3 0 R 5 0 R 7 0 R", 3);
    AddPage(b, 3, 4, "one");
    AddPage(b, 5, 6, "two");
    AddPage(b, 7, 8, "three");
    TDTPDFReader r;
    Load(r, b.Build());
    ASSERT_EQ(r.Pages().Count(), 3);
    EXPECT_EQ(r.Text().Count(), 5);  // start, three pages, finish
    EXPECT_EQ(PlainOutput(r), "\r\none\r\ntwo\r\nthree\r\n\r\n");
    EXPECT_EQ(r.Fonts().Count(), 1);
    EXPECT_EQ(r.Fonts().FindFontByName("/f1"), r.Fonts().GetItem(0));
}

TEST(PdfDocument, NestedTreesDepthFirstWithCyclesAndMissingKids) {
    // 2 -> [3, 10, 7]; 10 is a tree -> [5, 2 (a cycle), 44 (missing)]
    PdfBuilder b = Document("3 0 R 10 0 R 7 0 R", 9);
    AddPage(b, 3, 4, "a");
    b.Add(10, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 2 0 R 44 0 R 3 0 R] /Count 4 >>");
    AddPage(b, 5, 6, "b", 10);
    AddPage(b, 7, 8, "c");
    TDTPDFReader r;
    Load(r, b.Build());
    EXPECT_EQ(r.Pages().Count(), 3);
    EXPECT_EQ(PlainOutput(r), "\r\na\r\nb\r\nc\r\n\r\n");
}

TEST(PdfDocument, ContentsArraysAndReferencesToArrays) {
    PdfBuilder b = Document("3 0 R 5 0 R", 2);
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Contents [4 0 R 11 0 R] >>");
    b.Add(4, StreamObject("", "BT /F1 12 Tf 72 700 Td (first"));
    b.Add(11, StreamObject("/Filter /FlateDecode", Deflate(" half) Tj ET")));
    // A /Contents reference to an array object (which names itself too).
    b.Add(5, "<< /Type /Page /Parent 2 0 R /Contents 12 0 R >>");
    b.Add(12, "[13 0 R 12 0 R 14 0 R]");
    b.Add(13, StreamObject("", Text("x")));
    b.Add(14, StreamObject("", Text("y")));
    TDTPDFReader r;
    Load(r, b.Build());
    ASSERT_EQ(r.Pages().Count(), 2);
    EXPECT_EQ(r.Pages().GetPage(0)->GetPlainText(), u"first half");
    EXPECT_EQ(r.Pages().GetPage(1)->GetPlainText(), u"x y");
}

TEST(PdfDocument, ResourcesByReferenceAndPerPageFontNames) {
    // Two pages use the name /F1 for different fonts.
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources 20 0 R /Contents 4 0 R >>");
    b.Add(20, "<< /Font 21 0 R >>");
    b.Add(21, "<< /F1 9 0 R >>");
    b.Add(9, kFont);
    b.Add(4, StreamObject("", Text("\\351")));
    b.Add(5, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 22 0 R /F2 45 0 R >> >> /Contents 6 0 R >>");
    b.Add(22, "<< /Type /Font /Subtype /Type1 /Encoding /MacRomanEncoding >>");
    b.Add(6, StreamObject("", Text("\\216") + " BT /F2 12 Tf 200 700 Td (z) Tj ET"));
    TDTPDFReader r;
    Load(r, b.Build());
    EXPECT_EQ(PlainOutput(r), "\r\n\xC3\xA9\r\n\xC3\xA9 z\r\n\r\n");
    EXPECT_EQ(r.Fonts().Count(), 2);  // /F2 names a missing object
}

TEST(PdfDocument, Type0FontWithToUnicode) {
    const std::string cmap =
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
        "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
        "3 beginbfchar <0001> <041F> <0002> <0440> <0003> <4E2D> endbfchar\n"
        "endcmap CMapName currentdict /CMap defineresource pop end end";
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 9 0 R >> >> /Contents 4 0 R >>");
    b.Add(9, "<< /Type /Font /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [10 0 R] /ToUnicode 11 0 R >>");
    b.Add(10, "<< /Type /Font /Subtype /CIDFontType2 /CIDToGIDMap 12 0 R >>");
    b.Add(11, StreamObject("/Filter /FlateDecode", Deflate(cmap)));
    b.Add(12, StreamObject("", "\x01\x02"));
    b.Add(4, StreamObject("", "BT /F1 12 Tf 72 700 Td <000100020003> Tj ET"));
    TDTPDFReader r;
    Load(r, b.Build());
    EXPECT_EQ(PlainOutput(r), "\r\n\xD0\x9F\xD1\x80\xE4\xB8\xAD\r\n\r\n");
    const TDTPDFFont* f = r.Fonts().GetItem(0);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Identity);
    EXPECT_EQ(f->Encoding, "/Identity-H");
    EXPECT_EQ(f->lstBFChars.size(), 1u);
    // The ToUnicode CMap served every code: the descendant's streams were
    // never decoded, and after the load they are no longer read.
    EXPECT_EQ(f->CID(), "");
}

TEST(PdfDocument, FormXObjectsAreRead) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F1 9 0 R >> "
             "/XObject << /Fm0 5 0 R /Im0 6 0 R /Loop 7 0 R >> >> >>");
    b.Add(9, kFont);
    b.Add(4, StreamObject("", Text("body") + " q /Im0 Do Q q /Fm0 Do Q /Loop Do /Missing Do"));
    // The form has its own font under another name.
    b.Add(5, StreamObject("/Type /XObject /Subtype /Form /Resources << /Font << /G1 10 0 R >> >>",
                          "BT /G1 10 Tf 72 40 Td (in the form \\351) Tj ET"));
    b.Add(10, "<< /Type /Font /Subtype /Type1 /Encoding /WinAnsiEncoding >>");
    b.Add(6, StreamObject("/Type /XObject /Subtype /Image /Width 1 /Height 1", "x"));
    // A form that draws itself twice ends at the nesting limit.
    b.Add(7, StreamObject("/Type /XObject /Subtype /Form", "/Loop Do /Loop Do BT 1 1 Td (L) Tj ET"));
    TDTPDFReader r;
    Load(r, b.Build());
    std::u16string text = r.Pages().GetPage(0)->GetPlainText();
    EXPECT_EQ(text.substr(0, 22), u"body\r\nin the form \u00E9\r\nL");
    EXPECT_EQ(std::count(text.begin(), text.end(), u'L'), 255);  // 2^8 - 1 drawings: forms nest 8 deep at most
}

PdfBuilder WithInfo(const std::string& info) {
    PdfBuilder b = Document("3 0 R", 1);
    AddPage(b, 3, 4, "body");
    b.Add(5, info);
    b.SetTrailer("/Root 1 0 R /Info 5 0 R");
    return b;
}

TEST(PdfDocument, InformationDictionary) {
    PdfBuilder b = WithInfo(
        "<< /Title <FEFF041F04400438> /Author (J\\351r\\364me \\(JR\\)) /Subject 6 0 R /Keywords (a, b)"
        " /Producer (LibreOffice 7.4) /CreationDate (D:20040817103000+02'00') /ModDate (D:2004) >>");
    b.Add(6, "(by reference)");
    TDTPDFReader r;
    Load(r, b.Build());
    const TDTWordSummaryInformation& s = r.SummaryInformation();
    EXPECT_EQ(s.Title(), u"\u041F\u0440\u0438");
    EXPECT_EQ(s.Author(), u"J\u00E9r\u00F4me (JR)");
    EXPECT_EQ(s.Subject(), u"by reference");
    EXPECT_EQ(s.Keywords(), u"a, b");
    EXPECT_EQ(s.AppName(), u"LibreOffice 7.4");
    EXPECT_EQ(DateTimeToIso8601(s.Created()), "2004-08-17T10:30:00");
    EXPECT_EQ(s.LastSaved(), 0);
    EXPECT_EQ(r.GetInfoTag("/keywords", r.GetBodyByRefNo(5)), u"a, b");

    // Without text, no page is walked and nothing is output, but the
    // information is still read.
    TDTPDFReader meta;
    meta.SetParseItems(TDTWParseItems{wpiSummaryInformation});
    Load(meta, b.Build());
    EXPECT_EQ(meta.Pages().Count(), 0);
    EXPECT_EQ(meta.Text().Count(), 0);
    EXPECT_EQ(meta.SummaryInformation().AppName(), u"LibreOffice 7.4");
}

TEST(PdfDocument, DateRule) {
    EXPECT_EQ(DateTimeToIso8601(PdfDateToDateTime(u"D:20040817103000Z")), "2004-08-17T10:30:00");
    EXPECT_EQ(DateTimeToIso8601(PdfDateToDateTime(u"d:19991231235959")), "1999-12-31T23:59:59");
    EXPECT_EQ(PdfDateToDateTime(u""), 0);
    EXPECT_EQ(PdfDateToDateTime(u"D:2004"), 0);
    EXPECT_EQ(PdfDateToDateTime(u"D:20040230120000"), 0);  // no 30 February
    EXPECT_EQ(PdfDateToDateTime(u"D:2004081710300x"), 0);
    EXPECT_EQ(PdfDateToDateTime(u"D:20040817253000"), 0);
    EXPECT_EQ(DateTimeToIso8601(PdfDateToDateTime(u"2004-08-17 10:30")), "2004-08-17T10:30:00");
    EXPECT_EQ(DateTimeToIso8601(PdfDateToDateTime(u"2004/08/17")), "2004-08-17T00:00:00");
    EXPECT_EQ(PdfDateToDateTime(u"yesterday"), 0);
}

TEST(PdfDocument, LoadingTwiceKeepsOnlyTheSecondFile) {
    PdfBuilder first = WithInfo("<< /Title (First) >>");
    PdfBuilder second = Document("3 0 R 5 0 R", 2);
    AddPage(second, 3, 4, "p1");
    AddPage(second, 5, 6, "p2");
    TDTPDFReader r;
    Load(r, first.Build());
    EXPECT_EQ(r.SummaryInformation().Title(), u"First");
    Load(r, second.Build());
    EXPECT_EQ(r.Pages().Count(), 2);
    EXPECT_EQ(r.Fonts().Count(), 1);
    EXPECT_EQ(r.SummaryInformation().Title(), u"");
    EXPECT_EQ(PlainOutput(r), "\r\np1\r\np2\r\n\r\n");
}

TEST(PdfDocument, MissingRootOrPagesGiveOnlyTheFrame) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 7 0 R >>");
    b.SetTrailer("/Root 1 0 R");
    TDTPDFReader r;
    Load(r, b.Build());
    EXPECT_EQ(r.Pages().Count(), 0);
    EXPECT_EQ(r.Text().Count(), 2);
    PdfBuilder noRoot;
    noRoot.Add(1, "<< /Type /Pages /Kids [] >>");
    noRoot.SetTrailer("/Size 2");
    Load(r, noRoot.Build());
    EXPECT_EQ(r.Pages().Count(), 0);
}

TEST(PdfDocument, RtfAndHtmlEscapePageText) {
    PdfBuilder b = Document("3 0 R", 1);
    AddPage(b, 3, 4, "a<b & {c}");
    TDTPDFReader r;
    r.SetTextFormating(tfHTML);
    Load(r, b.Build());
    EXPECT_NE(PlainOutput(r).find("a&lt;b &amp; {c}"), std::string::npos);
    r.SetTextFormating(tfRTF);
    Load(r, b.Build());
    EXPECT_NE(PlainOutput(r).find("a<b & \\{c\\}"), std::string::npos);
}

TEST(PdfDocument, MaxTextLengthStopsThePages) {
    PdfBuilder b = Document("3 0 R 5 0 R", 2);
    AddPage(b, 3, 4, "first page text");
    AddPage(b, 5, 6, "second");
    TDTPDFReader r;
    r.SetMaxTextLength(8);
    Load(r, b.Build());
    ASSERT_EQ(r.Text().Count(), 1);
    EXPECT_EQ(r.Text().Get(0).size(), 8u);
    EXPECT_TRUE(r.Cancelled());
}

}  // namespace
}  // namespace quillmark
