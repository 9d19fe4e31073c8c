// Text of real PDF files: documents written by LibreOffice (plain,
// uncompressed, and rewritten by qpdf with object streams) against the text
// that went into them, and small public samples with CJK encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "quillmark/format_registry.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/pdf/pdf_reader.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

// Share of the truth's words found in the extraction in the same order
// (longest common subsequence), and as a multiset.
double OrderFigure(const std::vector<std::string>& truth, const std::vector<std::string>& got) {
    std::vector<uint32_t> prev(got.size() + 1, 0), cur(got.size() + 1, 0);
    for (const auto& w : truth) {
        for (size_t j = 1; j <= got.size(); ++j)
            cur[j] = w == got[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], cur[j - 1]);
        std::swap(prev, cur);
    }
    return truth.empty() ? 1.0 : static_cast<double>(prev[got.size()]) / static_cast<double>(truth.size());
}

double RecallFigure(const std::vector<std::string>& truth, std::vector<std::string> got) {
    std::multiset<std::string> pool(got.begin(), got.end());
    size_t found = 0;
    for (const auto& w : truth) {
        auto it = pool.find(w);
        if (it != pool.end()) {
            ++found;
            pool.erase(it);
        }
    }
    return truth.empty() ? 1.0 : static_cast<double>(found) / static_cast<double>(truth.size());
}

std::string Extract(const std::string& name) {
    TDTPDFReader r;
    r.LoadFromFile(test::DataPath("pdf/" + name));
    return Utf16ToUtf8(r.Text().Text());
}

TEST(PdfTextCorpus, LibreOfficeDocumentsKeepEveryWordInOrder) {
    const struct {
        const char* pdf;
        const char* truth;
        double order;
    } docs[] = {
        {"basic_3.pdf", "basic_3.truth.txt", 0.98},
        {"basic_3.uncompressed.pdf", "basic_3.truth.txt", 0.98},
        {"basic_3.objstm.pdf", "basic_3.objstm.truth.txt", 0.98},
        // Cyrillic, Greek and CJK lines (the CJK ones through /ActualText).
        {"multi_3.pdf", "multi_3.truth.txt", 0.98},
        // Footnotes sit at the page foot, after the text that follows them.
        {"notes_3.pdf", "notes_3.truth.txt", 0.95},
    };
    for (const auto& d : docs) {
        SCOPED_TRACE(d.pdf);
        std::vector<std::string> got = test::Words(Extract(d.pdf));
        std::vector<std::string> truth = test::Words(test::ReadDataFile(std::string("pdf/") + d.truth));
        EXPECT_GE(RecallFigure(truth, got), 0.99);
        EXPECT_GE(OrderFigure(truth, got), d.order);
    }
    std::string multi = Extract("multi_3.pdf");
    for (const char* line : {"\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C", "\xCE\x9E\xCE\xB5\xCF\x83\xCE\xBA\xCE\xB5\xCF\x80\xCE\xAC\xCE\xB6\xCF\x89", "\xE6\x88\x91\xE8\x83\xBD\xE5\x90\x9E\xE4\xB8\x8B"})
        EXPECT_NE(multi.find(line), std::string::npos) << line;
}

TEST(PdfTextCorpus, LibreOfficeMetadata) {
    TDTPDFReader r;
    r.LoadFromFile(test::DataPath("pdf/multi_3.pdf"));
    EXPECT_EQ(r.SummaryInformation().Title(), u"Title of multi_3");
    EXPECT_EQ(r.SummaryInformation().Author(), u"Author Number3");
    EXPECT_EQ(r.SummaryInformation().AppName().substr(0, 11), u"LibreOffice");
    EXPECT_NE(r.SummaryInformation().Created(), 0);
}

TEST(PdfTextCorpus, CjkEncodings) {
    std::string sjis = Extract("pdfjs_90ms_rksj_h_sample.pdf");
    EXPECT_NE(sjis.find("Hello ASCII"), std::string::npos);
    EXPECT_NE(sjis.find("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), std::string::npos);
    EXPECT_NE(Extract("pdfjs_issue3521.pdf").find("\xE6\x88\x91\xE4\xBB\xAC\xE9\x83\xBD"), std::string::npos);
    EXPECT_NE(Extract("pdfjs_noembed-eucjp.pdf").find("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86"), std::string::npos);
    EXPECT_NE(Extract("pdfjs_noembed-sjis.pdf").find("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86"), std::string::npos);
    EXPECT_NE(Extract("pdfjs_issue8372.pdf").find("\xE7\x9B\xAE\xE5\xBD\x95"), std::string::npos);
    EXPECT_NE(Extract("tika_testPDFTripleLangTitle.pdf").find("Hello World"), std::string::npos);
    // Two-byte codes through a ToUnicode CMap with a code space.
    std::string digits = Extract("pdfminer_issue-1059-cmap-decode.pdf");
    for (char c = '2'; c <= '9'; ++c) EXPECT_NE(digits.find(c), std::string::npos) << c;
}

TEST(PdfTextCorpus, EverySampleLoads) {
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator(test::DataPath("pdf"))) {
        if (e.path().extension() != ".pdf") continue;
        SCOPED_TRACE(e.path().filename().string());
        TDTPDFReader r;
        EXPECT_NO_THROW(r.LoadFromFile(e.path().string()));
        EXPECT_GE(r.Text().Count(), 2);
        EXPECT_STREQ(FormatName(DetectFormat(test::ReadDataFile("pdf/" + e.path().filename().string()))), "pdf");
        ++count;
    }
    EXPECT_GE(count, 15);
}

}  // namespace
}  // namespace quillmark
