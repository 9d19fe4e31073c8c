// Words that pdftotext and mutool both read from real files and that the
// reader once lost: the encoding built into an embedded Type 1 program,
// damaged content (a misspelt BT, a stream whose "endstream" is damaged),
// glyphs without text that still separate words, and raised text; on
// crafted documents and on the public samples they came from.
#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_reader.h"
#include "support/test_support.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::Deflate;
using test::PdfBuilder;
using test::StreamObject;

std::string TextOf(const std::string& bytes) {
    TDTPDFReader r;
    TMemoryStream s(bytes);
    r.LoadFromStream(s);
    return Utf16ToUtf8(r.Pages().GetPage(0)->GetPlainText());
}

std::string SampleText(const std::string& name) {
    TDTPDFReader r;
    r.LoadFromFile(test::DataPath("pdf/" + name));
    return Utf16ToUtf8(r.Text().Text());
}

// The clear-text part of a Type 1 program with the given encoding lines,
// then an encrypted part that must not be read (its bytes would put "fl"
// at 12 if they were).
std::string Type1Program(const std::string& encoding) {
    return "%!PS-AdobeFont-1.0: CMR10 003.002\n11 dict begin\n/FontType 1 def\n/FontName /ABCDEF+CMR10 def\n" +
           encoding + "currentfile eexec\n" + std::string("\xD9\xD6\x5F dup 12 /fl put readonly def \x00\xFF", 27) +
           "\ncleartomark\n";
}

const char* kBuiltin =
    "/Encoding 256 array\n0 1 255 {1 index exch /.notdef put} for\n"
    "dup 12 /fi put\ndup 14 /ffi put\ndup 65 /A put\ndup 92 /quotedblleft put\ndup 200 /g200 put\n"
    "readonly def\n";

// One page showing codes 12, 14, 92, 34 and 200 in font /F1: the font
// dictionary's entries given, its program compressed or not.
std::string Type1Document(const std::string& fontEntries, const std::string& program, bool compress) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>");
    b.Add(4, StreamObject("", "BT /F1 12 Tf 72 700 Td (\\014nd o\\016ce \\134A\\042 \\310) Tj ET"));
    b.Add(5, "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+CMR10 /FontDescriptor 6 0 R " + fontEntries + " >>");
    b.Add(6, "<< /Type /FontDescriptor /FontName /ABCDEF+CMR10 /Flags 4 /FontFile 7 0 R >>");
    b.Add(7, compress ? StreamObject("/Filter /FlateDecode /Length1 100", Deflate(program))
                      : StreamObject("/Length1 100", program));
    return b.Build();
}

TEST(PdfPeerWords, Type1ProgramEncodingStandsInForTheStandardOne) {
    // No /Encoding: the program's own encoding gives the ligatures and
    // the quote; codes it does not list (34), or lists under a name without
    // a known character (g200), keep the standard encoding's character.
    const std::string builtin = "find office \xE2\x80\x9C" "A\" \xC2\xA8";
    EXPECT_EQ(TextOf(Type1Document("", Type1Program(kBuiltin), true)), builtin);
    EXPECT_EQ(TextOf(Type1Document("", Type1Program(kBuiltin), false)), builtin);
    // /Differences without a base encoding go over the program's encoding.
    EXPECT_EQ(TextOf(Type1Document("/Encoding << /Differences [12 /fl] >>", Type1Program(kBuiltin), true)),
              "flnd office \xE2\x80\x9C" "A\" \xC2\xA8");
    // A named base encoding wins over the program's.
    EXPECT_EQ(TextOf(Type1Document("/Encoding /WinAnsiEncoding", Type1Program(kBuiltin), true)),
              "nd oce \\A\" \xC3\x88");
    EXPECT_EQ(TextOf(Type1Document("/Encoding << /BaseEncoding /WinAnsiEncoding >>", Type1Program(kBuiltin), true)),
              "nd oce \\A\" \xC3\x88");
    // A program on the standard encoding, without an encoding, or not a
    // font at all reads as the standard encoding.
    const std::string standard = "nd oce \\A\" \xC2\xA8";
    EXPECT_EQ(TextOf(Type1Document("", Type1Program("/Encoding StandardEncoding def\n"), true)), standard);
    EXPECT_EQ(TextOf(Type1Document("", Type1Program(""), true)), standard);
    const std::string bad = "/Encoding 256 array dup 999 /x put dup -1 /y put dup 3.5 /z put dup 12 /fi dup put def";
    EXPECT_EQ(TextOf(Type1Document("", bad, true)), standard);
    // A damaged program stream leaves the standard encoding too.
    EXPECT_EQ(TextOf(Type1Document("", "", false)), standard);
}

TEST(PdfPeerWords, DamagedContentKeepsItsText) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 /Resources << /Font << /F1 9 0 R >> >> >>");
    b.Add(9, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    // "CT" where "BT" was meant: viewers draw the string all the same.
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.Add(4, StreamObject("", "CT /F1 24 Tf 72 720 Td (Potato 4) Tj ET"));
    // A /Length past the object and "endstream" misspelt: the data ends at
    // the object's end.
    b.Add(5, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>");
    b.Add(6, "<< /Length 292 >>\nstream\nBT /F1 24 Tf 72 720 Td (Potato 13) Tj ET\nendstre.m\n");
    TDTPDFReader r;
    TMemoryStream s(b.Build());
    r.LoadFromStream(s);
    ASSERT_EQ(r.Pages().Count(), 2);
    EXPECT_EQ(Utf16ToUtf8(r.Pages().GetPage(0)->GetPlainText()), "Potato 4");
    EXPECT_EQ(Utf16ToUtf8(r.Pages().GetPage(1)->GetPlainText()), "Potato 13");
}

TEST(PdfPeerWords, PublicSamples) {
    // Arabic after Latin text: the space between them is a glyph that the
    // ToUnicode CMap maps to nothing, followed by glyphs of the shaped word
    // (whose text one glyph carries).
    EXPECT_NE(SampleText("pypdf_habibi.pdf").find("habibi \xD8\xAD"), std::string::npos);
    // TeX fonts without /Encoding: ligatures at codes 11 to 15 of the
    // embedded Type 1 programs.
    std::string columns = SampleText("pypdf_multicolumn.pdf");
    for (const char* words : {"two columns filled", "Official Language", "Finland"})
        EXPECT_NE(columns.find(words), std::string::npos) << words;
    EXPECT_EQ(columns.find(" lled"), std::string::npos);
    // Thirty pages of "Potato N", one drawn outside BT ... ET and one in a
    // stream without "endstream"; the page tree names page 7 twice where
    // page 27 was meant.
    std::string potatoes = SampleText("qpdf_xref-compressed-in-compressed.pdf");
    for (int n = 0; n < 30; ++n) {
        if (n == 27) continue;
        EXPECT_NE(potatoes.find("Potato " + std::to_string(n) + "\r\n"), std::string::npos) << n;
    }
}

}  // namespace
}  // namespace quillmark
