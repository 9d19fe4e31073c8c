#include "quillmark/readers/palmdoc_file.h"

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

using test::DocRecord0;
using test::PdbBuilder;
using test::PeanutRecord0;

std::u16string Load(TPalmDocFile& reader, const std::string& bytes) {
    TMemoryStream s(bytes);
    reader.LoadFromStream(s);
    return reader.Text().Text();
}

std::u16string Load(const std::string& bytes) {
    TPalmDocFile reader;
    return Load(reader, bytes);
}

TEST(PalmDocFile, RealBooksGiveEveryWordInOrder) {
    for (const char* name : {"palmdoc/basic_3.pdb", "palmdoc/multi_3.pdb"}) {
        TPalmDocFile reader;
        reader.LoadFromFile(test::DataPath(name));
        // The books hold Windows-1252 text: calibre wrote '?' for characters
        // outside it, so the truth is compared after the same narrowing.
        std::string truth = test::ReadDataFile(std::string(name) + ".truth.txt");
        truth = Utf16ToUtf8(MultiByteToWide(WideToMultiByte(Utf8ToUtf16(truth), 1252), 1252));
        EXPECT_DOUBLE_EQ(test::InOrderRecall(truth, Utf16ToUtf8(reader.Text().Text())), 1.0) << name;
    }
}

TEST(PalmDocFile, CompressedAndStoredCopiesAgree) {
    TPalmDocFile a, b;
    a.LoadFromFile(test::DataPath("palmdoc/txt2pdbdoc-c-t_01.pdb"));
    b.LoadFromFile(test::DataPath("palmdoc/txt2pdbdoc-t_01.pdb"));
    EXPECT_EQ(a.Record0().Version, 1);  // txt2pdbdoc -c writes stored text
    EXPECT_EQ(b.Record0().Version, 2);
    EXPECT_FALSE(a.Text().Text().empty());
    EXPECT_EQ(a.Text().Text(), b.Text().Text());
}

TEST(PalmDocFile, Latin1TextDecodesThroughTheAnsiCodePage) {
    TPalmDocFile reader;
    reader.LoadFromFile(test::DataPath("palmdoc/txt2pdbdoc-t_02.pdb"));
    std::u16string text = reader.Text().Text();
    EXPECT_NE(text.find(u"\u00A1"), std::u16string::npos);  // inverted exclamation mark
    EXPECT_NE(text.find(u"\u00A3"), std::u16string::npos);  // pound sign
}

TEST(PalmDocFile, TextRecordsAreTheOnesRecordZeroCounts) {
    PdbBuilder b;
    b.records = {DocRecord0(1, 6, 2), "one ", "two", "BOOKMARK"};
    // Plain text: the opening and closing lines are empty.
    EXPECT_EQ(Load(b.Build()), u"\r\none two\r\n\r\n");

    // A count larger than the database holds falls back to the listed records.
    b.records[0] = DocRecord0(1, 6, 9);
    EXPECT_EQ(Load(b.Build()), u"\r\none twoBOOKMARK\r\n\r\n");
}

TEST(PalmDocFile, OnlyTheLastRecordRunsToTheEnd) {
    PdbBuilder b;
    b.records = {DocRecord0(1, 0, 1), "first", "meta"};
    std::string bytes = b.Build() + "trailing";
    EXPECT_EQ(Load(bytes), u"\r\nfirst\r\n\r\n");
    b.records[0] = DocRecord0(1, 0, 2);
    EXPECT_EQ(Load(b.Build() + "trailing"), u"\r\nfirstmetatrailing\r\n\r\n");
}

TEST(PalmDocFile, DegenerateDatabases) {
    PdbBuilder onlyRecord0;
    onlyRecord0.records = {DocRecord0(2, 0, 0)};
    TPalmDocFile reader;
    reader.SetTextFormating(tfHTML);
    std::u16string html = Load(reader, onlyRecord0.Build());
    EXPECT_EQ(html, reader.GetTextStart() + u"\r\n\r\n" + reader.GetTextFinish() + u"\r\n");

    PdbBuilder zero;
    zero.declaredCount = 0;
    EXPECT_EQ(Load(zero.Build()), u"\r\n\r\n\r\n");  // an empty book: only the (empty) frame lines

    // Offsets outside the file or running backwards give empty records.
    PdbBuilder bad;
    bad.records = {DocRecord0(1, 0, 3), "aaa", "bbb", "ccc"};
    std::string good = bad.Build();
    uint32_t base = static_cast<uint32_t>(78 + 8 * 4 + 2);
    // A record whose successor's offset is unusable runs to the end of the file.
    bad.offsets = {base, base + 16, 0xFFFFFF00u, base + 22};
    // Each byte of the file is read once: the last record starts inside the
    // text the first one already ran to the end of the file with.
    EXPECT_EQ(Load(bad.Build()), u"\r\naaabbbccc\r\n\r\n");
    bad.offsets = {base, base + 19, base + 16, base + 22};
    EXPECT_EQ(Load(bad.Build()), u"\r\nbbbccc\r\n\r\n");
}

TEST(PalmDocFile, PeanutBooksAreDeobfuscated) {
    auto obfuscate = [](std::string s) {
        for (auto& c : s) c = static_cast<char>(c ^ 0xA5);
        return s;
    };
    PdbBuilder b;
    b.type = "PNRD";
    b.creator = "PPRS";
    b.records = {PeanutRecord0(1, 3), obfuscate("Peanut "), obfuscate("text"), "not text"};
    TPalmDocFile reader;
    EXPECT_EQ(Load(reader, b.Build()), u"\r\nPeanut text\r\n\r\n");
    EXPECT_TRUE(reader.IsPeanutFile());
    EXPECT_EQ(reader.Record0().RecSize, 4096);

    b.type = "PNRd";  // the comparison is exact
    EXPECT_THROW(Load(b.Build()), Exception);
}

TEST(PalmDocFile, RejectsOtherDatabasesWithTheMessage) {
    PdbBuilder b;
    b.type = "BOOK";
    b.creator = "MOBI";
    b.records = {DocRecord0(1, 0, 0)};
    try {
        Load(b.Build());
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Not valid PalmDoc text file.");
    }
    EXPECT_THROW(Load("short"), Exception);
}

TEST(PalmDocFile, WordsStraddlingRecordsStayWhole) {
    PdbBuilder b;
    b.records = {DocRecord0(1, 0, 2), "a spli", "t word"};
    EXPECT_EQ(Load(b.Build()), u"\r\na split word\r\n\r\n");
    // A double-byte character cut between two records decodes whole.
    SetActiveAnsiCodePage(932);
    b.records = {DocRecord0(1, 0, 2), "\x93", "\xfa"};
    std::u16string text = Load(b.Build());
    SetActiveAnsiCodePage(1252);
    EXPECT_EQ(text, u"\r\n\u65E5\r\n\r\n");
}

TEST(PalmDocFile, RecordsAbove64KAreReadWhole) {
    std::string big(70000, 'x');
    big.back() = 'y';
    PdbBuilder b;
    b.records = {DocRecord0(1, 70000, 1), big};
    std::u16string text = Load(b.Build());
    EXPECT_EQ(text.size(), 70006u);  // empty opening line, text, empty closing line
    EXPECT_EQ(text[70001], u'y');
}

TEST(PalmDocFile, OptionsAndRenderings) {
    PdbBuilder b;
    b.records = {DocRecord0(1, 0, 2), "<script>a&b</script> caf\xE9", "second"};
    std::string bytes = b.Build();

    TPalmDocFile html;
    html.SetTextFormating(tfHTML);
    std::u16string h = Load(html, bytes);
    EXPECT_NE(h.find(u"&lt;script&gt;a&amp;b&lt;/script&gt; caf\u00E9"), std::u16string::npos);
    EXPECT_EQ(h.find(u"<script>"), std::u16string::npos);

    TPalmDocFile rtf;
    rtf.SetTextFormating(tfRTF);
    std::u16string r = Load(rtf, bytes);
    EXPECT_NE(r.find(u"caf\\u233?"), std::u16string::npos);
    EXPECT_EQ(r.substr(0, 6), u"{\\rtf1");

    TPalmDocFile noText;
    noText.SetParseItems({wpiSummaryInformation});
    EXPECT_EQ(Load(noText, bytes), u"");

    // The limit stops reading at the record that reaches it; the closing
    // text is still added (and cut by the same limit).
    TPalmDocFile limited;
    int closings = 0;
    limited.SetOnAfterText([&](TMSWBaseDocument&, std::u16string&) { ++closings; });
    limited.SetMaxTextLength(20);
    std::u16string l = Load(limited, bytes);
    EXPECT_EQ(l, u"\r\n<script>a&b</scrip\r\n");  // one line of 20 characters
    EXPECT_EQ(closings, 1);
}

TEST(PalmDocFile, PrefixesAndFlippedBytesNeverCrash) {
    std::string book = test::ReadDataFile("palmdoc/basic_3.pdb");
    for (size_t len = 0; len <= book.size(); len += 7) {
        try {
            Load(book.substr(0, len));
        } catch (const Exception&) {
        }
    }
    for (size_t i = 0; i < book.size(); i += 3) {
        std::string flipped = book;
        flipped[i] = static_cast<char>(flipped[i] ^ 0xFF);
        try {
            Load(flipped);
        } catch (const Exception&) {
        }
    }
}

}  // namespace
}  // namespace quillmark
