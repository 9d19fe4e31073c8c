// A host that runs under a comma-decimal locale (setlocale(LC_ALL, "de_DE...")
// and std::locale::global) gets the same text, byte for byte, as one under
// "C": PDF numbers ("12.5 Tf", MediaBox arrays) are read and written with a
// point whatever the locale says.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <filesystem>
#include <map>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/pdf/pdf_syntax.h"
#include "support/pdf_builder.h"
#include "support/scoped_comma_locale.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

std::string Bits(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Fractional numbers where real files have them (pdfTeX writes "/F8 9.9626
// Tf"): a font size below one point scaled up by the text matrix, fractional
// widths, spacing and page size. "Hel" ends where "lo" starts, so the text
// reads "Hello" only when the size and widths are read in full.
std::string FractionalNumbersPdf() {
    test::PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 595.276 841.89] >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    std::string widths;
    for (int c = 32; c <= 126; ++c) widths += "500.4 ";
    b.Add(5, "<< /Type /Font /Subtype /TrueType /Encoding /WinAnsiEncoding /FirstChar 32 /LastChar 126 "
             "/Widths [" + widths + "] >>");
    // "Hel" advances 3 * (0.5004 * 0.5 + 0.02) * 0.995 = 0.8066 text units.
    b.Add(4, test::StreamObject("", "BT /F1 0.5 Tf 20 0 0 20 72 700 Tm 0.02 Tc 0.5 Tw 99.5 Tz 1.5 TL "
                                    "(Hel) Tj 0.81 0 Td (lo) Tj T* [(Wor) -0.5 (ld)] TJ ET"));
    return b.Build();
}

// Everything a reader gives for one file: text per rendering, the metadata,
// or the failure's message.
std::string Outcome(const std::string& pathOrPdf, TMSTextFormating format) {
    TDTPDFReader r;
    r.SetTextFormating(format);
    try {
        if (pathOrPdf.starts_with("%PDF")) {
            TMemoryStream stream(pathOrPdf);
            r.LoadFromStream(stream);
        } else {
            r.LoadFromFile(pathOrPdf);
        }
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
    const TDTWordSummaryInformation& s = r.SummaryInformation();
    return Utf16ToUtf8(r.Text().Text()) + "\n--\n" + Utf16ToUtf8(s.Title()) + "|" +
           Utf16ToUtf8(s.Author()) + "|" + Utf16ToUtf8(s.Subject()) + "|" + Utf16ToUtf8(s.Keywords()) +
           "|" + Utf16ToUtf8(s.AppName()) + "|" + Bits(s.Created()) + "|" + Bits(s.LastSaved()) + "|" +
           std::to_string(s.PageCount());
}

std::map<std::string, std::string> AllOutcomes() {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(test::DataPath("pdf"))) {
        if (e.path().extension() != ".pdf") continue;
        for (TMSTextFormating f : {tfPlainText, tfHTML})
            out[e.path().string() + (f == tfHTML ? " html" : " text")] = Outcome(e.path().string(), f);
    }
    out["fractional"] = Outcome(FractionalNumbersPdf(), tfPlainText);
    return out;
}

TEST(PdfLocale, CommaDecimalLocaleGivesByteIdenticalOutput) {
    ASSERT_STREQ(std::localeconv()->decimal_point, ".");
    std::map<std::string, std::string> reference = AllOutcomes();
    ASSERT_GE(reference.size(), 40u);
    ASSERT_NE(reference["fractional"].find("Hello"), std::string::npos) << reference["fractional"];
    ASSERT_NE(reference["fractional"].find("World"), std::string::npos) << reference["fractional"];
    std::map<std::string, std::string> comma;
    {
        test::ScopedCommaLocale locale;
        ASSERT_FALSE(locale.Name().empty()) << "no comma-decimal locale (install the locales package)";
        // The locale really is in force: the C library would write "1,5".
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        ASSERT_STREQ(buf, "1,5");
        comma = AllOutcomes();
        EXPECT_DOUBLE_EQ(StrToFloatDef("12.5", 0), 12.5);
        EXPECT_DOUBLE_EQ(StrToFloatDef("-0.25", 0), -0.25);
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ".");
    for (const auto& [name, text] : reference) EXPECT_EQ(comma[name], text) << name;
}

}  // namespace
}  // namespace quillmark
