// TFictionBook: the body walk (sections, empty lines, line elements, notes
// bodies), inline markup in document order, the renderings, the conversion
// events, encodings, .fb2.zip, detection, real books against their truth
// text, and damaged input.
#include "quillmark/readers/fiction_book.h"

#include <gtest/gtest.h>

#include <random>

#include "quillmark/framework/code_pages.h"
#include "quillmark/document_info.h"
#include "quillmark/extract.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/exception.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

std::string Book(const std::string& body, const std::string& more = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\""
           " xmlns:l=\"http://www.w3.org/1999/xlink\">\n<body>" +
           body + "</body>" + more + "</FictionBook>";
}

std::vector<std::u16string> Lines(const std::string& bytes, TMSTextFormating format = tfPlainText,
                                  TFictionBook* reader = nullptr) {
    TFictionBook local;
    TFictionBook& book = reader ? *reader : local;
    book.SetTextFormating(format);
    TMemoryStream s(bytes);
    book.LoadFromStream(s);
    std::vector<std::u16string> out;
    for (int i = 0; i < book.Text().Count(); ++i) out.push_back(book.Text()[i]);
    return out;
}

// The lines between the (plain-text, empty) frames.
std::vector<std::u16string> BodyLines(const std::string& body, const std::string& more = "") {
    std::vector<std::u16string> all = Lines(Book(body, more));
    EXPECT_GE(all.size(), 2u);
    if (all.size() < 2) return all;
    EXPECT_EQ(all.front(), u"");
    EXPECT_EQ(all.back(), u"");
    return std::vector<std::u16string>(all.begin() + 1, all.end() - 1);
}

using L = std::vector<std::u16string>;

TEST(FictionBook, SectionsEndWithAnEmptyLineInnerOnesFirst) {
    EXPECT_EQ(BodyLines("<section><p>One</p><p>Two</p></section>"), (L{u"One", u"Two", u""}));
    EXPECT_EQ(BodyLines("<section><title><p>Part</p></title><section><p>a</p></section>"
                        "<section><p>b</p></section></section>"),
              (L{u"Part", u"a", u"", u"b", u"", u""}));
    // The body itself is not a section.
    EXPECT_EQ(BodyLines("<p>loose</p>"), (L{u"loose"}));
}

TEST(FictionBook, EmptyLineInEachRendering) {
    EXPECT_EQ(BodyLines("<p>a</p><empty-line/><p>b</p>"), (L{u"a", u"\r\n", u"b"}));
    L rtf = Lines(Book("<empty-line/>"), tfRTF);
    ASSERT_EQ(rtf.size(), 3u);
    EXPECT_EQ(rtf[1], u"\r\n\\line ");
    L html = Lines(Book("<empty-line/>"), tfHTML);
    ASSERT_EQ(html.size(), 3u);
    EXPECT_EQ(html[1], u"<br>\r\n");
}

TEST(FictionBook, ParagraphTextKeepsInlineMarkupInOrder) {
    struct Case {
        const char* paragraph;
        TMSTextFormating format;
        std::u16string line;
    } cases[] = {
        {"<p>Hello <emphasis>big</emphasis> world</p>", tfPlainText, u"Hello big world"},
        {"<p>Hello <emphasis>big</emphasis> world</p>", tfHTML, u"<p>Hello <i>big</i> world</p>"},
        {"<p>Hello <emphasis>big</emphasis> world</p>", tfRTF, u"Hello {\\i big} world\\par "},
        {"<p><strong><emphasis>both</emphasis></strong>, <strikethrough>x</strikethrough>"
         "<sub>2</sub><sup>3</sup> <code>c</code> <style name=\"s\">st</style></p>",
         tfHTML, u"<p><b><i>both</i></b>, <s>x</s><sub>2</sub><sup>3</sup> <code>c</code> st</p>"},
        {"<p>see <a l:href=\"http://x.org/?a=1&amp;b=2\">site</a>.</p>", tfHTML,
         u"<p>see <a href=\"http://x.org/?a=1&amp;b=2\">site</a>.</p>"},
        {"<p>note<a xlink:href='#n1' type=\"note\">[1]</a></p>", tfPlainText, u"note[1]"},
        // Text is escaped for the rendering, after entities are decoded.
        {"<p>a &lt;b&gt; &amp; c</p>", tfHTML, u"<p>a &lt;b&gt; &amp; c</p>"},
        {"<p>{x} \\ y</p>", tfRTF, u"\\{x\\} \\\\ y\\par "},
        {"<p>a &lt;b&gt; &amp; c &#8211; &#x41;</p>", tfPlainText, u"a <b> & c \u2013 A"},
        // XML white space collapses; the ends are trimmed.
        {"<p>\n   two\n\tlines  <emphasis> here </emphasis>\n</p>", tfPlainText, u"two lines here"},
        {"<p>pic <image l:href=\"#i\"/> after</p>", tfPlainText, u"pic after"},
        {"<p><![CDATA[<raw>]]></p>", tfPlainText, u"<raw>"},
    };
    for (const Case& c : cases) {
        L lines = Lines(Book(c.paragraph), c.format);
        ASSERT_EQ(lines.size(), 3u) << c.paragraph;
        EXPECT_EQ(lines[1], c.line) << c.paragraph;
    }
}

TEST(FictionBook, VersesSubtitlesAuthorsAndTableCellsAreLines) {
    EXPECT_EQ(BodyLines("<section><poem><title><p>Poem</p></title><epigraph><p>ep</p>"
                        "<text-author>E. A.</text-author></epigraph><stanza><v>one</v><v>two "
                        "<emphasis>2</emphasis></v></stanza><text-author>Poet</text-author><date>1925</date>"
                        "</poem><subtitle>* * *</subtitle><cite><p>cited</p><text-author>C</text-author></cite>"
                        "<table><tr><th>h1</th><th>h2</th></tr><tr><td>c1</td><td align=\"right\">c2</td></tr>"
                        "</table></section>"),
              (L{u"Poem", u"ep", u"E. A.", u"one", u"two 2", u"Poet", u"1925", u"* * *", u"cited", u"C", u"h1",
                 u"h2", u"c1", u"c2", u""}));
}

TEST(FictionBook, NotesBodiesFollowTheBookOneLinePerNote) {
    EXPECT_EQ(BodyLines("<section><p>Text<a l:href=\"#n1\" type=\"note\">1</a>.</p></section>",
                        "<body name=\"notes\"><title><p>Notes</p></title>"
                        "<section id=\"n1\"><title><p>1</p></title><p>First note</p><p>more</p></section>"
                        "<section id=\"n2\"><title><p>2</p></title><p>Second <emphasis>note</emphasis></p>"
                        "</section></body><body name=\"comments\"><section><p>c</p></section></body>"),
              (L{u"Text1.", u"", u"Notes", u"1 First note more", u"2 Second note", u"c"}));
    // Grouped notes: the group's own lines, then one line per note.
    EXPECT_EQ(BodyLines("<p>x</p>", "<body name=\"notes\"><section><title><p>Chapter 1</p></title>"
                                    "<section><p>a</p></section></section></body>"),
              (L{u"x", u"Chapter 1", u"a", u""}));
}

TEST(FictionBook, BinariesAreNotText) {
    std::string binary = "<binary id=\"i.png\" content-type=\"image/png\">" + std::string(100000, 'Q') + "</binary>";
    L lines = BodyLines("<p>before</p><image l:href=\"#i.png\"/><p>after</p>", binary);
    EXPECT_EQ(lines, (L{u"before", u"after"}));
}

TEST(FictionBook, ConversionEventsForParagraphsAndSectionEnds) {
    TFictionBook book;
    std::vector<std::pair<TDTWordSysChar, std::u16string>> events;
    book.SetOnConvertSysChar([&](TMSWBaseDocument&, TDTWordSysChar k, const std::u16string& v, std::u16string& r) {
        events.emplace_back(k, v);
        if (k == scParagraphEnd) r = u"----";
        else r = u"ignored";
    });
    L lines = Lines(Book("<section><p>a <strong>b</strong></p><v>c</v></section>"), tfPlainText, &book);
    EXPECT_EQ(lines, (L{u"", u"a b", u"c", u"----", u""}));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], std::make_pair(scUnknown, std::u16string(u"a b")));
    EXPECT_EQ(events[1], std::make_pair(scUnknown, std::u16string(u"c")));
    EXPECT_EQ(events[2], std::make_pair(scParagraphEnd, std::u16string()));
}

TEST(FictionBook, FramesInEveryRendering) {
    for (TMSTextFormating f : {tfPlainText, tfRTF, tfHTML}) {
        TFictionBook book;
        L lines = Lines(Book("<p>x</p>"), f, &book);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines.front(), book.GetTextStart());
        EXPECT_EQ(lines.back(), book.GetTextFinish());
    }
}

TEST(FictionBook, DeclaredEightBitEncodingsReadAsCyrillic) {
    // "Привет" in each encoding.
    struct Case {
        const char* encoding;
        std::string word;
    } cases[] = {
        {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {"Windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4"},
        {"UTF-8", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
    };
    for (const Case& c : cases) {
        std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding +
                          "\"?>\n<FictionBook><description><title-info><book-title>" + c.word +
                          "</book-title></title-info></description><body><p>" + c.word + "</p></body></FictionBook>";
        TFictionBook book;
        L lines = Lines(xml, tfPlainText, &book);
        ASSERT_EQ(lines.size(), 3u) << c.encoding;
        EXPECT_EQ(lines[1], u"\u041F\u0440\u0438\u0432\u0435\u0442") << c.encoding;
        EXPECT_EQ(book.SummaryInformation().Title(), lines[1]) << c.encoding;
    }
}

TEST(FictionBook, RealBooksInEightBitEncodings) {
    struct Case {
        const char* file;
        std::u16string expected;
    } cases[] = {
        {"fb2/fbreader_MiniHelp.240x320.ru.koi8r.fb2", u"\u0421\u0441\u044b\u043b\u043a\u0438"},   // Ссылки
        {"fb2/fbreaderj_poem.fb2", u"\u041d\u043e \u0438 \u0436\u0438\u0442\u044c"},              // Но и жить
        {"fb2/fbreaderj_karenina.fb2", u"\u0410\u041d\u041d\u0410 \u041a\u0410\u0420\u0415\u041d\u0418\u041d\u0410"},
    };
    for (const Case& c : cases) {
        TFictionBook book;
        book.LoadFromFile(test::DataPath(c.file));
        EXPECT_NE(book.Text().Text().find(c.expected), std::u16string::npos) << c.file;
    }
    TFictionBook poem;
    poem.LoadFromFile(test::DataPath("fb2/fbreaderj_poem.fb2"));
    std::u16string text = poem.Text().Text();
    // The author line and the date of the poem are there, after the verses.
    size_t verse = text.find(u"\u041e\u0431\u0435\u0449\u0430\u0435\u0442");  // Обещает
    size_t author = text.find(u"\u0421\u0435\u0440\u0433\u0435\u0439 \u0415\u0441\u0435\u043d\u0438\u043d");
    ASSERT_NE(verse, std::u16string::npos);
    ASSERT_NE(author, std::u16string::npos);
    EXPECT_LT(verse, author);
    EXPECT_NE(text.find(u"1925", author), std::u16string::npos);
}

TEST(FictionBook, GeneratedBooksGiveEveryWordInOrder) {
    for (const char* name : {"fb2/basic_3.fb2", "fb2/multi_3.fb2"}) {
        TFictionBook book;
        book.LoadFromFile(test::DataPath(name));
        std::string truth = test::ReadDataFile(std::string(name) + ".truth.txt");
        EXPECT_DOUBLE_EQ(test::InOrderRecall(truth, Utf16ToUtf8(book.Text().Text())), 1.0) << name;
    }
    TFictionBook notes;
    notes.LoadFromFile(test::DataPath("fb2/pandoc_reader_notes.fb2"));
    EXPECT_NE(notes.Text().Text().find(u"2 Second note contents."), std::u16string::npos);
}

TEST(FictionBook, ZippedBookReadsAsTheBook) {
    std::string xml = Book("<section><p>zipped words</p></section>");
    L plain = Lines(xml);
    for (uint16_t method : {0, 8}) {
        L zipped = Lines(test::ZipBuilder().Add("dir/Some Book.FB2", xml, method).Build());
        EXPECT_EQ(zipped, plain) << method;
    }
    // A folder entry beside the book is fine.
    EXPECT_EQ(Lines(test::ZipBuilder().Add("books/", "", 0).Add("books/a.fb2", xml).Build()), plain);
    // Anything else is not a zipped book.
    for (const std::string& zip : {test::ZipBuilder().Add("a.fb2", xml).Add("b.fb2", xml).Build(),
                                   test::ZipBuilder().Add("a.fb2", xml).Add("cover.jpg", "x").Build(),
                                   test::ZipBuilder().Add("a.txt", xml).Build(), test::ZipBuilder().Build()}) {
        TFictionBook book;
        TMemoryStream s(zip);
        EXPECT_THROW(book.LoadFromStream(s), Exception);
    }
}

TEST(FictionBook, InputWithoutAFictionBookElementIsAnError) {
    for (const std::string& bytes : {std::string(), std::string("plain text"), std::string("<html><p>x</p></html>")}) {
        TFictionBook book;
        TMemoryStream s(bytes);
        EXPECT_THROW(book.LoadFromStream(s), EUnsupportedFormat) << bytes;
    }
}

TEST(FictionBook, DetectionLooksAtTheFirstElement) {
    struct Case {
        std::string bytes;
        bool book;
    } cases[] = {
        {"<FictionBook>", true},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- made by hand -->\n<FictionBook xmlns=\"x\">", true},
        {"<!DOCTYPE FictionBook [ <!ENTITY a \"b\"> ]><fb:FictionBook xmlns:fb=\"x\"/>", true},
        {std::string("\xFF\xFE<\0F\0i\0c\0t\0i\0o\0n\0B\0o\0o\0k\0>\0", 28), true},
        {std::string("<\0?\0x\0m\0l\0?\0>\0<\0F\0i\0c\0t\0i\0o\0n\0B\0o\0o\0k\0 \0", 40), true},
        // UTF-16 needs a mark or a declaration, as the XML engine does.
        {std::string("<\0F\0i\0c\0t\0i\0o\0n\0B\0o\0o\0k\0 \0", 26), false},
        {"  \n<FictionBook\n>", true},
        {"<html><FictionBook>", false},
        {"<FictionBookX>", false},
        {"<fictionbook>", false},
        {"<?xml version=\"1.0\"?>", false},
        {"<!-- <FictionBook> never closed", false},
        {"text <FictionBook>", false},
        {"%PDF-1.4 <FictionBook>", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(TFictionBook::IsFictionBookData(c.bytes), c.book) << c.bytes;
    using Names = std::vector<std::string>;
    EXPECT_TRUE(TFictionBook::IsFictionBookZip(Names{"a/b.FB2"}));
    EXPECT_TRUE(TFictionBook::IsFictionBookZip(Names{"a/", "a/b.fb2"}));
    EXPECT_FALSE(TFictionBook::IsFictionBookZip(Names{"a.fb2.txt"}));
    EXPECT_FALSE(TFictionBook::IsFictionBookZip(Names{"fb2"}));
    EXPECT_FALSE(TFictionBook::IsFictionBookZip(Names{"a.fb2", "b.fb2"}));
    EXPECT_FALSE(TFictionBook::IsFictionBookZip(Names{"a.fb2", "cover.jpg"}));
    EXPECT_FALSE(TFictionBook::IsFictionBookZip(Names{}));
}

TEST(FictionBook, RegisteredForBooksAndZippedBooks) {
    const std::string xml = test::ReadDataFile("fb2/pandoc_reader_meta.fb2");
    EXPECT_STREQ(FormatName(DetectFormat(xml)), "fb2");
    // Detection reads the zip's names only: a member in a method nobody
    // knows still makes a zipped book.
    EXPECT_STREQ(FormatName(DetectFormat(test::ZipBuilder().Add("book.fb2", xml, 99).Build())), "fb2");
    EXPECT_STRNE(FormatName(DetectFormat(test::ZipBuilder().Add("book.fb2", xml).Add("b.fb2", xml).Build())), "fb2");
    EXPECT_STRNE(FormatName(DetectFormat("<html><body>x</body></html>")), "fb2");

    const std::string zipped = test::ZipBuilder().Add("book.fb2", xml).Build();
    ExtractResult a = ExtractBytes(xml), b = ExtractBytes(zipped);
    EXPECT_EQ(a.FormatName, "fb2");
    EXPECT_EQ(a.Text, b.Text);
    EXPECT_NE(a.Text.find("Body title"), std::string::npos);
    for (const std::string* bytes : {&xml, &zipped}) {
        TDocumentInfo info = ReadDocumentInfo(*bytes);
        EXPECT_EQ(info.FormatName, "fb2");
        EXPECT_EQ(info.Summary.Title(), u"Book title");
        EXPECT_EQ(info.Summary.Author(), u"First Middle Last, Another Author");
        EXPECT_EQ(info.Summary.Keywords(), u"foo, bar, baz");
        EXPECT_NE(info.Summary.Created(), 0);
    }
}

TEST(FictionBook, MaxTextLengthStopsTheWalk) {
    std::string body;
    for (int i = 0; i < 10000; ++i) body += "<section><p>paragraph number " + std::to_string(i) + "</p></section>";
    TFictionBook book;
    book.SetMaxTextLength(1000);
    Lines(Book(body), tfPlainText, &book);
    EXPECT_LE(book.Text().Text().size(), 1100u);
    EXPECT_LT(book.Text().Count(), 200);
}

TEST(FictionBook, DamagedBooksGiveTextOrAnErrorNeverACrash) {
    const std::string good = test::ReadDataFile("fb2/fbreader_MiniHelp.240x320.ru.koi8r.fb2");
    const std::string zipped = test::ZipBuilder().Add("a.fb2", good).Build();
    std::mt19937 rng(15);
    int loaded = 0, failed = 0;
    for (const std::string* base : {&good, &zipped}) {
        for (int round = 0; round < 300; ++round) {
            std::string bytes = *base;
            if (round % 2 == 0) {
                bytes.resize(rng() % (bytes.size() + 1));
            } else {
                for (int k = 0; k < 8; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
            }
            TFictionBook book;
            book.SetTextFormating(static_cast<TMSTextFormating>(round % 3));
            TMemoryStream s(bytes);
            try {
                book.LoadFromStream(s);
                ++loaded;
                // Never more text than the book holds, plus the frames and markup.
                EXPECT_LT(book.Text().TextLength(), 4 * good.size() + 4096);
            } catch (const Exception&) {
                ++failed;
            }
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace quillmark
