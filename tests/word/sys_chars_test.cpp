#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmark/word/word_bin_file.h"

namespace quillmark {
namespace {

struct Event {
    TDTWordSysChar kind;
    std::u16string value;
};

// Converts one string the way the reader converts document text.
std::u16string Convert(const std::u16string& text, TMSTextFormating format = tfPlainText,
                       std::vector<Event>* events = nullptr) {
    TWordBinFile doc;
    doc.SetTextFormating(format);
    if (events)
        doc.SetOnConvertSysChar([events](TMSWBaseDocument&, TDTWordSysChar k, const std::u16string& v,
                                         std::u16string&) { events->push_back({k, v}); });
    doc.AddText(text, doc.Text());
    EXPECT_EQ(doc.Text().Count(), 1);
    return doc.Text().Get(0);
}

const std::u16string kBegin(1, u'\x13'), kSep(1, u'\x14'), kEnd(1, u'\x15');

TEST(SysChars, MarksRenderPerFormat) {
    struct Case {
        std::u16string in;
        TMSTextFormating format;
        std::u16string out;
    } cases[] = {
        // Two cells ending a row: the cell mark reads as a space, the row end
        // as CR and the following mark as LF.
        {u"a\x07" u"b\x07\x07", tfPlainText, u"a b\r\n"},
        {u"a\x07" u"b\x07\x07", tfHTML, u"a b<br>\r\n\n"},
        {u"a\x07" u"b\x07\x07", tfRTF, u"a b\r\n\\par \n"},
        {u"x\ry", tfPlainText, u"x\r\ny"},
        {u"x\ry", tfHTML, u"x<p></p>\r\ny"},
        {u"x\ry", tfRTF, u"x\r\n\\par y"},
        {u"x\x0By", tfPlainText, u"x\r\ny"},
        {u"x\x0By", tfHTML, u"x<br>\r\ny"},
        {u"x\x0By", tfRTF, u"x\r\n\\par y"},
        {u"a\tb", tfPlainText, u"a\tb"},
        // Dropped characters: 0, 1, 2, 3, 5, 6, 8, 12, 31.
        {std::u16string(u"a\0\x01\x02\x03\x05\x06\x08\x0C\x1F" u"b", 11), tfPlainText, u"ab"},
        // Document text is escaped; the renderings of marks are not.
        {u"<a & b>\r", tfHTML, u"&lt;a &amp; b&gt;<p></p>\r\n"},
        {u"{\\}\r", tfRTF, u"\\{\\\\\\}\r\n\\par "},
        {u"caf\u00E9", tfRTF, u"caf\\u233?"},
    };
    for (const Case& c : cases) EXPECT_EQ(Convert(c.in, c.format), c.out) << int(c.format);
}

TEST(SysChars, FieldReadsAsItsResultWithEventsInOrder) {
    std::vector<Event> events;
    EXPECT_EQ(Convert(u"p" + kBegin + u"PAGE" + kSep + u"3" + kEnd + u"q", tfPlainText, &events), u"p3q");
    std::vector<std::pair<TDTWordSysChar, std::u16string>> got;
    for (auto& e : events) got.emplace_back(e.kind, e.value);
    std::vector<std::pair<TDTWordSysChar, std::u16string>> want = {
        {scFieldBegin, kBegin}, {scFieldMiddle, kSep}, {scFieldEnd, kEnd}, {scPage, u"PAGE"}};
    EXPECT_EQ(got, want);
}

TEST(SysChars, FieldKeywordsAndSeparators) {
    struct Case {
        std::u16string code;  // between the begin and end marks
        std::u16string out;
        TDTWordSysChar kind;
    } cases[] = {
        {u" HYPERLINK \"http://x.org\" " + kSep + u"Click", u"Click", scHyperlink},
        {u"PAGEREF _Ref1 \\h " + kSep + u"7", u"7", scPage},
        {u"numpages" + kSep + u"12", u"12", scNumPages},  // keywords match in any case
        {u"TIME \\@ \"HH:mm\"" + kSep + u"12:18", u"12:18", scTime},
        {u"DATE" + kSep + u"today", u"today", scUnknown},
        {u"SEQ TEXT_BOX" + kSep + u"1", u"1", scTextField},
        {u"TOC \\o \"1-3\"" + kSep + u"Contents", u"Contents", scTOC},
        // A doubled separator: the result starts after the second one.
        {u"PAGE" + kSep + kSep + u"5", u"5", scPage},
        // Without a separator the field shows nothing; the keyword still
        // ends at the first switch.
        {u"XE \"term\" \\b", u"", scUnknown},
        {u"PAGE \\* MERGEFORMAT", u"", scPage},
    };
    for (const Case& c : cases) {
        std::vector<Event> events;
        EXPECT_EQ(Convert(u"[" + kBegin + c.code + kEnd + u"]", tfPlainText, &events), u"[" + c.out + u"]");
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().kind, c.kind);
    }
}

TEST(SysChars, FieldWithoutSeparatorOrSwitchReadsAsNothingAndRaisesNoKind) {
    std::vector<Event> events;
    EXPECT_EQ(Convert(u"a" + kBegin + u"SYMBOL 183" + kEnd + u"b", tfPlainText, &events), u"ab");
    EXPECT_EQ(events.back().kind, scFieldEnd);
}

TEST(SysChars, EmbedReadsAsNothingUnlessTheHandlerSuppliesText) {
    std::u16string in = u"a" + kBegin + u" EMBED Equation.3 " + kSep + u"\x01" + kEnd + u"b";
    EXPECT_EQ(Convert(in), u"ab");
    TWordBinFile doc;
    doc.SetOnConvertSysChar([](TMSWBaseDocument&, TDTWordSysChar k, const std::u16string& v, std::u16string& r) {
        if (k == scEmbed) r = u"<" + v + u">";
    });
    doc.AddText(in, doc.Text());
    EXPECT_EQ(doc.Text().Get(0), u"a<EMBED Equation.3>b");
}

TEST(SysChars, NestedFieldFinishesTheOuterOne) {
    // { HYPERLINK { PAGE } ... }: the inner begin ends the outer field, which
    // had no separator yet and so shows nothing; the inner one shows 4.
    std::vector<Event> events;
    std::u16string in = kBegin + u"HYPERLINK \\l " + kBegin + u"PAGE" + kSep + u"4" + kEnd + u"x" + kEnd;
    EXPECT_EQ(Convert(in, tfPlainText, &events), u"4x");
    int ends = 0;
    for (auto& e : events) ends += e.kind == scFieldEnd;
    EXPECT_EQ(ends, 3);
}

TEST(SysChars, LongFieldIsFlushedAfter200Pieces) {
    std::u16string code(201, u'z');
    std::u16string out = Convert(kBegin + u"QUOTE " + code + kSep + u"r" + kEnd);
    // The begin mark and 200 more characters were collected; the flush
    // writes an en dash and the collected text without its begin mark.
    std::u16string collected = (u"QUOTE " + code + kSep).substr(0, 200);
    ASSERT_GE(out.size(), 201u);
    EXPECT_EQ(out.substr(0, 201), u"\u2013" + collected);
    // A field still open at the end of the text is flushed the same way.
    EXPECT_EQ(Convert(u"a" + kBegin + u"PAGE"), u"a\u2013PAGE");
}

TEST(SysChars, HandlerReplacesRenderings) {
    TWordBinFile doc;
    doc.SetOnConvertSysChar([](TMSWBaseDocument&, TDTWordSysChar k, const std::u16string&, std::u16string& r) {
        if (k == scParagraphEnd) r = u"<P>";
        if (k == scColumnEnd) r = u"|";
    });
    doc.AddText(u"one\rtwo\x07three\r", doc.Text());
    EXPECT_EQ(doc.Text().Get(0), u"one<P>two|three<P>");
}

TEST(SysChars, ConversionOffAppendsUnchangedAndIgnoresTheLimit) {
    TWordBinFile doc;
    doc.SetConvertSysCharacters(false);
    doc.SetMaxTextLength(3);
    std::u16string in = u"a\x07" u"b\r" + kBegin + u"PAGE";
    doc.AddText(in, doc.Text());
    EXPECT_EQ(doc.Text().Count(), 1);
    EXPECT_EQ(doc.Text().Get(0), in);
}

TEST(SysChars, ProcessSysCharacterChangesTheNextCharacterOfARow) {
    TWordBinFile doc;
    char16_t next = 7;
    EXPECT_EQ(doc.ProcessSysCharacter(7, false, next), u"\r");
    EXPECT_EQ(next, u'\n');
    next = u'x';
    EXPECT_EQ(doc.ProcessSysCharacter(7, false, next), u" ");
    EXPECT_EQ(doc.ProcessSysCharacter(7, true, next), u" ");
    EXPECT_EQ(doc.ProcessSysCharacter(u'q', false, next), u"q");
}

}  // namespace
}  // namespace quillmark
