// List labels of binary Word documents: real documents against the labels
// LibreOffice prints for them, hostile list tables patched into a real
// document, the shared label engine, and the phonetic-guide EQ field.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/word/list_labels.h"
#include "quillmark/word/word_bin_file.h"
#include "support/test_support.h"
#include "support/word_doc_builder.h"

namespace quillmark {
namespace {

// The main text's paragraphs, one per line (the reader adds the whole text
// as one line of its list).
std::vector<std::u16string> Paragraphs(const TWordBinFile& doc) {
    std::u16string all;
    for (const std::u16string& l : doc.Text().Lines()) all += l;
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(u"\r\n", start);
        if (end == std::u16string::npos) end = all.size();
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::u16string> FileLines(const std::string& name, TMSTextFormating format = tfPlainText) {
    TWordBinFile doc;
    doc.SetTextFormating(format);
    doc.LoadFromFile(test::DataPath("word/" + name));
    return Paragraphs(doc);
}

// The labels below are what LibreOffice prints for these files (soffice
// --headless --convert-to txt:Text), each with the start of its paragraph.
// Our label is followed by the level's follow character (a tab in all of
// these), LibreOffice's by a space.
TEST(DocListsReal, LabelsMatchLibreOffice) {
    struct Item {
        const char16_t* label;
        const char16_t* text;
    };
    struct File {
        const char* name;
        std::vector<Item> items;
    };
    const File files[] = {
        {"poi_Lists.doc",
         {{u"•", u"Unordered list"}, {u"•", u"UL 2"},        {u"•", u"UL 3"},        {u"1.", u"Ordered list 1"},
          {u"2.", u"OL 2"},          {u"3.", u"OL 3"},        {u"•", u"Tick 1"},      {u"•", u"Tick 2"},
          {u"•", u"ML 1:1"},         {u"•", u"ML 1:2"},       {u"◦", u"ML 2:1"},      {u"◦", u"ML 2:2"},
          {u"◦", u"ML 2:3"},         {u"▪", u"ML 3:1"},       {u"•", u"ML 4:1"},      {u"◦", u"ML 5:1"},
          {u"◦", u"ML 5:2"},         {u"◦", u"ML 2:4"},       {u"•", u"ML 1:3"},      {u"1.", u"OL 1"},
          {u"2.", u"OL 2"},          {u"2.1.", u"OL 2.1"},    {u"2.2.", u"OL 2.2"},   {u"2.2.1.", u"OL 2.2.1"},
          {u"2.2.2.", u"OL 2.2.2"},  {u"2.2.2.1.", u"OL 2.2.2.1"}, {u"2.2.3.", u"OL 2.2.3"}, {u"3.", u"OL 3"}}},
        {"tika_testWORD_various.doc",
         {{u"•", u"Bullet 1"},
          {u"•", u"Bullet 2"},
          {u"•", u"Bullet 3"},
          {u"1)", u"Number bullet 1"},
          {u"2)", u"Number bullet 2"},
          {u"3)", u"Number bullet 3"}}},
        {"tika_testWORD_numbered_list.doc",
         {{u"1)", u"This"},        {u"a)", u"Is"},          {u"i)", u"A multi"},    {u"ii)", u"Level"},
          {u"1.", u"Within cell 1"}, {u"a.", u"Cell a"},     {u"b.", u"Cell b"},     {u"iii)", u"List"},
          {u"2)", u"foo"},         {u"i)", u"bar"},         {u"ii)", u"baz"},       {u"I.", u"yet"},
          {u"a)", u"another"},     {u"i)", u"list"},        {u"ii)", u"foo"},       {u"II.", u"bar"},
          {u"a)", u"baz"},         {u"(1)", u"baq"},        {u"6.", u"six"},        {u"7.", u"seven"},
          {u"a.", u"seven a"},     {u"e.", u"seven e"},     {u"f.", u"seven f"},    {u"1.", u"list 1"},
          {u"2.", u"list 2"},      {u"A.", u"A"},           {u"i.", u"A i"},        {u"ii.", u"A ii"},
          {u"a.", u"A ii a"},      {u"b.", u"A ii b"},      {u"2.", u"A ii 2"},     {u"3.", u"page break list 3"},
          {u"Some-1-CrazyFormat", u"Greek numbering with crazy format - alpha"},
          {u"Some-2-CrazyFormat", u"Greek numbering with crazy format - beta"},
          {u"1.", u"1"},           {u"1.1.1.", u"1.1.1"},   {u"1.1.", u"1.2->1.1"}, {u"1.2.", u"1.3 -> 1.2"},
          {u"2.", u"2."},          {u"2.1.", u"2.1"}}},
    };
    for (const File& file : files) {
        SCOPED_TRACE(file.name);
        std::vector<std::u16string> lines = FileLines(file.name);
        size_t next = 0;
        for (const Item& item : file.items) {
            std::u16string want = std::u16string(item.label) + u"\t" + item.text;
            // In a table the label follows the previous cell's separator.
            auto found = std::find_if(lines.begin() + static_cast<long>(next), lines.end(), [&](const std::u16string& l) {
                return l.starts_with(want) || l.find(u" " + want) != std::u16string::npos;
            });
            ASSERT_NE(found, lines.end()) << Utf16ToUtf8(want);
            next = static_cast<size_t>(found - lines.begin()) + 1;
        }
    }
}

TEST(DocListsReal, LabelsInEveryRendering) {
    std::vector<std::u16string> html = FileLines("poi_Lists.doc", tfHTML);
    std::vector<std::u16string> rtf = FileLines("poi_Lists.doc", tfRTF);
    auto has = [](const std::vector<std::u16string>& lines, std::u16string_view s) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::u16string& l) { return l.find(s) != l.npos; });
    };
    EXPECT_TRUE(has(html, u"2.2.1.\tOL 2.2.1"));
    EXPECT_TRUE(has(rtf, u"2.2.1.\tOL 2.2.1"));
}

// --- hostile list tables, patched into a real document --------------------

struct Streams {
    std::string word, table;
};

Streams ListStreams() {
    auto file = TCompoundFile::Open(test::ReadDataFile("word/poi_Lists.doc"));
    Streams s;
    s.word = file->Root().ReadStream(u"WordDocument");
    s.table = file->Root().ReadStream(file->Root().HasStream(u"1Table") ? u"1Table" : u"0Table");
    return s;
}

std::vector<std::u16string> StreamLines(const Streams& s) {
    TWordBinFile doc;
    doc.ReadDocFromStream(s.word, std::string_view(s.table));
    return Paragraphs(doc);
}

uint32_t Le32(const std::string& b, size_t off) {
    return static_cast<uint8_t>(b[off]) | static_cast<uint8_t>(b[off + 1]) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[off + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[off + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t off) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[off]) | static_cast<uint8_t>(b[off + 1]) << 8);
}

// The FIB's (fc, lcb) pairs of the list tables.
constexpr size_t kFcPlfLst = 738, kLcbPlfLst = 742, kFcPlfLfo = 746, kLcbPlfLfo = 750;

// Offsets in the table stream of every LVL (after the list records).
std::vector<size_t> LevelOffsets(const Streams& s) {
    size_t at = Le32(s.word, kFcPlfLst);
    uint16_t lists = Le16(s.table, at);
    std::vector<size_t> levels;
    size_t lvl = at + 2 + 28u * lists;
    for (uint16_t i = 0; i < lists; ++i) {
        bool simple = s.table[at + 2 + 28u * i + 26] & 1;
        for (int k = 0; k < (simple ? 1 : 9); ++k) {
            levels.push_back(lvl);
            size_t cch = Le16(s.table, lvl + 28 + static_cast<uint8_t>(s.table[lvl + 24]) +
                                            static_cast<uint8_t>(s.table[lvl + 25]));
            lvl += 28 + static_cast<uint8_t>(s.table[lvl + 24]) + static_cast<uint8_t>(s.table[lvl + 25]) + 2 + 2 * cch;
        }
    }
    return levels;
}

// Every line of a damaged document is its line without lists, with at most
// a bounded label in front.
void ExpectOnlyLabelsAdded(const std::vector<std::u16string>& got, const std::vector<std::u16string>& plain) {
    ASSERT_EQ(got.size(), plain.size());
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(got[i].ends_with(plain[i])) << Utf16ToUtf8(got[i]);
        EXPECT_LE(got[i].size() - plain[i].size(), kMaxListLabel + 1);
    }
}

TEST(DocListsHostile, DamagedTablesCostLabelsNotText) {
    const Streams original = ListStreams();
    Streams noLists = original;
    test::PutLe32(noLists.word, kLcbPlfLfo, 0);
    const std::vector<std::u16string> plain = StreamLines(noLists);
    ASSERT_GT(plain.size(), 30u);
    for (const std::u16string& l : plain) ASSERT_EQ(l.find(u'\t'), std::u16string::npos);
    const std::vector<std::u16string> good = StreamLines(original);
    ExpectOnlyLabelsAdded(good, plain);

    const size_t lst = Le32(original.word, kFcPlfLst), lfo = Le32(original.word, kFcPlfLfo);
    auto patchAll = [](std::string& b, std::string_view pattern, uint16_t value) {
        for (size_t at = b.find(pattern); at != std::string::npos; at = b.find(pattern, at + 1))
            test::PutLe16(b, at + pattern.size(), value);
    };
    struct Case {
        const char* name;
        std::function<void(Streams&)> patch;
        size_t labelled;  // lines that keep a label
    };
    const Case cases[] = {
        {"list count larger than the stream", [&](Streams& s) { test::PutLe16(s.table, lst, 0x7FFF); }, 0},
        {"negative list count", [&](Streams& s) { test::PutLe16(s.table, lst, 0x8000); }, 0},
        {"override count larger than the stream", [&](Streams& s) { test::PutLe32(s.table, lfo, 0xFFFFFFFF); }, 0},
        {"list tables outside the stream",
         [&](Streams& s) {
             test::PutLe32(s.word, kFcPlfLst, 0xFFFFFFF0);
             test::PutLe32(s.word, kFcPlfLfo, 0xFFFFFFF0);
             test::PutLe32(s.word, kLcbPlfLst, 0xFFFFFFFF);
         },
         0},
        {"overrides naming no list", [&](Streams& s) { for (size_t i = 0; i < 5; ++i) test::PutLe32(s.table, lfo + 4 + 16 * i, 0); }, 0},
        // sprmPIlfo (0x460B) and sprmPIlvl (0x260A) operands in the pages.
        {"ilfo out of range", [&](Streams& s) { patchAll(s.word, std::string("\x0b\x46", 2), 0x7FF0); }, 0},
        {"negative ilfo", [&](Streams& s) { patchAll(s.word, std::string("\x0b\x46", 2), 0xFFFF); }, 0},
        {"level above 8",
         [&](Streams& s) {
             for (size_t at = s.word.find(std::string("\x0a\x26", 2)); at != std::string::npos;
                  at = s.word.find(std::string("\x0a\x26", 2), at + 1))
                 s.word[at + 2] = 0x20;
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Streams s = original;
        c.patch(s);
        std::vector<std::u16string> got;
        ASSERT_NO_THROW(got = StreamLines(s));
        ExpectOnlyLabelsAdded(got, plain);
        size_t labelled = std::count_if(got.begin(), got.end(), [](const std::u16string& l) { return l.find(u'\t') != l.npos; });
        EXPECT_EQ(labelled, c.labelled);
    }
}

TEST(DocListsHostile, HugeNumbersControlCharactersAndCutLevels) {
    const Streams original = ListStreams();
    Streams noLists = original;
    test::PutLe32(noLists.word, kLcbPlfLfo, 0);
    const std::vector<std::u16string> plain = StreamLines(noLists);
    std::vector<size_t> levels = LevelOffsets(original);
    ASSERT_EQ(levels.size(), 45u);

    // Every level starts at the largest number and its text holds paragraph
    // and field marks: counters saturate, marks never reach the text.
    Streams s = original;
    for (size_t lvl : levels) {
        test::PutLe32(s.table, lvl, 0x7FFFFFFF);
        s.table[lvl + 4] = 3;  // upper letter: too large to spell, so decimal
        size_t xst = lvl + 28 + static_cast<uint8_t>(s.table[lvl + 24]) + static_cast<uint8_t>(s.table[lvl + 25]);
        if (Le16(s.table, xst) >= 2) {
            test::PutLe16(s.table, xst + 2, 0);    // level 0's number
            test::PutLe16(s.table, xst + 4, 13);   // a paragraph mark
            if (Le16(s.table, xst) >= 3) test::PutLe16(s.table, xst + 6, 19);  // a field begin
        }
    }
    std::vector<std::u16string> got = StreamLines(s);
    ExpectOnlyLabelsAdded(got, plain);
    EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](const std::u16string& l) { return l.starts_with(u"2000000000\t"); }));

    // The last level's text claims more characters than the stream holds.
    Streams cut = original;
    size_t last = levels.back();
    size_t xst = last + 28 + static_cast<uint8_t>(cut.table[last + 24]) + static_cast<uint8_t>(cut.table[last + 25]);
    ASSERT_LT(cut.table.size() - xst, 2u * 0xFFFF);
    test::PutLe16(cut.table, xst, 0xFFFF);
    ASSERT_NO_THROW(got = StreamLines(cut));
    ExpectOnlyLabelsAdded(got, plain);
}

TEST(DocListsHostile, RandomDamageInTheListTables) {
    const Streams original = ListStreams();
    Streams noLists = original;
    test::PutLe32(noLists.word, kLcbPlfLfo, 0);
    const std::vector<std::u16string> plain = StreamLines(noLists);
    // The list and override tables and the levels between them; the piece
    // table must lie elsewhere for the text to stay the same.
    size_t from = Le32(original.word, kFcPlfLst);
    size_t to = Le32(original.word, kFcPlfLfo) + Le32(original.word, kLcbPlfLfo);
    size_t clx = Le32(original.word, 418);
    ASSERT_TRUE(clx >= to || clx + Le32(original.word, 422) <= from);
    std::mt19937 rng(20);
    for (int round = 0; round < 1500; ++round) {
        Streams s = original;
        for (int k = 0; k < 1 + round % 6; ++k)
            s.table[from + rng() % (to - from)] ^= static_cast<char>(1 + rng() % 255);
        std::vector<std::u16string> got;
        ASSERT_NO_THROW(got = StreamLines(s));
        ExpectOnlyLabelsAdded(got, plain);
    }
}

// --- the label engine -----------------------------------------------------

TEST(ListLabels, CountersRestartsAndTemplates) {
    auto level = [](TListNumberFormat format, std::u16string text, int64_t start = 1, int restart = -1) {
        TListLevel l;
        l.Defined = true;
        l.Format = format;
        l.Template = std::move(text);
        l.Start = start;
        l.Restart = restart;
        return l;
    };
    using F = TListNumberFormat;
    TListLevels levels;
    levels[0] = level(F::UpperRoman, std::u16string(1, u'\0') + u".");
    levels[1] = level(F::LowerLetter, std::u16string(1, u'\0') + u"." + std::u16string(1, u'\1') + u")", 3);
    levels[2] = level(F::Decimal, std::u16string(1, u'\2'), 1, 0);  // never restarts
    levels[3] = level(F::DecimalZero, std::u16string(1, u'\3'), 1, 1);  // restarts only after level 0
    levels[4] = level(F::Bullet, u"\uF0B7");
    struct Step {
        int level;
        const char16_t* label;  // null: no label
    };
    const Step steps[] = {
        // A level used before its parent: the parent shows its start value
        // and counts as used at it, so its own first use shows the next.
        {1, u"I.c)"},  {0, u"II."},   {1, u"II.c)"}, {1, u"II.d)"}, {2, u"1"},   {3, u"01"}, {1, u"II.e)"},
        {2, u"2"},     // level 2 never restarts
        {3, u"02"},    // level 3 restarts only after level 0
        {0, u"III."},  {3, u"01"},    {4, u"•"},     {5, nullptr},  {9, nullptr}, {-1, nullptr},
    };
    TListCounters counters;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.level);
        std::optional<TListLabel> label = counters.Next(levels, step.level);
        if (!step.label) {
            EXPECT_FALSE(label);
            continue;
        }
        ASSERT_TRUE(label);
        EXPECT_EQ(label->Text, step.label);
    }
    // Legal numbering shows every number in decimal.
    levels[1].Legal = true;
    counters.RestartAll();
    EXPECT_EQ(counters.Next(levels, 1)->Text, u"1.3)");
}

// --- the phonetic guide -----------------------------------------------------

TEST(DocListsFields, PhoneticGuideShowsItsBaseText) {
    struct Case {
        std::u16string field;
        std::u16string shown;
    };
    const Case cases[] = {
        {u"\x13 EQ \\* jc2 \\* \"Font:MS 明朝\" \\* hps10 \\o\\ad(\\s\\up 9(とうきょう),東京)\x15", u"東京"},
        {u"\x13 eq \\o\\ac(\\s\\up 5(a),(b))\x15", u"(b)"},
        {u"\x13 EQ \\f(1,2)\x15", u""},                  // other equations show nothing
        {u"\x13 EQ \\o\\ad(\\s\\up 9(x),unclosed\x15", u""},
        {u"\x13 EQUATION \\o(a,b)\x15", u""},            // not an EQ field
        {u"\x13 EQ \\o(a,b)\x14shown\x15", u"shown"},     // a result is shown as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.field));
        TWordBinFile doc;
        doc.AddText(u"[" + c.field + u"]", doc.Text());
        ASSERT_EQ(doc.Text().Count(), 1);
        EXPECT_EQ(doc.Text()[0], u"[" + c.shown + u"]");
    }
    std::vector<std::u16string> lines = FileLines("tika_testWORD_phonetic.doc");
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), u"東京") != lines.end());
}

}  // namespace
}  // namespace quillmark
