// eReader books (PNRd/PPrs): PML markup to text, both compressions, the
// DRM cases, and a real book against the text of its PML source.
#include <gtest/gtest.h>

#include <zlib.h>

#include "quillmark/extract.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/readers/ereader_markup.h"
#include "quillmark/readers/palmdoc_file.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

std::string Join(const std::vector<std::u16string>& lines) {
    std::string out;
    for (const auto& l : lines) out += Utf16ToUtf8(l) + "|";
    return out;
}

TEST(EReaderMarkup, CommandsBecomeTextOrNothing) {
    struct Case {
        const char* pml;
        const char* lines;  // UTF-8, each line followed by '|'
    } cases[] = {
        {"plain", "plain|"},
        {"one\ntwo", "one|two|"},
        {"a\\pb", "a|b|"},                                     // page break
        {"\\xChapter\\xText", "Chapter|Text|"},                // chapter title
        {"\\X2Sub\\X2 after", "Sub| after|"},
        {"x\\cCentred\\c", "x|Centred|"},
        {"\\i\\u\\b\\B\\l\\k\\n\\s\\t\\o\\Iword\\i", "word|"},   // formatting only
        {"\\T=\"50%\"in\\w=\"30%\"", "in|"},
        {"see \\m=\"img.png\"here", "see here|"},
        {"\\Q=\"a1\"\\q=\"#a1\"link\\q", "link|"},
        {"\\C0=\"Index title\"body", "body|"},
        {"note[\\Fn=\"f1\"1\\Fn] side\\Sd=\"s1\"S\\Sd x\\Spsup\\Sp", "note[1] sideS xsup|"},
        {"I\\a146ve \\a147q\\a148", "I\u2019ve \u201Cq\u201D|"},
        {"\\U00E9t\\U263A", "\u00E9t\u263A|"},
        {"back\\\\slash", "back\\slash|"},
        {"\\vTITLE=\"hidden\"\nmore\\vshown", "shown|"},
        {"caf\xE9", "caf\u00E9|"},                              // Windows-1252 bytes
        {"trunc\\a1", "trunc|"},                                // short code: dropped
        {"\\", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Join(PmlToLines(c.pml)), c.lines) << c.pml;
}

std::string EReaderRecord0(uint16_t compression, uint16_t nonText, uint16_t footnoteFirst = 0,
                           uint16_t footnoteCount = 0, uint16_t metadata = 0) {
    std::string r(132, '\0');
    auto put = [&](size_t at, uint16_t v) {
        r[at] = static_cast<char>(v >> 8);
        r[at + 1] = static_cast<char>(v & 0xFF);
    };
    put(0, compression);
    put(12, nonText);
    put(28, footnoteCount);
    put(44, metadata);
    put(48, footnoteFirst);
    return r;
}

std::string Zlib(const std::string& s) {
    uLongf size = compressBound(s.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(s.data()), s.size());
    out.resize(size);
    return out;
}

// PalmDoc compression with literal commands only (1..8 bytes each).
std::string PalmDocLiterals(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); i += 8) {
        size_t n = std::min<size_t>(8, s.size() - i);
        out += static_cast<char>(n);
        out += s.substr(i, n);
    }
    return out;
}

std::string Book(std::vector<std::string> records) {
    test::PdbBuilder b;
    b.type = "PNRd";
    b.creator = "PPrs";
    b.records = std::move(records);
    return b.Build();
}

TEST(EReaderBook, BothCompressionsGiveTheSameText) {
    // A command cut between two records still reads whole.
    std::string a = "First \\Bbold\\", b = "B line\\pSecond page";
    std::string meta = std::string("Title\0Author\0Rights\0Publisher\0ISBN", 35);
    for (uint16_t compression : {uint16_t{2}, uint16_t{10}}) {
        auto pack = [&](const std::string& s) { return compression == 10 ? Zlib(s) : PalmDocLiterals(s); };
        std::string bytes = Book({EReaderRecord0(compression, 3, 3, 2, 5), pack(a), pack(b), "index",
                                  pack("Note text\n"), meta});
        ExtractResult r = ExtractBytes(bytes);
        EXPECT_EQ(r.FormatName, "palmdoc");
        EXPECT_EQ(r.Text, "First bold line\nSecond page\nNote text\n") << compression;
        EXPECT_EQ(r.Summary.Title(), u"Title");
        EXPECT_EQ(r.Summary.Author(), u"Author");
    }
}

TEST(EReaderBook, ProtectedBooksAreEncryptedErrors) {
    for (uint16_t drm : {uint16_t{260}, uint16_t{272}})
        EXPECT_THROW(ExtractBytes(Book({EReaderRecord0(drm, 2), "xxxx"})), EEncryptedError) << drm;
    EXPECT_THROW(ExtractBytes(Book({EReaderRecord0(99, 2), "xxxx"})), Exception);
    // A Mobipocket-protected PalmDoc book gave decrypted-looking garbage.
    EXPECT_THROW(Extract(test::DataPath("palmdoc/libmobi_sample-drm-v1_TEXtREAd_encrypted.pdb")), EEncryptedError);
    test::PdbBuilder b;
    std::string rec0 = test::DocRecord0(2, 4, 1);
    rec0[12] = 0, rec0[13] = 2;  // encryption type 2
    b.records = {rec0, PalmDocLiterals("text")};
    EXPECT_THROW(ExtractBytes(b.Build()), EEncryptedError);
}

TEST(EReaderBook, DamagedRecordsEndCleanly) {
    // Corrupt zlib data, records listed past the end, a zero non-text record.
    for (const auto& bytes : {Book({EReaderRecord0(10, 2), "\x78\x9c garbage"}),
                              Book({EReaderRecord0(10, 40), Zlib("x")}), Book({EReaderRecord0(2, 0)})}) {
        try {
            ExtractResult r = ExtractBytes(bytes);
            EXPECT_LE(r.Text.size(), 16u);
        } catch (const Exception&) {
        }
    }
}

TEST(EReaderBook, RealBookGivesThePmlSourceText) {
    std::string truth = test::ReadDataFile("palmdoc/ebooktools_ertest_PNRdPPrs.pdb.truth.txt");
    ExtractResult r = Extract(test::DataPath("palmdoc/ebooktools_ertest_PNRdPPrs.pdb"));
    EXPECT_DOUBLE_EQ(test::InOrderRecall(truth, r.Text), 1.0) << r.Text;
    EXPECT_NE(r.Text.find("I\u2019ve written"), std::string::npos);
    EXPECT_EQ(r.Text.find("TITLE"), std::string::npos);  // hidden text
    EXPECT_EQ(r.Text.find("resonance"), std::string::npos);  // image name
    EXPECT_EQ(r.Summary.Title(), u"eReader Test");
    EXPECT_EQ(r.Summary.Author(), u"Zed Pobre");
}

}  // namespace
}  // namespace quillmark
