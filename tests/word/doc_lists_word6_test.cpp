// Word 6/95 autonumbering: documents made by tests/tools/make_word95_lists.py
// against the labels LibreOffice prints for them, hostile descriptors and
// property pages, and the labels' charge on the work budget (both the Word 6
// and the Word 97 path).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/word/list_labels.h"
#include "quillmark/word/word_bin_file.h"
#include "support/test_support.h"
#include "support/word_doc_builder.h"

namespace quillmark {
namespace {

std::vector<std::u16string> SplitParagraphs(const TWordBinFile& doc) {
    std::u16string all;
    for (const std::u16string& l : doc.Text().Lines()) all += l;
    std::vector<std::u16string> lines;
    for (size_t start = 0; start < all.size();) {
        size_t end = std::min(all.find(u"\r\n", start), all.size());
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::u16string> StreamParagraphs(const std::string& word) {
    TWordBinFile doc;
    doc.ReadDocFromStream(word, std::nullopt);
    return SplitParagraphs(doc);
}

// Every paragraph of both files with the label LibreOffice prints (soffice
// --headless --convert-to txt:Text, label then a space) and ours (label then
// a tab). They differ where LibreOffice's label is not Word's or not simple:
//  - a descriptor that changes within a run: LibreOffice keeps the run's
//    first format; we give no label rather than guess;
//  - ordinal format: Word shows "21st", LibreOffice "21.";
//  - outline levels (nLvlAnm 1..9) depend on the section's outline list: no
//    label here;
//  - a bullet (format 23) in an ordinary font: LibreOffice adds a number
//    ("-1"), Word shows the bullet ("-").
TEST(DocListsWord6, LabelsMatchLibreOffice) {
    struct Para {
        const char16_t* lo;    // LibreOffice's label ("" none)
        const char16_t* ours;  // ours
        const char16_t* text;
    };
    const std::vector<std::pair<const char*, std::vector<Para>>> files = {
        {"word95_numbered.doc",
         {{u"", u"", u"Numbered paragraphs"},
          {u"1.", u"1.", u"First decimal"},
          {u"2.", u"2.", u"Second decimal"},
          {u"3.", u"3.", u"Third decimal"},
          {u"", u"", u"Plain paragraph"},
          {u"(I)", u"(I)", u"Roman one"},
          {u"(II)", u"(II)", u"Roman two"},
          {u"", u"", u"Between"},
          {u"iii:", u"iii:", u"Lower roman from three"},
          {u"iv:", u"iv:", u"Next lower roman"},
          {u"", u"", u"Skipped one"},
          {u"v:", u"v:", u"After the skipped one"},
          {u"", u"", u"Between again"},
          {u"Item A -", u"Item A -", u"Upper letter a"},
          {u"Item B -", u"Item B -", u"Upper letter b"},
          {u"Item C -", u"", u"Format changes in the run"},
          {u"", u"", u"Plain again"},
          {u"y)", u"y)", u"Lower letter"},
          {u"z)", u"z)", u"Lower letter next"},
          {u"aa)", u"aa)", u"Lower letter third"},
          {u"", u"", u"Plain once more"},
          {u"21.", u"21st", u"Ordinal"},
          {u"22.", u"22nd", u"Ordinal next"},
          {u"1.", u"", u"Outline level"},
          {u"", u"", u"Numbered by its style"},
          {u"", u"", u"Numbered by its style too"},
          {u"", u"", u"End of numbered"}}},
        {"word95_bullets.doc",
         {{u"", u"", u"Bulleted paragraphs"},
          {u"•", u"•", u"Symbol bullet one"},
          {u"•", u"•", u"Symbol bullet two"},
          {u"", u"", u"Plain"},
          {u"-1", u"-", u"Dash bullet"},
          {u"-2", u"-", u"Dash bullet two"},
          {u"5.", u"5.", u"Numbered after bullets"},
          {u"6.", u"6.", u"Numbered next"},
          {u"", u"", u"The end"}}},
    };
    size_t same = 0, total = 0;
    for (const auto& [name, paras] : files) {
        SCOPED_TRACE(name);
        TWordBinFile doc;
        doc.LoadFromFile(test::DataPath(std::string("word/") + name));
        ASSERT_EQ(doc.DocVersion(), 7);
        std::vector<std::u16string> lines = SplitParagraphs(doc);
        ASSERT_EQ(lines.size(), paras.size());
        for (size_t i = 0; i < paras.size(); ++i) {
            const Para& p = paras[i];
            std::u16string want = *p.ours ? std::u16string(p.ours) + u"\t" + p.text : std::u16string(p.text);
            EXPECT_EQ(Utf16ToUtf8(lines[i]), Utf16ToUtf8(want));
            if (*p.lo || *p.ours) {
                ++total;
                same += std::u16string_view(p.lo) == p.ours;
            }
        }
    }
    // Paragraphs labelled by either, and those where the labels agree.
    EXPECT_EQ(total, 23u);
    EXPECT_EQ(same, 17u);
}

// --- hostile descriptors ----------------------------------------------------

std::string Le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16)); }

std::string Anld(uint8_t nfc, const std::string& before, const std::string& after, uint16_t start = 1) {
    std::string a(52, '\0');
    a[0] = static_cast<char>(nfc);
    a[1] = static_cast<char>(before.size());
    a[2] = static_cast<char>(after.size());
    test::PutLe16(a, 10, start);
    a.replace(20, std::min<size_t>(32, before.size() + after.size()), (before + after).substr(0, 32));
    return a;
}

// sprmPAnld, then sprmPNLvlAnm.
std::string Numbering(const std::string& anld, uint8_t kind = 10) {
    return std::string(1, '\x0c') + static_cast<char>(anld.size()) + anld + '\x0d' + static_cast<char>(kind);
}

// A Word 95 stream: the text at 768, then one paragraph page with one run
// over the whole text, so that every paragraph has `grpprl`.
std::string Word6Numbered(const std::string& text, const std::string& grpprl) {
    std::string b = test::Word6Document(text, 104, 0x0409);
    b.resize((b.size() + 511) / 512 * 512, '\0');
    const auto pn = static_cast<uint16_t>(b.size() / 512);
    const auto fc0 = uint32_t{768}, fc1 = static_cast<uint32_t>(768 + text.size());
    std::string page(512, '\0');
    test::PutLe32(page, 0, fc0);
    test::PutLe32(page, 4, fc1);
    std::string papx = std::string(2, '\0') + grpprl;  // istd 0
    if (papx.size() % 2) papx += '\0';
    size_t at = (510 - papx.size()) & ~size_t{1};
    page[at] = static_cast<char>(papx.size() / 2);
    page.replace(at + 1, papx.size(), papx);
    page[8] = static_cast<char>(at / 2);
    page[511] = 1;
    b += page;
    test::PutLe32(b, 192, static_cast<uint32_t>(b.size()));
    test::PutLe32(b, 196, 10);
    b += Le32(fc0) + Le32(fc1) + Le16(pn);
    return b;
}

TEST(DocListsWord6, HostileDescriptorsGiveNoLabelOrABoundedOne) {
    const std::string text = "one\rtwo\rthree\r";
    const std::vector<std::u16string> plain = {u"one", u"two", u"three"};
    struct Case {
        const char* name;
        std::string grpprl;
        std::vector<std::u16string> labels;  // per paragraph, "" none
    };
    const std::string good = Anld(0, "<", ">", 7);
    std::string wideText = Anld(4, "", ")");
    wideText[1] = 30, wideText[2] = 3;  // 33 characters of text in 32 bytes
    std::string controls = Anld(0, std::string("\x01\x0d", 2), std::string("\x13.", 2));
    std::string bigStart = Anld(1, "", "", 0xFFFF);  // roman, too large to spell
    const Case cases[] = {
        {"good", Numbering(good), {u"<7>", u"<8>", u"<9>"}},
        {"unknown format number", Numbering(Anld(200, "", ".")), {u"1.", u"2.", u"3."}},
        {"bullet in an ordinary font", Numbering(Anld(23, "*", ""), 11), {u"*", u"*", u"*"}},
        {"descriptor cut short", std::string("\x0c\x20", 2) + good.substr(0, 32) + "\x0d\x0a", {u"", u"", u""}},
        {"descriptor longer than its sprm's bytes", std::string("\x0c\xff", 2) + good, {u"", u"", u""}},
        {"text counts beyond the text", Numbering(wideText), {u"", u"", u""}},
        {"control characters in the text", Numbering(controls), {u"1.", u"2.", u"3."}},
        {"start beyond roman numerals", Numbering(bigStart), {u"65535", u"65536", u"65537"}},
        {"unknown sprm before the numbering", std::string("\xfe\x01", 2) + Numbering(good), {u"", u"", u""}},
        {"no descriptor", "\x0d\x0a", {u"", u"", u""}},
        {"outline level", Numbering(good, 3), {u"", u"", u""}},
        {"skipped paragraphs with no run", Numbering(good, 12), {u"", u"", u""}},
        {"in a table", Numbering(good) + "\x18\x01", {u"", u"", u""}},
        {"a later sprm wins", Numbering(good) + "\x0d\x00", {u"", u"", u""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::u16string> got;
        ASSERT_NO_THROW(got = StreamParagraphs(Word6Numbered(text, c.grpprl)));
        ASSERT_EQ(got.size(), plain.size());
        for (size_t i = 0; i < got.size(); ++i) {
            std::u16string label = c.labels[i];
            EXPECT_EQ(Utf16ToUtf8(got[i]), Utf16ToUtf8(label.empty() ? plain[i] : label + u"\t" + plain[i]));
        }
    }
}

// --- the work budget --------------------------------------------------------

// Twenty thousand one-character paragraphs share one descriptor with 32
// characters of text: the labels are far larger than the file. Within the
// usual limits they are all built; with a tighter bound on decoded bytes the
// load ends with the limit error naming them (not swallowed as a damaged
// list, and not after building them all).
TEST(DocListsWord6, LabelsAreChargedToTheWorkBudget) {
    const std::string word = Word6Numbered(std::string(20000, '\r'), Numbering(Anld(0, std::string(16, 'x'), std::string(16, 'y'))));
    {
        TWorkBudgetScope scope(TWorkLimits{}, word.size());
        std::vector<std::u16string> got = StreamParagraphs(word);
        ASSERT_EQ(got.size(), 20000u);
        EXPECT_EQ(Utf16ToUtf8(got.back()), std::string(16, 'x') + "20000" + std::string(16, 'y') + "\t");
    }
    TWorkLimits tight;
    tight.DecodedPerInputByte = 16;
    tight.DecodedBase = 0;
    TWorkBudgetScope scope(tight, word.size());
    try {
        StreamParagraphs(word);
        FAIL() << "no limit error";
    } catch (const ELimitError& e) {
        EXPECT_NE(std::string(e.what()).find("list labels"), std::string::npos) << e.what();
    }
}

// The Word 97 path: an override table claiming 100000 overrides (zeros
// appended to the table stream so that the count fits) is charged before
// anything is built for it.
TEST(DocListsWord6, Word97OverrideCountsAreCharged) {
    auto file = TCompoundFile::Open(test::ReadDataFile("word/poi_Lists.doc"));
    const std::string word = file->Root().ReadStream(u"WordDocument");
    const std::u16string tableName = file->Root().HasStream(u"1Table") ? u"1Table" : u"0Table";
    std::string table = file->Root().ReadStream(tableName);
    TWorkLimits limits;
    limits.ItemsPerInputByte = 0;
    limits.ItemsBase = 50000;
    auto load = [&](const std::string& w, const std::string& t) {
        TWorkBudgetScope scope(limits, w.size() + t.size());
        TWordBinFile doc;
        doc.ReadDocFromStream(w, std::string_view(t));
        return SplitParagraphs(doc);
    };
    std::vector<std::u16string> lines = load(word, table);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::u16string& l) { return l == u"2.2.1.\tOL 2.2.1"; }));

    // The override table moves to the end of the stream and claims 100000
    // overrides.
    std::string w = word;
    const size_t at = table.size();
    table += Le32(100000) + std::string(16 * 100000, '\0');
    test::PutLe32(w, 746, static_cast<uint32_t>(at));
    test::PutLe32(w, 750, static_cast<uint32_t>(table.size() - at));
    EXPECT_THROW(load(w, table), ELimitError);
}

}  // namespace
}  // namespace quillmark
