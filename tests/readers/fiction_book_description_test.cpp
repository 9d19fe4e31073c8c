// FictionBook metadata: the author-name rules, which description node fills
// which summary field, and the book date.
#include "quillmark/readers/fiction_book_description.h"

#include <gtest/gtest.h>

#include "quillmark/framework/date_time.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/readers/fiction_book.h"

namespace quillmark {
namespace {

TDTWordSummaryInformation SummaryOf(const std::string& description) {
    std::string xml = "<?xml version=\"1.0\"?><FictionBook><description>" + description +
                      "</description><body><section><p>x</p></section></body></FictionBook>";
    TFictionBook book;
    TMemoryStream s(xml);
    book.LoadFromStream(s);
    return book.SummaryInformation();
}

TEST(FictionBookDescription, AuthorNameRules) {
    struct Case {
        const char* authors;
        std::u16string expected;
    } cases[] = {
        {"<author><first-name>John</first-name><last-name>Brown</last-name></author>", u"John Brown"},
        {"<author><last-name>Brown</last-name></author>", u"Brown"},
        {"<author><first-name></first-name><nickname>bookworm</nickname></author>", u"bookworm"},
        {"<author><first-name>A</first-name><middle-name>B</middle-name><last-name>C</last-name>"
         "<nickname>n</nickname></author>",
         u"A B C"},
        {"<author><middle-name> Mid </middle-name></author>", u"Mid"},
        // Co-authors are all named, in order; a nameless one is left out.
        {"<author><last-name>One</last-name></author><author></author>"
         "<author><first-name>Two</first-name></author>",
         u"One, Two"},
        {"<author/>", u""},
        {"", u""},
    };
    for (const Case& c : cases) {
        TDTWordSummaryInformation s =
            SummaryOf(std::string("<title-info>") + c.authors + "</title-info><document-info>" + c.authors +
                      "</document-info>");
        EXPECT_EQ(s.Author(), c.expected) << c.authors;
        EXPECT_EQ(s.Manager(), c.expected) << c.authors;
    }
}

TEST(FictionBookDescription, FieldsComeFromTheirNodes) {
    TDTWordSummaryInformation s = SummaryOf(
        "<title-info><genre>sf</genre><genre>humor</genre><author><last-name>Lem</last-name></author>"
        "<book-title>Solaris &amp; more</book-title><annotation><p>First <emphasis>part</emphasis>.</p>"
        "<p>Second.</p></annotation><keywords>space, ocean</keywords><date value=\"1961-05-17\">1961</date>"
        "<lang>pl</lang></title-info>"
        "<document-info><author><nickname>scanner</nickname></author><version>2.1</version></document-info>"
        "<publish-info><book-name>Solaris (print)</book-name><publisher>MON</publisher></publish-info>");
    EXPECT_EQ(s.Category(), u"sf");
    EXPECT_EQ(s.Author(), u"Lem");
    EXPECT_EQ(s.Title(), u"Solaris & more");
    EXPECT_EQ(s.Comments(), u"First part.\r\nSecond.");
    EXPECT_EQ(s.Keywords(), u"space, ocean");
    EXPECT_EQ(s.Manager(), u"scanner");
    EXPECT_EQ(s.RevNumber(), u"2.1");
    EXPECT_EQ(s.Subject(), u"Solaris (print)");
    EXPECT_EQ(s.Company(), u"MON");
    TCalendarTime t = DecodeDateTime(s.Created());
    EXPECT_EQ(t.Year, 1961);
    EXPECT_EQ(t.Month, 5);
    EXPECT_EQ(t.Day, 17);
}

TEST(FictionBookDescription, MissingInfoNodesLeaveTheirFieldsEmpty) {
    TDTWordSummaryInformation s = SummaryOf("<title-info><book-title>T</book-title></title-info>");
    EXPECT_EQ(s.Title(), u"T");
    EXPECT_EQ(s.Manager(), u"");
    EXPECT_EQ(s.RevNumber(), u"");
    EXPECT_EQ(s.Subject(), u"");
    EXPECT_EQ(s.Created(), 0);
}

TEST(FictionBookDescription, DateFromTheValueElseTheText) {
    struct Case {
        const char* date;
        int year, month, day;  // year 0: not set
    } cases[] = {
        {"<date>2018</date>", 2018, 1, 1},
        {"<date value=\"2007-03-04\">spring 2007</date>", 2007, 3, 4},
        {"<date value='2007-03-04'/>", 2007, 3, 4},
        {"<date value=\"garbage\">2001-02</date>", 2001, 2, 1},
        {"<date>8.12.2026</date>", 0, 0, 0},
        {"<date>20180</date>", 0, 0, 0},
        {"<date>2018-13-01</date>", 0, 0, 0},
        {"<date>2019-02-29</date>", 0, 0, 0},
        {"<date>2020-02-29T10:00:00</date>", 2020, 2, 29},
        {"<date></date>", 0, 0, 0},
    };
    for (const Case& c : cases) {
        TDTWordSummaryInformation s = SummaryOf(std::string("<title-info>") + c.date + "</title-info>");
        if (c.year == 0) {
            EXPECT_EQ(s.Created(), 0) << c.date;
            continue;
        }
        TCalendarTime t = DecodeDateTime(s.Created());
        EXPECT_EQ(t.Year, c.year) << c.date;
        EXPECT_EQ(t.Month, c.month) << c.date;
        EXPECT_EQ(t.Day, c.day) << c.date;
    }
}

TEST(FictionBookDescription, MetadataIsReadOnlyWhenAskedFor) {
    std::string xml = "<FictionBook><description><title-info><book-title>T</book-title></title-info>"
                      "</description><body><p>x</p></body></FictionBook>";
    TFictionBook book;
    book.SetParseItems({wpiText});
    TMemoryStream s(xml);
    book.LoadFromStream(s);
    EXPECT_EQ(book.SummaryInformation().Title(), u"");
    EXPECT_EQ(book.Text().Count(), 3);

    book.SetParseItems({wpiSummaryInformation});
    TMemoryStream again(xml);
    book.LoadFromStream(again);
    EXPECT_EQ(book.SummaryInformation().Title(), u"T");
    EXPECT_EQ(book.Text().Count(), 2);  // the frames alone
}

}  // namespace
}  // namespace quillmark
